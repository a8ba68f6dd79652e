// result_page.cc - the result lines of one page, sorted out from the
// builder's stream as it is written.
#include "app/web/result_page.h"

#include <string_view>

#include "app/output/check_table.h"
#include "app/search/result_lines.h"
#include "app/store/code_page.h"

namespace ledgrove::web {
namespace {

std::string trimmed(std::string_view text) {
    const std::size_t first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) return {};
    return std::string(text.substr(first, text.find_last_not_of(' ') - first + 1));
}

// Takes the checks of the walk one by one and the lines the builder writes
// for each: the lines that close a group come before the check that opens
// the next, its own line last.  The closing lines belong with the check
// before.
class PageCollector : public RecordSink, public LineSink {
public:
    PageCollector(ResultOptions options, std::size_t first, std::size_t count)
        : builder_(*this, options), first_(first), end_(first + count) {}

    void add(const CheckRecord &record) override {
        if (seen_ > end_) return;  // held back by the Amount order past the stop
        const std::size_t index = seen_++;
        written_.clear();
        builder_.add(record);
        if (index > 0 && on_page(index - 1))
            for (std::size_t i = 0; i + 1 < written_.size(); ++i) take_line(written_[i]);
        if (on_page(index)) {
            PageRow row;
            check_row(record, row.check);
            rows_.push_back(std::move(row));
        }
    }

    // One check past the page, to learn whether its last group closes.
    bool wants_more() const override { return seen_ <= end_; }
    std::size_t at_most() const override { return end_ + 1; }

    void append(std::string_view line) override { written_.emplace_back(line); }

    // After a walk that reached the end: the last group's closing lines.
    void close() {
        written_.clear();
        builder_.close();
        if (seen_ == 0 ? first_ == 0 : on_page(seen_ - 1))
            for (const std::string &line : written_) take_line(line);
    }

    bool stopped_early() const { return seen_ > end_; }
    std::vector<PageRow> take_rows() { return std::move(rows_); }

private:
    bool on_page(std::size_t index) const { return index >= first_ && index < end_; }

    // A subtotal line becomes a row; the separator and blank lines are the
    // table's own lines on the page.
    void take_line(std::string_view line) {
        const std::string label = trimmed(line.substr(0, kAmountColumn));
        if (label.empty()) return;
        PageRow row;
        row.subtotal = true;
        row.label = from_register_text(label);
        row.amount = trimmed(line.size() > kAmountColumn ? line.substr(kAmountColumn) : "");
        rows_.push_back(std::move(row));
    }

    ResultBuilder builder_;
    std::size_t first_, end_;
    std::size_t seen_ = 0;
    std::vector<std::string> written_;
    std::vector<PageRow> rows_;
};

}  // namespace

ResultPage result_page(DatabaseSet &set, SortOrder order, const SearchInputs &inputs,
                       std::size_t first, std::size_t count) {
    PageCollector collector(
        {order, inputs.subtotals, order == SortOrder::Date && inputs.dates_by_month}, first,
        count);
    ResultPage page;
    page.walk = search_checks(set, order, inputs, collector);
    page.walked_all = !collector.stopped_early();
    if (page.walked_all) collector.close();
    page.rows = collector.take_rows();
    return page;
}

}  // namespace ledgrove::web
