// KvlLockEx and KvlUnlockEx: the checking pass, the lock pass in list order,
// the roll-back newest first, and lists whose last link is -1.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/index/multi_support.h"
#include "engine/korval32.h"
#include "support/child_process.h"
#include "support/temp_dir.h"

namespace {

using kvl_test::Channel;
using kvl_test::ChildProcess;
using kvl_test::MultiFiles;

constexpr uint32_t kIndexHeld = 0x02;
constexpr uint32_t kDataHeld = 0x01;
LockRequest *const kBadLink = static_cast<LockRequest *>(KVL_LIST_END_BAD);

std::vector<kvl_test::IndexSpec> three_indexes() {
    return {{"ID.IX4", "ID"}, {"NAME.IX4", "NAME"}, {"CITY.IX4", "CITY"}};
}

class LockLists : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(files_.rc, 0u); }

    // One node per control record, linked in order.
    std::vector<LockRequest> list(std::vector<void *> controls, uint32_t mode = 0) {
        std::vector<LockRequest> nodes(controls.size());
        for (size_t i = 0; i < nodes.size(); ++i) {
            nodes[i] = LockRequest{};
            nodes[i].control = controls[i];
            nodes[i].mode = mode;
            nodes[i].state = 0xEE;
            nodes[i].next = i + 1 < nodes.size() ? &nodes[i + 1] : nullptr;
        }
        return nodes;
    }

    // True when another handle could lock every file exclusively right now.
    bool all_free() {
        MultiFiles other(root(), three_indexes(), nullptr, false);
        if (other.rc != 0) return false;
        bool free = KvlLockDataRecord(other.data(), 0, 0, 0, 0) == 0;
        for (size_t i = 0; i < 3; ++i) free = KvlLockIx4File(other.index(i), 0, 0) == 0 && free;
        return free;
    }

    std::string root() const { return dir_.root() + "/"; }

    kvl_test::TempDir dir_;
    MultiFiles files_{root(), three_indexes()};
};

TEST_F(LockLists, CheckingPassNamesTheFirstBadNode) {
    kvl_test::IndexHandleBox closed_index(files_.index_path(0), files_.data(), nullptr);
    kvl_test::DataFile closed_data(files_.data_path(), 5);
    struct Case {
        const char *name;
        std::function<void(LockRequest &)> spoil;
        uint32_t expected;
    } cases[] = {
        {"no control record", [](LockRequest &n) { n.control = nullptr; }, ERR_NULL_PARAMETER},
        {"data file not open", [&](LockRequest &n) { n.control = closed_data.rec(); },
         ERR_FILE_NOT_OPEN},
        {"data node asking for its data file",
         [&](LockRequest &n) { n.control = files_.data(); n.flags = KVL_LOCKREQ_WITH_DATA; },
         ERR_WRONG_FILE_KIND},
        {"index not open", [&](LockRequest &n) { n.control = closed_index.get(); },
         ERR_FILE_NOT_OPEN},
        {"data link 0", [&](LockRequest &n) {
             closed_index->data_link = nullptr;
             n.control = closed_index.get();
             n.flags = KVL_LOCKREQ_WITH_DATA;
         }, ERR_NULL_PARAMETER},
        {"index without data file", [&](LockRequest &n) {
             closed_index->data_link = KVL_NO_DATA_FILE;
             n.control = closed_index.get();
             n.flags = KVL_LOCKREQ_WITH_DATA;
         }, ERR_DATA_LINK_INVALID},
        {"data file of the index not open", [&](LockRequest &n) {
             closed_index->data_link = closed_data.rec();
             n.control = files_.index(2);
             files_.index(2)->data_link = closed_data.rec();
             n.flags = KVL_LOCKREQ_WITH_DATA;
         }, ERR_FILE_NOT_OPEN},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        auto nodes = list({files_.index(0), files_.data(), files_.index(1)});
        c.spoil(nodes[2]);
        uint32_t failed = 0;
        EXPECT_EQ(KvlLockEx(nodes.data(), &failed, 0), c.expected);
        EXPECT_EQ(failed, 3u);
        for (size_t i = 0; i < 3; ++i) {
            EXPECT_EQ(nodes[i].state, 0u) << i;
            EXPECT_EQ(nodes[i].previous, i ? &nodes[i - 1] : nullptr) << i;
        }
        EXPECT_EQ(KvlUnlockEx(nodes.data(), &failed), c.expected);
        EXPECT_EQ(failed, 3u);
        files_.index(2)->data_link = files_.data();
        EXPECT_EQ(files_.index(0)->lock_count + files_.data()->file_lock_count, 0u);
    }
    uint32_t failed = 7;
    EXPECT_EQ(KvlLockEx(nullptr, &failed, 0), ERR_NULL_PARAMETER);
    auto nodes = list({files_.data()});
    EXPECT_EQ(KvlLockEx(nodes.data(), nullptr, 0), ERR_NULL_PARAMETER);
    EXPECT_EQ(KvlUnlockEx(nullptr, &failed), ERR_NULL_PARAMETER);
}

TEST_F(LockLists, LocksEveryNodeAndUnlocksThemAgain) {
    auto nodes = list({files_.index(0), files_.index(1), files_.index(2)}, KVL_LOCKMODE_SHARED);
    nodes[0].flags = KVL_LOCKREQ_WITH_DATA;  // the data file, whole
    uint32_t failed = 9;
    ASSERT_EQ(KvlLockEx(nodes.data(), &failed, 0), 0u);
    EXPECT_EQ(failed, 0u);
    EXPECT_EQ(nodes[0].state, kIndexHeld | kDataHeld);
    EXPECT_EQ(nodes[1].state, kIndexHeld);
    EXPECT_EQ(files_.data()->file_lock_count, 1u);
    EXPECT_NE(files_.data()->state & KVL_STATE_FILE_SHARED, 0u);
    for (size_t i = 0; i < 3; ++i) EXPECT_EQ(files_.index(i)->lock_count, 1u);
    EXPECT_FALSE(all_free());

    ASSERT_EQ(KvlUnlockEx(nodes.data(), &failed), 0u);
    EXPECT_EQ(nodes[0].state, kIndexHeld | kDataHeld);  // what was unlocked
    EXPECT_EQ(nodes[2].state, kIndexHeld);
    EXPECT_EQ(files_.data()->file_lock_count, 0u);
    EXPECT_TRUE(all_free());

    // Unlocking what is not locked stops at the first node; nothing is undone.
    ASSERT_EQ(KvlLockIx4File(files_.index(0), 0, 0), 0u);
    nodes[0].flags = 0;
    EXPECT_EQ(KvlUnlockEx(nodes.data(), &failed), ERR_NOT_LOCKED);
    EXPECT_EQ(failed, 2u);
    EXPECT_EQ(nodes[0].state, kIndexHeld);
    EXPECT_EQ(nodes[1].state, 0u);
}

TEST_F(LockLists, MinusOneLinkLocksAllThenUnlocksAll) {
    auto nodes = list({files_.data(), files_.index(0), files_.index(1), files_.index(2)});
    nodes[0].first_record = 3;
    nodes[0].record_count = 2;
    nodes[3].next = kBadLink;
    uint32_t failed = 0;
    EXPECT_EQ(KvlLockEx(nodes.data(), &failed, 0), ERR_BAD_LIST_END);
    EXPECT_EQ(failed, 4u);
    for (const LockRequest &n : nodes) EXPECT_EQ(n.state, 0u);
    for (size_t i = 0; i < 3; ++i) EXPECT_EQ(files_.index(i)->lock_count, 0u);
    EXPECT_TRUE(all_free());
    kvl_test::DataFile other(files_.data_path(), 5);
    ASSERT_EQ(other.open(), 0u);
    EXPECT_EQ(KvlLockDataRecord(other.rec(), 0, 3, 2, 0), 0u);
}

TEST_F(LockLists, ListComingBackOnItselfIsRefused) {
    auto nodes = list({files_.index(0), files_.index(1)});
    nodes[1].next = &nodes[0];
    uint32_t failed = 0;
    EXPECT_EQ(KvlLockEx(nodes.data(), &failed, 0), ERR_BAD_LIST_END);
    EXPECT_EQ(failed, 2u);
    EXPECT_EQ(files_.index(0)->lock_count, 0u);
}

TEST_F(LockLists, NodeHeldByAnotherProcessRollsBackTheOthers) {
    const std::string root = this->root();
    ChildProcess child([root](Channel &parent) {
        MultiFiles other(root, three_indexes(), nullptr, false);
        if (other.rc != 0) return 1;
        // The second index exclusively, the data file's records 1 to 5 shared.
        if (KvlLockIx4File(other.index(1), 0, 0) != 0) return 2;
        if (KvlLockDataRecord(other.data(), KVL_LOCKMODE_SHARED, 1, 5, 0) != 0) return 3;
        parent.send('L');
        parent.receive();
        return 0;
    });
    ASSERT_TRUE(child.started());
    ASSERT_EQ(child.channel().receive(), 'L');

    auto nodes = list({files_.index(0), files_.index(1)});
    uint32_t failed = 0;
    EXPECT_EQ(KvlLockEx(nodes.data(), &failed, 0), KVL_WIN_LOCK_VIOLATION);
    EXPECT_EQ(failed, 2u);
    EXPECT_EQ(nodes[0].state, 0u);
    EXPECT_EQ(nodes[1].state, 0u);
    EXPECT_EQ(files_.index(0)->lock_count, 0u);
    EXPECT_EQ(files_.index(0)->state & KVL_STATE_FILE_LOCKED, 0u);

    // An index lock taken for a node whose data lock then fails goes again.
    auto with_data = list({files_.index(2)});
    with_data[0].flags = KVL_LOCKREQ_WITH_DATA;
    with_data[0].first_record = 4;
    with_data[0].record_count = 1;
    EXPECT_EQ(KvlLockEx(with_data.data(), &failed, 0), KVL_WIN_LOCK_VIOLATION);
    EXPECT_EQ(failed, 1u);
    EXPECT_EQ(with_data[0].state, 0u);
    EXPECT_EQ(files_.index(2)->lock_count, 0u);
    // Shared record locks let a shared list lock through.
    with_data[0].mode = KVL_LOCKMODE_SHARED;
    EXPECT_EQ(KvlLockEx(with_data.data(), &failed, 0), 0u);
    EXPECT_EQ(with_data[0].state, kIndexHeld | kDataHeld);
    EXPECT_EQ(KvlUnlockEx(with_data.data(), &failed), 0u);

    child.channel().send('x');
    EXPECT_EQ(child.wait(), 0);
    EXPECT_EQ(KvlLockEx(nodes.data(), &failed, 0), 0u);
    EXPECT_EQ(KvlUnlockEx(nodes.data(), &failed), 0u);
}

}  // namespace
