// rewrite_test_util.h - source files for the pack and sort tests: a data
// file with a name field and, optionally, a memo field, filled from a list
// of rows; reading a file back as rows; and a progress callback that
// records what it is told.
#ifndef KVL_TESTS_ENGINE_DATA_REWRITE_TEST_UTIL_H
#define KVL_TESTS_ENGINE_DATA_REWRITE_TEST_UTIL_H

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "engine/data/data_test_util.h"
#include "engine/korval32.h"

namespace kvl_test {

// One record: tag, name, and the memo text ("" = no memo).
struct Row {
    char tag;
    std::string name;
    std::string memo;
    bool operator==(const Row &) const = default;
};

inline std::ostream &operator<<(std::ostream &out, const Row &row) {
    return out << "'" << row.tag << "' " << row.name << " [" << row.memo.size() << " memo bytes]";
}

inline constexpr uint32_t kNameWidth = 12;
// Record: tag, NAME C12, NOTES M10 (with memos): length 23; else 13.
inline uint32_t row_record_length(bool memos) { return 1 + kNameWidth + (memos ? 10 : 0); }

inline std::vector<FieldDescriptor> row_fields(bool memos) {
    return memos ? descriptors({{"NAME", 'C', kNameWidth}, {"NOTES", 'M', 10}})
                 : descriptors({{"NAME", 'C', kNameWidth}});
}

inline std::string memo_field_text(uint32_t block) {
    if (block == 0) return std::string(10, ' ');
    char text[16];
    std::snprintf(text, sizeof text, "%10u", block);
    return text;
}

// Creates `path` (with a memo file when `memos`) holding `rows`.
inline void write_rows(const std::string &path, const std::vector<Row> &rows, bool memos) {
    auto fields = row_fields(memos);
    ASSERT_EQ(KvlDataCreateFile(memos ? 0x8B : 0x03, static_cast<uint32_t>(fields.size()),
                                fields.data(), path.c_str(), 0, nullptr),
              0u);
    DataFile data(path, static_cast<uint32_t>(fields.size()));
    ASSERT_EQ(data.open(), 0u);
    for (const Row &row : rows) {
        std::string text = row.name;
        text.resize(kNameWidth, ' ');
        if (memos) {
            uint32_t block = 0;
            if (!row.memo.empty()) {
                ASSERT_EQ(KvlMemoAdd(data.rec(), static_cast<uint32_t>(row.memo.size()),
                                     static_cast<uint32_t>(row.memo.size()), row.memo.data(),
                                     &block, 0),
                          0u);
            }
            text += memo_field_text(block);
        }
        auto record = record_image(row_record_length(memos), text, row.tag);
        uint32_t number = 0;
        ASSERT_EQ(KvlDataAddRecord(data.rec(), record.data(), &number), 0u);
    }
    ASSERT_EQ(KvlDataCloseFile(data.rec()), 0u);
}

// The rows of `path`, memos read through the memo file; `blocks` (when
// given) receives each record's memo field text.
inline std::vector<Row> read_rows(const std::string &path, bool memos,
                                  std::vector<std::string> *blocks = nullptr) {
    std::vector<Row> rows;
    DataFile data(path, memos ? 2 : 1);
    EXPECT_EQ(data.open(), 0u) << path;
    if (data->os_handle == 0) return rows;
    std::vector<char> record(data->header.record_length);
    for (uint32_t n = 1; n <= data->header.record_count; ++n) {
        EXPECT_EQ(KvlDataGetRecord(data.rec(), n, record.data()), 0u);
        Row row{record[0], std::string(record.data() + 1, kNameWidth), ""};
        row.name.erase(row.name.find_last_not_of(' ') + 1);
        if (memos) {
            const std::string field(record.data() + 1 + kNameWidth, 10);
            if (blocks) blocks->push_back(field);
            const uint32_t block = static_cast<uint32_t>(std::strtoul(field.c_str(), nullptr, 10));
            if (block != 0) {
                uint32_t first = 0, size = 0;
                EXPECT_EQ(KvlMemoGetSize(data.rec(), block, &first, &size), 0u);
                row.memo.assign(size, '\0');
                uint32_t count = size;
                EXPECT_EQ(KvlMemoGet(data.rec(), block, 0, &count, row.memo.data()), 0u);
            }
        }
        rows.push_back(row);
    }
    return rows;
}

// Records every progress call: the percentage stored in the new file's
// control record, and the value passed.  Answers `stop_with` at call
// number `stop_at` (from 1), 0 otherwise.
struct ProgressLog {
    std::vector<uint32_t> percents;
    std::vector<uint32_t> values;
    size_t stop_at = 0;
    uint32_t stop_with = 0;
    static ProgressLog *current;
    static uint32_t callback(DataHandle data, uint32_t value) {
        current->percents.push_back(data->progress);
        current->values.push_back(value);
        return current->percents.size() == current->stop_at ? current->stop_with : 0;
    }
    ProgressLog() { current = this; }
};
inline ProgressLog *ProgressLog::current = nullptr;

// Engine memory blocks allocated and not freed.
inline uint32_t blocks_held() {
    return KvlGetVar(KVL_VAR_ALLOC_COUNT, nullptr) - KvlGetVar(KVL_VAR_FREE_COUNT, nullptr);
}

}  // namespace kvl_test

#endif  // KVL_TESTS_ENGINE_DATA_REWRITE_TEST_UTIL_H
