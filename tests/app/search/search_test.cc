// The searches over a register built by the real import and rebuild: every
// order, date ranges, match texts, amount comparisons, the dialog's
// controls, and records marked deleted.
//
// Expected lists are worked out here from the checks themselves: filtered
// by the rules of the search, ordered by the index's own key (the order
// field, then the record id) under the index's collation table.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <map>
#include <memory>
#include <regex>
#include <string>
#include <vector>

#include "app/search/date_range.h"
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

// Record ids are given by the import in this order.  Descriptions stay
// within the 32 characters a CSV line keeps.
const std::vector<CheckRecord> kChecks = {
    make_record("100005", "20061231", "V001", "ACME SUPPLY", "PO1", "ROAD SALT", "000000000100.00", "000001"),
    make_record("100001", "20070101", "V002", "THE ACME CO", "PO2", "OFFICE PAPER", "000000000250.50", "000002"),
    make_record("100002", "20070101", "V003", "ZZ acme lower", "", "PAPER TOWELS", "-00000000040.00", "000003"),
    make_record("100003", "20070615", "V001", "ACME SUPPLY", "PO1", "ROAD SALT", "000000000100.00", "000004"),
    make_record("100004", "20071231", "V004", "ZENITH ELECTRIC", "PO3", "STREET LIGHTS", "000000001234.56", "000005"),
    make_record("100004", "20080101", "V010", "BAKER, JOHN", "", "MILEAGE, CONFERENCE", "000000000012.30", "000006"),
    make_record("100006", "20080215", "V002", "THE ACME CO", "PO2", "OFFICE PAPER", "000000000099.99", "000007"),
    make_record("100007", "20070301", "V005", "MIDLAND CO", "PO4", "RETURNED CHECK", "-00000000100.00", "000008"),
    make_record("100008", "20070302", "V005", "MIDLAND CO", "PO4", "GRAVEL", "000000000100.01", "000009"),
    make_record("100009", "20070303", "V006", "NULL AMOUNT INC", "PO5", "NOTHING PAID", "000000000000.00", "000010"),
};

constexpr SortOrder kOrders[] = {SortOrder::Date,     SortOrder::VendorName, SortOrder::PONumber,
                                 SortOrder::Description, SortOrder::Amount, SortOrder::VendorID,
                                 SortOrder::CheckID};

SearchInputs range(const std::string &from, const std::string &to) {
    SearchInputs in;
    in.from = from;
    in.to = to;
    return in;
}

Lines run(DatabaseSet &set, SortOrder order, const SearchInputs &in) {
    ResultList list;
    search_records(set, order, in, list);
    Lines lines;
    for (std::size_t i = 0; i < list.size(); ++i) lines.emplace_back(list.line(i));
    return lines;
}

class SearchTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        reg_ = std::make_unique<app_test::TestRegister>();
        ImportReport report = reg_->import_records(kChecks);
        ASSERT_EQ(report.imported, kChecks.size());
    }
    static void TearDownTestSuite() { reg_.reset(); }

    static DatabaseSet &set() { return reg_->set(); }

    // The records that pass, in the order's index order, as result lines.
    static Lines expected(SortOrder order, const std::function<bool(const CheckRecord &)> &pass) {
        const IndexFileInfo &info = index_info(index_for(order));
        const std::uint8_t *weights = set().index(info.index)->header.collation;
        auto key = [&](const CheckRecord &r) {
            std::string k(field_text(r, info.leading_field));
            k += field_text(r.ID);
            for (char &c : k) c = static_cast<char>(weights[static_cast<std::uint8_t>(c)]);
            return k;
        };
        std::vector<CheckRecord> picked;
        std::copy_if(kChecks.begin(), kChecks.end(), std::back_inserter(picked), pass);
        std::stable_sort(picked.begin(), picked.end(),
                         [&](const CheckRecord &a, const CheckRecord &b) {
                             return std::lexicographical_compare(
                                 key(a).begin(), key(a).end(), key(b).begin(), key(b).end(),
                                 [](char x, char y) {
                                     return static_cast<std::uint8_t>(x) <
                                            static_cast<std::uint8_t>(y);
                                 });
                         });
        // The Amount order lists the negative amounts, which the index keeps
        // by size, in value order.
        if (order == SortOrder::Amount)
            std::stable_sort(picked.begin(), picked.end(),
                             [](const CheckRecord &a, const CheckRecord &b) {
                                 const double x = parse_number(field_text(a.AMOUNT));
                                 const double y = parse_number(field_text(b.AMOUNT));
                                 return x < 0 && x < y;
                             });
        Lines lines;
        for (const CheckRecord &r : picked) lines.push_back(record_line(r));
        return lines;
    }

    static Lines by_ids(const std::vector<int> &ids) {
        Lines lines;
        for (int id : ids) lines.push_back(record_line(kChecks[static_cast<std::size_t>(id - 1)]));
        return lines;
    }

    static std::unique_ptr<app_test::TestRegister> reg_;
};

std::unique_ptr<app_test::TestRegister> SearchTest::reg_;

bool dated(const CheckRecord &r, std::string_view from, std::string_view to) {
    std::string_view date = field_text(r.CHKDATE);
    return date >= from && date <= to;
}

TEST_F(SearchTest, EveryOrderListsTheRangeInIndexOrder) {
    for (SortOrder order : kOrders) {
        SCOPED_TRACE(std::string(sort_order_caption(order)));
        EXPECT_EQ(run(set(), order, range("20070101", "20071231")),
                  expected(order, [](const CheckRecord &r) {
                      return dated(r, "20070101", "20071231");
                  }));
        EXPECT_EQ(run(set(), order, range("20000101", "20991231")).size(), kChecks.size());
    }
}

TEST_F(SearchTest, ReverseListsTheForwardLinesBackwards) {
    for (SortOrder order : kOrders) {
        for (const auto &[from, to] : {std::pair{"20000101", "20991231"},
                                       std::pair{"20070101", "20070302"},
                                       std::pair{"20070102", "20070228"}}) {
            SCOPED_TRACE(std::string(sort_order_caption(order)) + " " + from + ".." + to);
            SearchInputs in = range(from, to);
            Lines forward = run(set(), order, in);
            in.reverse = true;
            ResultList walked;
            EXPECT_FALSE(search_records(set(), order, in, walked).stopped_by_error());
            std::reverse(forward.begin(), forward.end());
            EXPECT_EQ(run(set(), order, in), forward);
            // With subtotals: the same groups, each closed by its subtotal.
            in.subtotals = true;
            Lines backward = run(set(), order, in);
            in.reverse = false;
            Lines ahead = run(set(), order, in);
            auto subtotals = [](Lines lines) {
                lines.erase(std::remove_if(lines.begin(), lines.end(),
                                           [](const std::string &l) {
                                               return l.find("Subtotal for") == std::string::npos;
                                           }),
                            lines.end());
                std::sort(lines.begin(), lines.end());
                return lines;
            };
            EXPECT_EQ(subtotals(backward), subtotals(ahead));
            EXPECT_EQ(backward.size(), ahead.size());
        }
    }
}

TEST_F(SearchTest, DateRanges) {
    const struct {
        const char *from, *to;
        Lines date_order;  // in date order; the other orders list the same records
    } cases[] = {
        {"20070101", "20070101", by_ids({2, 3})},  // one day, in record-id order
        {"20061231", "20070101", by_ids({1, 2, 3})},
        {"20080101", "20991231", by_ids({6, 7})},
        {"20070302", "20070303", by_ids({9, 10})},
        {"20070102", "20061231", {}},  // From after To
        {"20090101", "20091231", {}},
        {"19990101", "20061230", {}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.from) + ".." + c.to);
        EXPECT_EQ(run(set(), SortOrder::Date, range(c.from, c.to)), c.date_order);
        for (SortOrder order : kOrders) {
            Lines lines = run(set(), order, range(c.from, c.to));
            std::sort(lines.begin(), lines.end());
            Lines want = c.date_order;
            std::sort(want.begin(), want.end());
            EXPECT_EQ(lines, want) << sort_order_caption(order);
        }
    }
}

TEST_F(SearchTest, MatchTexts) {
    const struct {
        const char *what;
        std::string SearchInputs::*text;
        const char *value;
        Lines in_date_order;
    } cases[] = {
        {"name, inside and at the start", &SearchInputs::vendor_name, "ACME", by_ids({1, 2, 3, 4, 7})},
        {"name, case does not count", &SearchInputs::vendor_name, "acme", by_ids({1, 2, 3, 4, 7})},
        {"name, trailing spaces are part of the field", &SearchInputs::vendor_name, "CO  ",
         by_ids({2, 8, 9, 7})},
        {"name, comma", &SearchInputs::vendor_name, "BAKER, J", by_ids({6})},
        {"name, no match", &SearchInputs::vendor_name, "ACMEX", {}},
        {"description", &SearchInputs::description, "PAPER", by_ids({2, 3, 7})},
        {"check id", &SearchInputs::check_id, "100004", by_ids({5, 6})},
        {"check id, part", &SearchInputs::check_id, "0000", by_ids({1, 2, 3, 8, 9, 10, 4, 5, 6, 7})},
        {"po number", &SearchInputs::po_number, "PO1", by_ids({1, 4})},
        {"po number, blanks match an empty po", &SearchInputs::po_number, "        ", by_ids({3, 6})},
        {"vendor id", &SearchInputs::vendor_id, "V00", by_ids({1, 2, 3, 8, 9, 10, 4, 5, 7})},
        {"vendor id, exact", &SearchInputs::vendor_id, "V010", by_ids({6})},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        SearchInputs in = range("20000101", "20991231");
        in.*c.text = c.value;
        EXPECT_EQ(run(set(), SortOrder::Date, in), c.in_date_order);
    }
    // Two texts must both occur.
    SearchInputs in = range("20000101", "20991231");
    in.vendor_name = "ACME";
    in.description = "SALT";
    EXPECT_EQ(run(set(), SortOrder::Date, in), by_ids({1, 4}));
    // Match case: the exact comparison.
    in = range("20000101", "20991231");
    in.match_case = true;
    in.vendor_name = "acme";
    EXPECT_EQ(run(set(), SortOrder::Date, in), by_ids({3}));
    in.vendor_name = "ACME";
    EXPECT_EQ(run(set(), SortOrder::Date, in), by_ids({1, 2, 4, 7}));
}

TEST_F(SearchTest, AmountComparisons) {
    const struct {
        char op;
        const char *amount;
        Lines in_date_order;
    } cases[] = {
        {'=', "100", by_ids({1, 4})},
        {'>', "100", by_ids({2, 5, 9})},
        {'<', "100", by_ids({3, 6, 7, 8, 10})},  // negatives included
        {'=', "-100", by_ids({8})},
        {'<', "-50", by_ids({8})},
        {'=', "100.01", by_ids({9})},
        {'=', "$100.01", by_ids({9})},
        {'>', "1,000", by_ids({5})},
        {'=', "(100.00)", by_ids({8})},
        {'=', " -$100 ", by_ids({8})},
        {'x', "100", {}},            // an unknown operator fails every record
        {'x', "", by_ids({1, 2, 3, 4, 5, 6, 7, 8, 9, 10})},  // no amount text: no test at all
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(1, c.op) + c.amount);
        SearchInputs in = range("20000101", "20991231");
        in.amount_operator = c.op;
        in.amount = c.amount;
        Lines lines = run(set(), SortOrder::Date, in);
        Lines want = c.in_date_order;
        std::sort(lines.begin(), lines.end());
        std::sort(want.begin(), want.end());
        EXPECT_EQ(lines, want);
    }
}

// Cents read apart from the program's own amount reading.
std::int64_t cents(const CheckRecord &r) {
    return std::llround(std::stod(std::string(r.AMOUNT, sizeof r.AMOUNT)) * 100);
}

TEST_F(SearchTest, AmountRangeAndAnyField) {
    const struct {
        const char *min, *max, *any;
        bool match_case;
        std::vector<int> ids;
    } cases[] = {
        {"100", "", "", false, {1, 2, 4, 5, 9}},  // both ends included
        {"", "100", "", false, {1, 3, 4, 6, 7, 8, 10}},
        {"-100", "-40", "", false, {3, 8}},
        {"100", "100.01", "", false, {1, 4, 9}},
        {"$1,000", "", "", false, {5}},
        {"", "", "acme", false, {1, 2, 3, 4, 7}},  // vendor name
        {"", "", "paper", false, {2, 3, 7}},       // description
        {"", "", "V010", false, {6}},              // vendor id
        {"", "", "PO5", false, {10}},              // PO number
        {"", "", "100009", false, {10}},           // check id
        {"", "", "acme", true, {3}},
        {"0", "200", "SALT", false, {1, 4}},  // every test at once
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.min) + ".." + c.max + " any " + c.any);
        SearchInputs in = range("20000101", "20991231");
        in.amount_min = c.min;
        in.amount_max = c.max;
        in.any_text = c.any;
        in.match_case = c.match_case;
        ResultList list;
        const SearchResult result = search_records(set(), SortOrder::Date, in, list);
        Lines lines = run(set(), SortOrder::Date, in), want = by_ids(c.ids);
        std::sort(lines.begin(), lines.end());
        std::sort(want.begin(), want.end());
        EXPECT_EQ(lines, want);
        std::int64_t total = 0;
        for (int id : c.ids) total += cents(kChecks[static_cast<std::size_t>(id - 1)]);
        EXPECT_EQ(result.total_cents, total);
    }
}

TEST_F(SearchTest, SummariesSumTheSearchsChecksByGroup) {
    auto text = [](std::string_view field) {
        while (!field.empty() && field.back() == ' ') field.remove_suffix(1);
        return std::string(field);
    };
    // Fiscal years by date, worked out by hand: the dates of 2007-2008 and
    // the fiscal year of each, in date order.
    const char *dates[] = {"20070101", "20070301", "20070302", "20070303", "20070615",
                           "20071231", "20080101", "20080215"};
    auto fiscal = [&](std::vector<const char *> years) {
        std::map<std::string, std::string> of;
        for (std::size_t i = 0; i < years.size(); ++i) of[dates[i]] = years[i];
        return [of](const CheckRecord &r) { return of.at(std::string(r.CHKDATE, 8)); };
    };
    const char *y7 = "FY2007", *y8 = "FY2008";
    const struct {
        SummaryGroup by;
        int fiscal_start;
        std::function<std::string(const CheckRecord &)> group;
    } cases[] = {
        {SummaryGroup::Vendor, 7,
         [&](const CheckRecord &r) { return text({r.NAME, 35}) + "|" + text({r.VENDORID, 10}); }},
        {SummaryGroup::Month, 7,
         [](const CheckRecord &r) { return std::string(r.CHKDATE, 4) + "-" + std::string(r.CHKDATE + 4, 2); }},
        {SummaryGroup::Description, 7, [&](const CheckRecord &r) { return text({r.DESC, 35}); }},
        {SummaryGroup::FiscalYear, 7, fiscal({y7, y7, y7, y7, y7, y8, y8, y8})},
        {SummaryGroup::FiscalYear, 3, fiscal({y7, y8, y8, y8, y8, y8, y8, y8})},
        {SummaryGroup::FiscalYear, 1, fiscal({y7, y7, y7, y7, y7, y7, y8, y8})},
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
            const Summary summary =
                summarize(set(), SortOrder::VendorName, in, {c.by, sort, c.fiscal_start});
            ASSERT_EQ(summary.rows.size(), want.size());
            std::int64_t sum = 0;
            double shares = 0;
            for (std::size_t i = 0; i < summary.rows.size(); ++i) {
                const SummaryRow &row = summary.rows[i];
                const std::string key =
                    c.by == SummaryGroup::Vendor ? row.label + "|" + row.vendor_id : row.label;
                ASSERT_EQ(want.count(key), 1u) << key;
                EXPECT_EQ(row.checks, want[key].checks) << key;
                EXPECT_EQ(row.total_cents, want[key].cents) << key;
                EXPECT_EQ(row.first_date + row.last_date, want[key].first + want[key].last) << key;
                if (i > 0 && sort == SummarySort::Total)
                    EXPECT_GE(summary.rows[i - 1].total_cents, row.total_cents);
                if (i > 0 && sort == SummarySort::Group && c.by != SummaryGroup::Vendor)
                    EXPECT_LT(summary.rows[i - 1].label, row.label);
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

TEST(SearchInputCheck, RefusesWhatIsNoDateOrAmount) {
    const struct {
        const char *from, *to, *amount;
        const char *field;  // "" when the inputs are sound
        const char *min = "", *max = "";  // the amount range
    } cases[] = {
        {"20070101", "20071231", "", ""},
        {"20070101", "20070101", "$10,000.50", ""},
        {"20071231", "20070101", "", "From date"},  // after the To date
        {"200701", "20071231", "", "From date"},    // a two-digit year
        {"20071301", "20071231", "", "From date"},
        {"20070101", "2007123a", "", "To date"},
        {"20070101", "20071200", "", "To date"},
        {"20070101", "20071231", "abc", "Amount"},
        {"20070101", "20071231", "1.234", "Amount"},
        {"20070101", "20071231", "10,00", "Amount"},
        {"20070101", "20071231", "1e5", "Amount"},
        {"20070101", "20071231", "99999999999999", "Amount"},
        {"20070101", "20071231", "", "", "-5", "-5"},
        {"20070101", "20071231", "", "Amount from", "1.234", ""},
        {"20070101", "20071231", "", "Amount to", "", "ten"},
        {"20070101", "20071231", "", "Amount from", "100", "99.99"},  // from above to
    };
    for (const auto &c : cases) {
        SearchInputs in = range(c.from, c.to);
        in.amount = c.amount;
        in.amount_min = c.min;
        in.amount_max = c.max;
        const std::optional<InputError> error = check_search_inputs(in);
        EXPECT_EQ(error ? error->field : "", c.field) << c.from << " " << c.to << " " << c.amount;
        if (error) {
            EXPECT_NE(error->message.find(c.field), std::string::npos) << error->message;
        }
    }
}

TEST(SearchSpan, AllSpansTheRegistersFirstToLastDate) {
    app_test::TestRegister reg;
    const RegisterSpan empty = register_span(reg.set());
    EXPECT_EQ(empty.first.year, "2006");
    EXPECT_EQ(empty.last.year, std::to_string(current_year()));
    ASSERT_EQ(reg.import_records({kChecks[0], kChecks[1], kChecks[2]}).imported, 3u);
    ASSERT_EQ(reg.import_records({make_record("900001", "19980105", "V1", "OLD CHECK", "", "",
                                              "000000000001.00", ""),
                                  make_record("900002", "20270301", "V1", "POST-DATED", "", "",
                                              "000000000002.00", "")})
                  .imported,
              2u);
    const RegisterSpan span = register_span(reg.set());
    EXPECT_EQ(span.first.month + "/" + span.first.day + "/" + span.first.year, "01/05/1998");
    EXPECT_EQ(span.last.month + "/" + span.last.day + "/" + span.last.year, "03/01/2027");
    EXPECT_EQ(span.first_year, 1998);
    EXPECT_EQ(span.last_year, std::max(2027, current_year()));
}

TEST(SearchDeleted, RecordsMarkedDeletedAreNeverListed) {
    app_test::TestRegister reg;
    ASSERT_EQ(reg.import_records(kChecks).imported, kChecks.size());
    DatabaseSet &set = reg.set();
    ASSERT_EQ(KvlDataMarkRecord(set.data(), 4, '*'), 0u);  // 100003 ACME SUPPLY
    ASSERT_EQ(KvlDataMarkRecord(set.data(), 1, '*'), 0u);  // the first record of several orders
    auto live = [](const Lines &lines) {
        for (const std::string &line : lines)
            if (line == record_line(kChecks[0]) || line == record_line(kChecks[3])) return false;
        return true;
    };
    for (bool rebuilt : {false, true}) {
        SCOPED_TRACE(rebuilt ? "after a rebuild" : "keys still in the indexes");
        if (rebuilt) {
            ASSERT_TRUE(rebuild_all_indexes(set).ok());
        }
        for (SortOrder order : kOrders) {
            Lines lines = run(set, order, range("20000101", "20991231"));
            EXPECT_EQ(lines.size(), kChecks.size() - 2) << sort_order_caption(order);
            EXPECT_TRUE(live(lines)) << sort_order_caption(order);
        }
    }
    EXPECT_EQ(set.index(RegisterIndex::Date)->header.key_count, kChecks.size() - 2);
}

TEST(SearchEmpty, AnEmptyRegisterListsNothing) {
    app_test::TestRegister reg;
    for (SortOrder order : kOrders) {
        ResultList list;
        const SearchResult result =
            search_records(reg.set(), order, range("20000101", "20991231"), list);
        EXPECT_TRUE(list.empty());
        EXPECT_EQ(result.line_count, 0u);
        EXPECT_EQ(total_text(result.total), "0");
        EXPECT_FALSE(result.stopped_by_error()) << result.end_result;
    }
}

}  // namespace
