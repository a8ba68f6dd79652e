// criteria_form.h - the form of a search's criteria, shared by the search
// page and the summary page: the date range (typed, or one of the presets,
// or a fiscal year or quarter), the order, the match texts, the amount test
// and range, and the check boxes.  Its fields carry the parameters' own
// names, so submitting it makes the same query string a person could type
// or bookmark; it shows again the values the page was asked with.
#ifndef LEDGROVE_APP_WEB_CRITERIA_FORM_H
#define LEDGROVE_APP_WEB_CRITERIA_FORM_H

#include <string>
#include <string_view>

#include "app/web/query.h"

namespace ledgrove::web {

// `action`: the page the form goes to ("/search", "/summary"); `summary`
// adds the grouping and its sort.
std::string criteria_form(const WebQuery &query, std::string_view action, bool summary);

}  // namespace ledgrove::web

#endif  // LEDGROVE_APP_WEB_CRITERIA_FORM_H
