// search_command.cc - `ledgrove-cli search`: one search, as the dialog runs
// it, printed as the result lines and three closing lines, or written as a
// CSV or JSON table, or exported to a CSV, XLSX or JSON file.
#include <cstdio>
#include <memory>

#include <CLI/CLI.hpp>

#include "app/cli/commands.h"
#include "app/cli/search_options.h"
#include "app/cli/stdout_output.h"
#include "app/cli/terminal_text.h"
#include "app/output/csv_table.h"
#include "app/output/json_table.h"
#include "app/output/table_export.h"
#include "app/search/result_lines.h"
#include "app/search/result_list.h"
#include "app/search/search.h"

namespace ledgrove::cli {
namespace {

struct SearchLine {
    explicit SearchLine(CLI::App &command) : criteria(command, false) {}
    SearchOptions criteria;
    std::string format = "lines", output;
};

void print_results(const ResultList &lines, const SearchResult &result) {
    std::string out;
    out.reserve(1 << 20);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        out += terminal_line(lines.line(i));
        out.push_back('\n');
        if (out.size() >= (1 << 20)) {
            std::fwrite(out.data(), 1, out.size(), stdout);
            out.clear();
        }
    }
    out += "Records: " + std::to_string(result.line_count) + "\n";
    out += "Total Amount: " + total_text(result.total) + "\n";
    out += elapsed_text(result.elapsed) + "\n";
    std::fwrite(out.data(), 1, out.size(), stdout);
    if (std::fflush(stdout) != 0) fail("cannot write the results");
}

void fail_if_stopped(const DatabaseSet &set, const SearchRequest &request,
                     const SearchResult &result) {
    if (result.stopped_by_error())
        fail("the search stopped early on engine error " + std::to_string(result.end_result) +
             ": " + set.path(index_info(index_for(request.order)).file_name) + " or " +
             set.path(kDataFileName) +
             " is damaged; ledgrove-cli reindex builds the index files anew");
}

void run_search(const SearchLine &line) {
    SearchRequest request = line.criteria.read();
    std::optional<TableFormat> file_format;
    if (!line.output.empty()) {
        file_format = table_format_of(line.output);
        if (!file_format) usage_error("--output wants a file ending in .csv, .xlsx or .json: " + line.output);
        const bool same = (line.format == "csv" && *file_format == TableFormat::Csv) ||
                          (line.format == "json" && *file_format == TableFormat::Json);
        if (line.format != "lines" && !same)
            usage_error("--format " + line.format + " does not match the file " + line.output);
    }
    DatabaseSet set;
    prepare_search(set, request);

    if (file_format) {
        const TableExport done =
            export_search_table(set, request.order, request.inputs, line.output, *file_format);
        if (!done.ok) fail(done.notice.text);
        std::printf("%s\n", done.notice.text.c_str());
        return;
    }
    if (line.format == "lines") {
        ResultList lines;
        const SearchResult result = search_records(set, request.order, request.inputs, lines);
        print_results(lines, result);
        fail_if_stopped(set, request, result);
        return;
    }
    StdoutOutput out;
    std::unique_ptr<TableWriter> writer;
    if (line.format == "csv") writer = std::make_unique<CsvTableWriter>(out);
    else writer = std::make_unique<JsonTableWriter>(out);
    const TableWriteResult result = write_search_table(set, request.order, request.inputs, *writer);
    StdoutOutput::finish();
    fail_if_stopped(set, request, result.search);
}

}  // namespace

Command add_search_command(CLI::App &program) {
    CLI::App *command = program.add_subcommand("search", "list checks, as the search window does");
    auto line = std::make_shared<SearchLine>(*command);
    command->add_option("--format", line->format, "lines (default), csv or json")
        ->type_name("FORMAT")
        ->check(CLI::IsMember({"lines", "csv", "json"}))
        ->group("Output");
    command->add_option("--output", line->output,
                        "write the checks to FILE.csv, FILE.xlsx or FILE.json instead")
        ->type_name("FILE")
        ->group("Output");
    command->footer(
        "Lists the checks of a date range in one order, as the search window does,\n"
        "one result line per line, then three lines: \"Records: N\", \"Total Amount: T\"\n"
        "and the time the search took.  With --format csv or json the checks are\n"
        "written as a table instead (UTF-8, ISO dates, plain amounts; no subtotal\n"
        "lines); --output writes them to a file, in the format of its extension.\n"
        "\n"
        "All the criteria given must hold together.  In a UTF-8 locale the texts\n"
        "given and the lines printed are UTF-8.\n");
    return {command, [line] { run_search(*line); }};
}

}  // namespace ledgrove::cli
