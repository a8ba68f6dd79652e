// result_export.h - writing selected result lines to a register CSV file.
//
// Only record lines are written, each converted by the column rule of
// csv_line_from_result_line: the separator, subtotal and blank lines of a
// search with subtotals are left out, so the file imports again as exactly
// the checks that were selected, however the selection was made.  The text
// grows with the selection: every selected line is taken.
#ifndef LEDGROVE_APP_OUTPUT_RESULT_EXPORT_H
#define LEDGROVE_APP_OUTPUT_RESULT_EXPORT_H

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "app/output/messages.h"
#include "app/search/result_list.h"

namespace ledgrove {

// Whether a result line is a check's line (it carries a date in the date
// columns), not a separator, subtotal or blank line.
bool is_record_line(std::string_view line);

// The CSV text of the selected record lines (indexes into the list, in the
// order given; indexes past the end and other lines are passed over).
std::string result_export_text(const ResultList &list, const std::vector<std::size_t> &selected);

enum class WriteStatus { Written, OpenFailed, WriteFailed };

struct WriteOutcome {
    WriteStatus status;
    // For the user: how many lines went to which file, or why the file
    // could not be created or written (the file, the system's reason and
    // its number).
    messages::Notice notice;
};

// Writes the text to the file, replacing it.
WriteOutcome write_export_file(const std::string &path, std::string_view text);

}  // namespace ledgrove

#endif  // LEDGROVE_APP_OUTPUT_RESULT_EXPORT_H
