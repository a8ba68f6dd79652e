// Data file operations: create, information, open, flush, close, copy,
// re-read and zap, through the exported calls.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "engine/korval32.h"
#include "engine/data/data_test_util.h"
#include "support/memory_layer.h"
#include "support/temp_dir.h"

namespace {

using kvl_test::DataFile;
using kvl_test::descriptors;
using kvl_test::MemoryLayer;
using kvl_test::u16_at;
using kvl_test::u32_at;

// Eight fields adding up to 93 bytes.
std::vector<FieldDescriptor> ninety_three() {
    return descriptors({{"A", 'C', 10}, {"B", 'C', 10}, {"C", 'N', 10, 2}, {"D", 'D', 8},
                        {"E", 'C', 20}, {"F", 'L', 1}, {"G", 'C', 30}, {"H", 'N', 4}});
}

TEST(DataCreate, WritesHeaderDescriptorsAndEndBytes) {
    MemoryLayer fs;
    auto fields = ninety_three();
    fields[0].name[10] = 'x';  // create forces byte 10 to 0, in the caller's array too
    ASSERT_EQ(KvlDataCreateFile(0x03, 8, fields.data(), "T.DBF", 0, fs.table()), 0u);

    const auto &file = fs.file("T.DBF");
    ASSERT_EQ(file.size(), 290u);
    EXPECT_EQ(file[0], 0x03);
    std::time_t now = std::time(nullptr);
    std::tm today{};
    localtime_r(&now, &today);
    EXPECT_EQ(file[1], today.tm_year % 256);
    EXPECT_EQ(file[2], today.tm_mon + 1);
    EXPECT_EQ(file[3], today.tm_mday);
    EXPECT_EQ(u32_at(file, 4), 0u);
    EXPECT_EQ(u16_at(file, 8), 289u);
    EXPECT_EQ(u16_at(file, 10), 94u);
    EXPECT_EQ(file[14], 0);
    EXPECT_EQ(file[288], 0x0D);
    EXPECT_EQ(file[289], 0x1A);
    // Offsets run from 1, in the file and in the caller's array.
    const uint32_t expected_offsets[8] = {1, 11, 21, 31, 39, 59, 60, 90};
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(u32_at(file, 32 + 32 * i + 12), expected_offsets[i]) << i;
        EXPECT_EQ(fields[i].offset, expected_offsets[i]) << i;
    }
    EXPECT_EQ(fields[0].name[10], 0);
    EXPECT_EQ(file[32 + 10], 0);
    EXPECT_EQ(fs.open_handles(), 0u);
}

// The field length rule, observed as the record length create writes.
TEST(DataCreate, FieldLengthRule) {
    struct Case {
        char type;
        uint8_t b16, b17, b18, b19;
        uint32_t length;  // 0: refused with ERR_FIELD_LENGTH
    } cases[] = {
        {'C', 0x2C, 0x01, 0, 0, 300},   // length and decimal byte read together
        {'C', 0, 0, 0x10, 0x01, 272},   // else the first reserved word
        {'C', 0, 0, 0, 0, 0},
        {'3', 200, 9, 0, 0, 2},         {'4', 0, 0, 0, 0, 2},
        {'5', 1, 0, 0, 0, 4},           {'6', 0, 0, 0, 0, 4},
        {'7', 0, 0, 0, 0, 8},           {'8', 3, 0, 0, 0, 8},
        {'Y', 0, 0, 0, 0, 8},
        {'N', 12, 3, 0, 0, 12},         {'D', 8, 0, 0, 0, 8},
        {'N', 0, 2, 7, 0, 0},           // only C reads the reserved word
    };
    for (const Case &c : cases) {
        MemoryLayer fs;
        FieldDescriptor d{};
        std::strcpy(d.name, "F");
        d.type = c.type;
        d.length = c.b16;
        d.decimals = c.b17;
        d.reserved[0] = c.b18;
        d.reserved[1] = c.b19;
        const uint32_t rc = KvlDataCreateFile(3, 1, &d, "L.DBF", 0, fs.table());
        if (c.length == 0) {
            EXPECT_EQ(rc, ERR_FIELD_LENGTH) << c.type;
            EXPECT_FALSE(fs.exists("L.DBF")) << c.type;
            continue;
        }
        ASSERT_EQ(rc, 0u) << c.type;
        EXPECT_EQ(u16_at(fs.file("L.DBF"), 10), c.length + 1) << c.type;
    }
}

TEST(DataCreate, Refusals) {
    auto one = descriptors({{"A", 'C', 5}});
    auto wide = descriptors({{"A", 'C', 65000}, {"B", 'C', 535}});   // 65535
    auto widest = descriptors({{"A", 'C', 65000}, {"B", 'C', 534}}); // 65534
    auto empty_n = descriptors({{"A", 'C', 5}, {"B", 'N', 0}});
    std::vector<FieldDescriptor> many(1025, one[0]);
    struct Case {
        const char *what;
        uint32_t count;
        FieldDescriptor *fields;
        const char *name;
        uint32_t expected;
    } cases[] = {
        {"null descriptors", 1, nullptr, "X.DBF", ERR_NULL_PARAMETER},
        {"null name", 1, one.data(), nullptr, ERR_NULL_PARAMETER},
        {"no fields", 0, one.data(), "X.DBF", ERR_FIELD_COUNT},
        {"1025 fields", 1025, many.data(), "X.DBF", ERR_FIELD_COUNT},
        {"N of length 0", 2, empty_n.data(), "X.DBF", ERR_FIELD_LENGTH},
        {"lengths add to 65535", 2, wide.data(), "X.DBF", ERR_RECORD_TOO_LONG},
    };
    for (const Case &c : cases) {
        MemoryLayer fs;
        EXPECT_EQ(KvlDataCreateFile(3, c.count, c.fields, c.name, 0, fs.table()), c.expected)
            << c.what;
        EXPECT_FALSE(fs.exists("X.DBF")) << c.what;
    }
    MemoryLayer fs;
    ASSERT_EQ(KvlDataCreateFile(3, 2, widest.data(), "X.DBF", 0, fs.table()), 0u);
    EXPECT_EQ(u16_at(fs.file("X.DBF"), 10), 65535u);
    ASSERT_EQ(KvlDataCreateFile(3, 1024, many.data(), "Y.DBF", 0, fs.table()), 0u);
    EXPECT_EQ(fs.file("Y.DBF").size(), 32u * 1024 + 34);
    // An existing file is left alone.
    const auto before = fs.file("X.DBF");
    EXPECT_EQ(KvlDataCreateFile(3, 1, one.data(), "X.DBF", 0, fs.table()), KVL_WIN_FILE_EXISTS);
    EXPECT_EQ(fs.file("X.DBF"), before);
}

TEST(DataInfo, ReportsHeaderAndDeclaredFieldCount) {
    MemoryLayer fs;
    auto fields = ninety_three();
    ASSERT_EQ(KvlDataCreateFile(3, 8, fields.data(), "T.DBF", 0, fs.table()), 0u);
    DbfHeader header{};
    int32_t count = 0;
    ASSERT_EQ(KvlDataInfoFile("T.DBF", 0, &header, &count, fs.table()), 0u);
    EXPECT_EQ(count, 8);
    EXPECT_EQ(header.header_length, 289);
    EXPECT_EQ(header.record_length, 94);
    EXPECT_EQ(fs.open_handles(), 0u);

    fs.file("T.DBF")[8] = 0;  // header length 0: (0 - 33) >> 5, signed
    fs.file("T.DBF")[9] = 0;
    ASSERT_EQ(KvlDataInfoFile("T.DBF", 0, &header, &count, fs.table()), 0u);
    EXPECT_EQ(count, -2);

    count = 77;
    EXPECT_EQ(KvlDataInfoFile("NONE.DBF", 0, &header, &count, fs.table()),
              KVL_WIN_FILE_NOT_FOUND);
    EXPECT_EQ(count, 77);
    EXPECT_EQ(KvlDataInfoFile("T.DBF", 0, nullptr, &count, fs.table()), ERR_NULL_PARAMETER);
    EXPECT_EQ(KvlDataInfoFile("T.DBF", 0, &header, nullptr, fs.table()), ERR_NULL_PARAMETER);
    EXPECT_EQ(KvlDataInfoFile(nullptr, 0, &header, &count, fs.table()), ERR_NULL_PARAMETER);
}

TEST(DataOpen, OrderOfChecks) {
    MemoryLayer fs;
    auto fields = ninety_three();
    ASSERT_EQ(KvlDataCreateFile(3, 8, fields.data(), "T.DBF", 0, fs.table()), 0u);
    EXPECT_EQ(KvlDataOpenFile(nullptr, 0), ERR_NULL_PARAMETER);

    // Capacity 0 is refused before any file access, even for a missing file.
    DataFile none("MISSING.DBF", 0, fs.table());
    const uint64_t calls = fs.calls();
    EXPECT_EQ(none.open(), ERR_FIELD_COUNT);
    EXPECT_EQ(fs.calls(), calls);

    DataFile missing("MISSING.DBF", 8, fs.table());
    EXPECT_EQ(missing.open(), KVL_WIN_FILE_NOT_FOUND);
    EXPECT_EQ(missing->os_handle, 0u);

    DataFile data("T.DBF", 8, fs.table());
    ASSERT_EQ(data.open(0x80 | 0x10 | 0x08 | 0x01 | 0x100), 0u);
    EXPECT_EQ(data->kind & KVL_KIND_DATA, KVL_KIND_DATA);
    EXPECT_EQ(data->state, 0x98u);  // only the open flags 0x98 are kept
    EXPECT_EQ(data->field_count, 8u);
    EXPECT_EQ(data.open(), ERR_ALREADY_OPEN);

    DataFile small("T.DBF", 7, fs.table());
    EXPECT_EQ(small.open(), ERR_FIELD_COUNT);
    EXPECT_EQ(small->os_handle, 0u);
    EXPECT_EQ(small->field_count, 7u);  // capacity kept: the record can be reused
}

TEST(DataOpen, DescriptorsInMemory) {
    MemoryLayer fs;
    auto fields = descriptors({{"id", 'C', 6}, {"Amount", 'N', 12, 2}, {"wide", 'C', 300}});
    ASSERT_EQ(KvlDataCreateFile(3, 3, fields.data(), "T.DBF", 0, fs.table()), 0u);
    // Garbage in byte 10 on disk must not show up in memory.
    fs.file("T.DBF")[32 + 10] = 'Z';

    DataFile kept("T.DBF", 3, fs.table(), 0x42 | KVL_OPEN_KEEP_NAMES);
    ASSERT_EQ(kept.open(), 0u);
    EXPECT_EQ(kept->open_mode, 0x42u);  // bit 31 cleared
    EXPECT_EQ(kept.field_name(0), "id");
    EXPECT_EQ(kept.field_name(1), "Amount");
    EXPECT_EQ(kept->fields[0].offset, 1u);
    EXPECT_EQ(kept->fields[1].offset, 7u);
    EXPECT_EQ(kept->fields[2].offset, 19u);
    EXPECT_EQ(kept.field_length(2), 300u);

    DataFile upper("T.DBF", 3, fs.table());
    ASSERT_EQ(upper.open(), 0u);
    EXPECT_EQ(upper.field_name(0), "ID");
    EXPECT_EQ(upper.field_name(1), "AMOUNT");
    EXPECT_EQ(upper.field_name(2), "WIDE");
    EXPECT_EQ(std::string(upper->fields[0].name, 11), std::string("ID\0\0\0\0\0\0\0\0\0", 11));
}

TEST(DataOpen, UnfinishedUpdateOpensWith8318AndIsUsable) {
    MemoryLayer fs;
    auto fields = ninety_three();
    ASSERT_EQ(KvlDataCreateFile(3, 8, fields.data(), "T.DBF", 0, fs.table()), 0u);
    fs.file("T.DBF")[14] = 1;
    DataFile data("T.DBF", 8, fs.table());
    ASSERT_EQ(data.open(), ERR_INCOMPLETE_WRITE);
    ASSERT_NE(data->os_handle, 0u);
    auto rec = kvl_test::record_image(94, "first");
    uint32_t number = 0;
    ASSERT_EQ(KvlDataAddRecord(data.rec(), rec.data(), &number), 0u);
    EXPECT_EQ(number, 1u);
    ASSERT_EQ(KvlDataFlushHeader(data.rec()), 0u);
    EXPECT_EQ(fs.file("T.DBF")[14], 0);
    EXPECT_EQ(u32_at(fs.file("T.DBF"), 4), 1u);
    EXPECT_EQ(KvlDataCloseFile(data.rec()), 0u);
    DataFile again("T.DBF", 8, fs.table());
    EXPECT_EQ(again.open(), 0u);
}

TEST(DataFlush, UnchangedHeaderWritesNothingEvenReadOnly) {
    MemoryLayer fs;
    auto fields = ninety_three();
    ASSERT_EQ(KvlDataCreateFile(3, 8, fields.data(), "T.DBF", 0, fs.table()), 0u);
    fs.file("T.DBF")[1] = 0;  // a date a flush would restamp
    DataFile data("T.DBF", 8, fs.table(), 0);
    ASSERT_EQ(data.open(0x80), 0u);
    const auto before = fs.file("T.DBF");
    EXPECT_EQ(KvlDataFlushHeader(data.rec()), 0u);
    EXPECT_EQ(fs.file("T.DBF"), before);
    data->state |= KVL_STATE_CHANGED;
    EXPECT_EQ(KvlDataFlushHeader(data.rec()), ERR_READ_ONLY);
    data->state &= ~KVL_STATE_CHANGED;
    EXPECT_EQ(KvlDataCloseFile(data.rec()), 0u);
    EXPECT_EQ(KvlDataFlushHeader(data.rec()), ERR_BAD_FILE_HANDLE);
    EXPECT_EQ(KvlDataFlushHeader(nullptr), ERR_NULL_PARAMETER);
}

TEST(DataFlush, AfterThreeAppendsFileEndsWithEofByte) {
    kvl_test::TempDir dir;  // the built-in layer this time
    const std::string path = dir.path("T.DBF");
    auto fields = ninety_three();
    ASSERT_EQ(KvlDataCreateFile(3, 8, fields.data(), path.c_str(), 0, nullptr), 0u);
    DataFile data(path, 8);
    ASSERT_EQ(data.open(), 0u);
    for (int i = 0; i < 3; ++i) {
        auto rec = kvl_test::record_image(94, "record " + std::to_string(i));
        uint32_t number = 0;
        ASSERT_EQ(KvlDataAddRecord(data.rec(), rec.data(), &number), 0u);
    }
    ASSERT_EQ(KvlDataFlushHeader(data.rec()), 0u);
    EXPECT_EQ(data->state & KVL_STATE_CHANGED, 0u);
    auto file = kvl_test::read_bytes(path);
    ASSERT_EQ(file.size(), 289u + 3 * 94 + 1);
    EXPECT_EQ(file.back(), 0x1A);
    EXPECT_EQ(u32_at(file, 4), 3u);
    EXPECT_EQ(file[14], 0);
}

TEST(DataClose, FlushesChangedHeaderThenCloses) {
    MemoryLayer fs;
    auto fields = ninety_three();
    ASSERT_EQ(KvlDataCreateFile(3, 8, fields.data(), "T.DBF", 0, fs.table()), 0u);
    DataFile data("T.DBF", 8, fs.table());
    ASSERT_EQ(data.open(), 0u);
    auto rec = kvl_test::record_image(94, "x");
    uint32_t number = 0;
    ASSERT_EQ(KvlDataAddRecord(data.rec(), rec.data(), &number), 0u);
    ASSERT_EQ(KvlDataAddRecord(data.rec(), rec.data(), &number), 0u);
    // The first append put the unfinished mark on disk, the count on disk
    // moves only at a flush.
    EXPECT_EQ(fs.file("T.DBF")[14], 1);
    EXPECT_EQ(u32_at(fs.file("T.DBF"), 4), 0u);
    ASSERT_EQ(KvlDataCloseFile(data.rec()), 0u);
    EXPECT_EQ(data->os_handle, 0u);
    EXPECT_EQ(fs.open_handles(), 0u);
    EXPECT_EQ(u32_at(fs.file("T.DBF"), 4), 2u);
    EXPECT_EQ(fs.file("T.DBF")[14], 0);
    EXPECT_EQ(fs.file("T.DBF").size(), 289u + 2 * 94 + 1);
    EXPECT_EQ(KvlDataCloseFile(nullptr), ERR_NULL_PARAMETER);
}

TEST(DataCopyHeader, CreatesEmptyFileOfTheSameLayout) {
    MemoryLayer fs;
    auto fields = ninety_three();
    ASSERT_EQ(KvlDataCreateFile(0x03, 8, fields.data(), "T.DBF", 0, fs.table()), 0u);
    DataFile data("T.DBF", 8, fs.table());
    ASSERT_EQ(data.open(), 0u);
    auto rec = kvl_test::record_image(94, "x");
    uint32_t number = 0;
    ASSERT_EQ(KvlDataAddRecord(data.rec(), rec.data(), &number), 0u);
    ASSERT_EQ(KvlDataCopyHeader(data.rec(), "COPY.DBF"), 0u);
    const auto &copy = fs.file("COPY.DBF");
    const auto &original = fs.file("T.DBF");
    ASSERT_EQ(copy.size(), 290u);
    EXPECT_EQ(copy[0], original[0]);
    EXPECT_EQ(u32_at(copy, 4), 0u);
    EXPECT_TRUE(std::equal(copy.begin() + 8, copy.begin() + 12, original.begin() + 8));
    EXPECT_TRUE(std::equal(copy.begin() + 32, copy.begin() + 289, original.begin() + 32));
    EXPECT_EQ(KvlDataCopyHeader(data.rec(), "COPY.DBF"), KVL_WIN_FILE_EXISTS);
    EXPECT_EQ(KvlDataCopyHeader(data.rec(), nullptr), ERR_NULL_PARAMETER);
    EXPECT_EQ(KvlDataCopyHeader(nullptr, "C2.DBF"), ERR_NULL_PARAMETER);
}

TEST(DataReadHeader, SeesAnotherHandlesChanges) {
    MemoryLayer fs;
    auto fields = ninety_three();
    ASSERT_EQ(KvlDataCreateFile(3, 8, fields.data(), "T.DBF", 0, fs.table()), 0u);
    DataFile reader("T.DBF", 8, fs.table());
    DataFile writer("T.DBF", 8, fs.table());
    EXPECT_EQ(KvlDataReadHeader(reader.rec()), ERR_FILE_NOT_OPEN);
    ASSERT_EQ(reader.open(), 0u);
    ASSERT_EQ(writer.open(), 0u);

    auto rec = kvl_test::record_image(94, "x");
    uint32_t number = 0;
    ASSERT_EQ(KvlDataAddRecord(writer.rec(), rec.data(), &number), 0u);
    ASSERT_EQ(KvlDataAddRecord(writer.rec(), rec.data(), &number), 0u);
    // The writer's first append put the unfinished mark on disk, without
    // a new count: the records are not the file's until a flush.
    EXPECT_EQ(KvlDataReadHeader(reader.rec()), ERR_INCOMPLETE_WRITE);
    EXPECT_EQ(reader->header.record_count, 0u);
    ASSERT_EQ(KvlDataFlushHeader(writer.rec()), 0u);
    EXPECT_EQ(KvlDataReadHeader(reader.rec()), 0u);
    EXPECT_EQ(reader->header.record_count, 2u);

    ASSERT_EQ(KvlDataAddRecord(writer.rec(), rec.data(), &number), 0u);
    EXPECT_EQ(KvlDataReadHeader(writer.rec()), ERR_HEADER_DIRTY);

    reader->kind = 0;
    EXPECT_EQ(KvlDataReadHeader(reader.rec()), ERR_WRONG_FILE_KIND);
    EXPECT_EQ(KvlDataReadHeader(nullptr), ERR_NULL_PARAMETER);
}

TEST(DataZap, EmptiesTheFile) {
    MemoryLayer fs;
    auto fields = ninety_three();
    ASSERT_EQ(KvlDataCreateFile(3, 8, fields.data(), "T.DBF", 0, fs.table()), 0u);
    DataFile data("T.DBF", 8, fs.table());
    ASSERT_EQ(data.open(), 0u);
    auto rec = kvl_test::record_image(94, "x");
    uint32_t number = 0;
    for (int i = 0; i < 4; ++i) ASSERT_EQ(KvlDataAddRecord(data.rec(), rec.data(), &number), 0u);
    ASSERT_EQ(KvlDataFlushHeader(data.rec()), 0u);
    ASSERT_EQ(KvlDataZapHeader(data.rec()), 0u);
    const auto &file = fs.file("T.DBF");
    ASSERT_EQ(file.size(), 290u);
    EXPECT_EQ(file[288], 0x0D);
    EXPECT_EQ(file[289], 0x1A);
    EXPECT_EQ(u32_at(file, 4), 0u);
    EXPECT_EQ(data->header.record_count, 0u);

    DataFile reader("T.DBF", 8, fs.table());
    ASSERT_EQ(reader.open(0x80), 0u);
    EXPECT_EQ(KvlDataZapHeader(reader.rec()), ERR_READ_ONLY);
    EXPECT_EQ(KvlDataZapHeader(nullptr), ERR_NULL_PARAMETER);
}

}  // namespace
