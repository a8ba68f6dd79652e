// result_lines.h - the fixed-column text of a search result: one record line
// per accepted check, and with subtotals on, a separator, a subtotal line and
// a blank line at every change of the order's group field.  Copying,
// printing and the result export read these lines by column.
//
// Record line, 125 columns (counted from 0):
//     0- 5 CHKID            65- 72 POID
//     7-16 MM/DD/YYYY        74-108 DESC
//    18-27 VENDORID         110-124 display amount, right-justified
//    29-63 NAME             single spaces between the fields
// These columns hold for fields stored at full width, as the program stores
// every field.  A field stored short (ending in zero bytes) takes only the
// characters before its first zero byte, so the line is shorter and every
// later column moves left by what the field lacks.
//
// Separator line: 111 spaces and 14 '=' under the amount.
// Subtotal line: spaces, "   Subtotal for ", the group's label, an arrow,
// and the subtotal as a display amount in columns 110-124.
// Blank line: " ".
#ifndef LEDGROVE_APP_SEARCH_RESULT_LINES_H
#define LEDGROVE_APP_SEARCH_RESULT_LINES_H

#include <cstddef>
#include <iterator>
#include <string>
#include <string_view>

#include "app/search/line_sink.h"
#include "app/search/record_sink.h"
#include "app/store/check_record.h"

namespace ledgrove {

inline constexpr std::size_t kResultLineWidth = 125;
inline constexpr std::size_t kAmountColumn = 110;  // first column of the display amount
inline constexpr std::string_view kBlankLine = " ";

// The columns of a record line as headings stand over them, in line order:
// the order whose field the column shows (its caption is the heading), the
// first column, and the width up to the next column's first, the space
// between them included.  The amount is right-justified in its 15.
struct ResultColumn {
    SortOrder order;
    std::size_t first;
    std::size_t width;
};
inline constexpr ResultColumn kResultColumns[] = {
    {SortOrder::CheckID, 0, 7},       {SortOrder::Date, 7, 11},
    {SortOrder::VendorID, 18, 11},    {SortOrder::VendorName, 29, 36},
    {SortOrder::PONumber, 65, 9},     {SortOrder::Description, 74, 36},
    {SortOrder::Amount, kAmountColumn, kResultLineWidth - kAmountColumn},
};
static_assert(std::size(kResultColumns) == kSortOrderCount);

std::string record_line(const CheckRecord &record);
// The record line with every field padded with spaces to its width, whatever
// it holds: the text columns of the register CSV line (csv_line.h).
std::string padded_record_line(const CheckRecord &record);
std::string separator_line();

// The key that decides whether two records fall in one subtotal group.
struct GroupKey {
    std::string text;    // date order: MM/DD/YYYY or MM/YYYY; else the field's text
    double value = 0.0;  // amount order: the parsed amount
};

GroupKey group_key(const CheckRecord &record, SortOrder order, bool dates_by_month);
bool same_group(SortOrder order, const GroupKey &a, const GroupKey &b);

// The subtotal line of a group; with no key (a group that never started) the
// label is the order's empty-group label.
std::string subtotal_line(SortOrder order, bool dates_by_month, const GroupKey *key,
                          double subtotal);

// The total as it is shown below the list: two decimals, thousands grouped,
// then trailing fraction zeros dropped: 1234.5 -> "1,234.5", 1234 -> "1,234",
// -12.5 -> "-12.5", 0 -> "0".
std::string total_text(double total);

struct ResultOptions {
    SortOrder order = SortOrder::Date;
    bool subtotals = false;
    bool dates_by_month = false;  // date order only
};

// Builds the lines of one search from the records it accepts, in scan order.
class ResultBuilder : public RecordSink {
public:
    ResultBuilder(LineSink &sink, ResultOptions options) : sink_(sink), options_(options) {}

    // One accepted record: its line, preceded at a group change by the
    // finished group's separator, subtotal and blank lines.
    void add(const CheckRecord &record) override;

    // Ends the list: with subtotals on, the last group's separator and
    // subtotal (and a blank line in the Vendor Name and Check ID orders),
    // even when no record was added.  Does nothing the second time.
    void close();

    double total() const { return total_; }
    std::size_t line_count() const { return line_count_; }  // record lines only
    std::string total_text() const { return ledgrove::total_text(total_); }

private:
    void emit_subtotal();

    LineSink &sink_;
    ResultOptions options_;
    double total_ = 0.0;
    double subtotal_ = 0.0;
    std::size_t line_count_ = 0;
    bool group_started_ = false;
    bool closed_ = false;
    GroupKey group_;
    std::string line_;  // the record line being built
};

}  // namespace ledgrove

#endif  // LEDGROVE_APP_SEARCH_RESULT_LINES_H
