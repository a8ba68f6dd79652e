// ledgrove-cli convert end to end on the real published registers of the
// shared data set: each converts, imports and searches; the report's control
// total equals the sum of the source's amounts, computed independently with
// Python's csv module, and a search over all dates lists every written row.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "app/support/test_register.h"

namespace {

using app_test::run_cli;

std::string realdata(const std::string &name) {
    const char *shared = std::getenv("LEDGROVE_SHARED_DIR");
    return (shared ? std::string(shared) : LEDGROVE_SOURCE_DIR "/../shared") + "/realdata/" + name;
}

// The number after "Label: " on a line of the text, in cents or as it stands.
long long number_of(const std::string &text, const std::string &label, bool cents = false) {
    const std::size_t at = ("\n" + text).find("\n" + label + ": ");
    if (at == std::string::npos) return -1;
    std::string value = text.substr(at + label.size() + 2, text.find('\n', at) - at - label.size() - 2);
    std::erase(value, ',');
    return std::llround(std::strtod(value.c_str(), nullptr) * (cents ? 100 : 1));
}

struct Register {
    const char *name;
    // Files, each with its amount column for Python (a header name, or a
    // place from the right in the headerless files whose names hold
    // unquoted commas) and the conversion's options.
    std::vector<std::pair<std::string, std::string>> sources;
    std::vector<std::string> options;
};
void PrintTo(const Register &reg, std::ostream *os) { *os << reg.name; }

class ConvertRealData : public ::testing::TestWithParam<Register> {};

TEST_P(ConvertRealData, ControlTotalsMatchTheSourceAndTheSearch) {
    const Register &reg = GetParam();
    if (!std::filesystem::exists(realdata(reg.sources.front().first)))
        GTEST_SKIP() << "shared real data not found at " << realdata("");
    kvl_test::TempDir dir;
    ASSERT_EQ(run_cli(dir.root(), {"empty"}).status, 0);
    long long rows = 0, cents = 0;
    for (const auto &[file, amount] : reg.sources) {
        SCOPED_TRACE(file);
        long long source_rows = -1, source_cents = 0;
        std::sscanf(app_test::python("import csv, sys\nfrom decimal import Decimal\n"
                                     "rows = [r for r in csv.reader(open(sys.argv[1], newline='', "
                                     "encoding='utf-8-sig')) if r]\n"
                                     "c = sys.argv[2]\n"
                                     "data, i = (rows, int(c)) if c[0] == '-' else (rows[1:], rows[0].index(c))\n"
                                     "print(len(data), int(sum(Decimal(r[i]) for r in data) * 100))\n",
                                     {realdata(file), amount}).c_str(), "%lld %lld", &source_rows, &source_cents);
        ASSERT_GE(source_rows, 1) << "python3 could not sum it";
        std::vector<std::string> args = {"convert", realdata(file), "part.csv", "--report", "report.txt"};
        args.insert(args.end(), reg.options.begin(), reg.options.end());
        const app_test::CliRun converted = run_cli(dir.root(), args);
        ASSERT_EQ(converted.status, 0) << converted.err;
        const std::string report = app_test::read_file(dir.path("report.txt"));
        EXPECT_EQ(number_of(report, "Rows read"), source_rows);
        EXPECT_EQ(number_of(report, "Rows written"), source_rows) << report;
        EXPECT_EQ(number_of(report, "Control total of the amounts written", true), source_cents);
        const app_test::CliRun imported = run_cli(dir.root(), {"import", "part.csv"});
        ASSERT_EQ(imported.status, 0) << imported.err;
        EXPECT_NE(imported.out.find("Imported " + std::to_string(source_rows) + " records"), std::string::npos);
        rows += source_rows;
        cents += source_cents;
    }
    const app_test::CliRun search = run_cli(dir.root(), {"search", "--from", "01/01/1900", "--to", "12/31/2099"});
    ASSERT_EQ(search.status, 0) << search.err;
    EXPECT_EQ(number_of(search.out, "Records"), rows);
    EXPECT_EQ(std::count(search.out.begin(), search.out.end(), '\n'), rows + 3);
    EXPECT_EQ(number_of(search.out, "Total Amount", true), cents);
}

INSTANTIATE_TEST_SUITE_P(
    Registers, ConvertRealData,
    ::testing::Values(
        Register{"Troy", {{"troy-sd/troy_sd_check_register_fy23_fy26.csv", "Amount"}}, {}},
        Register{"ElCerrito",
                 {{"el-cerrito/2025-01.csv", "amount"}, {"el-cerrito/2025-02.csv", "amount"},
                  {"el-cerrito/2025-04.csv", "amount"}, {"el-cerrito/2025-05.csv", "amount"},
                  {"el-cerrito/2025-06-07.csv", "amount"}}, {}},
        Register{"RichlandCounty", {{"richland-county-sc/richChecks.txt", "-1"}},
                 {"--no-header", "--check-id", "3", "--date", "1", "--vendor-name", "5", "--amount", "7",
                  "--merge-extra", "5"}},
        Register{"Columbia", {{"richland-county-sc/Columbia.txt", "-4"}},
                 {"--no-header", "--vendor-name", "1", "--date", "2", "--amount", "3", "--description", "5",
                  "--merge-extra", "1"}}),
    [](const ::testing::TestParamInfo<Register> &info) { return info.param.name; });

}  // namespace
