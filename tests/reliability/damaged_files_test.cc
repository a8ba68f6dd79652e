// Hand-damaged files under the calls that the damage tests beside the
// engine's own code do not reach: appends, pack, sort, rebuild and the
// multi-file insert over a data file cut short of its records or an index
// whose tree is broken.  Every call must come back with a result code,
// leave the sound files as they were, and, where it wrote, leave a mark
// that the next open reports.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "engine/index/multi_support.h"
#include "reliability/fault_support.h"
#include "support/memory_layer.h"

namespace {

using kvl_rel::Bytes;
using kvl_test::MemoryLayer;
using kvl_test::MultiFiles;
using kvl_test::numbered_person;
using kvl_test::person_record;

constexpr uint32_t kPeople = 60;
constexpr uint32_t kHeaderLength = 32 * 5 + 33;
constexpr uint32_t kIndexHeaderSize = 1024;

void put32(Bytes &b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

// PEOPLE.DBF with kPeople records and two indexes (A: ID, B: NAME), deep
// enough for branch nodes.
void build(MemoryLayer &memory) {
    MultiFiles files("", {{"A.IX4", "ID"}, {"B.IX4", "NAME"}}, memory.table());
    ASSERT_EQ(files.rc, 0u);
    for (uint32_t k = 1; k <= kPeople; ++k) {
        auto record = person_record(numbered_person(k));
        auto r = files.requests(record);
        uint32_t failed = 0;
        ASSERT_EQ(KvlIx4InsertEx(r.first(), &failed), 0u);
    }
}

// ---- a data file cut short of the records it counts -------------------------

TEST(DamagedFiles, DataFileShorterThanItsCount) {
    MemoryLayer memory;
    build(memory);
    Bytes &data = memory.file("PEOPLE.DBF");
    data.resize(kHeaderLength + 40 * kvl_test::kMultiRecordLength + 5);  // 40 and a bit
    const Bytes cut = data;

    {  // An append would leave a gap of zero records: refused, nothing written.
        kvl_test::DataFile file("PEOPLE.DBF", 5, memory.table());
        ASSERT_EQ(file.open(), 0u);
        auto record = person_record(numbered_person(99));
        uint32_t number = 0;
        EXPECT_EQ(KvlDataAddRecord(file.rec(), record.data(), &number), KVL_WIN_HANDLE_EOF);
        EXPECT_EQ(number, 0u);
        EXPECT_EQ(file->header.record_count, kPeople);
        Bytes got(kvl_test::kMultiRecordLength);
        EXPECT_EQ(KvlDataGetRecord(file.rec(), 40, got.data()), 0u);
        EXPECT_EQ(KvlDataGetRecord(file.rec(), 41, got.data()), KVL_WIN_HANDLE_EOF);
    }
    EXPECT_EQ(memory.file("PEOPLE.DBF"), cut);

    {  // The multi-file insert refuses at its first step and changes no index.
        MultiFiles files("", {{"A.IX4", "ID"}, {"B.IX4", "NAME"}}, memory.table(), false);
        ASSERT_EQ(files.rc, 0u);
        const Bytes index_before = memory.file("A.IX4");
        auto record = person_record(numbered_person(100));
        auto r = files.requests(record);
        uint32_t failed = 0;
        EXPECT_EQ(KvlIx4InsertEx(r.first(), &failed), KVL_WIN_HANDLE_EOF);
        EXPECT_EQ(failed, 1u);
        EXPECT_EQ(memory.file("A.IX4"), index_before);

        // A rebuild stops at the first missing record and says so, and the
        // index it was overwriting opens with ERR_INCOMPLETE_WRITE from then
        // on.
        char key[KVL_MAX_KEY_LENGTH + 1] = {};
        uint32_t number = 0;
        EXPECT_EQ(KvlFuncIx4Reindex(files.index(1), "W.TMP", 100, key, &number),
                  KVL_WIN_HANDLE_EOF);
    }
    EXPECT_EQ(kvl_rel::index_open_result(memory.table(), "B.IX4", "PEOPLE.DBF", 5,
                                         kvl_test::kMultiNodeSize),
              ERR_INCOMPLETE_WRITE);
    EXPECT_FALSE(memory.exists("W.TMP"));

    // Pack stops with the same code and leaves the source alone.
    EXPECT_EQ(KvlDataPack("PEOPLE.DBF", "PACKED.DBF", nullptr, memory.table()),
              KVL_WIN_HANDLE_EOF);
    EXPECT_EQ(memory.file("PEOPLE.DBF"), cut);
}

// ---- an index whose tree is broken ----------------------------------------------

uint8_t *node(Bytes &file, uint32_t n) {
    return file.data() + kIndexHeaderSize + (n - 1) * kvl_test::kMultiNodeSize;
}
uint32_t get32(const Bytes &file, size_t at) {
    return file[at] | file[at + 1] << 8 | file[at + 2] << 16 | uint32_t(file[at + 3]) << 24;
}
uint32_t root_of(const Bytes &file) { return get32(file, 8); }

// Offset in the file of the root's last child: the subtree a key above
// every key in the index goes down.
size_t root_last_child(const Bytes &file) {
    const uint32_t key_length = get32(file, 24);
    const size_t root = kIndexHeaderSize + (root_of(file) - 1) * kvl_test::kMultiNodeSize;
    return root + 1 + file[root] * (key_length + 8);
}

struct TreeDamage {
    const char *what;
    std::function<void(Bytes &)> apply;
};

// Sort through the index, and the multi-file insert through it: a code,
// never a crash or an endless walk; the data file keeps its records.
TEST(DamagedFiles, SortAndInsertThroughABrokenTree) {
    const TreeDamage damages[] = {
        {"root's last child is the root",
         [](Bytes &f) { put32(f, root_last_child(f), root_of(f)); }},
        {"root's key count 0", [](Bytes &f) { node(f, root_of(f))[0] = 0; }},
        {"root's key count 255", [](Bytes &f) { node(f, root_of(f))[0] = 255; }},
        {"root's last child far past the end",
         [](Bytes &f) { put32(f, root_last_child(f), 9999); }},
        {"root past the end", [](Bytes &f) { put32(f, 8, 777); }},
        {"file cut inside the root", [](Bytes &f) {
             f.resize(kIndexHeaderSize + (root_of(f) - 1) * kvl_test::kMultiNodeSize + 100);
         }},
    };
    for (const TreeDamage &damage : damages) {
        SCOPED_TRACE(damage.what);
        MemoryLayer memory;
        build(memory);
        const Bytes data_before = memory.file("PEOPLE.DBF");
        damage.apply(memory.file("A.IX4"));

        const uint32_t sorted = KvlDataSort("A.IX4", "PEOPLE.DBF", "SORTED.DBF", nullptr,
                                            memory.table());
        EXPECT_NE(sorted, 0u);
        EXPECT_EQ(memory.file("PEOPLE.DBF"), data_before);

        MultiFiles files("", {{"A.IX4", "ID"}, {"B.IX4", "NAME"}}, memory.table(), false);
        if (files.rc != ERR_NONE) continue;  // the open already refused it
        auto record = person_record(numbered_person(500));
        auto r = files.requests(record);
        uint32_t failed = 0;
        const uint32_t inserted = KvlIx4InsertEx(r.first(), &failed);
        EXPECT_NE(inserted, 0u);
        EXPECT_EQ(files.data()->header.record_count, kPeople) << "the record was taken back";
        EXPECT_EQ(kvl_rel::index_open_result(memory.table(), "B.IX4", "PEOPLE.DBF", 5,
                                             kvl_test::kMultiNodeSize),
                  ERR_NONE)
            << "the sound index is as it was";
    }
}

}  // namespace
