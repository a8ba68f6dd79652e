// ledgrove-cli convert end to end on the real published registers of the
// shared data set: each converts, imports and searches; the report's control
// total equals the sum of the source's amounts, computed independently with
// Python's csv module, and a search over all dates lists every written row.
// Also the command's exit statuses and one-line failures.
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "support/engine_files.h"

namespace {

namespace fs = std::filesystem;

std::string program() { return std::string(LEDGROVE_BINARY_DIR) + "/bin/ledgrove-cli"; }

std::string shared_dir() {
    if (const char *dir = std::getenv("LEDGROVE_SHARED_DIR")) return dir;
    const char *source = std::getenv("LEDGROVE_SOURCE_DIR");
    return std::string(source ? source : LEDGROVE_SOURCE_DIR) + "/../shared";
}

std::string realdata(const std::string &name) { return shared_dir() + "/realdata/" + name; }

std::string slurp(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

struct CliRun {
    int status = -1;
    std::string out, err;
};

// Runs ledgrove-cli -C dir ARGS, its output caught in files beside.
CliRun cli(const std::string &dir, std::vector<std::string> args) {
    args.insert(args.begin(), {program(), "-C", dir});
    const std::string out = dir + "/.out", err = dir + "/.err";
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int o = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int e = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (o < 0 || e < 0 || ::dup2(o, 1) < 0 || ::dup2(e, 2) < 0) ::_exit(127);
        std::vector<char *> argv;
        for (std::string &a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    CliRun run;
    int status = 0;
    if (pid > 0 && ::waitpid(pid, &status, 0) == pid && WIFEXITED(status))
        run.status = WEXITSTATUS(status);
    run.out = slurp(out);
    run.err = slurp(err);
    return run;
}

// Rows and the sum of the amounts in cents of a source file, by Python's
// csv module: AMOUNT is a header name, or a field index from the right
// (negative) for the headerless files whose names hold unquoted commas.
struct SourceSum {
    long long rows = -1;
    long long cents = 0;
};

SourceSum python_sum(const std::string &path, const std::string &amount) {
    static const char *script =
        "import csv, sys\n"
        "from decimal import Decimal\n"
        "path, col = sys.argv[1], sys.argv[2]\n"
        "with open(path, newline='', encoding='utf-8-sig') as f:\n"
        "    rows = [r for r in csv.reader(f) if r]\n"
        "if col.startswith('-'):\n"
        "    data, idx = rows, int(col)\n"
        "else:\n"
        "    data, idx = rows[1:], rows[0].index(col)\n"
        "total = sum(Decimal(r[idx]) for r in data)\n"
        "print(len(data), int(total * 100))\n";
    const std::string command = "/usr/bin/python3 -c \"$LEDGROVE_SUM_SCRIPT\" '" + path + "' '" +
                                amount + "'";
    ::setenv("LEDGROVE_SUM_SCRIPT", script, 1);
    SourceSum sum;
    FILE *pipe = ::popen(command.c_str(), "r");
    if (!pipe) return sum;
    if (std::fscanf(pipe, "%lld %lld", &sum.rows, &sum.cents) != 2) sum.rows = -1;
    ::pclose(pipe);
    return sum;
}

// A number of a report or search line: "Label: 1,234.50" -> 1234.50.
std::string line_value(const std::string &text, const std::string &label) {
    const std::size_t at = text.find("\n" + label + ": ");
    if (at == std::string::npos) return "";
    const std::size_t start = at + label.size() + 3;
    std::string value = text.substr(start, text.find('\n', start) - start);
    value.erase(std::remove(value.begin(), value.end(), ','), value.end());
    return value;
}

long long cents_of(const std::string &number) {
    return std::llround(std::strtod(number.c_str(), nullptr) * 100.0);
}

std::size_t count_lines(const std::string &text) {
    return static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
}

struct Source {
    std::string file;
    std::string amount;  // for python_sum
    std::vector<std::string> options;
};

struct Register {
    const char *name;
    std::vector<Source> sources;
};

void PrintTo(const Register &reg, std::ostream *os) { *os << reg.name; }

class ConvertRealData : public ::testing::TestWithParam<Register> {};

TEST_P(ConvertRealData, ConvertsImportsAndSearches) {
    const Register &reg = GetParam();
    if (!fs::exists(realdata(reg.sources.front().file)))
        GTEST_SKIP() << "shared real data not found at " << shared_dir();
    kvl_test::TempDir dir;
    const CliRun emptied = cli(dir.root(), {"empty"});  // empty.dbf from beside the program
    ASSERT_EQ(emptied.status, 0) << emptied.err;

    long long expected_rows = 0, expected_cents = 0;
    for (std::size_t i = 0; i < reg.sources.size(); ++i) {
        const Source &source = reg.sources[i];
        const std::string in = realdata(source.file), out = "part" + std::to_string(i) + ".csv";
        const SourceSum sum = python_sum(in, source.amount);
        ASSERT_GE(sum.rows, 1) << "python3 could not sum " << in;

        std::vector<std::string> args = {"convert", in, out, "--report", "report.txt"};
        args.insert(args.end(), source.options.begin(), source.options.end());
        const CliRun converted = cli(dir.root(), args);
        ASSERT_EQ(converted.status, 0) << converted.err;
        const std::string report = "\n" + slurp(dir.path("report.txt"));
        EXPECT_EQ(line_value(report, "Rows read"), std::to_string(sum.rows)) << source.file;
        EXPECT_EQ(line_value(report, "Rows skipped"), "0") << report;
        EXPECT_EQ(line_value(report, "Rows written"), std::to_string(sum.rows)) << source.file;
        EXPECT_EQ(cents_of(line_value(report, "Control total of the amounts written")),
                  sum.cents) << source.file;
        EXPECT_EQ(count_lines(slurp(dir.path(out))), static_cast<std::size_t>(sum.rows));

        const CliRun imported = cli(dir.root(), {"import", out});
        ASSERT_EQ(imported.status, 0) << imported.err;
        EXPECT_NE(imported.out.find("Imported " + std::to_string(sum.rows) + " records"),
                  std::string::npos) << imported.out;
        expected_rows += sum.rows;
        expected_cents += sum.cents;
    }

    const CliRun search = cli(dir.root(), {"search", "--from", "01/01/1900", "--to", "12/31/2099"});
    ASSERT_EQ(search.status, 0) << search.err;
    const std::string out = "\n" + search.out;
    EXPECT_EQ(line_value(out, "Records"), std::to_string(expected_rows));
    EXPECT_EQ(count_lines(search.out), static_cast<std::size_t>(expected_rows) + 3);
    EXPECT_EQ(cents_of(line_value(out, "Total Amount")), expected_cents);
}

const std::vector<std::string> kRichland = {
    "--no-header", "--check-id", "3", "--date", "1", "--vendor-name", "5", "--amount", "7",
    "--merge-extra", "5"};
const std::vector<std::string> kColumbia = {
    "--no-header", "--vendor-name", "1", "--date", "2", "--amount", "3", "--description", "5",
    "--merge-extra", "1"};

INSTANTIATE_TEST_SUITE_P(
    Registers, ConvertRealData,
    ::testing::Values(
        Register{"Troy", {{"troy-sd/troy_sd_check_register_fy23_fy26.csv", "Amount", {}}}},
        Register{"ElCerrito",
                 {{"el-cerrito/2025-01.csv", "amount", {}},
                  {"el-cerrito/2025-02.csv", "amount", {}},
                  {"el-cerrito/2025-04.csv", "amount", {}},
                  {"el-cerrito/2025-05.csv", "amount", {}},
                  {"el-cerrito/2025-06-07.csv", "amount", {}}}},
        Register{"RichlandCounty", {{"richland-county-sc/richChecks.txt", "-1", kRichland}}},
        Register{"Columbia", {{"richland-county-sc/Columbia.txt", "-4", kColumbia}}}),
    [](const ::testing::TestParamInfo<Register> &info) { return info.param.name; });

bool one_error_line(const CliRun &run) {
    return run.err.rfind("ledgrove-cli: ", 0) == 0 && count_lines(run.err) == 1;
}

TEST(ConvertCommand, ExitStatusesAndMessages) {
    kvl_test::TempDir dir;
    std::ofstream(dir.path("in.csv"), std::ios::binary)
        << "Check,Date,Payee,Amount\r\n1,3/1/2024,\"A, B\",5\r\n2,3/2/2024,C,VOID\r\n";
    const struct {
        const char *what;
        std::vector<std::string> args;
        int status;
        const char *message_part;  // "" for success
    } cases[] = {
        {"skipped rows still succeed", {"convert", "in.csv", "out.csv"}, 0, ""},
        {"missing input", {"convert", "nope.csv", "out.csv"}, 1, "cannot read nope.csv"},
        {"unknown column", {"convert", "in.csv", "out.csv", "--date", "When"}, 1,
         "no column \"When\""},
        {"required field left out", {"convert", "in.csv", "out.csv", "--amount", ""}, 1,
         "no column for the amount"},
        {"date format fits nothing", {"convert", "in.csv", "out.csv", "--date-format", "YYYYMMDD"},
         0, ""},
        {"bad date pattern", {"convert", "in.csv", "out.csv", "--date-format", "DD/MM"}, 1,
         "--date-format"},
        {"output folder missing", {"convert", "in.csv", "no/such/out.csv"}, 1,
         "cannot create no/such/out.csv"},
        {"unknown option", {"convert", "in.csv", "out.csv", "--colour", "red"}, 2,
         "unknown option"},
        {"one operand", {"convert", "in.csv"}, 2, "usage"},
        {"long delimiter", {"convert", "in.csv", "out.csv", "--delimiter", ";;"}, 2,
         "one character"},
    };
    for (const auto &c : cases) {
        fs::remove(dir.path("out.csv"));
        const CliRun run = cli(dir.root(), c.args);
        EXPECT_EQ(run.status, c.status) << c.what << ": " << run.err;
        if (c.status == 0) {
            EXPECT_NE(run.err.find("Rows read: 2\n"), std::string::npos) << c.what << run.err;
            EXPECT_TRUE(fs::exists(dir.path("out.csv"))) << c.what;
            continue;
        }
        EXPECT_TRUE(one_error_line(run)) << c.what << ": " << run.err;
        EXPECT_NE(run.err.find(c.message_part), std::string::npos) << c.what << ": " << run.err;
        if (c.status == 1) {
            EXPECT_FALSE(fs::exists(dir.path("out.csv"))) << c.what;
        }
    }

    // The report names the skipped row and ends with the four totals.
    const CliRun run = cli(dir.root(), {"convert", "in.csv", "out.csv"});
    EXPECT_NE(run.err.find("row 3: the amount is not a number: \"VOID\""), std::string::npos)
        << run.err;
    EXPECT_TRUE(run.err.ends_with("Rows read: 2\nRows written: 1\nRows skipped: 1\n"
                                  "Control total of the amounts written: 5.00\n"))
        << run.err;
    EXPECT_EQ(slurp(dir.path("out.csv")),
              "1     ,03/01/2024,          ,A~ B" + std::string(31, ' ') + ",        ," +
                  std::string(35, ' ') + ",5.00\r\n");
}

}  // namespace
