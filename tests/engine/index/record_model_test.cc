// Randomized model test of the record calls: KvlIx4Insert, KvlIx4Update and
// deletes (key removed, record tagged '*') against a model of the data file,
// in a unique and a duplicates index.  After every batch the index is
// walked with the record calls, which skip the deleted records, and ix4check
// compares every key with its record.
#include <gtest/gtest.h>

#include <map>
#include <random>
#include <set>
#include <string>

#include "engine/index/record_index_support.h"
#include "support/result_name.h"
#include "support/temp_dir.h"
#include "tools/ix4check/ix4_checker.h"

namespace {

using kvl_test::kNameLength;
using kvl_test::kRecordLength;
using kvl_test::name_key;
using kvl_test::name_record;
using kvl_test::Result;

struct Row {
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
        ASSERT_EQ(names_->create_rc, 0u);
        ASSERT_EQ(names_->open_rc, 0u);
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
        Row &row = rows_[number];
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
        Row &row = rows_[number];
        ASSERT_EQ(KvlIx4DeleteKey(index(), name_key(row.name).data(), number), 0u);
        ASSERT_EQ(KvlDataMarkRecord(names_->data(), number, '*'), 0u);
        keys_.erase({name_key(row.name), number});
        row.live = false;
    }

    void check() {
        std::string key(kNameLength, '\0');
        std::vector<uint8_t> record(kRecordLength);
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
    std::map<uint32_t, Row> rows_;
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
