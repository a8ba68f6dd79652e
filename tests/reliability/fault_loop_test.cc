// I/O errors at every point of whole engine operations.  Each operation
// runs again and again over the same starting files, with its 1st, 2nd,
// 3rd, ... file-layer call failing (once, or from then on), until it runs
// through without reaching the failing call.  After every run the files
// are opened again on a sound layer and must show:
//   - every record that was in the data file before the operation,
//     unchanged (a record the operation rewrites: old or new, nothing else);
//   - indexes that pass tools/ix4check, or whose damage the engine reports
//     by a result code when they are opened (ERR_INCOMPLETE_WRITE: changes
//     pending);
//   - when the operation reported success, all of its work.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "engine/engine_support.h"
#include "support/memory_layer.h"

namespace {

using kvl_test::MemoryLayer;
using kvl_test::MultiFiles;
using kvl_test::numbered_person;
using kvl_test::person_record;

using Bytes = std::vector<uint8_t>;
using Files = std::map<std::string, Bytes>;  // name -> bytes

Files snapshot(kvl_test::MemoryLayer &memory, const std::vector<std::string> &names) {
    Files files;
    for (const std::string &name : names)
        if (memory.exists(name)) files[name] = memory.file(name);
    return files;
}

void restore(kvl_test::MemoryLayer &memory, const Files &files) {
    for (const auto &[name, bytes] : files) memory.file(name) = bytes;
}

// The records of a data file, read through the engine; empty and the open
// result in *rc when it does not open (ERR_INCOMPLETE_WRITE opens).
std::vector<Bytes> read_records(const FileLayerTable *layer, const std::string &name,
                                       uint32_t capacity, uint32_t *rc) {
    kvl_test::DataFile data(name, capacity, layer);
    *rc = data.open();
    std::vector<Bytes> records;
    if (*rc != ERR_NONE && *rc != ERR_INCOMPLETE_WRITE && *rc != ERR_MEMO_OPEN) return records;
    const uint32_t length = data->header.record_length;
    for (uint32_t n = 1; n <= data->header.record_count; ++n) {
        Bytes record(length);
        const uint32_t got = KvlDataGetRecord(data.rec(), n, record.data());
        if (got != ERR_NONE) {
            *rc = got;
            break;
        }
        records.push_back(record);
    }
    return records;
}

// Index open result on the given layer: 0, ERR_INCOMPLETE_WRITE (changes
// pending) or a refusal.
uint32_t index_open_result(const FileLayerTable *layer, const std::string &index_name,
                           const std::string &data_name, uint32_t capacity) {
    kvl_test::DataFile data(data_name, capacity, layer);
    const uint32_t data_rc = data.open();
    if (data_rc != ERR_NONE && data_rc != ERR_INCOMPLETE_WRITE) return data_rc;
    kvl_test::IndexFile ix(index_name, kvl_test::kNodeSize, data.rec(), layer);
    return ix.open();
}

// Runs tools/ix4check over an index and its data file as they stand in
// `files` (written to a scratch directory: the checker reads real files).
ix4check::Report check_index(const Files &files, const std::string &index_name, const std::string &data_name) {
    kvl_test::TempDir dir;
    for (const auto &[name, bytes] : files) kvl_test::write_bytes(dir.path(name), bytes);
    return kvl_test::check_index(dir.path(index_name), dir.path(data_name));
}

constexpr const char *kData = "PEOPLE.DBF";
constexpr uint32_t kFields = 5;

// ---- scenarios ---------------------------------------------------------------

struct Scenario {
    const char *name;
    std::vector<std::string> files;
    // Builds the starting files (flushed and closed) on a sound layer.
    void (*prepare)(const FileLayerTable *layer);
    // The operation; its first failure, closes included.
    uint32_t (*run)(const FileLayerTable *layer);
    // Looks at what the operation left; `rc` is its result, `label` names
    // the run in messages.
    void (*check)(const Files &before, MemoryLayer &after, uint32_t rc, const std::string &label);
};

void keep(uint32_t &first, uint32_t rc) {
    if (first == ERR_NONE) first = rc;
}

std::vector<kvl_test::IndexSpec> three_indexes() {
    return {{"A.IX4", "ID"}, {"B.IX4", "NAME+CITY"}, {"C.IX4", "CODE+ID"}};
}
const std::vector<std::string> kIndexNames = {"A.IX4", "B.IX4", "C.IX4"};

// The data file first: its count must be on disk before the keys that
// point at its new records lose their changes-pending mark.
uint32_t close_all(MultiFiles &files) {
    uint32_t rc = KvlDataCloseFile(files.data());
    for (size_t i = 0; i < files.index_count(); ++i) keep(rc, KvlIx4CloseFile(files.index(i)));
    return rc;
}

// Five people in the data file and in all three indexes.
void prepare_people(const FileLayerTable *layer) {
    MultiFiles files("", three_indexes(), layer);
    ASSERT_EQ(files.rc, 0u);
    for (uint32_t k = 1; k <= 5; ++k) ASSERT_EQ(files.insert(k), 0u);
    ASSERT_EQ(close_all(files), 0u);
}

kvl_test::Person changed_person(uint32_t k) {
    kvl_test::Person p = numbered_person(k);
    p.name = "moved" + std::to_string(k);
    p.city = "far";
    return p;
}

// The records the data file must hold: records[i] lists what record i + 1
// may be; `must` of them must be there.
struct RecordRule {
    std::vector<std::vector<Bytes>> records;
    size_t must;
};

void check_records(MemoryLayer &after, const RecordRule &rule, uint32_t capacity, bool success,
                   const std::string &label) {
    uint32_t open_rc = 0;
    const std::vector<Bytes> records = read_records(after.table(), kData, capacity, &open_rc);
    if (success) {
        EXPECT_EQ(open_rc, 0u) << label;
        EXPECT_EQ(records.size(), rule.records.size()) << label;
    } else {
        EXPECT_TRUE(open_rc == ERR_NONE || open_rc == ERR_INCOMPLETE_WRITE) << label << " open " << open_rc;
        EXPECT_GE(records.size(), rule.must) << label;
        EXPECT_LE(records.size(), rule.records.size()) << label;
    }
    for (size_t i = 0; i < records.size() && i < rule.records.size(); ++i) {
        const auto &allowed = rule.records[i];
        const bool known = std::find(allowed.begin(), allowed.end(), records[i]) != allowed.end();
        EXPECT_TRUE(known) << label << ": record " << i + 1 << " is not what was written";
    }
}

// Every index opens and passes the checker, or (after a failed
// operation) reports its damage when opened.
void check_indexes(MemoryLayer &after, const std::vector<std::string> &names, bool success,
                   const std::string &label, uint32_t capacity = kFields) {
    const Files files = snapshot(after, [&] {
        std::vector<std::string> all = names;
        all.push_back(kData);
        return all;
    }());
    for (const std::string &name : names) {
        const uint32_t rc =
            index_open_result(after.table(), name, kData, capacity);
        if (success) {
            EXPECT_EQ(rc, 0u) << label << " " << name;
        }
        if (rc != ERR_NONE) continue;  // damage reported by a result code
        const ix4check::Report report = check_index(files, name, kData);
        EXPECT_TRUE(report.ok()) << label << " " << name << " opens but:\n" << report.text();
    }
}

// ---- inserting and updating through three indexes ----------------------------

uint32_t run_insert_update(const FileLayerTable *layer) {
    MultiFiles files("", three_indexes(), layer, false);
    uint32_t rc = files.rc;
    for (uint32_t k = 6; k <= 8 && rc == ERR_NONE; ++k) rc = files.insert(k);
    for (uint32_t k : {2u, 7u}) {
        if (rc != ERR_NONE) break;
        auto record = person_record(changed_person(k));
        auto r = files.requests(record, {}, k);
        uint32_t failed = 0;
        rc = KvlIx4UpdateEx(r.first(), &failed, 0);
    }
    if (files.rc == ERR_NONE) keep(rc, close_all(files));
    return rc;
}

void check_insert_update(const Files &, MemoryLayer &after, uint32_t rc, const std::string &label) {
    const bool success = rc == ERR_NONE;
    RecordRule rule{{}, 5};
    for (uint32_t k = 1; k <= 8; ++k) {
        std::vector<Bytes> allowed;
        if (!success || (k != 2 && k != 7)) allowed.push_back(person_record(numbered_person(k)));
        if (k == 2 || k == 7) allowed.push_back(person_record(changed_person(k)));
        rule.records.push_back(allowed);
    }
    check_records(after, rule, kFields, success, label);
    check_indexes(after, kIndexNames, success, label);
}

// ---- rebuilding an index --------------------------------------------------------

void prepare_forty(const FileLayerTable *layer) {
    MultiFiles files("", three_indexes(), layer);
    ASSERT_EQ(files.rc, 0u);
    for (uint32_t k = 1; k <= 40; ++k) ASSERT_EQ(files.insert(k * 7919 % 1000), 0u);
    ASSERT_EQ(close_all(files), 0u);
}

uint32_t run_rebuild(const FileLayerTable *layer) {
    MultiFiles files("", three_indexes(), layer, false);
    uint32_t rc = files.rc;
    if (rc == ERR_NONE) {
        IndexControlRecord *ix = files.index(1);
        ix->memory_ceiling = 16384;  // several runs and a merge
        char key[KVL_MAX_KEY_LENGTH + 1] = {};
        uint32_t record_number = 0;
        rc = KvlFuncIx4Reindex(ix, "W.TMP", 75, key, &record_number);
        keep(rc, close_all(files));
    }
    return rc;
}

void check_rebuild(const Files &, MemoryLayer &after, uint32_t rc, const std::string &label) {
    RecordRule rule{{}, 40};
    for (uint32_t k = 1; k <= 40; ++k)
        rule.records.push_back({person_record(numbered_person(k * 7919 % 1000))});
    check_records(after, rule, kFields, true, label);
    check_indexes(after, kIndexNames, rc == ERR_NONE, label);
    EXPECT_FALSE(after.exists("W.TMP") && rc == ERR_NONE) << label << ": work file left";
}

// ---- packing a data file with memos ---------------------------------------------

constexpr const char *kMemoData = "NOTES.DBF";
constexpr const char *kPacked = "PACKED.DBF";

std::string memo_text(uint32_t k, size_t size) { return kvl_test::pattern(size, k); }

// Six records with memos of growing size, two of them tagged deleted.
void prepare_memos(const FileLayerTable *layer) {
    std::vector<kvl_test::Row> rows;
    for (uint32_t k = 1; k <= 6; ++k) rows.push_back({k % 3 == 0 ? '*' : ' ', "row" + std::to_string(k), memo_text(k, 200 * k)});
    kvl_test::write_rows(kMemoData, rows, true, layer);
}

// The block number in a row's memo field (0 when blank or damaged).
uint32_t memo_block_of(const Bytes &row) {
    const std::string text(row.end() - 10, row.end());
    return static_cast<uint32_t>(std::strtoul(text.c_str(), nullptr, 10));
}

// Each record's memo text, read through the engine; a read that fails
// gives "#" and the code.
std::vector<std::pair<Bytes, std::string>> memo_rows(const FileLayerTable *layer, const char *name,
                                                     uint32_t *open_rc) {
    kvl_test::DataFile data(name, 2, layer);
    *open_rc = data.open();
    std::vector<std::pair<Bytes, std::string>> rows;
    if (*open_rc != ERR_NONE && *open_rc != ERR_INCOMPLETE_WRITE) return rows;
    for (uint32_t n = 1; n <= data->header.record_count; ++n) {
        Bytes row(data->header.record_length);
        if (uint32_t rc = KvlDataGetRecord(data.rec(), n, row.data()); rc != ERR_NONE) {
            rows.push_back({row, "#" + std::to_string(rc)});
            continue;
        }
        const uint32_t block = memo_block_of(row);
        uint32_t first = 0, size = 0;
        uint32_t rc = KvlMemoGetSize(data.rec(), block, &first, &size);
        std::string text(size, '\0');
        uint32_t count = size;
        if (rc == ERR_NONE && size) rc = KvlMemoGet(data.rec(), block, 0, &count, text.data());
        rows.push_back({row, rc == ERR_NONE ? text.substr(0, count) : "#" + std::to_string(rc)});
    }
    return rows;
}

uint32_t run_pack(const FileLayerTable *layer) {
    return KvlDataPack(kMemoData, kPacked, nullptr, layer);
}

void check_pack(const Files &before, MemoryLayer &after, uint32_t rc, const std::string &label) {
    // The source is never written.
    for (const auto &[name, bytes] : before)
        EXPECT_EQ(after.file(name), bytes) << label << ": " << name << " changed";
    uint32_t open_rc = 0;
    const auto rows = memo_rows(after.table(), kPacked, &open_rc);
    if (rc != ERR_NONE) return;  // the new file is the caller's to throw away
    EXPECT_EQ(open_rc, 0u) << label;
    std::vector<uint32_t> live = {1, 2, 4, 5};
    ASSERT_EQ(rows.size(), live.size()) << label;
    for (size_t i = 0; i < live.size(); ++i)
        EXPECT_EQ(rows[i].second, memo_text(live[i], 200 * live[i])) << label << " row " << i;
}

// ---- changing memos ----------------------------------------------------------------

// Grows record 1's memo in place, moves record 2's to a larger run (and
// points the record at it), and adds a seventh record with a memo.
uint32_t run_memo_update(const FileLayerTable *layer) {
    kvl_test::DataFile data(kMemoData, 2, layer);
    uint32_t rc = data.open();
    if (rc != ERR_NONE) return rc;
    const std::string tail = "grown in place";
    uint32_t block = 1;
    rc = KvlMemoUpdate(data.rec(), &block, 200, uint32_t(tail.size()), tail.data());
    Bytes row(data->header.record_length);
    if (rc == ERR_NONE) rc = KvlDataGetRecord(data.rec(), 2, row.data());
    if (rc == ERR_NONE) {
        block = memo_block_of(row);
        const std::string more = memo_text(99, 900);
        rc = KvlMemoUpdate(data.rec(), &block, 0, uint32_t(more.size()), more.data());
    }
    if (rc == ERR_NONE) {
        Bytes moved = kvl_test::row_record("row2", block, true);
        rc = KvlDataUpdateRecord(data.rec(), 2, moved.data());
    }
    if (rc == ERR_NONE) {
        const std::string text = memo_text(7, 300);
        rc = KvlMemoAdd(data.rec(), uint32_t(text.size()), uint32_t(text.size()), text.data(),
                        &block, 0);
        Bytes seventh = kvl_test::row_record("row7", block, true);
        uint32_t number = 0;
        if (rc == ERR_NONE) rc = KvlDataAddRecord(data.rec(), seventh.data(), &number);
    }
    keep(rc, KvlDataCloseFile(data.rec()));
    return rc;
}

void check_memo_update(const Files &, MemoryLayer &after, uint32_t rc, const std::string &label) {
    uint32_t open_rc = 0;
    const auto rows = memo_rows(after.table(), kMemoData, &open_rc);
    EXPECT_TRUE(open_rc == ERR_NONE || open_rc == ERR_INCOMPLETE_WRITE) << label << " " << open_rc;
    ASSERT_GE(rows.size(), 6u) << label;
    for (uint32_t k : {3u, 4u, 5u, 6u})
        EXPECT_EQ(rows[k - 1].second, memo_text(k, 200 * k)) << label << " record " << k;
    // ERR_INCOMPLETE_WRITE with bit 1: the memo file changed and its change
    // never finished (a crash): the memos the operation was changing may be
    // torn, and the data file says so.
    if (rc != ERR_NONE && open_rc == ERR_INCOMPLETE_WRITE) return;
    const std::string first_old = memo_text(1, 200);
    const std::string first_new = first_old + "grown in place";
    EXPECT_TRUE(rows[0].second == first_old || rows[0].second == first_new) << label;
    const std::string second_old = memo_text(2, 400);
    const std::string second_new = memo_text(99, 900);
    if (rc == ERR_NONE) {
        EXPECT_EQ(rows[0].second, first_new) << label;
        EXPECT_EQ(rows[1].second, second_new) << label;
        ASSERT_EQ(rows.size(), 7u) << label;
        EXPECT_EQ(rows[6].second, memo_text(7, 300)) << label;
    } else {
        // Between moving the memo and pointing the record at it, the record
        // still names the old run, which the move freed: that read must
        // fail with a code, never return other bytes.
        const std::string &second = rows[1].second;
        EXPECT_TRUE(second == second_old || second == second_new || second[0] == '#')
            << label << ": record 2 reads " << second.size() << " other bytes";
    }
}

// ---- creating files ------------------------------------------------------------------

void prepare_nothing(const FileLayerTable *) {}

uint32_t run_create(const FileLayerTable *layer) {
    MultiFiles files("", three_indexes(), layer);
    return files.rc != ERR_NONE ? files.rc : close_all(files);
}

void check_create(const Files &, MemoryLayer &after, uint32_t rc, const std::string &label) {
    if (rc != ERR_NONE) {
        // Whatever exists must open with a code or be sound.
        if (after.exists(kData)) {
            uint32_t open_rc = 0;
            read_records(after.table(), kData, kFields, &open_rc);
            if (open_rc == ERR_NONE) check_indexes(after, [&] {
                std::vector<std::string> present;
                for (const auto &name : kIndexNames)
                    if (after.exists(name)) present.push_back(name);
                return present;
            }(), false, label);
        }
        return;
    }
    check_records(after, RecordRule{{}, 0}, kFields, true, label);
    check_indexes(after, kIndexNames, true, label);
}

const Scenario kScenarios[] = {
    {"create", {kData, "A.IX4", "B.IX4", "C.IX4"}, prepare_nothing, run_create, check_create},
    {"insert+update", {kData, "A.IX4", "B.IX4", "C.IX4"}, prepare_people, run_insert_update,
     check_insert_update},
    {"rebuild", {kData, "A.IX4", "B.IX4", "C.IX4", "W.TMP"}, prepare_forty, run_rebuild,
     check_rebuild},
    {"pack", {kMemoData, "NOTES.DBT", kPacked, "PACKED.DBT"}, prepare_memos, run_pack, check_pack},
    {"memo update", {kMemoData, "NOTES.DBT"}, prepare_memos, run_memo_update, check_memo_update},
};

// ---- the loops --------------------------------------------------------------------------

Files prepared(const Scenario &s) {
    MemoryLayer memory;
    s.prepare(memory.table());
    return snapshot(memory, s.files);
}

constexpr uint64_t kMostCalls = 20000;  // a run that never ends is a failure too

// Returns how many failure points were tried.
// One pass of a fault loop: which OS error, failing once or for good, and
// which kinds of calls count.
struct FaultPlan {
    const char *name;
    uint32_t code;
    bool sticky;
    uint32_t ops;
};

uint64_t count_down_loop(const Scenario &s, const FaultPlan &plan) {
    const Files before = prepared(s);
    for (uint64_t n = 1; n < kMostCalls; ++n) {
        MemoryLayer memory;
        restore(memory, before);
        uint32_t rc = 0;
        bool fired = false;
        memory.fail_call(n, plan.code, plan.sticky, plan.ops);
        rc = s.run(memory.table());
        fired = memory.fired();
        memory.disarm();
        const std::string label = std::string(s.name) + " [" + plan.name + " at call " +
                                  std::to_string(n) + ", result " + std::to_string(rc) + "]";
        if (!fired) {
            EXPECT_EQ(rc, 0u) << label << ": fails without a fault";
            s.check(before, memory, rc, label);
            return n - 1;
        }
        s.check(before, memory, rc, label);
        if (::testing::Test::HasFailure()) return n;
    }
    ADD_FAILURE() << s.name << " never ends";
    return kMostCalls;
}

const FaultPlan kPlans[] = {
    {"disk full once", KVL_WIN_DISK_FULL, false, MemoryLayer::kAll},
    {"access denied from then on", KVL_WIN_ACCESS_DENIED, true, MemoryLayer::kAll},
    {"short write once", KVL_WIN_HANDLE_DISK_FULL, false, MemoryLayer::kWrite},
    {"lock violation from then on", KVL_WIN_LOCK_VIOLATION, true, MemoryLayer::kAll},
};

class FaultLoop : public ::testing::TestWithParam<size_t> {};

TEST_P(FaultLoop, EveryFailurePointLeavesSoundFiles) {
    const Scenario &s = kScenarios[GetParam()];
    for (const FaultPlan &plan : kPlans) {
        const uint64_t points = count_down_loop(s, plan);
        RecordProperty(std::string(plan.name), std::to_string(points));
        std::printf("  %s, %s: %llu failure points\n", s.name, plan.name,
                    static_cast<unsigned long long>(points));
        if (HasFailure()) return;
    }
}

// A crash at every call: unflushed writes are lost, all of them or a
// random subset.
uint64_t crash_loop(const Scenario &s, MemoryLayer::Crash kind) {
    const Files before = prepared(s);
    for (uint64_t n = 1; n < kMostCalls; ++n) {
        MemoryLayer memory;
        for (const auto &[name, bytes] : before) memory.put(name, bytes);
        memory.crash_at(n, kind, static_cast<uint32_t>(n));
        const uint32_t rc = s.run(memory.table());
        const bool crashed = memory.crashed();
        memory.revive();
        const std::string label = std::string(s.name) + " [crash " +
                                  (kind == MemoryLayer::Crash::Random ? "keeping some writes"
                                                                      : "losing all writes") +
                                  " at call " + std::to_string(n) + "]";
        s.check(before, memory, crashed ? KVL_WIN_IO_DEVICE : rc, label);
        if (!crashed) return n - 1;
        if (::testing::Test::HasFailure()) return n;
    }
    ADD_FAILURE() << s.name << " never ends";
    return kMostCalls;
}

TEST_P(FaultLoop, CrashAtEveryCallLosesNothingFlushed) {
    const Scenario &s = kScenarios[GetParam()];
    for (MemoryLayer::Crash kind : {MemoryLayer::Crash::DropAll, MemoryLayer::Crash::Random}) {
        const uint64_t points = crash_loop(s, kind);
        std::printf("  %s, crash %s: %llu crash points\n", s.name,
                    kind == MemoryLayer::Crash::Random ? "random" : "drop-all",
                    static_cast<unsigned long long>(points));
        if (HasFailure()) return;
    }
}

INSTANTIATE_TEST_SUITE_P(Operations, FaultLoop, ::testing::Range<size_t>(0, std::size(kScenarios)),
                         [](const auto &info) {
                             std::string name = kScenarios[info.param].name;
                             for (char &c : name)
                                 if (!isalnum(static_cast<unsigned char>(c))) c = '_';
                             return name;
                         });

}  // namespace
