// csv_reader.h - reading the rows of a CSV text as published registers
// write it (RFC 4180 and the usual variations).
//
//   - Fields are split at the delimiter (',' unless chosen otherwise).
//   - A field that starts with '"' is quoted: it runs to the next '"' that is
//     not doubled, "" inside it stands for one '"', and delimiters and line
//     breaks inside it are data.  Text between a closing quote and the next
//     delimiter is kept as it stands: nothing is dropped.
//   - A '"' inside an unquoted field is an ordinary character.
//   - Rows end at CR LF, LF or a lone CR; the last row needs no line break.
//   - A UTF-8 byte-order mark at the very start is not data.
//   - An empty line is no row.
//   - A quoted field still open at the end of the text ends its row, and the
//     row says so: its last field may have swallowed the rest of the file.
//
// Rows are numbered by the line they start on, counted from 1, so a row's
// number is the line a text editor shows and, when no field holds a line
// break, the spreadsheet row number too.
#ifndef LEDGROVE_APP_MAINT_CONVERT_CSV_READER_H
#define LEDGROVE_APP_MAINT_CONVERT_CSV_READER_H

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace ledgrove {

inline constexpr std::string_view kUtf8ByteOrderMark = "\xEF\xBB\xBF";

struct CsvRow {
    std::vector<std::string> fields;
    std::size_t line = 0;         // the line the row starts on, from 1
    bool unclosed_quote = false;  // a quoted field ran to the end of the text
};

class CsvReader {
public:
    // The text must outlive the reader.  The delimiter must not be '"', CR
    // or LF (csv_delimiter_usable).
    explicit CsvReader(std::string_view text, char delimiter = ',');

    // The next row; false at the end of the text.
    bool next(CsvRow &row);

    // Bytes of the text consumed so far.
    std::size_t position() const { return pos_; }

private:
    bool at_line_break() const;
    void skip_line_break();
    void read_quoted(std::string &field, CsvRow &row);
    void read_unquoted(std::string &field);

    std::string_view text_;
    std::size_t pos_ = 0;
    std::size_t line_ = 1;
    char delimiter_;
};

bool csv_delimiter_usable(char delimiter);

}  // namespace ledgrove

#endif  // LEDGROVE_APP_MAINT_CONVERT_CSV_READER_H
