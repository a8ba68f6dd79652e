// site.h - what the site answers, apart from how HTTP carries it: a path
// and its query parameters in, a reply out.  The pages:
//
//   /search        the search page (HTML)           /summary      the summary page
//   /search.csv    the whole result as CSV          /search.xlsx  ... as XLSX
//   /api/search    one page of the result as JSON   /api/summary  one page of groups
//   /              sends the browser to /search
//
// Every request borrows a read-only register set of its own (set_pool.h),
// so requests run side by side on any number of threads.  The counts and
// totals of searches, and summaries with their charts, are remembered per
// state of the register (memo.h): a second visitor's first page of a
// million-check search reads only that page's records.
#ifndef LEDGROVE_APP_WEB_SITE_H
#define LEDGROVE_APP_WEB_SITE_H

#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "app/output/text_output.h"
#include "app/search/summary.h"
#include "app/web/chart_queue.h"
#include "app/web/memo.h"
#include "app/web/query.h"
#include "app/web/result_page.h"
#include "app/web/set_pool.h"
#include "app/web/tally.h"

namespace ledgrove::web {

struct Reply {
    int status = 200;
    std::string content_type = "text/html; charset=utf-8";
    std::string body;
    std::string location;      // a redirect's target
    std::string download_name; // sent as an attachment of this name
    // A download made as it is sent, instead of body: writes the whole of
    // it to the output (which throws once the client has gone).
    std::function<void(TextOutput &)> stream;
    // A download read from a file already made and unlinked, instead of
    // body.
    std::shared_ptr<std::FILE> file;
    std::size_t file_size = 0;
};

class Site {
public:
    Site(std::string directory, ChartQueue &charts);

    Reply answer(std::string_view path, const QueryPairs &pairs);

private:
    Reply search_page(const QueryPairs &pairs);
    Reply summary_page(const QueryPairs &pairs);
    Reply search_api(const QueryPairs &pairs);
    Reply summary_api(const QueryPairs &pairs);
    Reply download(const QueryPairs &pairs, bool xlsx);

    // One page of a search and the count and total of the whole.
    struct SearchPage {
        std::vector<PageRow> rows;
        Tally whole;
        bool failed = false;  // an engine error ended a walk
    };
    SearchPage search_page_of(SetPool::Lease &lease, const WebQuery &query);

    // The count and total of the search, remembered.
    Tally tally(SetPool::Lease &lease, const SearchInputs &inputs);
    std::shared_ptr<const Summary> summary(SetPool::Lease &lease, const SearchRequest &request);
    std::string chart(const std::string &stamp, const SearchRequest &request,
                      const Summary &summary);

    SetPool pool_;
    ChartQueue &charts_;
    Memo<Tally> tallies_;
    Memo<std::shared_ptr<const Summary>> summaries_;
    Memo<std::string> chart_svgs_;
};

}  // namespace ledgrove::web

#endif  // LEDGROVE_APP_WEB_SITE_H
