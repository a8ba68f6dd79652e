// messages.h - the texts of the message boxes that the output and
// maintenance steps show, each written once.  ledgrove-cli prints the same
// sentences where it reports the same things.
#ifndef LEDGROVE_APP_OUTPUT_MESSAGES_H
#define LEDGROVE_APP_OUTPUT_MESSAGES_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "app/store/amount_text.h"
#include "app/store/error_text.h"
#include "app/store/field_text.h"
#include "app/store/register_files.h"

namespace ledgrove::messages {

inline constexpr std::string_view kErrorCaption = "Error";
inline constexpr std::string_view kNoSelection = "You must select at least one line!";
inline constexpr std::string_view kNoSelectionCaption = "No Selection!";

inline constexpr std::string_view kEmptyQuestionCaption = "Are you sure?";
inline constexpr std::string_view kEmptiedCaption = "Success!";
inline constexpr std::string_view kImportedCaption = "Import Records";
inline constexpr std::string_view kExportedCaption = "Export Done";

inline constexpr std::string_view kReadOnlyRegister =
    "The register is read-only: its files cannot be opened for writing. "
    "Searching, copying, printing and exporting work; nothing was changed.";

// "1 line", "1,234 lines".
inline std::string count_of(std::size_t n, std::string_view one, std::string_view many) {
    return group_thousands(std::to_string(n)) + " " + std::string(n == 1 ? one : many);
}

// After an import, with the indexes rebuilt and the register open again:
// "47,917 checks imported, total 417,275,260.96."
inline std::string imported(std::size_t checks, std::int64_t cents) {
    return count_of(checks, "check", "checks") + " imported, total " + grouped_cents(cents) + ".";
}

// After ReIndex Database, in the status bar.
inline constexpr std::string_view kReIndexed = "The eight indexes were rebuilt.";

// The status bar: the selected check lines, the last search's time and the
// register.  "3 selected, 1,234.50"; "" with none selected.
inline std::string selection_status(std::size_t checks, std::int64_t cents) {
    if (checks == 0) return {};
    return group_thousands(std::to_string(checks)) + " selected, " + grouped_cents(cents);
}
inline std::string search_time_status(std::int64_t milliseconds) {
    return "Search: " + group_thousands(std::to_string(milliseconds)) + " ms";
}
// "/srv/troy: 47,917 checks, read-only"
inline std::string register_status(const std::string &folder, std::size_t checks, bool read_only) {
    return folder + ": " + count_of(checks, "check", "checks") + (read_only ? ", read-only" : "");
}

// Print with an empty result list.
inline constexpr std::string_view kNothingToPrint =
    "The result list is empty: run a search first, then print what it lists.";

// The standard exports and the chart, from the window.
inline constexpr std::string_view kExportTableCaption = "Export";
inline constexpr std::string_view kNothingToExport =
    "The result list is empty: run a search first, then export what it lists.";
inline constexpr std::string_view kNoSummary =
    "There is no summary: choose a group in \"Summarize by\" and run the search.";
inline std::string not_a_table_file(const std::string &path) {
    return "The file name must end in .csv, .xlsx or .json: " + path;
}
inline constexpr std::string_view kChartCaption = "Save Chart";
inline std::string not_a_chart_file(const std::string &path) {
    return "The file name must end in .png or .svg: " + path;
}
inline std::string chart_written(const std::string &path) { return "Chart written to " + path + "."; }

// Under the summary table: "12 groups, 1,234 checks, total 5,678.90".
inline std::string summary_total(std::size_t groups, std::size_t checks, std::int64_t cents) {
    return count_of(groups, "group", "groups") + ", " + count_of(checks, "check", "checks") +
           ", total " + grouped_cents(cents);
}

// Saved searches.
inline constexpr std::string_view kSaveSearchCaption = "Save Search";
inline constexpr std::string_view kSaveSearchLabel = "Name of the search:";
inline constexpr std::string_view kDeleteSearchCaption = "Delete Search";
inline std::string delete_search_question(const std::string &name) {
    return "Delete the saved search \"" + name + "\"?";
}
inline constexpr std::string_view kCommandCopied =
    "The command is on the clipboard: paste it into a shell.";

// The question before emptying names what is lost and what is kept.
inline std::string empty_question(std::size_t checks) {
    return "Database will be Emptied! Its " + count_of(checks, "check", "checks") +
           " will be removed. A copy of them is written first, as a CSV file beside the "
           "register.";
}

// Where emptying put the checks it removed: a register CSV file, or, for a
// data file that could not be read as checks, a copy of that file.
inline std::string empty_backup_written(const std::string &backup_path, std::size_t checks,
                                        bool data_file_copied) {
    if (data_file_copied)
        return "The register's data file could not be read as checks; it was copied as it "
               "stood to " + backup_path + " first.";
    return "The register's " + count_of(checks, "check", "checks") + " were written to " +
           backup_path + " first; importing that file brings them back.";
}

// After emptying: where the copy is, if there was anything to copy.
inline std::string emptied(const std::string &backup_path, std::size_t checks,
                           bool data_file_copied) {
    const std::string done = "Database Emptied! ";
    return backup_path.empty() ? done
                               : done + empty_backup_written(backup_path, checks, data_file_copied);
}

inline std::string empty_backup_failure(const std::string &backup_path, const std::string &why) {
    return "The register was not emptied: the copy of its checks could not be written to " +
           backup_path + ": " + why + ".";
}

// File failures name the file and the system's reason, with its number:
// "Cannot create /tmp/x.csv: access denied (error 5)."
inline std::string file_create_failure(const std::string &path, std::uint32_t error) {
    return "Cannot create " + path + ": " + error_reason(error) + ".";
}
inline std::string file_write_failure(const std::string &path, std::uint32_t error) {
    return "Cannot write " + path + ": " + error_reason(error) + ".";
}
inline std::string file_read_failure(const std::string &path, std::uint32_t error) {
    return "Cannot read " + path + ": " + error_reason(error) + ".";
}

// A message and its caption.
struct Notice {
    std::string text;
    std::string_view caption;
};

// How an export ended: the lines written and the file, or why not.  A walk
// of the register that stopped early is a failure even though the lines
// before it were written.
inline Notice export_outcome(const std::string &path, std::size_t lines,
                             std::uint32_t create_error, std::uint32_t write_error,
                             std::uint32_t walk_error = 0) {
    if (create_error != 0) return {file_create_failure(path, create_error), kErrorCaption};
    if (write_error != 0) return {file_write_failure(path, write_error), kErrorCaption};
    if (walk_error != 0)
        return {"The export to " + path + " stopped after " + count_of(lines, "line", "lines") +
                    ": " + index_info(kExportIndex).file_name +
                    " cannot be read: " + error_reason(walk_error) +
                    ". Rebuilding the indexes makes it anew.",
                kErrorCaption};
    return {count_of(lines, "line", "lines") + " written to " + path + ".", kExportedCaption};
}

}  // namespace ledgrove::messages

#endif  // LEDGROVE_APP_OUTPUT_MESSAGES_H
