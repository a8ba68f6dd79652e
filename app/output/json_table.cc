// json_table.cc - the rows of a table as JSON objects.
#include "app/output/json_table.h"

#include <cstdio>


namespace ledgrove {

std::string json_string(std::string_view utf8) {
    std::string out = "\"";
    for (char c : utf8) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (byte < 0x20) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", byte);
            out += escape;
        } else {
            out += c;
        }
    }
    out += '"';
    return out;
}

void JsonTableWriter::begin(const std::vector<TableColumn> &columns) {
    columns_ = columns;
    out_.write("[");
}

void JsonTableWriter::row(const TableRow &values) {
    text_ = first_ ? "\n{" : ",\n{";
    first_ = false;
    for (std::size_t i = 0; i < values.size() && i < columns_.size(); ++i) {
        if (i > 0) text_ += ',';
        text_ += json_string(columns_[i].key);
        text_ += ':';
        const std::string text = plain_value(columns_[i].kind, values[i]);
        text_ += is_quoted(columns_[i].kind) ? json_string(text) : text;
    }
    text_ += '}';
    out_.write(text_);
}

std::optional<std::string> JsonTableWriter::finish() {
    out_.write(first_ ? "]\n" : "\n]\n");
    return std::nullopt;
}

}  // namespace ledgrove
