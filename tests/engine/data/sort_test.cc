// Sorting a data file by an index: key order, records the index leaves out,
// deleted records with keys, memos copied into the new file's own memo
// file, progress, empty files and indexes, and the cleanup.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "engine/data/rewrite_test_util.h"
#include "engine/korval32_control.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using kvl_test::DataFile;
using kvl_test::ProgressLog;
using kvl_test::read_rows;
using kvl_test::Row;
using kvl_test::TempDir;
using kvl_test::write_rows;

constexpr uint32_t kNodeSize = 512;

// Creates an index on NAME over the data file and stores the key of every
// record the tag filter lets through.
void build_name_index(const std::string &data_path, const std::string &index_path, bool memos,
                      uint32_t tag_filter) {
    DataFile data(data_path, memos ? 2 : 1);
    ASSERT_EQ(data.open(), 0u);
    char expression[] = "NAME";
    ASSERT_EQ(KvlIx4CreateFile(kNodeSize, KVL_SORT_BYTES | KVL_IX_DUPLICATES, 850, 1, nullptr,
                               expression, data.rec(), index_path.c_str(), nullptr, 0, nullptr),
              0u);
    korval32::IndexControl control(kNodeSize);
    IndexControlRecord *index = control.get();
    index->data_link = data.rec();
    index->file_name = index_path.c_str();
    index->open_mode = 2;
    index->tag_filter = tag_filter;
    ASSERT_EQ(KvlIx4OpenFile(index, 0), 0u);
    std::vector<uint8_t> record(data->header.record_length);
    uint8_t key[KVL_MAX_KEY_LENGTH + 8];
    for (uint32_t n = 1; n <= data->header.record_count; ++n) {
        ASSERT_EQ(KvlDataGetRecord(data.rec(), n, record.data()), 0u);
        const uint32_t rc = KvlIx4KeyForRecord(index, key, 0, record.data());
        if (rc == ERR_RECORD_FILTERED) continue;
        ASSERT_EQ(rc, 0u);
        ASSERT_EQ(KvlIx4StoreKey(index, key, n), 0u);
    }
    ASSERT_EQ(KvlIx4CloseFile(index), 0u);
}

struct Paths {
    TempDir dir;
    std::string data = dir.path("old.dbf"), index = dir.path("name.ix4"),
                sorted = dir.path("new.dbf");
};

uint32_t sort(const Paths &p, KvlDataProgress progress = nullptr) {
    return KvlDataSort(p.index.c_str(), p.data.c_str(), p.sorted.c_str(), progress, nullptr);
}

TEST(DataSort, KeyOrderTagFilterAndMemos) {
    const std::vector<Row> rows = {{' ', "delta", "memo of delta"},
                                   {'*', "alpha", "memo of a deleted record"},
                                   {' ', "charlie", ""},
                                   {' ', "bravo", std::string(3000, 'b')},
                                   {' ', "alpha", "second alpha"}};
    struct Case {
        bool memos;
        uint32_t tag_filter;
        std::vector<size_t> order;  // indexes into rows
    };
    const Case cases[] = {
        {false, 0, {1, 4, 3, 2, 0}},  // ties in record order; the deleted record has a key
        {false, '*', {4, 3, 2, 0}},
        {true, 0, {1, 4, 3, 2, 0}},
        {true, '*', {4, 3, 2, 0}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << (c.memos ? "memos" : "no memos") << ", filter "
                                        << c.tag_filter);
        Paths p;
        std::vector<Row> source = rows;
        if (!c.memos)
            for (Row &r : source) r.memo.clear();
        write_rows(p.data, source, c.memos);
        build_name_index(p.data, p.index, c.memos, c.tag_filter);
        const auto data_before = kvl_test::read_bytes(p.data);
        const auto index_before = kvl_test::read_bytes(p.index);
        const uint32_t held = kvl_test::blocks_held();
        ASSERT_EQ(sort(p), 0u);
        EXPECT_EQ(kvl_test::blocks_held(), held);
        std::vector<Row> expected;
        for (size_t i : c.order) expected.push_back(source[i]);
        EXPECT_EQ(read_rows(p.sorted, c.memos), expected);
        // The sorted file has a memo file of its own: the source's may go.
        EXPECT_EQ(fs::exists(p.dir.path("new.dbt")), c.memos);
        EXPECT_EQ(kvl_test::read_bytes(p.sorted)[0], c.memos ? 0x8B : 0x03);
        EXPECT_EQ(kvl_test::read_bytes(p.data), data_before);
        EXPECT_EQ(kvl_test::read_bytes(p.index), index_before);
        if (c.memos) {
            fs::remove(p.dir.path("old.dbt"));
            EXPECT_EQ(read_rows(p.sorted, true), expected);
        }
    }
}

TEST(DataSort, EmptyFileAndEmptyIndex) {
    Paths p;
    write_rows(p.data, {}, false);
    build_name_index(p.data, p.index, false, 0);
    EXPECT_EQ(sort(p), ERR_EMPTY_FILE);
    EXPECT_FALSE(fs::exists(p.sorted));

    // Records, but none with a key: an empty copy.
    Paths q;
    write_rows(q.data, {{'*', "gone", ""}, {'*', "gone too", ""}}, false);
    build_name_index(q.data, q.index, false, '*');
    ProgressLog log;
    EXPECT_EQ(sort(q, &ProgressLog::callback), 0u);
    EXPECT_TRUE(read_rows(q.sorted, false).empty());
    EXPECT_EQ(log.percents, (std::vector<uint32_t>{1, 0}));
}

TEST(DataSort, ArgumentsAndMissingFiles) {
    Paths p;
    EXPECT_EQ(KvlDataSort(nullptr, "d", "n", nullptr, nullptr), ERR_NULL_PARAMETER);
    EXPECT_EQ(KvlDataSort("i", nullptr, "n", nullptr, nullptr), ERR_NULL_PARAMETER);
    EXPECT_EQ(KvlDataSort("i", "d", nullptr, nullptr, nullptr), ERR_NULL_PARAMETER);
    write_rows(p.data, {{' ', "x", ""}}, false);
    const uint32_t held = kvl_test::blocks_held();
    EXPECT_EQ(sort(p), KVL_WIN_FILE_NOT_FOUND);  // no index yet
    EXPECT_EQ(kvl_test::blocks_held(), held);
    EXPECT_FALSE(fs::exists(p.sorted));
}

TEST(DataSort, ProgressAndStop) {
    Paths p;
    std::vector<Row> rows;
    for (int i = 600; i > 0; --i) rows.push_back({' ', "r" + std::to_string(1000 + i), ""});
    write_rows(p.data, rows, false);
    build_name_index(p.data, p.index, false, 0);
    {
        ProgressLog log;
        ASSERT_EQ(sort(p, &ProgressLog::callback), 0u);
        EXPECT_EQ(log.percents, (std::vector<uint32_t>{1, 42, 85, 0}));
        EXPECT_EQ(log.values, (std::vector<uint32_t>{1, 1, 1, 1}));
        const auto sorted = read_rows(p.sorted, false);
        ASSERT_EQ(sorted.size(), 600u);
        EXPECT_EQ(sorted.front().name, "r1001");
        EXPECT_EQ(sorted.back().name, "r1600");
    }
    fs::remove(p.sorted);
    ProgressLog log;
    log.stop_at = 2;
    log.stop_with = 9;
    EXPECT_EQ(sort(p, &ProgressLog::callback), 9u);
    EXPECT_EQ(read_rows(p.sorted, false).size(), 256u);
}

}  // namespace
