// summary.cc - summing a search's checks by group.
#include "app/search/summary.h"

#include <algorithm>
#include <numeric>

#include "app/store/amount_text.h"
#include "app/store/field_text.h"

namespace ledgrove {
namespace {

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
    return text;
}

int two_digits(std::string_view text, std::size_t at) {
    if (text.size() < at + 2) return 0;
    return (text[at] - '0') * 10 + (text[at + 1] - '0');
}

}  // namespace

std::string_view summary_group_caption(SummaryGroup by) {
    static constexpr std::string_view kCaptions[] = {"Vendor", "Month", "Fiscal year",
                                                     "Description"};
    return kCaptions[static_cast<int>(by)];
}

void SummaryBuilder::group_key(const CheckRecord &record) {
    const std::string_view date = field_text(record.CHKDATE);
    switch (options_.by) {
        case SummaryGroup::Vendor:
            // By name first, so the group order reads alphabetically; the
            // id keeps two vendors of one name apart.
            label_.assign(trimmed(field_text(record.NAME)));
            vendor_id_.assign(trimmed(field_text(record.VENDORID)));
            key_.assign(label_).push_back('\0');
            key_.append(vendor_id_);
            return;
        case SummaryGroup::Month:
            key_.assign(date.substr(0, 4)).append("-").append(date.substr(4, 2));
            label_.assign(key_);
            return;
        case SummaryGroup::FiscalYear: {
            const int year = two_digits(date, 0) * 100 + two_digits(date, 2);
            key_ = "FY" + std::to_string(fiscal_year_of(year, two_digits(date, 4),
                                                        options_.fiscal_start));
            label_.assign(key_);
            return;
        }
        case SummaryGroup::Description:
            key_.assign(trimmed(field_text(record.DESC)));
            label_.assign(key_);
            return;
    }
}

void SummaryBuilder::add(const CheckRecord &record) {
    group_key(record);
    auto [found, added] = index_.try_emplace(key_, rows_.size());
    if (added) {
        SummaryRow row;
        row.label = label_;
        if (options_.by == SummaryGroup::Vendor) row.vendor_id = vendor_id_;
        rows_.push_back(std::move(row));
        keys_.push_back(key_);
    }
    SummaryRow &row = rows_[found->second];
    const std::int64_t cents = stored_cents(field_text(record.AMOUNT));
    const std::string_view date = field_text(record.CHKDATE);
    ++row.checks;
    row.total_cents += cents;
    if (row.first_date.empty() || date < row.first_date) row.first_date.assign(date);
    if (row.last_date.empty() || date > row.last_date) row.last_date.assign(date);
    ++checks_;
    total_cents_ += cents;
}

Summary SummaryBuilder::finish() {
    Summary summary;
    summary.options = options_;
    summary.checks = checks_;
    summary.total_cents = total_cents_;
    std::vector<std::size_t> order(rows_.size());
    std::iota(order.begin(), order.end(), 0);
    const bool by_total = options_.sort == SummarySort::Total;
    std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        if (by_total && rows_[a].total_cents != rows_[b].total_cents)
            return rows_[a].total_cents > rows_[b].total_cents;
        return keys_[a] < keys_[b];
    });
    summary.rows.reserve(rows_.size());
    for (std::size_t i : order) {
        SummaryRow &row = rows_[i];
        if (total_cents_ != 0)
            row.share = static_cast<double>(row.total_cents) / static_cast<double>(total_cents_);
        summary.rows.push_back(std::move(row));
    }
    rows_.clear();
    keys_.clear();
    index_.clear();
    return summary;
}

Summary summarize(DatabaseSet &set, SortOrder order, const SearchInputs &inputs,
                  const SummaryOptions &options) {
    SummaryBuilder builder(options);
    const SearchResult result = search_checks(set, order, inputs, builder);
    Summary summary = builder.finish();
    summary.dates = {inputs.from, inputs.to};
    summary.search = result;
    return summary;
}

}  // namespace ledgrove
