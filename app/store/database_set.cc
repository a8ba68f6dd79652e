// database_set.cc - opening and closing the register's nine files.
#include "app/store/database_set.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

#include "app/store/engine_settings.h"

namespace ledgrove {

std::string register_path(const std::string &directory, const char *file_name) {
    if (directory.empty()) return file_name;
    if (directory.back() == '/') return directory + file_name;
    return directory + "/" + file_name;
}

korval32::DataControl make_data_control(const std::string &path, std::uint32_t state_flags,
                                        const FileLayerTable *layer, std::uint32_t open_mode) {
    korval32::DataControl block(kFieldCount);
    DataControlRecord *data = block.get();
    data->file_layer = layer;
    data->state = state_flags;
    data->open_mode = open_mode;
    data->file_name = path.c_str();
    return block;
}

korval32::IndexControl make_index_control(const std::string &path, DataHandle data,
                                          const FileLayerTable *layer, std::uint32_t open_mode) {
    korval32::IndexControl block(kRegisterNodeSize);
    IndexControlRecord *index = block.get();
    index->file_layer = layer;
    index->open_mode = open_mode;
    index->data_link = data;
    index->file_name = path.c_str();
    index->tag_filter = kRegisterTagFilter;
    return block;
}

namespace {

// False when the file is shorter than the records its header counts: it
// was cut off, and the searches would stop at the first missing record.
bool records_fit_file(DataHandle data) {
    std::uint32_t length[2] = {0, 0};
    if (KvlLengthFile(data->os_handle, length, data->file_layer) != ERR_NONE) return false;
    const std::uint64_t size = length[0] | std::uint64_t{length[1]} << 32;
    const DbfHeader &h = data->header;
    return size >= h.header_length + std::uint64_t{h.record_count} * h.record_length;
}

// The open failed only because the file may not be written.
bool refused_for_writing(std::uint32_t result) {
    return result == KVL_WIN_ACCESS_DENIED || result == KVL_WIN_WRITE_PROTECT;
}

// Only the built-in layer's files live in a folder the system can be asked
// about; a folder that does not exist is no read-only one.
bool folder_refuses_writes(const std::string &directory, const FileLayerTable *layer) {
    if (layer) return false;
    const char *folder = directory.empty() ? "." : directory.c_str();
    return ::access(folder, W_OK) != 0 && (errno == EACCES || errno == EROFS);
}

}  // namespace

DatabaseSet::DatabaseSet(std::string directory, const FileLayerTable *layer)
    : directory_(std::move(directory)), layer_(layer) {
    // The program's start-up makes its DatabaseSet first: the place to set
    // the engine up for the register's work.
    use_program_memory_bounds();
    data_path_ = path(kDataFileName);
    for (const IndexFileInfo &info : kIndexFiles)
        index_paths_[static_cast<std::size_t>(info.index)] = path(info.file_name);
}

DatabaseSet::~DatabaseSet() { close(); }

std::uint32_t DatabaseSet::open_data() {
    const std::uint32_t mode = read_only_ ? kRegisterReadOnlyMode : kRegisterOpenMode;
    data_ = make_data_control(data_path_, KVL_STATE_SKIP_DELETED, layer_, mode);
    const std::uint32_t flags = read_only_ ? KVL_STATE_READ_ONLY : 0;
    return note(KvlDataOpenFile(data(), flags));
}

std::uint32_t DatabaseSet::open_index(RegisterIndex which) {
    const std::size_t i = static_cast<std::size_t>(which);
    const std::uint32_t mode = read_only_ ? kRegisterReadOnlyMode : kRegisterOpenMode;
    indexes_[i] = make_index_control(index_paths_[i], data(), layer_, mode);
    return note(KvlIx4OpenFile(index(which), read_only_ ? KVL_STATE_READ_ONLY : 0));
}

void DatabaseSet::open(bool read_only) {
    close();
    read_only_ = read_only || folder_refuses_writes(directory_, layer_);
    // Each file that refuses writing is tried again for reading alone.  One
    // that will not even be read is a failure of its own (its second result
    // counts: a damaged file says so), not a sign of a read-only register.
    auto opened = [this](auto open_one) {
        std::uint32_t rc = open_one();
        if (!read_only_ && refused_for_writing(rc)) {
            read_only_ = true;
            rc = open_one();
            if (rc != ERR_NONE && rc != ERR_INCOMPLETE_WRITE) read_only_ = false;
        }
        return rc;
    };
    const std::uint32_t data_rc = opened([this] { return open_data(); });
    // 8318: records were appended and never counted (an import cut short);
    // the file is open and holds every record it counts.
    if (data_rc != ERR_NONE && data_rc != ERR_INCOMPLETE_WRITE)
        failures_.push_back({kDataFileName, data_rc});
    else if (!records_fit_file(data()))
        failures_.push_back({kDataFileName, KVL_WIN_HANDLE_EOF});
    for (RegisterIndex which : kOpenOrder) {
        if (opened([this, which] { return open_index(which); }) != ERR_NONE)
            failures_.push_back({index_info(which).file_name, last_result_});
    }
}

void DatabaseSet::close() {
    // A close that fails still frees its record: the engine has given up
    // the file either way, and a record kept would only leak.
    for (RegisterIndex which : kCloseOrder) {
        korval32::IndexControl &block = indexes_[static_cast<std::size_t>(which)];
        if (block.empty()) continue;
        if (block.is_open()) note(block.close());
        block = korval32::IndexControl();
    }
    if (!data_.empty()) {
        if (data_.is_open()) note(data_.close());
        data_ = korval32::DataControl();
    }
    failures_.clear();
    read_only_ = false;
}

IndexHandle DatabaseSet::index(RegisterIndex which) const {
    return indexes_[static_cast<std::size_t>(which)].get();
}

bool DatabaseSet::data_open() const { return !data_.empty() && data()->os_handle != 0; }

bool DatabaseSet::index_open(RegisterIndex which) const {
    return indexes_[static_cast<std::size_t>(which)].is_open();
}

}  // namespace ledgrove
