// Damaged, hostile and merely unusual data files: open refuses what it
// cannot trust with a result code, and takes what other writers produce
// within the format.
#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <string>
#include <vector>

#include "engine/data/data_test_util.h"
#include "engine/korval32.h"
#include "support/memory_layer.h"

namespace {

using kvl_test::DataFile;
using kvl_test::MemoryLayer;
using Bytes = std::vector<uint8_t>;

// Three fields (record length 24, header length 129) and two records.
constexpr uint32_t kHeaderLength = 129;
constexpr uint32_t kRecordLength = 24;

Bytes base_file() {
    MemoryLayer fs;
    auto fields = kvl_test::descriptors({{"NAME", 'C', 10}, {"QTY", 'N', 5}, {"WHEN", 'D', 8}});
    EXPECT_EQ(KvlDataCreateFile(3, 3, fields.data(), "B.DBF", 0, fs.table()), 0u);
    DataFile data("B.DBF", 3, fs.table());
    EXPECT_EQ(data.open(), 0u);
    for (const char *text : {"alpha        120240101", "beta          720231231"}) {
        auto rec = kvl_test::record_image(kRecordLength, text);
        uint32_t number = 0;
        EXPECT_EQ(KvlDataAddRecord(data.rec(), rec.data(), &number), 0u);
    }
    EXPECT_EQ(KvlDataCloseFile(data.rec()), 0u);
    return fs.file("B.DBF");
}

void put16(Bytes &b, size_t at, uint32_t v) {
    b[at] = v & 0xFF;
    b[at + 1] = (v >> 8) & 0xFF;
}
void put32(Bytes &b, size_t at, uint32_t v) {
    put16(b, at, v & 0xFFFF);
    put16(b, at + 2, v >> 16);
}

// Puts `extra` bytes between the descriptors' 0x0D and the first record.
void widen_header(Bytes &b, const Bytes &extra) {
    b.insert(b.begin() + kHeaderLength, extra.begin(), extra.end());
    put16(b, 8, kHeaderLength + static_cast<uint32_t>(extra.size()));
}

struct OpenCase {
    const char *what;
    std::function<void(Bytes &)> damage;
    uint32_t capacity;
    uint32_t expected;
};

TEST(DataOpenBadInput, RefusedWithAResultCode) {
    const OpenCase cases[] = {
        {"empty file", [](Bytes &b) { b.clear(); }, 3, KVL_WIN_HANDLE_EOF},
        {"shorter than a header", [](Bytes &b) { b.resize(20); }, 3, KVL_WIN_HANDLE_EOF},
        {"cut inside the descriptors", [](Bytes &b) { b.resize(70); }, 3, KVL_WIN_HANDLE_EOF},
        {"cut before the 0x0D", [](Bytes &b) { b.resize(128); }, 3, KVL_WIN_HANDLE_EOF},
        {"record length 0", [](Bytes &b) { put16(b, 10, 0); }, 3, ERR_NOT_DATA_FILE},
        {"header length 0", [](Bytes &b) { put16(b, 8, 0); }, 3, ERR_NOT_DATA_FILE},
        {"header length 64", [](Bytes &b) { put16(b, 8, 64); }, 3, ERR_NOT_DATA_FILE},
        {"header length one field short", [](Bytes &b) { put16(b, 8, 97); }, 3,
         ERR_NOT_DATA_FILE},
        {"more fields than the capacity", [](Bytes &) {}, 2, ERR_FIELD_COUNT},
        {"header length far beyond the file", [](Bytes &b) { put16(b, 8, 65000); }, 4096,
         KVL_WIN_HANDLE_EOF},
        {"record length above the fields", [](Bytes &b) { put16(b, 10, 50); }, 3,
         ERR_NOT_DATA_FILE},
        {"field reaching past the record", [](Bytes &b) { put16(b, 10, 20); }, 3,
         ERR_NOT_DATA_FILE},
        {"C field length grown", [](Bytes &b) { b[32 + 17] = 1; }, 3, ERR_NOT_DATA_FILE},
        {"no 0x0D after the descriptors", [](Bytes &b) { b[128] = ' '; }, 3, ERR_NOT_DATA_FILE},
        {"0x0D in place of the first descriptor", [](Bytes &b) { b[32] = 0x0D; }, 3,
         ERR_NOT_DATA_FILE},
        {"all zero bytes", [](Bytes &b) { b.assign(1000, 0); }, 3, ERR_NOT_DATA_FILE},
        {"a text file",
         [](Bytes &b) {
             const std::string text = "This is a plain text file, not a table at all.\n";
             b.assign(text.begin(), text.end());
         },
         3, ERR_FIELD_COUNT},
    };
    const Bytes good = base_file();
    for (const OpenCase &c : cases) {
        MemoryLayer fs;
        Bytes bytes = good;
        c.damage(bytes);
        fs.file("B.DBF") = bytes;
        DataFile data("B.DBF", c.capacity, fs.table());
        EXPECT_EQ(data.open(), c.expected) << c.what;
        EXPECT_EQ(data->os_handle, 0u) << c.what;
        EXPECT_EQ(data->field_count, c.capacity) << c.what;
        EXPECT_EQ(fs.open_handles(), 0u) << c.what;
        EXPECT_EQ(fs.file("B.DBF"), bytes) << c.what;  // nothing written
    }
}

// Variations other writers produce; the file opens and reads the same.
TEST(DataOpenBadInput, AcceptedVariations) {
    const OpenCase cases[] = {
        {"as written", [](Bytes &) {}, 3, 0},
        {"no 0x1A at the end", [](Bytes &b) { b.pop_back(); }, 3, 0},
        {"year stored as YY, no month or day",
         [](Bytes &b) { b[1] = 0x05; b[2] = 0; b[3] = 0; }, 3, 0},
        {"year byte 255", [](Bytes &b) { b[1] = 0xFF; }, 3, 0},
        {"a 0x00 after the 0x0D", [](Bytes &b) { widen_header(b, {0}); }, 3, 0},
        {"container backlink after the 0x0D",
         [](Bytes &b) { widen_header(b, Bytes(263, 0)); }, 12, 0},
        {"reserved bytes in use",
         [](Bytes &b) {
             b[12] = b[13] = 0xAB;
             for (int i = 15; i < 32; ++i) b[i] = 0xCD;
             for (int f = 0; f < 3; ++f)
                 for (int i = 20; i < 32; ++i) b[32 + 32 * f + i] = 0x77;
             b[32 + 32 * 1 + 18] = b[32 + 32 * 1 + 19] = 0x55;  // N: length is byte 16
         },
         3, 0},
        {"offsets on disk wrong",
         [](Bytes &b) { put32(b, 32 + 12, 0xFFFFFFFF); put32(b, 64 + 12, 0); }, 3, 0},
        {"capacity larger than needed", [](Bytes &) {}, 40, 0},
    };
    const Bytes good = base_file();
    for (const OpenCase &c : cases) {
        MemoryLayer fs;
        Bytes bytes = good;
        c.damage(bytes);
        fs.file("B.DBF") = bytes;
        DataFile data("B.DBF", c.capacity, fs.table(), 0);
        ASSERT_EQ(data.open(0x80), c.expected) << c.what;
        EXPECT_EQ(data->field_count, 3u) << c.what;
        EXPECT_EQ(data.field_length(0), 10u) << c.what;
        EXPECT_EQ(data.field_length(1), 5u) << c.what;
        EXPECT_EQ(data.field_length(2), 8u) << c.what;
        Bytes rec(kRecordLength);
        ASSERT_EQ(KvlDataGetRecord(data.rec(), 2, rec.data()), 0u) << c.what;
        EXPECT_EQ(rec, kvl_test::record_image(kRecordLength, "beta          720231231"))
            << c.what;
        EXPECT_EQ(KvlDataGetRecord(data.rec(), 3, rec.data()), ERR_BAD_RECORD_NUMBER) << c.what;
    }
}

// A record count larger than the records present: the missing records read
// short; one too large for 32-bit positions is refused, never wrapped.
TEST(DataOpenBadInput, RecordCountBeyondTheFile) {
    struct Case {
        uint32_t count;
        uint32_t number;
        uint32_t expected;
    } cases[] = {
        {3, 2, 0},
        {3, 3, KVL_WIN_HANDLE_EOF},
        {0xFFFFFFFF, 0xFFFFFFFF, ERR_FILE_LIMIT},
        // Record 178956965 ends at 4294967289: its 0x1A still has a position.
        {0xFFFFFFFF, 178956965, KVL_WIN_HANDLE_EOF},
        {0xFFFFFFFF, 178956966, ERR_FILE_LIMIT},
    };
    for (const Case &c : cases) {
        MemoryLayer fs;
        Bytes bytes = base_file();
        put32(bytes, 4, c.count);
        fs.file("B.DBF") = bytes;
        DataFile data("B.DBF", 3, fs.table());
        ASSERT_EQ(data.open(), 0u);
        Bytes rec(kRecordLength);
        EXPECT_EQ(KvlDataGetRecord(data.rec(), c.number, rec.data()), c.expected) << c.number;
        uint32_t number = 0;
        if (c.count == 0xFFFFFFFF) {
            EXPECT_EQ(KvlDataAddRecord(data.rec(), rec.data(), &number), ERR_FILE_LIMIT);
        }
    }
}

// Another process rewriting the header with a new layout would move every
// record and overrun the callers' record buffers: the re-read refuses it.
TEST(DataOpenBadInput, ReReadRefusesAChangedLayout) {
    MemoryLayer fs;
    fs.file("B.DBF") = base_file();
    DataFile data("B.DBF", 3, fs.table());
    ASSERT_EQ(data.open(), 0u);
    put16(fs.file("B.DBF"), 10, 4000);
    EXPECT_EQ(KvlDataReadHeader(data.rec()), ERR_NOT_DATA_FILE);
    EXPECT_EQ(data->header.record_length, kRecordLength);
    put16(fs.file("B.DBF"), 10, kRecordLength);
    put16(fs.file("B.DBF"), 8, kHeaderLength + 32);
    EXPECT_EQ(KvlDataReadHeader(data.rec()), ERR_NOT_DATA_FILE);
    EXPECT_EQ(data->header.header_length, kHeaderLength);
    put16(fs.file("B.DBF"), 8, kHeaderLength);
    put32(fs.file("B.DBF"), 4, 1);
    EXPECT_EQ(KvlDataReadHeader(data.rec()), 0u);
    EXPECT_EQ(data->header.record_count, 1u);
}

// Random damage to the header and descriptors: whatever open answers, an
// open file's fields lie inside its records and every record call returns.
TEST(DataOpenBadInput, RandomDamageNeverBreaksTheInvariants) {
    const Bytes good = base_file();
    std::mt19937 random(20240105);
    int opened = 0;
    for (int round = 0; round < 3000; ++round) {
        MemoryLayer fs;
        Bytes bytes = good;
        const int hits = 1 + static_cast<int>(random() % 4);
        for (int i = 0; i < hits; ++i)
            bytes[random() % (kHeaderLength + 1)] = static_cast<uint8_t>(random());
        fs.file("B.DBF") = bytes;
        DbfHeader header{};
        int32_t declared = 0;
        ASSERT_EQ(KvlDataInfoFile("B.DBF", 0, &header, &declared, fs.table()), 0u);
        const uint32_t capacity = declared > 0 ? static_cast<uint32_t>(declared) : 1;
        DataFile data("B.DBF", capacity, fs.table());
        const uint32_t rc = data.open();
        if (data->os_handle == 0) {
            EXPECT_NE(rc, 0u);
            continue;
        }
        ++opened;
        const uint32_t fields = data->field_count;
        ASSERT_GE(fields, 1u);
        ASSERT_LE(fields, capacity);
        EXPECT_EQ(data->fields[fields - 1].offset + data.field_length(fields - 1),
                  data->header.record_length);
        Bytes rec(data->header.record_length);
        const uint32_t count = std::min<uint32_t>(data->header.record_count, 4);
        for (uint32_t n = 1; n <= count; ++n) KvlDataGetRecord(data.rec(), n, rec.data());
        uint32_t number = 0;
        if (data->header.record_count < 100)  // a far append would grow the file to GBs
            KvlDataAddRecord(data.rec(), rec.data(), &number);
    }
    EXPECT_GT(opened, 100);  // the damage often misses what open checks
}

}  // namespace
