// The searches over a register built by the real import and rebuild: every
// order forwards and backwards, date ranges, match texts, amounts, the Any
// field, records marked deleted, the summaries, the date presets, and the
// result lines with subtotals.
//
// Expected lists are worked out here from the checks themselves: filtered
// by the rules of the search, ordered by the index's own key (the order
// field, then the record id) under the index's collation table; or written
// out by hand from the column layout.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <cmath>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "app/search/date_presets.h"
#include "app/search/date_step.h"
#include "app/search/result_lines.h"
#include "app/search/result_list.h"
#include "app/search/search.h"
#include "app/search/summary.h"
#include "app/store/field_text.h"
#include "app/store/register_files.h"
#include "app/support/records.h"
#include "app/support/test_register.h"

namespace {

using namespace ledgrove;
using app_test::make_record;
using Lines = std::vector<std::string>;

// Record ids are given by the import in this order.
const std::vector<CheckRecord> kChecks = {
    make_record("100005", "20061231", "V001", "ACME SUPPLY", "PO1", "ROAD SALT", "000000000100.00"),
    make_record("100001", "20070101", "V002", "THE ACME CO", "PO2", "OFFICE PAPER", "000000000250.50"),
    make_record("100002", "20070101", "V003", "ZZ acme lower", "", "PAPER TOWELS", "-00000000040.00"),
    make_record("100003", "20070615", "V001", "ACME SUPPLY", "PO1", "ROAD SALT", "000000000100.00"),
    make_record("100004", "20071231", "V004", "ZENITH ELECTRIC", "PO3", "STREET LIGHTS", "000000001234.56"),
    make_record("100004", "20080101", "V010", "BAKER, JOHN", "", "MILEAGE, CONFERENCE", "000000000012.30"),
    make_record("100006", "20080215", "V002", "THE ACME CO", "PO2", "OFFICE PAPER", "000000000099.99"),
    make_record("100007", "20070301", "V005", "MIDLAND CO", "PO4", "RETURNED CHECK", "-00000000100.00"),
    make_record("100008", "20070302", "V005", "MIDLAND CO", "PO4", "GRAVEL", "000000000100.01"),
    make_record("100009", "20070303", "V006", "NULL AMOUNT INC", "PO5", "NOTHING PAID", "000000000000.00"),
};

constexpr SortOrder kOrders[] = {SortOrder::Date,     SortOrder::VendorName, SortOrder::PONumber,
                                 SortOrder::Description, SortOrder::Amount, SortOrder::VendorID,
                                 SortOrder::CheckID};

SearchInputs range(const std::string &from = "20000101", const std::string &to = "20991231") {
    SearchInputs in;
    in.from = from;
    in.to = to;
    return in;
}

Lines run(DatabaseSet &set, SortOrder order, const SearchInputs &in, SearchResult *result = nullptr) {
    ResultList list;
    const SearchResult done = search_records(set, order, in, list);
    if (result) *result = done;
    Lines lines;
    for (std::size_t i = 0; i < list.size(); ++i) lines.emplace_back(list.line(i));
    return lines;
}

// Cents read apart from the program's own amount reading.
std::int64_t cents(const CheckRecord &r) {
    return std::llround(std::stod(std::string(r.AMOUNT, sizeof r.AMOUNT)) * 100);
}

class SearchTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_EQ(reg().import_records(kChecks).imported, kChecks.size()); }
    static app_test::TestRegister &reg() {
        static app_test::TestRegister built;  // on first use, not at program start
        return built;
    }
    static DatabaseSet &set() { return reg().set(); }

    // The records that pass, in the order's index order, as result lines.
    static Lines expected(SortOrder order, const std::function<bool(const CheckRecord &)> &pass) {
        const IndexFileInfo &info = index_info(index_for(order));
        const std::uint8_t *weights = set().index(info.index)->header.collation;
        auto key = [&](const CheckRecord &r) {
            std::string k(field_text(r, info.leading_field));
            k += std::to_string(&r - kChecks.data() + 100);  // the record id's order
            std::vector<std::uint8_t> weighed;
            for (char c : k) weighed.push_back(weights[static_cast<std::uint8_t>(c)]);
            return weighed;
        };
        std::vector<CheckRecord const *> picked;
        for (const CheckRecord &r : kChecks)
            if (pass(r)) picked.push_back(&r);
        std::stable_sort(picked.begin(), picked.end(),
                         [&](auto *a, auto *b) { return key(*a) < key(*b); });
        // The Amount order lists the negative amounts, which the index keeps
        // by size, in value order.
        if (order == SortOrder::Amount)
            std::stable_sort(picked.begin(), picked.end(), [](auto *a, auto *b) {
                return cents(*a) < 0 && cents(*a) < cents(*b);
            });
        Lines lines;
        for (const CheckRecord *r : picked) lines.push_back(record_line(*r));
        return lines;
    }
};

TEST_F(SearchTest, EveryOrderForwardAndBackOverDateRanges) {
    const std::pair<const char *, const char *> ranges[] = {
        {"20000101", "20991231"}, {"20070101", "20071231"}, {"20070101", "20070101"},
        {"20061231", "20070302"}, {"20070302", "20070303"}, {"20070102", "20070228"},
        {"20090101", "20091231"}, {"20070102", "20061231"}};  // the last: From after To
    for (const auto &[from, to] : ranges) {
        for (SortOrder order : kOrders) {
            SCOPED_TRACE(std::string(sort_order_caption(order)) + " " + from + ".." + to);
            Lines want = expected(order, [&](const CheckRecord &r) {
                const std::string date(r.CHKDATE, 8);
                return date >= from && date <= to;
            });
            SearchInputs in = range(from, to);
            EXPECT_EQ(run(set(), order, in), want);
            in.reverse = true;
            std::reverse(want.begin(), want.end());
            EXPECT_EQ(run(set(), order, in), want);
        }
    }
}

TEST_F(SearchTest, TextsAmountsAndTheAnyField) {
    using In = SearchInputs;
    const struct {
        const char *what;
        std::function<void(In &)> set;
        std::vector<int> ids;  // 1-based indexes into kChecks
    } cases[] = {
        {"name, anywhere, any case", [](In &i) { i.vendor_name = "acme"; }, {1, 2, 3, 4, 7}},
        {"name, trailing spaces count", [](In &i) { i.vendor_name = "CO  "; }, {2, 7, 8, 9}},
        {"name with a comma", [](In &i) { i.vendor_name = "BAKER, J"; }, {6}},
        {"description", [](In &i) { i.description = "PAPER"; }, {2, 3, 7}},
        {"check id", [](In &i) { i.check_id = "100004"; }, {5, 6}},
        {"blanks match an empty PO", [](In &i) { i.po_number = "        "; }, {3, 6}},
        {"vendor id", [](In &i) { i.vendor_id = "V010"; }, {6}},
        {"two texts both", [](In &i) { i.vendor_name = "ACME"; i.description = "SALT"; }, {1, 4}},
        {"match case, lower", [](In &i) { i.vendor_name = "acme"; i.match_case = true; }, {3}},
        {"match case, upper", [](In &i) { i.vendor_name = "ACME"; i.match_case = true; }, {1, 2, 4, 7}},
        {"= 100", [](In &i) { i.amount = "100"; }, {1, 4}},
        {"> 100", [](In &i) { i.amount = "100"; i.amount_operator = '>'; }, {2, 5, 9}},
        {"< 100, negatives too", [](In &i) { i.amount = "100"; i.amount_operator = '<'; }, {3, 6, 7, 8, 10}},
        {"< -50", [](In &i) { i.amount = "-50"; i.amount_operator = '<'; }, {8}},
        {"= $1,234.56", [](In &i) { i.amount = "$1,234.56"; }, {5}},
        {"= (100.00)", [](In &i) { i.amount = "(100.00)"; }, {8}},
        {"unknown operator", [](In &i) { i.amount = "100"; i.amount_operator = 'x'; }, {}},
        {"from 100, both ends held", [](In &i) { i.amount_min = "100"; }, {1, 2, 4, 5, 9}},
        {"to 100", [](In &i) { i.amount_max = "100"; }, {1, 3, 4, 6, 7, 8, 10}},
        {"-100 to -40", [](In &i) { i.amount_min = "-100"; i.amount_max = "-40"; }, {3, 8}},
        {"100 to 100.01", [](In &i) { i.amount_min = "100"; i.amount_max = "100.01"; }, {1, 4, 9}},
        {"any: a name", [](In &i) { i.any_text = "acme"; }, {1, 2, 3, 4, 7}},
        {"any: a vendor id", [](In &i) { i.any_text = "V010"; }, {6}},
        {"any: a PO", [](In &i) { i.any_text = "PO5"; }, {10}},
        {"any: a check id", [](In &i) { i.any_text = "100009"; }, {10}},
        {"any, match case", [](In &i) { i.any_text = "acme"; i.match_case = true; }, {3}},
        {"every test at once", [](In &i) { i.amount_min = "0"; i.amount_max = "200"; i.any_text = "SALT"; i.amount = "100"; }, {1, 4}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        SearchInputs in = range();
        c.set(in);
        Lines want;
        std::int64_t total = 0;
        for (int id : c.ids) {
            want.push_back(record_line(kChecks[id - 1]));
            total += cents(kChecks[id - 1]);
        }
        SearchResult result;
        Lines lines = run(set(), SortOrder::VendorID, in, &result);
        std::sort(lines.begin(), lines.end());
        std::sort(want.begin(), want.end());
        EXPECT_EQ(lines, want);
        EXPECT_EQ(result.total_cents, total);
        EXPECT_EQ(result.line_count, c.ids.size());
    }
}

TEST_F(SearchTest, SummariesSumTheSearchsChecksByGroup) {
    auto text = [](const char *field, std::size_t n) {
        std::string s(field, n);
        return s.erase(s.find_last_not_of(' ') + 1);
    };
    // The fiscal year of each date of 2007-2008, worked out by hand.
    const char *dates[] = {"20070101", "20070301", "20070302", "20070303",
                           "20070615", "20071231", "20080101", "20080215"};
    auto fiscal = [&](std::string years) {  // "7" for FY2007, "8" for FY2008, by date
        std::map<std::string, std::string> of;
        for (std::size_t i = 0; i < years.size(); ++i) of[dates[i]] = std::string("FY200") + years[i];
        return [of](const CheckRecord &r) { return of.at(std::string(r.CHKDATE, 8)); };
    };
    const struct {
        SummaryGroup by;
        int fiscal_start;
        std::function<std::string(const CheckRecord &)> group;
    } cases[] = {
        {SummaryGroup::Vendor, 7, [&](const CheckRecord &r) { return text(r.NAME, 35) + "|" + text(r.VENDORID, 10); }},
        {SummaryGroup::Month, 7, [](const CheckRecord &r) { return std::string(r.CHKDATE, 4) + "-" + std::string(r.CHKDATE + 4, 2); }},
        {SummaryGroup::Description, 7, [&](const CheckRecord &r) { return text(r.DESC, 35); }},
        {SummaryGroup::FiscalYear, 7, fiscal("77777888")},
        {SummaryGroup::FiscalYear, 3, fiscal("78888888")},
        {SummaryGroup::FiscalYear, 1, fiscal("77777788")},
    };
    const SearchInputs in = range("20070101", "20991231");  // leaves out the first check
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(summary_group_caption(c.by)) + " " + std::to_string(c.fiscal_start));
        struct Group { std::size_t checks = 0; std::int64_t cents = 0; std::string first = "9", last; };
        std::map<std::string, Group> want;
        for (const CheckRecord &r : kChecks) {
            const std::string date(r.CHKDATE, 8);
            if (date < in.from) continue;
            Group &g = want[c.group(r)];
            ++g.checks;
            g.cents += cents(r);
            g.first = std::min(g.first, date);
            g.last = std::max(g.last, date);
        }
        for (SummarySort sort : {SummarySort::Total, SummarySort::Group}) {
            const Summary summary = summarize(set(), SortOrder::VendorName, in, {c.by, sort, c.fiscal_start});
            ASSERT_EQ(summary.rows.size(), want.size());
            std::int64_t sum = 0;
            double shares = 0;
            for (std::size_t i = 0; i < summary.rows.size(); ++i) {
                const SummaryRow &row = summary.rows[i];
                const std::string key = c.by == SummaryGroup::Vendor ? row.label + "|" + row.vendor_id : row.label;
                ASSERT_EQ(want.count(key), 1u) << key;
                EXPECT_EQ(row.checks, want[key].checks) << key;
                EXPECT_EQ(row.total_cents, want[key].cents) << key;
                EXPECT_EQ(row.first_date + ".." + row.last_date, want[key].first + ".." + want[key].last) << key;
                const SummaryRow *prev = i > 0 ? &summary.rows[i - 1] : nullptr;
                EXPECT_TRUE(!prev || (sort == SummarySort::Total ? prev->total_cents >= row.total_cents
                                                                 : c.by == SummaryGroup::Vendor || prev->label < row.label))
                    << key << " out of order";
                sum += row.total_cents;
                shares += row.share;
            }
            EXPECT_EQ(summary.total_cents, sum);
            EXPECT_EQ(summary.total_cents, summary.search.total_cents);
            EXPECT_EQ(summary.checks, kChecks.size() - 1);
            EXPECT_NEAR(shares, 1.0, 1e-9);
        }
    }
}

TEST(SearchDeleted, RecordsMarkedDeletedAreNeverListed) {
    app_test::TestRegister reg;
    DatabaseSet &set = reg.set();
    SearchResult empty;
    EXPECT_EQ(run(set, SortOrder::Date, range(), &empty), Lines{});
    EXPECT_FALSE(empty.stopped_by_error()) << empty.end_result;
    ASSERT_EQ(reg.import_records(kChecks).imported, kChecks.size());
    ASSERT_EQ(KvlDataMarkRecord(set.data(), 4, '*'), 0u);  // 100003 ACME SUPPLY
    ASSERT_EQ(KvlDataMarkRecord(set.data(), 1, '*'), 0u);  // the first record of several orders
    for (bool rebuilt : {false, true}) {
        SCOPED_TRACE(rebuilt ? "after a rebuild" : "keys still in the indexes");
        if (rebuilt) { ASSERT_TRUE(rebuild_all_indexes(set).ok()); }
        for (SortOrder order : kOrders) {
            const Lines lines = run(set, order, range());
            EXPECT_EQ(lines.size(), kChecks.size() - 2) << sort_order_caption(order);
            for (int deleted : {0, 3})
                EXPECT_EQ(std::count(lines.begin(), lines.end(), record_line(kChecks[deleted])), 0);
        }
    }
}

TEST(DatePresets, RangesAtYearAndFiscalYearBoundaries) {
    using P = DatePreset;
    const CalendarDate mar15{2024, 3, 15}, jan10{2024, 1, 10}, jul1{2023, 7, 1}, jun30{2023, 6, 30};
    const struct { P preset; CalendarDate today; int start, fiscal_year; const char *span; } cases[] = {
        {P::ThisMonth, mar15, 7, 0, "20240301..20240331"},
        {P::LastMonth, mar15, 7, 0, "20240201..20240229"},  // a leap year
        {P::LastMonth, jan10, 7, 0, "20231201..20231231"},
        {P::ThisFiscalYear, mar15, 7, 0, "20230701..20240630"},
        {P::ThisFiscalYear, jul1, 7, 0, "20230701..20240630"},  // its first day
        {P::ThisFiscalYear, jun30, 7, 0, "20220701..20230630"},  // its last day
        {P::LastFiscalYear, mar15, 7, 0, "20220701..20230630"},
        {P::ThisFiscalYear, mar15, 1, 0, "20240101..20241231"},  // the calendar year
        {P::Quarter1, mar15, 7, 2024, "20230701..20230930"},
        {P::Quarter3, mar15, 7, 2024, "20240101..20240331"},
        {P::Quarter4, mar15, 11, 2024, "20240801..20241031"},  // FY2024 from 11/2023
        {P::Last12Months, mar15, 7, 0, "20230401..20240315"},
        {P::Last12Months, jan10, 7, 0, "20230201..20240110"},
    };
    for (const auto &c : cases) {
        const DateSpan span = date_preset_span(c.preset, c.today, c.start, c.fiscal_year);
        EXPECT_EQ(span.from + ".." + span.to, c.span)
            << date_preset_caption(c.preset) << " start " << c.start;
    }
}

// The date step buttons' arithmetic in local time with daylight-saving
// changes (a 24-hour step back from local midnight would land 03/12/2007 on
// 03/10), and impossible dates carried over as the C calendar carries them.
TEST(DateStep, CalendarDays) {
    ::setenv("TZ", "America/New_York", 1);
    ::tzset();
    const struct { const char *step, *start; int sign; const char *expected; } cases[] = {
        {"1", "12/31/2007", 1, "01/01/2008"},  {"1", "03/01/2008", -1, "02/29/2008"},
        {"2", "01/01/2008", -1, "12/30/2007"}, {"45", "01/01/2007", 1, "02/15/2007"},
        {"0", "02/31/2007", 1, "03/03/2007"},  {"x", "04/31/2007", -1, "05/01/2007"},
        {"1", "13/01/2007", 1, "01/02/2008"},  {"1", "03/00/2008", -1, "02/28/2008"},
        {"1", "03/12/2007", -1, "03/11/2007"}, {"1", "11/04/2007", 1, "11/05/2007"},
        {"123", "01/01/2007", 1, "04/10/2007"},
    };
    for (const auto &c : cases) {
        const std::string s = c.start;
        const DialogDate d = step_date({s.substr(0, 2), s.substr(3, 2), s.substr(6)}, c.sign * step_days(c.step));
        EXPECT_EQ(d.month + "/" + d.day + "/" + d.year, c.expected) << c.step << " from " << c.start;
    }
    ::unsetenv("TZ");
    ::tzset();
}

// The headings' columns hold what a record line puts there: each field from
// its column's first character, a space before the next; the amount ends
// the line.
TEST(ResultLines, ColumnsHoldTheirFields) {
    const std::string line = record_line(make_record("C12345", "20070102", "V123456789", std::string(35, 'N'),
                                                     "P1234567", std::string(35, 'D'), "000000001234.50"));
    const std::map<SortOrder, std::string> shown = {
        {SortOrder::CheckID, "C12345"},     {SortOrder::Date, "01/02/2007"},
        {SortOrder::VendorID, "V123456789"}, {SortOrder::VendorName, std::string(35, 'N')},
        {SortOrder::PONumber, "P1234567"},   {SortOrder::Description, std::string(35, 'D')},
        {SortOrder::Amount, app_test::S(7) + "1,234.50"}};
    std::size_t next = 0;
    for (const ResultColumn &c : kResultColumns) {
        EXPECT_EQ(c.first, next);
        next = c.first + c.width;
        EXPECT_EQ(line.substr(c.first, c.width), shown.at(c.order) + app_test::S(c.width - shown.at(c.order).size()))
            << sort_order_caption(c.order);
    }
    EXPECT_EQ(next, line.size());
}

// Whole result lists, written out from the column layout by hand.
TEST(ResultLines, ListsWithSubtotalsInEveryOrder) {
    using namespace app_test;
    const std::string SEP = S(111) + "==============", BLANK = " ";
    auto sub = [](std::size_t spaces, const std::string &label, const char *arrow, const std::string &amount) {
        return S(spaces) + "   Subtotal for " + label + arrow + amount;
    };
    const char *DA = ": ----->", *FA = " ----->";  // date and field arrows
    const std::string A0 = S(12) + ".00", A87_50 = S(10) + "87.50", A100 = S(9) + "100.00",
                      A187_50 = S(9) + "187.50", A200 = S(9) + "200.00", AM12_50 = S(9) + "-12.50",
                      A1234_50 = S(7) + "1,234.50", A1334_50 = S(7) + "1,334.50";
    CheckRecord r3_short = R3;  // a field stored short ends at its zero byte
    std::fill(std::begin(r3_short.POID), std::end(r3_short.POID), '\0');
    CheckRecord r3_100 = R3;  // amounts group by value, not by their text
    app_test::put(r3_100.AMOUNT, "100.0");
    const std::vector<CheckRecord> in_order = {R1, R2, R3, R4};
    const struct { ResultOptions options; std::vector<CheckRecord> records; Lines expected; } cases[] = {
        {{SortOrder::Date, true, false}, in_order,
         {L1, L2, SEP, sub(76, "09/30/2007", DA, A87_50), BLANK, L3, SEP,
          sub(76, "10/01/2007", DA, A100), BLANK, L4, SEP, sub(76, "10/02/2007", DA, A1234_50)}},
        {{SortOrder::Date, true, true}, in_order,
         {L1, L2, SEP, sub(79, "09/2007", DA, A87_50), BLANK, L3, L4, SEP, sub(79, "10/2007", DA, A1334_50)}},
        {{SortOrder::VendorName, true, false}, in_order,
         {L1, L2, L3, SEP, sub(52, "ACME SUPPLY, INC." + S(18), FA, A187_50), BLANK, L4, SEP,
          sub(52, "SMITH, JOHN" + S(24), FA, A1234_50), BLANK}},
        {{SortOrder::PONumber, true, false}, in_order,
         {L1, L2, SEP, sub(79, "07001234", FA, A87_50), BLANK, L3, L4, SEP, sub(79, S(8), FA, A1334_50)}},
        // The first two descriptions differ only after the 29 characters shown.
        {{SortOrder::Description, true, false}, in_order,
         {L1, SEP, sub(58, "OFFICE SUPPLIES FOR CITY HALL", FA, A100), BLANK, L2, SEP,
          sub(58, "OFFICE SUPPLIES FOR CITY HALL", FA, AM12_50), BLANK, L3, SEP,
          sub(58, "ROAD SALT" + S(20), FA, A100), BLANK, L4, SEP,
          sub(58, "TRAVEL REIMBURSEMENT" + S(9), FA, A1234_50)}},
        {{SortOrder::Amount, true, false}, {R2, R1, R3, R4},
         {L2, SEP, sub(72, "-00000000012.50", FA, AM12_50), BLANK, L1, L3, SEP,
          sub(72, "000000000100.00", FA, A200), BLANK, L4, SEP, sub(72, "000000001234.50", FA, A1234_50)}},
        // Vendor ids 0000000017 and 0000000018 share the 8-character label.
        {{SortOrder::VendorID, true, false}, in_order,
         {L1, L2, L3, SEP, sub(79, "00000000", FA, A187_50), BLANK, L4, SEP, sub(79, "00000000", FA, A1234_50)}},
        {{SortOrder::CheckID, true, false}, in_order,
         {L1, L2, SEP, sub(81, "100001", FA, A87_50), BLANK, L3, SEP, sub(81, "100002", FA, A100),
          BLANK, L4, SEP, sub(81, "100003", FA, A1234_50), BLANK}},
        {{SortOrder::Amount, true, false}, {R1, r3_100}, {L1, L3, SEP, sub(72, "000000000100.00", FA, A200)}},
        {{SortOrder::CheckID, false, false}, {R1, r3_short}, {L1, std::string(L3).erase(L3.find(" ROAD") - 8, 8)}},
        {{SortOrder::CheckID, true, false}, {}, {SEP, sub(81, "", FA, A0), BLANK}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(sort_order_caption(c.options.order)) + (c.options.subtotals ? " subtotals" : ""));
        ResultList list;
        ResultBuilder builder(list, c.options);
        for (const CheckRecord &r : c.records) builder.add(r);
        builder.close();
        builder.close();  // closing twice adds the closing lines once
        Lines lines;
        for (std::size_t i = 0; i < list.size(); ++i) lines.emplace_back(list.line(i));
        EXPECT_EQ(lines, c.expected);
        EXPECT_EQ(builder.line_count(), c.records.size());
    }
    const struct {
        double total;
        const char *text;
    } totals[] = {{1422.0, "1,422"}, {-1234.5, "-1,234.5"}, {0.5, ".5"}, {-0.004, "0"},
                  {1234567.89, "1,234,567.89"}, {100.1, "100.1"}};
    for (const auto &t : totals) EXPECT_EQ(total_text(t.total), t.text) << t.total;
}

}  // namespace
