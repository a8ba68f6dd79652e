// search_page.h - the search page: the criteria form, then the result of
// the search it was asked with: the count, the total and the date range,
// one page of the result table (seven columns, amounts right-aligned, the
// subtotal rows among the checks), links to the pages before and after,
// and links that download the whole result as CSV or XLSX.
#ifndef LEDGROVE_APP_WEB_SEARCH_PAGE_H
#define LEDGROVE_APP_WEB_SEARCH_PAGE_H

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "app/web/query.h"
#include "app/web/result_page.h"

namespace ledgrove::web {

struct SearchView {
    std::size_t count = 0;
    std::int64_t total_cents = 0;
    std::vector<PageRow> rows;  // the page's
};

// The page of a query; with no view, the form alone (nothing asked yet);
// with an error, the form and what is wrong with the query.
std::string search_page(const WebQuery &query, const SearchView *view,
                        const QueryError *error = nullptr);

// How many pages `count` items fill (at least one).
std::size_t page_count(std::size_t count);

// The links to the first, previous, next and last page of `pages`, as HTML,
// for the page at `path`.
std::string pager_html(const WebQuery &query, std::string_view path, std::size_t pages);

}  // namespace ledgrove::web

#endif  // LEDGROVE_APP_WEB_SEARCH_PAGE_H
