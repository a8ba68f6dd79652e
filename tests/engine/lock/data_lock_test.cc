// Data file locks: the byte ranges of both schemes, nesting, relock, the
// header re-read after a lock and the flush at the release, and the
// conflicts between lock kinds of one control record.
#include <gtest/gtest.h>

#include <string>

#include "engine/korval32.h"
#include "engine/lock/lock_support.h"
#include "support/fault_layer.h"
#include "support/temp_dir.h"

namespace {

using kvl_test::append;
using kvl_test::DataFile;
using kvl_test::FaultLayer;
using kvl_test::LockCall;

constexpr uint32_t kExclusive = 0;
constexpr uint32_t kShared = KVL_LOCKMODE_SHARED;
constexpr uint32_t kToExclusive = KVL_LOCKMODE_RELOCK;
constexpr uint32_t kToShared = KVL_LOCKMODE_RELOCK | KVL_LOCKMODE_SHARED;

class DataLocks : public ::testing::Test {
protected:
    void SetUp() override {
        kvl_test::create_lock_file(path_);
        ASSERT_EQ(data_.open(), 0u);
        faults_.clear_locks();
    }

    // Another handle on the same file, on the built-in layer.
    std::unique_ptr<DataFile> second_handle() {
        auto other = std::make_unique<DataFile>(path_, 8);
        EXPECT_EQ(other->open(), 0u);
        return other;
    }

    kvl_test::TempDir dir_;
    std::string path_ = dir_.path("LOCKS.DBF");
    FaultLayer faults_;
    DataFile data_{path_, 8, faults_.table()};
};

TEST_F(DataLocks, RangesOfBothSchemes) {
    enum Kind { kHeader, kRecords, kWhole };
    struct Case {
        bool halved;
        uint32_t lock_base;
        Kind kind;
        uint64_t offset;
        uint64_t length;
    } cases[] = {
        {false, 0, kHeader, 0, 289},
        {false, 0, kRecords, 477, 188},  // records 3 and 4: bytes 477 to 664
        {false, 0, kWhole, 0, 0x7FFFFFFF},
        {false, 1000000, kHeader, 0, 289},
        {false, 1000000, kWhole, 0, 1000000},
        {true, 0, kHeader, 0x20000000, 289},  // up to 0x20000120
        {true, 0, kRecords, 0x20000000 + 477, 188},
        {true, 0, kWhole, 0x20000000, 0x1FFFFFFF},  // up to 0x3FFFFFFE
        {true, 1000000, kHeader, 500000, 289},
        {true, 1000000, kWhole, 500000, 499999},
        {true, 1000001, kWhole, 500001, 500000},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << "halved " << c.halved << " base " << c.lock_base
                                        << " kind " << c.kind);
        data_->state = (data_->state & ~KVL_STATE_HALVED_BASE) |
                       (c.halved ? KVL_STATE_HALVED_BASE : 0u);
        data_->lock_base = c.lock_base;
        faults_.clear_locks();
        for (uint32_t mode : {kExclusive, kShared}) {
            switch (c.kind) {
            case kHeader:
                ASSERT_EQ(KvlLockDataHeader(data_.rec(), mode, 0), 0u);
                ASSERT_EQ(KvlUnlockDataHeader(data_.rec()), 0u);
                break;
            case kRecords:
                ASSERT_EQ(KvlLockDataRecord(data_.rec(), mode, 3, 2, 0), 0u);
                ASSERT_EQ(KvlUnlockDataRecord(data_.rec(), 3, 2), 0u);
                break;
            case kWhole:
                ASSERT_EQ(KvlLockDataRecord(data_.rec(), mode, 0, 99, 0), 0u);
                ASSERT_EQ(KvlUnlockDataRecord(data_.rec(), 0, 99), 0u);
                break;
            }
        }
        const auto &calls = faults_.locks();
        ASSERT_EQ(calls.size(), 4u);
        const uint32_t shared_unlock = c.kind == kRecords ? 0u : KVL_LOCK_SHARED;
        const uint32_t expected_flags[] = {0, KVL_LOCK_UNLOCK, KVL_LOCK_SHARED,
                                           KVL_LOCK_UNLOCK | shared_unlock};
        for (size_t i = 0; i < calls.size(); ++i) {
            EXPECT_EQ(calls[i].flags, expected_flags[i]) << i;
            EXPECT_EQ(calls[i].offset, c.offset) << i;
            EXPECT_EQ(calls[i].length, c.length) << i;
        }
    }
}

TEST_F(DataLocks, NestedSharedHeaderLocksTakeOneLock) {
    auto other = second_handle();
    ASSERT_EQ(KvlLockDataHeader(data_.rec(), kShared, 0), 0u);
    ASSERT_EQ(KvlLockDataHeader(data_.rec(), kShared, 0), 0u);
    EXPECT_EQ(faults_.locks().size(), 1u);
    EXPECT_EQ(data_->header_lock_count, 2u);
    EXPECT_EQ(data_->state & (KVL_STATE_HEADER_LOCKED | KVL_STATE_HEADER_SHARED),
              KVL_STATE_HEADER_LOCKED | KVL_STATE_HEADER_SHARED);
    // Others may read along, not write.
    EXPECT_EQ(KvlLockDataHeader(other->rec(), kShared, 0), 0u);
    EXPECT_EQ(KvlUnlockDataHeader(other->rec()), 0u);

    EXPECT_EQ(KvlUnlockDataHeader(data_.rec()), 0u);
    EXPECT_EQ(faults_.locks().size(), 1u);
    EXPECT_EQ(KvlLockDataHeader(other->rec(), kExclusive, 0), KVL_WIN_LOCK_VIOLATION);

    EXPECT_EQ(KvlUnlockDataHeader(data_.rec()), 0u);
    EXPECT_EQ(data_->header_lock_count, 0u);
    EXPECT_EQ(data_->state & (KVL_STATE_HEADER_LOCKED | KVL_STATE_HEADER_SHARED), 0u);
    EXPECT_EQ(KvlUnlockDataHeader(data_.rec()), ERR_NOT_LOCKED);
    EXPECT_EQ(KvlLockDataHeader(other->rec(), kExclusive, 0), 0u);
    EXPECT_EQ(KvlUnlockDataHeader(other->rec()), 0u);
}

TEST_F(DataLocks, ConflictsWithinOneControlRecordChangeNothing) {
    struct Case {
        const char *name;
        uint32_t (*hold)(DataHandle);     // the lock held first
        uint32_t (*ask)(DataHandle);      // the refused call
        uint32_t expected;
    } cases[] = {
        {"shared header inside exclusive",
         [](DataHandle d) { return KvlLockDataHeader(d, kExclusive, 0); },
         [](DataHandle d) { return KvlLockDataHeader(d, kShared, 0); }, ERR_LOCK_MODE_CONFLICT},
        {"exclusive whole file inside shared",
         [](DataHandle d) { return KvlLockDataRecord(d, kShared, 0, 0, 0); },
         [](DataHandle d) { return KvlLockDataRecord(d, kExclusive, 0, 0, 0); },
         ERR_LOCK_MODE_CONFLICT},
        {"relock into the held shared mode",
         [](DataHandle d) { return KvlLockDataHeader(d, kShared, 0); },
         [](DataHandle d) { return KvlLockDataHeader(d, kToShared, 0); }, ERR_RELOCK_SAME_MODE},
        {"relock into the held exclusive mode",
         [](DataHandle d) { return KvlLockDataRecord(d, kExclusive, 0, 0, 0); },
         [](DataHandle d) { return KvlLockDataRecord(d, kToExclusive, 0, 0, 0); },
         ERR_RELOCK_SAME_MODE},
        {"record lock under a whole-file lock",
         [](DataHandle d) { return KvlLockDataRecord(d, kExclusive, 0, 0, 0); },
         [](DataHandle d) { return KvlLockDataRecord(d, kExclusive, 1, 1, 0); }, ERR_FILE_LOCKED},
        {"record unlock under a whole-file lock",
         [](DataHandle d) { return KvlLockDataRecord(d, kShared, 0, 0, 0); },
         [](DataHandle d) { return KvlUnlockDataRecord(d, 1, 1); }, ERR_FILE_LOCKED},
        {"header lock under a whole-file lock",
         [](DataHandle d) { return KvlLockDataRecord(d, kShared, 0, 0, 0); },
         [](DataHandle d) { return KvlLockDataHeader(d, kShared, 0); }, ERR_FILE_LOCKED},
        {"whole-file lock under a header lock",
         [](DataHandle d) { return KvlLockDataHeader(d, kExclusive, 0); },
         [](DataHandle d) { return KvlLockDataRecord(d, kExclusive, 0, 0, 0); },
         ERR_HEADER_LOCKED},
        {"relock with the built-in layer",
         [](DataHandle d) { return KvlLockDataHeader(d, kExclusive, 0); },
         [](DataHandle d) { return KvlLockDataHeader(d, kToShared, 0); },
         KVL_WIN_ATOMIC_LOCKS},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        kvl_test::TempDir dir;
        const std::string path = dir.path("C.DBF");
        kvl_test::create_lock_file(path);
        DataFile data(path, 8);  // built-in layer
        ASSERT_EQ(data.open(), 0u);
        ASSERT_EQ(c.hold(data.rec()), 0u);
        const DataControlRecord before = *data.rec();
        EXPECT_EQ(c.ask(data.rec()), c.expected);
        EXPECT_EQ(data->state, before.state);
        EXPECT_EQ(data->header_lock_count, before.header_lock_count);
        EXPECT_EQ(data->file_lock_count, before.file_lock_count);
        // The held lock is still there for another handle to run into.
        DataFile other(path, 8);
        ASSERT_EQ(other.open(), 0u);
        EXPECT_EQ(KvlLockDataHeader(other.rec(), kExclusive, 0), KVL_WIN_LOCK_VIOLATION);
    }
}

TEST_F(DataLocks, CallsOnMissingOrClosedRecords) {
    EXPECT_EQ(KvlLockDataHeader(nullptr, 0, 0), ERR_NULL_PARAMETER);
    EXPECT_EQ(KvlUnlockDataHeader(nullptr), ERR_NULL_PARAMETER);
    EXPECT_EQ(KvlLockDataRecord(nullptr, 0, 1, 1, 0), ERR_NULL_PARAMETER);
    EXPECT_EQ(KvlUnlockDataRecord(nullptr, 0, 0), ERR_NULL_PARAMETER);
    DataFile closed(path_, 8);
    EXPECT_EQ(KvlLockDataHeader(closed.rec(), 0, 0), ERR_FILE_NOT_OPEN);
    EXPECT_EQ(KvlLockDataRecord(closed.rec(), 0, 1, 1, 0), ERR_FILE_NOT_OPEN);
    EXPECT_EQ(KvlUnlockDataRecord(closed.rec(), 0, 0), ERR_FILE_NOT_OPEN);
    // Unlocks without a lock; a relock without a lock has nothing to convert.
    EXPECT_EQ(KvlUnlockDataHeader(data_.rec()), ERR_NOT_LOCKED);
    EXPECT_EQ(KvlUnlockDataRecord(data_.rec(), 0, 0), ERR_NOT_LOCKED);
    EXPECT_EQ(KvlLockDataHeader(data_.rec(), kToShared, 0), ERR_NOT_LOCKED);
    EXPECT_TRUE(faults_.locks().empty());
}

TEST_F(DataLocks, NewLockSeesOtherHandlesAppends) {
    auto other = second_handle();
    ASSERT_EQ(KvlLockDataHeader(other->rec(), kExclusive, 0), 0u);
    ASSERT_EQ(append(*other, "one"), 1u);
    ASSERT_EQ(append(*other, "two"), 2u);
    // The writer's header lock keeps this handle out while it appends.
    EXPECT_EQ(KvlLockDataHeader(data_.rec(), kShared, 0), KVL_WIN_LOCK_VIOLATION);
    ASSERT_EQ(KvlUnlockDataHeader(other->rec()), 0u);

    EXPECT_EQ(data_->header.record_count, 0u);
    ASSERT_EQ(KvlLockDataRecord(data_.rec(), kShared, 0, 0, 0), 0u);
    EXPECT_EQ(data_->header.record_count, 2u);
    // A nested lock does not read again.
    ASSERT_EQ(KvlLockDataHeader(other->rec(), kExclusive, 0), KVL_WIN_LOCK_VIOLATION);
    ASSERT_EQ(KvlUnlockDataRecord(data_.rec(), 0, 0), 0u);
}

TEST_F(DataLocks, UnflushedAppendElsewhereRefusesTheLock) {
    auto other = second_handle();
    ASSERT_EQ(append(*other, "pending"), 1u);  // byte 14 set on disk, count not yet
    EXPECT_EQ(KvlLockDataHeader(data_.rec(), kExclusive, 0), ERR_INCOMPLETE_WRITE);
    EXPECT_EQ(data_->header_lock_count, 0u);
    EXPECT_EQ(data_->state & KVL_STATE_HEADER_LOCKED, 0u);
    // The range was given back again.
    ASSERT_EQ(faults_.locks().size(), 2u);
    EXPECT_EQ(faults_.locks()[1].flags, KVL_LOCK_UNLOCK);
    EXPECT_EQ(KvlDataFlushHeader(other->rec()), 0u);
    EXPECT_EQ(KvlLockDataHeader(data_.rec(), kExclusive, 0), 0u);
    EXPECT_EQ(data_->header.record_count, 1u);
    EXPECT_EQ(KvlUnlockDataHeader(data_.rec()), 0u);
}

TEST_F(DataLocks, ReleaseFlushesTheHeader) {
    ASSERT_EQ(KvlLockDataHeader(data_.rec(), kExclusive, 0), 0u);
    ASSERT_EQ(append(data_, "kept"), 1u);
    ASSERT_EQ(KvlUnlockDataHeader(data_.rec()), 0u);
    auto bytes = kvl_test::read_bytes(path_);
    EXPECT_EQ(kvl_test::u32_at(bytes, 4), 1u);
    EXPECT_EQ(bytes[14], 0u);
    EXPECT_EQ(bytes.size(), kvl_test::kLockHeaderLength + kvl_test::kLockRecordLength + 1);
}

TEST_F(DataLocks, ExclusiveReleaseKeepsTheLockWhenTheFlushFails) {
    auto other = second_handle();
    ASSERT_EQ(KvlLockDataHeader(data_.rec(), kExclusive, 0), 0u);
    ASSERT_EQ(append(data_, "kept"), 1u);
    faults_.fail_write(".DBF");
    EXPECT_EQ(KvlUnlockDataHeader(data_.rec()), KVL_WIN_DISK_FULL);
    EXPECT_EQ(data_->header_lock_count, 1u);
    EXPECT_NE(data_->state & KVL_STATE_HEADER_LOCKED, 0u);
    EXPECT_EQ(KvlLockDataHeader(other->rec(), kShared, 0), KVL_WIN_LOCK_VIOLATION);
    EXPECT_EQ(KvlUnlockDataHeader(data_.rec()), 0u);
    EXPECT_EQ(KvlLockDataHeader(other->rec(), kShared, 0), 0u);
    EXPECT_EQ(other->rec()->header.record_count, 1u);
    EXPECT_EQ(KvlUnlockDataHeader(other->rec()), 0u);
}

TEST_F(DataLocks, SharedReleaseIgnoresAFailedFlush) {
    ASSERT_EQ(KvlLockDataHeader(data_.rec(), kShared, 0), 0u);
    ASSERT_EQ(append(data_, "under a shared lock"), 1u);
    faults_.fail_write(".DBF");
    EXPECT_EQ(KvlUnlockDataHeader(data_.rec()), 0u);
    EXPECT_TRUE(faults_.write_failed());
    EXPECT_EQ(data_->header_lock_count, 0u);
    EXPECT_EQ(data_->state & (KVL_STATE_HEADER_LOCKED | KVL_STATE_HEADER_SHARED), 0u);
}

TEST_F(DataLocks, RelockConvertsInPlaceWithAnAtomicLayer) {
    faults_.convert_relocks(true);
    auto other = second_handle();
    ASSERT_EQ(KvlLockDataRecord(data_.rec(), kExclusive, 0, 0, 0), 0u);
    ASSERT_EQ(append(data_, "before the relock"), 1u);

    // To shared: the header reaches the file first, then others may read.
    ASSERT_EQ(KvlLockDataRecord(data_.rec(), kToShared, 0, 0, 0), 0u);
    EXPECT_EQ(data_->file_lock_count, 1u);
    EXPECT_EQ(data_->state & (KVL_STATE_FILE_LOCKED | KVL_STATE_FILE_SHARED),
              KVL_STATE_FILE_LOCKED | KVL_STATE_FILE_SHARED);
    EXPECT_EQ(kvl_test::u32_at(kvl_test::read_bytes(path_), 4), 1u);
    EXPECT_EQ(faults_.locks().back().flags, KVL_LOCK_SHARED | KVL_LOCK_ATOMIC);
    ASSERT_EQ(KvlLockDataRecord(other->rec(), kShared, 0, 0, 0), 0u);
    EXPECT_EQ(other->rec()->header.record_count, 1u);

    // Back to exclusive only once the reader has gone.
    EXPECT_EQ(KvlLockDataRecord(data_.rec(), kToExclusive, 0, 0, 0), KVL_WIN_LOCK_VIOLATION);
    EXPECT_NE(data_->state & KVL_STATE_FILE_SHARED, 0u);
    ASSERT_EQ(KvlUnlockDataRecord(other->rec(), 0, 0), 0u);
    ASSERT_EQ(KvlLockDataRecord(data_.rec(), kToExclusive, 0, 0, 0), 0u);
    EXPECT_EQ(data_->state & KVL_STATE_FILE_SHARED, 0u);
    EXPECT_EQ(data_->file_lock_count, 1u);
    EXPECT_EQ(KvlLockDataRecord(other->rec(), kShared, 0, 0, 0), KVL_WIN_LOCK_VIOLATION);
    ASSERT_EQ(KvlUnlockDataRecord(data_.rec(), 0, 0), 0u);
    EXPECT_EQ(faults_.locks().back().flags, KVL_LOCK_UNLOCK);
}

TEST_F(DataLocks, RecordLocksAreNotCounted) {
    auto other = second_handle();
    ASSERT_EQ(KvlLockDataRecord(data_.rec(), kExclusive, 3, 2, 0), 0u);
    EXPECT_EQ(data_->state & (KVL_STATE_FILE_LOCKED | KVL_STATE_HEADER_LOCKED), 0u);
    EXPECT_EQ(data_->file_lock_count + data_->header_lock_count, 0u);
    // Neighbouring records and the header are free; the records are not.
    EXPECT_EQ(KvlLockDataRecord(other->rec(), kExclusive, 2, 1, 0), 0u);
    EXPECT_EQ(KvlLockDataRecord(other->rec(), kExclusive, 5, 1, 0), 0u);
    EXPECT_EQ(KvlLockDataRecord(other->rec(), kShared, 4, 1, 0), KVL_WIN_LOCK_VIOLATION);
    EXPECT_EQ(KvlLockDataHeader(other->rec(), kExclusive, 0), 0u);
    EXPECT_EQ(KvlUnlockDataHeader(other->rec()), 0u);
    // The whole-file lock covers the records.
    EXPECT_EQ(KvlLockDataRecord(other->rec(), kShared, 0, 0, 0), KVL_WIN_LOCK_VIOLATION);
    ASSERT_EQ(KvlUnlockDataRecord(data_.rec(), 3, 2), 0u);
    EXPECT_EQ(KvlLockDataRecord(other->rec(), kShared, 4, 1, 0), 0u);
}

TEST_F(DataLocks, RecordRangeBeyond32BitPositionsIsRefused) {
    EXPECT_EQ(KvlLockDataRecord(data_.rec(), kExclusive, 0xFFFFFFFF, 1, 0), ERR_FILE_LIMIT);
    EXPECT_EQ(KvlLockDataRecord(data_.rec(), kExclusive, 1, 0x7FFFFFFF, 0), ERR_FILE_LIMIT);
    EXPECT_TRUE(faults_.locks().empty());
}

}  // namespace
