// Randomized model test of the B-tree: thousands of key stores and deletes
// against an ordered set, for small and large nodes, short and long keys,
// unique and duplicate indexes, with and without merging.  After every batch
// the whole index is walked both ways, looked up against the model, and
// checked with the ix4check logic.
#include <gtest/gtest.h>

#include <iterator>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <utility>

#include "engine/index/index_support.h"
#include "support/result_name.h"
#include "support/temp_dir.h"
#include "tools/ix4check/ix4_checker.h"

namespace {

using kvl_test::Result;

using Entry = std::pair<std::string, uint32_t>;

struct Config {
    uint32_t node_size;
    uint32_t key_length;
    bool duplicates;
    bool no_merge;
};

std::string config_name(const testing::TestParamInfo<Config> &info) {
    const Config &c = info.param;
    return "Node" + std::to_string(c.node_size) + "Key" + std::to_string(c.key_length) +
           (c.duplicates ? "Dup" : "Unique") + (c.no_merge ? "NoMerge" : "");
}

class BtreeModel : public testing::TestWithParam<Config> {
protected:
    void SetUp() override {
        const Config &c = GetParam();
        path_ = dir_.path("model.ix4");
        ASSERT_EQ(kvl_test::create_keys_index(path_, c.node_size, c.key_length,
                                              KVL_SORT_BYTES | (c.duplicates ? KVL_IX_DUPLICATES : 0)),
                  0u);
        ix_ = std::make_unique<kvl_test::IndexRecord>(c.node_size);
        ASSERT_EQ(ix_->open(path_), 0u);
        if (c.no_merge) (*ix_)->state |= KVL_STATE_NO_MERGE;
    }

    // Keys drawn from a pool of 4096 (8 byte values in each of the first
    // four places, extremes included), so stores collide and deletes hit.
    std::string key_for(uint32_t n) const {
        static const uint8_t alphabet[8] = {0x00, 0x01, 0x41, 0x7F, 0x80, 0xC3, 0xFE, 0xFF};
        const uint32_t length = GetParam().key_length;
        std::string key(length, '\0');
        for (uint32_t i = 0; i < length; ++i)
            key[i] = char(i < 4 ? alphabet[(n >> (3 * (3 - i))) & 7] : uint8_t(n * 7 + i));
        return key;
    }

    bool present_key(const std::string &key) const {
        auto it = model_.lower_bound({key, 0});
        return it != model_.end() && it->first == key;
    }

    void store(const std::string &key, uint32_t record) {
        const bool dup = GetParam().duplicates;
        const bool exists = dup ? model_.count({key, record}) > 0 : present_key(key);
        const uint32_t rc = KvlIx4StoreKey(ix_->get(), key.data(), record);
        ASSERT_EQ(Result(rc), exists ? ERR_KEY_FOUND : ERR_NONE);
        if (exists) return;
        model_.insert({key, record});
        EXPECT_EQ((*ix_)->current_record, record);  // the position is on the new key
        EXPECT_EQ(std::string(reinterpret_cast<char *>((*ix_)->current_key), key.size()), key);
    }

    void remove(std::string key, uint32_t record, bool step_after) {  // key may be a model entry
        const bool exists = model_.count({key, record}) > 0;
        const uint32_t missing = model_.empty() ? ERR_EMPTY_INDEX : ERR_KEY_NOT_FOUND;
        ASSERT_EQ(KvlIx4DeleteKey(ix_->get(), key.data(), record), exists ? 0u : missing);
        if (!exists) return;
        model_.erase({key, record});
        if (!step_after || model_.empty()) return;
        // From the gap the key left, next lands on the following entry.
        std::string got(key.size(), '\0');
        uint32_t r = 0;
        auto after = model_.upper_bound({key, record});
        const uint32_t rc = KvlIx4NextKey(ix_->get(), got.data(), &r);
        if (after == model_.end()) {
            EXPECT_EQ(Result(rc), ERR_END_OF_INDEX);
        } else {
            ASSERT_EQ(rc, 0u);
            EXPECT_EQ(Entry(got, r), *after);
        }
    }

    void check_walks() {
        const uint32_t length = GetParam().key_length;
        std::string key(length, '\0');
        uint32_t record = 0;
        auto it = model_.begin();
        uint32_t rc = KvlIx4FirstKey(ix_->get(), key.data(), &record);
        for (; rc == 0; rc = KvlIx4NextKey(ix_->get(), key.data(), &record), ++it) {
            ASSERT_NE(it, model_.end());
            ASSERT_EQ(Entry(key, record), *it);
        }
        ASSERT_EQ(Result(rc), model_.empty() ? ERR_EMPTY_INDEX : ERR_END_OF_INDEX);
        ASSERT_EQ(it, model_.end());
        if (model_.size() >= 2) {  // off the end the position rests on the last key
            ASSERT_EQ(KvlIx4PrevKey(ix_->get(), key.data(), &record), 0u);
            EXPECT_EQ(Entry(key, record), *std::prev(model_.end(), 2));
        }

        auto back = model_.rbegin();
        rc = KvlIx4LastKey(ix_->get(), key.data(), &record);
        for (; rc == 0; rc = KvlIx4PrevKey(ix_->get(), key.data(), &record), ++back) {
            ASSERT_NE(back, model_.rend());
            ASSERT_EQ(Entry(key, record), *back);
        }
        ASSERT_EQ(Result(rc), model_.empty() ? ERR_NO_NODE : ERR_TOP_OF_INDEX);
        ASSERT_EQ(back, model_.rend());
        if (model_.size() >= 2) {  // off the front the position rests on the first key
            ASSERT_EQ(KvlIx4NextKey(ix_->get(), key.data(), &record), 0u);
            EXPECT_EQ(Entry(key, record), *std::next(model_.begin()));
        }
    }

    void check_lookups(std::mt19937 &random) {
        const bool dup = GetParam().duplicates;
        for (int probe = 0; probe < 150; ++probe) {
            const std::string wanted = key_for(random() % 4096);
            const uint32_t with_record = dup && probe % 2 ? 1 + random() % 40 : 0;
            const Entry from{wanted, with_record};
            auto first_not_below = model_.lower_bound(from);
            const bool hit = with_record ? model_.count(from) > 0 : present_key(wanted);

            std::string key = wanted;
            uint32_t record = with_record;
            uint32_t rc = KvlIx4EqualKey(ix_->get(), key.data(), &record);
            if (model_.empty()) {
                ASSERT_EQ(Result(rc), ERR_EMPTY_INDEX);
                continue;
            }
            ASSERT_EQ(Result(rc), hit ? ERR_NONE : ERR_KEY_NOT_FOUND) << probe;
            if (hit) {
                EXPECT_EQ(key, wanted);
                EXPECT_EQ(model_.count({key, record}), 1u);
            }

            key = wanted, record = with_record;
            rc = KvlIx4EqualOrGreaterKey(ix_->get(), key.data(), &record);
            if (hit) {
                ASSERT_EQ(rc, 0u);
                EXPECT_EQ(key, wanted);
                EXPECT_EQ(model_.count({key, record}), 1u);
            } else if (first_not_below == model_.end()) {
                EXPECT_EQ(Result(rc), ERR_END_OF_INDEX);
            } else {
                ASSERT_EQ(rc, 0u);
                EXPECT_EQ(Entry(key, record), *first_not_below);
            }

            key = wanted, record = with_record;
            rc = KvlIx4EqualOrLesserKey(ix_->get(), key.data(), &record);
            if (hit) {
                ASSERT_EQ(rc, 0u);
                EXPECT_EQ(key, wanted);
            } else if (first_not_below == model_.begin()) {
                EXPECT_EQ(Result(rc), ERR_TOP_OF_INDEX);
            } else {
                ASSERT_EQ(rc, 0u);
                EXPECT_EQ(Entry(key, record), *std::prev(first_not_below));
            }
        }
    }

    void check_file() {
        ASSERT_EQ(KvlIx4FlushHeader(ix_->get()), 0u);
        ix4check::Options options;
        options.index_path = path_;
        const ix4check::Report report = ix4check::check_index(options);
        ASSERT_TRUE(report.ok()) << report.text();
        EXPECT_EQ(report.keys, model_.size());
        EXPECT_EQ(report.unused_nodes, 0u);  // every node is in the tree or free
        EXPECT_EQ((*ix_)->header.key_count, model_.size());
    }

    void run_phase(std::mt19937 &random, int operations, int store_percent) {
        for (int op = 0; op < operations; ++op) {
            if (int(random() % 100) < store_percent) {
                store(key_for(random() % 4096), 1 + random() % 40);
            } else if (!model_.empty() && random() % 4 != 0) {
                auto it = model_.lower_bound({key_for(random() % 4096), 0});
                if (it == model_.end()) it = model_.begin();
                remove(it->first, it->second, op % 16 == 0);
            } else {
                remove(key_for(random() % 4096), 1 + random() % 40, false);
            }
            if (HasFatalFailure()) return;
            if (op % 1500 == 1499) {
                check_walks();
                if (HasFatalFailure()) return;
                check_lookups(random);
                if (HasFatalFailure()) return;
                check_file();
                if (HasFatalFailure()) return;
            }
        }
    }

    kvl_test::TempDir dir_;
    std::string path_;
    std::unique_ptr<kvl_test::IndexRecord> ix_;
    std::set<Entry> model_;
};

TEST_P(BtreeModel, RandomStoresAndDeletesMatchAnOrderedSet) {
    std::mt19937 random(GetParam().node_size * 1000 + GetParam().key_length);
    run_phase(random, 9000, 70);  // grows the tree: splits
    if (HasFatalFailure()) return;
    run_phase(random, 7500, 25);  // shrinks it: merges and freed nodes
    if (HasFatalFailure()) return;
    while (!model_.empty()) {  // and empties it
        remove(model_.begin()->first, model_.begin()->second, false);
        if (HasFatalFailure()) return;
    }
    check_walks();
    check_file();
    EXPECT_EQ((*ix_)->header.root, 0u);
    EXPECT_GT((*ix_)->stat_splits, 0u);
    EXPECT_GT((*ix_)->stat_nodes_freed, 0u);
}

INSTANTIATE_TEST_SUITE_P(Shapes, BtreeModel,
                         testing::Values(Config{512, 4, false, false}, Config{512, 4, true, false},
                                         Config{512, 150, false, false},
                                         Config{512, 150, true, false},
                                         Config{2560, 4, false, false},
                                         Config{2560, 4, true, false},
                                         Config{2560, 150, false, false},
                                         Config{2560, 150, true, false},
                                         Config{512, 4, true, true},
                                         Config{512, 150, false, true}),
                         config_name);

}  // namespace
