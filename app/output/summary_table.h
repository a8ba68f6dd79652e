// summary_table.h - a summary as a table: the group (vendor id and vendor
// name, or the month, fiscal year or description), checks, total, share,
// first and last date; one row per group.  The desktop's summary view, the
// exports and ledgrove-cli's printed table all take their columns here.
#ifndef LEDGROVE_APP_OUTPUT_SUMMARY_TABLE_H
#define LEDGROVE_APP_OUTPUT_SUMMARY_TABLE_H

#include <string>
#include <vector>

#include "app/output/table.h"
#include "app/search/summary.h"

namespace ledgrove {

std::vector<TableColumn> summary_columns(SummaryGroup by);

// A share as a table shows it: "20.67%"; one that rounds to nothing has
// no sign, since "-0.00%" reads as a mistake.
std::string share_text(double share);

// The rows of the summary, in its order, texts in UTF-8.
std::vector<TableRow> summary_rows(const Summary &summary);

}  // namespace ledgrove

#endif  // LEDGROVE_APP_OUTPUT_SUMMARY_TABLE_H
