// register_compare.cc - Ledgrove and SQLite side by side on one register.
//
//   register_compare SAMPLE.csv WORK_DIR [--runs R] [--cpu]
//
// bench/compare makes the sample with `ledgrove-cli demo N` and calls this.
// Both sides load the same lines and answer the same searches:
//
//   Ledgrove  the program's own import (import_csv) and rebuild of the
//             eight indexes (rebuild_all_indexes), and its searches
//             (search_records) into a ResultList;
//   SQLite    one table with the register's eight fields as stored, the
//             same lines parsed by the same line parser and inserted in one
//             transaction, the same eight indexes (each key ends in ID, as
//             the register's do), and for each search a query that returns
//             the same rows in the same order, handed to the same
//             ResultBuilder so that both give result lines.
//
// Every search's lines, record count and total must agree, or the program
// fails.  Each figure is the median of R runs (5 by default) after one
// untimed run; Ledgrove and SQLite runs alternate so that the load of the
// machine falls on both alike.  Times are wall-clock seconds, or with --cpu
// the process's user plus system time (steadier on a busy machine).
//
// SQLite runs as a developer would set it up for this work: its defaults
// (so its commits sync to the disk, as Ledgrove's import and rebuild do),
// with the same memory that Ledgrove's rebuild may use as page cache.
//
// The list fill is the search window's own (built with the desktop
// program): the Date search run from the window, its list filled, laid out
// and painted on Qt's offscreen platform, in a process of its own so that
// its peak memory is the window's alone.  Without the desktop program it is
// a ResultList filled with the same lines.
#include <malloc.h>
#include <sqlite3.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "app/maint/empty_data_file.h"
#include "app/maint/empty_register.h"
#include "app/maint/import.h"
#include "app/maint/import_line.h"
#include "app/maint/rebuild.h"
#include "app/search/result_lines.h"
#include "app/search/result_list.h"
#include "app/search/search.h"
#include "app/store/amount_text.h"
#include "app/store/engine_settings.h"
#include "app/store/record_id.h"

#ifdef LEDGROVE_COMPARE_WITH_DIALOG
#include <QApplication>
#include <QCheckBox>

#include "app/ui/control_ids.h"
#include "app/ui/search_window.h"
#endif

namespace {

using namespace ledgrove;
namespace fs = std::filesystem;

// The search window reserves this much before it fills its list.
constexpr std::size_t kDialogReservedLines = 75000;
constexpr std::size_t kDialogReservedBytes = 12884000;

[[noreturn]] void fail(const std::string &why) {
    std::fprintf(stderr, "register_compare: %s\n", why.c_str());
    std::exit(1);
}

// ---- timing ------------------------------------------------------------------

bool g_cpu_time = false;

double cpu_seconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    auto seconds = [](const timeval &t) { return double(t.tv_sec) + double(t.tv_usec) / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

double now_seconds() {
    if (g_cpu_time) return cpu_seconds();
    using clock = std::chrono::steady_clock;
    return std::chrono::duration<double>(clock::now().time_since_epoch()).count();
}

double timed(const std::function<void()> &work) {
    const double start = now_seconds();
    work();
    return now_seconds() - start;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// ---- the searches --------------------------------------------------------------

struct SearchCase {
    const char *name;
    SortOrder order;
    SearchInputs inputs;
    std::string sql;  // the same rows in the same order; ?1 From, ?2 To
};

constexpr const char *kColumns = "chkid, chkdate, vendorid, name, poid, \"desc\", amount, id";

std::vector<SearchCase> search_cases() {
    std::vector<SearchCase> cases;
    const std::string columns = kColumns;
    auto add = [&](const char *name, SortOrder order, SearchInputs in, const std::string &sql) {
        cases.push_back({name, order, std::move(in), sql});
    };
    SearchInputs date;
    date.from = "20120101";
    date.to = "20121231";
    date.subtotals = true;
    date.dates_by_month = true;
    add("Date search, one year, subtotals by month", SortOrder::Date, date,
        "SELECT " + columns + " FROM checks WHERE chkdate >= ?1 AND chkdate <= ?2"
        " ORDER BY chkdate, id");

    SearchInputs whole;
    whole.from = "20060101";
    whole.to = "20201231";
    SearchInputs vendor = whole;
    vendor.vendor_name = "SUPPLY";
    add("Vendor Name search \"SUPPLY\", whole index", SortOrder::VendorName, vendor,
        "SELECT " + columns + " FROM checks WHERE chkdate >= ?1 AND chkdate <= ?2"
        " AND instr(name, 'SUPPLY') > 0 ORDER BY name, id");

    SearchInputs amount = whole;
    amount.amount_operator = '>';
    amount.amount = "10000";
    add("Amount \"> 10000\" search, whole index", SortOrder::Amount, amount,
        "SELECT " + columns + " FROM checks WHERE chkdate >= ?1 AND chkdate <= ?2"
        " AND CAST(amount AS REAL) > 10000 ORDER BY amount, id");

    add("Check ID order, no filter, all records", SortOrder::CheckID, whole,
        "SELECT " + columns + " FROM checks WHERE chkdate >= ?1 AND chkdate <= ?2"
        " ORDER BY chkid, id");

    SearchInputs supplies = date;
    supplies.subtotals = false;
    supplies.dates_by_month = false;
    supplies.description = "SUPPLIES";
    add("Description \"SUPPLIES\", one year", SortOrder::Description, supplies,
        "SELECT " + columns + " FROM checks WHERE chkdate >= ?1 AND chkdate <= ?2"
        " AND instr(\"desc\", 'SUPPLIES') > 0 ORDER BY \"desc\", id");

    SearchInputs large = whole;
    large.amount_operator = '>';
    large.amount = "100000";
    add("Amount \"> 100000\" search, amount range", SortOrder::Amount, large,
        "SELECT " + columns + " FROM checks WHERE chkdate >= ?1 AND chkdate <= ?2"
        " AND CAST(amount AS REAL) > 100000 ORDER BY amount, id");
    return cases;
}

// ---- Ledgrove ------------------------------------------------------------------

class LedgroveSide {
public:
    explicit LedgroveSide(const std::string &dir) : dir_(dir), set_(dir) {
        fs::create_directories(dir);
        empty_ = dir + "/empty.dbf";
        if (create_empty_data_file(empty_) != 0) fail("cannot make " + empty_);
    }

    // Empties the register (not timed), then imports the sample.
    double import(const std::string &csv, std::size_t expected) {
        if (!empty_register(set_, empty_).ok()) fail("cannot empty the Ledgrove register");
        set_.close();
        ImportReport report;
        double seconds = timed([&] { report = import_csv(set_, csv); });
        if (!report.ok() || report.imported != expected)
            fail("the Ledgrove import took " + std::to_string(report.imported) + " of " +
                 std::to_string(expected) + " lines: " + report.error);
        return seconds;
    }

    double rebuild() {
        RebuildReport report;
        double seconds = timed([&] { report = rebuild_all_indexes(set_); });
        if (!report.ok()) fail("the Ledgrove rebuild failed");
        return seconds;
    }

    void open() { set_.open(); }
    void close() { set_.close(); }

    // The search as the window runs it: the list emptied and reserved, then
    // filled by the index walk.
    double search(const SearchCase &c, ResultList &list, SearchResult &outcome) {
        return timed([&] {
            list.clear();
            list.reserve(kDialogReservedLines, kDialogReservedBytes);
            outcome = search_records(set_, c.order, c.inputs, list);
        });
    }

private:
    std::string dir_, empty_;
    DatabaseSet set_;
};

// ---- SQLite --------------------------------------------------------------------

class Statement {
public:
    Statement(sqlite3 *db, const char *sql) {
        if (sqlite3_prepare_v2(db, sql, -1, &stmt_, nullptr) != SQLITE_OK)
            fail(std::string("SQLite: ") + sqlite3_errmsg(db) + " in " + sql);
    }
    ~Statement() { sqlite3_finalize(stmt_); }
    sqlite3_stmt *get() const { return stmt_; }

private:
    sqlite3_stmt *stmt_ = nullptr;
};

constexpr const char *kIndexes[] = {
    "CREATE INDEX chkreg ON checks(chkdate, id)",
    "CREATE INDEX chkrids ON checks(id)",
    "CREATE INDEX chkrnam ON checks(name, id)",
    "CREATE INDEX chkrcid ON checks(chkid, id)",
    "CREATE INDEX chkrvnd ON checks(vendorid, id)",
    "CREATE INDEX chkrpo ON checks(poid, id)",
    "CREATE INDEX chkrdsc ON checks(\"desc\", id)",
    "CREATE INDEX chkramt ON checks(amount, id)",
};
constexpr const char *kIndexNames[] = {"chkreg", "chkrids", "chkrnam", "chkrcid",
                                       "chkrvnd", "chkrpo", "chkrdsc", "chkramt"};

class SqliteSide {
public:
    SqliteSide(const std::string &dir, std::size_t cache_bytes)
        : path_(dir + "/register.sqlite"), cache_kib_(cache_bytes / 1024) {}
    ~SqliteSide() { close(); }

    double import(const std::string &csv, std::size_t expected) {
        close();
        for (const char *suffix : {"", "-journal"}) fs::remove(path_ + suffix);
        std::size_t rows = 0;
        double seconds = timed([&] {
            open();
            exec("CREATE TABLE checks(id TEXT, chkid TEXT, chkdate TEXT, vendorid TEXT,"
                 " name TEXT, poid TEXT, \"desc\" TEXT, amount TEXT)");
            rows = insert_lines(csv);
            close();
        });
        if (rows != expected)
            fail("SQLite took " + std::to_string(rows) + " of " + std::to_string(expected));
        return seconds;
    }

    double rebuild() {
        open();
        for (const char *name : kIndexNames) exec(std::string("DROP INDEX IF EXISTS ") + name);
        return timed([&] {
            for (const char *sql : kIndexes) exec(sql);
        });
    }

    double search(const SearchCase &c, ResultList &list, SearchResult &outcome) {
        open();
        return timed([&] {
            list.clear();
            list.reserve(kDialogReservedLines, kDialogReservedBytes);
            outcome = SearchResult{};
            ResultBuilder builder(list, {c.order, c.inputs.subtotals,
                                         c.order == SortOrder::Date && c.inputs.dates_by_month});
            Statement query(db_, c.sql.c_str());
            sqlite3_bind_text(query.get(), 1, c.inputs.from.c_str(), -1, SQLITE_STATIC);
            sqlite3_bind_text(query.get(), 2, c.inputs.to.c_str(), -1, SQLITE_STATIC);
            CheckRecord record = blank_record();
            int rc;
            while ((rc = sqlite3_step(query.get())) == SQLITE_ROW) {
                copy_column(query.get(), 0, record.CHKID);
                copy_column(query.get(), 1, record.CHKDATE);
                copy_column(query.get(), 2, record.VENDORID);
                copy_column(query.get(), 3, record.NAME);
                copy_column(query.get(), 4, record.POID);
                copy_column(query.get(), 5, record.DESC);
                copy_column(query.get(), 6, record.AMOUNT);
                copy_column(query.get(), 7, record.ID);
                builder.add(record);
                outcome.total_cents += stored_cents(field_text(record.AMOUNT));
            }
            if (rc != SQLITE_DONE) fail(std::string("SQLite: ") + sqlite3_errmsg(db_));
            builder.close();
            outcome.line_count = builder.line_count();
            outcome.total = double(outcome.total_cents) / 100.0;
        });
    }

    std::string plan(const SearchCase &c) {
        open();
        Statement query(db_, ("EXPLAIN QUERY PLAN " + c.sql).c_str());
        std::string text;
        while (sqlite3_step(query.get()) == SQLITE_ROW) {
            if (!text.empty()) text += "; ";
            text += reinterpret_cast<const char *>(sqlite3_column_text(query.get(), 3));
        }
        return text;
    }

private:
    void open() {
        if (db_) return;
        if (sqlite3_open(path_.c_str(), &db_) != SQLITE_OK) fail("cannot open " + path_);
        exec("PRAGMA cache_size = -" + std::to_string(cache_kib_));
    }
    void close() {
        if (db_) sqlite3_close(db_);
        db_ = nullptr;
    }
    void exec(const std::string &sql) {
        char *error = nullptr;
        if (sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
            std::string why = error ? error : "?";
            sqlite3_free(error);
            fail("SQLite: " + why + " in " + sql);
        }
    }

    template <std::size_t N>
    static void copy_column(sqlite3_stmt *stmt, int column, char (&field)[N]) {
        const void *text = sqlite3_column_text(stmt, column);
        const int bytes = sqlite3_column_bytes(stmt, column);
        std::memset(field, ' ', N);
        std::memcpy(field, text, std::min<std::size_t>(N, std::size_t(bytes)));
    }

    // The import's work for SQLite: the same file read in large chunks, the
    // same line parser, the same ids, one INSERT each in one transaction.
    std::size_t insert_lines(const std::string &csv) {
        std::ifstream in(csv, std::ios::binary);
        if (!in) fail("cannot read " + csv);
        exec("BEGIN");
        Statement insert(db_, "INSERT INTO checks VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8)");
        std::vector<char> chunk(1 << 20);
        std::string text;
        std::size_t rows = 0;
        std::uint64_t counter = 0;
        CheckRecord record{};
        auto take_lines = [&](bool at_end) {
            std::size_t pos = 0, last_break = text.rfind('\n');
            std::string_view all(text);
            if (!at_end) all = all.substr(0, last_break == std::string::npos ? 0 : last_break + 1);
            std::string_view line;
            while (next_import_line(all, &pos, &line)) {
                record = blank_record();
                if (parse_import_line(line, record) != ImportLineStatus::Ok) continue;
                set_field(record.ID, *record_id_text(++counter));
                bind_record(insert.get(), record);
                if (sqlite3_step(insert.get()) != SQLITE_DONE)
                    fail(std::string("SQLite: ") + sqlite3_errmsg(db_));
                sqlite3_reset(insert.get());
                ++rows;
            }
            text.erase(0, pos);
        };
        while (in.read(chunk.data(), std::streamsize(chunk.size())) || in.gcount() > 0) {
            text.append(chunk.data(), std::size_t(in.gcount()));
            take_lines(false);
        }
        take_lines(true);
        exec("COMMIT");
        return rows;
    }

    static void bind_record(sqlite3_stmt *stmt, const CheckRecord &r) {
        auto bind = [&](int n, const auto &field) {
            sqlite3_bind_text(stmt, n, field, int(sizeof field), SQLITE_STATIC);
        };
        bind(1, r.ID);
        bind(2, r.CHKID);
        bind(3, r.CHKDATE);
        bind(4, r.VENDORID);
        bind(5, r.NAME);
        bind(6, r.POID);
        bind(7, r.DESC);
        bind(8, r.AMOUNT);
    }

    std::string path_;
    std::size_t cache_kib_;
    sqlite3 *db_ = nullptr;
};

// ---- checks and the table --------------------------------------------------------

void check_same(const SearchCase &c, const ResultList &a, const SearchResult &oa,
                const ResultList &b, const SearchResult &ob) {
    if (a.size() != b.size() || oa.line_count != ob.line_count || oa.total_cents != ob.total_cents)
        fail(std::string(c.name) + ": Ledgrove lists " + std::to_string(a.size()) + " lines, " +
             std::to_string(oa.line_count) + " checks, " + std::to_string(oa.total_cents) +
             " cents; SQLite " + std::to_string(b.size()) + ", " + std::to_string(ob.line_count) + ", " +
             std::to_string(ob.total_cents));
    for (std::size_t i = 0; i < a.size(); ++i)
        if (a.line(i) != b.line(i))
            fail(std::string(c.name) + ": line " + std::to_string(i + 1) + " differs:\n  " +
                 std::string(a.line(i)) + "\n  " + std::string(b.line(i)));
}

// A digest of a list's lines, to tell that two lists are the same.
std::uint64_t digest(const ResultList &lines) {
    std::uint64_t hash = 1469598103934665603ull;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        for (char c : lines.line(i)) hash = (hash ^ std::uint8_t(c)) * 1099511628211ull;
        hash = (hash ^ '\n') * 1099511628211ull;
    }
    return hash;
}

struct FillFigures {
    double seconds = 0;
    double peak_mib = 0;
    std::size_t lines = 0;
    std::uint64_t digest = 0;
    bool in_dialog = false;
};

double peak_rss_mib() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_maxrss) / 1024.0;
}

struct Row {
    std::string operation;
    double ledgrove, sqlite;
};

std::string with_commas(std::size_t n) {
    std::string digits = std::to_string(n), out;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i && (digits.size() - i) % 3 == 0) out += ',';
        out += digits[i];
    }
    return out;
}

void print_table(const std::vector<Row> &rows, std::size_t checks, int runs,
                 const FillFigures &fill) {
    std::printf("\nLedgrove against SQLite %s, %s checks, median of %d runs, warm cache, %s\n\n",
                sqlite3_libversion(), with_commas(checks).c_str(), runs,
                g_cpu_time ? "CPU time (user + system)" : "wall-clock time");
    std::printf("| %-44s | %10s | %10s | %6s |\n", "operation", "Ledgrove", "SQLite", "ratio");
    std::printf("|%s|%s|%s|%s|\n", std::string(46, '-').c_str(), std::string(12, '-').c_str(),
                std::string(12, '-').c_str(), std::string(8, '-').c_str());
    for (const Row &r : rows)
        std::printf("| %-44s | %8.3f s | %8.3f s | %6.2f |\n", r.operation.c_str(), r.ledgrove,
                    r.sqlite, r.sqlite > 0 ? r.ledgrove / r.sqlite : 0.0);
    std::printf("| %-44s | %8.3f s | %10s | %6s |\n",
                ("list fill, " + with_commas(fill.lines) + " Date search lines").c_str(),
                fill.seconds, "-", "-");
    std::printf("| %-44s | %6.1f MiB | %10s | %6s |\n",
                fill.in_dialog ? "list fill, peak memory (dialog process)"
                               : "list fill, peak memory (the list)",
                fill.peak_mib, "-", "-");
    std::printf("\nList fill: %s.\n",
                fill.in_dialog ? "the search window's Date search, list filled, laid out and "
                                 "painted (offscreen)"
                               : "a ResultList filled with the Date search's lines (no desktop "
                                 "program in this build)");
}

#ifndef LEDGROVE_COMPARE_WITH_DIALOG
// Memory the process holds on the heap now.
std::size_t heap_in_use() {
    struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;
}

// Fills a fresh list with the lines as the search window's list is filled
// (reserved, then one append a line); returns the peak of heap growth.
std::size_t fill_list(const ResultList &lines, ResultList &list, bool sample) {
    const std::size_t before = heap_in_use();
    std::size_t peak = 0;
    list.reserve(kDialogReservedLines, kDialogReservedBytes);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        list.append(lines.line(i));
        if (sample && i % 256 == 0) peak = std::max(peak, heap_in_use() - before);
    }
    if (sample) peak = std::max(peak, heap_in_use() - before);
    return peak;
}

#endif

#ifdef LEDGROVE_COMPARE_WITH_DIALOG
// The child process: the search window over the Ledgrove register, the Date
// search of the table run from it `runs` times; prints its figures.
int fill_dialog_list(const std::string &register_dir, int runs) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR")) {
        const std::string runtime = register_dir + "/../runtime";
        fs::create_directories(runtime);
        fs::permissions(runtime, fs::perms::owner_all);
        qputenv("XDG_RUNTIME_DIR", runtime.c_str());
    }
    // Settings of its own: the window opens at its first size and text
    // size whatever this machine's user chose, so runs compare.
    const std::string config = register_dir + "/../config";
    fs::create_directories(config);
    qputenv("XDG_CONFIG_HOME", config.c_str());
    int argc = 1;
    char name[] = "register_compare";
    char *argv[] = {name, nullptr};
    QApplication app(argc, argv);
    DatabaseSet set(register_dir);
    set.open();
    const SearchCase date = search_cases().front();
    ui::SearchWindow window(set);
    window.show();
    using namespace control;
    const auto year = [](const std::string &stored) { return stored.substr(0, 4); };
    window.set_control_text(kFromMonth, date.inputs.from.substr(4, 2));
    window.set_control_text(kFromDay, date.inputs.from.substr(6, 2));
    window.set_control_text(kFromYear, year(date.inputs.from));
    window.set_control_text(kToMonth, date.inputs.to.substr(4, 2));
    window.set_control_text(kToDay, date.inputs.to.substr(6, 2));
    window.set_control_text(kToYear, year(date.inputs.to));
    for (int id : {kSubtotals, kSubtotalByMonth})
        if (auto *box = qobject_cast<QCheckBox *>(window.control(id))) box->setChecked(true);
    QApplication::processEvents();
    std::vector<double> times;
    for (int r = 0; r <= runs; ++r) {
        const double seconds = timed([&] {
            window.command(kReport);
            QApplication::processEvents();  // the list's layout and first paint
        });
        if (r > 0) times.push_back(seconds);
    }
    std::printf("%.6f %.3f %zu %llu\n", median(times), peak_rss_mib(), window.results().size(),
                static_cast<unsigned long long>(digest(window.results())));
    return 0;
}

// Runs the window's fill in a process of its own.
bool fill_in_dialog(const std::string &register_dir, int runs, FillFigures &out) {
    char self[4096];
    const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    if (n <= 0) return false;
    self[n] = '\0';
    const std::string command = "'" + std::string(self) + "' --fill-dialog '" + register_dir +
                                "' " + std::to_string(runs) + (g_cpu_time ? " --cpu" : "");
    FILE *child = popen(command.c_str(), "r");
    if (!child) return false;
    unsigned long long hash = 0;
    const int got =
        std::fscanf(child, "%lf %lf %zu %llu", &out.seconds, &out.peak_mib, &out.lines, &hash);
    const int status = pclose(child);
    out.digest = hash;
    out.in_dialog = true;
    return got == 4 && status == 0;
}
#endif

std::size_t count_lines(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<char> chunk(1 << 20);
    std::size_t lines = 0;
    while (in.read(chunk.data(), std::streamsize(chunk.size())) || in.gcount() > 0)
        lines += std::size_t(std::count(chunk.begin(), chunk.begin() + in.gcount(), '\n'));
    return lines;
}

}  // namespace

int main(int argc, char **argv) {
#ifdef LEDGROVE_COMPARE_WITH_DIALOG
    if (argc >= 4 && std::string(argv[1]) == "--fill-dialog") {
        g_cpu_time = argc >= 5 && std::string(argv[4]) == "--cpu";
        return fill_dialog_list(argv[2], std::max(1, std::atoi(argv[3])));
    }
#endif
    if (argc < 3) {
        std::fprintf(stderr, "usage: register_compare SAMPLE.csv WORK_DIR [--runs R] [--cpu]\n");
        return 2;
    }
    const std::string csv = argv[1], work = argv[2];
    int runs = 5;
    for (int i = 3; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--runs" && i + 1 < argc) runs = std::max(1, std::atoi(argv[++i]));
        else if (arg == "--cpu") g_cpu_time = true;
        else fail("unknown argument " + arg);
    }
    const std::size_t checks = count_lines(csv);
    std::setvbuf(stdout, nullptr, _IOLBF, 0);

    LedgroveSide ledgrove(work + "/ledgrove");
    SqliteSide sqlite(work, std::max<std::size_t>(engine_rebuild_memory_ceiling(), 2000 * 1024));
    std::vector<Row> rows;
    // One untimed run of each, then `runs` alternating timed runs.
    auto measure = [&](const std::string &name, const std::function<double()> &ours,
                       const std::function<double()> &theirs) {
        std::printf("%s ...\n", name.c_str());
        ours();
        theirs();
        std::vector<double> a, b;
        for (int r = 0; r < runs; ++r) {
            a.push_back(ours());
            b.push_back(theirs());
        }
        rows.push_back({name, median(a), median(b)});
        std::printf("  Ledgrove %.3f s, SQLite %.3f s\n", rows.back().ledgrove,
                    rows.back().sqlite);
    };

    measure("import of " + with_commas(checks) + " lines",
            [&] { return ledgrove.import(csv, checks); }, [&] { return sqlite.import(csv, checks); });
    measure("rebuild of all eight indexes", [&] { return ledgrove.rebuild(); },
            [&] { return sqlite.rebuild(); });

    ledgrove.open();
    ResultList date_lines;
    for (const SearchCase &c : search_cases()) {
        ResultList ours, theirs;
        SearchResult ours_outcome, theirs_outcome;
        measure(c.name, [&] { return ledgrove.search(c, ours, ours_outcome); },
                [&] { return sqlite.search(c, theirs, theirs_outcome); });
        if (ours_outcome.stopped_by_error()) fail(std::string(c.name) + ": engine error");
        check_same(c, ours, ours_outcome, theirs, theirs_outcome);
        std::printf("  same %s lines from both; Ledgrove's plan: %s (%.1f MiB of work "
                    "memory); SQLite's plan: %s\n",
                    with_commas(ours.size()).c_str(), search_plan_name(ours_outcome.plan),
                    double(ours_outcome.work_bytes) / (1024.0 * 1024.0), sqlite.plan(c).c_str());
        if (c.order == SortOrder::Date) date_lines = std::move(ours);
    }

    FillFigures fill;
#ifdef LEDGROVE_COMPARE_WITH_DIALOG
    std::printf("list fill in the search window ...\n");
    ledgrove.close();
    if (!fill_in_dialog(work + "/ledgrove", runs, fill)) fail("the search window's fill failed");
    if (fill.lines != date_lines.size() || fill.digest != digest(date_lines))
        fail("the search window lists other lines than the Date search");
#else
    std::vector<double> fills;
    for (int r = 0; r <= runs; ++r) {
        ResultList list;
        if (r == 0) {
            fill.peak_mib = double(fill_list(date_lines, list, true)) / (1024.0 * 1024.0);
            continue;
        }
        fills.push_back(timed([&] { fill_list(date_lines, list, false); }));
    }
    fill.seconds = median(fills);
    fill.lines = date_lines.size();
#endif
    print_table(rows, checks, runs, fill);
    return 0;
}
