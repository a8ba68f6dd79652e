// Data files and records: the bytes create writes, opens of damaged and of
// unusual files, flush, close, copy, re-read and zap, record reads and
// writes at the edges (the last record, the lock region), the unfinished-
// update mark, the record callback, and pack and sort of whole files.
#include <gtest/gtest.h>

#include <ctime>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "engine/engine_support.h"
#include "support/memory_layer.h"

namespace {

namespace fs = std::filesystem;
using kvl_test::Bytes;
using kvl_test::DataFile;
using kvl_test::MemoryLayer;
using kvl_test::record_image;
using kvl_test::Result;
using kvl_test::Row;
using kvl_test::u16_at;
using kvl_test::u32_at;

constexpr uint32_t kHeader = 289, kLength = 124;  // the register layout

// A register file "R.DBF" with `count` flushed records "record 1", ...
void make_register(MemoryLayer &fs, uint32_t count) {
    auto fields = kvl_test::register_fields();
    ASSERT_EQ(KvlDataCreateFile(3, 8, fields.data(), "R.DBF", 0, fs.table()), 0u);
    DataFile data("R.DBF", 8, fs.table());
    ASSERT_EQ(data.open(), 0u);
    for (uint32_t i = 1; i <= count; ++i) {
        auto rec = record_image(kLength, "record " + std::to_string(i));
        uint32_t number = 0;
        ASSERT_EQ(KvlDataAddRecord(data.rec(), rec.data(), &number), 0u);
        ASSERT_EQ(number, i);
    }
    ASSERT_EQ(KvlDataCloseFile(data.rec()), 0u);
}

Bytes record_on_disk(MemoryLayer &fs, uint32_t number) {
    const Bytes &file = fs.file("R.DBF");
    const size_t at = kHeader + size_t(number - 1) * kLength;
    return Bytes(file.begin() + at, file.begin() + at + kLength);
}

TEST(DataCreate, HeaderDescriptorsEndBytesAndFieldLengths) {
    MemoryLayer fs;
    auto fields = kvl_test::descriptors({{"A", 'C', 10}, {"B", 'N', 10, 2}, {"C", 'D', 8}, {"D", 'C', 300}});
    fields[0].name[10] = 'x';  // create forces byte 10 to 0
    ASSERT_EQ(KvlDataCreateFile(0x03, 4, fields.data(), "T.DBF", 0, fs.table()), 0u);
    const Bytes &file = fs.file("T.DBF");
    ASSERT_EQ(file.size(), 32u * 5 + 2);
    std::time_t now = std::time(nullptr);
    std::tm today{};
    localtime_r(&now, &today);
    EXPECT_EQ(file[0], 0x03);
    EXPECT_EQ(file[1], today.tm_year % 256);
    EXPECT_EQ(file[2], today.tm_mon + 1);
    EXPECT_EQ(file[3], today.tm_mday);
    EXPECT_EQ(u32_at(file, 4), 0u);
    EXPECT_EQ(u16_at(file, 8), 32u * 5 + 1);
    EXPECT_EQ(u16_at(file, 10), 1u + 10 + 10 + 8 + 300);
    EXPECT_EQ(file[32 + 10], 0);
    EXPECT_EQ(file[32 * 5], 0x0D);
    EXPECT_EQ(file[32 * 5 + 1], 0x1A);
    const uint32_t offsets[] = {1, 11, 21, 29};
    for (int i = 0; i < 4; ++i) EXPECT_EQ(u32_at(file, 32 + 32 * i + 12), offsets[i]) << i;
    EXPECT_EQ(fs.open_handles(), 0u);

    // The length a field takes: C reads its decimal byte (or the reserved
    // word) as the high byte, the binary types their own size.
    const struct {
        char type;
        uint8_t b16, b17, b18, b19;
        uint32_t length;  // 0: refused
    } lengths[] = {{'C', 0x2C, 0x01, 0, 0, 300}, {'C', 0, 0, 0x10, 0x01, 272}, {'C', 0, 0, 0, 0, 0},
                   {'3', 200, 9, 0, 0, 2}, {'6', 0, 0, 0, 0, 4}, {'8', 3, 0, 0, 0, 8}, {'Y', 0, 0, 0, 0, 8},
                   {'N', 12, 3, 0, 0, 12}, {'N', 0, 2, 7, 0, 0}};
    for (const auto &c : lengths) {
        MemoryLayer mem;
        FieldDescriptor d{};
        std::strcpy(d.name, "F");
        d.type = c.type;
        d.length = c.b16;
        d.decimals = c.b17;
        d.reserved[0] = c.b18;
        d.reserved[1] = c.b19;
        const uint32_t rc = KvlDataCreateFile(3, 1, &d, "L.DBF", 0, mem.table());
        EXPECT_EQ(Result(rc), c.length ? ERR_NONE : ERR_FIELD_LENGTH) << c.type;
        if (c.length) EXPECT_EQ(u16_at(mem.file("L.DBF"), 10), c.length + 1) << c.type;
        else EXPECT_FALSE(mem.exists("L.DBF"));
    }
}

TEST(DataCreate, FieldAndRecordLimits) {
    auto one = kvl_test::descriptors({{"A", 'C', 5}});
    auto too_wide = kvl_test::descriptors({{"A", 'C', 65000}, {"B", 'C', 535}});
    auto widest = kvl_test::descriptors({{"A", 'C', 65000}, {"B", 'C', 534}});
    std::vector<FieldDescriptor> many(1025, one[0]);
    const struct {
        uint32_t count;
        FieldDescriptor *fields;
        uint32_t rc;
    } cases[] = {{0, one.data(), ERR_FIELD_COUNT}, {1025, many.data(), ERR_FIELD_COUNT}, {1024, many.data(), ERR_NONE},
                 {2, too_wide.data(), ERR_RECORD_TOO_LONG}, {2, widest.data(), ERR_NONE}};
    for (const auto &c : cases) {
        MemoryLayer fs;
        EXPECT_EQ(Result(KvlDataCreateFile(3, c.count, c.fields, "X.DBF", 0, fs.table())), Result(c.rc)) << c.count;
        EXPECT_EQ(fs.exists("X.DBF"), c.rc == ERR_NONE) << c.count;
    }
}

// Three fields (record length 24, header length 129) and two records.
Bytes small_file() {
    MemoryLayer fs;
    auto fields = kvl_test::descriptors({{"NAME", 'C', 10}, {"QTY", 'N', 5}, {"WHEN", 'D', 8}});
    EXPECT_EQ(KvlDataCreateFile(3, 3, fields.data(), "B.DBF", 0, fs.table()), 0u);
    DataFile data("B.DBF", 3, fs.table());
    EXPECT_EQ(data.open(), 0u);
    for (const char *text : {"alpha        120240101", "beta          720231231"}) {
        auto rec = record_image(24, text);
        uint32_t number = 0;
        EXPECT_EQ(KvlDataAddRecord(data.rec(), rec.data(), &number), 0u);
    }
    EXPECT_EQ(KvlDataCloseFile(data.rec()), 0u);
    return fs.file("B.DBF");
}

TEST(DataOpen, DamagedFilesAreRefusedAndOtherWritersVariationsRead) {
    auto put16 = [](Bytes &b, size_t at, uint32_t v) { b[at] = v & 0xFF, b[at + 1] = (v >> 8) & 0xFF; };
    auto widen = [&](Bytes &b, size_t extra) {
        b.insert(b.begin() + 129, extra, 0);
        put16(b, 8, 129 + uint32_t(extra));
    };
    const struct {
        const char *what;
        std::function<void(Bytes &)> change;
        uint32_t capacity, rc;
    } cases[] = {
        {"empty file", [](Bytes &b) { b.clear(); }, 3, KVL_WIN_HANDLE_EOF},
        {"cut inside the descriptors", [](Bytes &b) { b.resize(70); }, 3, KVL_WIN_HANDLE_EOF},
        {"record length 0", [&](Bytes &b) { put16(b, 10, 0); }, 3, ERR_NOT_DATA_FILE},
        {"header length one field short", [&](Bytes &b) { put16(b, 8, 97); }, 3, ERR_NOT_DATA_FILE},
        {"header length far past the file", [&](Bytes &b) { put16(b, 8, 65000); }, 4096, KVL_WIN_HANDLE_EOF},
        {"field reaching past the record", [&](Bytes &b) { put16(b, 10, 20); }, 3, ERR_NOT_DATA_FILE},
        {"record length above the fields", [&](Bytes &b) { put16(b, 10, 50); }, 3, ERR_NOT_DATA_FILE},
        {"no 0x0D after the descriptors", [](Bytes &b) { b[128] = ' '; }, 3, ERR_NOT_DATA_FILE},
        {"more fields than the capacity", [](Bytes &) {}, 2, ERR_FIELD_COUNT},
        {"a text file", [](Bytes &b) { std::string t(48, 'x'); b.assign(t.begin(), t.end()); }, 3, ERR_FIELD_COUNT},
        // what other writers produce opens and reads the same
        {"as written", [](Bytes &) {}, 3, 0},
        {"no 0x1A at the end", [](Bytes &b) { b.pop_back(); }, 3, 0},
        {"year as YY, no month or day", [](Bytes &b) { b[1] = 5, b[2] = 0, b[3] = 0; }, 3, 0},
        {"container backlink after the 0x0D", [&](Bytes &b) { widen(b, 263); }, 12, 0},
        {"reserved bytes in use", [](Bytes &b) { std::fill(b.begin() + 15, b.begin() + 32, 0xCD); }, 3, 0},
        {"offsets on disk wrong", [](Bytes &b) { kvl_test::put_u32(b, 44, 0xFFFFFFFF); }, 3, 0},
        {"capacity larger than needed", [](Bytes &) {}, 40, 0},
    };
    const Bytes good = small_file();
    for (const auto &c : cases) {
        MemoryLayer fs;
        Bytes bytes = good;
        c.change(bytes);
        fs.file("B.DBF") = bytes;
        DataFile data("B.DBF", c.capacity, fs.table(), 0);
        ASSERT_EQ(Result(data.open(KVL_STATE_READ_ONLY)), Result(c.rc)) << c.what;
        if (c.rc != 0) {
            EXPECT_EQ(data->os_handle, 0u) << c.what;
            EXPECT_EQ(data->field_count, c.capacity) << c.what;  // the record can be reused
            EXPECT_EQ(fs.open_handles(), 0u) << c.what;
            continue;
        }
        EXPECT_EQ(data->field_count, 3u) << c.what;
        EXPECT_EQ(data.field_length(1), 5u) << c.what;
        Bytes rec(24);
        ASSERT_EQ(KvlDataGetRecord(data.rec(), 2, rec.data()), 0u) << c.what;
        EXPECT_EQ(rec, record_image(24, "beta          720231231")) << c.what;
        EXPECT_EQ(Result(KvlDataGetRecord(data.rec(), 3, rec.data())), ERR_BAD_RECORD_NUMBER) << c.what;
    }
    // A count past the records there: the missing ones read short, and
    // positions past 32 bits are refused, never wrapped.
    const struct {
        uint32_t count, number, rc;
    } counts[] = {{3, 3, KVL_WIN_HANDLE_EOF}, {0xFFFFFFFF, 178956965, KVL_WIN_HANDLE_EOF},
                  {0xFFFFFFFF, 178956966, ERR_FILE_LIMIT}, {0xFFFFFFFF, 0xFFFFFFFF, ERR_FILE_LIMIT}};
    for (const auto &c : counts) {
        MemoryLayer fs;
        fs.file("B.DBF") = good;
        kvl_test::put_u32(fs.file("B.DBF"), 4, c.count);
        DataFile data("B.DBF", 3, fs.table());
        ASSERT_EQ(data.open(), 0u);
        Bytes rec(24);
        EXPECT_EQ(Result(KvlDataGetRecord(data.rec(), c.number, rec.data())), Result(c.rc)) << c.number;
    }
}

TEST(DataOpen, NamesOffsetsAndTheUnfinishedUpdateMark) {
    MemoryLayer fs;
    auto fields = kvl_test::descriptors({{"id", 'C', 6}, {"Amount", 'N', 12, 2}});
    ASSERT_EQ(KvlDataCreateFile(3, 2, fields.data(), "T.DBF", 0, fs.table()), 0u);
    DataFile none("MISSING.DBF", 0, fs.table());
    const uint64_t calls = fs.calls();
    EXPECT_EQ(Result(none.open()), ERR_FIELD_COUNT);  // before any file access
    EXPECT_EQ(fs.calls(), calls);
    DataFile kept("T.DBF", 2, fs.table(), 0x42 | KVL_OPEN_KEEP_NAMES);
    ASSERT_EQ(kept.open(0x80 | 0x10 | 0x08 | 0x01), 0u);
    EXPECT_EQ(kept->state, 0x98u);  // only the open flags 0x98 are kept
    EXPECT_EQ(kept->open_mode, 0x42u);
    EXPECT_STREQ(kept->fields[1].name, "Amount");
    EXPECT_EQ(kept->fields[1].offset, 7u);
    DataFile upper("T.DBF", 2, fs.table());
    ASSERT_EQ(upper.open(), 0u);
    EXPECT_EQ(std::string(upper->fields[1].name, 11), std::string("AMOUNT\0\0\0\0\0", 11));

    // The mark opens with ERR_INCOMPLETE_WRITE, usable; a flush clears it.
    fs.file("T.DBF")[14] = 1;
    DataFile marked("T.DBF", 2, fs.table());
    ASSERT_EQ(Result(marked.open()), ERR_INCOMPLETE_WRITE);
    auto rec = record_image(19, "first");
    uint32_t number = 0;
    ASSERT_EQ(KvlDataAddRecord(marked.rec(), rec.data(), &number), 0u);
    ASSERT_EQ(KvlDataFlushHeader(marked.rec()), 0u);
    EXPECT_EQ(fs.file("T.DBF")[14], 0);
    EXPECT_EQ(u32_at(fs.file("T.DBF"), 4), 1u);
}

// The count on disk moves only at a flush; the first append after an open
// or a flush puts the mark on disk, the others do not touch the header.
TEST(DataFlush, AppendsFlushCloseCopyReReadAndZap) {
    MemoryLayer fs;
    make_register(fs, 0);
    DataFile data("R.DBF", 8, fs.table());
    DataFile reader("R.DBF", 8, fs.table());
    ASSERT_EQ(data.open(), 0u);
    ASSERT_EQ(reader.open(), 0u);
    auto rec = record_image(kLength, "x");
    uint32_t number = 0;
    ASSERT_EQ(KvlDataAddRecord(data.rec(), rec.data(), &number), 0u);
    EXPECT_EQ(fs.file("R.DBF")[14], 1);
    EXPECT_EQ(Result(KvlDataReadHeader(reader.rec())), ERR_INCOMPLETE_WRITE);
    EXPECT_EQ(reader->header.record_count, 0u);
    fs.file("R.DBF")[14] = 0;
    ASSERT_EQ(KvlDataAddRecord(data.rec(), rec.data(), &number), 0u);
    EXPECT_EQ(fs.file("R.DBF")[14], 0);
    EXPECT_EQ(Result(KvlDataReadHeader(data.rec())), ERR_HEADER_DIRTY);
    ASSERT_EQ(KvlDataFlushHeader(data.rec()), 0u);
    EXPECT_EQ(data->state & KVL_STATE_CHANGED, 0u);
    EXPECT_EQ(fs.file("R.DBF").size(), kHeader + 2 * kLength + 1);
    EXPECT_EQ(fs.file("R.DBF").back(), 0x1A);
    EXPECT_EQ(u32_at(fs.file("R.DBF"), 4), 2u);
    EXPECT_EQ(KvlDataReadHeader(reader.rec()), 0u);
    EXPECT_EQ(reader->header.record_count, 2u);
    // An unchanged header is not written at all.
    const Bytes before = fs.file("R.DBF");
    fs.fail_call(1, KVL_WIN_DISK_FULL, true, MemoryLayer::kWrite);
    EXPECT_EQ(KvlDataFlushHeader(data.rec()), 0u);
    fs.disarm();
    // The close flushes a changed header.
    ASSERT_EQ(KvlDataAddRecord(data.rec(), rec.data(), &number), 0u);
    ASSERT_EQ(KvlDataCopyHeader(data.rec(), "COPY.DBF"), 0u);
    ASSERT_EQ(KvlDataCloseFile(data.rec()), 0u);
    EXPECT_EQ(u32_at(fs.file("R.DBF"), 4), 3u);
    EXPECT_EQ(fs.file("R.DBF").size(), kHeader + 3 * kLength + 1);
    EXPECT_EQ(fs.file("R.DBF").back(), 0x1A);
    const Bytes &copy = fs.file("COPY.DBF");
    ASSERT_EQ(copy.size(), kHeader + 1);
    EXPECT_EQ(u32_at(copy, 4), 0u);
    EXPECT_TRUE(std::equal(copy.begin() + 32, copy.end() - 1, before.begin() + 32));
    EXPECT_EQ(copy.back(), 0x1A);
    // Zap empties the file to its header.
    ASSERT_EQ(KvlDataReadHeader(reader.rec()), 0u);
    ASSERT_EQ(KvlDataZapHeader(reader.rec()), 0u);
    EXPECT_EQ(fs.file("R.DBF").size(), kHeader + 1);
    EXPECT_EQ(fs.file("R.DBF")[kHeader - 1], 0x0D);
    EXPECT_EQ(fs.file("R.DBF").back(), 0x1A);
    EXPECT_EQ(u32_at(fs.file("R.DBF"), 4), 0u);
}

TEST(DataRecords, ReadWriteMarkAndTakeBackAtTheEdges) {
    MemoryLayer fs;
    make_register(fs, 6);
    DataFile data("R.DBF", 8, fs.table());
    ASSERT_EQ(data.open(), 0u);
    Bytes got(kLength);
    for (uint32_t n : {0u, 7u, 0xFFFFFFFFu})
        EXPECT_EQ(Result(KvlDataGetRecord(data.rec(), n, got.data())), ERR_BAD_RECORD_NUMBER) << n;
    for (uint32_t n : {1u, 6u}) {
        ASSERT_EQ(KvlDataGetRecord(data.rec(), n, got.data()), 0u);
        EXPECT_EQ(got, record_image(kLength, "record " + std::to_string(n)));
    }
    auto changed = record_image(kLength, "changed");
    EXPECT_EQ(Result(KvlDataUpdateRecord(data.rec(), 7, changed.data())), ERR_BAD_RECORD_NUMBER);
    EXPECT_EQ(data->state & KVL_STATE_CHANGED, 0u);
    ASSERT_EQ(KvlDataUpdateRecord(data.rec(), 6, changed.data()), 0u);
    EXPECT_EQ(record_on_disk(fs, 6), changed);
    EXPECT_EQ(record_on_disk(fs, 5), record_image(kLength, "record 5"));
    EXPECT_NE(data->state & KVL_STATE_CHANGED, 0u);
    ASSERT_EQ(KvlDataFlushHeader(data.rec()), 0u);
    const Bytes header = Bytes(fs.file("R.DBF").begin(), fs.file("R.DBF").begin() + 32);
    ASSERT_EQ(KvlDataMarkRecord(data.rec(), 6, 0x12345600 | '*'), 0u);  // the low byte only
    EXPECT_EQ(record_on_disk(fs, 6), record_image(kLength, "changed", '*'));
    EXPECT_EQ(data->state & KVL_STATE_CHANGED, 0u);
    EXPECT_EQ(Bytes(fs.file("R.DBF").begin(), fs.file("R.DBF").begin() + 32), header);
    EXPECT_EQ(Result(KvlDataMarkRecord(data.rec(), 7, '*')), ERR_BAD_RECORD_NUMBER);
    // Only the last record can be taken back; an unflushed append is
    // flushed first, then taken back.
    EXPECT_EQ(Result(KvlDataDebumpRecord(data.rec(), 5)), ERR_BAD_RECORD_NUMBER);
    ASSERT_EQ(KvlDataDebumpRecord(data.rec(), 6), 0u);
    uint32_t number = 0;
    ASSERT_EQ(KvlDataAddRecord(data.rec(), changed.data(), &number), 0u);
    EXPECT_EQ(number, 6u);
    ASSERT_EQ(KvlDataDebumpRecord(data.rec(), 6), 0u);
    EXPECT_EQ(data->header.record_count, 5u);
    EXPECT_EQ(u32_at(fs.file("R.DBF"), 4), 5u);
    EXPECT_EQ(fs.file("R.DBF")[14], 0);
    EXPECT_EQ(fs.file("R.DBF").size(), kHeader + 5 * kLength + 1);
    EXPECT_EQ(fs.file("R.DBF").back(), 0x1A);
}

// Records must end below the lock base less the reserve (engine variable
// 4), halved with open flag 0x08; every operation stops at the same place.
TEST(DataRecords, EveryOperationStopsBelowTheLockRegion) {
    enum Op { kGet, kUpdate, kMark, kAdd };
    const uint32_t third = kHeader + 2 * kLength;  // record 3, or the 3rd append
    for (uint32_t reserve : {131072u, 1000u}) {
        uint32_t old = reserve;
        ASSERT_EQ(KvlSetVar(&old, KVL_VAR_LOCK_RESERVE), 0u);
        for (Op op : {kGet, kUpdate, kMark, kAdd})
            for (bool halved : {false, true})
                for (uint32_t beyond : {0u, 1u}) {
                    MemoryLayer fs;
                    make_register(fs, op == kAdd ? 2 : 3);
                    DataFile data("R.DBF", 8, fs.table());
                    ASSERT_EQ(data.open(halved ? 0x08 : 0), 0u);
                    const uint32_t base = third + reserve + beyond;
                    data->lock_base = halved ? base * 2 : base;
                    auto rec = record_image(kLength, "new");
                    uint32_t number = 0, rc = 0;
                    switch (op) {
                    case kGet: rc = KvlDataGetRecord(data.rec(), 3, rec.data()); break;
                    case kUpdate: rc = KvlDataUpdateRecord(data.rec(), 3, rec.data()); break;
                    case kMark: rc = KvlDataMarkRecord(data.rec(), 3, '*'); break;
                    case kAdd: rc = KvlDataAddRecord(data.rec(), rec.data(), &number); break;
                    }
                    EXPECT_EQ(Result(rc), beyond ? ERR_NONE : ERR_FILE_LIMIT)
                        << "op " << op << " halved " << halved << " reserve " << reserve;
                }
        ASSERT_EQ(KvlSetVar(&old, KVL_VAR_LOCK_RESERVE), 0u);
    }
    MemoryLayer fs;  // a reserve above the base leaves no room, never a wrapped limit
    make_register(fs, 1);
    DataFile data("R.DBF", 8, fs.table());
    ASSERT_EQ(data.open(), 0u);
    data->lock_base = 1000;
    Bytes rec(kLength);
    EXPECT_EQ(Result(KvlDataGetRecord(data.rec(), 1, rec.data())), ERR_FILE_LIMIT);
}

struct CallbackLog {
    std::vector<std::pair<uint32_t, uint32_t>> events;  // (event, record number)
    uint32_t answer_event = 0, answer = 0;
} g_log;

uint32_t logging_callback(uint32_t event, DataHandle, void *record, uint32_t number) {
    g_log.events.emplace_back(event, number);
    if (event == KVL_EVENT_BEFORE_ADD) static_cast<uint8_t *>(record)[1] = '#';
    return event == g_log.answer_event ? g_log.answer : 0;
}

TEST(DataRecords, TheCallbackSeesEveryRecordAndItsResultCounts) {
    const struct {
        const char *what;
        uint32_t answer_event, answer, add_rc, get_rc, update_rc;
        bool added, updated;
    } cases[] = {{"all zero", 0, 0, 0, 0, 0, true, true},        {"veto append", 2, 7, 7, 0, 0, false, true},
                 {"after append", 3, 9, 9, 0, 0, true, true},    {"after read", 1, 5, 0, 5, 0, true, true},
                 {"veto overwrite", 4, 6, 0, 0, 6, true, false}, {"after overwrite", 5, 8, 0, 0, 8, true, true}};
    for (const auto &c : cases) {
        MemoryLayer fs;
        make_register(fs, 1);
        DataFile data("R.DBF", 8, fs.table());
        ASSERT_EQ(data.open(), 0u);
        data->record_callback = logging_callback;
        g_log = CallbackLog{{}, c.answer_event, c.answer};
        auto rec = record_image(kLength, "new");
        uint32_t number = 0;
        EXPECT_EQ(KvlDataAddRecord(data.rec(), rec.data(), &number), c.add_rc) << c.what;
        EXPECT_EQ(data->header.record_count, c.added ? 2u : 1u) << c.what;
        if (c.added) {
            EXPECT_EQ(record_on_disk(fs, 2)[1], '#') << c.what;  // the callback's change
        }
        Bytes got(kLength);
        EXPECT_EQ(KvlDataGetRecord(data.rec(), 1, got.data()), c.get_rc) << c.what;
        EXPECT_EQ(got, record_image(kLength, "record 1")) << c.what;
        auto changed = record_image(kLength, "changed");
        EXPECT_EQ(KvlDataUpdateRecord(data.rec(), 1, changed.data()), c.update_rc) << c.what;
        EXPECT_EQ(record_on_disk(fs, 1) == changed, c.updated) << c.what;
        std::vector<std::pair<uint32_t, uint32_t>> expected = {{2, 0}};
        if (c.added) expected.push_back({3, 0});
        expected.insert(expected.end(), {{1, 1}, {4, 1}});
        if (c.updated) expected.push_back({5, 1});
        EXPECT_EQ(g_log.events, expected) << c.what;
    }
}

// ---- pack and sort ------------------------------------------------------------

TEST(DataPack, LiveRecordsInOrderWithTheirMemos) {
    for (uint32_t buffer : {4096u, 100u}) {  // memos copied whole or in pieces
        SCOPED_TRACE(buffer);
        kvl_test::TempDir dir;
        const std::vector<Row> rows = {{' ', "one", "first memo"}, {'*', "two", "dropped"}, {' ', "three", ""},
                                       {'*', "four", kvl_test::pattern(700, 4)}, {' ', "five", kvl_test::pattern(9000, 5)}};
        kvl_test::write_rows(dir.path("old.dbf"), rows, true);
        const Bytes before = kvl_test::read_bytes(dir.path("old.dbf"));
        uint32_t value = buffer;
        ASSERT_EQ(KvlSetVar(&value, KVL_VAR_PACK_BUFFER), 0u);
        kvl_test::ProgressLog log;
        const uint32_t held = kvl_test::blocks_held();
        const uint32_t rc = KvlDataPack(dir.path("old.dbf").c_str(), dir.path("new.dbf").c_str(),
                                        &kvl_test::ProgressLog::callback, nullptr);
        ASSERT_EQ(KvlSetVar(&value, KVL_VAR_PACK_BUFFER), 0u);
        ASSERT_EQ(rc, 0u);
        EXPECT_EQ(kvl_test::blocks_held(), held);
        std::vector<std::string> fields;
        EXPECT_EQ(kvl_test::read_rows(dir.path("new.dbf"), true, &fields), (std::vector<Row>{rows[0], rows[2], rows[4]}));
        EXPECT_EQ(fields[1], std::string(10, ' '));  // a blank memo field stays blank
        EXPECT_EQ(kvl_test::read_bytes(dir.path("old.dbf")), before);
        EXPECT_EQ(log.percents, (std::vector<uint32_t>{1, 0}));
    }
    kvl_test::TempDir dir;  // progress every 256 records, and a stop by the callback
    std::vector<Row> rows;
    for (int i = 0; i < 600; ++i) rows.push_back({' ', "r" + std::to_string(i), ""});
    kvl_test::write_rows(dir.path("old.dbf"), rows, false);
    kvl_test::ProgressLog log;
    log.stop_at = 2;
    log.stop_with = 8;
    EXPECT_EQ(KvlDataPack(dir.path("old.dbf").c_str(), dir.path("new.dbf").c_str(), &kvl_test::ProgressLog::callback, nullptr), 8u);
    EXPECT_EQ(log.percents, (std::vector<uint32_t>{1, 42, 0}));
    EXPECT_EQ(kvl_test::read_rows(dir.path("new.dbf"), false).size(), 256u);
}

TEST(DataPack, WhatStopsAPack) {
    const struct {
        const char *what;
        std::function<void(kvl_test::TempDir &)> change;
        uint32_t rc;
        bool new_file;
    } cases[] = {
        {"a memo not a memo", [](kvl_test::TempDir &d) { Bytes m = kvl_test::read_bytes(d.path("old.dbt"));
             kvl_test::put_u32(m, 1024, 0x12345678); kvl_test::write_bytes(d.path("old.dbt"), m); }, ERR_MEMO_NOT_MEMO, true},
        {"a length word past the file", [](kvl_test::TempDir &d) { Bytes m = kvl_test::read_bytes(d.path("old.dbt"));
             kvl_test::put_u32(m, 1028, 0x00F00000); kvl_test::write_bytes(d.path("old.dbt"), m); }, KVL_WIN_HANDLE_EOF, true},
        {"no memo file", [](kvl_test::TempDir &d) { fs::remove(d.path("old.dbt")); }, ERR_MEMO_OPEN, false},
        {"no records", [](kvl_test::TempDir &d) { fs::remove(d.path("old.dbf")); fs::remove(d.path("old.dbt"));
             kvl_test::write_rows(d.path("old.dbf"), {}, true); }, ERR_EMPTY_FILE, false},
    };
    for (const auto &c : cases) {
        kvl_test::TempDir dir;
        kvl_test::write_rows(dir.path("old.dbf"), {{' ', "a", "first"}, {' ', "b", "second"}, {' ', "c", "third"}}, true);
        c.change(dir);
        const uint32_t held = kvl_test::blocks_held();
        EXPECT_EQ(Result(KvlDataPack(dir.path("old.dbf").c_str(), dir.path("new.dbf").c_str(), nullptr, nullptr)),
                  Result(c.rc)) << c.what;
        EXPECT_EQ(kvl_test::blocks_held(), held) << c.what;
        EXPECT_EQ(fs::exists(dir.path("new.dbf")), c.new_file) << c.what;
        if (c.new_file) {
            EXPECT_EQ(kvl_test::read_rows(dir.path("new.dbf"), true).size(), 1u) << c.what;
        }
    }
    for (uint32_t count : {32u, 33u}) {  // at most 32 memo fields
        kvl_test::TempDir dir;
        std::vector<FieldDescriptor> fields;
        for (uint32_t i = 0; i < count; ++i) fields.push_back(kvl_test::descriptor({("M" + std::to_string(i)).c_str(), 'M', 10}));
        ASSERT_EQ(KvlDataCreateFile(0x8B, count, fields.data(), dir.path("m.dbf").c_str(), 0, nullptr), 0u);
        {
            DataFile data(dir.path("m.dbf"), count);
            ASSERT_EQ(data.open(), 0u);
            Bytes record(data->header.record_length, ' ');
            uint32_t number = 0;
            ASSERT_EQ(KvlDataAddRecord(data.rec(), record.data(), &number), 0u);
        }
        EXPECT_EQ(Result(KvlDataPack(dir.path("m.dbf").c_str(), dir.path("n.dbf").c_str(), nullptr, nullptr)),
                  count == 32 ? ERR_NONE : ERR_PACK_MEMO);
    }
}

// Creates an index on NAME and stores the key of every record the tag
// filter lets through.
void build_name_index(const std::string &data_path, const std::string &index_path, bool memos, uint32_t tag_filter) {
    DataFile data(data_path, memos ? 2 : 1);
    ASSERT_EQ(data.open(), 0u);
    char expression[] = "NAME";
    ASSERT_EQ(KvlIx4CreateFile(512, KVL_SORT_BYTES | KVL_IX_DUPLICATES, 850, 1, nullptr, expression, data.rec(),
                               index_path.c_str(), nullptr, 0, nullptr), 0u);
    kvl_test::IndexFile index(index_path, 512, data.rec());
    index->tag_filter = tag_filter;
    ASSERT_EQ(index.open(), 0u);
    Bytes record(data->header.record_length);
    uint8_t key[KVL_MAX_KEY_LENGTH + 8];
    for (uint32_t n = 1; n <= data->header.record_count; ++n) {
        ASSERT_EQ(KvlDataGetRecord(data.rec(), n, record.data()), 0u);
        const uint32_t rc = KvlIx4KeyForRecord(index.get(), key, 0, record.data());
        if (rc == ERR_RECORD_FILTERED) continue;
        ASSERT_EQ(rc, 0u);
        ASSERT_EQ(KvlIx4StoreKey(index.get(), key, n), 0u);
    }
}

TEST(DataSort, KeyOrderTagFilterMemosAndProgress) {
    const std::vector<Row> rows = {{' ', "delta", "memo of delta"}, {'*', "alpha", "memo of a deleted record"},
                                   {' ', "charlie", ""}, {' ', "bravo", std::string(3000, 'b')}, {' ', "alpha", "second alpha"}};
    const struct {
        bool memos;
        uint32_t tag_filter;
        std::vector<size_t> order;
    } cases[] = {{false, 0, {1, 4, 3, 2, 0}}, {true, 0, {1, 4, 3, 2, 0}}, {true, '*', {4, 3, 2, 0}}};
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::Message() << c.memos << " " << c.tag_filter);
        kvl_test::TempDir dir;
        std::vector<Row> source = rows;
        if (!c.memos) for (Row &r : source) r.memo.clear();
        kvl_test::write_rows(dir.path("old.dbf"), source, c.memos);
        build_name_index(dir.path("old.dbf"), dir.path("name.ix4"), c.memos, c.tag_filter);
        const uint32_t held = kvl_test::blocks_held();
        ASSERT_EQ(KvlDataSort(dir.path("name.ix4").c_str(), dir.path("old.dbf").c_str(), dir.path("new.dbf").c_str(),
                              nullptr, nullptr), 0u);
        EXPECT_EQ(kvl_test::blocks_held(), held);
        std::vector<Row> expected;
        for (size_t i : c.order) expected.push_back(source[i]);
        if (c.memos) fs::remove(dir.path("old.dbt"));  // the sorted file has a memo file of its own
        EXPECT_EQ(kvl_test::read_rows(dir.path("new.dbf"), c.memos), expected);
    }
    kvl_test::TempDir dir;
    std::vector<Row> many;
    for (int i = 600; i > 0; --i) many.push_back({' ', "r" + std::to_string(1000 + i), ""});
    kvl_test::write_rows(dir.path("old.dbf"), many, false);
    build_name_index(dir.path("old.dbf"), dir.path("name.ix4"), false, 0);
    kvl_test::ProgressLog log;
    ASSERT_EQ(KvlDataSort(dir.path("name.ix4").c_str(), dir.path("old.dbf").c_str(), dir.path("new.dbf").c_str(),
                          &kvl_test::ProgressLog::callback, nullptr), 0u);
    EXPECT_EQ(log.percents, (std::vector<uint32_t>{1, 42, 85, 0}));
    const auto sorted = kvl_test::read_rows(dir.path("new.dbf"), false);
    ASSERT_EQ(sorted.size(), 600u);
    EXPECT_EQ(sorted.front().name, "r1001");
    EXPECT_EQ(sorted.back().name, "r1600");
    EXPECT_EQ(Result(KvlDataSort(dir.path("none.ix4").c_str(), dir.path("old.dbf").c_str(), dir.path("n2.dbf").c_str(),
                                 nullptr, nullptr)), KVL_WIN_FILE_NOT_FOUND);
    EXPECT_FALSE(fs::exists(dir.path("n2.dbf")));
}

}  // namespace
