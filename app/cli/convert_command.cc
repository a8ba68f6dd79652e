// convert_command.cc - `ledgrove-cli convert`: a published register's CSV
// file into a register CSV file that `import` reads, with a report.  The
// work is done by app/maint/convert; this file reads the options.
#include <array>
#include <cstdio>
#include <memory>

#include <CLI/CLI.hpp>

#include "app/cli/commands.h"
#include "app/store/error_text.h"
#include "app/maint/convert/conversion.h"
#include "app/maint/convert/source_file.h"
#include "app/output/csv_file.h"
#include "app/output/csv_line.h"

namespace ledgrove::cli {
namespace {

struct ConvertOptions {
    std::string input, output, report_path;
    ConvertRequest request;
    std::size_t examples = kDefaultExamples;
};

char parse_delimiter(const std::string &value) {
    if (value == "tab" || value == "\\t") return '\t';
    if (value.size() != 1) usage_error("--delimiter wants one character: " + value);
    return value[0];
}

// What the parser fills; read into ConvertOptions once it is done.
struct ConvertLine {
    std::string input, output, delimiter, fields, examples;
    std::array<std::string, kTargetCount> columns;
    std::array<CLI::Option *, kTargetCount> column_options{};
    CLI::Option *date_format = nullptr, *merge_extra = nullptr, *report = nullptr;
    CLI::Option *delimiter_option = nullptr, *fields_option = nullptr, *examples_option = nullptr;
    std::string date_format_value, merge_extra_value, report_value;
    bool no_header = false;

    ConvertOptions read() const {
        if (input.empty() || output.empty())
            usage_error("usage: ledgrove-cli convert IN.csv OUT.csv [options]");
        ConvertOptions options;
        options.input = input;
        options.output = output;
        options.request.has_header = !no_header;
        for (std::size_t i = 0; i < kTargetCount; ++i)
            if (column_options[i]->count() > 0) options.request.columns[i] = columns[i];
        if (date_format->count() > 0) options.request.date_format = date_format_value;
        if (delimiter_option->count() > 0) options.request.delimiter = parse_delimiter(delimiter);
        if (fields_option->count() > 0)
            options.request.field_count = parse_count(fields, "--fields");
        if (merge_extra->count() > 0) options.request.merge_column = merge_extra_value;
        if (report->count() > 0) options.report_path = report_value;
        if (examples_option->count() > 0) options.examples = parse_count(examples, "--examples");
        return options;
    }
};

void write_report(const ConvertOptions &options, const std::string &text) {
    if (options.report_path.empty()) {
        std::fputs(text.c_str(), stderr);
        return;
    }
    CsvFileWriter file;
    std::uint32_t rc = file.create(options.report_path);
    if (rc == 0) file.write(text), rc = file.finish();
    if (rc != 0) fail("cannot write " + options.report_path + ": " + error_reason(rc));
}

void run_convert(const ConvertOptions &options) {
    std::string input;
    if (std::uint32_t rc = read_source_file(options.input, &input); rc != 0)
        fail("cannot read " + options.input + ": " + error_reason(rc));
    const PreparedConversion prepared = prepare_conversion(input, options.request);
    if (!prepared.ok()) fail(options.input + ": " + prepared.error);

    CsvFileWriter out;
    if (std::uint32_t rc = out.create(options.output); rc != 0)
        fail("cannot create " + options.output + ": " + error_reason(rc));
    const ConversionReport report = convert_rows(
        input, prepared,
        [&](const ConvertedRow &row) {
            if (row.written) out.write(csv_line_from_record(row.record));
        },
        0, options.examples);
    if (std::uint32_t rc = out.finish(); rc != 0)
        fail("cannot write " + options.output + ": " + error_reason(rc));
    write_report(options, "Converting " + options.input + " into " + options.output + "\n" +
                              report.text());
}

}  // namespace

Command add_convert_command(CLI::App &program) {
    CLI::App *command = program.add_subcommand(
        "convert", "turn a published register's CSV file into one that import reads");
    auto line = std::make_shared<ConvertLine>();
    command->add_option("IN.csv", line->input, "the published register");
    command->add_option("OUT.csv", line->output, "the register CSV file to write");
    static constexpr const char *kColumnHelp[kTargetCount] = {
        "check number: longer than 6 keeps the last 6",
        "check date (required)",
        "vendor number: longer than 10 keeps the last 10",
        "vendor name (required): longer than 35 is cut",
        "purchase-order number: longer than 8 keeps the last 8",
        "description: longer than 32 is cut",
        "amount (required): 1234.5, $1,234.50, -5, (12.00)",
    };
    for (const TargetInfo &info : kTargets) {
        const auto i = static_cast<std::size_t>(info.target);
        line->column_options[i] =
            command->add_option(std::string("--") + info.option, line->columns[i], kColumnHelp[i])
                ->type_name("COL")
                ->group("Columns")
                ->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
    }
    auto value = [&](const char *name, std::string &where, const char *type, const char *help) {
        return command->add_option(name, where, help)
            ->type_name(type)
            ->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
    };
    line->date_format = value("--date-format", line->date_format_value, "FMT",
                              "e.g. MM/DD/YYYY, YYYY-MM-DD, DD.MM.YYYY, MM/DD/YY; detected from "
                              "the date column when not given");
    line->delimiter_option = value("--delimiter", line->delimiter, "C",
                                   "field delimiter (default ','; 'tab' for a tab)");
    command->add_flag("--no-header", line->no_header, "the first row is data; columns are numbers");
    line->fields_option = value("--fields", line->fields, "N",
                                "fields per row (default: the header's, else the most common count)");
    line->merge_extra = value("--merge-extra", line->merge_extra_value, "COL",
                              "a row with more fields than that has unquoted delimiters in this "
                              "column: join them back into it");
    line->report = value("--report", line->report_value, "FILE", "write the report to FILE instead");
    line->examples_option = value("--examples", line->examples, "N",
                                  "changed values listed per kind (default 10, 0: all)");
    command->footer(
        "Converts a check register as public bodies publish it (a CSV file) into a\n"
        "register CSV file for 'ledgrove-cli import'.  A report goes to standard\n"
        "error: the columns used, every skipped row with its reason, every kind of\n"
        "value that had to change, then rows read, written and skipped and the\n"
        "control total of the amounts written.\n"
        "\n"
        "Columns: COL is a header name or a 1-based number; \"\" leaves the field\n"
        "blank; a column not given is guessed from the header.\n"
        "\n"
        "Text is converted from UTF-8 to the register's code page (Windows-1252);\n"
        "characters it lacks become '?' and are counted.  The exit status is 0\n"
        "when the conversion ran, even with skipped rows.\n");
    return {command, [line] { run_convert(line->read()); }};
}

}  // namespace ledgrove::cli
