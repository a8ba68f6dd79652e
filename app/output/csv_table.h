// csv_table.h - a table as a standard CSV file: UTF-8, a header row, fields
// quoted as RFC 4180 has it (a field holding a comma, a double quote or a
// line break is put in double quotes, its quotes doubled), CR LF line ends,
// ISO dates, amounts as plain decimals with a point (1234.50, -12.00).
#ifndef LEDGROVE_APP_OUTPUT_CSV_TABLE_H
#define LEDGROVE_APP_OUTPUT_CSV_TABLE_H

#include <string>
#include <string_view>

#include "app/output/table.h"
#include "app/output/text_output.h"

namespace ledgrove {

// One CSV field, quoted when it must be.
std::string csv_field(std::string_view text);

class CsvTableWriter : public TableWriter {
public:
    explicit CsvTableWriter(TextOutput &out) : out_(out) {}
    void begin(const std::vector<TableColumn> &columns) override;
    void row(const TableRow &values) override;
    std::optional<std::string> finish() override { return std::nullopt; }

private:
    TextOutput &out_;
    std::vector<ColumnKind> kinds_;
    std::string line_;
};

}  // namespace ledgrove

#endif  // LEDGROVE_APP_OUTPUT_CSV_TABLE_H
