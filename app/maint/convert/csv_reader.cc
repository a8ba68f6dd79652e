// csv_reader.cc - splitting a CSV text into rows and fields.
#include "app/maint/convert/csv_reader.h"

namespace ledgrove {

bool csv_delimiter_usable(char delimiter) {
    return delimiter != '"' && delimiter != '\r' && delimiter != '\n';
}

CsvReader::CsvReader(std::string_view text, char delimiter) : text_(text), delimiter_(delimiter) {
    if (text_.starts_with(kUtf8ByteOrderMark)) pos_ = kUtf8ByteOrderMark.size();
}

bool CsvReader::at_line_break() const {
    return pos_ < text_.size() && (text_[pos_] == '\n' || text_[pos_] == '\r');
}

void CsvReader::skip_line_break() {
    if (text_[pos_] == '\r' && pos_ + 1 < text_.size() && text_[pos_ + 1] == '\n') ++pos_;
    ++pos_;
    ++line_;
}

bool CsvReader::next(CsvRow &row) {
    while (at_line_break()) skip_line_break();  // empty lines are no rows
    if (pos_ >= text_.size()) return false;

    row.fields.clear();
    row.line = line_;
    row.unclosed_quote = false;
    for (;;) {
        std::string &field = row.fields.emplace_back();
        if (pos_ < text_.size() && text_[pos_] == '"')
            read_quoted(field, row);
        else
            read_unquoted(field);
        if (pos_ < text_.size() && text_[pos_] == delimiter_) {
            ++pos_;
            continue;
        }
        if (at_line_break()) skip_line_break();
        return true;
    }
}

void CsvReader::read_quoted(std::string &field, CsvRow &row) {
    ++pos_;  // the opening quote
    for (;;) {
        const std::size_t quote = text_.find('"', pos_);
        if (quote == std::string_view::npos) {
            std::string_view rest = text_.substr(pos_);
            for (char c : rest) line_ += c == '\n';
            field.append(rest);
            pos_ = text_.size();
            row.unclosed_quote = true;
            return;
        }
        std::string_view part = text_.substr(pos_, quote - pos_);
        for (char c : part) line_ += c == '\n';
        field.append(part);
        pos_ = quote + 1;
        if (pos_ < text_.size() && text_[pos_] == '"') {
            field += '"';
            ++pos_;
            continue;
        }
        break;
    }
    read_unquoted(field);  // anything between the closing quote and the delimiter
}

void CsvReader::read_unquoted(std::string &field) {
    const std::size_t start = pos_;
    while (pos_ < text_.size() && text_[pos_] != delimiter_ && text_[pos_] != '\n' &&
           text_[pos_] != '\r')
        ++pos_;
    field.append(text_.substr(start, pos_ - start));
}

}  // namespace ledgrove
