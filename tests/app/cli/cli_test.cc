// ledgrove-cli end to end: the built program run in a scratch register
// directory, its search output compared with the same search run
// in-process, its summaries and table files read back by Python, every
// command's exit status and one-line error, text as the terminal has it,
// and the help.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <regex>
#include <string>
#include <vector>

#include "app/search/result_lines.h"
#include "app/search/result_list.h"
#include "app/search/search.h"
#include "app/store/register_files.h"
#include "app/support/records.h"
#include "app/support/test_register.h"

namespace {

using namespace ledgrove;
using app_test::CliRun;
using app_test::read_file;
using app_test::run_cli;
namespace fs = std::filesystem;

// A register of 400 sample checks from 2006 to 2020, made by the program.
class CliTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir_ = new kvl_test::TempDir;
        for (const std::vector<std::string> &args :
             {std::vector<std::string>{"demo", "400", "sample.csv"}, {"empty"}, {"import", "sample.csv"}}) {
            const CliRun run = cli(args);
            ASSERT_EQ(run.status, 0) << run.err;
        }
    }
    static void TearDownTestSuite() { delete dir_; }
    static CliRun cli(const std::vector<std::string> &args) { return run_cli(dir_->root(), args); }
    static kvl_test::TempDir *dir_;
};

kvl_test::TempDir *CliTest::dir_ = nullptr;

TEST_F(CliTest, SearchPrintsTheLinesTheSearchFindsAndThreeClosingLines) {
    using In = SearchInputs;
    const struct {
        std::vector<std::string> args;
        SortOrder order;
        const char *from, *to;
        std::function<void(In &)> set;
    } cases[] = {
        {{}, SortOrder::Date, "20060101", "20201231", [](In &) {}},  // the whole register
        {{"--from", "3/1/2010", "--to", "06/30/2010", "--subtotals", "--by-month"}, SortOrder::Date,
         "20100301", "20100630", [](In &i) { i.subtotals = i.dates_by_month = true; }},
        {{"--order", "amount", "--reverse", "--subtotals"}, SortOrder::Amount, "20060101", "20201231",
         [](In &i) { i.reverse = i.subtotals = true; }},
        {{"--vendor-name", "co", "--description", "re", "--po-number", "PO", "--vendor-id", "0", "--check-id", "1",
          "--order", "description"},
         SortOrder::Description, "20060101", "20201231",
         [](In &i) { i.vendor_name = "co"; i.description = "re"; i.po_number = "PO"; i.vendor_id = "0"; i.check_id = "1"; }},
        {{"--amount-min", "100", "--amount-max", "5000", "--any", "co", "--order", "po-number"},
         SortOrder::PONumber, "20060101", "20201231",
         [](In &i) { i.amount_min = "100"; i.amount_max = "5000"; i.any_text = "co"; }},
        {{"--fiscal-year", "2010", "--order", "vendor-id", "--amount-op", "<", "--amount", "500"}, SortOrder::VendorID,
         "20090701", "20100630", [](In &i) { i.amount_operator = '<'; i.amount = "500"; }},
        {{"--quarter", "2012q2", "--fiscal-start", "jan", "--order", "check-id"}, SortOrder::CheckID, "20120401",
         "20120630", [](In &) {}},
    };
    DatabaseSet set(dir_->root());
    set.open();
    for (const auto &c : cases) {
        std::vector<std::string> args = {"search"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        SCOPED_TRACE(::testing::PrintToString(args));
        SearchInputs in;
        in.from = c.from;
        in.to = c.to;
        c.set(in);
        ResultList list;
        const SearchResult result = search_records(set, c.order, in, list);
        ASSERT_GT(list.size(), 0u);
        std::string want;
        for (std::size_t i = 0; i < list.size(); ++i) want += std::string(list.line(i)) + "\n";
        want += "Records: " + std::to_string(result.line_count) + "\nTotal Amount: " + total_text(result.total) + "\n";
        const CliRun run = cli(args);
        ASSERT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(run.err, "");
        EXPECT_EQ(run.out.substr(0, want.size()), want);
        EXPECT_TRUE(std::regex_match(run.out.substr(want.size()), std::regex("[0-9]+ seconds\n"))) << run.out;
    }
}

TEST_F(CliTest, SummaryChartAndTableFilesHoldTheSearchsChecks) {
    DatabaseSet set(dir_->root());
    set.open();
    SearchInputs fy2010;
    fy2010.from = "20090701";
    fy2010.to = "20100630";
    ResultList list;
    const SearchResult result = search_records(set, SortOrder::Date, fy2010, list);
    ASSERT_GT(result.line_count, 10u);
    const std::string figures = std::to_string(result.line_count) + " " + std::to_string(result.total_cents) + "\n";
    CliRun run = cli({"summary", "--by", "month", "--fiscal-year", "2010", "--output", "s.json", "--chart", "c.png",
                      "--chart-size", "640x480"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("Groups: 12\nRecords: " + std::to_string(result.line_count) + "\nTotal Amount: " +
                           total_text(result.total) + "\n"), std::string::npos) << run.out;
    EXPECT_EQ(app_test::python("import json,sys; d=json.load(open(sys.argv[1])); "
                               "print(sum(r['checks'] for r in d), round(sum(r['total'] for r in d)*100))",
                               {dir_->path("s.json")}), figures);
    EXPECT_EQ(read_file(dir_->path("c.png")).substr(12, 12), std::string("IHDR\0\0\x02\x80\0\0\x01\xE0", 12));
    run = cli({"search", "--fiscal-year", "2010", "--format", "csv", "--order", "amount"});
    ASSERT_EQ(run.status, 0) << run.err;
    app_test::write_file(dir_->path("out.csv"), run.out);
    EXPECT_EQ(app_test::python("import csv,sys; r=list(csv.DictReader(open(sys.argv[1], newline=''))); "
                               "print(len(r), round(sum(float(x['Amount']) for x in r)*100))",
                               {dir_->path("out.csv")}), figures);
}

TEST_F(CliTest, EveryCommandsExitStatusAndOneLineError) {
    kvl_test::TempDir bare, fresh;
    const std::string here = dir_->root(), none = bare.root(), made = fresh.root();
    const std::string sample = read_file(dir_->path("sample.csv")), first = sample.substr(0, sample.find('\n') + 1);
    app_test::write_file(fresh.path("in.csv"), first + "too short\r\n\r\n" + first);
    app_test::write_file(dir_->path("notes.csv"), "no check here\r\n");
    app_test::write_file(dir_->path("pub.csv"), "Check,Date,Payee,Amount\r\n1,3/1/2024,\"A, B\",5\r\n");
    fs::copy(here, fresh.path("broken"));  // a register with an index missing
    fs::remove(fresh.path("broken/ChkRNAM.IX4"));
    const struct {
        std::string dir;
        std::vector<std::string> args;
        int status;
        std::string says;  // in the output, else in the error line
    } cases[] = {
        {made, {"empty"}, 0, ""},  // a new register
        {made, {"import", "in.csv"}, 0,
         "Skipped line 2: line too short\nBlank lines passed over: 1\nImported 2 records, ids 000001 to 000002\n"},
        {made, {"export", "x.csv"}, 0, "Exported 2 records"},
        {made, {"reindex"}, 0, ""},
        {made, {"empty"}, 0, "ChkREG-before-empty-"},
        {here, {"convert", "pub.csv", "out.csv"}, 0, "Control total of the amounts written: 5.00\n"},
        {fresh.path("broken"), {"search", "--order", "amount"}, 0, "Records: 400"},
        {fresh.path("broken"), {"search", "--order", "vendor-name"}, 1, "ChkRNAM.IX4 is missing"},
        {none, {"search"}, 1, "ChkREG.DBF is missing"},
        {none, {"reindex"}, 1, "ChkREG.DBF"},
        {none + "/nowhere", {"search"}, 1, "cannot change to directory"},
        {here, {"import", "missing.csv"}, 1, "cannot open missing.csv: file not found (error 2)"},
        {here, {"import", "notes.csv"}, 1, "no line of notes.csv could be imported"},
        {here, {"export", "no/such/dir.csv"}, 1, "cannot create no/such/dir.csv: "},
        {here, {"demo", "10", "no/such/dir.csv"}, 1, "cannot create"},
        {here, {"convert", "nope.csv", "out.csv"}, 1, "cannot read nope.csv"},
        {here, {"convert", "pub.csv", "out.csv", "--date", "When"}, 1, "no column \"When\""},
        {here, {"convert", "pub.csv", "out.csv", "--date-format", "DD/MM"}, 1, "--date-format"},
        {here, {"convert", "pub.csv", "no/such/out.csv"}, 1, "cannot create no/such/out.csv"},
        {here, {"convert", "pub.csv"}, 2, "usage"},
        {here, {"convert", "pub.csv", "out.csv", "--delimiter", ";;"}, 2, "one character"},
        {here, {"search", "--order", "bogus"}, 2, "unknown order: bogus"},
        {here, {"search", "--from", "2007-01-01"}, 2, "MM/DD/YYYY"},
        {here, {"search", "--amount-op", ">="}, 2, "--amount-op"},
        {here, {"search", "--amount", "abc"}, 2, "The Amount \"abc\" is not an amount"},
        {here, {"search", "--amount-max", "x"}, 2, "The Amount to \"x\" is not an amount"},
        {here, {"search", "--from", "02/01/2010", "--to", "1/1/2010"}, 2,
         "The From date 02/01/2010 is after the To date 01/01/2010"},
        {here, {"search", "--to", "13/01/2010"}, 2, "The To date 13/01/2010 is not a date"},
        {here, {"search", "--from", "1/1/07"}, 2, "The From date"},
        {here, {"search", "--amount", "1.234"}, 2, "more than two decimals"},
        {here, {"search", "--amount", "99999999999999"}, 2, "larger than any amount"},
        {here, {"search", "--amount-min", "100", "--amount-max", "99.99"}, 2, "is more than the Amount to"},
        {here, {"search", "--fiscal-year", "2010", "--to", "1/1/2010"}, 2, "one way"},
        {here, {"search", "--quarter", "2010Q0"}, 2, "--quarter"},
        {here, {"search", "--fiscal-start", "ju"}, 2, "--fiscal-start"},
        {here, {"search", "--colour", "red"}, 2, "unknown option: --colour"},
        {here, {"search", "--output", "x.txt"}, 2, ".csv, .xlsx or .json"},
        {here, {"summary"}, 2, "--by"},
        {here, {"summary", "--by", "month", "--chart", "c.gif"}, 2, ".png or .svg"},
        {here, {"demo", "many", "x.csv"}, 2, "whole number"},
        {here, {"export"}, 2, "usage: ledgrove-cli export FILE.csv"},
        {here, {"frobnicate"}, 2, "unknown command: frobnicate"},
        {here, {}, 2, "usage: ledgrove-cli [options] [COMMAND]"},  // the usage, on several lines
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.args));
        const CliRun run = run_cli(c.dir, c.args, "C", none);
        EXPECT_EQ(run.status, c.status) << run.err;
        EXPECT_TRUE(c.status == 0 || c.args.empty() || run.one_error_line()) << run.err;
        EXPECT_NE((c.status == 0 ? run.out + run.err : run.err).find(c.says), std::string::npos) << run.out << run.err;
    }
}

TEST(CliSearch, TextAsTheTerminalHasIt) {
    app_test::TestRegister reg;
    ASSERT_EQ(reg.import_records({app_test::make_record("1", "19980105", "V1", "CAF\xC9 ROYAL", "", "-H", "000000000001.00"),
                                  app_test::make_record("2", "20270301", "V2", "POST-DATED", "", "", "000000000002.00")})
                  .imported, 2u);
    const struct {
        std::vector<std::string> args;
        const char *locale;
        int status;
        std::string says;  // in standard output, or the error line
    } cases[] = {
        {{}, "C", 0, "Records: 2\n"},  // by default from the first date to the last
        {{"--vendor-name", "caf\xC3\xA9"}, "C.UTF-8", 0, "CAF\xC3\x89 ROYAL"},
        {{"--vendor-name", "caf\xE9"}, "C", 0, "CAF\xC9 ROYAL"},  // bytes as they are
        {{"--vendor-name", "caf\xC3\xA9", "--match-case"}, "C.UTF-8", 0, "Records: 0\n"},
        {{"--description", "-h"}, "C", 0, "Records: 1\n"},  // a value, not the help
        {{"--vendor-name", "\xD0\x96"}, "C.UTF-8", 2, "--vendor-name"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.args));
        std::vector<std::string> args = {"search"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const CliRun run = run_cli(reg.path(""), args, c.locale);
        EXPECT_EQ(run.status, c.status) << run.err;
        EXPECT_NE((c.status == 0 ? run.out : run.err).find(c.says), std::string::npos) << run.out << run.err;
        if (c.status != 0) { EXPECT_TRUE(run.one_error_line()) << run.err; }
    }
}

TEST_F(CliTest, EveryCommandHasHelp) {
    const CliRun all = cli({"--help"});
    EXPECT_EQ(all.status, 0);
    for (const char *command : {"search", "summary", "convert", "import", "export", "reindex", "empty", "demo"}) {
        EXPECT_NE(all.out.find(std::string("  ") + command + " "), std::string::npos) << command;
        const CliRun help = cli({command, "--help"});
        EXPECT_EQ(help.status, 0) << command;
        EXPECT_EQ(help.out.rfind(std::string("usage: ledgrove-cli ") + command, 0), 0u) << help.out;
    }
}

}  // namespace
