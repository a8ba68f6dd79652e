// Index files: the B-tree at its edges (splits, merges at exactly half
// full, freed nodes, positions off either end), the key compare of every
// sort function, the record calls, inserts and updates over several
// indexes with their roll-back, and rebuilds by external sort.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "engine/engine_support.h"
#include "support/memory_layer.h"

namespace {

namespace fs = std::filesystem;
using kvl_test::Bytes;
using kvl_test::IndexFile;
using kvl_test::Result;

constexpr uint32_t kLen = 14;  // 23 keys in a 512-byte node

class Btree : public testing::Test {
protected:
    void make(uint32_t node_size, uint32_t key_length, uint32_t flags) {
        ix_.reset();
        fs::remove(path_);
        node_size_ = node_size;
        key_length_ = key_length;
        ASSERT_EQ(kvl_test::create_keys_index(path_, node_size, key_length, flags), 0u);
        ix_ = std::make_unique<IndexFile>(path_, node_size);
        ASSERT_EQ(ix_->open(), 0u);
    }
    IndexControlRecord *ix() { return ix_->get(); }
    std::string key(uint32_t n) const { return kvl_test::numbered_key(n, key_length_); }
    void store(uint32_t first, uint32_t last) {
        for (uint32_t n = first; n <= last; ++n) ASSERT_EQ(KvlIx4StoreKey(ix(), key(n).data(), n), 0u) << n;
    }
    void remove(uint32_t n) { ASSERT_EQ(KvlIx4DeleteKey(ix(), key(n).data(), n), 0u) << n; }
    Bytes node(uint32_t number) {  // as on disk after a flush
        EXPECT_EQ(KvlIx4FlushHeader(ix()), 0u);
        const Bytes file = kvl_test::read_bytes(path_);
        const size_t at = 1024 + size_t(number - 1) * node_size_;
        return Bytes(file.begin() + at, file.begin() + at + node_size_);
    }
    uint32_t child(const Bytes &n, uint32_t slot) const { return kvl_test::u32_at(n, 1 + slot * (key_length_ + 8)); }
    std::string node_key(const Bytes &n, uint32_t slot) const {
        return std::string(n.begin() + 5 + slot * (key_length_ + 8), n.begin() + 5 + slot * (key_length_ + 8) + key_length_);
    }
    void expect_sound(uint32_t keys) {
        ASSERT_EQ(KvlIx4FlushHeader(ix()), 0u);
        const ix4check::Report report = kvl_test::check_index(path_);
        EXPECT_TRUE(report.ok()) << report.text();
        EXPECT_EQ(report.keys, keys);
    }
    uint32_t step(uint32_t (*call)(IndexHandle, void *, uint32_t *), uint32_t *record) {
        std::string k(key_length_, '\0');
        return call(ix(), k.data(), record);
    }

    kvl_test::TempDir dir_;
    std::string path_ = dir_.path("t.ix4");
    uint32_t node_size_ = 0, key_length_ = 0;
    std::unique_ptr<IndexFile> ix_;
};

TEST_F(Btree, SplitsFullNodesAndReusesFreedOnes) {
    make(512, kLen, KVL_SORT_BYTES);
    EXPECT_EQ(ix()->header.keys_per_node, 23u);
    store(1, 23);
    EXPECT_EQ(ix()->header.root, 1u);
    store(24, 24);  // the 24th key splits the root 12 | 1 | 11
    EXPECT_EQ(ix()->header.root, 3u);
    const Bytes top = node(3);
    ASSERT_EQ(top[0], 1);
    EXPECT_EQ(node_key(top, 0), key(13));
    EXPECT_EQ(node(child(top, 0))[0], 12);
    EXPECT_EQ(node_key(node(child(top, 0)), 11), key(12));
    EXPECT_EQ(node(child(top, 1))[0], 11);
    EXPECT_EQ(ix()->current_record, 24u);  // the position is on the new key
    expect_sound(24);
    // Ascending keys leave the left nodes half full.
    store(25, 200);
    const Bytes root = node(ix()->header.root);
    for (uint32_t slot = 0; slot < root[0]; ++slot) EXPECT_EQ(node(child(root, slot))[0], 12) << slot;
    expect_sound(200);
    // A node freed is on the free list with its marker, and taken first.
    make(512, kLen, KVL_SORT_BYTES);
    store(5, 5);
    remove(5);
    EXPECT_EQ(ix()->header.root, 0u);
    EXPECT_EQ(ix()->header.free_head, 1u);
    EXPECT_EQ(std::memcmp(&node(1)[5], "AVL", 3), 0);
    store(6, 6);
    EXPECT_EQ(ix()->header.root, 1u);
    EXPECT_EQ(ix()->header.free_head, 0u);
    EXPECT_EQ(ix()->header.next_node, 2u);
    // 255 keys a node at most, whatever the node size.
    make(2560, 1, KVL_SORT_BYTES | KVL_IX_DUPLICATES);
    EXPECT_EQ(ix()->header.keys_per_node, 255u);
    for (uint32_t n = 1; n <= 256; ++n) ASSERT_EQ(KvlIx4StoreKey(ix(), "k", n), 0u);
    EXPECT_EQ(node(child(node(ix()->header.root), 0))[0], 128);
}

// After a split, left 12 | 13 | right 11 (keys per node / 2 = 11).  A node
// left with half the keys or fewer merges with its neighbour when they fit
// one node; with state bit 15 nodes never merge.
TEST_F(Btree, NodesAtHalfFullOrLessMergeUnlessBit15) {
    const struct {
        const char *what;
        uint32_t deleted;  // from the tree of keys 1..24
        bool no_merge;
        uint32_t root, root_keys, free_head;
    } cases[] = {
        {"right node down to 10", 24, false, 1, 23, 3},
        {"left node down to exactly 11", 1, false, 1, 23, 3},
        {"no merge with bit 15", 24, true, 3, 1, 0},
        {"no merge at 11 with bit 15", 1, true, 3, 1, 0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        make(512, kLen, KVL_SORT_BYTES);
        if (c.no_merge) ix()->state |= KVL_STATE_NO_MERGE;
        store(1, 24);
        remove(c.deleted);
        EXPECT_EQ(ix()->header.root, c.root);
        EXPECT_EQ(node(ix()->header.root)[0], c.root_keys);
        EXPECT_EQ(ix()->header.free_head, c.free_head);
        expect_sound(23);
    }
    // Deleting a branch key moves its successor up.
    make(512, kLen, KVL_SORT_BYTES);
    store(1, 60);
    const uint32_t root = ix()->header.root;
    const std::string branch = node_key(node(root), 0);
    const uint32_t deleted = uint32_t(std::stoul(branch.substr(0, 10)));
    remove(deleted);
    EXPECT_EQ(node_key(node(root), 0), key(deleted + 1));
    for (uint32_t n = 1; n <= 60; ++n) {
        std::string k = key(n);
        uint32_t record = 0;
        EXPECT_EQ(Result(KvlIx4EqualKey(ix(), k.data(), &record)), n == deleted ? ERR_KEY_NOT_FOUND : ERR_NONE) << n;
    }
    expect_sound(59);
}

TEST_F(Btree, PositionsDuplicatesAndTheEnds) {
    make(512, kLen, KVL_SORT_BYTES);
    uint32_t record = 0;
    EXPECT_EQ(Result(step(KvlIx4FirstKey, &record)), ERR_EMPTY_INDEX);
    EXPECT_EQ(Result(step(KvlIx4LastKey, &record)), ERR_NO_NODE);
    store(1, 100);
    ASSERT_EQ(step(KvlIx4LastKey, &record), 0u);
    EXPECT_EQ(record, 100u);
    EXPECT_EQ(Result(step(KvlIx4NextKey, &record)), ERR_END_OF_INDEX);
    EXPECT_EQ(Result(step(KvlIx4NextKey, &record)), ERR_END_OF_INDEX);
    ASSERT_EQ(step(KvlIx4PrevKey, &record), 0u);  // off the end it rests on the last key
    EXPECT_EQ(record, 99u);
    ASSERT_EQ(step(KvlIx4FirstKey, &record), 0u);
    EXPECT_EQ(Result(step(KvlIx4PrevKey, &record)), ERR_TOP_OF_INDEX);
    ASSERT_EQ(step(KvlIx4NextKey, &record), 0u);
    EXPECT_EQ(record, 2u);
    std::string k = key(50).substr(0, 9) + std::string(kLen - 9, '\0');  // a prefix of keys 50..59
    ASSERT_EQ(KvlIx4EqualOrGreaterKey(ix(), k.data(), &record), 0u);
    EXPECT_EQ(record, 50u);
    k = key(50).substr(0, 9) + std::string(kLen - 9, '\0');
    ASSERT_EQ(KvlIx4EqualOrLesserKey(ix(), k.data(), &record), 0u);
    EXPECT_EQ(record, 49u);
    // A unique index refuses an equal key whatever the record; duplicates
    // are tied by record number.
    EXPECT_EQ(Result(KvlIx4StoreKey(ix(), key(7).data(), 70)), ERR_KEY_FOUND);
    make(512, 6, KVL_SORT_BYTES | KVL_IX_DUPLICATES);
    for (uint32_t r : {9u, 5u, 7u}) ASSERT_EQ(KvlIx4StoreKey(ix(), "SAMEKY", r), 0u);
    EXPECT_EQ(Result(KvlIx4StoreKey(ix(), "SAMEKY", 5)), ERR_KEY_FOUND);
    std::vector<uint32_t> order;
    for (uint32_t rc = step(KvlIx4FirstKey, &record); rc == 0; rc = step(KvlIx4NextKey, &record)) order.push_back(record);
    EXPECT_EQ(order, (std::vector<uint32_t>{5, 7, 9}));
    EXPECT_EQ(Result(KvlIx4DeleteKey(ix(), "SAMEKY", 6)), ERR_KEY_NOT_FOUND);
}

template <class T>
std::string bytes_of(T value) {
    std::string out(sizeof value, '\0');
    std::memcpy(out.data(), &value, sizeof value);
    return out;
}

TEST(KeyCompare, EachSortFunctionOrdersItsValues) {
    struct Seg {
        char type;
        uint8_t length;
        bool descending;
    };
    const struct {
        const char *what;
        uint32_t sort;
        std::vector<Seg> segments;
        std::vector<std::string> ascending;
    } cases[] = {
        {"bytes, unsigned", 1, {}, {"A\x7F", "A\x80", "B\x00"}},
        {"signed 16", 3, {}, {bytes_of<int16_t>(-2), bytes_of<int16_t>(1), bytes_of<int16_t>(300)}},
        {"unsigned 16", 4, {}, {bytes_of<uint16_t>(1), bytes_of<uint16_t>(0xFFFE)}},
        {"signed 32", 5, {}, {bytes_of<int32_t>(-70000), bytes_of<int32_t>(-69999), bytes_of<int32_t>(5)}},
        {"unsigned 32", 6, {}, {bytes_of<uint32_t>(0x7FFFFFFF), bytes_of<uint32_t>(0x80000000)}},
        {"signed 64", 7, {}, {bytes_of<int64_t>(-1), bytes_of<int64_t>(0), bytes_of<int64_t>(0xFFFFFFFFll), bytes_of<int64_t>(0x100000000ll)}},
        {"unsigned 64", 8, {}, {bytes_of<uint64_t>(1), bytes_of<uint64_t>(~0ull)}},
        {"doubles by their bits", 9, {{'N', 8, false}},
         {bytes_of(-1e300), bytes_of(-2.5), bytes_of(-1.0), bytes_of(-1e-300), bytes_of(0.0), bytes_of(1e-300), bytes_of(2.5), bytes_of(1e300)}},
        {"descending double", 9, {{'F', 8, true}}, {bytes_of(2.0), bytes_of(-1.0)}},
        {"descending segment negates only itself", 1, {{'C', 2, true}, {'C', 2, false}}, {"BAaa", "AAaa", "AAab"}},
    };
    for (const auto &c : cases) {
        korval32::IndexControl ix(512);
        ix->header.key_length = uint32_t(c.ascending[0].size());
        ix->header.flags = c.sort;
        ix->header.segment_count = uint32_t(c.segments.size());
        for (size_t i = 0; i < c.segments.size(); ++i)
            ix->header.segments[i] = KeySegment{uint8_t(c.segments[i].type), c.segments[i].length, 0,
                                                uint16_t(c.segments[i].descending ? KVL_SEGMENT_DESCEND : 0)};
        for (size_t i = 0; i + 1 < c.ascending.size(); ++i) {
            EXPECT_LT(KvlFuncIx4SortCmp(ix.get(), c.ascending[i].data(), c.ascending[i + 1].data(), nullptr, 0), 0) << c.what << " " << i;
            EXPECT_GT(KvlFuncIx4SortCmp(ix.get(), c.ascending[i + 1].data(), c.ascending[i].data(), nullptr, 0), 0) << c.what << " " << i;
            EXPECT_EQ(KvlFuncIx4SortCmp(ix.get(), c.ascending[i].data(), c.ascending[i].data(), nullptr, 0), 0) << c.what;
        }
    }
    korval32::IndexControl ix(512);  // collation: the weights decide, not the bytes
    ix->header.key_length = 3;
    ix->header.flags = KVL_SORT_COLLATED;
    for (int i = 0; i < 256; ++i) ix->header.collation[i] = uint8_t(i >= 'a' && i <= 'z' ? i - 32 : i);
    ix->header.collation[0x82] = 'E';
    ix->header.collation_size = 256;
    EXPECT_EQ(KvlFuncIx4SortCmp(ix.get(), "abc", "ABC", nullptr, 0), 0);
    EXPECT_GT(KvlFuncIx4SortCmp(ix.get(), "\x82ZZ", "eAA", nullptr, 0), 0);
    EXPECT_GT(KvlFuncIx4SortCmp(ix.get(), "Z\x01\x01", "a\x01\x01", nullptr, 0), 0);
}

// ---- the record calls ------------------------------------------------------------

TEST(RecordCalls, EachCallReadsTheRecordOfItsKeyAndSkipsDeletedOnes) {
    kvl_test::TempDir dir;
    kvl_test::NamesIndex names(dir.root(), 512, KVL_SORT_BYTES, KVL_STATE_SKIP_DELETED);
    ASSERT_EQ(names.rc, 0u);
    for (const char *name : {"DELTA", "ALPHA", "CHARLIE", "BRAVO", "ECHO"}) ASSERT_EQ(names.insert(name, 1), 0u);
    ASSERT_EQ(KvlDataMarkRecord(names.data(), 4, '*'), 0u);  // BRAVO, its key kept
    IndexControlRecord *ix = names.index();
    std::string key(kvl_test::kNameLength, '\0');
    Bytes record(kvl_test::kNamesRecordLength);
    uint32_t number = 0;
    auto got = [&] { return std::string(record.begin() + 1, record.begin() + 1 + kvl_test::kNameLength); };
    std::vector<std::string> forward, backward;
    for (uint32_t rc = KvlIx4GetFirst(ix, key.data(), &number, record.data()); rc == 0;
         rc = KvlIx4GetNext(ix, key.data(), &number, record.data()))
        forward.push_back(got());
    for (uint32_t rc = KvlIx4GetLast(ix, key.data(), &number, record.data()); rc == 0;
         rc = KvlIx4GetPrev(ix, key.data(), &number, record.data()))
        backward.push_back(got());
    using kvl_test::name_key;
    EXPECT_EQ(forward, (std::vector<std::string>{name_key("ALPHA"), name_key("CHARLIE"), name_key("DELTA"), name_key("ECHO")}));
    EXPECT_EQ(backward, (std::vector<std::string>{name_key("ECHO"), name_key("DELTA"), name_key("CHARLIE"), name_key("ALPHA")}));
    key = name_key("BRAVO");  // the deleted record's key: passed over in the call's direction
    ASSERT_EQ(KvlIx4GetEqualOrGreater(ix, key.data(), &number, record.data()), 0u);
    EXPECT_EQ(number, 3u);
    key = name_key("BRAVO");
    ASSERT_EQ(KvlIx4GetEqualOrLesser(ix, key.data(), &number, record.data()), 0u);
    EXPECT_EQ(number, 2u);
    key = name_key("DELTA");
    ASSERT_EQ(KvlIx4GetEqual(ix, key.data(), &number, record.data()), 0u);
    EXPECT_EQ(number, 1u);
    EXPECT_EQ(record, kvl_test::name_record("DELTA", 1));
    // A unique index refuses the record with its key: neither is added.
    EXPECT_EQ(Result(names.insert("ALPHA", 2)), ERR_KEY_FOUND);
    EXPECT_EQ(names.data()->header.record_count, 5u);
    // An update moves the key and rewrites the record.
    Bytes changed = kvl_test::name_record("ZULU", 9);
    uint32_t state = 0;
    ASSERT_EQ(KvlIx4Update(ix, key.data(), 1, changed.data(), &state), 0u);
    EXPECT_EQ(state, 3u);
    ASSERT_EQ(KvlIx4GetLast(ix, key.data(), &number, record.data()), 0u);
    EXPECT_EQ(record, changed);
    EXPECT_EQ(number, 1u);
}

// ---- several indexes over one data file -------------------------------------------

std::vector<kvl_test::IndexSpec> five_indexes() {
    return {{"A.IX4", "ID"}, {"B.IX4", "NAME"}, {"C.IX4", "CITY"}, {"D.IX4", "CODE"}, {"E.IX4", "AMOUNT"}};
}

TEST(MultiRecord, AFailureAnywhereUndoesTheWholeInsertOrUpdate) {
    kvl_test::TempDir dir;
    kvl_test::MultiFiles files(dir.root() + "/", {{"A.IX4", "ID"}, {"B.IX4", "NAME"}, {"C.IX4", "CODE"}});
    ASSERT_EQ(files.rc, 0u);
    for (uint32_t n = 1; n <= 3; ++n) ASSERT_EQ(files.insert(n), 0u);
    EXPECT_EQ(files.data()->header.record_count, 3u);
    for (size_t i = 0; i < 3; ++i) EXPECT_EQ(files.keys(i).size(), 3u);
    // A key taken in the third index: nothing of the new record remains.
    kvl_test::Person p = kvl_test::numbered_person(4);
    p.code = kvl_test::numbered_person(2).code;
    Bytes record = kvl_test::person_record(p);
    auto r = files.requests(record);
    uint32_t failed = 0;
    EXPECT_EQ(Result(KvlIx4InsertEx(r.first(), &failed)), ERR_KEY_FOUND);
    EXPECT_EQ(failed, 3u);
    EXPECT_EQ(files.data()->header.record_count, 3u);
    for (size_t i = 0; i < 3; ++i) EXPECT_EQ(files.keys(i).size(), 3u) << i;
    // An update that fails in the last index puts every key back.
    const auto before = files.keys(1);
    p = kvl_test::numbered_person(1);
    p.name = "renamed";
    p.code = kvl_test::numbered_person(3).code;
    record = kvl_test::person_record(p);
    auto u = files.requests(record, {}, 1);
    EXPECT_EQ(Result(KvlIx4UpdateEx(u.first(), &failed, 0)), ERR_KEY_FOUND);
    EXPECT_EQ(files.keys(1), before);
    Bytes stored(kvl_test::kPersonLength);
    ASSERT_EQ(KvlDataGetRecord(files.data(), 1, stored.data()), 0u);
    EXPECT_EQ(stored, kvl_test::person_record(kvl_test::numbered_person(1)));
    // And one that succeeds moves only the keys that changed.
    p.code = "c999";
    record = kvl_test::person_record(p);
    auto ok = files.requests(record, {}, 1);
    ASSERT_EQ(KvlIx4UpdateEx(ok.first(), &failed, 0), 0u);
    EXPECT_EQ(files.keys(1).back(), std::make_pair(std::string("renamed   "), 1u));
    EXPECT_EQ(files.keys(2).back(), std::make_pair(std::string("c999"), 1u));
    EXPECT_EQ(files.keys(1).size(), 3u);
}

// Every write of the third of five indexes failing in turn: the data file
// and every index end as they were, and sound on disk.
TEST(MultiRecord, EveryFailingWriteOfTheThirdIndexRollsBackAllFiles) {
    for (bool update : {false, true}) {
        uint32_t n = 1;
        for (;; ++n) {
            SCOPED_TRACE(testing::Message() << (update ? "update" : "insert") << ", write " << n);
            kvl_test::MemoryLayer memory;
            kvl_test::MultiFiles files("", five_indexes(), memory.table());
            ASSERT_EQ(files.rc, 0u);
            for (uint32_t k = 1; k <= 6; ++k) ASSERT_EQ(files.insert(k), 0u);
            ASSERT_EQ(KvlDataFlushHeader(files.data()), 0u);
            for (size_t i = 0; i < files.index_count(); ++i) ASSERT_EQ(KvlIx4FlushHeader(files.index(i)), 0u);
            // The files without what every flush restamps: the data file's
            // date, an index header's flush count.
            auto state = [&] {
                std::vector<Bytes> out;
                for (const std::string &name : memory.paths()) {
                    Bytes b = memory.file(name);
                    if (name.ends_with(".DBF")) std::fill(b.begin() + 1, b.begin() + 4, 0);
                    else std::fill(b.begin() + 24, b.begin() + 1024, 0);  // past root, count, free list, next node
                    out.push_back(b);
                }
                return out;
            };
            const std::vector<Bytes> before = state();
            Bytes record = kvl_test::person_record(update ? kvl_test::Person{"000444", "changed", "moved", "c999", "1"}
                                                          : kvl_test::numbered_person(7));
            auto r = files.requests(record, {}, update ? 4 : 0);
            memory.fail_call(n, KVL_WIN_DISK_FULL, false, kvl_test::MemoryLayer::kWrite, "C.IX4");
            uint32_t failed = 0;
            const uint32_t rc = update ? KvlIx4UpdateEx(r.first(), &failed, 0) : KvlIx4InsertEx(r.first(), &failed);
            if (!memory.fired()) {
                EXPECT_EQ(rc, 0u);
                break;
            }
            EXPECT_EQ(Result(rc), KVL_WIN_DISK_FULL);
            EXPECT_EQ(failed, 3u);
            ASSERT_EQ(KvlDataFlushHeader(files.data()), 0u);
            for (size_t i = 0; i < files.index_count(); ++i) ASSERT_EQ(KvlIx4FlushHeader(files.index(i)), 0u);
            EXPECT_TRUE(state() == before);
            if (HasFailure()) return;
        }
        EXPECT_GT(n, 1u);
    }
}

// ---- rebuilds ------------------------------------------------------------------------

// A data file NAME C20 + ID C6 + FILL C40 of the given names; ids are the
// record numbers.
void write_names(const std::string &path, const std::vector<std::string> &names, const std::vector<bool> &deleted = {}) {
    auto fields = kvl_test::descriptors({{"NAME", 'C', 20}, {"ID", 'C', 6}, {"FILL", 'C', 40}});
    ASSERT_EQ(KvlDataCreateFile(3, 3, fields.data(), path.c_str(), 0, nullptr), 0u);
    kvl_test::DataFile data(path, 3);
    ASSERT_EQ(data.open(), 0u);
    for (size_t i = 0; i < names.size(); ++i) {
        std::string name = names[i], id = std::to_string(i + 1);
        name.resize(20, ' ');
        Bytes record = kvl_test::record_image(67, name + std::string(6 - id.size(), ' ') + id,
                                              i < deleted.size() && deleted[i] ? '*' : ' ');
        uint32_t number = 0;
        ASSERT_EQ(KvlDataAddRecord(data.rec(), record.data(), &number), 0u);
    }
}

std::vector<std::string> random_names(size_t count, uint32_t seed, int alphabet = 26) {
    std::mt19937 rng(seed);
    std::vector<std::string> names;
    for (size_t i = 0; i < count; ++i) {
        std::string name(1 + rng() % 12, ' ');
        for (char &c : name) c = char('A' + rng() % alphabet);
        names.push_back(name);
    }
    return names;
}

std::vector<std::pair<std::string, uint32_t>> walk(IndexControlRecord *ix) {
    std::vector<std::pair<std::string, uint32_t>> keys;
    char key[KVL_MAX_KEY_LENGTH + 1] = {};
    uint32_t record = 0;
    for (uint32_t rc = KvlIx4FirstKey(ix, key, &record); rc == 0; rc = KvlIx4NextKey(ix, key, &record))
        keys.emplace_back(std::string(key, ix->header.key_length), record);
    return keys;
}

TEST(Reindex, AgreesWithKeyByKeyInsertionWhateverTheMemoryBounds) {
    kvl_test::TempDir dir;
    const auto names = random_names(12000, 7, 6);  // few letters: many equal names
    std::vector<bool> deleted(names.size());
    for (size_t i = 0; i < deleted.size(); i += 5) deleted[i] = true;
    write_names(dir.path("d.dbf"), names, deleted);
    kvl_test::DataFile data(dir.path("d.dbf"), 3);
    ASSERT_EQ(data.open(), 0u);
    auto make = [&](const std::string &name) {
        char expression[] = "NAME+ID";
        EXPECT_EQ(KvlIx4CreateFile(512, KVL_SORT_BYTES, 0, 0, nullptr, expression, data.rec(),
                                   dir.path(name).c_str(), nullptr, 0, nullptr), 0u);
        auto ix = std::make_unique<IndexFile>(dir.path(name), 512, data.rec());
        (*ix)->tag_filter = '*';
        EXPECT_EQ(ix->open(), 0u);
        return ix;
    };
    auto inserted = make("b.ix4");
    Bytes record(67);
    char key[KVL_MAX_KEY_LENGTH + 1];
    for (uint32_t r = 1; r <= names.size(); ++r) {
        ASSERT_EQ(KvlDataGetRecord(data.rec(), r, record.data()), 0u);
        const uint32_t rc = KvlIx4KeyForRecord(inserted->get(), key, 0, record.data());
        if (rc == ERR_RECORD_FILTERED) continue;
        ASSERT_EQ(rc, 0u);
        ASSERT_EQ(KvlIx4StoreKey(inserted->get(), key, r), 0u);
    }
    const auto expected = walk(inserted->get());
    ASSERT_EQ(expected.size(), names.size() - (names.size() + 4) / 5);
    const struct {
        uint32_t ceiling, allocation, state, fill;
    } bounds[] = {{0, 0, 0, 100}, {24000, 8192, 0, 75}, {60000, 0, KVL_STATE_NO_RUN_CHECK, 100}, {131072, 131072, 0, 50}};
    for (const auto &b : bounds) {
        SCOPED_TRACE(testing::Message() << b.ceiling << " fill " << b.fill);
        fs::remove(dir.path("a.ix4"));
        auto rebuilt = make("a.ix4");
        (*rebuilt)->memory_ceiling = b.ceiling;
        (*rebuilt)->allocation_ceiling = b.allocation;
        (*rebuilt)->state |= b.state;
        uint32_t duplicate = 0;
        ASSERT_EQ(KvlFuncIx4Reindex(rebuilt->get(), dir.path("w.tmp").c_str(), b.fill, key, &duplicate), 0u);
        EXPECT_EQ(walk(rebuilt->get()), expected);
        EXPECT_FALSE(fs::exists(dir.path("w.tmp")) && fs::file_size(dir.path("w.tmp")) > 0) << "work file left";
        ASSERT_EQ(KvlIx4FlushHeader(rebuilt->get()), 0u);
        const ix4check::Report report = kvl_test::check_index(dir.path("a.ix4"), dir.path("d.dbf"), '*');
        EXPECT_TRUE(report.ok()) << report.text();
    }
}

TEST(Reindex, EmptyFilesAndEqualKeys) {
    kvl_test::TempDir dir;
    const struct {
        std::vector<std::string> names;
        uint32_t flags, rc;
        std::vector<uint32_t> order;
    } cases[] = {{{}, KVL_SORT_BYTES, 0, {}},
                 {{"SMITH", "JONES", "SMITH", "BROWN"}, KVL_SORT_BYTES, ERR_KEY_FOUND, {}},
                 {{"SMITH", "JONES", "SMITH", "BROWN"}, KVL_SORT_BYTES | KVL_IX_DUPLICATES, 0, {4, 2, 1, 3}},
                 {{"X"}, KVL_SORT_BYTES, 0, {1}}};
    int serial = 0;
    for (const auto &c : cases) {
        const std::string name = std::to_string(++serial);
        write_names(dir.path(name + ".dbf"), c.names);
        kvl_test::DataFile data(dir.path(name + ".dbf"), 3);
        ASSERT_EQ(data.open(), 0u);
        char expression[] = "NAME";
        ASSERT_EQ(KvlIx4CreateFile(512, c.flags, 0, 0, nullptr, expression, data.rec(), dir.path(name + ".ix4").c_str(),
                                   nullptr, 0, nullptr), 0u);
        IndexFile ix(dir.path(name + ".ix4"), 512, data.rec());
        ASSERT_EQ(ix.open(), 0u);
        char key[KVL_MAX_KEY_LENGTH + 1] = {};
        uint32_t record = 0;
        ASSERT_EQ(Result(KvlFuncIx4Reindex(ix.get(), dir.path("w.tmp").c_str(), 100, key, &record)), Result(c.rc)) << serial;
        if (c.rc == ERR_KEY_FOUND) {
            EXPECT_EQ(std::string(key), "SMITH" + std::string(15, ' '));  // the key and one of its records
            EXPECT_TRUE(record == 1 || record == 3) << record;
            continue;
        }
        std::vector<uint32_t> order;
        for (const auto &k : walk(ix.get())) order.push_back(k.second);
        EXPECT_EQ(order, c.order) << serial;
        if (c.names.empty()) {
            EXPECT_EQ(ix->header.root, 0u);
        }
    }
}

// Every record count up to a few nodes' worth, at full and half fill: the
// last node of a level may hold a single key, which must pass its child up.
TEST(Reindex, EveryShapeOfTheLastNodes) {
    kvl_test::TempDir dir;
    const auto names = random_names(140, 3);
    for (uint32_t fill : {100u, 50u}) {
        for (size_t count = 1; count <= names.size(); ++count) {
            SCOPED_TRACE(testing::Message() << count << " records, fill " << fill);
            fs::remove(dir.path("d.dbf"));
            fs::remove(dir.path("d.ix4"));
            write_names(dir.path("d.dbf"), std::vector<std::string>(names.begin(), names.begin() + count));
            kvl_test::DataFile data(dir.path("d.dbf"), 3);
            ASSERT_EQ(data.open(), 0u);
            char expression[] = "NAME+ID+FILL";  // 66-byte keys: 6 a node
            ASSERT_EQ(KvlIx4CreateFile(512, KVL_SORT_BYTES, 0, 0, nullptr, expression, data.rec(),
                                       dir.path("d.ix4").c_str(), nullptr, 0, nullptr), 0u);
            IndexFile ix(dir.path("d.ix4"), 512, data.rec());
            ASSERT_EQ(ix.open(), 0u);
            char key[KVL_MAX_KEY_LENGTH + 1];
            uint32_t record = 0;
            ASSERT_EQ(KvlFuncIx4Reindex(ix.get(), dir.path("w.tmp").c_str(), fill, key, &record), 0u);
            std::vector<std::string> expected, got;
            for (size_t i = 0; i < count; ++i) {
                std::string name = names[i], id = std::to_string(i + 1);
                name.resize(20, ' ');
                expected.push_back(name + std::string(6 - id.size(), ' ') + id + std::string(40, ' '));
            }
            std::sort(expected.begin(), expected.end());
            for (const auto &k : walk(ix.get())) got.push_back(k.first);
            ASSERT_EQ(got, expected);
            ASSERT_EQ(KvlIx4FlushHeader(ix.get()), 0u);
            const ix4check::Report report = kvl_test::check_index(dir.path("d.ix4"), dir.path("d.dbf"));
            ASSERT_TRUE(report.ok()) << report.text();
        }
    }
}

}  // namespace
