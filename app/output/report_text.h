// report_text.h - the words of a printed report around its result lines:
// the search criteria, the count and total of its check lines, and the
// date it was printed.  The status bar's sum of the selected lines comes
// from the same reading of the lines.
//
// Sums are taken in whole cents from the display amounts of the record
// lines (result_export.h tells them from separator, subtotal and blank
// lines), so a total printed under a selection is the sum a clerk gets by
// adding the lines by hand, with no binary fraction in it.
#ifndef LEDGROVE_APP_OUTPUT_REPORT_TEXT_H
#define LEDGROVE_APP_OUTPUT_REPORT_TEXT_H

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "app/search/result_list.h"
#include "app/search/search.h"
#include "app/store/check_record.h"

namespace ledgrove {

struct LinesSum {
    std::size_t checks = 0;  // record lines
    std::int64_t cents = 0;  // their amounts
};

// The record lines among the given rows (rows past the end are passed over).
LinesSum sum_record_lines(const ResultList &list, std::span<const std::size_t> rows);
// Every record line of the list.
LinesSum sum_record_lines(const ResultList &list);

// The search in words, as lines of at most `width` characters:
//   Checks dated 03/01/2019 to 03/31/2019, in Vendor Name order, reversed.
//   Vendor Name contains "HOME DEPOT"; letter case ignored.
//   Amount greater than 10,000.00.
//   Subtotals by month.
std::vector<std::string> criteria_lines(const SearchInputs &inputs, SortOrder order,
                                        std::size_t width);

// Printing a selection: "The 12 lines selected of 340."
std::string selection_note(std::size_t selected, std::size_t of);

// The report's last line: "47,917 checks, total 417,275,260.96".
std::string summary_text(const LinesSum &sum);

// The footer's date: "Printed 07/14/2026".
std::string printed_on_text(int year, int month, int day);

}  // namespace ledgrove

#endif  // LEDGROVE_APP_OUTPUT_REPORT_TEXT_H
