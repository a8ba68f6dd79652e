// search_command.cc - `ledgrove-cli search`: one search, as the dialog runs
// it, printed as the result lines and three closing lines.
#include <cstdio>
#include <map>

#include "app/cli/commands.h"
#include "app/search/date_range.h"
#include "app/search/search.h"
#include "app/search/value_port.h"
#include "app/ui/control_ids.h"

namespace ledgrove::cli {

const char *const kSearchHelp =
    "usage: ledgrove-cli search [options]\n"
    "\n"
    "Lists the checks of a date range in one order, as the search dialog does,\n"
    "one result line per line, then three lines: \"Records: N\", \"Total Amount: T\"\n"
    "and the time the search took.\n"
    "\n"
    "  --from MM/DD/YYYY     first date (default 01/01/2006)\n"
    "  --to MM/DD/YYYY       last date (default 12/31 of this year)\n"
    "  --order ORDER         date (default), vendor-name, po-number, description,\n"
    "                        amount, vendor-id or check-id\n"
    "  --check-id T          the check id contains T\n"
    "  --po-number T         the purchase-order number contains T\n"
    "  --vendor-name T       the vendor name contains T (upper case, as typed\n"
    "                        into the dialog)\n"
    "  --vendor-id T         the vendor id contains T (upper case)\n"
    "  --description T       the description contains T (upper case)\n"
    "  --amount-op OP        '<', '=' (default) or '>'\n"
    "  --amount T            compare the amount with T\n"
    "  --subtotals           subtotal at every change of the order's field\n"
    "  --by-month            in the date order, subtotal by month\n"
    "  -h, --help            show this help\n";

namespace {

const std::map<std::string, SortOrder> kOrders = {
    {"date", SortOrder::Date},           {"vendor-name", SortOrder::VendorName},
    {"po-number", SortOrder::PONumber},  {"description", SortOrder::Description},
    {"amount", SortOrder::Amount},       {"vendor-id", SortOrder::VendorID},
    {"check-id", SortOrder::CheckID},
};

bool all_digits(const std::string &text) {
    return !text.empty() && text.find_first_not_of("0123456789") == std::string::npos;
}

// MM/DD/YYYY; a one-digit month or day gets its leading zero, as the
// dialog's lists hold them.
DialogDate parse_date(const std::string &text, const char *option) {
    const std::size_t first = text.find('/');
    const std::size_t second = first == std::string::npos ? first : text.find('/', first + 1);
    DialogDate date;
    if (second != std::string::npos) {
        date.month = text.substr(0, first);
        date.day = text.substr(first + 1, second - first - 1);
        date.year = text.substr(second + 1);
    }
    if (!all_digits(date.month) || !all_digits(date.day) || !all_digits(date.year) ||
        date.month.size() > 2 || date.day.size() > 2 || date.year.size() != 4)
        usage_error(std::string(option) + " wants a date as MM/DD/YYYY: " + text);
    if (date.month.size() == 1) date.month.insert(0, "0");
    if (date.day.size() == 1) date.day.insert(0, "0");
    return date;
}

std::string upper(std::string text) {
    for (char &c : text)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return text;
}

void set_date(ValuePort &port, const DialogDate &date, int month, int day, int year) {
    port.set_control_text(month, date.month);
    port.set_control_text(day, date.day);
    port.set_control_text(year, date.year);
}

void print_results(const ValuePort &port) {
    const ResultList &lines = port.results();
    std::string out;
    out.reserve(1 << 20);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        out.append(lines.line(i));
        out.push_back('\n');
        if (out.size() >= (1 << 20)) {
            std::fwrite(out.data(), 1, out.size(), stdout);
            out.clear();
        }
    }
    out += "Records: " + port.control_text(control::kRecordCount) + "\n";
    out += "Total Amount: " + port.control_text(control::kTotalAmount) + "\n";
    out += port.control_text(control::kElapsed) + "\n";
    std::fwrite(out.data(), 1, out.size(), stdout);
    if (std::fflush(stdout) != 0) fail("cannot write the results");
}

}  // namespace

int run_search_command(const Args &args) {
    using namespace control;
    ValuePort port;
    set_date(port, default_from_date(), kFromMonth, kFromDay, kFromYear);
    set_date(port, default_to_date(), kToMonth, kToDay, kToYear);
    port.set_control_text(kAmountOperator, "=");
    SortOrder order = SortOrder::Date;

    const std::map<std::string, int> text_options = {
        {"--check-id", kCheckIdText},       {"--po-number", kPoNumberText},
        {"--vendor-name", kVendorNameText}, {"--vendor-id", kVendorIdText},
        {"--description", kDescriptionText}, {"--amount", kAmountText},
    };
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string &option = args[i];
        if (option == "--subtotals") {
            port.set_checked(kSubtotals, true);
            continue;
        }
        if (option == "--by-month") {
            port.set_checked(kSubtotalByMonth, true);
            continue;
        }
        if (i + 1 >= args.size()) usage_error("unknown option or missing value: " + option);
        const std::string &value = args[++i];
        if (option == "--from") {
            set_date(port, parse_date(value, "--from"), kFromMonth, kFromDay, kFromYear);
        } else if (option == "--to") {
            set_date(port, parse_date(value, "--to"), kToMonth, kToDay, kToYear);
        } else if (option == "--order") {
            auto found = kOrders.find(value);
            if (found == kOrders.end()) usage_error("unknown order: " + value);
            order = found->second;
        } else if (option == "--amount-op") {
            if (value != "<" && value != "=" && value != ">")
                usage_error("--amount-op wants '<', '=' or '>': " + value);
            port.set_control_text(kAmountOperator, value);
        } else if (auto found = text_options.find(option); found != text_options.end()) {
            const bool upper_case = found->second == kVendorNameText ||
                                    found->second == kVendorIdText ||
                                    found->second == kDescriptionText;
            port.set_control_text(found->second, upper_case ? upper(value) : value);
        } else {
            usage_error("unknown option: " + option);
        }
    }

    DatabaseSet set;
    set.open();
    require_open(set, {index_for(order)});
    const SearchOutcome outcome = run_search(set, port, order);
    print_results(port);
    if (outcome.stopped_by_error())
        fail("the search stopped early on engine error " + std::to_string(outcome.end_result) +
             ": " + set.path(index_info(index_for(order)).file_name) + " or " +
             set.path(kDataFileName) +
             " is damaged; ledgrove-cli reindex builds the index files anew");
    return kSuccess;
}

}  // namespace ledgrove::cli
