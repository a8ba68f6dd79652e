// A search's named values read back into the same request, and the command
// line a shell splits into exactly the words meant.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <tuple>

#include "app/output/command_line.h"

namespace {

using namespace ledgrove;

SearchRequest read_back(const std::vector<NamedValue> &values) {
    SearchRequest back;
    for (const NamedValue &v : values)
        if (auto error = set_search_parameter(back, v.name, v.value)) ADD_FAILURE() << v.name << " " << *error;
    return back;
}

TEST(SearchParameterValues, ReadBackAsTheSameRequest) {
    SearchRequest request;
    SearchInputs &in = request.inputs;
    in = {"20230701", "20240630", "HOME DEPOT", "PIPE", "12", "P9", "V1", "(12.00)", '<', "-5", "1,000",
          "O'BRIEN", true, true, true, true};
    request.order = SortOrder::VendorName;
    request.fiscal_start = request.summary.fiscal_start = 1;
    request.summary = {SummaryGroup::FiscalYear, SummarySort::Group, 1};
    const SearchRequest back = read_back(search_parameter_values(request, true));
    const auto fields = [](const SearchRequest &r) {
        const SearchInputs &i = r.inputs;
        return std::tuple(i.from, i.to, i.vendor_name, i.description, i.check_id, i.po_number, i.vendor_id, i.amount,
                          i.amount_operator, i.amount_min, i.amount_max, i.any_text, i.match_case, i.reverse,
                          i.subtotals, i.dates_by_month, r.order, r.fiscal_start, r.summary.by, r.summary.sort,
                          r.summary.fiscal_start);
    };
    EXPECT_EQ(fields(back), fields(request));
    // A new request has nothing to say; without a summary, no "by".
    EXPECT_TRUE(search_parameter_values(SearchRequest{}, false).empty());
    EXPECT_EQ(search_parameter_values(request, false).back().name, "by-month");
}

// The words the shell makes of the line, printed one a line by printf.
std::string shell_split(const std::string &line) {
    std::unique_ptr<FILE, int (*)(FILE *)> out(popen(("printf '%s\\n' " + line).c_str(), "r"), pclose);
    std::string words;
    for (int c; out && (c = std::fgetc(out.get())) != EOF;) words += static_cast<char>(c);
    return words;
}

TEST(CliCommandLine, TheShellReadsEachWordAsWritten) {
    const std::string line = cli_command_line(
        "/srv/my register", "search",
        {{"vendor-name", "O'BRIEN & SONS"}, {"amount-min", "-50"}, {"amount-op", "<"}, {"any", "$1 *"},
         {"match-case", ""}, {"check-id", "W22-21"}});
    EXPECT_EQ(line.substr(0, 14), "ledgrove-cli -");
    EXPECT_EQ(shell_split(line),
              "ledgrove-cli\n-C\n/srv/my register\nsearch\n--vendor-name\nO'BRIEN & SONS\n--amount-min=-50\n"
              "--amount-op\n<\n--any\n$1 *\n--match-case\n--check-id\nW22-21\n");
    EXPECT_EQ(shell_word(""), "''");
}

}  // namespace
