// html.h - the small pieces every page is written with: text made safe for
// HTML, a table value as a cell shows it, and base64 for the charts that a
// page carries inside itself.
//
// Everything a page shows that came from the register or from the request
// goes through escape(): a vendor named "<script>" is shown as those eight
// characters and never runs.
#ifndef LEDGROVE_APP_WEB_HTML_H
#define LEDGROVE_APP_WEB_HTML_H

#include <string>
#include <string_view>

#include "app/output/table.h"

namespace ledgrove::web {

// UTF-8 text for an element's content or a quoted attribute: & < > " ' as
// character references, and the control characters other than tab and line
// ends as U+FFFD.
std::string escape(std::string_view text);

// A value of a table's column as a cell shows it: a date MM/DD/YYYY, an
// amount 1,234.50, a count 1,234, a share 12.34% (text escaped).
std::string cell_html(ColumnKind kind, const TableValue &value);

std::string base64(std::string_view bytes);

}  // namespace ledgrove::web

#endif  // LEDGROVE_APP_WEB_HTML_H
