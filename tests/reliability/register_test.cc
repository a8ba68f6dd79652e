// The register under kills and damage.  A child process runs an import
// (with the rebuild after it), a rebuild of the indexes, or an emptying over
// a copy of a register of known records, and is killed with SIGKILL at
// moments spread over the operation's running time: the register must then
// open with no file missing or damaged, every search order must walk to its
// end, no record that was there before may be gone or changed, and the
// files must be one of the states the operation passes through; every few
// kills a rebuild must give eight indexes that pass tools/ix4check.  A
// register with a missing or damaged file still opens, the notice and
// ledgrove-cli name the file, and the other files still search.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "app/maint/demo_register.h"
#include "app/maint/empty_data_file.h"
#include "app/maint/empty_register.h"
#include "app/maint/import.h"
#include "app/maint/rebuild.h"
#include "app/search/result_list.h"
#include "app/search/search.h"
#include "app/store/database_set.h"
#include "app/store/open_notice.h"
#include "support/child_process.h"
#include "support/engine_files.h"
#include "tools/ix4check/ix4_checker.h"

namespace {

using namespace ledgrove;
using kvl_test::ChildProcess;
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr std::size_t kRecordsBefore = 700;
constexpr std::size_t kImported = 500;
constexpr int kKillsWanted = 30;  // kills that landed inside the operation
constexpr int kMostTrials = 200;
constexpr int kFullCheckEvery = 4;

// Writes `n` demo checks (seeded) as a register CSV file.
void write_csv(const std::string &path, std::size_t n, std::uint64_t seed) {
    std::string text, line;
    for (DemoRegister demo(n, seed); demo.next_line(line);) text += line;
    kvl_test::write_bytes(path, kvl_test::Bytes(text.begin(), text.end()));
}

// The starting register, made once: empty.dbf, the data file with
// kRecordsBefore checks and its eight indexes, and the CSV to import.
class Template {
public:
    Template() {
        EXPECT_EQ(create_empty_data_file(dir_.path("empty.dbf")), 0u);
        DatabaseSet set(dir_.root());
        EmptyReport emptied = empty_register(set, dir_.path("empty.dbf"));
        EXPECT_TRUE(emptied.ok()) << emptied.error;
        write_csv(dir_.path("first.csv"), kRecordsBefore, 7);
        set.open();
        EXPECT_EQ(import_csv(set, dir_.path("first.csv")).imported, kRecordsBefore);
        EXPECT_TRUE(rebuild_all_indexes(set).ok());
        set.close();
        fs::remove(dir_.path("first.csv"));
        write_csv(dir_.path("more.csv"), kImported, 11);
        set.open();
        records_.resize(set.data()->header.record_count);
        for (std::uint32_t n = 1; n <= records_.size(); ++n)
            EXPECT_EQ(KvlDataGetRecord(set.data(), n, &records_[n - 1]), ERR_NONE);
        EXPECT_EQ(records_.size(), kRecordsBefore);
    }

    void copy_to(const std::string &root) const {
        for (const auto &entry : fs::directory_iterator(dir_.root()))
            fs::copy_file(entry.path(), fs::path(root) / entry.path().filename());
    }
    const std::vector<CheckRecord> &records() const { return records_; }

private:
    kvl_test::TempDir dir_;
    std::vector<CheckRecord> records_;
};

const Template &the_template() {
    static const Template instance;
    return instance;
}

bool same(const CheckRecord &a, const CheckRecord &b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// A child that says "go" and runs the operation on the register in `root`;
// its exit status is 0 when the operation reported success.
ChildProcess start(const std::string &root, const std::function<bool(const std::string &)> &operation) {
    return ChildProcess([&](kvl_test::Channel &parent) {
        parent.send('g');
        return operation(root) ? 0 : 1;
    });
}

// ---- the operations ------------------------------------------------------------------

bool import_and_rebuild(const std::string &root) {
    DatabaseSet set(root);
    set.open();
    const ImportReport imported = import_csv(set, root + "/more.csv");
    const RebuildReport rebuilt = rebuild_all_indexes(set);
    return imported.ok() && imported.imported == kImported && rebuilt.ok();
}

bool rebuild(const std::string &root) {
    DatabaseSet set(root);
    set.open();
    return rebuild_all_indexes(set).ok();
}

bool empty(const std::string &root) {
    DatabaseSet set(root);
    return empty_register(set, root + "/empty.dbf").ok();
}

// ---- the checks ------------------------------------------------------------------------

constexpr SortOrder kOrders[] = {SortOrder::Date,     SortOrder::VendorName, SortOrder::PONumber,
                                 SortOrder::Description, SortOrder::Amount, SortOrder::VendorID,
                                 SortOrder::CheckID};

// Lines each order lists over every date, or -1 when the walk failed.
std::vector<long> listed_per_order(DatabaseSet &set) {
    std::vector<long> counts;
    for (SortOrder order : kOrders) {
        SearchInputs in;
        in.from = "00000000";
        in.to = "99999999";
        ResultList list;
        const SearchResult outcome = search_records(set, order, in, list);
        counts.push_back(outcome.stopped_by_error() ? -1 : static_cast<long>(outcome.line_count));
    }
    return counts;
}

// Which states a register may be found in after a kill.
struct Expectation {
    std::vector<std::size_t> record_counts;  // allowed record counts
    bool keeps_old_records;                  // records 1..kRecordsBefore as before
};

// The register opens, searches, and holds what it must.
void check_after_kill(const std::string &root, const Expectation &expect, const std::string &label) {
    const std::vector<CheckRecord> &before = the_template().records();
    DatabaseSet set(root);
    set.open();
    for (const DatabaseSet::OpenFailure &failure : set.failures())
        ADD_FAILURE() << label << ": " << failure.file_name << " does not open (" << failure.result
                      << ")";
    ASSERT_TRUE(set.data_open()) << label;
    const std::size_t count = set.data()->header.record_count;
    EXPECT_NE(std::find(expect.record_counts.begin(), expect.record_counts.end(), count),
              expect.record_counts.end())
        << label << ": " << count << " records";
    if (expect.keeps_old_records || count != 0) {
        ASSERT_GE(count, before.size()) << label;
        for (std::uint32_t n = 1; n <= before.size(); ++n) {
            CheckRecord record{};
            ASSERT_EQ(KvlDataGetRecord(set.data(), n, &record), 0u) << label << " record " << n;
            ASSERT_TRUE(same(record, before[n - 1])) << label << ": record " << n << " changed";
        }
    }
    // Every order walks to its end and lists no record twice or one that
    // is not counted: at most every record, at least none.
    const std::vector<long> listed = listed_per_order(set);
    for (std::size_t i = 0; i < listed.size(); ++i) {
        EXPECT_GE(listed[i], 0) << label << ": " << sort_order_caption(kOrders[i])
                                << " search failed";
        EXPECT_LE(listed[i], static_cast<long>(count)) << label;
        // An index is the old one or the new one, never a part of either.
        const bool known = listed[i] == static_cast<long>(count) ||
                           std::find(expect.record_counts.begin(), expect.record_counts.end(),
                                     static_cast<std::size_t>(listed[i])) !=
                               expect.record_counts.end();
        EXPECT_TRUE(known) << label << ": " << sort_order_caption(kOrders[i]) << " lists "
                           << listed[i];
    }
}

// A rebuild mends whatever the kill left: every index then passes the
// checker and every order lists every record.
void check_rebuild_mends(const std::string &root, const std::string &label) {
    DatabaseSet set(root);
    set.open();
    ASSERT_TRUE(rebuild_all_indexes(set).ok()) << label;
    const long count = static_cast<long>(set.data()->header.record_count);
    for (long listed : listed_per_order(set)) EXPECT_EQ(listed, count) << label << " after rebuild";
    set.close();
    for (const IndexFileInfo &info : kIndexFiles) {
        ix4check::Options options;
        options.index_path = root + "/" + info.file_name;
        options.data_path = root + "/" + kDataFileName;
        options.tag_filter = kRegisterTagFilter;
        const ix4check::Report report = ix4check::check_index(options);
        EXPECT_TRUE(report.ok()) << label << " " << info.file_name << ":\n" << report.text();
    }
}

// ---- the loop ------------------------------------------------------------------------------

struct KillStats {
    int trials = 0;
    int killed = 0;
};

KillStats kill_at_random_moments(const std::function<bool(const std::string &)> &operation,
                                  const Expectation &expect, const char *name) {
    // One undisturbed run tells how long the operation takes here.
    double seconds = 0;
    {
        kvl_test::TempDir dir;
        the_template().copy_to(dir.root());
        ChildProcess child = start(dir.root(), operation);
        EXPECT_EQ(child.channel().receive(), 'g');
        const auto began = Clock::now();
        EXPECT_EQ(child.wait(), 0) << name << " fails without a kill";
        seconds = std::chrono::duration<double>(Clock::now() - began).count();
    }
    KillStats stats;
    // Moments spread evenly over the running time, in an order that mixes
    // early and late ones.  A run that ends before its kill says the
    // machine is faster now than when it was timed: later moments are
    // spread over that run's shorter time.
    for (; stats.trials < kMostTrials && stats.killed < kKillsWanted; ++stats.trials) {
        const double fraction = ((stats.trials * 37) % kKillsWanted + 0.5) / kKillsWanted;
        const auto delay = std::chrono::duration<double>(seconds * fraction);
        kvl_test::TempDir dir;
        the_template().copy_to(dir.root());
        ChildProcess child = start(dir.root(), operation);
        if (child.channel().receive() != 'g') {
            ADD_FAILURE() << name << ": the child did not start";
            break;
        }
        const auto began = Clock::now();
        std::this_thread::sleep_for(delay);
        child.kill();
        const int status = child.wait();  // -1: killed
        if (status == 0) seconds = std::min(seconds, std::chrono::duration<double>(Clock::now() - began).count());
        else if (status == -1) ++stats.killed;
        else ADD_FAILURE() << name << ": the child failed on its own (" << status << ")";
        const std::string label = std::string(name) + " killed after " +
                                  std::to_string(delay.count() * 1000) + " ms";
        check_after_kill(dir.root(), expect, label);
        if (stats.trials % kFullCheckEvery == 0) check_rebuild_mends(dir.root(), label);
        if (::testing::Test::HasFailure()) break;
    }
    std::printf("  %s: %.0f ms a run, %d kills in %d runs\n", name, seconds * 1000, stats.killed,
                stats.trials);
    return stats;
}

// An import killed among its appends leaves records past the count and the
// unfinished-update mark on disk.  The rebuild reads up to the count, as
// every reader does: it mends the register all the same.
TEST(RegisterCrash, RebuildMendsADataFileLeftWithTheUnfinishedMark) {
    kvl_test::TempDir dir;
    the_template().copy_to(dir.root());
    const std::string data_path = dir.path(kDataFileName);
    {
        kvl_test::DataFile data(data_path, 8);
        ASSERT_EQ(data.open(), 0u);
        CheckRecord extra = the_template().records().front();
        std::uint32_t number = 0;
        ASSERT_EQ(KvlDataAddRecord(data.rec(), &extra, &number), 0u);
        data->state &= ~KVL_STATE_CHANGED;  // "killed" before the flush
        std::uint32_t handle = data->os_handle;
        data->os_handle = 0;
        KvlCloseFile(&handle, nullptr);
    }
    ASSERT_EQ(kvl_test::read_bytes(data_path)[14], KVL_DBF_ADDED_UNFLUSHED);
    check_after_kill(dir.root(), {{kRecordsBefore}, true}, "unfinished mark");
    check_rebuild_mends(dir.root(), "unfinished mark");
}

TEST(RegisterCrash, ImportKilledAnywhereLosesNoEarlierRecord) {
    // Before the import's flush the register is as it was; after it, it
    // holds every new record, and indexes not yet rebuilt miss them only.
    const KillStats stats = kill_at_random_moments(
        import_and_rebuild, {{kRecordsBefore, kRecordsBefore + kImported}, true}, "import");
    EXPECT_GE(stats.killed, kKillsWanted);
}

TEST(RegisterCrash, RebuildKilledAnywhereLeavesEveryIndexWhole) {
    const KillStats stats = kill_at_random_moments(rebuild, {{kRecordsBefore}, true}, "rebuild");
    EXPECT_GE(stats.killed, kKillsWanted);
}

TEST(RegisterCrash, EmptyingKilledAnywhereIsAllOrNothingForTheRecords) {
    // Until the data file is replaced every record is there (some indexes
    // may already be empty); after it the register is empty.
    const KillStats stats = kill_at_random_moments(empty, {{0, kRecordsBefore}, false}, "emptying");
    EXPECT_GE(stats.killed, kKillsWanted);
}

// ---- damaged files ------------------------------------------------------------

struct CliRun {
    int status;
    std::string err;
};

CliRun run_cli(const std::string &dir, const std::string &args) {
    const std::string err_path = dir + "/.err";
    const std::string command = std::string(LEDGROVE_BINARY_DIR) + "/bin/ledgrove-cli -C '" + dir +
                                "' " + args + " >/dev/null 2>'" + err_path + "'";
    const int raw = std::system(command.c_str());
    const kvl_test::Bytes err = kvl_test::read_bytes(err_path);
    fs::remove(err_path);
    return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, std::string(err.begin(), err.end())};
}

struct Damage {
    const char *what;
    const char *file;
    std::function<void(kvl_test::Bytes &)> apply;  // null: the file is removed
    std::uint32_t result;                // what failures() reports; 0: no failure
    const char *says;                    // in the notice and the CLI's message
    const char *needs_it;                // a CLI search order that needs the file
    const char *other;                   // one that does not ("" when none)
};

TEST(DamagedRegister, TheUserIsToldWhichFileAndTheRestWorks) {
    const Damage damages[] = {
        {"data file missing", "ChkREG.DBF", nullptr, KVL_WIN_FILE_NOT_FOUND,
         "ChkREG.DBF is missing", "date", ""},
        {"data file cut short", "ChkREG.DBF", [](kvl_test::Bytes &b) { b.resize(b.size() / 2); },
         KVL_WIN_HANDLE_EOF, "ChkREG.DBF is damaged (error 38)", "date", ""},
        {"data file header zeroed", "ChkREG.DBF",
         [](kvl_test::Bytes &b) { std::fill(b.begin(), b.begin() + 32, 0); }, ERR_NOT_DATA_FILE,
         "ChkREG.DBF is damaged (error 8606)", "amount", ""},
        {"vendor name index missing", "ChkRNAM.IX4", nullptr, KVL_WIN_FILE_NOT_FOUND,
         "ChkRNAM.IX4 is missing", "vendor-name", "amount"},
        {"amount index not an index", "ChkRAMT.IX4", [](kvl_test::Bytes &b) { kvl_test::put_u32(b, 0, 0x12345678); },
         ERR_NOT_INDEX_FILE, "ChkRAMT.IX4 is damaged (error 8522)", "amount", "date"},
        {"date index cut inside its header", "ChkREG.IX4", [](kvl_test::Bytes &b) { b.resize(300); },
         KVL_WIN_HANDLE_EOF, "ChkREG.IX4 is damaged (error 38)", "date", "check-id"},
        {"check id index left mid-change", "ChkRCID.IX4", [](kvl_test::Bytes &b) { b[152] |= 1; },
         ERR_INCOMPLETE_WRITE, "ChkRCID.IX4 was left unfinished", "check-id", "vendor-id"},
        {"id index missing", "ChkRIDS.IX4", nullptr, KVL_WIN_FILE_NOT_FOUND,
         "ChkRIDS.IX4 is missing", "", "date"},
        // Records appended and never counted: an import cut short.  Sound.
        {"data file with uncounted records", "ChkREG.DBF",
         [](kvl_test::Bytes &b) {
             b[14] = 1;
             b.insert(b.end(), 124 * 3, 'x');
         },
         0, "", "", "date"},
    };
    for (const Damage &damage : damages) {
        SCOPED_TRACE(damage.what);
        kvl_test::TempDir reg;
        the_template().copy_to(reg.root());
        const std::string target = reg.path(damage.file);
        if (damage.apply) {
            kvl_test::Bytes bytes = kvl_test::read_bytes(target);
            damage.apply(bytes);
            kvl_test::write_bytes(target, bytes);
        } else {
            fs::remove(target);
        }

        DatabaseSet set(reg.root());
        set.open();
        const std::string notice = register_open_notice(set.failures());
        if (damage.result == 0) {
            EXPECT_TRUE(set.failures().empty());
            EXPECT_EQ(notice, "");
        } else {
            ASSERT_EQ(set.failures().size(), 1u);
            EXPECT_EQ(set.failures()[0].file_name, damage.file);
            EXPECT_EQ(set.failures()[0].result, damage.result);
            EXPECT_NE(notice.find(damage.says), std::string::npos) << notice;
        }
        set.close();

        if (*damage.needs_it) {
            const CliRun run = run_cli(reg.root(), std::string("search --order ") + damage.needs_it);
            EXPECT_EQ(run.status, 1);
            EXPECT_NE(run.err.find(damage.says), std::string::npos) << run.err;
            EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
        }
        if (*damage.other) {
            const CliRun run = run_cli(reg.root(), std::string("search --order ") + damage.other);
            EXPECT_EQ(run.status, 0) << run.err;
        }
    }
}

// A tree that opens but breaks during the walk: the search stops with a
// code, and the CLI names the index and the way to mend it.
TEST(DamagedRegister, ABrokenTreeStopsTheSearchWithAMessage) {
    kvl_test::TempDir reg;
    the_template().copy_to(reg.root());
    kvl_test::Bytes bytes = kvl_test::read_bytes(reg.path("ChkRPO.IX4"));
    const std::uint32_t root = kvl_test::u32_at(bytes, 8);
    ASSERT_GT(root, 1u);
    kvl_test::put_u32(bytes, 1024 + (root - 1) * 512 + 1, root);  // child 0 is the root
    kvl_test::write_bytes(reg.path("ChkRPO.IX4"), bytes);
    const CliRun run = run_cli(reg.root(), "search --order po-number");
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("ChkRPO.IX4"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("reindex"), std::string::npos) << run.err;
    // The rebuild mends it.
    EXPECT_EQ(run_cli(reg.root(), "reindex").status, 0);
    EXPECT_EQ(run_cli(reg.root(), "search --order po-number").status, 0);
}

}  // namespace
