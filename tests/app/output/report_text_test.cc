// report_text_test.cc - the report's words: sums of record lines only, in
// cents; the criteria of a search; lines kept within their width.
#include "app/output/report_text.h"

#include <gtest/gtest.h>

#include <vector>

#include "app/search/result_lines.h"
#include "app/support/records.h"

namespace {

using namespace ledgrove;
using app_test::make_record;

TEST(ReportText, SumsTakeRecordLinesOnly) {
    // Three checks in two vendor groups, with subtotals: separators,
    // subtotal and blank lines carry amounts or none, and count for nothing.
    ResultList list;
    ResultBuilder builder(list, {SortOrder::VendorName, true, false});
    builder.add(make_record("000001", "20070101", "V1", "ACME", "P1", "D", "000000001234.50"));
    builder.add(make_record("000002", "20070102", "V1", "ACME", "P1", "D", "000000000000.10"));
    builder.add(make_record("000003", "20070103", "V2", "ZETA", "P1", "D", "-00000000100.20"));
    builder.close();
    ASSERT_GT(list.size(), 3u);

    const LinesSum all = sum_record_lines(list);
    EXPECT_EQ(all.checks, 3u);
    EXPECT_EQ(all.cents, 123450 + 10 - 10020);

    std::vector<std::size_t> every_row;
    for (std::size_t r = 0; r < list.size() + 2; ++r) every_row.push_back(r);  // two past the end
    const LinesSum rows = sum_record_lines(list, every_row);
    EXPECT_EQ(rows.checks, all.checks);
    EXPECT_EQ(rows.cents, all.cents);

    const std::vector<std::size_t> first_group_and_subtotal = {0, 1, 2, 3};
    const LinesSum some = sum_record_lines(list, first_group_and_subtotal);
    EXPECT_EQ(some.checks, 2u);
    EXPECT_EQ(some.cents, 123460);
    EXPECT_EQ(summary_text(some), "2 checks, total 1,234.60");
}

TEST(ReportText, CriteriaInWords) {
    SearchInputs base;
    base.from = "20190301";
    base.to = "20190331";
    struct Case {
        const char *what;
        SearchInputs inputs;
        SortOrder order;
        std::vector<std::string> lines;
    };
    std::vector<Case> cases;
    cases.push_back({"nothing but the dates", base, SortOrder::Date,
                     {"Checks dated 03/01/2019 to 03/31/2019, in Date order.", "No match texts.",
                      "Any amount.", "No subtotals."}});
    SearchInputs full = base;
    full.reverse = true;
    full.vendor_name = "HOME DEPOT";
    full.description = "paper";
    full.match_case = true;
    full.amount = "$10,000";
    full.amount_operator = '>';
    full.subtotals = true;
    cases.push_back({"everything", full, SortOrder::VendorName,
                     {"Checks dated 03/01/2019 to 03/31/2019, in Vendor Name order, reversed.",
                      "Vendor Name contains \"HOME DEPOT\", Description contains \"paper\"; letter "
                      "case counts.",
                      "Amount greater than 10,000.00.", "Subtotals by Vendor Name."}});
    SearchInputs by_month = base;
    by_month.subtotals = by_month.dates_by_month = true;
    by_month.check_id = "12";
    by_month.amount = "-5";
    by_month.amount_operator = '<';
    cases.push_back({"months", by_month, SortOrder::Date,
                     {"Checks dated 03/01/2019 to 03/31/2019, in Date order.",
                      "Check ID contains \"12\"; letter case ignored.", "Amount less than -5.00.",
                      "Subtotals by month."}});
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(criteria_lines(c.inputs, c.order, 125), c.lines);
    }
}

TEST(ReportText, CriteriaKeepToTheirWidth) {
    SearchInputs in;
    in.from = "20190301";
    in.to = "20190331";
    in.vendor_name = std::string(35, 'V');
    in.description = "A LONG DESCRIPTION TEXT";
    in.po_number = "P1";
    std::string joined;
    for (const std::string &line : criteria_lines(in, SortOrder::PONumber, 30)) {
        EXPECT_LE(line.size(), 30u) << line;
        EXPECT_FALSE(line.empty());
        joined += line + " ";
    }
    // Nothing is lost but the spaces the lines were cut at, and an overlong word's cut.
    EXPECT_NE(joined.find("A LONG DESCRIPTION TEXT"), std::string::npos) << joined;
    EXPECT_NE(joined.find("PO Number order."), std::string::npos) << joined;
}

TEST(ReportText, SmallTexts) {
    EXPECT_EQ(selection_note(1, 1), "The 1 line selected of 1.");
    EXPECT_EQ(selection_note(12, 4000), "The 12 lines selected of 4,000.");
    EXPECT_EQ(printed_on_text(2026, 7, 4), "Printed 07/04/2026");
    EXPECT_EQ(summary_text({47917, 41727526096}), "47,917 checks, total 417,275,260.96");
}

}  // namespace
