// summary_command.cc - `ledgrove-cli summary`: the checks a search selects,
// summed by vendor, month, fiscal year or description, printed as a table,
// and optionally exported (CSV, XLSX, JSON) and drawn as a chart (PNG, SVG).
#include <cstdio>
#include <memory>

#include <CLI/CLI.hpp>

#include "app/chart/chart_file.h"
#include "app/cli/commands.h"
#include "app/cli/search_options.h"
#include "app/cli/terminal_text.h"
#include "app/output/summary_table.h"
#include "app/output/table_export.h"
#include "app/search/result_lines.h"
#include "app/search/summary.h"
#include "app/store/amount_text.h"
#include "app/store/field_text.h"

namespace ledgrove::cli {
namespace {

struct SummaryLine {
    explicit SummaryLine(CLI::App &command) : criteria(command, true) {}
    SearchOptions criteria;
    CLI::Option *by = nullptr;
    std::string output, chart, chart_size = "1200x800";
};

// Characters, not bytes, of UTF-8 text: what a column's width counts.
std::size_t shown_width(const std::string &text) {
    std::size_t width = 0;
    for (char c : text) width += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    return width;
}

std::string pad(const std::string &text, std::size_t width, bool right) {
    const std::string room(width > shown_width(text) ? width - shown_width(text) : 0, ' ');
    return right ? room + text : text + room;
}

// The table as the terminal shows it: a header, one line per group, and a
// total line; texts left, figures right, columns as wide as their widest.
void print_summary(const Summary &summary) {
    const bool vendor = summary.options.by == SummaryGroup::Vendor;
    std::vector<std::vector<std::string>> cells;
    std::vector<std::string> header;
    if (vendor) header.push_back("Vendor ID");
    header.push_back(vendor ? "Vendor Name" : std::string(summary_group_caption(summary.options.by)));
    for (const char *title : {"Checks", "Total", "Share", "First Date", "Last Date"})
        header.push_back(title);
    const std::size_t texts = vendor ? 2 : 1;
    cells.push_back(header);
    for (const SummaryRow &row : summary.rows) {
        std::vector<std::string> line;
        if (vendor) line.push_back(terminal_line(row.vendor_id));
        line.push_back(terminal_line(row.label));
        line.push_back(group_thousands(std::to_string(row.checks)));
        line.push_back(grouped_cents(row.total_cents));
        line.push_back(share_text(row.share));
        line.push_back(display_date(row.first_date));
        line.push_back(display_date(row.last_date));
        cells.push_back(std::move(line));
    }
    std::vector<std::string> total(texts, "");
    total[0] = "Total";
    total.push_back(group_thousands(std::to_string(summary.checks)));
    total.push_back(grouped_cents(summary.total_cents));
    total.push_back(summary.rows.empty() ? "" : share_text(1.0));
    std::string first, last;
    for (const SummaryRow &row : summary.rows) {
        if (first.empty() || row.first_date < first) first = row.first_date;
        if (last.empty() || row.last_date > last) last = row.last_date;
    }
    total.push_back(first.empty() ? "" : display_date(first));
    total.push_back(last.empty() ? "" : display_date(last));
    cells.push_back(total);

    std::vector<std::size_t> widths(header.size(), 0);
    for (const auto &line : cells)
        for (std::size_t i = 0; i < line.size(); ++i)
            widths[i] = std::max(widths[i], shown_width(line[i]));
    std::string out;
    for (std::size_t n = 0; n < cells.size(); ++n) {
        std::string text;
        for (std::size_t i = 0; i < cells[n].size(); ++i)
            text += (i ? "  " : "") + pad(cells[n][i], widths[i], i >= texts);
        while (!text.empty() && text.back() == ' ') text.pop_back();
        out += text + "\n";
    }
    out += "Groups: " + std::to_string(summary.rows.size()) + "\n";
    out += "Records: " + std::to_string(summary.checks) + "\n";
    out += "Total Amount: " + total_text(summary.search.total) + "\n";
    out += elapsed_text(summary.search.elapsed) + "\n";
    std::fwrite(out.data(), 1, out.size(), stdout);
}

void read_chart_size(const std::string &text, int *width, int *height) {
    const std::size_t x = text.find_first_of("xX");
    const auto number = [](const std::string &part) {
        if (part.empty() || part.size() > 5 || part.find_first_not_of("0123456789") != std::string::npos)
            return 0;
        return std::stoi(part);
    };
    *width = x == std::string::npos ? 0 : number(text.substr(0, x));
    *height = x == std::string::npos ? 0 : number(text.substr(x + 1));
    if (*width < 200 || *height < 200 || *width > 10000 || *height > 10000)
        usage_error("--chart-size wants WIDTHxHEIGHT in pixels, each 200 to 10000: " + text);
}

void run_summary(const SummaryLine &line) {
    if (line.by->count() == 0)
        usage_error("summary needs --by vendor, month, fiscal-year or description");
    SearchRequest request = line.criteria.read();
    std::optional<TableFormat> file_format;
    if (!line.output.empty() && !(file_format = table_format_of(line.output)))
        usage_error("--output wants a file ending in .csv, .xlsx or .json: " + line.output);
    int width = 0, height = 0;
    read_chart_size(line.chart_size, &width, &height);
    if (!line.chart.empty() && !is_chart_file_name(line.chart))
        usage_error("--chart wants a file ending in .png or .svg: " + line.chart);

    DatabaseSet set;
    prepare_search(set, request);
    const Summary summary = summarize(set, request.order, request.inputs, request.summary);
    print_summary(summary);
    if (summary.search.stopped_by_error())
        fail("the search stopped early on engine error " +
             std::to_string(summary.search.end_result) +
             "; ledgrove-cli reindex builds the index files anew");
    if (file_format) {
        const TableExport done = export_summary_table(summary, line.output, *file_format);
        if (!done.ok) fail(done.notice.text);
        std::printf("%s\n", done.notice.text.c_str());
    }
    if (!line.chart.empty()) {
        if (auto failure = save_summary_chart(summary, line.chart, width, height)) fail(*failure);
        std::printf("Chart written to %s.\n", line.chart.c_str());
    }
    if (std::fflush(stdout) != 0) fail("cannot write the results");
}

}  // namespace

Command add_summary_command(CLI::App &program) {
    CLI::App *command = program.add_subcommand(
        "summary", "sum the checks of a search by vendor, month, fiscal year or description");
    auto line = std::make_shared<SummaryLine>(*command);
    for (CLI::Option *option : command->get_options())
        if (option->get_name() == "--by") line->by = option;
    command->add_option("--output", line->output, "also write the table to FILE.csv, .xlsx or .json")
        ->type_name("FILE")
        ->group("Output");
    command->add_option("--chart", line->chart, "also draw the totals as a chart in FILE.png or .svg")
        ->type_name("FILE")
        ->group("Output");
    command->add_option("--chart-size", line->chart_size, "the chart's size in pixels (default 1200x800)")
        ->type_name("WxH")
        ->group("Output");
    command->footer(
        "Runs the search the criteria describe (the same options as search) and sums\n"
        "its checks by group: one line per group with its number of checks, its total,\n"
        "its share of the grand total and its first and last date, largest total first\n"
        "(--sort group: in the group's order), then a total line.  A fiscal year is\n"
        "named by the year in which it ends (--fiscal-start sets its first month).\n"
        "The chart shows the totals over time by month or fiscal year, and the 20\n"
        "largest (the rest as \"Other\") by vendor or description.\n");
    return {command, [line] { run_summary(*line); }};
}

}  // namespace ledgrove::cli
