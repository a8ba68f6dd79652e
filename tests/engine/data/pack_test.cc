// Packing a data file: the live records in order, their memos copied, the
// progress calls, a stop by the callback, failures that stop the pack, and
// the cleanup.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/data/rewrite_test_util.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using kvl_test::ProgressLog;
using kvl_test::read_rows;
using kvl_test::Row;
using kvl_test::TempDir;
using kvl_test::write_rows;

std::string text_of(size_t size, char seed) {
    std::string out(size, ' ');
    for (size_t i = 0; i < size; ++i) out[i] = static_cast<char>('a' + (seed + i * 7) % 26);
    return out;
}

TEST(DataPack, KeepsTheLiveRecordsInOrder) {
    for (bool memos : {false, true}) {
        SCOPED_TRACE(memos ? "with memos" : "without memos");
        TempDir dir;
        const std::vector<Row> rows = {{' ', "one", memos ? "first memo" : ""},
                                       {'*', "two", memos ? "dropped" : ""},
                                       {' ', "three", ""},
                                       {'*', "four", ""},
                                       {' ', "five", memos ? text_of(9000, 3) : ""}};
        write_rows(dir.path("old.dbf"), rows, memos);
        const auto before = kvl_test::read_bytes(dir.path("old.dbf"));
        const uint32_t held = kvl_test::blocks_held();
        ASSERT_EQ(KvlDataPack(dir.path("old.dbf").c_str(), dir.path("new.dbf").c_str(), nullptr,
                              nullptr),
                  0u);
        EXPECT_EQ(kvl_test::blocks_held(), held);
        EXPECT_EQ(read_rows(dir.path("new.dbf"), memos),
                  (std::vector<Row>{rows[0], rows[2], rows[4]}));
        EXPECT_EQ(kvl_test::read_bytes(dir.path("old.dbf")), before);
        EXPECT_EQ(fs::exists(dir.path("new.dbt")), memos);
        EXPECT_EQ(kvl_test::read_bytes(dir.path("new.dbf"))[0], memos ? 0x8B : 0x03);
    }
}

TEST(DataPack, ArgumentsAndEmptyFiles) {
    TempDir dir;
    EXPECT_EQ(KvlDataPack(nullptr, "x.dbf", nullptr, nullptr), ERR_NULL_PARAMETER);
    EXPECT_EQ(KvlDataPack("x.dbf", nullptr, nullptr, nullptr), ERR_NULL_PARAMETER);
    EXPECT_EQ(KvlDataPack(dir.path("missing.dbf").c_str(), dir.path("new.dbf").c_str(),
                          nullptr, nullptr),
              KVL_WIN_FILE_NOT_FOUND);
    for (bool memos : {false, true}) {
        write_rows(dir.path("empty.dbf"), {}, memos);
        ProgressLog log;
        const uint32_t held = kvl_test::blocks_held();
        EXPECT_EQ(KvlDataPack(dir.path("empty.dbf").c_str(), dir.path("new.dbf").c_str(),
                              &ProgressLog::callback, nullptr),
                  ERR_EMPTY_FILE);
        EXPECT_EQ(kvl_test::blocks_held(), held);
        EXPECT_FALSE(fs::exists(dir.path("new.dbf")));
        EXPECT_FALSE(fs::exists(dir.path("new.dbt")));
        EXPECT_TRUE(log.percents.empty());
        fs::remove(dir.path("empty.dbf"));
        fs::remove(dir.path("empty.dbt"));
    }
}

TEST(DataPack, ProgressCalls) {
    TempDir dir;
    std::vector<Row> rows;
    for (int i = 0; i < 600; ++i) rows.push_back({' ', "r" + std::to_string(i), ""});
    write_rows(dir.path("old.dbf"), rows, false);
    ProgressLog log;
    ASSERT_EQ(KvlDataPack(dir.path("old.dbf").c_str(), dir.path("new.dbf").c_str(),
                          &ProgressLog::callback, nullptr),
              0u);
    EXPECT_EQ(log.percents, (std::vector<uint32_t>{1, 42, 85, 0}));
    EXPECT_EQ(log.values, (std::vector<uint32_t>{1, 1, 1, 1}));
    EXPECT_EQ(read_rows(dir.path("new.dbf"), false).size(), 600u);
}

TEST(DataPack, TheCallbackStops) {
    struct Case {
        size_t stop_at;
        uint32_t stop_with;
        uint32_t records;  // in the new file
        std::vector<uint32_t> percents;
    };
    const Case cases[] = {
        {1, 5, 0, {1, 0}},          // at the start: the new file exists and is empty
        {2, 8, 256, {1, 42, 0}},    // at record 256
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.stop_at);
        TempDir dir;
        std::vector<Row> rows;
        for (int i = 0; i < 600; ++i) rows.push_back({' ', "r" + std::to_string(i), ""});
        write_rows(dir.path("old.dbf"), rows, false);
        ProgressLog log;
        log.stop_at = c.stop_at;
        log.stop_with = c.stop_with;
        const uint32_t held = kvl_test::blocks_held();
        EXPECT_EQ(KvlDataPack(dir.path("old.dbf").c_str(), dir.path("new.dbf").c_str(),
                              &ProgressLog::callback, nullptr),
                  c.stop_with);
        EXPECT_EQ(kvl_test::blocks_held(), held);
        EXPECT_EQ(log.percents, c.percents);
        ASSERT_TRUE(fs::exists(dir.path("new.dbf")));
        EXPECT_EQ(read_rows(dir.path("new.dbf"), false).size(), c.records);
    }
}

// Blank memo fields stay blank; a field holding block 7 gets the block of
// the copy in the new memo file.
TEST(DataPack, MemoFieldsGetTheNewBlockNumbers) {
    TempDir dir;
    const std::string old_name = dir.path("old.dbf");
    {
        // Blocks 1 to 6 hold memos of deleted records, block 7 a live one.
        std::vector<Row> rows;
        for (int i = 1; i <= 6; ++i) rows.push_back({'*', "gone", text_of(20, char(i))});
        rows.push_back({' ', "kept", text_of(30, 'k')});
        rows.push_back({' ', "blank", ""});
        write_rows(old_name, rows, true);
    }
    std::vector<std::string> old_fields;
    read_rows(old_name, true, &old_fields);
    ASSERT_EQ(old_fields[6], "         7");
    ASSERT_EQ(KvlDataPack(old_name.c_str(), dir.path("new.dbf").c_str(), nullptr, nullptr), 0u);
    std::vector<std::string> new_fields;
    const auto rows = read_rows(dir.path("new.dbf"), true, &new_fields);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(new_fields[0], "         1");
    EXPECT_EQ(new_fields[1], "          ");
    EXPECT_EQ(rows[0].memo, text_of(30, 'k'));
}

// Memos larger than the copy buffer go over in pieces: the first stores the
// whole size, the others are written at their offsets.
TEST(DataPack, MemosCopiedInChunks) {
    for (uint32_t buffer : {4096u, 100u, 1u}) {
        SCOPED_TRACE(buffer);
        TempDir dir;
        const std::vector<Row> rows = {{' ', "a", text_of(1, 1)},
                                       {' ', "b", text_of(4096, 2)},
                                       {' ', "c", text_of(4097, 3)},
                                       {' ', "d", text_of(buffer == 1 ? 700 : 30000, 4)}};
        write_rows(dir.path("old.dbf"), rows, true);
        uint32_t value = buffer;
        ASSERT_EQ(KvlSetVar(&value, KVL_VAR_PACK_BUFFER), 0u);
        const uint32_t rc = KvlDataPack(dir.path("old.dbf").c_str(), dir.path("new.dbf").c_str(),
                                        nullptr, nullptr);
        ASSERT_EQ(KvlSetVar(&value, KVL_VAR_PACK_BUFFER), 0u);
        ASSERT_EQ(rc, 0u);
        EXPECT_EQ(read_rows(dir.path("new.dbf"), true), rows);
    }
}

// A memo that cannot be read stops the pack with the error, at once: no
// retry, no record left out silently.  With a small copy buffer the first
// chunk of a memo with a wild length word still reads; the new memo file
// must not grow by the length the word claims.
TEST(DataPack, AnUnreadableMemoStopsThePack) {
    uint32_t buffer = 100;
    ASSERT_EQ(KvlSetVar(&buffer, KVL_VAR_PACK_BUFFER), 0u);
    struct Case {
        const char *what;
        uint32_t word_offset;  // in block 2 of the memo file
        uint32_t value;
        uint32_t rc;
    };
    const Case cases[] = {
        {"length word past the end of the file", 4, 0x00F00000, KVL_WIN_HANDLE_EOF},
        {"not a memo", 0, 0x12345678, ERR_MEMO_NOT_MEMO},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        write_rows(dir.path("old.dbf"),
                   {{' ', "a", "first"}, {' ', "b", "second"}, {' ', "c", "third"}}, true);
        auto memo = kvl_test::read_bytes(dir.path("old.dbt"));
        std::memcpy(&memo[512 * 2 + c.word_offset], &c.value, 4);
        kvl_test::write_bytes(dir.path("old.dbt"), memo);
        const uint32_t held = kvl_test::blocks_held();
        EXPECT_EQ(KvlDataPack(dir.path("old.dbf").c_str(), dir.path("new.dbf").c_str(), nullptr,
                              nullptr),
                  c.rc);
        EXPECT_EQ(kvl_test::blocks_held(), held);
        EXPECT_EQ(read_rows(dir.path("new.dbf"), true).size(), 1u);
        EXPECT_LT(fs::file_size(dir.path("new.dbt")), 4096u);
    }
    ASSERT_EQ(KvlSetVar(&buffer, KVL_VAR_PACK_BUFFER), 0u);
}

TEST(DataPack, AtMostThirtyTwoMemoFields) {
    for (uint32_t count : {32u, 33u}) {
        TempDir dir;
        std::vector<FieldDescriptor> fields;
        for (uint32_t i = 0; i < count; ++i) {
            const std::string name = "M" + std::to_string(i);
            fields.push_back(kvl_test::descriptor({name.c_str(), 'M', 10}));
        }
        const std::string path = dir.path("old.dbf");
        ASSERT_EQ(KvlDataCreateFile(0x8B, count, fields.data(), path.c_str(), 0, nullptr), 0u);
        {
            kvl_test::DataFile data(path, count);
            ASSERT_EQ(data.open(), 0u);
            std::vector<uint8_t> record(data->header.record_length, ' ');
            uint32_t number = 0;
            ASSERT_EQ(KvlDataAddRecord(data.rec(), record.data(), &number), 0u);
        }
        EXPECT_EQ(KvlDataPack(path.c_str(), dir.path("new.dbf").c_str(), nullptr, nullptr),
                  count == 32 ? 0u : ERR_PACK_MEMO);
    }
}

// A source whose memo file is missing is not packed: its memos could not
// be copied.
TEST(DataPack, ASourceWithoutItsMemoFile) {
    TempDir dir;
    write_rows(dir.path("old.dbf"), {{' ', "a", "memo"}}, true);
    fs::remove(dir.path("old.dbt"));
    EXPECT_EQ(KvlDataPack(dir.path("old.dbf").c_str(), dir.path("new.dbf").c_str(), nullptr,
                          nullptr),
              ERR_MEMO_OPEN);
    EXPECT_FALSE(fs::exists(dir.path("new.dbf")));
}

}  // namespace
