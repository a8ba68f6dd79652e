// search_parameters.cc - the named criteria and how their values read.
#include "app/search/search_parameters.h"

#include <algorithm>
#include <array>
#include <cctype>

namespace ledgrove {
namespace {

using P = SearchParameter;
using K = ParameterKind;

constexpr std::array kParameters = {
    P{"from", K::Value, "MM/DD/YYYY", "first date (default: the register's first)", false},
    P{"to", K::Value, "MM/DD/YYYY", "last date (default: the register's last)", false},
    P{"fiscal-year", K::Value, "YYYY",
      "the fiscal year that ends in YYYY, instead of --from and --to", false},
    P{"quarter", K::Value, "YYYYQN", "quarter N (1-4) of fiscal year YYYY, e.g. 2024Q3", false},
    P{"fiscal-start", K::Value, "MONTH",
      "the month a fiscal year starts: 1-12 or a name (default: july)", false},
    P{"order", K::Value, "ORDER",
      "date (default), vendor-name, po-number, description, amount, vendor-id or check-id",
      false},
    P{"check-id", K::Value, "T", "the check id contains T", false},
    P{"po-number", K::Value, "T", "the purchase-order number contains T", false},
    P{"vendor-name", K::Value, "T", "the vendor name contains T", false},
    P{"vendor-id", K::Value, "T", "the vendor id contains T", false},
    P{"description", K::Value, "T", "the description contains T", false},
    P{"any", K::Value, "T", "any of the five texts above contains T", false},
    P{"match-case", K::Flag, "",
      "the texts match only in the case given (without it, case does not count)", false},
    P{"amount-op", K::Value, "OP", "'<', '=' (default) or '>'", false},
    P{"amount", K::Value, "A", "compare the amount with A: 10000, $10,000.00, -50, (50.00)",
      false},
    P{"amount-min", K::Value, "A", "the amount is at least A", false},
    P{"amount-max", K::Value, "A", "the amount is at most A", false},
    P{"reverse", K::Flag, "", "list the order backwards", false},
    P{"subtotals", K::Flag, "", "subtotal at every change of the order's field", false},
    P{"by-month", K::Flag, "", "in the date order, subtotal by month", false},
    P{"by", K::Value, "GROUP", "vendor, month, fiscal-year or description", true},
    P{"sort", K::Value, "SORT", "total (default: largest first) or group", true},
};

struct Named {
    std::string_view name;
    int value;
};

constexpr Named kOrders[] = {
    {"date", static_cast<int>(SortOrder::Date)},
    {"vendor-name", static_cast<int>(SortOrder::VendorName)},
    {"po-number", static_cast<int>(SortOrder::PONumber)},
    {"description", static_cast<int>(SortOrder::Description)},
    {"amount", static_cast<int>(SortOrder::Amount)},
    {"vendor-id", static_cast<int>(SortOrder::VendorID)},
    {"check-id", static_cast<int>(SortOrder::CheckID)},
};
constexpr Named kGroups[] = {
    {"vendor", static_cast<int>(SummaryGroup::Vendor)},
    {"month", static_cast<int>(SummaryGroup::Month)},
    {"fiscal-year", static_cast<int>(SummaryGroup::FiscalYear)},
    {"description", static_cast<int>(SummaryGroup::Description)},
};
constexpr Named kSorts[] = {
    {"total", static_cast<int>(SummarySort::Total)},
    {"group", static_cast<int>(SummarySort::Group)},
};
constexpr Named kMonths[] = {
    {"january", 1}, {"february", 2}, {"march", 3},     {"april", 4},
    {"may", 5},     {"june", 6},     {"july", 7},       {"august", 8},
    {"september", 9}, {"october", 10}, {"november", 11}, {"december", 12},
};

// The match texts: where each goes and the longest text its box takes.
struct TextSlot {
    std::string_view name;
    std::string SearchInputs::*text;
    std::size_t longest;
};
constexpr TextSlot kTexts[] = {
    {"check-id", &SearchInputs::check_id, search_limits::kCheckId},
    {"po-number", &SearchInputs::po_number, search_limits::kPoNumber},
    {"vendor-name", &SearchInputs::vendor_name, search_limits::kVendorName},
    {"vendor-id", &SearchInputs::vendor_id, search_limits::kVendorId},
    {"description", &SearchInputs::description, search_limits::kDescription},
    {"any", &SearchInputs::any_text, search_limits::kVendorName},
    {"amount", &SearchInputs::amount, search_limits::kAmount},
    {"amount-min", &SearchInputs::amount_min, search_limits::kAmount},
    {"amount-max", &SearchInputs::amount_max, search_limits::kAmount},
};

struct FlagSlot {
    std::string_view name;
    bool SearchInputs::*flag;
};
constexpr FlagSlot kFlags[] = {
    {"match-case", &SearchInputs::match_case},
    {"reverse", &SearchInputs::reverse},
    {"subtotals", &SearchInputs::subtotals},
    {"by-month", &SearchInputs::dates_by_month},
};

std::string lower(std::string_view text) {
    std::string out(text);
    for (char &c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

std::optional<int> find_named(std::span<const Named> names, std::string_view value) {
    const std::string wanted = lower(value);
    for (const Named &n : names)
        if (n.name == wanted) return n.value;
    return std::nullopt;
}

std::string choices(std::span<const Named> names) {
    std::string text;
    for (std::size_t i = 0; i < names.size(); ++i)
        text += (i == 0 ? "" : i + 1 == names.size() ? " or " : ", ") + std::string(names[i].name);
    return text;
}

// A whole number of exactly `digits` digits, else -1.
int digits_value(std::string_view text, std::size_t digits) {
    if (text.size() != digits) return -1;
    int value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return -1;
        value = value * 10 + (c - '0');
    }
    return value;
}

std::optional<std::string> read_date(std::string_view text, std::string *stored) {
    const std::size_t first = text.find('/');
    const std::size_t second = first == std::string_view::npos ? first : text.find('/', first + 1);
    if (second == std::string_view::npos)
        return "wants a date as MM/DD/YYYY: " + std::string(text);
    *stored = search_date(text.substr(second + 1), text.substr(0, first),
                          text.substr(first + 1, second - first - 1));
    return std::nullopt;
}

std::optional<int> read_month(std::string_view text) {
    const int number = text.size() == 1 ? digits_value(text, 1) : digits_value(text, 2);
    if (number >= 1 && number <= 12) return number;
    if (text.size() >= 3)
        for (const Named &m : kMonths)
            if (m.name.substr(0, text.size()) == lower(text)) return m.value;
    return std::nullopt;
}

std::string_view name_of(std::span<const Named> names, int value) {
    for (const Named &n : names)
        if (n.value == value) return n.name;
    return {};
}

// A stored date YYYYMMDD as MM/DD/YYYY; a text that is no stored date as
// it stands (read_date refuses it again on the way back).
std::string typed_date(const std::string &stored) {
    if (stored.size() != 8) return stored;
    return stored.substr(4, 2) + "/" + stored.substr(6, 2) + "/" + stored.substr(0, 4);
}

// One parameter's value in the request, or nothing when it has its default.
std::optional<std::string> value_of(const SearchRequest &request, std::string_view name) {
    const SearchInputs &in = request.inputs;
    for (const FlagSlot &f : kFlags)
        if (f.name == name) return in.*f.flag ? std::optional<std::string>("") : std::nullopt;
    for (const TextSlot &t : kTexts)
        if (t.name == name) return (in.*t.text).empty() ? std::nullopt : std::optional(in.*t.text);
    if (name == "from" || name == "to") {
        const std::string &date = name == "from" ? in.from : in.to;
        return date.empty() ? std::nullopt : std::optional(typed_date(date));
    }
    if (name == "fiscal-year" && request.fiscal_year != 0) return std::to_string(request.fiscal_year);
    if (name == "quarter" && request.quarter != 0)
        return std::to_string(request.quarter_year) + "Q" + std::to_string(request.quarter);
    if (name == "fiscal-start" && request.fiscal_start != kDefaultFiscalStart)
        return std::to_string(request.fiscal_start);
    if (name == "order" && request.order != SortOrder::Date)
        return std::string(name_of(kOrders, static_cast<int>(request.order)));
    if (name == "amount-op" && in.amount_operator != '=') return std::string(1, in.amount_operator);
    if (name == "by") return std::string(name_of(kGroups, static_cast<int>(request.summary.by)));
    if (name == "sort" && request.summary.sort != SummarySort::Total)
        return std::string(name_of(kSorts, static_cast<int>(request.summary.sort)));
    return std::nullopt;
}

}  // namespace

std::span<const SearchParameter> search_parameters() { return kParameters; }

std::vector<NamedValue> search_parameter_values(const SearchRequest &request, bool summary) {
    std::vector<NamedValue> values;
    for (const SearchParameter &p : kParameters) {
        if (p.summary_only && !summary) continue;
        if (std::optional<std::string> value = value_of(request, p.name))
            values.push_back({std::string(p.name), std::move(*value)});
    }
    return values;
}

std::optional<std::string> set_search_parameter(SearchRequest &request, std::string_view name,
                                                std::string_view value) {
    SearchInputs &in = request.inputs;
    for (const FlagSlot &f : kFlags) {
        if (f.name != name) continue;
        const std::string v = lower(value);
        if (v.empty() || v == "1" || v == "true") in.*f.flag = true;
        else if (v == "0" || v == "false") in.*f.flag = false;
        else return "wants 1, true, 0 or false: " + std::string(value);
        return std::nullopt;
    }
    for (const TextSlot &t : kTexts) {
        if (t.name != name) continue;
        in.*t.text = std::string(value.substr(0, t.longest));
        return std::nullopt;
    }
    if (name == "from" || name == "to") {
        (name == "from" ? request.from_given : request.to_given) = true;
        return read_date(value, name == "from" ? &in.from : &in.to);
    }
    if (name == "order") {
        const std::optional<int> order = find_named(kOrders, value);
        if (!order) return "names an unknown order: " + std::string(value) + " (" +
                           choices(kOrders) + ")";
        request.order = static_cast<SortOrder>(*order);
        return std::nullopt;
    }
    if (name == "amount-op") {
        if (value != "<" && value != "=" && value != ">")
            return "wants '<', '=' or '>': " + std::string(value);
        in.amount_operator = value[0];
        return std::nullopt;
    }
    if (name == "fiscal-year") {
        request.fiscal_year = digits_value(value, 4);
        if (request.fiscal_year > 0) return std::nullopt;
        request.fiscal_year = 0;
        return "wants a four-digit year: " + std::string(value);
    }
    if (name == "quarter") {
        const int year = value.size() == 6 ? digits_value(value.substr(0, 4), 4) : -1;
        const int quarter = value.size() == 6 ? digits_value(value.substr(5), 1) : -1;
        if (year <= 0 || (value[4] != 'Q' && value[4] != 'q') || quarter < 1 || quarter > 4)
            return "wants a fiscal year and quarter as 2024Q3: " + std::string(value);
        request.quarter_year = year;
        request.quarter = quarter;
        return std::nullopt;
    }
    if (name == "fiscal-start") {
        const std::optional<int> month = read_month(value);
        if (!month) return "wants a month, 1-12 or a name such as july: " + std::string(value);
        request.fiscal_start = *month;
        request.summary.fiscal_start = *month;
        return std::nullopt;
    }
    if (name == "by") {
        const std::optional<int> by = find_named(kGroups, value);
        if (!by) return "wants " + choices(kGroups) + ": " + std::string(value);
        request.summary.by = static_cast<SummaryGroup>(*by);
        return std::nullopt;
    }
    if (name == "sort") {
        const std::optional<int> sort = find_named(kSorts, value);
        if (!sort) return "wants " + choices(kSorts) + ": " + std::string(value);
        request.summary.sort = static_cast<SummarySort>(*sort);
        return std::nullopt;
    }
    return std::string("is no search parameter");
}

std::optional<std::string> settle_dates(SearchRequest &request, DatabaseSet &set) {
    SearchInputs &in = request.inputs;
    const int ways = (request.from_given || request.to_given) + (request.fiscal_year != 0) +
                     (request.quarter != 0);
    if (ways > 1)
        return std::string("give the dates one way: from and to, fiscal-year, or quarter");
    if (request.fiscal_year != 0 || request.quarter != 0) {
        const DateSpan span =
            request.quarter != 0
                ? fiscal_quarter_span(request.quarter_year, request.quarter, request.fiscal_start)
                : fiscal_year_span(request.fiscal_year, request.fiscal_start);
        in.from = span.from;
        in.to = span.to;
        return std::nullopt;
    }
    if (request.from_given && request.to_given) return std::nullopt;
    auto stored = [](const DialogDate &d) { return d.year + d.month + d.day; };
    const RegisterSpan span = register_span(set);
    if (!request.from_given)
        in.from = request.to_given ? std::min(stored(span.first), in.to) : stored(span.first);
    if (!request.to_given) in.to = std::max(stored(span.last), in.from);
    return std::nullopt;
}

}  // namespace ledgrove
