// search.cc - the index walk shared by the seven searches, and the checks of
// its inputs.
#include "app/search/search.h"

#include <algorithm>
#include <vector>

#include "app/search/index_walk.h"
#include "app/search/result_lines.h"
#include "app/store/amount_text.h"
#include "app/store/code_page.h"
#include "app/store/field_text.h"
#include "app/store/register_files.h"

namespace ledgrove {
namespace {

// One match text, ready for the walk: upper-cased once when case does not
// count.
class MatchText {
public:
    MatchText(const std::string &text, bool match_case)
        : text_(match_case ? text : register_upper(text)), fold_(!match_case) {}

    template <std::size_t N>
    bool found_in(const char (&field)[N]) const {
        if (text_.empty()) return true;
        const std::string_view value = field_text(field);
        if (!fold_) return value.find(text_) != std::string_view::npos;
        char upper[N];
        std::transform(value.begin(), value.end(), upper,
                       [](char c) { return register_upper(c); });
        return std::string_view(upper, value.size()).find(text_) != std::string_view::npos;
    }

private:
    std::string text_;
    bool fold_;
};

// An amount text that check_search_inputs passed, in cents.
std::int64_t cents_of(const std::string &text) {
    const AmountReading reading = read_amount(text);
    return reading.status == AmountStatus::Ok ? reading.cents : 0;
}

// The search's tests, prepared once per search.
struct RecordTest {
    explicit RecordTest(const SearchInputs &in)
        : name(in.vendor_name, in.match_case),
          description(in.description, in.match_case),
          check_id(in.check_id, in.match_case),
          po_number(in.po_number, in.match_case),
          vendor_id(in.vendor_id, in.match_case),
          any(in.any_text, in.match_case),
          amount_active(!in.amount.empty()),
          op(in.amount_operator),
          has_min(!in.amount_min.empty()),
          has_max(!in.amount_max.empty()),
          min_cents(cents_of(in.amount_min)),
          max_cents(cents_of(in.amount_max)) {
        // Cents over a hundred round exactly as the stored amount's text
        // parses, so "=" finds the amounts typed.
        if (amount_active) wanted = static_cast<double>(cents_of(in.amount)) / 100.0;
    }

    bool amount_passes(const CheckRecord &record) const {
        if (!amount_active) return true;
        const double value = parse_number(field_text(record.AMOUNT));
        switch (op) {
            case '=': return value == wanted;
            case '>': return value > wanted;
            case '<': return value < wanted;
            default: return false;
        }
    }

    // The range compares whole cents, so its ends hold exactly.
    bool range_passes(const CheckRecord &record) const {
        if (!has_min && !has_max) return true;
        const std::int64_t cents = stored_cents(field_text(record.AMOUNT));
        return (!has_min || cents >= min_cents) && (!has_max || cents <= max_cents);
    }

    bool any_passes(const CheckRecord &record) const {
        return any.found_in(record.NAME) || any.found_in(record.DESC) ||
               any.found_in(record.CHKID) || any.found_in(record.POID) ||
               any.found_in(record.VENDORID);
    }

    bool passes(const CheckRecord &record) const {
        return name.found_in(record.NAME) && description.found_in(record.DESC) &&
               check_id.found_in(record.CHKID) && po_number.found_in(record.POID) &&
               vendor_id.found_in(record.VENDORID) && amount_passes(record) &&
               range_passes(record) && any_passes(record);
    }

    MatchText name, description, check_id, po_number, vendor_id, any;
    bool amount_active;
    char op;
    double wanted = 0.0;
    bool has_min, has_max;
    std::int64_t min_cents, max_cents;
};

// Holds back the accepted records of a run of negative amounts in the
// Amount order and hands them on in value order once the run ends.  The
// stable sort keeps the index's record-id order within one amount.
class NegativeRun {
public:
    // Backwards the run comes last and is listed least negative first.
    NegativeRun(RecordSink &sink, bool active, bool reverse)
        : sink_(sink), active_(active), reverse_(reverse) {}

    void add(const CheckRecord &record) {
        const double amount = parse_number(field_text(record.AMOUNT));
        if (active_ && amount < 0) {
            held_.push_back({amount, record});
            return;
        }
        flush();
        sink_.add(record);
    }

    void flush() {
        std::stable_sort(held_.begin(), held_.end(), [this](const Held &a, const Held &b) {
            return reverse_ ? a.amount > b.amount : a.amount < b.amount;
        });
        for (const Held &h : held_) sink_.add(h.record);
        held_.clear();
    }

private:
    struct Held {
        double amount;
        CheckRecord record;
    };
    RecordSink &sink_;
    bool active_;
    bool reverse_;
    std::vector<Held> held_;
};

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
                           RecordSink &sink) {
    const auto start = std::chrono::steady_clock::now();
    const bool date_order = order == SortOrder::Date;
    NegativeRun listed(sink, order == SortOrder::Amount, in.reverse);
    SearchResult outcome;

    const RecordTest test(in);
    const std::string_view to(in.to), from(in.from);
    // The Date order starts at the From date and ends after the To date
    // (backwards: from the To date to before the From date); the others walk
    // the whole index.
    const std::string_view start_key = !date_order ? std::string_view() : in.reverse ? to : from;
    walk_index(set, index_for(order), start_key,
               in.reverse ? WalkDirection::Backward : WalkDirection::Forward,
               [&](const CheckRecord &record) {
                   const std::string_view date = field_text(record.CHKDATE);
                   const bool in_range = date >= from && date <= to;
                   if (!in_range && date_order) return false;  // past the range's far end
                   if (in_range && test.passes(record)) {
                       ++outcome.line_count;
                       outcome.total_cents += stored_cents(field_text(record.AMOUNT));
                       listed.add(record);
                       return sink.wants_more();
                   }
                   return true;
               });
    listed.flush();

    outcome.total = static_cast<double>(outcome.total_cents) / 100.0;
    outcome.end_result = set.last_result();
    outcome.elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - start);
    return outcome;
}

SearchResult search_records(DatabaseSet &set, SortOrder order, const SearchInputs &in,
                            LineSink &sink) {
    const auto start = std::chrono::steady_clock::now();
    ResultBuilder builder(sink, {order, in.subtotals, order == SortOrder::Date && in.dates_by_month});
    SearchResult outcome = search_checks(set, order, in, builder);
    builder.close();
    outcome.elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - start);
    return outcome;
}

std::string elapsed_text(std::chrono::milliseconds elapsed) {
    return std::to_string(elapsed.count() / 1000) + " seconds";
}

}  // namespace ledgrove
