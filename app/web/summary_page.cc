// summary_page.cc - writing the summary page.
#include "app/web/summary_page.h"

#include <algorithm>

#include "app/output/summary_table.h"
#include "app/store/amount_text.h"
#include "app/store/field_text.h"
#include "app/web/criteria_form.h"
#include "app/web/html.h"
#include "app/web/page_frame.h"
#include "app/web/search_page.h"
#include "app/web/web_limits.h"

namespace ledgrove::web {
namespace {

bool is_figure(ColumnKind kind) {
    return kind == ColumnKind::Amount || kind == ColumnKind::Count || kind == ColumnKind::Share;
}

// The search of one vendor's checks under the summary's criteria.
std::string vendor_link(const WebQuery &query, const TableRow &row) {
    return "/search?" + query_string(query.given, {{"by", ""},
                                                   {"sort", ""},
                                                   {"page", ""},
                                                   {"any", ""},
                                                   {"vendor-id", row[0].text},
                                                   {"vendor-name", row[1].text},
                                                   {"match-case", "1"}});
}

std::string table_html(const WebQuery &query, const Summary &summary) {
    const std::vector<TableColumn> columns = summary_columns(summary.options.by);
    const std::vector<TableRow> rows = summary_rows(summary);
    const bool vendor = summary.options.by == SummaryGroup::Vendor;
    std::string html = "<table class=\"cards groups\"><thead><tr>";
    for (const TableColumn &column : columns)
        html += std::string(is_figure(column.kind) ? "<th class=\"num\">" : "<th>") +
                escape(column.title) + "</th>";
    html += "</tr></thead>\n<tbody>\n";
    const std::size_t first = std::min(rows.size(), (query.page - 1) * kPageSize);
    const std::size_t end = std::min(rows.size(), first + kPageSize);
    for (std::size_t r = first; r < end; ++r) {
        html += "<tr>";
        for (std::size_t i = 0; i < columns.size(); ++i) {
            std::string cell = cell_html(columns[i].kind, rows[r][i]);
            if (vendor && i == 1)
                cell = "<a href=\"" + escape(vendor_link(query, rows[r])) + "\">" +
                       (cell.empty() ? std::string("(no name)") : cell) + "</a>";
            html += std::string(is_figure(columns[i].kind) ? "<td class=\"num\"" : "<td") +
                    " data-label=\"" + escape(columns[i].title) + "\">" + cell + "</td>";
        }
        html += "</tr>\n";
    }
    const std::size_t texts = vendor ? 2 : 1;
    html += "<tr class=\"total\"><td colspan=\"" + std::to_string(texts) + "\">Total</td>" +
            "<td class=\"num\" data-label=\"Checks\">" +
            group_thousands(std::to_string(summary.checks)) +
            "</td><td class=\"num\" data-label=\"Total\">" + grouped_cents(summary.total_cents) +
            "</td><td class=\"num\"></td><td></td><td></td></tr>\n</tbody></table>\n";
    return html;
}

}  // namespace

std::string summary_page(const WebQuery &query, const Summary *summary,
                         const std::string &chart_svg, const QueryError *error) {
    std::string body = "<h2>Summaries</h2>\n" + criteria_form(query, "/summary", true);
    if (error) body += refusal_html(error->parameter, error->message);
    if (summary) {
        const std::string caption(summary_group_caption(summary->options.by));
        body += "<p class=\"summary-line\" id=\"result\"><strong>Groups: " +
                group_thousands(std::to_string(summary->rows.size())) +
                "</strong><strong>Records: <span id=\"count\">" +
                group_thousands(std::to_string(summary->checks)) +
                "</span></strong><strong>Total Amount: <span id=\"total\">" +
                grouped_cents(summary->total_cents) + "</span></strong>" +
                escape(display_date(summary->dates.from)) + " to " +
                escape(display_date(summary->dates.to)) + "</p>\n";
        if (!chart_svg.empty())
            body += "<p class=\"chart\"><img alt=\"Chart of the totals by " + escape(caption) +
                    "\" src=\"data:image/svg+xml;base64," + base64(chart_svg) + "\"></p>\n";
        body += "<p class=\"downloads\"><a href=\"/api/summary?" +
                escape(query_string(query.given)) + "\">JSON (this page)</a></p>\n";
        const std::string pager = pager_html(query, "/summary", page_count(summary->rows.size()));
        body += pager + table_html(query, *summary) + pager;
    }
    return html_page("Check Register Summaries", body);
}

}  // namespace ledgrove::web
