// Every plan of a search lists the lines of the walk of the order's index,
// byte for byte: thousands of random criteria (every order, forwards and
// backwards, wide and narrow date ranges, each match text with and without
// match case, the Any field, each amount operator, amount ranges, subtotals
// on and off) over a register with negative amounts, mixed-case names and
// records marked deleted both before and after the last rebuild.  Each
// plan is forced in turn; the order walk is the reference.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "app/maint/demo_register.h"
#include "app/maint/rebuild.h"
#include "app/output/csv_line.h"
#include "app/search/result_list.h"
#include "app/search/search.h"
#include "app/store/amount_text.h"
#include "app/support/test_register.h"

namespace {

using namespace ledgrove;

constexpr SearchPlan kPlans[] = {SearchPlan::KeyRange, SearchPlan::DateScan, SearchPlan::Auto};

// The lines, count, total and end of one search.
struct Listing {
    std::vector<std::string> lines;
    std::size_t count = 0;
    std::int64_t cents = 0;
    std::uint32_t end = 0;
};

class LineRecorder : public LineSink {
public:
    void append(std::string_view line) override { lines.emplace_back(line); }
    std::vector<std::string> lines;
};

Listing list(DatabaseSet &set, SortOrder order, const SearchInputs &in, SearchPlan plan) {
    LineRecorder recorder;
    const SearchResult result = search_records(set, order, in, recorder, plan);
    return {std::move(recorder.lines), result.line_count, result.total_cents, result.end_result};
}

// The ids handed on to a sink that wants only the first `limit` checks, as
// a page of the web site does.
class FirstChecks : public RecordSink {
public:
    explicit FirstChecks(std::size_t limit) : limit_(limit) {}
    void add(const CheckRecord &record) override { ids.emplace_back(record.ID, sizeof record.ID); }
    bool wants_more() const override { return ids.size() < limit_; }
    std::size_t at_most() const override { return limit_; }
    std::vector<std::string> ids;

private:
    std::size_t limit_;
};

class SearchPlans : public ::testing::Test {
protected:
    static constexpr std::size_t kChecks = 1500;

    void SetUp() override {
        DemoRegister demo(kChecks, 99);
        std::vector<CheckRecord> records;
        for (CheckRecord r; demo.next(r);) records.push_back(r);
        for (std::size_t i = 0; i < records.size(); ++i) {
            CheckRecord &r = records[i];
            // Negative amounts, several of one value, and names in mixed case.
            if (i % 11 == 0) set_field(r.AMOUNT, stored_amount_of_cents(-std::int64_t(i % 7) * 2500 - 1));
            if (i % 13 == 0) set_field(r.AMOUNT, stored_amount_of_cents(-std::int64_t(i) * 37));
            if (i % 9 == 0)
                for (char &c : r.NAME) c = (c >= 'A' && c <= 'Z' && (&c - r.NAME) % 2) ? char(c + 32) : c;
            if (i % 17 == 0) set_field(r.DESC, "fuel and Fuel");
        }
        reg_.import_records(records);
        for (const CheckRecord &r : records) samples_.push_back(r);
    }

    // Marks every `step`-th record deleted, starting at `first`.
    void mark_deleted(std::uint32_t first, std::uint32_t step) {
        for (std::uint32_t n = first; n <= reg_.record_count(); n += step)
            ASSERT_EQ(KvlDataMarkRecord(reg_.set().data(), n, '*'), 0u);
    }

    // A piece of a field of some record, sometimes lower-cased.
    std::string piece(std::mt19937 &rng, std::string_view field) {
        const std::size_t length = 1 + rng() % 4;
        const std::size_t at = rng() % (field.size() > length ? field.size() - length : 1);
        std::string text(field.substr(at, length));
        if (rng() % 3 == 0)
            for (char &c : text) c = (c >= 'A' && c <= 'Z') ? char(c + 32) : c;
        return text;
    }

    std::string date(std::mt19937 &rng) {
        char text[9];
        std::snprintf(text, sizeof text, "%04u%02u%02u", unsigned(2004 + rng() % 19),
                      unsigned(1 + rng() % 12), unsigned(1 + rng() % 28));
        return text;
    }

    SearchInputs random_inputs(std::mt19937 &rng) {
        SearchInputs in;
        in.from = date(rng);
        in.to = date(rng);
        if (in.from > in.to) std::swap(in.from, in.to);
        if (rng() % 4 == 0) in.to = in.from.substr(0, 6) + "28";  // one month
        if (rng() % 4 == 0) in.from = "19000101", in.to = "29991231";
        const CheckRecord &r = samples_[rng() % samples_.size()];
        switch (rng() % 8) {
            case 0: in.vendor_name = piece(rng, field_text(r.NAME)); break;
            case 1: in.description = piece(rng, field_text(r.DESC)); break;
            case 2: in.check_id = piece(rng, field_text(r.CHKID)); break;
            case 3: in.po_number = piece(rng, field_text(r.POID)); break;
            case 4: in.vendor_id = piece(rng, field_text(r.VENDORID)); break;
            case 5: in.any_text = piece(rng, field_text(r.NAME)); break;
            default: break;
        }
        const std::int64_t cents = stored_cents(field_text(r.AMOUNT));
        switch (rng() % 6) {
            case 0: case 1:
                in.amount = plain_cents(rng() % 2 ? cents : cents / 3);
                in.amount_operator = "<=>"[rng() % 3];
                break;
            case 2:
                in.amount_min = plain_cents(cents);
                if (rng() % 2) in.amount_max = plain_cents(cents + std::int64_t(rng() % 500000));
                break;
            case 3: in.amount_max = plain_cents(cents); break;
            default: break;
        }
        in.match_case = rng() % 2;
        in.reverse = rng() % 2;
        in.subtotals = rng() % 2;
        in.dates_by_month = rng() % 2;
        return in;
    }

    // Each plan against the order walk, `rounds` random criteria.
    void compare_plans(std::uint32_t seed, int rounds) {
        std::mt19937 rng(seed);
        DatabaseSet &set = reg_.set();
        for (int round = 0; round < rounds; ++round) {
            const SearchInputs in = random_inputs(rng);
            ASSERT_FALSE(check_search_inputs(in).has_value()) << round;
            const auto order = static_cast<SortOrder>(rng() % kSortOrderCount);
            const Listing want = list(set, order, in, SearchPlan::OrderWalk);
            for (SearchPlan plan : kPlans) {
                const Listing got = list(set, order, in, plan);
                const std::string label = "round " + std::to_string(round) + " order " +
                                          std::to_string(int(order)) + " plan " +
                                          std::to_string(int(plan));
                ASSERT_EQ(got.lines, want.lines) << label;
                ASSERT_EQ(got.count, want.count) << label;
                ASSERT_EQ(got.cents, want.cents) << label;
                ASSERT_EQ(got.end, want.end) << label;
            }
            // A sink that stops early (one page) sees the same first checks.
            const std::size_t limit = 1 + rng() % 40;
            FirstChecks reference(limit);
            search_checks(set, order, in, reference, SearchPlan::OrderWalk);
            for (SearchPlan plan : kPlans) {
                FirstChecks first(limit);
                const SearchResult result = search_checks(set, order, in, first, plan);
                ASSERT_EQ(first.ids, reference.ids) << "round " << round;
                // Chosen freely, it never reads the whole range before the first check.
                if (plan == SearchPlan::Auto) {
                    ASSERT_NE(result.plan, SearchPlan::DateScan) << "round " << round;
                }
            }
        }
    }

    app_test::TestRegister reg_;
    std::vector<CheckRecord> samples_;
};

// Deleted records whose keys are still in every index: the date scan may
// read the whole data file.
TEST_F(SearchPlans, ListTheOrderWalksLinesWithKeysOfDeletedRecords) {
    mark_deleted(5, 29);
    compare_plans(1, 1000);
}

// Deleted records without keys, and more marked after the rebuild: the
// date scan takes its records from the date index's keys.
TEST_F(SearchPlans, ListTheOrderWalksLinesWithRecordsLeftOutOfTheIndexes) {
    mark_deleted(3, 23);
    ASSERT_TRUE(rebuild_all_indexes(reg_.set()).ok());
    mark_deleted(7, 31);
    compare_plans(2, 1000);
}

// The plans other than the order walk do serve this register: a forced
// plan that fell back would test nothing.
TEST_F(SearchPlans, EachPlanRunsOnTheRegister) {
    SearchInputs in;
    in.from = "20000101";
    in.to = "20991231";
    in.vendor_name = "SUPPLY";
    LineRecorder lines;
    for (SearchPlan plan : {SearchPlan::OrderWalk, SearchPlan::KeyRange, SearchPlan::DateScan})
        EXPECT_EQ(search_records(reg_.set(), SortOrder::VendorName, in, lines, plan).plan, plan);
    in.vendor_name.clear();
    in.amount = "100000";
    in.amount_operator = '>';
    EXPECT_EQ(search_records(reg_.set(), SortOrder::Amount, in, lines).plan, SearchPlan::KeyRange);
}

}  // namespace
