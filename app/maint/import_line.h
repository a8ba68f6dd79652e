// import_line.h - reading one line of a register CSV file into a record.
//
// The caller splits the file into lines (next_import_line), so a damaged line
// spoils only itself, and reports refused lines by number.  Columns are
// fixed (app/output/csv_line.h); the character standing in a separator
// column is skipped unseen, every '~' becomes ',', and the amount runs from
// column 110 to the first ']' or the line's end.  Month, day and year must
// be digits that name a day of the calendar, so neither a subtotal line
// (whose date columns are blank) nor a damaged date becomes a check that no
// date search finds.  The amount must be one number and nothing else but
// spaces: "1,234.50" would otherwise read as 1.
#ifndef LEDGROVE_APP_MAINT_IMPORT_LINE_H
#define LEDGROVE_APP_MAINT_IMPORT_LINE_H

#include <cstddef>
#include <string_view>

#include "app/store/check_record.h"

namespace ledgrove {

enum class ImportLineStatus {
    Ok,
    Blank,           // empty or only white space: nothing to import
    Short,           // ends before the amount column
    BadDate,         // the date columns hold no day of the calendar
    NoAmount,        // the amount is not a number, or more than one
    AmountTooLarge,  // the amount does not fit the 15-character stored form
};

// A short reason for a refused line ("" for Ok).
std::string_view import_line_status_text(ImportLineStatus status);

// Fills every field of the record but ID, which is left as it was, and sets
// the live tag.  On any status but Ok the record is unchanged.
ImportLineStatus parse_import_line(std::string_view line, CheckRecord &record);

// The next line of a file's text from *pos, without its LF or CR LF; *pos
// moves past the line break.  False at the end of the text.  A last line
// without a break is still a line.
bool next_import_line(std::string_view text, std::size_t *pos, std::string_view *line);

}  // namespace ledgrove

#endif  // LEDGROVE_APP_MAINT_IMPORT_LINE_H
