// table.h - a table as the standard exports write it: typed columns, then
// rows of values.  The check lines of a search and a summary are both such
// tables (check_table.h, summary_table.h); CSV, JSON and XLSX writers
// (csv_table.h, json_table.h, xlsx_table.h) each write one.
//
// Values are typed so that every format writes them its own proper way: a
// date as ISO text or a real spreadsheet date, an amount as an exact
// decimal number, never a formatted display text.
#ifndef LEDGROVE_APP_OUTPUT_TABLE_H
#define LEDGROVE_APP_OUTPUT_TABLE_H

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ledgrove {

enum class ColumnKind {
    Text,    // UTF-8
    Date,    // a stored date YYYYMMDD in the value's text
    Amount,  // whole cents in the value's number
    Count,   // the value's number
    Share,   // a fraction (0.25 for a quarter) in the value's share
};

struct TableColumn {
    std::string title;  // the header: "Vendor Name"
    std::string key;    // the JSON name: "vendor_name"
    ColumnKind kind;
    int width = 12;     // characters a spreadsheet column shows
};

struct TableValue {
    std::string text;
    std::int64_t number = 0;
    double share = 0.0;
};

using TableRow = std::vector<TableValue>;

class TableWriter {
public:
    virtual ~TableWriter() = default;
    virtual void begin(const std::vector<TableColumn> &columns) = 0;
    virtual void row(const TableRow &values) = 0;
    // Ends the table; why it could not be written, as a sentence that names
    // the file, or nothing.
    virtual std::optional<std::string> finish() = 0;
};

// A stored date as ISO text: "20240315" -> "2024-03-15"; a text that is no
// stored date as it stands.
std::string iso_date(std::string_view stored);

// A value as the text formats (CSV, JSON) write it: ISO dates, amounts as
// plain decimals, counts, shares with six decimals; text as it stands.
// Text and dates are still to be quoted by the format.
std::string plain_value(ColumnKind kind, const TableValue &value);
inline bool is_quoted(ColumnKind kind) { return kind == ColumnKind::Text || kind == ColumnKind::Date; }

}  // namespace ledgrove

#endif  // LEDGROVE_APP_OUTPUT_TABLE_H
