// site.cc - answering each page of the site.
#include "app/web/site.h"

#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <optional>

#include "app/chart/chart_file.h"
#include "app/output/check_table.h"
#include "app/output/csv_table.h"
#include "app/output/json_table.h"
#include "app/output/summary_table.h"
#include "app/output/table_export.h"
#include "app/search/index_walk.h"
#include "app/store/amount_text.h"
#include "app/web/page_frame.h"
#include "app/web/result_page.h"
#include "app/web/search_page.h"
#include "app/web/summary_page.h"
#include "app/web/web_limits.h"

namespace ledgrove::web {
namespace {

constexpr std::string_view kJson = "application/json; charset=utf-8";

Reply html(int status, std::string body) {
    Reply reply;
    reply.status = status;
    reply.body = std::move(body);
    return reply;
}

Reply json(int status, std::string body) {
    Reply reply = html(status, std::move(body));
    reply.content_type = kJson;
    return reply;
}

Reply json_refusal(const QueryError &error) {
    return json(400, "{\"error\":" + json_string(error.message) +
                         ",\"parameter\":" + json_string(error.parameter) + "}\n");
}

class StringOutput : public TextOutput {
public:
    void write(std::string_view text) override { text_ += text; }
    std::string &text() { return text_; }

private:
    std::string text_;
};

// A table as the JSON array of its rows.
std::string json_rows(const std::vector<TableColumn> &columns, const std::vector<TableRow> &rows) {
    StringOutput out;
    JsonTableWriter writer(out);
    writer.begin(columns);
    for (const TableRow &row : rows) writer.row(row);
    writer.finish();
    while (!out.text().empty() && (out.text().back() == '\n' || out.text().back() == ' '))
        out.text().pop_back();
    return std::move(out.text());
}

// The files the search needs: the data file, the order's index and the
// date index (which the tally and the date range walk).
bool can_search(const DatabaseSet &set, SortOrder order) {
    return set.data_open() && set.index_open(index_for(order)) &&
           set.index_open(index_for(SortOrder::Date));
}

Reply unreadable(bool as_json) {
    const std::string message =
        "The register cannot be read: its data file or an index file did not open.";
    if (as_json) return json(503, "{\"error\":" + json_string(message) + "}\n");
    return html(503, message_page("The register is not available", message));
}

Reply damaged(bool as_json) {
    const std::string message =
        "The search stopped on a damaged register file; the clerk can rebuild the indexes.";
    if (as_json) return json(500, "{\"error\":" + json_string(message) + "}\n");
    return html(500, message_page("The search failed", message));
}

// A request read, its register set borrowed and its dates settled; or the
// reply that refuses it.
struct Prepared {
    WebQuery query;
    std::optional<SetPool::Lease> lease;
    std::optional<QueryError> error;
    bool unreadable = false;
};

Prepared prepare(SetPool &pool, const QueryPairs &pairs, bool summary) {
    Prepared p;
    if ((p.error = read_query(pairs, summary, p.query))) return p;
    p.lease.emplace(pool.lease());
    if (!can_search(p.lease->set(), p.query.request.order)) {
        p.unreadable = true;
        return p;
    }
    p.error = settle_query(p.query, p.lease->set());
    return p;
}

std::string download_name(const SearchInputs &in, std::string_view extension) {
    return "checks-" + in.from + "-" + in.to + std::string(extension);
}

}  // namespace

Site::Site(std::string directory, ChartQueue &charts)
    : pool_(std::move(directory)),
      charts_(charts),
      tallies_(kRememberedTallies),
      summaries_(kRememberedSummaries),
      chart_svgs_(kRememberedSummaries) {}

Reply Site::answer(std::string_view path, const QueryPairs &pairs) {
    if (path == "/search") return search_page(pairs);
    if (path == "/summary") return summary_page(pairs);
    if (path == "/api/search") return search_api(pairs);
    if (path == "/api/summary") return summary_api(pairs);
    if (path == "/search.csv") return download(pairs, false);
    if (path == "/search.xlsx") return download(pairs, true);
    if (path == "/") {
        Reply reply = html(302, "");
        reply.location = "/search";
        return reply;
    }
    return html(404, message_page("Not found", "There is no page " + std::string(path) +
                                                   " here; the search is at /search."));
}

Tally Site::tally(SetPool::Lease &lease, const SearchInputs &inputs) {
    return tallies_.get(lease.stamp() + "|" + tally_key(inputs),
                        [&] { return tally_search(lease.set(), inputs); });
}

std::shared_ptr<const Summary> Site::summary(SetPool::Lease &lease, const SearchRequest &request) {
    const SummaryOptions &o = request.summary;
    const std::string key = lease.stamp() + "|" + std::to_string(static_cast<int>(o.by)) + "," +
                            std::to_string(static_cast<int>(o.sort)) + "," +
                            std::to_string(o.fiscal_start) + "|" + tally_key(request.inputs);
    return summaries_.get(key, [&] {
        // The order decides nothing but the walk: the date order reads only
        // the range's records.
        return std::make_shared<const Summary>(
            summarize(lease.set(), SortOrder::Date, request.inputs, o));
    });
}

std::string Site::chart(const std::string &stamp, const SearchRequest &request,
                        const Summary &summary) {
    const SummaryOptions &o = request.summary;
    const std::string key = stamp + "|" + std::to_string(static_cast<int>(o.by)) + "," +
                            std::to_string(o.fiscal_start) + "|" + tally_key(request.inputs);
    return chart_svgs_.get(key, [&] { return charts_.chart(summary); });
}

Site::SearchPage Site::search_page_of(SetPool::Lease &lease, const WebQuery &query) {
    const SearchInputs &in = query.request.inputs;
    const std::size_t first = (query.page - 1) * kPageSize;
    SearchPage out;
    // Past the first page the whole result's count is wanted anyway: taken
    // first, it spares the walk of a page past the end, which would read
    // the whole result for nothing.
    if (query.page > 1) {
        out.whole = tally(lease, in);
        if (out.whole.end_result != ERR_NONE && !is_end_of_walk(out.whole.end_result)) {
            out.failed = true;
            return out;
        }
        if (first >= out.whole.count) return out;
    }
    ResultPage page = result_page(lease.set(), query.request.order, in, first, kPageSize);
    out.failed = page.walk.stopped_by_error();
    out.rows = std::move(page.rows);
    if (query.page == 1)
        out.whole = page.walked_all
                        ? Tally{page.walk.line_count, page.walk.total_cents, page.walk.end_result}
                        : tally(lease, in);
    return out;
}

Reply Site::search_page(const QueryPairs &pairs) {
    if (pairs.empty()) return html(200, web::search_page(WebQuery{}, nullptr));
    Prepared p = prepare(pool_, pairs, false);
    if (p.unreadable) return unreadable(false);
    if (p.error) return html(400, web::search_page(p.query, nullptr, &*p.error));
    SearchPage page = search_page_of(*p.lease, p.query);
    if (page.failed) return damaged(false);
    SearchView view;
    view.rows = std::move(page.rows);
    view.count = page.whole.count;
    view.total_cents = page.whole.total_cents;
    return html(200, web::search_page(p.query, &view));
}

Reply Site::search_api(const QueryPairs &pairs) {
    Prepared p = prepare(pool_, pairs, false);
    if (p.unreadable) return unreadable(true);
    if (p.error) return json_refusal(*p.error);
    const SearchInputs &in = p.query.request.inputs;
    SearchPage page = search_page_of(*p.lease, p.query);
    if (page.failed) return damaged(true);
    const Tally &whole = page.whole;
    std::vector<TableRow> rows;
    for (PageRow &row : page.rows)
        if (!row.subtotal) rows.push_back(std::move(row.check));
    return json(200, "{\"count\":" + std::to_string(whole.count) +
                         ",\"total\":" + plain_cents(whole.total_cents) +
                         ",\"from\":" + json_string(iso_date(in.from)) +
                         ",\"to\":" + json_string(iso_date(in.to)) +
                         ",\"page\":" + std::to_string(p.query.page) +
                         ",\"pages\":" + std::to_string(page_count(whole.count)) +
                         ",\"page_size\":" + std::to_string(kPageSize) +
                         ",\"rows\":" + json_rows(check_columns(), rows) + "}\n");
}

Reply Site::summary_page(const QueryPairs &pairs) {
    Prepared p = prepare(pool_, pairs, true);
    if (p.unreadable) return unreadable(false);
    if (p.error) return html(400, web::summary_page(p.query, nullptr, "", &*p.error));
    const std::shared_ptr<const Summary> made = summary(*p.lease, p.query.request);
    if (made->search.stopped_by_error()) return damaged(false);
    const std::string svg = chart(p.lease->stamp(), p.query.request, *made);
    return html(200, web::summary_page(p.query, made.get(), svg));
}

Reply Site::summary_api(const QueryPairs &pairs) {
    Prepared p = prepare(pool_, pairs, true);
    if (p.unreadable) return unreadable(true);
    if (p.error) return json_refusal(*p.error);
    const std::shared_ptr<const Summary> made = summary(*p.lease, p.query.request);
    if (made->search.stopped_by_error()) return damaged(true);
    const std::vector<TableRow> all = summary_rows(*made);
    const std::size_t first = std::min(all.size(), (p.query.page - 1) * kPageSize);
    const std::vector<TableRow> rows(all.begin() + first,
                                     all.begin() + std::min(all.size(), first + kPageSize));
    const SearchInputs &in = p.query.request.inputs;
    return json(200, "{\"count\":" + std::to_string(made->checks) +
                         ",\"total\":" + plain_cents(made->total_cents) +
                         ",\"from\":" + json_string(iso_date(in.from)) +
                         ",\"to\":" + json_string(iso_date(in.to)) +
                         ",\"groups\":" + std::to_string(all.size()) +
                         ",\"page\":" + std::to_string(p.query.page) +
                         ",\"pages\":" + std::to_string(page_count(all.size())) +
                         ",\"page_size\":" + std::to_string(kPageSize) +
                         ",\"rows\":" + json_rows(summary_columns(made->options.by), rows) +
                         "}\n");
}

Reply Site::download(const QueryPairs &pairs, bool xlsx) {
    Prepared p = prepare(pool_, pairs, false);
    if (p.unreadable) return unreadable(false);
    if (p.error)
        return html(400, message_page("Bad request",
                                      "Please correct " + p.error->parameter + ": " +
                                          p.error->message));
    const SortOrder order = p.query.request.order;
    const SearchInputs in = p.query.request.inputs;
    Reply reply;
    reply.download_name = download_name(in, xlsx ? ".xlsx" : ".csv");
    if (!xlsx) {
        reply.content_type = "text/csv; charset=utf-8";
        auto lease = std::make_shared<SetPool::Lease>(std::move(*p.lease));
        reply.stream = [lease, order, in](TextOutput &out) {
            CsvTableWriter writer(out);
            write_search_table(lease->set(), order, in, writer);
        };
        return reply;
    }
    // The workbook library writes files only: one in a folder of the
    // system's temporary files, unlinked as soon as it is open for sending.
    std::string folder = (std::filesystem::temp_directory_path() / "ledgrove-web-XXXXXX").string();
    if (!::mkdtemp(folder.data())) return damaged(false);
    const std::string path = folder + "/checks.xlsx";
    const TableExport done = export_search_table(p.lease->set(), order, in, path, TableFormat::Xlsx);
    std::FILE *file = done.ok ? std::fopen(path.c_str(), "rb") : nullptr;
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
    if (!file) return html(500, message_page("The download failed", done.notice.text));
    reply.file.reset(file, [](std::FILE *f) { std::fclose(f); });
    std::fseek(file, 0, SEEK_END);
    reply.file_size = static_cast<std::size_t>(std::ftell(file));
    std::rewind(file);
    reply.content_type = "application/vnd.openxmlformats-officedocument.spreadsheetml.sheet";
    return reply;
}

}  // namespace ledgrove::web
