// Record operations: positions, the lock-region limit, the unfinished-update
// byte, marks, taking back the last record and the record callback.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "engine/data/data_test_util.h"
#include "engine/korval32.h"
#include "support/memory_layer.h"

namespace {

using kvl_test::DataFile;
using kvl_test::MemoryLayer;
using kvl_test::record_image;
using kvl_test::u32_at;

constexpr uint32_t kRecordLength = 124;  // the register layout
constexpr uint32_t kHeaderLength = 289;

// A register file with `count` records "record 1", "record 2", ... flushed.
void make_register(MemoryLayer &fs, uint32_t count, const char *name = "R.DBF") {
    auto fields = kvl_test::register_fields();
    ASSERT_EQ(KvlDataCreateFile(3, 8, fields.data(), name, 0, fs.table()), 0u);
    DataFile data(name, 8, fs.table());
    ASSERT_EQ(data.open(), 0u);
    for (uint32_t i = 1; i <= count; ++i) {
        auto rec = record_image(kRecordLength, "record " + std::to_string(i));
        uint32_t number = 0;
        ASSERT_EQ(KvlDataAddRecord(data.rec(), rec.data(), &number), 0u);
        ASSERT_EQ(number, i);
    }
    ASSERT_EQ(KvlDataCloseFile(data.rec()), 0u);
}

std::vector<uint8_t> bytes_at(MemoryLayer &fs, uint32_t position, uint32_t length,
                              const char *name = "R.DBF") {
    const auto &file = fs.file(name);
    return std::vector<uint8_t>(file.begin() + position, file.begin() + position + length);
}

TEST(RecordGet, RecordNumbersAndPositions) {
    MemoryLayer fs;
    make_register(fs, 3);
    DataFile data("R.DBF", 8, fs.table());
    ASSERT_EQ(data.open(), 0u);
    std::vector<uint8_t> buffer(kRecordLength, 0xEE);
    struct Case {
        uint32_t number;
        uint32_t expected;
    } cases[] = {{0, ERR_BAD_RECORD_NUMBER}, {4, ERR_BAD_RECORD_NUMBER},
                 {0xFFFFFFFF, ERR_BAD_RECORD_NUMBER}, {1, 0}, {3, 0}};
    for (const Case &c : cases) {
        EXPECT_EQ(KvlDataGetRecord(data.rec(), c.number, buffer.data()), c.expected) << c.number;
        if (c.expected == 0) {
            EXPECT_EQ(buffer, record_image(kRecordLength, "record " + std::to_string(c.number)));
        }
    }
    // Record 3 of a 289/124 file lies at 289 + 2 * 124.
    EXPECT_EQ(bytes_at(fs, 537, kRecordLength), record_image(kRecordLength, "record 3"));
    EXPECT_EQ(KvlDataGetRecord(nullptr, 1, buffer.data()), ERR_NULL_PARAMETER);
    EXPECT_EQ(KvlDataGetRecord(data.rec(), 1, nullptr), ERR_NULL_PARAMETER);
}

// The limit of the caller's example: lock base 1000000, reserve 131072.
// Each case is a one-field file whose record `number` starts at `position`.
TEST(RecordLockRegion, LimitBelowTheLockBase) {
    struct Case {
        uint32_t position;
        uint32_t record_length;
        uint32_t number;
        bool halved;
        uint32_t expected;
    } cases[] = {
        {868927, 2, 434432, false, 0},
        {868928, 3, 289622, false, ERR_FILE_LIMIT},
        {368927, 2, 184432, true, 0},
        {368928, 11, 33534, true, ERR_FILE_LIMIT},
    };
    for (const Case &c : cases) {
        for (bool append : {false, true}) {
            MemoryLayer fs;
            auto field = kvl_test::descriptors({{"F", 'C', c.record_length - 1}});
            ASSERT_EQ(KvlDataCreateFile(3, 1, field.data(), "L.DBF", 0, fs.table()), 0u);
            const uint32_t count = append ? c.number - 1 : c.number;
            auto &file = fs.file("L.DBF");
            file.resize(65 + count * c.record_length, ' ');
            file[4] = count & 0xFF;
            file[5] = (count >> 8) & 0xFF;
            file[6] = (count >> 16) & 0xFF;
            DataFile data("L.DBF", 1, fs.table());
            ASSERT_EQ(data.open(c.halved ? 0x08 : 0), 0u);
            data->lock_base = 1000000;
            std::vector<uint8_t> rec(c.record_length, ' ');
            uint32_t number = 0;
            const uint32_t rc = append ? KvlDataAddRecord(data.rec(), rec.data(), &number)
                                       : KvlDataGetRecord(data.rec(), c.number, rec.data());
            EXPECT_EQ(rc, c.expected) << c.position << (append ? " add" : " get");
            if (append && c.expected == 0) {
                EXPECT_EQ(number, c.number);
            }
        }
    }
}

// Every record operation refuses a record at the limit and takes the one
// just below it, with and without the halved base, and follows engine
// variable 4.
TEST(RecordLockRegion, EveryOperationAtTheBoundary) {
    enum Op { kGet, kUpdate, kMark, kAdd };
    const uint32_t third = kHeaderLength + 2 * kRecordLength;  // record 3, or the 3rd append
    for (uint32_t reserve : {131072u, 1000u}) {
        uint32_t old = reserve;
        ASSERT_EQ(KvlSetVar(&old, KVL_VAR_LOCK_RESERVE), 0u);
        for (Op op : {kGet, kUpdate, kMark, kAdd}) {
            for (bool halved : {false, true}) {
                for (uint32_t beyond : {0u, 1u}) {
                    MemoryLayer fs;
                    make_register(fs, op == kAdd ? 2 : 3);
                    DataFile data("R.DBF", 8, fs.table());
                    ASSERT_EQ(data.open(halved ? 0x08 : 0), 0u);
                    const uint32_t base = third + reserve + beyond;
                    data->lock_base = halved ? base * 2 : base;
                    auto rec = record_image(kRecordLength, "new");
                    uint32_t number = 0, rc = 0;
                    switch (op) {
                    case kGet: rc = KvlDataGetRecord(data.rec(), 3, rec.data()); break;
                    case kUpdate: rc = KvlDataUpdateRecord(data.rec(), 3, rec.data()); break;
                    case kMark: rc = KvlDataMarkRecord(data.rec(), 3, '*'); break;
                    case kAdd: rc = KvlDataAddRecord(data.rec(), rec.data(), &number); break;
                    }
                    EXPECT_EQ(rc, beyond ? 0u : ERR_FILE_LIMIT)
                        << "op " << op << " halved " << halved << " reserve " << reserve;
                }
            }
        }
        uint32_t restore = 131072;
        ASSERT_EQ(KvlSetVar(&restore, KVL_VAR_LOCK_RESERVE), 0u);
    }
}

// A reserve larger than the base leaves no room at all; the subtraction
// must not wrap round to a limit near 4 GB.
TEST(RecordLockRegion, ReserveAboveTheBaseRefusesEverything) {
    MemoryLayer fs;
    make_register(fs, 1);
    DataFile data("R.DBF", 8, fs.table());
    ASSERT_EQ(data.open(), 0u);
    data->lock_base = 1000;
    std::vector<uint8_t> rec(kRecordLength);
    EXPECT_EQ(KvlDataGetRecord(data.rec(), 1, rec.data()), ERR_FILE_LIMIT);
    data->lock_base = 0;
    EXPECT_EQ(KvlDataGetRecord(data.rec(), 1, rec.data()), 0u);
}

TEST(RecordAdd, UnfinishedUpdateByteOnDiskAtFirstAppendOnly) {
    MemoryLayer fs;
    make_register(fs, 0);
    DataFile data("R.DBF", 8, fs.table());
    ASSERT_EQ(data.open(), 0u);
    auto rec = record_image(kRecordLength, "one");
    uint32_t number = 0;
    ASSERT_EQ(KvlDataAddRecord(data.rec(), rec.data(), &number), 0u);
    EXPECT_EQ(number, 1u);
    EXPECT_EQ(fs.file("R.DBF")[14], 1);
    EXPECT_EQ(data->state & KVL_STATE_CHANGED, KVL_STATE_CHANGED);

    // If the second append rewrote the header, these bytes would come back.
    fs.file("R.DBF")[14] = 0;
    fs.file("R.DBF")[4] = 0;
    ASSERT_EQ(KvlDataAddRecord(data.rec(), rec.data(), &number), 0u);
    EXPECT_EQ(number, 2u);
    EXPECT_EQ(fs.file("R.DBF")[14], 0);
    EXPECT_EQ(fs.file("R.DBF")[4], 0);

    ASSERT_EQ(KvlDataFlushHeader(data.rec()), 0u);
    EXPECT_EQ(u32_at(fs.file("R.DBF"), 4), 2u);
    ASSERT_EQ(KvlDataAddRecord(data.rec(), rec.data(), &number), 0u);
    EXPECT_EQ(fs.file("R.DBF")[14], 1);  // first append after a flush
}

TEST(RecordAdd, ChecksComeBeforeAnyWrite) {
    MemoryLayer fs;
    make_register(fs, 1);
    auto rec = record_image(kRecordLength, "x");
    uint32_t number = 99;
    DataFile reader("R.DBF", 8, fs.table());
    ASSERT_EQ(reader.open(0x80), 0u);
    const auto before = fs.file("R.DBF");
    EXPECT_EQ(KvlDataAddRecord(reader.rec(), rec.data(), &number), ERR_READ_ONLY);
    EXPECT_EQ(KvlDataUpdateRecord(reader.rec(), 1, rec.data()), ERR_READ_ONLY);
    EXPECT_EQ(KvlDataMarkRecord(reader.rec(), 1, '*'), ERR_READ_ONLY);
    EXPECT_EQ(KvlDataDebumpRecord(reader.rec(), 1), ERR_READ_ONLY);
    EXPECT_EQ(reader->header.record_count, 1u);
    EXPECT_EQ(fs.file("R.DBF"), before);
    EXPECT_EQ(number, 99u);

    DataFile data("R.DBF", 8, fs.table());
    EXPECT_EQ(KvlDataAddRecord(nullptr, rec.data(), &number), ERR_NULL_PARAMETER);
    EXPECT_EQ(KvlDataAddRecord(data.rec(), nullptr, &number), ERR_NULL_PARAMETER);
    EXPECT_EQ(KvlDataAddRecord(data.rec(), rec.data(), nullptr), ERR_NULL_PARAMETER);
    EXPECT_EQ(KvlDataUpdateRecord(nullptr, 1, rec.data()), ERR_NULL_PARAMETER);
    EXPECT_EQ(KvlDataUpdateRecord(data.rec(), 1, nullptr), ERR_NULL_PARAMETER);
    EXPECT_EQ(KvlDataMarkRecord(nullptr, 1, '*'), ERR_NULL_PARAMETER);
    EXPECT_EQ(KvlDataDebumpRecord(nullptr, 1), ERR_NULL_PARAMETER);
}

// A control record that is not open still holds a header image after
// close; its handle word 0 must never reach the file layer.
TEST(RecordOps, ClosedRecordIsRefused) {
    MemoryLayer fs;
    make_register(fs, 2);
    DataFile data("R.DBF", 8, fs.table());
    ASSERT_EQ(data.open(), 0u);
    ASSERT_EQ(KvlDataCloseFile(data.rec()), 0u);
    auto rec = record_image(kRecordLength, "x");
    uint32_t number = 0;
    EXPECT_EQ(KvlDataAddRecord(data.rec(), rec.data(), &number), ERR_FILE_NOT_OPEN);
    EXPECT_EQ(KvlDataGetRecord(data.rec(), 1, rec.data()), ERR_FILE_NOT_OPEN);
    EXPECT_EQ(KvlDataUpdateRecord(data.rec(), 1, rec.data()), ERR_FILE_NOT_OPEN);
    EXPECT_EQ(KvlDataMarkRecord(data.rec(), 1, '*'), ERR_FILE_NOT_OPEN);
}

TEST(RecordUpdate, OverwritesAndMarksHeaderChanged) {
    MemoryLayer fs;
    make_register(fs, 3);
    DataFile data("R.DBF", 8, fs.table());
    ASSERT_EQ(data.open(), 0u);
    auto rec = record_image(kRecordLength, "changed");
    EXPECT_EQ(KvlDataUpdateRecord(data.rec(), 4, rec.data()), ERR_BAD_RECORD_NUMBER);
    EXPECT_EQ(KvlDataUpdateRecord(data.rec(), 0, rec.data()), ERR_BAD_RECORD_NUMBER);
    EXPECT_EQ(data->state & KVL_STATE_CHANGED, 0u);
    ASSERT_EQ(KvlDataUpdateRecord(data.rec(), 2, rec.data()), 0u);
    EXPECT_EQ(data->state & KVL_STATE_CHANGED, KVL_STATE_CHANGED);
    EXPECT_EQ(bytes_at(fs, kHeaderLength + kRecordLength, kRecordLength), rec);
    EXPECT_EQ(bytes_at(fs, kHeaderLength, kRecordLength), record_image(kRecordLength, "record 1"));
}

TEST(RecordMark, WritesTheTagOnlyAndLeavesTheHeader) {
    MemoryLayer fs;
    make_register(fs, 3);
    DataFile data("R.DBF", 8, fs.table());
    ASSERT_EQ(data.open(), 0u);
    const auto header_before = bytes_at(fs, 0, 32);
    ASSERT_EQ(KvlDataMarkRecord(data.rec(), 2, 0x12345600 | '*'), 0u);  // low byte only
    EXPECT_EQ(fs.file("R.DBF")[kHeaderLength + kRecordLength], '*');
    auto expected = record_image(kRecordLength, "record 2", '*');
    EXPECT_EQ(bytes_at(fs, kHeaderLength + kRecordLength, kRecordLength), expected);
    EXPECT_EQ(data->state & KVL_STATE_CHANGED, 0u);
    EXPECT_EQ(bytes_at(fs, 0, 32), header_before);
    ASSERT_EQ(KvlDataMarkRecord(data.rec(), 2, ' '), 0u);
    EXPECT_EQ(fs.file("R.DBF")[kHeaderLength + kRecordLength], ' ');
    EXPECT_EQ(KvlDataMarkRecord(data.rec(), 4, '*'), ERR_BAD_RECORD_NUMBER);
}

TEST(RecordDebump, TakesBackOnlyTheLastRecord) {
    MemoryLayer fs;
    make_register(fs, 6);
    DataFile data("R.DBF", 8, fs.table());
    ASSERT_EQ(data.open(), 0u);
    EXPECT_EQ(KvlDataDebumpRecord(data.rec(), 5), ERR_BAD_RECORD_NUMBER);
    EXPECT_EQ(KvlDataDebumpRecord(data.rec(), 7), ERR_BAD_RECORD_NUMBER);
    EXPECT_EQ(data->header.record_count, 6u);
    ASSERT_EQ(KvlDataDebumpRecord(data.rec(), 6), 0u);
    EXPECT_EQ(data->header.record_count, 5u);
    const auto &file = fs.file("R.DBF");
    ASSERT_EQ(file.size(), kHeaderLength + 5 * kRecordLength + 1);
    EXPECT_EQ(file.back(), 0x1A);
    EXPECT_EQ(u32_at(file, 4), 5u);
    EXPECT_EQ(data->state & KVL_STATE_CHANGED, 0u);

    // An append not yet flushed is flushed first, then taken back.
    auto rec = record_image(kRecordLength, "undo me");
    uint32_t number = 0;
    ASSERT_EQ(KvlDataAddRecord(data.rec(), rec.data(), &number), 0u);
    ASSERT_EQ(KvlDataDebumpRecord(data.rec(), number), 0u);
    EXPECT_EQ(u32_at(fs.file("R.DBF"), 4), 5u);
    EXPECT_EQ(fs.file("R.DBF")[14], 0);
    EXPECT_EQ(fs.file("R.DBF").size(), kHeaderLength + 5 * kRecordLength + 1);
}

// ---- the record callback -------------------------------------------------

struct CallbackLog {
    std::vector<std::pair<uint32_t, uint32_t>> events;  // (event, record number)
    uint32_t answer_event = 0;
    uint32_t answer = 0;
};
CallbackLog g_log;

uint32_t logging_callback(uint32_t event, DataHandle, void *record, uint32_t number) {
    g_log.events.emplace_back(event, number);
    if (event == KVL_EVENT_BEFORE_ADD) static_cast<uint8_t *>(record)[1] = '#';
    return event == g_log.answer_event ? g_log.answer : 0;
}

TEST(RecordCallback, EventsAndTheirResults) {
    struct Case {
        const char *what;
        uint32_t answer_event, answer;
        uint32_t add_rc, get_rc, update_rc;
        bool add_written, update_written;
    } cases[] = {
        {"all zero", 0, 0, 0, 0, 0, true, true},
        {"veto append", 2, 7, 7, 0, 0, false, true},
        {"after append", 3, 9, 9, 0, 0, true, true},
        {"after read", 1, 5, 0, 5, 0, true, true},
        {"veto overwrite", 4, 6, 0, 0, 6, true, false},
        {"after overwrite", 5, 8, 0, 0, 8, true, true},
    };
    for (const Case &c : cases) {
        MemoryLayer fs;
        make_register(fs, 1);
        DataFile data("R.DBF", 8, fs.table());
        ASSERT_EQ(data.open(), 0u);
        data->record_callback = logging_callback;
        g_log = CallbackLog{{}, c.answer_event, c.answer};
        const auto size_before = fs.file("R.DBF").size();

        auto rec = record_image(kRecordLength, "new");
        uint32_t number = 0;
        EXPECT_EQ(KvlDataAddRecord(data.rec(), rec.data(), &number), c.add_rc) << c.what;
        const bool added = fs.file("R.DBF").size() > size_before;
        EXPECT_EQ(added, c.add_written) << c.what;
        EXPECT_EQ(data->header.record_count, c.add_written ? 2u : 1u) << c.what;
        if (added) {  // the callback's change to the buffer is what was written
            EXPECT_EQ(fs.file("R.DBF")[kHeaderLength + kRecordLength + 1], '#') << c.what;
        }

        std::vector<uint8_t> got(kRecordLength);
        EXPECT_EQ(KvlDataGetRecord(data.rec(), 1, got.data()), c.get_rc) << c.what;
        EXPECT_EQ(got, record_image(kRecordLength, "record 1")) << c.what;  // filled regardless

        auto changed = record_image(kRecordLength, "changed");
        EXPECT_EQ(KvlDataUpdateRecord(data.rec(), 1, changed.data()), c.update_rc) << c.what;
        EXPECT_EQ(bytes_at(fs, kHeaderLength, kRecordLength) == changed, c.update_written)
            << c.what;

        std::vector<std::pair<uint32_t, uint32_t>> expected = {{2, 0}};
        if (c.add_written) expected.push_back({3, 0});
        expected.push_back({1, 1});
        expected.push_back({4, 1});
        if (c.update_written) expected.push_back({5, 1});
        EXPECT_EQ(g_log.events, expected) << c.what;
    }
}

// A failed append write still reaches event 3, whose result is returned.
TEST(RecordCallback, AfterAppendResultReplacesWriteFailure) {
    MemoryLayer fs;
    make_register(fs, 1);
    DataFile data("R.DBF", 8, fs.table(), 0);  // opened for reading: writes fail
    ASSERT_EQ(data.open(), 0u);
    auto rec = record_image(kRecordLength, "x");
    uint32_t number = 0;
    EXPECT_EQ(KvlDataAddRecord(data.rec(), rec.data(), &number), KVL_WIN_ACCESS_DENIED);
    data->record_callback = logging_callback;
    g_log = CallbackLog{};
    EXPECT_EQ(KvlDataAddRecord(data.rec(), rec.data(), &number), 0u);
    EXPECT_EQ(data->header.record_count, 1u);  // the count only follows a written record
    EXPECT_EQ(g_log.events.size(), 2u);
}

}  // namespace
