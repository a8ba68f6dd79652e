// json_table.cc - the rows of a table as JSON objects.
#include "app/output/json_table.h"

#include <cstdio>

#include "app/store/amount_text.h"

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
        const TableValue &v = values[i];
        switch (columns_[i].kind) {
            case ColumnKind::Text: text_ += json_string(v.text); break;
            case ColumnKind::Date: text_ += json_string(iso_date(v.text)); break;
            case ColumnKind::Amount: text_ += plain_cents(v.number); break;
            case ColumnKind::Count: text_ += std::to_string(v.number); break;
            case ColumnKind::Share: {
                char number[32];
                std::snprintf(number, sizeof number, "%.6f", v.share);
                text_ += number;
                break;
            }
        }
    }
    text_ += '}';
    out_.write(text_);
}

std::optional<std::string> JsonTableWriter::finish() {
    out_.write(first_ ? "]\n" : "\n]\n");
    return std::nullopt;
}

}  // namespace ledgrove
