// search_command.cc - `ledgrove-cli search`: one search, as the dialog runs
// it, printed as the result lines and three closing lines.
#include <algorithm>
#include <cstdio>
#include <map>

#include "app/cli/commands.h"
#include "app/cli/terminal_text.h"
#include "app/search/date_range.h"
#include "app/search/result_lines.h"
#include "app/search/result_list.h"
#include "app/search/search.h"

namespace ledgrove::cli {

const char *const kSearchHelp =
    "usage: ledgrove-cli search [options]\n"
    "\n"
    "Lists the checks of a date range in one order, as the search window does,\n"
    "one result line per line, then three lines: \"Records: N\", \"Total Amount: T\"\n"
    "and the time the search took.\n"
    "\n"
    "  --from MM/DD/YYYY     first date (default: the register's first)\n"
    "  --to MM/DD/YYYY       last date (default: the register's last)\n"
    "  --order ORDER         date (default), vendor-name, po-number, description,\n"
    "                        amount, vendor-id or check-id\n"
    "  --check-id T          the check id contains T\n"
    "  --po-number T         the purchase-order number contains T\n"
    "  --vendor-name T       the vendor name contains T\n"
    "  --vendor-id T         the vendor id contains T\n"
    "  --description T       the description contains T\n"
    "  --match-case          the texts above match only in the case given\n"
    "                        (without it, case does not count)\n"
    "  --amount-op OP        '<', '=' (default) or '>'\n"
    "  --amount T            compare the amount with T: 10000, $10,000.00, -50,\n"
    "                        (50.00)\n"
    "  --reverse             list the order backwards\n"
    "  --subtotals           subtotal at every change of the order's field\n"
    "  --by-month            in the date order, subtotal by month\n"
    "  -h, --help            show this help\n"
    "\n"
    "In a UTF-8 locale the texts given and the lines printed are UTF-8.\n";

namespace {

const std::map<std::string, SortOrder> kOrders = {
    {"date", SortOrder::Date},           {"vendor-name", SortOrder::VendorName},
    {"po-number", SortOrder::PONumber},  {"description", SortOrder::Description},
    {"amount", SortOrder::Amount},       {"vendor-id", SortOrder::VendorID},
    {"check-id", SortOrder::CheckID},
};

// The match texts: the option, where its value goes, and the longest text
// the dialog's box takes (a longer one is cut, as the dialog cuts it).
struct TextOption {
    const char *option;
    std::string SearchInputs::*text;
    std::size_t longest;
};
constexpr TextOption kTextOptions[] = {
    {"--check-id", &SearchInputs::check_id, search_limits::kCheckId},
    {"--po-number", &SearchInputs::po_number, search_limits::kPoNumber},
    {"--vendor-name", &SearchInputs::vendor_name, search_limits::kVendorName},
    {"--vendor-id", &SearchInputs::vendor_id, search_limits::kVendorId},
    {"--description", &SearchInputs::description, search_limits::kDescription},
};

// The options that switch a search input on, or null.
bool SearchInputs::*flag_option(const std::string &option) {
    static const std::map<std::string, bool SearchInputs::*> flags = {
        {"--subtotals", &SearchInputs::subtotals},
        {"--by-month", &SearchInputs::dates_by_month},
        {"--match-case", &SearchInputs::match_case},
        {"--reverse", &SearchInputs::reverse},
    };
    const auto found = flags.find(option);
    return found == flags.end() ? nullptr : found->second;
}

// MM/DD/YYYY as the stored date; whether it is a real date is the search's
// check, which names the field.
std::string parse_date(const std::string &text, const char *option) {
    const std::size_t first = text.find('/');
    const std::size_t second = first == std::string::npos ? first : text.find('/', first + 1);
    if (second == std::string::npos)
        usage_error(std::string(option) + " wants a date as MM/DD/YYYY: " + text);
    return search_date(text.substr(second + 1), text.substr(0, first),
                       text.substr(first + 1, second - first - 1));
}

struct SearchRequest {
    SearchInputs inputs;
    SortOrder order = SortOrder::Date;
    bool from_given = false, to_given = false;
};

SearchRequest parse_options(const Args &args) {
    SearchRequest request;
    SearchInputs &in = request.inputs;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string &option = args[i];
        check_help(option);
        if (bool SearchInputs::*flag = flag_option(option)) {
            in.*flag = true;
            continue;
        }
        if (i + 1 >= args.size()) usage_error("unknown option or missing value: " + option);
        const std::string &value = args[++i];
        const TextOption *text = nullptr;
        for (const TextOption &t : kTextOptions)
            if (option == t.option) text = &t;
        if (text) {
            std::string converted = register_argument(value, option);
            if (converted.size() > text->longest) converted.resize(text->longest);
            in.*text->text = std::move(converted);
        } else if (option == "--from") {
            in.from = parse_date(value, "--from");
            request.from_given = true;
        } else if (option == "--to") {
            in.to = parse_date(value, "--to");
            request.to_given = true;
        } else if (option == "--order") {
            auto found = kOrders.find(value);
            if (found == kOrders.end()) usage_error("unknown order: " + value);
            request.order = found->second;
        } else if (option == "--amount-op") {
            if (value != "<" && value != "=" && value != ">")
                usage_error("--amount-op wants '<', '=' or '>': " + value);
            in.amount_operator = value[0];
        } else if (option == "--amount") {
            in.amount = register_argument(value, option);
        } else {
            usage_error("unknown option: " + option);
        }
    }
    return request;
}

std::string stored(const DialogDate &date) { return date.year + date.month + date.day; }

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

}  // namespace

int run_search_command(const Args &args) {
    SearchRequest request = parse_options(args);
    SearchInputs &in = request.inputs;

    DatabaseSet set;
    set.open();
    require_open(set, {index_for(request.order)});
    // A date not given reaches to the register's end on its side, and at
    // least to the date given, so "--from" alone never reads as reversed.
    if (!request.from_given || !request.to_given) {
        const RegisterSpan span = register_span(set);
        if (!request.from_given) in.from = request.to_given ? std::min(stored(span.first), in.to)
                                                            : stored(span.first);
        if (!request.to_given) in.to = std::max(stored(span.last), in.from);
    }
    if (const std::optional<InputError> error = check_search_inputs(in))
        usage_error(error->message);

    ResultList lines;
    const SearchResult result = search_records(set, request.order, in, lines);
    print_results(lines, result);
    if (result.stopped_by_error())
        fail("the search stopped early on engine error " + std::to_string(result.end_result) +
             ": " + set.path(index_info(index_for(request.order)).file_name) + " or " +
             set.path(kDataFileName) +
             " is damaged; ledgrove-cli reindex builds the index files anew");
    return kSuccess;
}

}  // namespace ledgrove::cli
