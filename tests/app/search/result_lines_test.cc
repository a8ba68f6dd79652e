// Whole result lists in every order, with and without subtotals.  The
// expected lines are written out from the column layout by hand.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "app/search/result_lines.h"
#include "app/search/result_list.h"
#include "app/support/records.h"
#include "app/support/register_sample.h"

namespace {

using namespace ledgrove;
using namespace app_test;
using Lines = std::vector<std::string>;

const std::string SEP = S(111) + "==============";
const std::string BLANK = " ";

const std::string A0 = S(12) + ".00";
const std::string A87_50 = S(10) + "87.50";
const std::string A100 = S(9) + "100.00";
const std::string A187_50 = S(9) + "187.50";
const std::string A200 = S(9) + "200.00";
const std::string AM12_50 = S(9) + "-12.50";
const std::string A1234_50 = S(7) + "1,234.50";
const std::string A1334_50 = S(7) + "1,334.50";

std::string sub(std::size_t spaces, const std::string &label, const char *arrow,
                const std::string &amount) {
    return S(spaces) + "   Subtotal for " + label + arrow + amount;
}
const char *DA = ": ----->";  // date arrow
const char *FA = " ----->";   // field arrow

Lines run(ResultOptions options, const std::vector<CheckRecord> &records) {
    ResultList list;
    ResultBuilder builder(list, options);
    for (const CheckRecord &r : records) builder.add(r);
    builder.close();
    Lines lines;
    for (std::size_t i = 0; i < list.size(); ++i) lines.emplace_back(list.line(i));
    return lines;
}

TEST(ResultLines, RecordLinesFollowTheColumns) {
    for (const std::string *l : {&L1, &L2, &L3, &L4}) ASSERT_EQ(l->size(), 125u) << *l;
    EXPECT_EQ(record_line(R1), L1);
    EXPECT_EQ(record_line(R2), L2);
    EXPECT_EQ(record_line(R3), L3);
    EXPECT_EQ(record_line(R4), L4);
    EXPECT_EQ(separator_line(), SEP);
}

// The headings' columns hold what a record line puts there: each field
// starts at its column's first and ends before the next column, one space
// between; the amount ends at the line's end.
TEST(ResultLines, HeadingColumnsHoldTheirFields) {
    const CheckRecord r = make_record("C12345", "20070102", "V123456789", std::string(35, 'N'),
                                      "P1234567", std::string(35, 'D'), "000000001234.50");
    const std::string line = record_line(r);
    const struct {
        SortOrder order;
        std::string shown;
    } fields[] = {
        {SortOrder::CheckID, "C12345"},        {SortOrder::Date, "01/02/2007"},
        {SortOrder::VendorID, "V123456789"},   {SortOrder::VendorName, std::string(35, 'N')},
        {SortOrder::PONumber, "P1234567"},     {SortOrder::Description, std::string(35, 'D')},
        {SortOrder::Amount, S(7) + "1,234.50"},
    };
    std::size_t next = 0;
    for (const ResultColumn &c : kResultColumns) {
        SCOPED_TRACE(std::string(sort_order_caption(c.order)));
        EXPECT_EQ(c.first, next);
        next = c.first + c.width;
        for (const auto &f : fields)
            if (f.order == c.order) {
                EXPECT_EQ(line.substr(c.first, f.shown.size()), f.shown);
                EXPECT_LE(f.shown.size() + (next < line.size() ? 1 : 0), c.width);
                if (next < line.size()) {
                    EXPECT_EQ(line[next - 1], ' ');
                }
            }
    }
    EXPECT_EQ(next, line.size());
}

TEST(ResultLines, FieldStoredShortShortensTheLine) {
    CheckRecord r = R4;
    std::memset(r.NAME, 0, sizeof r.NAME);
    std::memcpy(r.NAME, "SMITH", 5);
    std::memset(r.POID, 0, sizeof r.POID);
    std::string line = record_line(r);
    EXPECT_EQ(line, "100003 10/02/2007 0000000018 SMITH  TRAVEL REIMBURSEMENT" + S(15) + " " +
                        S(7) + "1,234.50");
}

TEST(ResultLines, WholeListsWithSubtotals) {
    const std::vector<CheckRecord> in_order = {R1, R2, R3, R4};
    const struct {
        const char *what;
        ResultOptions options;
        std::vector<CheckRecord> records;
        Lines expected;
    } cases[] = {
        {"date by day", {SortOrder::Date, true, false}, in_order,
         {L1, L2, SEP, sub(76, "09/30/2007", DA, A87_50), BLANK, L3, SEP,
          sub(76, "10/01/2007", DA, A100), BLANK, L4, SEP, sub(76, "10/02/2007", DA, A1234_50)}},
        {"date by month", {SortOrder::Date, true, true}, in_order,
         {L1, L2, SEP, sub(79, "09/2007", DA, A87_50), BLANK, L3, L4, SEP,
          sub(79, "10/2007", DA, A1334_50)}},
        {"vendor name", {SortOrder::VendorName, true, false}, in_order,
         {L1, L2, L3, SEP, sub(52, "ACME SUPPLY, INC." + S(18), FA, A187_50), BLANK, L4, SEP,
          sub(52, "SMITH, JOHN" + S(24), FA, A1234_50), BLANK}},
        {"po number", {SortOrder::PONumber, true, false}, in_order,
         {L1, L2, SEP, sub(79, "07001234", FA, A87_50), BLANK, L3, L4, SEP,
          sub(79, S(8), FA, A1334_50)}},
        // The first two descriptions differ only after character 29: two
        // groups with the same label.
        {"description", {SortOrder::Description, true, false}, in_order,
         {L1, SEP, sub(58, "OFFICE SUPPLIES FOR CITY HALL", FA, A100), BLANK, L2, SEP,
          sub(58, "OFFICE SUPPLIES FOR CITY HALL", FA, AM12_50), BLANK, L3, SEP,
          sub(58, "ROAD SALT" + S(20), FA, A100), BLANK, L4, SEP,
          sub(58, "TRAVEL REIMBURSEMENT" + S(9), FA, A1234_50)}},
        {"amount", {SortOrder::Amount, true, false}, {R2, R1, R3, R4},
         {L2, SEP, sub(72, "-00000000012.50", FA, AM12_50), BLANK, L1, L3, SEP,
          sub(72, "000000000100.00", FA, A200), BLANK, L4, SEP,
          sub(72, "000000001234.50", FA, A1234_50)}},
        // Vendor ids 0000000017 and 0000000018 share the 8-character label.
        {"vendor id", {SortOrder::VendorID, true, false}, in_order,
         {L1, L2, L3, SEP, sub(79, "00000000", FA, A187_50), BLANK, L4, SEP,
          sub(79, "00000000", FA, A1234_50)}},
        {"check id", {SortOrder::CheckID, true, false}, in_order,
         {L1, L2, SEP, sub(81, "100001", FA, A87_50), BLANK, L3, SEP,
          sub(81, "100002", FA, A100), BLANK, L4, SEP, sub(81, "100003", FA, A1234_50), BLANK}},
    };
    for (const auto &c : cases) {
        Lines lines = run(c.options, c.records);
        EXPECT_EQ(lines, c.expected) << c.what;
        for (const std::string &line : lines) {
            if (line == BLANK) continue;
            EXPECT_EQ(line.size(), 125u) << c.what << ": " << line;
        }
    }
}

TEST(ResultLines, WithoutSubtotalsOnlyRecordLines) {
    for (int n = 0; n < kSortOrderCount; ++n) {
        for (bool by_month : {false, true}) {
            ResultOptions options{static_cast<SortOrder>(n), false, by_month};
            EXPECT_EQ(run(options, {R1, R2, R3, R4}), (Lines{L1, L2, L3, L4})) << n;
            EXPECT_EQ(run(options, {}), Lines{}) << n;
        }
    }
}

TEST(ResultLines, EmptyListWithSubtotalsClosesWithTheEmptyGroup) {
    const struct {
        ResultOptions options;
        Lines expected;
    } cases[] = {
        {{SortOrder::Date, true, false}, {SEP, sub(76, "00/01/0000", DA, A0)}},
        {{SortOrder::Date, true, true}, {SEP, sub(79, "00/01/0000", DA, A0)}},
        {{SortOrder::VendorName, true, false}, {SEP, sub(52, "", FA, A0), BLANK}},
        {{SortOrder::PONumber, true, false}, {SEP, sub(79, "", FA, A0)}},
        {{SortOrder::Description, true, false}, {SEP, sub(58, "", FA, A0)}},
        {{SortOrder::Amount, true, false}, {SEP, sub(72, S(15), FA, A0)}},
        {{SortOrder::VendorID, true, false}, {SEP, sub(79, "", FA, A0)}},
        {{SortOrder::CheckID, true, false}, {SEP, sub(81, "", FA, A0), BLANK}},
    };
    for (const auto &c : cases)
        EXPECT_EQ(run(c.options, {}), c.expected) << static_cast<int>(c.options.order);
}

TEST(ResultLines, AmountGroupsByValueNotText) {
    CheckRecord a = R1, b = R3;
    app_test::put(b.AMOUNT, "100.0");
    Lines lines = run({SortOrder::Amount, true, false}, {a, b});
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[3], sub(72, "000000000100.00", FA, A200));
}

TEST(ResultLines, TotalCountAndTotalText) {
    ResultList list;
    ResultBuilder builder(list, {SortOrder::CheckID, true, false});
    EXPECT_EQ(builder.total_text(), "0");
    for (const CheckRecord &r : {R1, R2, R3, R4}) builder.add(r);
    builder.close();
    builder.close();
    EXPECT_EQ(list.size(), 13u) << "closing twice adds the closing lines once";
    EXPECT_EQ(builder.line_count(), 4u);
    EXPECT_EQ(builder.total(), 1422.0);
    EXPECT_EQ(builder.total_text(), "1,422");

    ResultList negatives;
    ResultBuilder neg(negatives, {SortOrder::Date, false, false});
    CheckRecord a = R1, b = R1;
    app_test::put(a.AMOUNT, "-00000000010.00");
    app_test::put(b.AMOUNT, "-00000000002.50");
    neg.add(a);
    neg.add(b);
    EXPECT_EQ(neg.total_text(), "-12.5");

    const struct {
        double total;
        const char *text;
    } texts[] = {{1234.5, "1,234.5"},   {1234.0, "1,234"},     {-1234.5, "-1,234.5"},
                 {0.0, "0"},            {0.5, ".5"},           {-0.004, "0"},
                 {1234567.89, "1,234,567.89"}, {100.1, "100.1"}};
    for (const auto &t : texts) EXPECT_EQ(total_text(t.total), t.text) << t.total;
}

}  // namespace
