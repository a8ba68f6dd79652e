// csv_file.cc - buffered writing through the engine's file layer.
#include "app/output/csv_file.h"

#include <algorithm>

#include "engine/korval32.h"

namespace ledgrove {
namespace {

constexpr std::uint32_t kWriteAccess = 0x0001;  // write only; sharing is not enforced
constexpr std::size_t kBufferSize = 1 << 20;

}  // namespace

CsvFileWriter::~CsvFileWriter() {
    if (open_) KvlCloseFile(&handle_, nullptr);
}

std::uint32_t CsvFileWriter::create(const std::string &path) {
    std::uint32_t rc = KvlCreateFile(path.c_str(), nullptr);
    const bool existed = rc == KVL_WIN_FILE_EXISTS;
    if (rc != ERR_NONE && !existed) return rc;
    rc = KvlOpenFile(path.c_str(), kWriteAccess, &handle_, nullptr);
    if (rc != ERR_NONE) return rc;
    open_ = true;
    std::uint32_t length = 0;
    if (existed && (KvlLengthFile(handle_, &length, nullptr) != ERR_NONE || length > 0)) {
        // A write of no bytes at the start cuts the old content off.  (An
        // empty file is left alone: a device such as /dev/null cannot be cut.)
        std::uint32_t none = 0;
        rc = KvlWriteFile(handle_, &none, "", nullptr);
        if (rc != ERR_NONE) return rc;
    }
    buffer_.reserve(kBufferSize);
    return ERR_NONE;
}

void CsvFileWriter::write(std::string_view text) {
    if (write_error_ != ERR_NONE || !open_) return;
    buffer_.append(text);
    if (buffer_.size() >= kBufferSize) flush();
}

void CsvFileWriter::flush() {
    std::size_t done = 0;
    while (write_error_ == ERR_NONE && done < buffer_.size()) {
        std::uint32_t length = static_cast<std::uint32_t>(
            std::min<std::size_t>(buffer_.size() - done, kBufferSize));
        const std::uint32_t asked = length;
        write_error_ = KvlWriteFile(handle_, &length, buffer_.data() + done, nullptr);
        if (write_error_ == ERR_NONE && length != asked) write_error_ = KVL_WIN_HANDLE_DISK_FULL;
        done += length;
    }
    buffer_.clear();
}

std::uint32_t CsvFileWriter::finish() {
    if (!open_) return write_error_;
    flush();
    const std::uint32_t closed = KvlCloseFile(&handle_, nullptr);
    open_ = false;
    return write_error_ != ERR_NONE ? write_error_ : closed;
}

}  // namespace ledgrove
