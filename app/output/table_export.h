// table_export.h - the standard exports: a search's check lines or a
// summary written as a CSV, XLSX or JSON file, the format chosen by the
// file's extension.  (The register CSV file that import reads is another
// thing: csv_line.h.)
//
// A search is exported as it runs: its checks go straight from the walk
// to the file, so no result list is built and a million checks take no
// more memory than ten.
#ifndef LEDGROVE_APP_OUTPUT_TABLE_EXPORT_H
#define LEDGROVE_APP_OUTPUT_TABLE_EXPORT_H

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/output/messages.h"
#include "app/output/table.h"
#include "app/search/search.h"
#include "app/search/summary.h"

namespace ledgrove {

enum class TableFormat { Csv, Xlsx, Json };

// The format of a file name's extension (.csv, .xlsx, .json, in any case),
// or nothing.
std::optional<TableFormat> table_format_of(std::string_view path);

// Runs the search into the writer: the header, one row per check, the end
// of the table.  The writer's failure, if any, is `failure`.
struct TableWriteResult {
    SearchResult search;
    std::optional<std::string> failure;
};
TableWriteResult write_search_table(DatabaseSet &set, SortOrder order, const SearchInputs &inputs,
                                    TableWriter &writer);
std::optional<std::string> write_summary_table(const Summary &summary, TableWriter &writer);

struct TableExport {
    bool ok = false;
    std::size_t rows = 0;
    // For the user: "N lines written to FILE." or why not.
    messages::Notice notice;
};

TableExport export_search_table(DatabaseSet &set, SortOrder order, const SearchInputs &inputs,
                                const std::string &path, TableFormat format);
// Only some of the search's checks: `picked` holds, ascending, their places
// among the checks the search accepts in its listing order (0 the first),
// as a window numbers the check lines it lists.
TableExport export_search_table(DatabaseSet &set, SortOrder order, const SearchInputs &inputs,
                                const std::string &path, TableFormat format,
                                const std::vector<std::size_t> &picked);
TableExport export_summary_table(const Summary &summary, const std::string &path,
                                 TableFormat format);

}  // namespace ledgrove

#endif  // LEDGROVE_APP_OUTPUT_TABLE_EXPORT_H
