// json_table.h - a table as JSON: an array of objects, one a row, keyed by
// the columns' JSON names; dates as ISO text, amounts as numbers with two
// decimals (1234.50), counts as whole numbers, shares as fractions.
//
// Written by hand rather than through a JSON library: the values are flat
// and the one escape rule (quotes, backslashes and control characters in
// strings) is short, while a library's document tree would hold a whole
// million-check export in memory before the first byte is written.
#ifndef LEDGROVE_APP_OUTPUT_JSON_TABLE_H
#define LEDGROVE_APP_OUTPUT_JSON_TABLE_H

#include <string>
#include <string_view>

#include "app/output/table.h"
#include "app/output/text_output.h"

namespace ledgrove {

// A JSON string literal of UTF-8 text, quotes included.
std::string json_string(std::string_view utf8);

class JsonTableWriter : public TableWriter {
public:
    explicit JsonTableWriter(TextOutput &out) : out_(out) {}
    void begin(const std::vector<TableColumn> &columns) override;
    void row(const TableRow &values) override;
    std::optional<std::string> finish() override;

private:
    TextOutput &out_;
    std::vector<TableColumn> columns_;
    std::string text_;
    bool first_ = true;
};

}  // namespace ledgrove

#endif  // LEDGROVE_APP_OUTPUT_JSON_TABLE_H
