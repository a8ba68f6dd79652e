// csv_line.cc - building register CSV lines from records and result lines.
//
// Both builders share the one rule: the first 106 columns of the record's
// text with ',' turned into '~', four spaces, the amount, then the
// separators dropped onto their fixed columns.
#include "app/output/csv_line.h"

#include "app/search/result_lines.h"
#include "app/store/field_text.h"

namespace ledgrove {
namespace {

// Columns 0-105: everything up to the cut description.
constexpr std::size_t kTextColumns = 106;

static_assert(kTextColumns + 4 == csv_columns::kAmount);
static_assert(csv_columns::kAmount == kAmountColumn);  // same column in a result line

std::string finish_line(std::string_view text, std::string_view amount) {
    std::string line = commas_to_tildes(text.substr(0, kTextColumns));
    line.append(kTextColumns - line.size(), ' ');  // a short line still gets its columns
    line.append(4, ' ');
    line.append(amount);
    for (std::size_t column : kCsvSeparatorColumns) line[column] = kCsvSeparator;
    line.append(kCsvLineEnd);
    return line;
}

}  // namespace

std::string csv_line_from_record(const CheckRecord &record) {
    // A padded record line holds the fields in the CSV line's text columns,
    // even those stored short.
    return finish_line(padded_record_line(record), export_amount(field_text(record.AMOUNT)));
}

std::string csv_line_from_result_line(std::string_view line) {
    std::string_view shown = line.size() > kAmountColumn ? line.substr(kAmountColumn) : "";
    return finish_line(line, strip_spaces(strip_commas(shown)));
}

}  // namespace ledgrove
