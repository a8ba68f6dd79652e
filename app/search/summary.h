// summary.h - a search's checks summed by group: by vendor (vendor id and
// name), by month, by fiscal year or by description.  One row per group with
// its number of checks, its total, its share of the grand total and its
// first and last date, sorted by total (largest first) or by group.
//
// The summary is fed by the search itself (a RecordSink), so it covers
// exactly the checks the search lists.  Totals are whole cents: the grand
// total is the sum of the rows' totals and equals the search's total_cents.
// Texts stay in the register's code page, trailing spaces dropped.
#ifndef LEDGROVE_APP_SEARCH_SUMMARY_H
#define LEDGROVE_APP_SEARCH_SUMMARY_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "app/search/date_presets.h"
#include "app/search/record_sink.h"
#include "app/search/search.h"

namespace ledgrove {

enum class SummaryGroup { Vendor, Month, FiscalYear, Description };
enum class SummarySort { Total, Group };

struct SummaryOptions {
    SummaryGroup by = SummaryGroup::Vendor;
    SummarySort sort = SummarySort::Total;
    int fiscal_start = kDefaultFiscalStart;  // the month a fiscal year starts
};

// "Vendor", "Month", "Fiscal year", "Description".
std::string_view summary_group_caption(SummaryGroup by);

struct SummaryRow {
    std::string vendor_id;  // by vendor only
    // The vendor name, the month as YYYY-MM, the fiscal year as FY2024, or
    // the description.
    std::string label;
    std::size_t checks = 0;
    std::int64_t total_cents = 0;
    double share = 0.0;  // total / grand total; 0 when the grand total is 0
    std::string first_date, last_date;  // YYYYMMDD
};

struct Summary {
    SummaryOptions options;
    std::vector<SummaryRow> rows;
    std::size_t checks = 0;
    std::int64_t total_cents = 0;
    DateSpan dates;       // the search's date range
    SearchResult search;  // the walk that fed the summary
};

class SummaryBuilder : public RecordSink {
public:
    explicit SummaryBuilder(const SummaryOptions &options) : options_(options) {}

    void add(const CheckRecord &record) override;

    // The rows, their shares, sorted.
    Summary finish();

private:
    void group_key(const CheckRecord &record);

    SummaryOptions options_;
    std::vector<SummaryRow> rows_;
    std::vector<std::string> keys_;  // rows_[i]'s group, as the group order sorts it
    std::unordered_map<std::string, std::size_t> index_;  // key -> row
    std::string key_, label_, vendor_id_;  // of the record at hand, reused
    std::int64_t total_cents_ = 0;
    std::size_t checks_ = 0;
};

// Runs the search in the order given (which decides nothing but the walk)
// and sums what it accepts.
Summary summarize(DatabaseSet &set, SortOrder order, const SearchInputs &inputs,
                  const SummaryOptions &options);

}  // namespace ledgrove

#endif  // LEDGROVE_APP_SEARCH_SUMMARY_H
