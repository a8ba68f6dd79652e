// search.cc - the index walk shared by the seven searches, and the checks of
// its inputs.
#include "app/search/search.h"

#include <algorithm>
#include <vector>

#include "app/search/index_walk.h"
#include "app/search/record_test.h"
#include "app/search/search_plan.h"
#include "app/search/result_lines.h"
#include "app/store/amount_text.h"
#include "app/store/code_page.h"
#include "app/store/field_text.h"
#include "app/store/register_files.h"

namespace ledgrove {
namespace {

bool all_digits(std::string_view text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

bool is_stored_date(std::string_view date) {
    if (date.size() != 8 || !all_digits(date)) return false;
    const int month = (date[4] - '0') * 10 + (date[5] - '0');
    const int day = (date[6] - '0') * 10 + (date[7] - '0');
    return month >= 1 && month <= 12 && day >= 1 && day <= 31;
}

// MM/DD/YYYY of a stored date, for messages; a text that is not one as it
// stands.
std::string shown_date(std::string_view date) {
    if (date.size() != 8) return std::string(date);
    return std::string(date.substr(4, 2)) + "/" + std::string(date.substr(6, 2)) + "/" +
           std::string(date.substr(0, 4));
}

std::optional<InputError> check_date(std::string_view date, const std::string &field) {
    if (is_stored_date(date)) return std::nullopt;
    return InputError{field, "The " + field + " " + shown_date(date) +
                                 " is not a date: write it as MM/DD/YYYY, with a month from 01 "
                                 "to 12, a day from 01 to 31 and a four-digit year."};
}

std::optional<InputError> check_amount(const std::string &amount, const std::string &field) {
    if (amount.empty()) return std::nullopt;
    const AmountReading reading = read_amount(amount);
    const std::string quoted = "The " + field + " \"" + amount + "\"";
    switch (reading.status) {
        case AmountStatus::Ok:
            if (!reading.rounded) return std::nullopt;
            return InputError{field, quoted + " has more than two decimals."};
        case AmountStatus::TooLarge:
            return InputError{field, quoted + " is larger than any amount the register holds."};
        case AmountStatus::Empty:
        case AmountStatus::NotANumber:
            break;
    }
    return InputError{field, quoted + " is not an amount: write it as 1234.56, $1,234.56, "
                                      "-50 or (50.00)."};
}

}  // namespace

std::string search_date(std::string_view year, std::string_view month, std::string_view day) {
    return std::string(year) + zero_pad_two_digits(std::string(month)) +
           zero_pad_two_digits(std::string(day));
}

std::optional<InputError> check_search_inputs(const SearchInputs &in) {
    if (auto error = check_date(in.from, "From date")) return error;
    if (auto error = check_date(in.to, "To date")) return error;
    if (in.from > in.to)
        return InputError{"From date", "The From date " + shown_date(in.from) +
                                           " is after the To date " + shown_date(in.to) + "."};
    if (auto error = check_amount(in.amount, "Amount")) return error;
    if (auto error = check_amount(in.amount_min, "Amount from")) return error;
    if (auto error = check_amount(in.amount_max, "Amount to")) return error;
    if (!in.amount_min.empty() && !in.amount_max.empty() &&
        cents_of(in.amount_min) > cents_of(in.amount_max))
        return InputError{"Amount from", "The Amount from \"" + in.amount_min +
                                             "\" is more than the Amount to \"" +
                                             in.amount_max + "\"."};
    return std::nullopt;
}

bool SearchResult::stopped_by_error() const {
    return end_result != ERR_NONE && !is_end_of_walk(end_result);
}

SearchResult search_checks(DatabaseSet &set, SortOrder order, const SearchInputs &in,
                           RecordSink &sink, SearchPlan plan) {
    const auto start = std::chrono::steady_clock::now();
    SearchResult outcome = run_search_plan(set, order, in, sink, plan);
    outcome.total = static_cast<double>(outcome.total_cents) / 100.0;
    outcome.elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - start);
    return outcome;
}

SearchResult search_records(DatabaseSet &set, SortOrder order, const SearchInputs &in,
                            LineSink &sink, SearchPlan plan) {
    const auto start = std::chrono::steady_clock::now();
    ResultBuilder builder(sink, {order, in.subtotals, order == SortOrder::Date && in.dates_by_month});
    SearchResult outcome = search_checks(set, order, in, builder, plan);
    builder.close();
    outcome.elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - start);
    return outcome;
}

std::string elapsed_text(std::chrono::milliseconds elapsed) {
    return std::to_string(elapsed.count() / 1000) + " seconds";
}

}  // namespace ledgrove
