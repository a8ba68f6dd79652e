// result_export.h - writing selected result lines to a register CSV file.
//
// Each selected line, whatever it is (record, separator, subtotal or blank
// line), is converted by the one column rule of csv_line_from_result_line,
// so the file of selected record lines imports again.  The text grows with
// the selection: every selected line is taken.
#ifndef LEDGROVE_APP_OUTPUT_RESULT_EXPORT_H
#define LEDGROVE_APP_OUTPUT_RESULT_EXPORT_H

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "app/search/result_list.h"
#include "app/search/search_port.h"

namespace ledgrove {

// The CSV text of the selected lines (indexes into the list, in the order
// given; indexes past the end are passed over).
std::string result_export_text(const ResultList &list, const std::vector<std::size_t> &selected);

enum class WriteStatus { Written, OpenFailed, WriteFailed };

// Writes the text to the file, replacing it.  A failure shows "Fail in file
// open! Error N\n" or "Fail in file write! Error N\n" with the caption
// "Error" through the port.
WriteStatus write_export_file(const std::string &path, std::string_view text, SearchPort &port);

}  // namespace ledgrove

#endif  // LEDGROVE_APP_OUTPUT_RESULT_EXPORT_H
