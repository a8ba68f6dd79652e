// convert_command.cc - `ledgrove-cli convert`: a published register's CSV
// file into a register CSV file that `import` reads, with a report.  The
// work is done by app/maint/convert; this file reads the options.
#include <cstdio>
#include <map>

#include "app/cli/commands.h"
#include "app/store/error_text.h"
#include "app/maint/convert/conversion.h"
#include "app/maint/convert/source_file.h"
#include "app/output/csv_file.h"
#include "app/output/csv_line.h"

namespace ledgrove::cli {

const char *const kConvertHelp =
    "usage: ledgrove-cli convert IN.csv OUT.csv [options]\n"
    "\n"
    "Converts a check register as public bodies publish it (a CSV file) into a\n"
    "register CSV file for 'ledgrove-cli import'.  A report goes to standard\n"
    "error: the columns used, every skipped row with its reason, every kind of\n"
    "value that had to change, then rows read, written and skipped and the\n"
    "control total of the amounts written.\n"
    "\n"
    "Columns (COL is a header name or a 1-based number; \"\" leaves the field\n"
    "blank; a column not given is guessed from the header):\n"
    "  --check-id COL      check number: longer than 6 keeps the last 6\n"
    "  --date COL          check date (required)\n"
    "  --vendor-id COL     vendor number: longer than 10 keeps the last 10\n"
    "  --vendor-name COL   vendor name (required): longer than 35 is cut\n"
    "  --po-number COL     purchase-order number: longer than 8 keeps the last 8\n"
    "  --description COL   description: longer than 32 is cut\n"
    "  --amount COL        amount (required): 1234.5, $1,234.50, -5, (12.00)\n"
    "\n"
    "  --date-format FMT   e.g. MM/DD/YYYY, YYYY-MM-DD, DD.MM.YYYY, MM/DD/YY;\n"
    "                      detected from the date column when not given\n"
    "  --delimiter C       field delimiter (default ','; 'tab' for a tab)\n"
    "  --no-header         the first row is data; columns are numbers\n"
    "  --fields N          fields per row (default: the header's, else the most\n"
    "                      common count)\n"
    "  --merge-extra COL   a row with more fields than that has unquoted\n"
    "                      delimiters in this column: join them back into it\n"
    "  --report FILE       write the report to FILE instead\n"
    "  --examples N        changed values listed per kind (default 10, 0: all)\n"
    "\n"
    "Text is converted from UTF-8 to the register's code page (Windows-1252);\n"
    "characters it lacks become '?' and are counted.  The exit status is 0\n"
    "when the conversion ran, even with skipped rows.\n";

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

ConvertOptions parse_options(const Args &args) {
    std::map<std::string, std::size_t> column_options;
    for (const TargetInfo &info : kTargets)
        column_options[std::string("--") + info.option] = static_cast<std::size_t>(info.target);
    ConvertOptions options;
    std::vector<std::string> operands;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string &option = args[i];
        check_help(option);
        if (option.size() < 2 || option[0] != '-') {
            operands.push_back(option);
            continue;
        }
        if (option == "--no-header") {
            options.request.has_header = false;
            continue;
        }
        if (i + 1 >= args.size()) usage_error("unknown option or missing value: " + option);
        const std::string &value = args[++i];
        if (auto found = column_options.find(option); found != column_options.end())
            options.request.columns[found->second] = value;
        else if (option == "--date-format")
            options.request.date_format = value;
        else if (option == "--delimiter")
            options.request.delimiter = parse_delimiter(value);
        else if (option == "--fields")
            options.request.field_count = parse_count(value, "--fields");
        else if (option == "--merge-extra")
            options.request.merge_column = value;
        else if (option == "--report")
            options.report_path = value;
        else if (option == "--examples")
            options.examples = parse_count(value, "--examples");
        else
            usage_error("unknown option: " + option);
    }
    if (operands.size() != 2) usage_error("usage: ledgrove-cli convert IN.csv OUT.csv [options]");
    options.input = operands[0];
    options.output = operands[1];
    return options;
}

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

}  // namespace

int run_convert_command(const Args &args) {
    const ConvertOptions options = parse_options(args);
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
    return kSuccess;
}

}  // namespace ledgrove::cli
