// B-tree shapes and positions at their edges: the split of a full node, the
// free-node list, deleting branch keys, merging, duplicates, running off
// either end, re-seek mode, the key filter and the replaceable slots.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "engine/index/index_support.h"
#include "support/result_name.h"
#include "support/temp_dir.h"
#include "tools/ix4check/ix4_checker.h"

namespace {

using kvl_test::IndexRecord;
using kvl_test::le32;
using kvl_test::numbered_key;
using kvl_test::Result;

constexpr uint32_t kLen = 14;  // 23 keys per 512-byte node

class BtreeEdge : public testing::Test {
protected:
    void make(uint32_t node_size, uint32_t key_length, uint32_t flags) {
        path_ = dir_.path("edge.ix4");
        node_size_ = node_size;
        key_length_ = key_length;
        ASSERT_EQ(kvl_test::create_keys_index(path_, node_size, key_length, flags), 0u);
        ix_ = std::make_unique<IndexRecord>(node_size);
        ASSERT_EQ(ix_->open(path_), 0u);
    }
    IndexControlRecord *ix() { return ix_->get(); }
    std::string key(uint32_t n) const { return numbered_key(n, key_length_); }
    void store_range(uint32_t first, uint32_t last) {
        for (uint32_t n = first; n <= last; ++n)
            ASSERT_EQ(KvlIx4StoreKey(ix(), key(n).data(), n), 0u) << n;
    }
    // The node as it is on disk after a flush.
    std::vector<uint8_t> node_on_disk(uint32_t number) {
        EXPECT_EQ(KvlIx4FlushHeader(ix()), 0u);
        std::vector<uint8_t> file = kvl_test::read_file(path_);
        const uint8_t *n = kvl_test::node_bytes(file, node_size_, number);
        return std::vector<uint8_t>(n, n + node_size_);
    }
    uint32_t child(const std::vector<uint8_t> &node, uint32_t slot) const {
        return le32(&node[1 + slot * (key_length_ + 8)]);
    }
    std::string node_key(const std::vector<uint8_t> &node, uint32_t slot) const {
        return std::string(reinterpret_cast<const char *>(&node[5 + slot * (key_length_ + 8)]),
                           key_length_);
    }
    void expect_sound(uint32_t keys) {
        ASSERT_EQ(KvlIx4FlushHeader(ix()), 0u);
        ix4check::Options options;
        options.index_path = path_;
        const ix4check::Report report = ix4check::check_index(options);
        EXPECT_TRUE(report.ok()) << report.text();
        EXPECT_EQ(report.keys, keys);
    }
    uint32_t step(uint32_t (*call)(IndexHandle, void *, uint32_t *), std::string *k,
                  uint32_t *record) {
        k->assign(key_length_, '\0');
        return call(ix(), k->data(), record);
    }

    kvl_test::TempDir dir_;
    std::string path_;
    uint32_t node_size_ = 0, key_length_ = 0;
    std::unique_ptr<IndexRecord> ix_;
};

TEST_F(BtreeEdge, TwentyFourthKeySplitsTheRootTwelveOneEleven) {
    make(512, kLen, KVL_SORT_BYTES);
    EXPECT_EQ(ix()->header.keys_per_node, 23u);
    store_range(1, 23);
    EXPECT_EQ(ix()->header.root, 1u);
    EXPECT_EQ(ix()->stat_splits, 0u);
    store_range(24, 24);
    EXPECT_EQ(ix()->stat_splits, 1u);
    const uint32_t root = ix()->header.root;
    EXPECT_EQ(root, 3u);
    const std::vector<uint8_t> top = node_on_disk(root);
    ASSERT_EQ(top[0], 1);
    EXPECT_EQ(node_key(top, 0), key(13));
    const std::vector<uint8_t> left = node_on_disk(child(top, 0));
    const std::vector<uint8_t> right = node_on_disk(child(top, 1));
    EXPECT_EQ(left[0], 12);
    EXPECT_EQ(node_key(left, 11), key(12));
    EXPECT_EQ(right[0], 11);
    EXPECT_EQ(node_key(right, 0), key(14));
    // After a split the position is on the new key with a full path.
    EXPECT_EQ(ix()->current_record, 24u);
    EXPECT_EQ(ix()->path_depth, 1u);
    expect_sound(24);
}

TEST_F(BtreeEdge, AscendingKeysLeaveHalfFullLeftNodes) {
    make(512, kLen, KVL_SORT_BYTES);
    store_range(1, 200);
    const std::vector<uint8_t> top = node_on_disk(ix()->header.root);
    ASSERT_GT(top[0], 1);
    for (uint32_t slot = 0; slot <= top[0]; ++slot) {
        const std::vector<uint8_t> leaf = node_on_disk(child(top, slot));
        if (slot < top[0])
            EXPECT_EQ(leaf[0], 12) << slot;  // (keys per node + 1) / 2
        else
            EXPECT_GE(leaf[0], 12);
    }
    expect_sound(200);
}

TEST_F(BtreeEdge, TwoHundredFiftyFiveKeysPerNodeAtMost) {
    make(2560, 1, KVL_SORT_BYTES | KVL_IX_DUPLICATES);
    EXPECT_EQ(ix()->header.keys_per_node, 255u);
    for (uint32_t n = 1; n <= 256; ++n) ASSERT_EQ(KvlIx4StoreKey(ix(), "k", n), 0u);
    const std::vector<uint8_t> top = node_on_disk(ix()->header.root);
    ASSERT_EQ(top[0], 1);
    EXPECT_EQ(node_on_disk(child(top, 0))[0], 128);
    EXPECT_EQ(node_on_disk(child(top, 1))[0], 127);
    expect_sound(256);
}

TEST_F(BtreeEdge, FreedNodeIsReusedBeforeTheFileGrows) {
    make(512, kLen, KVL_SORT_BYTES);
    store_range(5, 5);
    ASSERT_EQ(KvlIx4DeleteKey(ix(), key(5).data(), 5), 0u);
    EXPECT_EQ(ix()->header.root, 0u);
    EXPECT_EQ(ix()->header.key_count, 0u);
    EXPECT_EQ(ix()->header.free_head, 1u);
    std::vector<uint8_t> freed = node_on_disk(1);
    EXPECT_EQ(freed[0], 0);
    EXPECT_EQ(le32(&freed[1]), 0u);
    EXPECT_EQ(std::memcmp(&freed[5], "AVL", 3), 0);

    store_range(6, 6);
    EXPECT_EQ(ix()->header.root, 1u);
    EXPECT_EQ(ix()->header.free_head, 0u);
    EXPECT_EQ(ix()->header.next_node, 2u);
    freed = node_on_disk(1);
    EXPECT_EQ(freed[0], 1);
    EXPECT_EQ(node_key(freed, 0), key(6));  // the marker is gone
    expect_sound(1);
}

TEST_F(BtreeEdge, BranchKeyDeleteMovesTheSuccessorUp) {
    make(512, kLen, KVL_SORT_BYTES);
    store_range(1, 60);
    const uint32_t root = ix()->header.root;
    const std::string branch_key = node_key(node_on_disk(root), 0);
    // Found in the root without descending; next continues in the leftmost
    // leaf of its right subtree.
    std::string k = branch_key;
    uint32_t record = 0;
    ASSERT_EQ(KvlIx4EqualKey(ix(), k.data(), &record), 0u);
    EXPECT_EQ(ix()->current_node, root);
    EXPECT_EQ(ix()->path_depth, 0u);
    ASSERT_EQ(step(KvlIx4NextKey, &k, &record), 0u);
    EXPECT_EQ(k, key(record));
    EXPECT_NE(ix()->current_node, root);
    EXPECT_EQ(ix()->current_slot, 0);
    const uint32_t successor = record;

    const uint32_t deleted = successor - 1;
    ASSERT_EQ(KvlIx4DeleteKey(ix(), branch_key.data(), deleted), 0u);
    EXPECT_EQ(ix()->header.key_count, 59u);
    EXPECT_EQ(node_key(node_on_disk(root), 0), key(successor));
    for (uint32_t n = 1; n <= 60; ++n) {
        k = key(n);
        record = 0;
        EXPECT_EQ(Result(KvlIx4EqualKey(ix(), k.data(), &record)),
                  n == deleted ? ERR_KEY_NOT_FOUND : ERR_NONE)
            << n;
    }
    expect_sound(59);
}

TEST_F(BtreeEdge, UnderfullNodeMergesUnlessFlagBit15) {
    for (bool no_merge : {false, true}) {
        SCOPED_TRACE(no_merge);
        make(512, kLen, KVL_SORT_BYTES);
        if (no_merge) ix()->state |= KVL_STATE_NO_MERGE;
        store_range(1, 24);  // left 12 | 13 | right 11 (keys per node / 2 = 11)
        ASSERT_EQ(KvlIx4DeleteKey(ix(), key(24).data(), 24), 0u);
        if (no_merge) {
            EXPECT_EQ(ix()->header.root, 3u);
            EXPECT_EQ(node_on_disk(2)[0], 10);
            EXPECT_EQ(ix()->header.free_head, 0u);
        } else {
            // 12 + 1 + 10 keys fit in one node: the tree loses a level.
            EXPECT_EQ(ix()->header.root, 1u);
            EXPECT_EQ(node_on_disk(1)[0], 23);
            EXPECT_EQ(ix()->header.free_head, 3u);
            EXPECT_EQ(le32(&node_on_disk(3)[1]), 2u);  // then node 2
            EXPECT_EQ(ix()->stat_nodes_freed, 2u);
        }
        expect_sound(23);
        ix_.reset();
        std::remove(path_.c_str());
    }
}

TEST_F(BtreeEdge, DuplicatesAreTiedByRecordNumber) {
    make(512, 6, KVL_SORT_BYTES | KVL_IX_DUPLICATES);
    EXPECT_EQ(KvlIx4StoreKey(ix(), "SAMEKY", 5), 0u);
    EXPECT_EQ(Result(KvlIx4StoreKey(ix(), "SAMEKY", 5)), ERR_KEY_FOUND);
    EXPECT_EQ(KvlIx4StoreKey(ix(), "SAMEKY", 9), 0u);
    EXPECT_EQ(KvlIx4StoreKey(ix(), "SAMEKY", 2), 0u);
    EXPECT_EQ(Result(KvlIx4DeleteKey(ix(), "SAMEKY", 7)), ERR_KEY_NOT_FOUND);
    EXPECT_EQ(Result(KvlIx4DeleteKey(ix(), "SAMEKY", 0)), ERR_NO_RECORD_NUMBER);
    std::string k = "SAMEKY";
    uint32_t record = 9;
    ASSERT_EQ(KvlIx4EqualKey(ix(), k.data(), &record), 0u);
    EXPECT_EQ(record, 9u);
    record = 0;  // any of them
    ASSERT_EQ(KvlIx4EqualKey(ix(), k.data(), &record), 0u);
    EXPECT_TRUE(record == 2 || record == 5 || record == 9);
    std::vector<uint32_t> order;
    for (uint32_t rc = step(KvlIx4FirstKey, &k, &record); rc == 0;
         rc = step(KvlIx4NextKey, &k, &record))
        order.push_back(record);
    EXPECT_EQ(order, (std::vector<uint32_t>{2, 5, 9}));
    expect_sound(3);
}

TEST_F(BtreeEdge, UniqueIndexRefusesAnEqualKeyWhateverTheRecord) {
    make(512, 6, KVL_SORT_BYTES);
    EXPECT_EQ(KvlIx4StoreKey(ix(), "SAMEKY", 5), 0u);
    EXPECT_EQ(Result(KvlIx4StoreKey(ix(), "SAMEKY", 6)), ERR_KEY_FOUND);
    // Deleting needs the record the key belongs to.
    EXPECT_EQ(Result(KvlIx4DeleteKey(ix(), "SAMEKY", 6)), ERR_KEY_NOT_FOUND);
    EXPECT_EQ(KvlIx4DeleteKey(ix(), "SAMEKY", 5), 0u);
    EXPECT_EQ(Result(KvlIx4DeleteKey(ix(), "SAMEKY", 5)), ERR_EMPTY_INDEX);
    // Without data file record number 0 is a valid record number.
    EXPECT_EQ(KvlIx4StoreKey(ix(), "ZEROKY", 0), 0u);
}

TEST_F(BtreeEdge, RunningOffEitherEndRestsOnTheLastOrFirstKey) {
    make(512, kLen, KVL_SORT_BYTES);
    std::string k;
    uint32_t record = 0;
    EXPECT_EQ(Result(step(KvlIx4FirstKey, &k, &record)), ERR_EMPTY_INDEX);
    EXPECT_EQ(Result(step(KvlIx4LastKey, &k, &record)), ERR_NO_NODE);
    EXPECT_EQ(Result(step(KvlIx4NextKey, &k, &record)), ERR_EMPTY_INDEX);
    EXPECT_EQ(Result(step(KvlIx4PrevKey, &k, &record)), ERR_EMPTY_INDEX);
    store_range(1, 100);

    ASSERT_EQ(step(KvlIx4LastKey, &k, &record), 0u);
    EXPECT_EQ(record, 100u);
    EXPECT_EQ(Result(step(KvlIx4NextKey, &k, &record)), ERR_END_OF_INDEX);
    EXPECT_EQ(Result(step(KvlIx4NextKey, &k, &record)), ERR_END_OF_INDEX);
    ASSERT_EQ(step(KvlIx4PrevKey, &k, &record), 0u);
    EXPECT_EQ(record, 99u);

    ASSERT_EQ(step(KvlIx4FirstKey, &k, &record), 0u);
    EXPECT_EQ(record, 1u);
    EXPECT_EQ(Result(step(KvlIx4PrevKey, &k, &record)), ERR_TOP_OF_INDEX);
    ASSERT_EQ(step(KvlIx4NextKey, &k, &record), 0u);
    EXPECT_EQ(record, 2u);

    // Previous without a position lands on the first key, and says so.
    ASSERT_EQ(KvlFuncIx4BTM(KVL_BTM_RESET, ix(), nullptr, 0), 0u);
    EXPECT_EQ(Result(step(KvlIx4PrevKey, &k, &record)), ERR_TOP_OF_INDEX);
    EXPECT_EQ(ix()->current_record, 1u);
}

TEST_F(BtreeEdge, EqualOrGreaterWithAPaddedPrefix) {
    make(512, 8, KVL_SORT_BYTES);
    for (const char *text : {"APPLE\0\0\0", "BANANA\0\0", "BANDIT\0\0", "BAND\0\0\0\0", "CHERRY\0\0"})
        ASSERT_EQ(KvlIx4StoreKey(ix(), text, 1 + uint32_t(text[3])), 0u);
    std::string k("BAN\0\0\0\0\0", 8);
    uint32_t record = 0;
    ASSERT_EQ(KvlIx4EqualOrGreaterKey(ix(), k.data(), &record), 0u);
    EXPECT_EQ(k, std::string("BANANA\0\0", 8));
    k.assign("BANZ\0\0\0\0", 8);
    ASSERT_EQ(KvlIx4EqualOrLesserKey(ix(), k.data(), &record), 0u);
    EXPECT_EQ(k, std::string("BANDIT\0\0", 8));
    k.assign("D\0\0\0\0\0\0\0", 8);
    EXPECT_EQ(Result(KvlIx4EqualOrGreaterKey(ix(), k.data(), &record)), ERR_END_OF_INDEX);
    k.assign("A\0\0\0\0\0\0\0", 8);
    EXPECT_EQ(Result(KvlIx4EqualOrLesserKey(ix(), k.data(), &record)), ERR_TOP_OF_INDEX);
    EXPECT_EQ(Result(KvlIx4EqualKey(ix(), k.data(), &record)), ERR_KEY_NOT_FOUND);
    EXPECT_EQ(Result(KvlIx4EqualKey(ix(), nullptr, &record)), ERR_NULL_PARAMETER);
    EXPECT_EQ(Result(KvlIx4EqualKey(ix(), k.data(), nullptr)), ERR_NULL_PARAMETER);
}

TEST_F(BtreeEdge, ReseekModeStepsFromTheCallersKey) {
    make(512, kLen, KVL_SORT_BYTES);
    for (uint32_t n = 10; n <= 500; n += 10) ASSERT_EQ(KvlIx4StoreKey(ix(), key(n).data(), n), 0u);
    ASSERT_EQ(KvlIx4FlushHeader(ix()), 0u);

    IndexRecord reader(512);
    ASSERT_EQ(reader.open(path_, KVL_STATE_RESEEK), 0u);
    EXPECT_TRUE(reader->state & KVL_STATE_RESEEK);
    std::string k(kLen, '\0');
    uint32_t record = 0;
    ASSERT_EQ(KvlIx4FirstKey(reader.get(), k.data(), &record), 0u);  // re-seek off for First
    ASSERT_EQ(KvlIx4NextKey(reader.get(), k.data(), &record), 0u);
    EXPECT_EQ(record, 20u);
    EXPECT_TRUE(reader->state & KVL_STATE_RESEEK);  // switched on again

    // Another handle changes the tree under the reader.
    ASSERT_EQ(KvlIx4StoreKey(ix(), key(25).data(), 25), 0u);
    ASSERT_EQ(KvlIx4DeleteKey(ix(), key(30).data(), 30), 0u);
    for (uint32_t n = 1000; n < 1400; ++n) ASSERT_EQ(KvlIx4StoreKey(ix(), key(n).data(), n), 0u);
    ASSERT_EQ(KvlIx4FlushHeader(ix()), 0u);
    ASSERT_EQ(KvlIx4ReadHeader(reader.get()), 0u);  // forgets the position

    ASSERT_EQ(KvlIx4NextKey(reader.get(), k.data(), &record), 0u);
    EXPECT_EQ(record, 25u);
    ASSERT_EQ(KvlIx4NextKey(reader.get(), k.data(), &record), 0u);
    EXPECT_EQ(record, 40u);  // 30 went away
    k = key(30), record = 30;  // a key that is not there: step from its gap
    ASSERT_EQ(KvlIx4PrevKey(reader.get(), k.data(), &record), 0u);
    EXPECT_EQ(record, 25u);

    // Without re-seek mode the same calls trust the (reset) position.
    reader->state &= ~KVL_STATE_RESEEK;
    ASSERT_EQ(KvlIx4ReadHeader(reader.get()), 0u);
    k = key(30), record = 30;
    ASSERT_EQ(KvlIx4NextKey(reader.get(), k.data(), &record), 0u);
    EXPECT_EQ(record, 10u);
}

uint32_t g_filter_calls[2];
uint32_t refuse_record_13(uint32_t event, IndexHandle, void *key, uint32_t record) {
    ++g_filter_calls[event == KVL_FILTER_STORE ? 1 : 0];
    if (event == KVL_FILTER_STORE && record == 13) return 4242;
    if (event == KVL_FILTER_STORE && record == 14) static_cast<char *>(key)[0] = 'Z';
    return 0;
}

TEST_F(BtreeEdge, KeyFilterSeesStoredAndReadKeys) {
    make(512, kLen, KVL_SORT_BYTES);
    ix()->key_filter = refuse_record_13;
    g_filter_calls[0] = g_filter_calls[1] = 0;
    store_range(1, 12);
    EXPECT_EQ(g_filter_calls[1], 12u);
    EXPECT_EQ(KvlIx4StoreKey(ix(), key(13).data(), 13), 4242u);
    EXPECT_EQ(ix()->header.key_count, 12u);
    EXPECT_EQ(KvlIx4StoreKey(ix(), key(14).data(), 14), 0u);  // stored as rewritten
    std::string k;
    uint32_t record = 0;
    g_filter_calls[0] = 0;
    ASSERT_EQ(step(KvlIx4LastKey, &k, &record), 0u);
    EXPECT_EQ(record, 14u);
    EXPECT_EQ(k[0], 'Z');
    EXPECT_GT(g_filter_calls[0], 0u);
}

uint32_t g_tree_calls;
uint32_t counting_tree_manager(uint32_t function, IndexHandle index, void *key, uint32_t record) {
    ++g_tree_calls;
    return KvlFuncIx4BTM(function, index, key, record);
}
int32_t reversed(IndexHandle index, const void *a, const void *b, void *buffer, uint32_t flag) {
    if (!a || !b) return KvlFuncIx4SortCmp(index, a, b, buffer, flag);
    return -KvlFuncIx4SortCmp(index, a, b, buffer, flag);
}

TEST_F(BtreeEdge, CallsGoThroughTheHandlesSlots) {
    make(512, kLen, KVL_SORT_BYTES);
    ix()->tree_manager = counting_tree_manager;
    ix()->compare = reversed;
    g_tree_calls = 0;
    store_range(1, 80);
    EXPECT_EQ(g_tree_calls, 80u);
    std::string k;
    uint32_t record = 0;
    ASSERT_EQ(step(KvlIx4FirstKey, &k, &record), 0u);
    EXPECT_EQ(record, 80u);  // the handle's compare put the keys in reverse
    EXPECT_EQ(g_tree_calls, 82u);  // reset and next
    ASSERT_EQ(KvlIx4FlushHeader(ix()), 0u);
    ix4check::Options options;
    options.index_path = path_;
    options.compare = reversed;
    EXPECT_TRUE(ix4check::check_index(options).ok());
    options.compare = nullptr;  // under the built-in order the keys are descending
    EXPECT_FALSE(ix4check::check_index(options).ok());
}

TEST_F(BtreeEdge, TreeManagerFunctionNumbers) {
    make(512, kLen, KVL_SORT_BYTES);
    store_range(1, 3);
    std::string k = key(2);
    EXPECT_EQ(Result(KvlFuncIx4BTM(7, ix(), k.data(), 0)), ERR_BAD_FUNCTION);
    EXPECT_EQ(Result(KvlFuncIx4BTM(0x107, ix(), k.data(), 0)), ERR_BAD_FUNCTION);
    EXPECT_EQ(KvlFuncIx4BTM(0x103, ix(), k.data(), 0), 0u);  // only the low byte counts
    EXPECT_EQ(ix()->current_record, 2u);
    EXPECT_EQ(Result(KvlFuncIx4BTM(3, nullptr, k.data(), 0)), ERR_NULL_PARAMETER);
    EXPECT_EQ(Result(KvlFuncIx4BTM(1, ix(), nullptr, 4)), ERR_NULL_PARAMETER);
}

}  // namespace
