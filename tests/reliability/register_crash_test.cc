// The register's maintenance killed at random moments.  A child process
// runs an import (with the rebuild after it), a rebuild of the indexes, or
// an emptying over a copy of a register of known records; the parent kills
// it with SIGKILL at a moment spread over the operation's running time.
// Then the register must open with no file missing or damaged, every
// search order must walk to its end, no record that was there before may
// be gone or changed, and the files must be one of the states the
// operation passes through.  Every few kills a rebuild afterwards must
// give eight indexes that pass tools/ix4check and list every record.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <cstdio>
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
#include "support/engine_files.h"
#include "tools/ix4check/ix4_checker.h"

namespace {

using namespace ledgrove;
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr std::size_t kRecordsBefore = 700;
constexpr std::size_t kImported = 500;
constexpr int kKillsWanted = 30;  // kills that landed inside the operation
constexpr int kMostTrials = 200;
constexpr int kFullCheckEvery = 4;

// Writes `n` demo checks (seeded) as a register CSV file.
void write_csv(const std::string &path, std::size_t n, std::uint64_t seed) {
    FILE *out = std::fopen(path.c_str(), "wb");
    ASSERT_NE(out, nullptr);
    DemoRegister demo(n, seed);
    std::string line;
    while (demo.next_line(line)) std::fwrite(line.data(), 1, line.size(), out);
    std::fclose(out);
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
        records_ = records_in(dir_.root());
        EXPECT_EQ(records_.size(), kRecordsBefore);
    }

    void copy_to(const std::string &root) const {
        for (const auto &entry : fs::directory_iterator(dir_.root()))
            fs::copy_file(entry.path(), fs::path(root) / entry.path().filename());
    }
    const std::vector<CheckRecord> &records() const { return records_; }

    // The records of the register in `root`, read straight from the data file.
    static std::vector<CheckRecord> records_in(const std::string &root) {
        DatabaseSet set(root);
        set.open();
        std::vector<CheckRecord> records;
        if (!set.data_open()) return records;
        for (std::uint32_t n = 1; n <= set.data()->header.record_count; ++n) {
            CheckRecord record{};
            if (KvlDataGetRecord(set.data(), n, &record) != ERR_NONE) break;
            records.push_back(record);
        }
        return records;
    }

private:
    kvl_test::TempDir dir_;
    std::vector<CheckRecord> records_;
};

const Template &the_template() {
    static const Template instance;
    return instance;
}

bool same(const CheckRecord &a, const CheckRecord &b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// ---- the child -------------------------------------------------------------------

struct Child {
    pid_t pid = -1;
    int ready = -1;  // read end: one byte when the operation starts
};

// Forks a child that says "go" and runs the operation on the register in
// `root`; its exit status is 0 when the operation reported success.
Child start(const std::string &root, const std::function<bool(const std::string &)> &operation) {
    int pipe_fds[2];
    if (::pipe(pipe_fds) != 0) return {};
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(pipe_fds[0]);
        const char go = 'g';
        if (::write(pipe_fds[1], &go, 1) != 1) ::_exit(3);
        const bool ok = operation(root);
        ::_exit(ok ? 0 : 1);
    }
    ::close(pipe_fds[1]);
    return {pid, pipe_fds[0]};
}

bool wait_ready(const Child &child) {
    char go = 0;
    ssize_t n;
    do n = ::read(child.ready, &go, 1);
    while (n < 0 && errno == EINTR);
    ::close(child.ready);
    return n == 1;
}

// Waits for the child; true when it ended on its own with status 0.
bool finished_by_itself(pid_t pid, int *status_out = nullptr) {
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (status_out) *status_out = status;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
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
        Child child = start(dir.root(), operation);
        EXPECT_TRUE(wait_ready(child));
        const auto began = Clock::now();
        EXPECT_TRUE(finished_by_itself(child.pid)) << name << " fails without a kill";
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
        Child child = start(dir.root(), operation);
        if (!wait_ready(child)) {
            ADD_FAILURE() << name << ": the child did not start";
            break;
        }
        const auto began = Clock::now();
        std::this_thread::sleep_for(delay);
        ::kill(child.pid, SIGKILL);
        int status = 0;
        if (finished_by_itself(child.pid, &status)) {
            seconds = std::min(seconds, std::chrono::duration<double>(Clock::now() - began).count());
        } else {
            if (WIFSIGNALED(status)) ++stats.killed;
            else ADD_FAILURE() << name << ": the child failed on its own (" << status << ")";
        }
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

}  // namespace
