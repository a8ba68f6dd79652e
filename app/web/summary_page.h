// summary_page.h - the summary page: the criteria form with the grouping,
// then the summary of the checks the criteria select by vendor, month,
// fiscal year or description: the chart the desktop program draws (SVG,
// inside the page as an image, so nothing in it can run), and the table of
// groups a page at a time with its total row.  Each vendor links to that
// vendor's checks under the same criteria.
#ifndef LEDGROVE_APP_WEB_SUMMARY_PAGE_H
#define LEDGROVE_APP_WEB_SUMMARY_PAGE_H

#include <string>

#include "app/search/summary.h"
#include "app/web/query.h"

namespace ledgrove::web {

// With no summary, the form alone (or with the error); `chart_svg` may be
// empty (then the page has no chart).
std::string summary_page(const WebQuery &query, const Summary *summary,
                         const std::string &chart_svg, const QueryError *error = nullptr);

}  // namespace ledgrove::web

#endif  // LEDGROVE_APP_WEB_SUMMARY_PAGE_H
