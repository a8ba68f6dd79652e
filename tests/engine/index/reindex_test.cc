// Tests of the index rebuild: the tree it writes must hold exactly the keys
// of the data file's records in compare order, whatever the memory bounds,
// and must agree with a tree built key by key.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "engine/korval32_control.h"
#include "support/temp_dir.h"
#include "tools/ix4check/ix4_checker.h"

namespace {

constexpr uint32_t kNodeSize = 512;
constexpr size_t kRecordLength = 67;

struct Field {
    const char *name;
    uint8_t length;
};

// A data file of three character fields, NAME (20), ID (6) and FILL (40),
// filled with the given names; ids are the record numbers in decimal.  The
// filler keeps records longer than index entries, as in real registers.
class DataFile {
public:
    DataFile(const std::string &path, const std::vector<std::string> &names,
             const std::vector<bool> &deleted = {}) {
        FieldDescriptor fields[3] = {};
        const Field layout[3] = {{"NAME", 20}, {"ID", 6}, {"FILL", 40}};
        for (int i = 0; i < 3; ++i) {
            std::strcpy(fields[i].name, layout[i].name);
            fields[i].type = 'C';
            fields[i].length = layout[i].length;
        }
        EXPECT_EQ(KvlDataCreateFile(3, 3, fields, path.c_str(), 0, nullptr), 0u);
        path_ = path;
        data_->file_name = path_.c_str();
        data_->open_mode = 0x200042;
        EXPECT_EQ(KvlDataOpenFile(data_, 0), 0u);
        for (size_t i = 0; i < names.size(); ++i) {
            char record[kRecordLength];
            std::memset(record, ' ', sizeof record);
            if (i < deleted.size() && deleted[i]) record[0] = '*';
            std::memcpy(record + 1, names[i].data(), std::min<size_t>(20, names[i].size()));
            std::string id = std::to_string(i + 1);
            std::memcpy(record + 21 + 6 - id.size(), id.data(), id.size());
            uint32_t number = 0;
            EXPECT_EQ(KvlDataAddRecord(data_, record, &number), 0u);
        }
        EXPECT_EQ(KvlDataFlushHeader(data_), 0u);
    }
    DataControlRecord *handle() { return data_; }

private:
    std::string path_;
    korval32::DataControl control_{3};
    DataControlRecord *data_ = control_.get();
};

// An index over the data file, created and opened.
class Index {
public:
    Index(const std::string &path, DataControlRecord *data, const char *expression,
          uint32_t flags = KVL_SORT_BYTES) {
        std::string text = expression;
        EXPECT_EQ(KvlIx4CreateFile(kNodeSize, flags, 0, 0, nullptr, text.data(), data,
                                   path.c_str(), nullptr, 0, nullptr),
                  0u);
        path_ = path;
        index_->file_name = path_.c_str();
        index_->open_mode = 0x200042;
        index_->data_link = data;
        EXPECT_EQ(KvlIx4OpenFile(index_, 0), 0u);
    }
    IndexControlRecord *handle() { return index_; }

    // Every key and record number, first to last.
    std::vector<std::pair<std::string, uint32_t>> walk() {
        std::vector<std::pair<std::string, uint32_t>> keys;
        char key[KVL_MAX_KEY_LENGTH + 1] = {};
        uint32_t record = 0;
        uint32_t rc = KvlIx4FirstKey(index_, key, &record);
        while (rc == 0) {
            keys.emplace_back(std::string(key, index_->header.key_length), record);
            rc = KvlIx4NextKey(index_, key, &record);
        }
        EXPECT_TRUE(rc == ERR_END_OF_INDEX || rc == ERR_EMPTY_INDEX) << rc;
        return keys;
    }

private:
    std::string path_;
    korval32::IndexControl control_{kNodeSize};
    IndexControlRecord *index_ = control_.get();
};

std::vector<std::string> random_names(size_t count, uint32_t seed, int alphabet = 26) {
    std::mt19937 rng(seed);
    std::vector<std::string> names;
    for (size_t i = 0; i < count; ++i) {
        std::string name(1 + rng() % 12, ' ');
        for (char &c : name) c = static_cast<char>('A' + rng() % alphabet);
        names.push_back(name);
    }
    return names;
}

// The keys a NAME+ID index must hold, in order.
std::vector<std::pair<std::string, uint32_t>> expected_keys(const std::vector<std::string> &names,
                                                            const std::vector<bool> &deleted = {}) {
    std::vector<std::pair<std::string, uint32_t>> keys;
    for (size_t i = 0; i < names.size(); ++i) {
        if (i < deleted.size() && deleted[i]) continue;
        std::string name = names[i];
        name.resize(20, ' ');
        std::string id = std::to_string(i + 1);
        keys.emplace_back(name + std::string(6 - id.size(), ' ') + id, static_cast<uint32_t>(i + 1));
    }
    std::sort(keys.begin(), keys.end());
    return keys;
}

uint32_t rebuild(IndexControlRecord *index, const std::string &work, uint32_t fill = 100) {
    char key[KVL_MAX_KEY_LENGTH + 1];
    uint32_t record = 0;
    return KvlFuncIx4Reindex(index, work.c_str(), fill, key, &record);
}

// The format checker's verdict on a rebuilt index and its data file.
void expect_valid(const std::string &index_path, const std::string &data_path,
                  uint32_t tag_filter = 0) {
    ix4check::Options options;
    options.index_path = index_path;
    options.data_path = data_path;
    options.tag_filter = tag_filter;
    ix4check::Report report = ix4check::check_index(options);
    EXPECT_TRUE(report.ok()) << report.text();
}

uint64_t file_size(const std::string &path) {
    FILE *f = std::fopen(path.c_str(), "rb");
    if (!f) return 0;
    std::fseek(f, 0, SEEK_END);
    long size = std::ftell(f);
    std::fclose(f);
    return static_cast<uint64_t>(size);
}

TEST(Reindex, HoldsEveryKeyInOrderWhateverTheMemoryBounds) {
    kvl_test::TempDir dir;
    auto names = random_names(20000, 7);
    DataFile data(dir.path("d.dbf"), names);
    auto expected = expected_keys(names);

    struct Bounds {
        uint32_t ceiling;
        uint32_t allocation;
    };
    // Default bounds, tight bounds (many runs, small merge windows), roomy ones.
    for (Bounds b : {Bounds{0, 0}, Bounds{24000, 8192}, Bounds{131072, 131072}}) {
        SCOPED_TRACE(b.ceiling);
        Index index(dir.path("n.ix4"), data.handle(), "NAME+ID");
        index.handle()->memory_ceiling = b.ceiling;
        index.handle()->allocation_ceiling = b.allocation;
        ASSERT_EQ(rebuild(index.handle(), dir.path("work.tmp")), 0u);
        EXPECT_EQ(index.handle()->header.key_count, expected.size());
        EXPECT_EQ(index.walk(), expected);
        EXPECT_EQ(file_size(dir.path("work.tmp")), 0u) << "work file left behind";
        expect_valid(dir.path("n.ix4"), dir.path("d.dbf"));
        KvlIx4CloseFile(index.handle());
        std::remove(dir.path("n.ix4").c_str());
    }
}

// The built-in sort has a faster way for keys that compare as bytes; a
// compare slot set to the built-in compare takes the classic way.  Both
// must give the same index, the same duplicate report and the same depth
// note, over names whose letters weigh alike in either case.
TEST(Reindex, BuiltInSortTheSameWhicheverWayItGoes) {
    kvl_test::TempDir dir;
    std::mt19937 rng(5);
    std::vector<std::string> names;
    const std::string letters = "aAbBcC \x82" "E";
    for (int i = 0; i < 6000; ++i) {
        std::string name(1 + rng() % 11, ' ');
        for (char &c : name) c = letters[rng() % letters.size()];
        names.push_back(name);
    }
    DataFile data(dir.path("d.dbf"), names);
    struct Case {
        const char *expression;
        uint32_t flags;
        uint32_t state;
        uint32_t ceiling;
    };
    const Case cases[] = {
        {"NAME+ID", KVL_SORT_COLLATED, 0, 0},
        {"NAME+ID", KVL_SORT_COLLATED, KVL_STATE_NO_RUN_CHECK, 60000},
        {"NAME", KVL_SORT_COLLATED | KVL_IX_DUPLICATES, 0, 0},
        {"NAME", KVL_SORT_BYTES | KVL_IX_DUPLICATES, 0, 40000},
        {"NAME", KVL_SORT_COLLATED, 0, 0},  // unique: a duplicate ends it
        {"ID+NAME", KVL_SORT_COLLATED, KVL_STATE_NO_RUN_CHECK, 0},
    };
    for (const Case &c : cases) {
        struct Outcome {
            uint32_t rc;
            std::string duplicate_key;
            uint32_t duplicate_record;
            uint8_t depth;
            std::vector<std::pair<std::string, uint32_t>> keys;
        } outcome[2];
        for (int classic = 0; classic < 2; ++classic) {
            Index index(dir.path("s.ix4"), data.handle(), c.expression, c.flags);
            index.handle()->state |= c.state;
            index.handle()->memory_ceiling = c.ceiling;
            index.handle()->search_scratch = 0;
            if (classic) index.handle()->compare = KvlFuncIx4SortCmp;
            char key[KVL_MAX_KEY_LENGTH + 1] = {};
            uint32_t record = 0;
            Outcome &o = outcome[classic];
            o.rc = KvlFuncIx4Reindex(index.handle(), dir.path("w.tmp").c_str(), 100, key, &record);
            o.duplicate_key = key;
            o.duplicate_record = record;
            o.depth = index.handle()->search_scratch;
            if (o.rc == 0) o.keys = index.walk();
            KvlIx4CloseFile(index.handle());
            std::remove(dir.path("s.ix4").c_str());
        }
        SCOPED_TRACE(std::string(c.expression) + " flags " + std::to_string(c.flags));
        EXPECT_EQ(outcome[0].rc, outcome[1].rc);
        EXPECT_EQ(outcome[0].duplicate_key, outcome[1].duplicate_key);
        EXPECT_EQ(outcome[0].duplicate_record, outcome[1].duplicate_record);
        EXPECT_EQ(outcome[0].depth, outcome[1].depth);
        EXPECT_EQ(outcome[0].keys, outcome[1].keys);
        if (c.flags & KVL_IX_DUPLICATES) {
            EXPECT_EQ(outcome[0].keys.size(), names.size());
        } else if (std::string(c.expression) == "NAME") {
            EXPECT_EQ(outcome[0].rc, ERR_KEY_FOUND);
        }
    }
}

TEST(Reindex, AgreesWithKeyByKeyInsertion) {
    kvl_test::TempDir dir;
    auto names = random_names(3000, 11, 4);  // few letters: many equal names
    DataFile data(dir.path("d.dbf"), names);
    Index rebuilt(dir.path("a.ix4"), data.handle(), "NAME+ID");
    ASSERT_EQ(rebuild(rebuilt.handle(), dir.path("w.tmp")), 0u);

    Index inserted(dir.path("b.ix4"), data.handle(), "NAME+ID");
    std::vector<char> record(kRecordLength);
    char key[KVL_MAX_KEY_LENGTH + 1];
    for (uint32_t r = 1; r <= names.size(); ++r) {
        ASSERT_EQ(KvlDataGetRecord(data.handle(), r, record.data()), 0u);
        ASSERT_EQ(KvlIx4KeyForRecord(inserted.handle(), key, 0, record.data()), 0u);
        ASSERT_EQ(KvlIx4StoreKey(inserted.handle(), key, r), 0u);
    }
    EXPECT_EQ(rebuilt.walk(), inserted.walk());
}

TEST(Reindex, EdgeCases) {
    kvl_test::TempDir dir;
    {  // No records: root 0, no keys, next node 1, a header-only file.
        DataFile data(dir.path("e.dbf"), {});
        Index index(dir.path("e.ix4"), data.handle(), "NAME");
        ASSERT_EQ(rebuild(index.handle(), dir.path("w.tmp")), 0u);
        EXPECT_EQ(index.handle()->header.root, 0u);
        EXPECT_EQ(index.handle()->header.key_count, 0u);
        EXPECT_EQ(index.handle()->header.next_node, 1u);
        KvlIx4CloseFile(index.handle());
        EXPECT_EQ(file_size(dir.path("e.ix4")), 1024u);
    }
    {  // Tag filter '*': deleted records get no key.
        auto names = random_names(500, 3);
        std::vector<bool> deleted(names.size());
        for (size_t i = 0; i < deleted.size(); i += 3) deleted[i] = true;
        DataFile data(dir.path("t.dbf"), names, deleted);
        Index index(dir.path("t.ix4"), data.handle(), "NAME+ID");
        index.handle()->tag_filter = '*';
        ASSERT_EQ(rebuild(index.handle(), dir.path("w.tmp")), 0u);
        EXPECT_EQ(index.walk(), expected_keys(names, deleted));
        expect_valid(dir.path("t.ix4"), dir.path("t.dbf"), '*');
    }
    {  // Equal keys in a unique index: ERR_KEY_FOUND with the key and one of the records.
        DataFile data(dir.path("u.dbf"), {"SMITH", "JONES", "SMITH", "BROWN"});
        Index index(dir.path("u.ix4"), data.handle(), "NAME");
        char key[KVL_MAX_KEY_LENGTH + 1];
        uint32_t record = 0;
        ASSERT_EQ(KvlFuncIx4Reindex(index.handle(), dir.path("w.tmp").c_str(), 100, key, &record),
                  ERR_KEY_FOUND);
        EXPECT_EQ(std::string(key), "SMITH" + std::string(15, ' '));
        EXPECT_TRUE(record == 1 || record == 3) << record;
    }
    {  // The same keys with duplicates allowed: record numbers break the tie.
        DataFile data(dir.path("v.dbf"), {"SMITH", "JONES", "SMITH", "BROWN"});
        Index index(dir.path("v.ix4"), data.handle(), "NAME", KVL_SORT_BYTES | KVL_IX_DUPLICATES);
        ASSERT_EQ(rebuild(index.handle(), dir.path("w.tmp")), 0u);
        auto keys = index.walk();
        ASSERT_EQ(keys.size(), 4u);
        EXPECT_EQ(keys[2].second, 1u);
        EXPECT_EQ(keys[3].second, 3u);
    }
}

TEST(Reindex, LeafFill) {
    kvl_test::TempDir dir;
    auto names = random_names(2000, 5);
    DataFile data(dir.path("d.dbf"), names);
    // Key length 26: (512 - 5) / 34 = 14 keys a node.
    struct Case {
        uint32_t fill;
        uint32_t keys_per_leaf;  // before each leaf gives its last key upward
    };
    for (Case c : {Case{100, 14}, Case{0, 14}, Case{30, 7}, Case{50, 7}, Case{75, 10}}) {
        SCOPED_TRACE(c.fill);
        Index index(dir.path("f.ix4"), data.handle(), "NAME+ID");
        ASSERT_EQ(rebuild(index.handle(), dir.path("w.tmp"), c.fill), 0u);
        EXPECT_EQ(index.walk(), expected_keys(names));
        // Leaves come first in the file; node 1 keeps F - 1 keys.
        uint8_t node[kNodeSize];
        uint32_t length = kNodeSize, position[2] = {1024, 0};
        ASSERT_EQ(KvlReadAtFile(index.handle()->os_handle, &length, node, position, nullptr), 0u);
        EXPECT_EQ(node[0], c.keys_per_leaf - 1);
        expect_valid(dir.path("f.ix4"), dir.path("d.dbf"));
        KvlIx4CloseFile(index.handle());
        std::remove(dir.path("f.ix4").c_str());
    }
}

// The progress callback: a refusal at the first call ends the rebuild
// before the work file is made, yet the clean-up still deletes a file left
// under the work name and reports progress 0 once more.
std::vector<uint32_t> g_progress;
uint32_t g_refuse_at = 0;
uint32_t record_progress(IndexHandle index, uint32_t) {
    g_progress.push_back(index->progress);
    return g_progress.size() == g_refuse_at ? 77u : 0u;
}

TEST(Reindex, ProgressCallback) {
    kvl_test::TempDir dir;
    auto names = random_names(5000, 9);
    DataFile data(dir.path("d.dbf"), names);
    std::string work = dir.path("w.tmp");
    {
        Index index(dir.path("p.ix4"), data.handle(), "NAME+ID");
        index.handle()->progress_callback = record_progress;
        g_progress.clear();
        g_refuse_at = 0;
        ASSERT_EQ(rebuild(index.handle(), work), 0u);
        ASSERT_GE(g_progress.size(), 3u);
        EXPECT_EQ(g_progress.front(), 1u);
        EXPECT_EQ(g_progress.back(), 0u);
        EXPECT_TRUE(std::is_sorted(g_progress.begin(), g_progress.end() - 1));
        EXPECT_LE(*std::max_element(g_progress.begin(), g_progress.end()), 99u);
    }
    {
        FILE *f = std::fopen(work.c_str(), "wb");
        std::fputs("left over", f);
        std::fclose(f);
        Index index(dir.path("q.ix4"), data.handle(), "NAME+ID");
        index.handle()->progress_callback = record_progress;
        g_progress.clear();
        g_refuse_at = 1;
        EXPECT_EQ(rebuild(index.handle(), work), 77u);
        EXPECT_EQ(g_progress, (std::vector<uint32_t>{1, 0}));
        EXPECT_EQ(file_size(work), 0u);
        FILE *gone = std::fopen(work.c_str(), "rb");
        EXPECT_EQ(gone, nullptr);
        if (gone) std::fclose(gone);
    }
}

TEST(Reindex, SortedRunsAreNotResorted) {
    kvl_test::TempDir dir;
    std::vector<std::string> names;
    for (int i = 0; i < 3000; ++i) names.push_back("N" + std::to_string(100000 + i));
    DataFile data(dir.path("d.dbf"), names);
    for (bool force : {false, true}) {
        Index index(dir.path("s.ix4"), data.handle(), "NAME");
        index.handle()->search_scratch = 0;
        if (force) index.handle()->state |= KVL_STATE_NO_RUN_CHECK;
        ASSERT_EQ(rebuild(index.handle(), dir.path("w.tmp")), 0u);
        // The built-in sort notes its deepest stack level only when it sorts.
        if (force)
            EXPECT_GT(index.handle()->search_scratch, 0u);
        else
            EXPECT_EQ(index.handle()->search_scratch, 0u);
        EXPECT_EQ(index.walk().size(), names.size());
        KvlIx4CloseFile(index.handle());
        std::remove(dir.path("s.ix4").c_str());
    }
}

// Records shorter than index entries (one 20-character field keyed whole:
// 21-byte records, 24-byte entries) still rebuild, in runs of fewer records.
TEST(Reindex, RecordsShorterThanEntries) {
    kvl_test::TempDir dir;
    FieldDescriptor field = {};
    std::strcpy(field.name, "WORD");
    field.type = 'C';
    field.length = 20;
    std::string path = dir.path("w.dbf");
    ASSERT_EQ(KvlDataCreateFile(3, 1, &field, path.c_str(), 0, nullptr), 0u);
    korval32::DataControl control(1);
    DataControlRecord *data = control.get();
    data->file_name = path.c_str();
    data->open_mode = 0x200042;
    ASSERT_EQ(KvlDataOpenFile(data, 0), 0u);
    auto words = random_names(10000, 21);
    std::vector<std::string> expected;
    for (size_t i = 0; i < words.size(); ++i) {
        std::string record = " " + words[i] + std::to_string(i);
        record.resize(21, ' ');
        uint32_t number;
        ASSERT_EQ(KvlDataAddRecord(data, record.data(), &number), 0u);
        expected.push_back(record.substr(1));
    }
    ASSERT_EQ(KvlDataFlushHeader(data), 0u);
    std::sort(expected.begin(), expected.end());
    {
        Index index(dir.path("w.ix4"), data, "WORD");
        ASSERT_EQ(rebuild(index.handle(), dir.path("w.tmp")), 0u);
        auto keys = index.walk();
        ASSERT_EQ(keys.size(), expected.size());
        for (size_t i = 0; i < keys.size(); ++i) EXPECT_EQ(keys[i].first, expected[i]);
        expect_valid(dir.path("w.ix4"), path);
    }
    KvlDataCloseFile(data);
}

TEST(Reindex, RefusesWhatItCannotDo) {
    kvl_test::TempDir dir;
    DataFile data(dir.path("d.dbf"), {"A", "B"});
    Index index(dir.path("r.ix4"), data.handle(), "NAME");
    char key[KVL_MAX_KEY_LENGTH + 1];
    uint32_t record;
    EXPECT_EQ(KvlFuncIx4Reindex(index.handle(), nullptr, 100, key, &record), ERR_NULL_PARAMETER);
    EXPECT_EQ(KvlFuncIx4Reindex(index.handle(), "w", 100, nullptr, &record), ERR_NULL_PARAMETER);
    EXPECT_EQ(KvlFuncIx4Reindex(index.handle(), "w", 100, key, nullptr), ERR_NULL_PARAMETER);
    DataControlRecord *link = index.handle()->data_link;
    index.handle()->data_link = nullptr;
    EXPECT_EQ(KvlFuncIx4Reindex(index.handle(), "w", 100, key, &record), ERR_NO_DATA_LINK);
    index.handle()->data_link = KVL_NO_DATA_FILE;
    EXPECT_EQ(KvlFuncIx4Reindex(index.handle(), "w", 100, key, &record), ERR_DATA_LINK_INVALID);
    index.handle()->data_link = link;
    // Reserve above what is available: not enough memory, and how much it needs.
    index.handle()->memory_reserve = 0xFFFFFFF0u;
    EXPECT_EQ(rebuild(index.handle(), dir.path("w.tmp")), KVL_WIN_NOT_ENOUGH_MEMORY);
}

}  // namespace
