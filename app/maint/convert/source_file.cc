// source_file.cc - a whole file through the engine's file layer.
#include "app/maint/convert/source_file.h"

#include "engine/korval32.h"

namespace ledgrove {
namespace {

constexpr std::uint32_t kReadAccess = 0x0000;  // read only; sharing is not enforced
constexpr std::uint32_t kChunkSize = 1 << 20;

}  // namespace

std::uint32_t read_source_file(const std::string &path, std::string *text) {
    text->clear();
    std::uint32_t handle = 0;
    std::uint32_t rc = KvlOpenFile(path.c_str(), kReadAccess, &handle, nullptr);
    if (rc != ERR_NONE) return rc;
    for (;;) {
        const std::size_t kept = text->size();
        text->resize(kept + kChunkSize);
        std::uint32_t length = kChunkSize;
        rc = KvlReadFile(handle, &length, text->data() + kept, nullptr);
        if (rc != ERR_NONE && rc != KVL_WIN_HANDLE_EOF) length = 0;
        text->resize(kept + length);
        if (rc != ERR_NONE || length == 0) break;  // a short read is the end
    }
    KvlCloseFile(&handle, nullptr);
    return rc == KVL_WIN_HANDLE_EOF ? ERR_NONE : rc;
}

}  // namespace ledgrove
