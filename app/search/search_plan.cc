// search_plan.cc - the estimate that chooses among the three plans of a
// search (search_plan.h explains both; each plan has its own file).
#include "app/search/search_plan.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <string_view>
#include <vector>

#include "app/search/plan_run.h"
#include "app/search/record_reader.h"

namespace ledgrove {
namespace {

using namespace plan;

// The estimated cost of reading the records of `numbers` in batches of
// kBatch: a batch whose records lie close together (the mean gap no more
// than kRunGap) reads its stretch of the file; a scattered one reads each
// record, or its whole stretch, whichever costs less.
double fetch_cost(const std::vector<std::uint32_t> &numbers) {
    double cost = 0;
    for (std::size_t first = 0; first < numbers.size(); first += kBatch) {
        const std::size_t last = std::min(numbers.size(), first + kBatch);
        const auto [low, high] =
            std::minmax_element(numbers.begin() + first, numbers.begin() + last);
        const double count = double(last - first);
        const double span = double(*high - *low + 1);
        const double sweep = span * kCheckRecordSize * kByte + span / kRunRecords * kRecordRead;
        cost += span / count <= kRunGap ? sweep : std::min(sweep, count * kRecordRead);
    }
    return cost;
}

// Days of a stored date, near enough for a share of a span.
double day_number(std::string_view date) {
    if (date.size() < 8) return 0;
    auto number = [&](std::size_t at, std::size_t n) {
        double v = 0;
        for (std::size_t i = at; i < at + n; ++i)
            v = v * 10 + (date[i] >= '0' && date[i] <= '9' ? date[i] - '0' : 0);
        return v;
    };
    return number(0, 4) * 372 + number(4, 2) * 31 + number(6, 2);
}

// The share of the date index's keys that the date range holds, as if the
// dates were spread evenly from its first date to its last.
double date_share(Run &run) {
    IndexHandle ix = run.set.index(RegisterIndex::Date);
    std::array<char, KVL_MAX_KEY_LENGTH + 1> key{};
    std::uint32_t record_number = 0;
    if (KvlIx4FirstKey(ix, key.data(), &record_number) != ERR_NONE) return 1.0;
    const double first = day_number(std::string_view(key.data(), 8));
    if (KvlIx4LastKey(ix, key.data(), &record_number) != ERR_NONE) return 1.0;
    const double last = day_number(std::string_view(key.data(), 8));
    const double low = std::max(first, day_number(run.from));
    const double high = std::min(last, day_number(run.to));
    if (high < low) return 0.0;
    return std::min(1.0, (high - low + 1) / (last - first + 1));
}

struct ScanEstimate {
    bool possible = false;
    bool whole_file = false;
    double cost = std::numeric_limits<double>::infinity();
};

bool any_test(const SearchInputs &in) {
    return !in.vendor_name.empty() || !in.description.empty() || !in.check_id.empty() ||
           !in.po_number.empty() || !in.vendor_id.empty() || !in.amount.empty() ||
           !in.amount_min.empty() || !in.amount_max.empty() || !in.any_text.empty();
}

ScanEstimate estimate_scan(Run &run, const KeyLayout &layout) {
    ScanEstimate e;
    DatabaseSet &set = run.set;
    if (!layout.usable || !layout.sortable || !set.index_open(RegisterIndex::Date)) return e;
    const KeyLayout dates = layout_of(set.index(RegisterIndex::Date), RegisterIndex::Date);
    if (!dates.usable || !digits_in_order(dates)) return e;
    const double records = set.data()->header.record_count;
    const double date_keys = set.index(RegisterIndex::Date)->header.key_count;
    const double order_keys = set.index(index_for(run.order))->header.key_count;
    const double share = date_share(run);
    const double candidates = share * date_keys;
    // With no test but the dates every candidate is a match, and all must
    // fit in the scan's memory.
    const double entry = double(date_scan_match_bytes(layout));
    if (!any_test(run.in) && candidates * entry > double(kWorkMemory)) return e;
    const double per_date_key =
        kKeyStep + 2 * kNodeRead / std::max(1u, set.index(RegisterIndex::Date)->header.keys_per_node);
    const double by_keys = candidates * (per_date_key + kTest) +
                           std::min(candidates * kRecordRead, records * kCheckRecordSize * kByte);
    const double whole = records * (kCheckRecordSize * kByte + kTest);
    e.whole_file = date_keys == records && order_keys == records && whole < by_keys;
    e.possible = e.whole_file || order_keys == date_keys;
    if (!e.possible) return e;
    const double matches = any_test(run.in) ? candidates / 8 : candidates;
    e.cost = (e.whole_file ? whole : by_keys) +
             matches * kSortStep * std::log2(matches + 2);
    return e;
}

double key_walk_estimate(Run &run) {
    IndexHandle ix = run.set.index(index_for(run.order));
    return double(ix->header.key_count) *
           (kKeyStep + 2 * kNodeRead / std::max(1u, ix->header.keys_per_node));
}

void choose_and_run(Run &run, SearchPlan plan) {
    if (plan == SearchPlan::OrderWalk || !plans_apply(run.set, run.order)) {
        order_walk(run);
        return;
    }
    const RegisterIndex which = index_for(run.order);
    const KeyLayout layout = layout_of(run.set.index(which), which);
    if (run.date_order && !layout.usable) {
        order_walk(run);
        return;
    }
    constexpr double kNoLimit = std::numeric_limits<double>::infinity();
    // A sink that takes only its first checks: the keys, where they answer
    // a test of the order's own field (the walk reads no record they turn
    // down, and lists from its first small batch), else the order walk,
    // which stops at the last check wanted.
    if (plan == SearchPlan::Auto && run.sink.at_most() != RecordSink::kAll) {
        if (layout.usable && run.test.tests_field(index_info(which).leading_field))
            list_hits(run, walk_keys(run, layout, kNoLimit));
        else
            order_walk(run);
        return;
    }
    // In the Date order the date scan's records are the key range's, and
    // already in order.
    if (plan == SearchPlan::KeyRange || run.date_order) {
        list_hits(run, walk_keys(run, layout, kNoLimit));
        return;
    }
    const ScanEstimate scan = estimate_scan(run, layout);
    if (plan == SearchPlan::DateScan) {
        if (scan.possible) date_scan(run, layout, scan.whole_file);
        else order_walk(run);
        return;
    }
    // Auto, an order other than Date.
    const bool bounded = run.order == SortOrder::Amount && amount_bounds(run.in).bounded;
    if (scan.possible && !bounded && key_walk_estimate(run) >= scan.cost) {
        date_scan(run, layout, scan.whole_file);
        return;
    }
    KeyHits hits = walk_keys(run, layout, scan.possible ? scan.cost : kNoLimit);
    if (hits.gave_up || (scan.possible && fetch_cost(hits.records) > scan.cost)) {
        hits = {};
        date_scan(run, layout, scan.whole_file);
        return;
    }
    list_hits(run, hits);
}

}  // namespace

const char *search_plan_name(SearchPlan plan) {
    switch (plan) {
        case SearchPlan::OrderWalk: return "order walk";
        case SearchPlan::KeyRange: return "key range";
        case SearchPlan::DateScan: return "date scan";
        case SearchPlan::Auto: break;
    }
    return "auto";
}

SearchResult run_search_plan(DatabaseSet &set, SortOrder order, const SearchInputs &in,
                             RecordSink &sink, SearchPlan plan) {
    Run run(set, order, in, sink);
    choose_and_run(run, plan);
    run.listed.flush();
    return run.outcome;
}

}  // namespace ledgrove
