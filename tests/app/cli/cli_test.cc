// ledgrove-cli end to end: the built program run in a scratch register
// directory, its output compared with the same search run in-process
// through the dialog's controls, its exit statuses and one-line errors, and
// a register it may only read.
#include <fcntl.h>
#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "app/search/date_range.h"
#include "app/search/result_lines.h"
#include "app/search/result_list.h"
#include "app/search/search.h"
#include "app/store/register_files.h"
#include "app/support/records.h"
#include "app/support/test_register.h"

namespace {

using namespace ledgrove;
namespace fs = std::filesystem;
using Lines = std::vector<std::string>;

std::string program() { return std::string(LEDGROVE_BINARY_DIR) + "/bin/ledgrove-cli"; }

struct CliRun {
    int status = -1;
    std::string out, err;
};

// Runs ledgrove-cli with the arguments, standard output and error caught in
// files of the scratch directory.  `unprivileged`: as a user that file
// permissions bind, which root is not (nobody, when the tests run as root);
// `locale` sets LC_ALL.
CliRun run_cli(const std::string &scratch, const std::vector<std::string> &args,
               bool unprivileged = false, const char *locale = "C") {
    const std::string out = scratch + "/.stdout", err = scratch + "/.stderr";
    pid_t pid = ::fork();
    if (pid == 0) {
        ::setenv("LC_ALL", locale, 1);
        int o = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        int e = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (o < 0 || e < 0 || ::dup2(o, 1) < 0 || ::dup2(e, 2) < 0) ::_exit(127);
        constexpr uid_t kNobody = 65534;
        if (unprivileged && ::geteuid() == 0 &&
            (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0))
            ::_exit(127);
        std::vector<char *> argv;
        std::string path = program();
        argv.push_back(path.data());
        std::vector<std::string> copy = args;
        for (std::string &a : copy) argv.push_back(a.data());
        argv.push_back(nullptr);
        ::execv(path.c_str(), argv.data());
        ::_exit(127);
    }
    CliRun run;
    int status = 0;
    if (pid > 0 && ::waitpid(pid, &status, 0) == pid && WIFEXITED(status))
        run.status = WEXITSTATUS(status);
    run.out = app_test::read_file(out);
    run.err = app_test::read_file(err);
    return run;
}

Lines split(const std::string &text) {
    Lines lines;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find('\n', pos);
        if (end == std::string::npos) end = text.size();
        lines.push_back(text.substr(pos, end - pos));
        pos = end + 1;
    }
    return lines;
}

bool one_error_line(const CliRun &run) {
    return run.err.rfind("ledgrove-cli: ", 0) == 0 &&
           std::count(run.err.begin(), run.err.end(), '\n') == 1 && run.err.back() == '\n';
}

class CliTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir_ = new kvl_test::TempDir;
        CliRun demo = cli({"demo", "400", "sample.csv"});
        ASSERT_EQ(demo.status, 0) << demo.err;
        CliRun emptied = cli({"empty"});  // empty.dbf from beside the program
        ASSERT_EQ(emptied.status, 0) << emptied.err;
        CliRun imported = cli({"import", "sample.csv"});
        ASSERT_EQ(imported.status, 0) << imported.err;
        ASSERT_NE(imported.out.find("Imported 400 records"), std::string::npos) << imported.out;
    }
    static void TearDownTestSuite() { delete dir_; }

    static CliRun cli(std::vector<std::string> args) {
        args.insert(args.begin(), {"-C", dir_->root()});
        return run_cli(dir_->root(), args);
    }

    // The same search run in-process on plain inputs: the result lines and
    // the two closing lines with figures.
    static Lines in_process(SortOrder order, const SearchInputs &in) {
        DatabaseSet set(dir_->root());
        set.open();
        ResultList list;
        const SearchResult result = search_records(set, order, in, list);
        Lines lines;
        for (std::size_t i = 0; i < list.size(); ++i) lines.emplace_back(list.line(i));
        lines.push_back("Records: " + std::to_string(result.line_count));
        lines.push_back("Total Amount: " + total_text(result.total));
        return lines;
    }

    static kvl_test::TempDir *dir_;
};

kvl_test::TempDir *CliTest::dir_ = nullptr;

// Inputs of a search over the demo register's years.
SearchInputs inputs(const std::string &from = "20060101", const std::string &to = "20201231") {
    SearchInputs in;
    in.from = from;
    in.to = to;
    return in;
}

template <class T>
SearchInputs with(SearchInputs in, T SearchInputs::*field, T value) {
    in.*field = value;
    return in;
}

TEST_F(CliTest, SearchPrintsTheLinesAndThreeClosingLines) {
    SearchInputs sub2007 = with(inputs("20070101", "20071231"), &SearchInputs::subtotals, true);
    SearchInputs amount = with(inputs(), &SearchInputs::amount, std::string("5000"));
    amount.amount_operator = '>';
    SearchInputs negative = with(inputs(), &SearchInputs::amount, std::string("0"));
    negative.amount_operator = '<';
    SearchInputs texts = with(inputs(), &SearchInputs::vendor_name, std::string("co"));
    texts.description = "re";
    SearchInputs months = with(inputs("20100301", "20100630"), &SearchInputs::subtotals, true);
    months.dates_by_month = true;
    SearchInputs po = with(inputs(), &SearchInputs::po_number, std::string("PO"));
    po.vendor_id = "0";
    SearchInputs ranged = with(inputs(), &SearchInputs::amount_min, std::string("100"));
    ranged.amount_max = "5000";
    ranged.any_text = "co";
    const struct {
        std::vector<std::string> args;
        SortOrder order;
        SearchInputs in;
    } cases[] = {
        {{"--from", "01/01/2007", "--to", "12/31/2007", "--order", "vendor-name", "--subtotals"},
         SortOrder::VendorName, sub2007},
        {{}, SortOrder::Date, inputs()},  // the whole register, in date order
        {{"--order", "amount", "--amount-op", ">", "--amount", "5000"}, SortOrder::Amount, amount},
        {{"--order", "check-id", "--amount-op", "<", "--amount", "0"}, SortOrder::CheckID, negative},
        {{"--vendor-name", "co", "--description", "re", "--order", "description"},
         SortOrder::Description, texts},
        {{"--from", "3/1/2010", "--to", "06/30/2010", "--subtotals", "--by-month"}, SortOrder::Date,
         months},
        {{"--order", "po-number", "--po-number", "PO", "--vendor-id", "0"}, SortOrder::PONumber, po},
        {{"--order", "vendor-id", "--check-id", "10"}, SortOrder::VendorID,
         with(inputs(), &SearchInputs::check_id, std::string("10"))},
        {{"--order", "amount", "--reverse", "--subtotals"}, SortOrder::Amount,
         with(with(inputs(), &SearchInputs::reverse, true), &SearchInputs::subtotals, true)},
        {{"--amount-min", "100", "--amount-max", "5000", "--any", "co"}, SortOrder::Date, ranged},
        {{"--fiscal-year", "2010"}, SortOrder::Date, inputs("20090701", "20100630")},
        {{"--quarter", "2012q2", "--fiscal-start", "jan"}, SortOrder::Date,
         inputs("20120401", "20120630")},
    };
    for (const auto &c : cases) {
        std::vector<std::string> args = {"search"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        SCOPED_TRACE(::testing::PrintToString(args));
        CliRun run = cli(args);
        ASSERT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(run.err, "");
        Lines out = split(run.out);
        ASSERT_GE(out.size(), 3u);
        EXPECT_TRUE(std::regex_match(out.back(), std::regex("[0-9]+ seconds"))) << out.back();
        out.pop_back();
        const Lines expected = in_process(c.order, c.in);
        ASSERT_GT(expected.size(), 2u);
        EXPECT_EQ(out, expected);
    }
}

// What Python's own modules make of a file: `code` reads sys.argv[1].
std::string python(const std::string &code, const std::string &path) {
    FILE *pipe = ::popen(("/usr/bin/python3 -c '" + code + "' " + path).c_str(), "r");
    std::string text;
    char buffer[256];
    for (std::size_t n; pipe && (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        text.append(buffer, n);
    if (pipe) ::pclose(pipe);
    return text;
}

TEST_F(CliTest, SummaryChartAndTablesCoverTheSearchsChecks) {
    DatabaseSet set(dir_->root());
    set.open();
    ResultList list;
    const SearchResult fy2010 = search_records(set, SortOrder::Date, inputs("20090701", "20100630"), list);
    ASSERT_GT(fy2010.line_count, 10u);
    const std::string figures = std::to_string(fy2010.line_count) + " " + std::to_string(fy2010.total_cents);
    const std::string sums = "import json,sys; d=json.load(open(sys.argv[1])); "
                             "print(sum(r[\"checks\"] for r in d), round(sum(r[\"total\"] for r in d)*100))";

    CliRun run = cli({"summary", "--by", "month", "--fiscal-year", "2010", "--output", "s.json",
                      "--chart", "c.png", "--chart-size", "640x480"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("Groups: 12\nRecords: " + std::to_string(fy2010.line_count) +
                           "\nTotal Amount: " + total_text(fy2010.total) + "\n"),
              std::string::npos) << run.out;
    EXPECT_EQ(python(sums, dir_->path("s.json")), figures + "\n");
    const std::string png = app_test::read_file(dir_->path("c.png"));
    ASSERT_GT(png.size(), 24u);
    EXPECT_EQ(png.substr(1, 3), "PNG");
    EXPECT_EQ(png.substr(16, 8), std::string("\0\0\x02\x80\0\0\x01\xE0", 8));  // 640 x 480

    run = cli({"summary", "--by", "vendor", "--sort", "group", "--fiscal-year", "2010", "--chart", "v.svg"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(app_test::read_file(dir_->path("v.svg")).find("<svg"), std::string::npos);

    run = cli({"search", "--fiscal-year", "2010", "--format", "csv", "--order", "amount"});
    ASSERT_EQ(run.status, 0) << run.err;
    app_test::write_file(dir_->path("out.csv"), run.out);
    EXPECT_EQ(python("import csv,sys; r=list(csv.DictReader(open(sys.argv[1], newline=\"\"))); "
                     "print(len(r), round(sum(float(x[\"Amount\"]) for x in r)*100))",
                     dir_->path("out.csv")),
              figures + "\n");
}

TEST_F(CliTest, ExportImportsAgainUnchanged) {
    ASSERT_EQ(cli({"export", "out.csv"}).status, 0);
    std::string first = app_test::read_file(dir_->path("out.csv"));
    // The same checks as the sample, in check-id order.
    Lines exported = split(first), sample = split(app_test::read_file(dir_->path("sample.csv")));
    EXPECT_EQ(exported.size(), 400u);
    std::sort(exported.begin(), exported.end());
    std::sort(sample.begin(), sample.end());
    EXPECT_EQ(exported, sample);

    kvl_test::TempDir other;
    fs::copy_file(dir_->path("out.csv"), other.path("in.csv"));
    EXPECT_EQ(run_cli(other.root(), {"-C", other.root(), "empty"}).status, 0);
    EXPECT_EQ(run_cli(other.root(), {"-C", other.root(), "import", "in.csv"}).status, 0);
    EXPECT_EQ(run_cli(other.root(), {"-C", other.root(), "export", "again.csv"}).status, 0);
    EXPECT_EQ(app_test::read_file(other.path("again.csv")), first);
    CliRun reindexed = run_cli(other.root(), {"-C", other.root(), "reindex"});
    EXPECT_EQ(reindexed.status, 0) << reindexed.err;

    // Emptying first writes the checks beside the register and names the file.
    CliRun emptied = run_cli(other.root(), {"-C", other.root(), "empty"});
    EXPECT_EQ(emptied.status, 0) << emptied.err;
    std::smatch name;
    ASSERT_TRUE(std::regex_search(emptied.out, name,
                                  std::regex("ChkREG-before-empty-[0-9]{8}-[0-9]{6}\\.csv")))
        << emptied.out;
    EXPECT_EQ(app_test::read_file(other.path(name.str())), first);
}

TEST_F(CliTest, ImportReportsSkippedLinesByNumber) {
    kvl_test::TempDir other;
    const std::string good = app_test::read_file(dir_->path("sample.csv")).substr(0, 200);
    const std::string first_line = good.substr(0, good.find('\n') + 1);
    app_test::write_file(other.path("in.csv"),
                         first_line + "too short\r\n" + "\r\n" + first_line);
    ASSERT_EQ(run_cli(other.root(), {"-C", other.root(), "empty"}).status, 0);
    CliRun run = run_cli(other.root(), {"-C", other.root(), "import", "in.csv"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "Skipped line 2: line too short\nBlank lines passed over: 1\n"
                       "Imported 2 records, ids 000001 to 000002\n");
}

TEST_F(CliTest, FailuresExitNonZeroWithOneLine) {
    kvl_test::TempDir bare;
    const std::string here = dir_->root(), none = bare.root();
    app_test::write_file(dir_->path("notes.csv"), "no check here\r\n");
    const struct {
        std::string dir;
        std::vector<std::string> args;
        int status;
        std::string says;
    } cases[] = {
        {none, {"search"}, 1, "ChkREG.DBF is missing"},
        {none, {"export", "x.csv"}, 1, "ChkREG.DBF"},
        {none, {"import", "x.csv"}, 1, "ChkREG.DBF"},
        {none, {"reindex"}, 1, "ChkREG.DBF"},
        {here, {"import", "missing.csv"}, 1, "cannot open missing.csv: file not found (error 2)"},
        {here, {"import", "notes.csv"}, 1, "no line of notes.csv could be imported"},
        {here, {"export", "no/such/dir.csv"}, 1, "cannot create no/such/dir.csv: "},
        {here, {"demo", "10", "no/such/dir.csv"}, 1, "cannot create"},
        {here, {"search", "--order", "bogus"}, 2, "unknown order: bogus"},
        {here, {"search", "--from", "2007-01-01"}, 2, "MM/DD/YYYY"},
        {here, {"search", "--amount-op", ">="}, 2, "--amount-op"},
        {here, {"search", "--amount", "abc"}, 2, "The Amount \"abc\" is not an amount"},
        {here, {"search", "--from", "02/01/2010", "--to", "1/1/2010"}, 2,
         "The From date 02/01/2010 is after the To date 01/01/2010"},
        {here, {"search", "--to", "13/01/2010"}, 2, "The To date 13/01/2010 is not a date"},
        {here, {"search", "--vendor-name"}, 2, "--vendor-name"},
        {here, {"search", "--colour", "red"}, 2, "unknown option: --colour"},
        {here, {"demo", "many", "x.csv"}, 2, "whole number"},
        {here, {"export"}, 2, "usage: ledgrove-cli export FILE.csv"},
        {here, {"frobnicate"}, 2, "unknown command: frobnicate"},
        {none + "/nowhere", {"search"}, 1, "cannot change to directory"},
        {here, {"summary"}, 2, "--by"},
        {here, {"search", "--amount-max", "x"}, 2, "The Amount to \"x\" is not an amount"},
        {here, {"search", "--fiscal-year", "2010", "--to", "1/1/2010"}, 2, "one way"},
        {here, {"search", "--quarter", "2010Q0"}, 2, "--quarter"},
        {here, {"summary", "--by", "month", "--chart", "c.gif"}, 2, ".png or .svg"},
        {here, {"search", "--output", "x.txt"}, 2, ".csv, .xlsx or .json"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.args));
        std::vector<std::string> args = {"-C", c.dir};
        args.insert(args.end(), c.args.begin(), c.args.end());
        CliRun run = run_cli(none, args);
        EXPECT_EQ(run.status, c.status);
        EXPECT_TRUE(one_error_line(run)) << run.err;
        EXPECT_NE(run.err.find(c.says), std::string::npos) << run.err;
    }
    // A register index that is missing fails its own order only.
    fs::remove(dir_->path("ChkRNAM.IX4.aside"));
    fs::rename(dir_->path("ChkRNAM.IX4"), dir_->path("ChkRNAM.IX4.aside"));
    CliRun run = cli({"search", "--order", "vendor-name"});
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(one_error_line(run));
    EXPECT_NE(run.err.find("ChkRNAM.IX4 is missing"), std::string::npos) << run.err;
    EXPECT_EQ(cli({"search", "--order", "amount"}).status, 0);  // other orders still work
    fs::rename(dir_->path("ChkRNAM.IX4.aside"), dir_->path("ChkRNAM.IX4"));
}

TEST(CliSearch, WholeRegisterByDefaultAndTextAsTheTerminalHasIt) {
    app_test::TestRegister reg;
    ASSERT_EQ(reg.import_records({app_test::make_record("1", "19980105", "V1", "CAF\xC9 ROYAL",
                                                        "", "-H", "000000000001.00"),
                                  app_test::make_record("2", "20270301", "V2", "POST-DATED", "",
                                                        "", "000000000002.00")})
                  .imported,
              2u);
    const std::string dir = reg.path("");
    auto search = [&](std::vector<std::string> args, const char *locale) {
        args.insert(args.begin(), {"-C", dir, "search"});
        return run_cli(dir, args, false, locale);
    };
    const struct {
        std::vector<std::string> args;
        const char *locale;
        int status;
        std::string says;  // in standard output, or the error line
    } cases[] = {
        {{}, "C", 0, "Records: 2\n"},  // 1998 and 2027 alike
        {{"--vendor-name", "caf\xC3\xA9"}, "C.UTF-8", 0, "CAF\xC3\x89 ROYAL"},
        {{"--vendor-name", "caf\xE9"}, "C", 0, "CAF\xC9 ROYAL"},  // bytes as they are
        {{"--vendor-name", "caf\xC3\xA9", "--match-case"}, "C.UTF-8", 0, "Records: 0\n"},
        {{"--description", "-h"}, "C", 0, "Records: 1\n"},  // a value, not the help
        {{"--vendor-name", "\xD0\x96"}, "C.UTF-8", 2, "--vendor-name"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.args));
        const CliRun run = search(c.args, c.locale);
        EXPECT_EQ(run.status, c.status) << run.err;
        EXPECT_NE((c.status == 0 ? run.out : run.err).find(c.says), std::string::npos)
            << run.out << run.err;
        if (c.status != 0) {
            EXPECT_TRUE(one_error_line(run)) << run.err;
        }
    }
}

TEST_F(CliTest, AReadOnlyRegisterSearchesAndRefusesChanges) {
    // Files and folder without write permission, for a user they bind.
    kvl_test::TempDir scratch, copy;
    const std::string ro = copy.path("ro");
    fs::copy(dir_->root(), ro);
    for (const auto &entry : fs::directory_iterator(ro))
        fs::permissions(entry.path(), fs::perms(0444));
    fs::permissions(copy.root(), fs::perms(0755));
    fs::permissions(ro, fs::perms(0555));
    const std::string data_before = app_test::read_file(ro + "/" + kDataFileName);
    auto run = [&](std::vector<std::string> args) {
        args.insert(args.begin(), {"-C", ro});
        return run_cli(scratch.root(), args, true);
    };
    CliRun searched = run({"search"});
    EXPECT_EQ(searched.status, 0) << searched.err;
    EXPECT_NE(searched.out.find("Records: 400"), std::string::npos);
    for (const char *command : {"import", "empty", "reindex"}) {
        SCOPED_TRACE(command);
        CliRun refused = std::string(command) == "import" ? run({command, "sample.csv"})
                                                          : run({command});
        EXPECT_EQ(refused.status, 1);
        EXPECT_TRUE(one_error_line(refused)) << refused.err;
        EXPECT_NE(refused.err.find("read-only"), std::string::npos) << refused.err;
    }
    EXPECT_EQ(app_test::read_file(ro + "/" + kDataFileName), data_before);
    fs::permissions(ro, fs::perms(0755));
}

TEST_F(CliTest, EveryCommandHasHelp) {
    CliRun all = cli({"--help"});
    EXPECT_EQ(all.status, 0);
    for (const char *command :
         {"search", "summary", "convert", "import", "export", "reindex", "empty", "demo"}) {
        SCOPED_TRACE(command);
        EXPECT_NE(all.out.find(std::string("  ") + command + " "), std::string::npos);
        CliRun help = cli({command, "--help"});
        EXPECT_EQ(help.status, 0);
        EXPECT_EQ(help.out.rfind(std::string("usage: ledgrove-cli ") + command, 0), 0u)
            << help.out;
    }
    CliRun none = cli({});
    EXPECT_EQ(none.status, 2);
}

}  // namespace
