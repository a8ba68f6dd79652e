// index_support.h - an index control record for tests, and index files
// without data file (keys stored with KvlIx4StoreKey).
#ifndef KVL_TESTS_ENGINE_INDEX_INDEX_SUPPORT_H
#define KVL_TESTS_ENGINE_INDEX_INDEX_SUPPORT_H

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "engine/korval32_control.h"

namespace kvl_test {

// Creates an index file without data file.  flags carries the sort
// function and the duplicates bit; the key length goes into bits 8-15.
inline uint32_t create_keys_index(const std::string &path, uint32_t node_size,
                                  uint32_t key_length, uint32_t flags,
                                  const uint8_t *collation = nullptr) {
    char expression[] = "KEY";
    return KvlIx4CreateFile(node_size, flags | key_length << KVL_IX_KEYLEN_SHIFT, 850, 1,
                            collation, expression, KVL_NO_DATA_FILE, path.c_str(), nullptr, 0,
                            nullptr);
}

// An index control record for one node size; closes the index when it
// goes if it is still open.
class IndexRecord {
public:
    explicit IndexRecord(uint32_t node_size, DataControlRecord *link = KVL_NO_DATA_FILE)
        : control_(node_size), ix_(control_.get()) {
        ix_->data_link = link;
        ix_->open_mode = 2;
    }
    IndexRecord(const IndexRecord &) = delete;
    IndexRecord &operator=(const IndexRecord &) = delete;

    uint32_t open(const std::string &path, uint32_t flags = 0) {
        path_ = path;
        ix_->file_name = path_.c_str();
        return KvlIx4OpenFile(ix_, flags);
    }
    IndexControlRecord *operator->() { return ix_; }
    IndexControlRecord *get() { return ix_; }
    const std::string &path() const { return path_; }

private:
    std::string path_;
    korval32::IndexControl control_;
    IndexControlRecord *ix_;
};

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

inline std::vector<uint8_t> read_file(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void write_file(const std::string &path, const std::vector<uint8_t> &bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char *>(bytes.data()), std::streamsize(bytes.size()));
}

inline uint32_t le32(const uint8_t *p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

inline void put_le32(uint8_t *p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = uint8_t(v >> (8 * i));
}

// A node of a raw index file image (node numbers from 1).
inline uint8_t *node_bytes(std::vector<uint8_t> &file, uint32_t node_size, uint32_t number) {
    return file.data() + 1024 + size_t(number - 1) * node_size;
}

}  // namespace kvl_test

#endif  // KVL_TESTS_ENGINE_INDEX_INDEX_SUPPORT_H
