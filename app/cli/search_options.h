// search_options.h - the search's criteria as ledgrove-cli options, one
// "--NAME" for each name of the shared parameter table
// (app/search/search_parameters.h), so that search and summary spell them
// alike.  After the parse, the values are read into a SearchRequest the
// same way a URL's would be, each text first converted from the terminal's
// character set.
#ifndef LEDGROVE_APP_CLI_SEARCH_OPTIONS_H
#define LEDGROVE_APP_CLI_SEARCH_OPTIONS_H

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "app/search/search_parameters.h"

namespace CLI {
class App;
class Option;
}  // namespace CLI

namespace ledgrove::cli {

class SearchOptions {
public:
    // Adds the options to the command; `summary`: with "by" and "sort".
    SearchOptions(CLI::App &command, bool summary);

    // The request the options given make; a value that does not read is a
    // usage error naming its option.
    SearchRequest read() const;

private:
    std::vector<std::pair<const SearchParameter *, CLI::Option *>> options_;
    std::map<std::string, std::string> values_;  // by name; nodes keep their place
};

// The register opened for a search in the request's order, its dates
// settled and its inputs checked (usage errors name what is wrong).
void prepare_search(DatabaseSet &set, SearchRequest &request);

}  // namespace ledgrove::cli

#endif  // LEDGROVE_APP_CLI_SEARCH_OPTIONS_H
