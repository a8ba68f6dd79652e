// csv_table.cc - RFC 4180 lines of a table.
#include "app/output/csv_table.h"

namespace ledgrove {

std::string csv_field(std::string_view text) {
    if (text.find_first_of(",\"\r\n") == std::string_view::npos) return std::string(text);
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '"') quoted += '"';
        quoted += c;
    }
    quoted += '"';
    return quoted;
}

void CsvTableWriter::begin(const std::vector<TableColumn> &columns) {
    line_.clear();
    kinds_.clear();
    for (const TableColumn &column : columns) {
        if (!kinds_.empty()) line_ += ',';
        line_ += csv_field(column.title);
        kinds_.push_back(column.kind);
    }
    line_ += "\r\n";
    out_.write(line_);
}

void CsvTableWriter::row(const TableRow &values) {
    line_.clear();
    for (std::size_t i = 0; i < values.size() && i < kinds_.size(); ++i) {
        if (i > 0) line_ += ',';
        const std::string text = plain_value(kinds_[i], values[i]);
        line_ += is_quoted(kinds_[i]) ? csv_field(text) : text;
    }
    line_ += "\r\n";
    out_.write(line_);
}

}  // namespace ledgrove
