// csv_line.h - the register CSV line: one check per line, fixed columns, no
// header and no quoting; the whole-register export and the result export
// write it and the import reads it.
//
//   col  width
//     0   6  check id
//     6   1  ','
//     7  10  check date MM/DD/YYYY (month 7-8, day 10-11, year 13-16)
//    17   1  ','
//    18  10  vendor id
//    28   1  ','
//    29  35  vendor name
//    64   1  ','
//    65   8  purchase-order number
//    73   1  ','
//    74  35  the first 32 characters of the description, then three spaces
//   109   1  ','
//   110   -  the amount as a bare number, 1234.50, -1234.50, .50
//   then CR LF.
//
// A ',' inside a text field is written as '~'.  The record id is not
// written: the import gives every record a new one.
#ifndef LEDGROVE_APP_OUTPUT_CSV_LINE_H
#define LEDGROVE_APP_OUTPUT_CSV_LINE_H

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

#include "app/store/check_record.h"

namespace ledgrove {

struct CsvColumn {
    std::size_t start;
    std::size_t width;
};

namespace csv_columns {
inline constexpr CsvColumn kCheckId = {0, 6};
inline constexpr CsvColumn kMonth = {7, 2};
inline constexpr CsvColumn kDay = {10, 2};
inline constexpr CsvColumn kYear = {13, 4};
inline constexpr CsvColumn kVendorId = {18, 10};
inline constexpr CsvColumn kName = {29, 35};
inline constexpr CsvColumn kPoId = {65, 8};
inline constexpr CsvColumn kDesc = {74, 35};
inline constexpr std::size_t kAmount = 110;  // runs to the line's end
}  // namespace csv_columns

inline constexpr std::array<std::size_t, 6> kCsvSeparatorColumns = {6, 17, 28, 64, 73, 109};
inline constexpr char kCsvSeparator = ',';
inline constexpr char kCsvCommaStandIn = '~';
inline constexpr std::string_view kCsvLineEnd = "\r\n";

// The line of a record as the whole-register export writes it.
std::string csv_line_from_record(const CheckRecord &record);

// The line of a result-list line as the result export writes it: the text
// columns taken as they stand, the amount from column 110 with its commas
// and spaces removed.  For a record line this is the record's own CSV line;
// other lines (separator, subtotal, blank) follow the same column rule, and
// so does a line cut short by a field stored short: the columns it does not
// reach are spaces, and the amount is empty when it ends before column 110.
std::string csv_line_from_result_line(std::string_view line);

}  // namespace ledgrove

#endif  // LEDGROVE_APP_OUTPUT_CSV_LINE_H
