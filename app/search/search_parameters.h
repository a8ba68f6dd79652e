// search_parameters.h - the search's criteria by name, as a command line or
// a URL gives them: "from", "vendor-name", "amount-min", "fiscal-year",
// "by", ...  One table of names, and one function that reads a named value
// into a SearchRequest, so every front end spells and reads them alike.
//
// Values are text.  Dates are MM/DD/YYYY; the match texts are register text
// (the caller converts from its own character set) and are cut to the
// length the search dialog's boxes take; a flag takes "" , "1" or "true"
// (and "0" or "false" to clear it).  A date range comes from "from" and
// "to", or from "fiscal-year" (2024: the fiscal year that ends in 2024), or
// from "quarter" (2024Q3: its third quarter), never from two of these.
#ifndef LEDGROVE_APP_SEARCH_SEARCH_PARAMETERS_H
#define LEDGROVE_APP_SEARCH_SEARCH_PARAMETERS_H

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "app/search/date_range.h"
#include "app/search/search.h"
#include "app/search/summary.h"

namespace ledgrove {

struct SearchRequest {
    SearchInputs inputs;
    SortOrder order = SortOrder::Date;
    bool from_given = false, to_given = false;
    int fiscal_start = kDefaultFiscalStart;
    int fiscal_year = 0;                 // "fiscal-year"; 0: not given
    int quarter_year = 0, quarter = 0;   // "quarter"; 0: not given
    SummaryOptions summary;              // "by" and "sort"; fiscal_start is copied in
};

enum class ParameterKind { Flag, Value };

struct SearchParameter {
    std::string_view name;
    ParameterKind kind;
    std::string_view value_name;  // what the help shows for the value
    std::string_view help;
    bool summary_only;            // "by", "sort": summaries only
};

std::span<const SearchParameter> search_parameters();

// Reads one named value into the request.  Returns why it cannot, as a
// sentence that goes after the parameter's name ("wants a date as
// MM/DD/YYYY: 2007-01-01"), or nothing.  An unknown name is an error too.
std::optional<std::string> set_search_parameter(SearchRequest &request, std::string_view name,
                                                std::string_view value);

// The request's criteria as named values, the reverse of
// set_search_parameter: in the table's order, only those that differ from a
// new request's (a flag that is set has the value ""); the dates as
// MM/DD/YYYY when they are set.  "by" and "sort" only with `summary`.
// Reading the values back with set_search_parameter gives the same request.
struct NamedValue {
    std::string name, value;
};
std::vector<NamedValue> search_parameter_values(const SearchRequest &request, bool summary);

// Settles the date range: a fiscal year or quarter, when given, sets both
// dates (with the request's fiscal start); a date not given reaches to the
// register's span (register_span) on its side, and at least to the date given.  Returns an
// error when two ways of giving the range are mixed.  Then check the inputs
// with check_search_inputs.
std::optional<std::string> settle_dates(SearchRequest &request, DatabaseSet &set);

}  // namespace ledgrove

#endif  // LEDGROVE_APP_SEARCH_SEARCH_PARAMETERS_H
