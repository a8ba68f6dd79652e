// tally.h - the count and total of a search's whole result, for the pages
// that show only a slice of it.  Neither depends on the order, its
// direction or the subtotals, so one tally serves every order of the same
// criteria, and it is taken by the cheapest walk: the Date order, which
// reads only the records of the date range.
#ifndef LEDGROVE_APP_WEB_TALLY_H
#define LEDGROVE_APP_WEB_TALLY_H

#include <cstddef>
#include <cstdint>
#include <string>

#include "app/search/search.h"

namespace ledgrove::web {

struct Tally {
    std::size_t count = 0;
    std::int64_t total_cents = 0;
    std::uint32_t end_result = ERR_NONE;  // the walk's; see SearchResult
};

Tally tally_search(DatabaseSet &set, const SearchInputs &inputs);

// What decides a tally: the date range, the texts, the case rule and the
// amount tests; two inputs with the same key have the same tally.
std::string tally_key(const SearchInputs &inputs);

}  // namespace ledgrove::web

#endif  // LEDGROVE_APP_WEB_TALLY_H
