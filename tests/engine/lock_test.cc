// Locks: the byte ranges of data file and index locks under both schemes,
// nesting and relocks, what a lock reads and a release flushes, and lists
// of locks taken all or none while another process holds one of them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/engine_support.h"
#include "support/child_process.h"
#include "support/memory_layer.h"

namespace {

using kvl_test::Channel;
using kvl_test::ChildProcess;
using kvl_test::DataFile;
using kvl_test::MemoryLayer;
using kvl_test::Result;

constexpr uint32_t kExclusive = 0, kShared = KVL_LOCKMODE_SHARED;

// A people file (header 193, records 37) and its index on the built-in
// layer, the first handles watched by the fault plan's lock log.
class Locks : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(files_.rc, 0u);
        files_.close();
        ASSERT_EQ(data_.open(), 0u);
        ASSERT_EQ(index_.open(), 0u);
        disk_.clear_locks();
    }
    uint32_t append(DataFile &data, uint32_t n) {
        auto record = kvl_test::person_record(kvl_test::numbered_person(n));
        uint32_t number = 0;
        return KvlDataAddRecord(data.rec(), record.data(), &number) == 0 ? number : 0;
    }
    std::unique_ptr<DataFile> other() {
        auto handle = std::make_unique<DataFile>(files_.data_path(), 5);
        EXPECT_EQ(handle->open(), 0u);
        return handle;
    }

    kvl_test::TempDir dir_;
    kvl_test::MultiFiles files_{dir_.root() + "/", {{"ID.IX4", "ID"}, {"NAME.IX4", "NAME"}}};
    MemoryLayer disk_{MemoryLayer::kBuiltIn};
    DataFile data_{files_.data_path(), 5, disk_.table()};
    kvl_test::IndexFile index_{files_.index_path(0), kvl_test::kNodeSize, data_.rec(), disk_.table()};
};

TEST_F(Locks, RangesOfBothSchemes) {
    enum Kind { kHeader, kRecords, kWhole, kIndex };
    const struct {
        bool halved;
        uint32_t lock_base;
        Kind kind;
        uint64_t offset, length;
    } cases[] = {
        {false, 0, kHeader, 0, 193},
        {false, 0, kRecords, 193 + 2 * 37, 2 * 37},  // records 3 and 4
        {false, 0, kWhole, 0, 0x7FFFFFFF},
        {false, 1000000, kHeader, 0, 193},
        {false, 1000000, kWhole, 0, 1000000},
        {true, 0, kHeader, 0x20000000, 193},
        {true, 0, kRecords, 0x20000000 + 193 + 2 * 37, 2 * 37},
        {true, 0, kWhole, 0x20000000, 0x1FFFFFFF},
        {true, 1000000, kHeader, 500000, 193},
        {true, 1000001, kWhole, 500001, 500000},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::Message() << "halved " << c.halved << " base " << c.lock_base << " kind " << c.kind);
        data_->state = (data_->state & ~KVL_STATE_HALVED_BASE) | (c.halved ? KVL_STATE_HALVED_BASE : 0u);
        data_->lock_base = c.lock_base;
        disk_.clear_locks();
        for (uint32_t mode : {kExclusive, kShared}) {
            if (c.kind == kHeader) {
                ASSERT_EQ(KvlLockDataHeader(data_.rec(), mode, 0), 0u);
                ASSERT_EQ(KvlUnlockDataHeader(data_.rec()), 0u);
            } else if (c.kind == kRecords) {
                ASSERT_EQ(KvlLockDataRecord(data_.rec(), mode, 3, 2, 0), 0u);
                ASSERT_EQ(KvlUnlockDataRecord(data_.rec(), 3, 2), 0u);
            } else {
                ASSERT_EQ(KvlLockDataRecord(data_.rec(), mode, 0, 99, 0), 0u);
                ASSERT_EQ(KvlUnlockDataRecord(data_.rec(), 0, 99), 0u);
            }
        }
        const auto &calls = disk_.locks();
        ASSERT_EQ(calls.size(), 4u);
        const uint32_t shared_unlock = c.kind == kRecords ? 0u : KVL_LOCK_SHARED;
        const uint32_t flags[] = {0, KVL_LOCK_UNLOCK, KVL_LOCK_SHARED, KVL_LOCK_UNLOCK | shared_unlock};
        for (size_t i = 0; i < calls.size(); ++i) {
            EXPECT_EQ(calls[i].flags, flags[i]) << i;
            EXPECT_EQ(calls[i].offset, c.offset) << i;
            EXPECT_EQ(calls[i].length, c.length) << i;
        }
    }
}

TEST_F(Locks, NestingRelocksAndConflictsBetweenHandles) {
    auto second = other();
    // Unlocks and relocks without a lock are refused, touching nothing.
    EXPECT_EQ(Result(KvlUnlockDataHeader(data_.rec())), ERR_NOT_LOCKED);
    EXPECT_EQ(Result(KvlLockDataHeader(data_.rec(), KVL_LOCKMODE_RELOCK | kShared, 0)), ERR_NOT_LOCKED);
    EXPECT_EQ(Result(KvlUnlockIx4File(index_.get())), ERR_NOT_LOCKED);
    EXPECT_TRUE(disk_.locks().empty());
    // Nested shared locks take one lock; others may read along, not write.
    ASSERT_EQ(KvlLockDataHeader(data_.rec(), kShared, 0), 0u);
    ASSERT_EQ(KvlLockDataHeader(data_.rec(), kShared, 0), 0u);
    EXPECT_EQ(disk_.locks().size(), 1u);
    EXPECT_EQ(Result(KvlLockDataHeader(data_.rec(), kExclusive, 0)), ERR_LOCK_MODE_CONFLICT);
    EXPECT_EQ(Result(KvlLockDataHeader(data_.rec(), KVL_LOCKMODE_RELOCK | kShared, 0)), ERR_RELOCK_SAME_MODE);
    EXPECT_EQ(KvlLockDataHeader(second->rec(), kShared, 0), 0u);
    EXPECT_EQ(KvlUnlockDataHeader(second->rec()), 0u);
    EXPECT_EQ(KvlUnlockDataHeader(data_.rec()), 0u);
    EXPECT_EQ(Result(KvlLockDataHeader(second->rec(), kExclusive, 0)), KVL_WIN_LOCK_VIOLATION);
    EXPECT_EQ(KvlUnlockDataHeader(data_.rec()), 0u);
    // A writer's lock keeps others out while it appends; their next lock
    // reads the new count, and the release flushes it.
    ASSERT_EQ(KvlLockDataHeader(second->rec(), kExclusive, 0), 0u);
    ASSERT_EQ(append(*second, 1), 1u);
    EXPECT_EQ(Result(KvlLockDataHeader(data_.rec(), kShared, 0)), KVL_WIN_LOCK_VIOLATION);
    ASSERT_EQ(KvlUnlockDataHeader(second->rec()), 0u);
    EXPECT_EQ(kvl_test::u32_at(kvl_test::read_bytes(files_.data_path()), 4), 1u);
    EXPECT_EQ(data_->header.record_count, 0u);
    ASSERT_EQ(KvlLockDataRecord(data_.rec(), kShared, 0, 0, 0), 0u);
    EXPECT_EQ(data_->header.record_count, 1u);
    ASSERT_EQ(KvlUnlockDataRecord(data_.rec(), 0, 0), 0u);
    // An append elsewhere not yet flushed refuses the lock, and gives the
    // range back.
    ASSERT_EQ(append(*second, 2), 2u);
    disk_.clear_locks();
    EXPECT_EQ(Result(KvlLockDataHeader(data_.rec(), kExclusive, 0)), ERR_INCOMPLETE_WRITE);
    ASSERT_EQ(disk_.locks().size(), 2u);
    EXPECT_EQ(disk_.locks()[1].flags, KVL_LOCK_UNLOCK);
    ASSERT_EQ(KvlDataFlushHeader(second->rec()), 0u);
    // An exclusive release whose flush fails keeps its lock.
    ASSERT_EQ(KvlLockDataHeader(data_.rec(), kExclusive, 0), 0u);
    ASSERT_EQ(append(data_, 3), 3u);
    disk_.fail_call(1, KVL_WIN_DISK_FULL, false, MemoryLayer::kWrite);
    EXPECT_EQ(Result(KvlUnlockDataHeader(data_.rec())), KVL_WIN_DISK_FULL);
    EXPECT_EQ(Result(KvlLockDataHeader(second->rec(), kShared, 0)), KVL_WIN_LOCK_VIOLATION);
    EXPECT_EQ(KvlUnlockDataHeader(data_.rec()), 0u);
    EXPECT_EQ(KvlLockDataHeader(second->rec(), kShared, 0), 0u);
    EXPECT_EQ(second->rec()->header.record_count, 3u);
    EXPECT_EQ(KvlUnlockDataHeader(second->rec()), 0u);
    // A relock converts in place where the layer can.
    disk_.convert_relocks(true);
    ASSERT_EQ(KvlLockDataHeader(data_.rec(), kExclusive, 0), 0u);
    EXPECT_EQ(KvlLockDataHeader(data_.rec(), KVL_LOCKMODE_RELOCK | kShared, 0), 0u);
    EXPECT_EQ(data_->state & KVL_STATE_HEADER_SHARED, KVL_STATE_HEADER_SHARED);
    EXPECT_EQ(KvlLockDataHeader(second->rec(), kShared, 0), 0u);
    EXPECT_EQ(KvlUnlockDataHeader(second->rec()), 0u);
    EXPECT_EQ(KvlUnlockDataHeader(data_.rec()), 0u);
}

TEST_F(Locks, AListIsLockedWholeOrNotAtAllWhileAnotherProcessHoldsAPart) {
    const std::string root = dir_.root() + "/";
    ChildProcess child([root](Channel &parent) {
        kvl_test::MultiFiles held(root, {{"ID.IX4", "ID"}, {"NAME.IX4", "NAME"}}, nullptr, false);
        if (held.rc != 0) return 1;
        if (KvlLockIx4File(held.index(1), 0, 0) != 0) return 2;
        if (KvlLockDataRecord(held.data(), KVL_LOCKMODE_SHARED, 1, 5, 0) != 0) return 3;
        parent.send('L');
        parent.receive();
        return 0;
    });
    ASSERT_TRUE(child.started());
    ASSERT_EQ(child.channel().receive(), 'L');
    kvl_test::IndexFile second(files_.index_path(1), kvl_test::kNodeSize, data_.rec());
    ASSERT_EQ(second.open(), 0u);
    std::vector<LockRequest> nodes(2);
    nodes[0] = LockRequest{index_.get(), kExclusive, 0, 0, 0xEE, 0, {}, nullptr, &nodes[1]};
    nodes[1] = LockRequest{second.get(), kExclusive, 0, 0, 0xEE, 0, {}, nullptr, nullptr};
    uint32_t failed = 0;
    EXPECT_EQ(Result(KvlLockEx(nodes.data(), &failed, 0)), KVL_WIN_LOCK_VIOLATION);
    EXPECT_EQ(failed, 2u);
    EXPECT_EQ(nodes[0].state, 0u);
    EXPECT_EQ(index_->lock_count, 0u);  // the first node's lock was given back
    // A node's index lock goes again when its data lock then fails.
    LockRequest with_data{index_.get(), kExclusive, 4, 1, 0, KVL_LOCKREQ_WITH_DATA, {}, nullptr, nullptr};
    EXPECT_EQ(Result(KvlLockEx(&with_data, &failed, 0)), KVL_WIN_LOCK_VIOLATION);
    EXPECT_EQ(index_->lock_count, 0u);
    with_data.mode = kShared;  // shared record locks let a shared list through
    EXPECT_EQ(KvlLockEx(&with_data, &failed, 0), 0u);
    EXPECT_EQ(with_data.state, 3u);
    EXPECT_EQ(KvlUnlockEx(&with_data, &failed), 0u);
    child.channel().send('x');
    EXPECT_EQ(child.wait(), 0);
    EXPECT_EQ(KvlLockEx(nodes.data(), &failed, 0), 0u);
    EXPECT_EQ(nodes[0].state, 2u);
    EXPECT_EQ(KvlUnlockEx(nodes.data(), &failed), 0u);
}

}  // namespace
