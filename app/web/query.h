// query.h - a page's or the API's query string read into a search request,
// through the same table of named parameters as ledgrove-cli's options
// (app/search/search_parameters.h): "?from=01/01/2019&vendor-name=acme"
// asks what "--from 01/01/2019 --vendor-name acme" asks.  Besides those,
// "page" picks the page of the result (1 first).
//
// The values come as UTF-8 (the browser's form encoding) and enter the
// register's code page here.  A parameter given empty counts as not given,
// as an empty box of a form means; a check box sends "1".  Given twice, the
// last value counts, as on the command line.  Every refusal names the
// parameter it is about, so the page can say which one to mend.
#ifndef LEDGROVE_APP_WEB_QUERY_H
#define LEDGROVE_APP_WEB_QUERY_H

#include <cstddef>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "app/search/search_parameters.h"

namespace ledgrove::web {

// A refused request: the parameter at fault ("from", "amount-min", or
// "dates" when from/to, fiscal-year and quarter are mixed) and why.
struct QueryError {
    std::string parameter;
    std::string message;
};

struct WebQuery {
    SearchRequest request;
    std::size_t page = 1;
    // The values given and not empty, UTF-8, by name: what the form shows
    // again and what links to other pages carry.
    std::map<std::string, std::string> given;
};

using QueryPairs = std::vector<std::pair<std::string, std::string>>;

// Reads the pairs; `summary`: "by" and "sort" are allowed (a summary's
// groups default to vendor).  Dates are not settled yet.
std::optional<QueryError> read_query(const QueryPairs &pairs, bool summary, WebQuery &query);

// Settles the date range on the register and checks the whole request as
// the CLI does (check_search_inputs), naming the parameter at fault.
std::optional<QueryError> settle_query(WebQuery &query, DatabaseSet &set);

// A query string of the given values with some replaced or removed (an
// empty value removes), for links: "from=01%2F01%2F2019&page=2".
std::string query_string(const std::map<std::string, std::string> &given,
                         const std::map<std::string, std::string> &changes = {});

}  // namespace ledgrove::web

#endif  // LEDGROVE_APP_WEB_QUERY_H
