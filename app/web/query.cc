// query.cc - reading and writing the query strings of the pages and the API.
#include "app/web/query.h"

#include <algorithm>
#include <cctype>

#include "app/store/code_page.h"
#include "app/web/web_limits.h"

namespace ledgrove::web {
namespace {

// The parameter a check_search_inputs field is given by.
std::string parameter_of_field(const std::string &field) {
    if (field == "From date") return "from";
    if (field == "To date") return "to";
    if (field == "Amount from") return "amount-min";
    if (field == "Amount to") return "amount-max";
    return "amount";
}

// UTF-8 text as a message may quote it: cut after `bytes` (not inside a
// character), and free of control characters.
std::string quoted(std::string_view value, std::size_t bytes = kQuotedBytes) {
    std::size_t end = std::min(value.size(), bytes);
    while (end < value.size() && end > 0 && (static_cast<unsigned char>(value[end]) & 0xC0) == 0x80)
        --end;
    std::string out;
    for (char c : value.substr(0, end))
        out.push_back(static_cast<unsigned char>(c) < 0x20 || c == 0x7F ? '?' : c);
    if (end < value.size()) out += "...";
    return out;
}

const SearchParameter *find_parameter(std::string_view name, bool summary) {
    for (const SearchParameter &parameter : search_parameters())
        if (parameter.name == name && (summary || !parameter.summary_only)) return &parameter;
    return nullptr;
}

std::optional<QueryError> read_page(const std::string &value, std::size_t &page) {
    const bool digits = !value.empty() && value.size() <= kPageDigits &&
                        value.find_first_not_of("0123456789") == std::string::npos;
    page = digits ? std::stoul(value) : 0;
    if (page >= 1) return std::nullopt;
    return QueryError{"page", "page wants a page number from 1: " + quoted(value)};
}

void append_escaped(std::string &out, std::string_view text) {
    static const char hex[] = "0123456789ABCDEF";
    for (unsigned char c : text) {
        if (std::isalnum(c) || c == '-' || c == '_' || c == '.' || c == '~') {
            out.push_back(static_cast<char>(c));
        } else {
            out.push_back('%');
            out.push_back(hex[c >> 4]);
            out.push_back(hex[c & 15]);
        }
    }
}

}  // namespace

std::optional<QueryError> read_query(const QueryPairs &pairs, bool summary, WebQuery &query) {
    if (pairs.size() > kParameterCount)
        return QueryError{"query", "a request takes at most " + std::to_string(kParameterCount) +
                                       " parameters"};
    if (summary) query.given["by"] = "vendor";
    for (const auto &[name, value] : pairs) {
        if (value.size() > kValueBytes)
            return QueryError{quoted(name), quoted(name) + " is longer than " +
                                                std::to_string(kValueBytes) + " bytes"};
        if (name == "page" || find_parameter(name, summary)) {
            if (value.empty()) query.given.erase(name);
            else query.given[name] = value;
            continue;
        }
        return QueryError{quoted(name), quoted(name) + " is no search parameter"};
    }
    for (const auto &[name, value] : query.given) {
        if (name == "page") {
            if (auto error = read_page(value, query.page)) return error;
            continue;
        }
        const SearchParameter *parameter = find_parameter(name, summary);
        const std::string text = parameter->kind == ParameterKind::Flag
                                     ? value
                                     : to_register_text(value).text;
        if (auto error = set_search_parameter(query.request, name, text))
            return QueryError{name, name + " " + quoted(from_register_text(*error),
                                                        2 * kQuotedBytes)};
    }
    return std::nullopt;
}

std::optional<QueryError> settle_query(WebQuery &query, DatabaseSet &set) {
    if (auto error = settle_dates(query.request, set)) return QueryError{"dates", *error};
    if (const std::optional<InputError> error = check_search_inputs(query.request.inputs))
        return QueryError{parameter_of_field(error->field), from_register_text(error->message)};
    return std::nullopt;
}

std::string query_string(const std::map<std::string, std::string> &given,
                         const std::map<std::string, std::string> &changes) {
    std::map<std::string, std::string> values = given;
    for (const auto &[name, value] : changes) {
        if (value.empty()) values.erase(name);
        else values[name] = value;
    }
    std::string out;
    for (const auto &[name, value] : values) {
        if (!out.empty()) out.push_back('&');
        append_escaped(out, name);
        out.push_back('=');
        append_escaped(out, value);
    }
    return out;
}

}  // namespace ledgrove::web
