// Roll-back of the multi-file calls under a failing write: whichever write
// to the third of five indexes fails, the data file and all five indexes
// are as they were before the call, and every index passes the checker.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/data/data_test_util.h"
#include "engine/index/multi_support.h"
#include "engine/korval32.h"
#include "support/fault_layer.h"
#include "support/memory_layer.h"
#include "support/temp_dir.h"
#include "tools/ix4check/ix4_checker.h"

namespace {

using kvl_test::FaultLayer;
using kvl_test::MemoryLayer;
using kvl_test::MultiFiles;
using kvl_test::numbered_person;
using kvl_test::person_record;

constexpr uint32_t kIndexHeaderSize = 1024;

struct IndexState {
    std::vector<uint8_t> nodes;  // the file after its header
    uint32_t root, key_count, free_head, next_node;
    std::vector<std::pair<std::string, uint32_t>> keys;
    bool operator==(const IndexState &) const = default;
};

struct FilesState {
    std::vector<uint8_t> data;  // date bytes blanked
    std::vector<IndexState> indexes;
    bool operator==(const FilesState &) const = default;
};

FilesState state_of(MemoryLayer &memory, MultiFiles &files) {
    FilesState s;
    s.data = memory.file(files.data_path());
    for (size_t i = 1; i < 4; ++i) s.data[i] = 0;
    for (size_t i = 0; i < files.index_count(); ++i) {
        const auto &bytes = memory.file(files.index_path(i));
        const IndexHeader &h = files.index(i)->header;
        s.indexes.push_back({std::vector<uint8_t>(bytes.begin() + kIndexHeaderSize, bytes.end()),
                             h.root, h.key_count, h.free_head, h.next_node, files.keys(i)});
    }
    return s;
}

enum class Call { kInsert, kUpdate };

// Runs the call with the n-th write to C.IX4 failing; false once the call
// makes fewer writes than that.
bool run_with_failing_write(Call call, uint32_t n) {
    MemoryLayer memory;
    FaultLayer faults(memory.table());
    MultiFiles files("", {{"A.IX4", "ID"}, {"B.IX4", "NAME"}, {"C.IX4", "CITY"},
                          {"D.IX4", "CODE"}, {"E.IX4", "AMOUNT"}},
                     faults.table());
    EXPECT_EQ(files.rc, 0u);
    for (uint32_t k = 1; k <= 6; ++k) {
        auto record = person_record(numbered_person(k));
        auto r = files.requests(record);
        uint32_t failed = 0;
        EXPECT_EQ(KvlIx4InsertEx(r.first(), &failed), 0u);
    }
    EXPECT_EQ(KvlDataFlushHeader(files.data()), 0u);
    for (size_t i = 0; i < files.index_count(); ++i)
        EXPECT_EQ(KvlIx4FlushHeader(files.index(i)), 0u);
    const FilesState before = state_of(memory, files);

    auto record = person_record(call == Call::kInsert
                                    ? numbered_person(7)
                                    : kvl_test::Person{"000444", "changed", "moved", "c999", "1"});
    auto r = files.requests(record);
    if (call == Call::kUpdate)
        for (IndexRequest &q : r.list) q.record_number = 4;
    faults.fail_write("C.IX4", n);
    uint32_t failed = 0;
    const uint32_t rc = call == Call::kInsert ? KvlIx4InsertEx(r.first(), &failed)
                                              : KvlIx4UpdateEx(r.first(), &failed, 0);
    if (!faults.write_failed()) {
        EXPECT_EQ(rc, 0u);
        return false;
    }
    EXPECT_EQ(rc, KVL_WIN_DISK_FULL);
    EXPECT_EQ(failed, 3u);
    EXPECT_EQ(r.list[0].state, 0u);
    EXPECT_EQ(r.list[1].state, 0u);
    EXPECT_LT(r.list[2].state, 32u);  // its own undo went through
    EXPECT_EQ(r.list[3].state + r.list[4].state, 0u);
    EXPECT_EQ(KvlDataFlushHeader(files.data()), 0u);
    EXPECT_TRUE(state_of(memory, files) == before);

    // The caller flushes the index headers after the call; then every
    // index is sound on disk.
    for (size_t i = 0; i < files.index_count(); ++i)
        EXPECT_EQ(KvlIx4FlushHeader(files.index(i)), 0u);
    kvl_test::TempDir dir;
    kvl_test::write_bytes(dir.path("P.DBF"), memory.file(files.data_path()));
    for (size_t i = 0; i < files.index_count(); ++i) {
        const std::string path = dir.path("I" + std::to_string(i) + ".IX4");
        kvl_test::write_bytes(path, memory.file(files.index_path(i)));
        ix4check::Options options;
        options.index_path = path;
        options.data_path = dir.path("P.DBF");
        const ix4check::Report report = ix4check::check_index(options);
        EXPECT_TRUE(report.ok()) << files.index_path(i) << "\n" << report.text();
        EXPECT_EQ(report.keys, 6u);
    }
    return true;
}

TEST(RollBack, EveryFailingWriteOfTheThirdIndexLeavesAllFilesAsBefore) {
    for (Call call : {Call::kInsert, Call::kUpdate}) {
        uint32_t n = 0;
        for (; n < 20; ++n) {
            SCOPED_TRACE(testing::Message()
                         << (call == Call::kInsert ? "insert" : "update") << ", write " << n);
            if (!run_with_failing_write(call, n)) break;
        }
        EXPECT_GE(n, 1u);  // at least one write was made to fail
        EXPECT_LT(n, 20u);
    }
}

}  // namespace
