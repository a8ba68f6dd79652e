// memo_test_util.h - a data file with a memo field and its memo file in a
// scratch directory, opened, with short ways to store and read memos and
// to look at the .DBT file's bytes.
#ifndef KVL_TESTS_ENGINE_MEMO_MEMO_TEST_UTIL_H
#define KVL_TESTS_ENGINE_MEMO_MEMO_TEST_UTIL_H

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/data/data_test_util.h"
#include "engine/korval32.h"
#include "support/temp_dir.h"

namespace kvl_test {

inline constexpr uint32_t kMemoVersion = 0x8B;  // dBASE IV with a memo file

inline std::vector<FieldDescriptor> memo_fields() {
    return descriptors({{"NAME", 'C', 10}, {"NOTES", 'M', 10}});
}

// A stand-in for memo bytes: `size` bytes that differ from run to run of
// `seed` and are never all zero.
inline std::string pattern(size_t size, uint32_t seed = 1) {
    std::string out(size, '\0');
    uint32_t x = seed * 2654435761u + 1;
    for (size_t i = 0; i < size; ++i) {
        x = x * 1103515245u + 12345u;
        out[i] = static_cast<char>('A' + (x >> 16) % 26);
    }
    return out;
}

class MemoTable {
public:
    explicit MemoTable(uint32_t block_size = 512, const std::string &name = "ledger.dbf")
        : path_(dir_.path(name)) {
        auto fields = memo_fields();
        EXPECT_EQ(KvlDataCreateFile(kMemoVersion | (block_size << 16), 2, fields.data(),
                                    path_.c_str(), 0, nullptr),
                  0u);
        reopen();
    }

    DataControlRecord *rec() { return data_->rec(); }
    DataControlRecord *operator->() { return rec(); }
    const std::string &path() const { return path_; }
    std::string dbt_path() const { return path_.substr(0, path_.size() - 3) + "dbt"; }
    std::vector<uint8_t> dbt() const { return read_bytes(dbt_path()); }
    uint32_t dbt_word(size_t at) const { return u32_at(dbt(), at); }
    // File offset of block n.
    size_t block_at(uint32_t n) const {
        const uint32_t size = data_->rec()->memo_header.block_size;
        return size + static_cast<size_t>(n - 1) * size;
    }

    // Closes (if open) and opens the data file again; returns the open result.
    uint32_t reopen(uint32_t flags = 0) {
        data_.reset();
        data_ = std::make_unique<DataFile>(path_, 2);
        return data_->open(flags);
    }
    uint32_t close() { return KvlDataCloseFile(rec()); }

    uint32_t add(const std::string &bytes, uint32_t *block, uint32_t reserve = 0) {
        return KvlMemoAdd(rec(), reserve ? reserve : static_cast<uint32_t>(bytes.size()),
                          static_cast<uint32_t>(bytes.size()), bytes.data(), block, 0);
    }
    // Stores `bytes` and returns the block, failing the test on an error.
    uint32_t store(const std::string &bytes) {
        uint32_t block = 0;
        EXPECT_EQ(add(bytes, &block), 0u) << bytes.size() << " bytes";
        return block;
    }
    // The whole memo at `block`, read with GetSize and Get.
    std::string read(uint32_t block, uint32_t *rc_out = nullptr) {
        uint32_t first = 0, size = 0;
        uint32_t rc = KvlMemoGetSize(rec(), block, &first, &size);
        std::string out;
        if (rc == 0 && size > 0) {
            out.assign(size, '\0');
            uint32_t count = size;
            rc = KvlMemoGet(rec(), block, 0, &count, out.data());
            out.resize(count);
        }
        if (rc_out) *rc_out = rc;
        else EXPECT_EQ(rc, 0u) << "block " << block;
        return out;
    }
    uint32_t size_of(uint32_t block) {
        uint32_t first = 0, size = 0;
        EXPECT_EQ(KvlMemoGetSize(rec(), block, &first, &size), 0u) << "block " << block;
        return size;
    }

private:
    TempDir dir_;
    std::string path_;
    std::unique_ptr<DataFile> data_;
};

}  // namespace kvl_test

#endif  // KVL_TESTS_ENGINE_MEMO_MEMO_TEST_UTIL_H
