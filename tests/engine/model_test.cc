// The model tests of the index: thousands of random key stores and deletes
// against an ordered set, for small and large nodes, short and long keys,
// unique and duplicate indexes, with and without merging; and random record
// inserts, updates and deletes through the record calls against a model of
// the data file, from an empty index and from a rebuilt one.  After every
// batch the index is walked both ways, looked up against the model, and
// checked by the checker of tools/ix4check.
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <random>
#include <set>
#include <string>

#include "engine/engine_support.h"

namespace {

using kvl_test::kNameLength;
using kvl_test::name_key;
using kvl_test::name_record;
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
        ix_ = std::make_unique<kvl_test::IndexFile>(path_, c.node_size);
        ASSERT_EQ(ix_->open(), 0u);
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
        const ix4check::Report report = kvl_test::check_index(path_);
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
    std::unique_ptr<kvl_test::IndexFile> ix_;
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


struct Record {
    std::string name;
    uint32_t num;
    bool live;
};

struct Shape {
    bool duplicates;
    bool rebuilt;  // start from records indexed by a rebuild, whose tree has its own shape
};

class RecordModel : public testing::TestWithParam<Shape> {
protected:
    void SetUp() override {
        names_ = std::make_unique<kvl_test::NamesIndex>(
            dir_.root(), 512, KVL_SORT_BYTES | (duplicates() ? KVL_IX_DUPLICATES : 0),
            KVL_STATE_SKIP_DELETED);
        ASSERT_EQ(names_->rc, 0u);
        names_->index()->tag_filter = '*';
    }
    bool duplicates() const { return GetParam().duplicates; }

    // Adds records without keys, then indexes them all with a rebuild at
    // 100 percent fill: full leaves, and branch nodes whose last child may
    // be 0.
    void fill_and_rebuild(uint32_t count) {
        for (uint32_t n = 1; n <= count; ++n) {
            const std::string name = "R" + std::to_string(n * 7919 % 100000);
            std::vector<uint8_t> record = name_record(name, n);
            uint32_t number = 0;
            ASSERT_EQ(KvlDataAddRecord(names_->data(), record.data(), &number), 0u);
            rows_[number] = {name, n, true};
            keys_.insert({name_key(name), number});
        }
        char duplicate[KVL_MAX_KEY_LENGTH + 1];
        uint32_t record_number = 0;
        ASSERT_EQ(KvlFuncIx4Reindex(index(), (dir_.root() + "/work.tmp").c_str(), 100, duplicate,
                                    &record_number),
                  0u);
        check();
    }
    IndexControlRecord *index() { return names_->index(); }
    std::string random_name() { return "N" + std::to_string(random_() % 30000); }
    bool name_taken(const std::string &name, uint32_t except) const {
        auto it = keys_.lower_bound({name_key(name), 0});
        for (; it != keys_.end() && it->first == name_key(name); ++it)
            if (it->second != except) return true;
        return false;
    }

    void insert() {
        const std::string name = random_name();
        const uint32_t num = random_() % 1000;
        std::vector<uint8_t> record = name_record(name, num);
        std::string key(kNameLength, '\0');
        uint32_t number = 0, state = 99;
        const uint32_t rc = KvlIx4Insert(index(), key.data(), &number, record.data(), &state);
        if (!duplicates() && name_taken(name, 0)) {
            ASSERT_EQ(Result(rc), ERR_KEY_FOUND);
            ASSERT_EQ(state, 0u);
            ++refused_;
            ASSERT_EQ(names_->data()->header.record_count, rows_.size());
            return;
        }
        ASSERT_EQ(rc, 0u);
        ASSERT_EQ(state, 3u);
        ASSERT_EQ(number, rows_.size() + 1);
        rows_[number] = {name, num, true};
        keys_.insert({name_key(name), number});
    }

    uint32_t random_live() {
        for (int tries = 0; tries < 20; ++tries) {
            auto it = rows_.lower_bound(1 + uint32_t(random_() % (rows_.size() + 1)));
            if (it != rows_.end() && it->second.live) return it->first;
        }
        return 0;
    }

    void update() {
        const uint32_t number = random_live();
        if (number == 0) return;
        Record &row = rows_[number];
        const uint32_t pick = random_() % 10;
        const std::string name = pick < 3 ? row.name : random_name();
        const uint32_t num = pick < 1 ? row.num : uint32_t(random_() % 1000);
        std::vector<uint8_t> record = name_record(name, num);
        std::string key(kNameLength, '\0');
        uint32_t state = 0;
        const uint32_t rc = KvlIx4Update(index(), key.data(), number, record.data(), &state);
        if (name == row.name && num == row.num) {
            ASSERT_EQ(rc, 0u);
            ASSERT_EQ(state, 0u);
        } else if (name == row.name) {
            ASSERT_EQ(rc, 0u);
            ASSERT_EQ(state, 1u);
            row.num = num;
        } else if (!duplicates() && name_taken(name, number)) {
            ASSERT_EQ(Result(rc), ERR_KEY_FOUND);
            ASSERT_EQ(state, 16u);
            ++refused_;
        } else {
            ASSERT_EQ(rc, 0u);
            ASSERT_EQ(state, 3u);
            ASSERT_EQ(key, name_key(name));
            keys_.erase({name_key(row.name), number});
            keys_.insert({name_key(name), number});
            row.name = name;
            row.num = num;
        }
    }

    void remove() {
        const uint32_t number = random_live();
        if (number == 0) return;
        Record &row = rows_[number];
        ASSERT_EQ(KvlIx4DeleteKey(index(), name_key(row.name).data(), number), 0u);
        ASSERT_EQ(KvlDataMarkRecord(names_->data(), number, '*'), 0u);
        keys_.erase({name_key(row.name), number});
        row.live = false;
    }

    void check() {
        std::string key(kNameLength, '\0');
        std::vector<uint8_t> record(kvl_test::kNamesRecordLength);
        uint32_t number = 0;
        auto it = keys_.begin();
        uint32_t rc = KvlIx4GetFirst(index(), key.data(), &number, record.data());
        for (; rc == 0; rc = KvlIx4GetNext(index(), key.data(), &number, record.data()), ++it) {
            ASSERT_NE(it, keys_.end());
            ASSERT_EQ(key, it->first);
            ASSERT_EQ(number, it->second);
            ASSERT_EQ(record, name_record(rows_[number].name, rows_[number].num));
        }
        ASSERT_EQ(Result(rc), keys_.empty() ? ERR_EMPTY_INDEX : ERR_END_OF_INDEX);
        ASSERT_EQ(it, keys_.end());

        ASSERT_EQ(KvlIx4FlushHeader(index()), 0u);
        ASSERT_EQ(KvlDataFlushHeader(names_->data()), 0u);
        ix4check::Options options;
        options.index_path = names_->index_path();
        options.data_path = names_->data_path();
        options.build_key = kvl_test::build_name;
        options.tag_filter = '*';
        const ix4check::Report report = ix4check::check_index(options);
        ASSERT_TRUE(report.ok()) << report.text();
        ASSERT_EQ(report.keys, keys_.size());
        ASSERT_EQ(report.records, rows_.size());
    }

    kvl_test::TempDir dir_;
    std::unique_ptr<kvl_test::NamesIndex> names_;
    std::mt19937 random_{(duplicates() ? 11u : 12u) + (GetParam().rebuilt ? 2u : 0u)};
    std::map<uint32_t, Record> rows_;
    std::set<std::pair<std::string, uint32_t>> keys_;
    uint32_t refused_ = 0;  // inserts and updates refused for a taken key
};

TEST_P(RecordModel, InsertsUpdatesAndDeletesKeepIndexAndRecordsInStep) {
    if (GetParam().rebuilt) fill_and_rebuild(2500);
    if (HasFatalFailure()) return;
    for (int op = 1; op <= 9000; ++op) {
        const uint32_t pick = random_() % 100;
        if (pick < 40)
            insert();
        else if (pick < 85)
            update();
        else
            remove();
        if (HasFatalFailure()) return;
        if (op % 1500 == 0) {
            check();
            if (HasFatalFailure()) return;
        }
    }
    EXPECT_GT(index()->stat_splits, 0u);
    EXPECT_GT(index()->stat_nodes_freed, 0u);
    if (!duplicates()) {
        EXPECT_GT(refused_, 20u);
    }
}

INSTANTIATE_TEST_SUITE_P(Indexes, RecordModel,
                         testing::Values(Shape{false, false}, Shape{true, false},
                                         Shape{false, true}, Shape{true, true}),
                         [](const testing::TestParamInfo<Shape> &info) {
                             return std::string(info.param.duplicates ? "Duplicates" : "Unique") +
                                    (info.param.rebuilt ? "Rebuilt" : "");
                         });

}  // namespace
