// engine_files.h - engine files for tests: a scratch directory removed when
// the test ends, field descriptors, owners of open data and index files,
// record images, raw file bytes, and index files without data file.
#ifndef KVL_TESTS_SUPPORT_ENGINE_FILES_H
#define KVL_TESTS_SUPPORT_ENGINE_FILES_H

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <string>
#include <vector>

#include "engine/korval32_control.h"

namespace kvl_test {

using Bytes = std::vector<uint8_t>;

class TempDir {
public:
    TempDir() {
        std::string tmpl = (std::filesystem::temp_directory_path() / "kvl-XXXXXX").string();
        root_ = ::mkdtemp(tmpl.data()) ? tmpl : std::string();
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(root_, ec);
    }
    TempDir(const TempDir &) = delete;
    TempDir &operator=(const TempDir &) = delete;

    const std::string &root() const { return root_; }
    std::string path(const std::string &name) const { return root_ + "/" + name; }

private:
    std::string root_;
};

struct FieldSpec {
    const char *name;
    char type;
    uint32_t length;  // C fields above 255 spill into the decimal byte
    uint8_t decimals = 0;
};

inline FieldDescriptor descriptor(const FieldSpec &spec) {
    FieldDescriptor d{};
    std::memcpy(d.name, spec.name, strnlen(spec.name, sizeof d.name - 1));
    d.type = spec.type;
    d.length = static_cast<uint8_t>(spec.length & 0xFF);
    d.decimals = spec.type == 'C' && spec.length > 255 ? static_cast<uint8_t>(spec.length >> 8)
                                                       : spec.decimals;
    return d;
}

inline std::vector<FieldDescriptor> descriptors(std::initializer_list<FieldSpec> specs) {
    std::vector<FieldDescriptor> out;
    for (const FieldSpec &s : specs) out.push_back(descriptor(s));
    return out;
}

// The check register's eight character fields: record length 124.
inline std::vector<FieldDescriptor> register_fields() {
    return descriptors({{"ID", 'C', 6}, {"CHKID", 'C', 6}, {"CHKDATE", 'C', 8},
                        {"VENDORID", 'C', 10}, {"NAME", 'C', 35}, {"POID", 'C', 8},
                        {"DESC", 'C', 35}, {"AMOUNT", 'C', 15}});
}

// A data file's control record with room for `capacity` descriptors,
// closed when it goes.  The read-only bit goes first: a read-only record
// with its header changed would refuse the close's flush.
class DataFile {
public:
    DataFile(const std::string &path, uint32_t capacity, const FileLayerTable *layer = nullptr,
             uint32_t open_mode = 0x42)
        : path_(path), control_(capacity) {
        rec()->file_name = path_.c_str();
        rec()->open_mode = open_mode;
        rec()->file_layer = layer;
    }
    ~DataFile() {
        if (control_.is_open()) rec()->state &= ~KVL_STATE_READ_ONLY;
        control_.close();
    }
    DataFile(const DataFile &) = delete;
    DataFile &operator=(const DataFile &) = delete;

    DataControlRecord *rec() { return control_.get(); }
    DataControlRecord *operator->() { return rec(); }
    uint32_t open(uint32_t flags = 0) { return KvlDataOpenFile(rec(), flags); }
    // Length of field i from the offsets open stored.
    uint32_t field_length(uint32_t i) {
        const uint32_t end = i + 1 < rec()->field_count ? rec()->fields[i + 1].offset
                                                         : rec()->header.record_length;
        return end - rec()->fields[i].offset;
    }

private:
    std::string path_;
    korval32::DataControl control_;
};

// An index file's control record, closed when it goes (read-only or not).
class IndexFile {
public:
    IndexFile(const std::string &path, uint32_t node_size, DataControlRecord *link = KVL_NO_DATA_FILE,
              const FileLayerTable *layer = nullptr, uint32_t open_mode = 0x42)
        : path_(path), control_(node_size) {
        get()->data_link = link;
        get()->file_name = path_.c_str();
        get()->open_mode = open_mode;
        get()->file_layer = layer;
    }
    ~IndexFile() {
        if (control_.is_open()) get()->state &= ~KVL_STATE_READ_ONLY;
        control_.close();
    }
    IndexFile(const IndexFile &) = delete;
    IndexFile &operator=(const IndexFile &) = delete;

    IndexControlRecord *get() { return control_.get(); }
    IndexControlRecord *operator->() { return get(); }
    uint32_t open(uint32_t flags = 0) { return KvlIx4OpenFile(get(), flags); }
    const std::string &path() const { return path_; }

private:
    std::string path_;
    korval32::IndexControl control_;
};

// A record image of the given length: tag, then `text` padded with blanks.
inline Bytes record_image(uint32_t length, const std::string &text, char tag = ' ') {
    Bytes r(length, ' ');
    r[0] = static_cast<uint8_t>(tag);
    std::memcpy(r.data() + 1, text.data(), std::min<size_t>(text.size(), length - 1));
    return r;
}

inline Bytes read_bytes(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

inline void write_bytes(const std::string &path, const Bytes &bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char *>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

inline uint32_t u32_at(const Bytes &b, size_t at) {
    return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<uint32_t>(b[at + 3]) << 24);
}
inline uint32_t u16_at(const Bytes &b, size_t at) { return b[at] | (b[at + 1] << 8); }
inline void put_u32(Bytes &b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

// Creates an index file without data file: flags carry the sort function
// and the duplicates bit.
inline uint32_t create_keys_index(const std::string &path, uint32_t node_size, uint32_t key_length,
                                  uint32_t flags, const FileLayerTable *layer = nullptr) {
    char expression[] = "KEY";
    return KvlIx4CreateFile(node_size, flags | key_length << KVL_IX_KEYLEN_SHIFT, 850, 1, nullptr,
                            expression, KVL_NO_DATA_FILE, path.c_str(), nullptr, 0, layer);
}

// A key of key_length bytes that sorts as n does under sort function 1:
// the number in decimal, zero-padded on the left, cut or padded with '.'.
inline std::string numbered_key(uint32_t n, uint32_t key_length) {
    char digits[16];
    std::snprintf(digits, sizeof digits, "%010u", n);
    std::string key(digits);
    if (key.size() > key_length) return key.substr(key.size() - key_length);
    key.resize(key_length, '.');
    return key;
}

// Engine memory blocks allocated and not freed.
inline uint32_t blocks_held() {
    return KvlGetVar(KVL_VAR_ALLOC_COUNT, nullptr) - KvlGetVar(KVL_VAR_FREE_COUNT, nullptr);
}

}  // namespace kvl_test

#endif  // KVL_TESTS_SUPPORT_ENGINE_FILES_H
