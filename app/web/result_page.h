// result_page.h - one page of a search's result: the checks from the
// first-th to the (first + count - 1)-th of the search's listing, as table
// rows, with the subtotal rows among them that the search lists there.
//
// The page's lines come from the same ResultBuilder that lists the whole
// result in the window and on the command line, fed the same checks in
// the same order, so a page holds exactly its slice of those lines.  A
// subtotal goes on the page of the last check of its group.  The walk stops
// at the first check after the page (which closes the page's last group),
// so the first page of a million-check search reads a few hundred records;
// its count and total are then those of the checks walked, and the caller
// takes the whole result's from a tally (tally.h).
#ifndef LEDGROVE_APP_WEB_RESULT_PAGE_H
#define LEDGROVE_APP_WEB_RESULT_PAGE_H

#include <cstddef>
#include <string>
#include <vector>

#include "app/output/table.h"
#include "app/search/search.h"

namespace ledgrove::web {

struct PageRow {
    bool subtotal = false;
    TableRow check;      // a check: its values in check_columns' order
    std::string label;   // a subtotal: "Subtotal for ACME SUPPLY -->" (UTF-8)
    std::string amount;  // a subtotal: its display amount, "1,234.50"
};

struct ResultPage {
    std::vector<PageRow> rows;
    SearchResult walk;       // the walk that made the page
    bool walked_all = false; // it reached the end: its count and total are the result's
};

ResultPage result_page(DatabaseSet &set, SortOrder order, const SearchInputs &inputs,
                       std::size_t first, std::size_t count);

}  // namespace ledgrove::web

#endif  // LEDGROVE_APP_WEB_RESULT_PAGE_H
