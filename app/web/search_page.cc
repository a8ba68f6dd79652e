// search_page.cc - writing the search page.
#include "app/web/search_page.h"

#include "app/output/check_table.h"
#include "app/store/field_text.h"
#include "app/store/amount_text.h"
#include "app/web/criteria_form.h"
#include "app/web/html.h"
#include "app/web/page_frame.h"
#include "app/web/web_limits.h"

namespace ledgrove::web {
namespace {

std::string table_html(const std::vector<PageRow> &rows) {
    const std::vector<TableColumn> &columns = check_columns();
    std::string html = "<table class=\"cards checks\"><thead><tr>";
    for (const TableColumn &column : columns)
        html += std::string(column.kind == ColumnKind::Amount ? "<th class=\"num\">" : "<th>") +
                escape(column.title) + "</th>";
    html += "</tr></thead>\n<tbody>\n";
    for (const PageRow &row : rows) {
        if (row.subtotal) {
            html += "<tr class=\"subtotal\"><td colspan=\"" + std::to_string(columns.size() - 1) +
                    "\">" + escape(row.label) + "</td><td class=\"num\">" + escape(row.amount) +
                    "</td></tr>\n";
            continue;
        }
        html += "<tr>";
        for (std::size_t i = 0; i < columns.size(); ++i) {
            const bool amount = columns[i].kind == ColumnKind::Amount;
            html += std::string(amount ? "<td class=\"num\"" : "<td") + " data-label=\"" +
                    escape(columns[i].title) + "\">" + cell_html(columns[i].kind, row.check[i]) +
                    "</td>";
        }
        html += "</tr>\n";
    }
    html += "</tbody></table>\n";
    return html;
}

}  // namespace

std::size_t page_count(std::size_t count) { return count == 0 ? 1 : (count + kPageSize - 1) / kPageSize; }

std::string pager_html(const WebQuery &query, std::string_view path, std::size_t pages) {
    const std::size_t page = query.page;
    auto link = [&](std::size_t to, std::string_view caption, std::string_view rel) {
        return "<a rel=\"" + std::string(rel) + "\" href=\"" +
               escape(std::string(path) + "?" +
                      query_string(query.given, {{"page", to == 1 ? "" : std::to_string(to)}})) +
               "\">" + std::string(caption) + "</a>";
    };
    std::string html = "<nav class=\"pager\"><span>Page " + std::to_string(page) + " of " +
                       std::to_string(pages) + "</span>";
    if (page > 1) {
        html += link(1, "&laquo; First", "first");
        html += link(std::min(page - 1, pages), "&lsaquo; Previous", "prev");
    }
    if (page < pages) {
        html += link(page + 1, "Next &rsaquo;", "next");
        html += link(pages, "Last &raquo;", "last");
    }
    return html + "</nav>\n";
}

std::string search_page(const WebQuery &query, const SearchView *view, const QueryError *error) {
    std::string body = "<h2>Search the checks</h2>\n" + criteria_form(query, "/search", false);
    if (error) body += refusal_html(error->parameter, error->message);
    if (view) {
        const SearchInputs &in = query.request.inputs;
        body += "<p class=\"summary-line\" id=\"result\"><strong>Records: <span id=\"count\">" +
                group_thousands(std::to_string(view->count)) +
                "</span></strong><strong>Total Amount: <span id=\"total\">" +
                grouped_cents(view->total_cents) + "</span></strong>" +
                escape(display_date(in.from)) + " to " + escape(display_date(in.to)) + "</p>\n";
        const std::string criteria = query_string(query.given, {{"page", ""}});
        body += "<p class=\"downloads\">Download the whole result: <a href=\"/search.csv?" +
                escape(criteria) + "\">Download CSV</a> <a href=\"/search.xlsx?" +
                escape(criteria) + "\">Download XLSX</a> <a href=\"/api/search?" +
                escape(query_string(query.given)) + "\">JSON (this page)</a></p>\n";
        const std::string pager = pager_html(query, "/search", page_count(view->count));
        body += pager + table_html(view->rows) + pager;
    } else if (!error) {
        body += "<p>Choose the criteria and press Search. Every check of the register is "
                "searched; leave a box empty to leave that field open.</p>\n";
    }
    return html_page("Check Register Inquiry", body);
}

}  // namespace ledgrove::web
