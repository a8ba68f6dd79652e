// conversion.h - converting a published register (a CSV text) into register
// lines: choosing the settings, previewing the first rows, converting all.
//
// The same steps serve the command line and a mapping dialog:
//   1. read_header(input, delimiter)      the names to offer
//   2. guess_mapping(header)              the columns to propose
//   3. prepare_conversion(input, request) settings checked against the
//                                         file, the date format detected
//   4. preview_rows(input, prepared, n)   the first n rows as records, with
//                                         what changed in each
//   5. convert_rows(input, prepared, sink) every row; the sink gets each
//                                         one, the report comes back
// Nothing here touches a file: the caller reads the input and writes each
// written row's csv_line_from_record (app/output/csv_line.h), the line the
// import reads.
#ifndef LEDGROVE_APP_MAINT_CONVERT_CONVERSION_H
#define LEDGROVE_APP_MAINT_CONVERT_CONVERSION_H

#include <array>
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/maint/convert/column_mapping.h"
#include "app/maint/convert/conversion_report.h"
#include "app/maint/convert/row_convert.h"

namespace ledgrove {

struct ConvertRequest {
    char delimiter = ',';
    bool has_header = true;
    // Per target: nothing to take the guess from the header, "" to leave
    // the field blank, else a header name or a 1-based column number.
    std::array<std::optional<std::string>, kTargetCount> columns;
    std::string date_format;      // a pattern (date_format.h); "" detects one
    std::string merge_column;     // name or number; "" for none
    std::size_t field_count = 0;  // fields per row; 0: the header's, else the most common
    // The errors and notes point at the command line's options ("give
    // --date-format"); the mapping dialog, which has no options, turns this
    // off and gets plain sentences that point at its own choices.
    bool name_options = true;
};

struct PreparedConversion {
    RowSettings settings;
    bool has_header = true;
    std::vector<std::string> header;  // empty without a header
    std::vector<std::string> notes;   // which column feeds what, how dates are read
    std::string error;                // why the file cannot be converted; "" when it can

    bool ok() const { return error.empty(); }
};

// The fields of the first row; empty for an empty text.
std::vector<std::string> read_header(std::string_view input, char delimiter);

// Checks the request against the input and settles every choice.  Fails
// (error set) when the delimiter is unusable, the input holds no rows, a
// column does not exist, a required field has no column, the date format
// is no pattern or none fits, or the amount column holds no amount at all:
// the signs of a wrong mapping.
PreparedConversion prepare_conversion(std::string_view input, const ConvertRequest &request);

using RowSink = std::function<void(const ConvertedRow &)>;

// Converts the rows after the header, at most row_limit of them (0: all),
// handing each to the sink in file order, and reports.
ConversionReport convert_rows(std::string_view input, const PreparedConversion &prepared,
                              const RowSink &sink, std::size_t row_limit = 0,
                              std::size_t examples_per_kind = kDefaultExamples);

// The first n rows, converted, for a preview.
std::vector<ConvertedRow> preview_rows(std::string_view input,
                                       const PreparedConversion &prepared, std::size_t n);

}  // namespace ledgrove

#endif  // LEDGROVE_APP_MAINT_CONVERT_CONVERSION_H
