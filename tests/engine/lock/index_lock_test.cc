// Whole-index locks: ranges, the caller's veto word, nesting, the header
// re-read after a lock and the flush at the release.
#include <gtest/gtest.h>

#include <string>

#include "engine/data/data_test_util.h"
#include "engine/index/multi_support.h"
#include "engine/korval32.h"
#include "support/fault_layer.h"
#include "support/temp_dir.h"

namespace {

using kvl_test::FaultLayer;
using kvl_test::MultiFiles;

constexpr uint32_t kExclusive = 0;
constexpr uint32_t kShared = KVL_LOCKMODE_SHARED;

class IndexLocks : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(files_.rc, 0u); }

    IndexControlRecord *index() { return files_.index(0); }

    // Stores the key of a new record through the files given.
    static uint32_t add(MultiFiles &files, uint32_t n) {
        auto record = kvl_test::person_record(kvl_test::numbered_person(n));
        auto r = files.requests(record);
        uint32_t failed = 0;
        return KvlIx4InsertEx(r.first(), &failed);
    }

    kvl_test::TempDir dir_;
    FaultLayer faults_;
    MultiFiles files_{dir_.root() + "/", {{"ID.IX4", "ID"}}, faults_.table()};
};

TEST_F(IndexLocks, RangesFollowTheLockOffset) {
    struct Case {
        bool halved;
        uint32_t lock_offset;
        uint64_t offset, length;
    } cases[] = {
        {false, 0, 0, 0x7FFFFFFF},
        {false, 5000000, 0, 5000000},
        {true, 0, 0x20000000, 0x1FFFFFFF},
        {true, 5000000, 2500000, 2499999},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.halved << " " << c.lock_offset);
        index()->state = (index()->state & ~KVL_STATE_HALVED_BASE) |
                         (c.halved ? KVL_STATE_HALVED_BASE : 0u);
        index()->lock_offset = c.lock_offset;
        faults_.clear_locks();
        ASSERT_EQ(KvlLockIx4File(index(), kShared, 0), 0u);
        ASSERT_EQ(KvlUnlockIx4File(index()), 0u);
        const auto &calls = faults_.locks();
        ASSERT_EQ(calls.size(), 2u);
        EXPECT_EQ(calls[0].flags, KVL_LOCK_SHARED);
        EXPECT_EQ(calls[1].flags, KVL_LOCK_SHARED | KVL_LOCK_UNLOCK);
        for (const auto &call : calls) {
            EXPECT_EQ(call.offset, c.offset);
            EXPECT_EQ(call.length, c.length);
        }
    }
}

TEST_F(IndexLocks, NestingVetoAndClosedIndexes) {
    index()->lock_state = 1;
    EXPECT_EQ(KvlLockIx4File(index(), kShared, 0), ERR_HEADER_LOCKED);
    index()->lock_state = 0;
    ASSERT_EQ(KvlLockIx4File(index(), kExclusive, 0), 0u);
    ASSERT_EQ(KvlLockIx4File(index(), kExclusive, 0), 0u);
    EXPECT_EQ(KvlLockIx4File(index(), kShared, 0), ERR_LOCK_MODE_CONFLICT);
    EXPECT_EQ(KvlLockIx4File(index(), KVL_LOCKMODE_RELOCK, 0), ERR_RELOCK_SAME_MODE);
    EXPECT_EQ(index()->lock_count, 2u);
    EXPECT_EQ(index()->state & (KVL_STATE_FILE_LOCKED | KVL_STATE_FILE_SHARED),
              KVL_STATE_FILE_LOCKED);
    EXPECT_EQ(faults_.locks().size(), 1u);
    EXPECT_EQ(KvlUnlockIx4File(index()), 0u);
    EXPECT_EQ(KvlUnlockIx4File(index()), 0u);
    EXPECT_EQ(KvlUnlockIx4File(index()), ERR_NOT_LOCKED);
    EXPECT_EQ(index()->state & KVL_STATE_FILE_LOCKED, 0u);
    EXPECT_EQ(faults_.locks().size(), 2u);

    EXPECT_EQ(KvlLockIx4File(nullptr, 0, 0), ERR_NULL_PARAMETER);
    EXPECT_EQ(KvlUnlockIx4File(nullptr), ERR_NULL_PARAMETER);
    kvl_test::IndexHandleBox closed(files_.index_path(0), files_.data(), nullptr);
    EXPECT_EQ(KvlLockIx4File(closed.get(), 0, 0), ERR_FILE_NOT_OPEN);
}

TEST_F(IndexLocks, LockReadsWhatAnotherHandleStoredAndReleaseFlushes) {
    MultiFiles other(dir_.root() + "/", {{"ID.IX4", "ID"}}, nullptr, false);
    ASSERT_EQ(other.rc, 0u);
    ASSERT_EQ(KvlLockDataRecord(other.data(), kExclusive, 0, 0, 0), 0u);
    ASSERT_EQ(KvlLockIx4File(other.index(0), kExclusive, 0), 0u);
    ASSERT_EQ(add(other, 1), 0u);
    ASSERT_EQ(add(other, 2), 0u);
    EXPECT_EQ(KvlLockIx4File(index(), kShared, 0), KVL_WIN_LOCK_VIOLATION);
    const auto before = kvl_test::read_bytes(files_.index_path(0));
    ASSERT_EQ(KvlUnlockIx4File(other.index(0)), 0u);
    ASSERT_EQ(KvlUnlockDataRecord(other.data(), 0, 0), 0u);

    // The release wrote the header: changes-pending bit clear, one more flush.
    const auto after = kvl_test::read_bytes(files_.index_path(0));
    EXPECT_EQ(after[152] & KVL_IX_STATE_PENDING, 0u);
    EXPECT_EQ(kvl_test::u32_at(after, 12), 2u);
    EXPECT_EQ(kvl_test::u32_at(after, 148), kvl_test::u32_at(before, 148) + 1);

    EXPECT_EQ(index()->header.key_count, 0u);
    ASSERT_EQ(KvlLockDataRecord(files_.data(), kShared, 0, 0, 0), 0u);
    ASSERT_EQ(KvlLockIx4File(index(), kShared, 0), 0u);
    EXPECT_EQ(index()->header.key_count, 2u);
    EXPECT_EQ(files_.keys(0).size(), 2u);
    EXPECT_EQ(KvlUnlockIx4File(index()), 0u);
    EXPECT_EQ(KvlUnlockDataRecord(files_.data(), 0, 0), 0u);
}

TEST_F(IndexLocks, UnflushedChangesRefuseANewLock) {
    ASSERT_EQ(add(files_, 1), 0u);  // changes held in memory, no lock
    EXPECT_EQ(KvlLockIx4File(index(), kExclusive, 0), ERR_HEADER_DIRTY);
    EXPECT_EQ(index()->lock_count, 0u);
    ASSERT_EQ(faults_.locks().size(), 2u);
    EXPECT_EQ(faults_.locks()[1].flags, KVL_LOCK_UNLOCK);
    ASSERT_EQ(KvlIx4FlushHeader(index()), 0u);
    EXPECT_EQ(KvlLockIx4File(index(), kExclusive, 0), 0u);
    EXPECT_EQ(KvlUnlockIx4File(index()), 0u);
}

}  // namespace
