// amount_text.cc - amounts as people write them, in cents.
#include "app/store/amount_text.h"

#include <cmath>
#include <optional>

#include "app/store/field_text.h"

namespace ledgrove {
namespace {

// Integer digits past this many cannot fit the stored amount, and stopping
// here keeps the cents far from overflowing.
constexpr std::size_t kMostIntegerDigits = 15;

bool is_digit(char c) { return c >= '0' && c <= '9'; }

std::string_view trim(std::string_view text) {
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
    return text;
}

bool take(std::string_view &text, char c) {
    text = trim(text);
    if (text.empty() || text.front() != c) return false;
    text.remove_prefix(1);
    text = trim(text);
    return true;
}

// The currency signs an amount may carry: '$', and the euro and pound signs
// as the register's code page holds them.
bool take_currency(std::string_view &text) {
    return take(text, '$') || take(text, '\x80') || take(text, '\xA3');
}

bool take_last(std::string_view &text, char c) {
    text = trim(text);
    if (text.empty() || text.back() != c) return false;
    text.remove_suffix(1);
    text = trim(text);
    return true;
}

// The integer part: digits, with commas only between groups of three.
std::optional<std::string> integer_digits(std::string_view text) {
    if (text.find(',') == std::string_view::npos) {
        for (char c : text)
            if (!is_digit(c)) return std::nullopt;
        return std::string(text);
    }
    std::string digits;
    std::size_t group = 0;
    bool first = true;
    for (char c : text) {
        if (c == ',') {
            if (group == 0 || group > 3 || (!first && group != 3)) return std::nullopt;
            first = false;
            group = 0;
        } else if (is_digit(c)) {
            digits += c;
            ++group;
        } else {
            return std::nullopt;
        }
    }
    if (group != 3) return std::nullopt;
    return digits;
}

}  // namespace

AmountReading read_amount(std::string_view text) {
    text = trim(text);
    if (text.empty()) return {AmountStatus::Empty};

    bool negative = false;
    if (take(text, '(')) {
        if (!take_last(text, ')')) return {AmountStatus::NotANumber};
        negative = true;
    }
    // One sign at most, before or after the currency sign, or after the number.
    bool signed_already = negative;
    auto sign = [&](bool found, bool minus) {
        if (!found) return true;
        if (signed_already) return false;
        signed_already = true;
        negative = minus;
        return true;
    };
    if (!sign(take(text, '-'), true) || !sign(take(text, '+'), false))
        return {AmountStatus::NotANumber};
    take_currency(text);
    if (!sign(take(text, '-'), true) || !sign(take(text, '+'), false) ||
        !sign(take_last(text, '-'), true))
        return {AmountStatus::NotANumber};

    const std::size_t point = text.find('.');
    std::string_view fraction = point == std::string_view::npos ? "" : text.substr(point + 1);
    std::optional<std::string> integer = integer_digits(text.substr(0, point));
    if (!integer) return {AmountStatus::NotANumber};
    for (char c : fraction)
        if (!is_digit(c)) return {AmountStatus::NotANumber};
    if (integer->empty() && fraction.empty()) return {AmountStatus::NotANumber};

    std::size_t leading_zeros = 0;
    while (leading_zeros < integer->size() && (*integer)[leading_zeros] == '0') ++leading_zeros;
    if (integer->size() - leading_zeros > kMostIntegerDigits) return {AmountStatus::TooLarge};

    std::int64_t cents = 0;
    for (char c : *integer) cents = cents * 10 + (c - '0');
    for (std::size_t i = 0; i < 2; ++i)
        cents = cents * 10 + (i < fraction.size() ? fraction[i] - '0' : 0);
    bool rounded = false;
    if (fraction.size() > 2) {
        rounded = fraction.find_first_not_of('0', 2) != std::string_view::npos;
        if (fraction[2] >= '5') ++cents;
    }
    if (negative) cents = -cents;
    if (stored_amount_of_cents(cents).empty()) return {AmountStatus::TooLarge};
    return {AmountStatus::Ok, cents, rounded};
}

std::string stored_amount_of_cents(std::int64_t cents) {
    // Exact: a double holds every cent count that fits the stored amount, and
    // the nearest double to n/100 formats back to n/100.
    std::optional<std::string> stored = stored_amount(static_cast<double>(cents) / 100.0);
    return stored ? *stored : std::string();
}

bool stored_form_cents(std::string_view stored, std::int64_t &cents) {
    std::size_t i = 0;
    while (i < stored.size() && stored[i] == ' ') ++i;
    const bool negative = i < stored.size() && stored[i] == '-';
    if (negative) ++i;
    const auto digit = [&](std::size_t at) { return stored[at] >= '0' && stored[at] <= '9'; };
    std::int64_t whole = 0;
    const std::size_t start = i;
    for (; i < stored.size() && digit(i); ++i) whole = whole * 10 + (stored[i] - '0');
    const std::size_t digits = i - start;
    if (digits == 0 || digits > 13 || i + 3 != stored.size() || stored[i] != '.' || !digit(i + 1) ||
        !digit(i + 2))
        return false;
    whole = whole * 100 + (stored[i + 1] - '0') * 10 + (stored[i + 2] - '0');
    cents = negative ? -whole : whole;
    return true;
}

double stored_value(std::string_view stored) {
    std::int64_t cents = 0;
    // Zero by the long way, which keeps the sign of "-0.00".
    if (stored_form_cents(stored, cents) && cents != 0) return static_cast<double>(cents) / 100.0;
    return parse_number(stored);
}

std::int64_t stored_cents(std::string_view stored) {
    // The stored form directly: a search sums every check's.  Both ways
    // agree there, since the value's error is far below half a cent.
    std::int64_t cents = 0;
    if (stored_form_cents(stored, cents)) return cents;
    return std::llround(parse_number(stored) * 100.0);
}

std::string plain_cents(std::int64_t cents) {
    const std::uint64_t magnitude = cents < 0 ? 0 - static_cast<std::uint64_t>(cents)
                                              : static_cast<std::uint64_t>(cents);
    std::string text = cents < 0 ? "-" : "";
    text += std::to_string(magnitude / 100);
    text += '.';
    text += static_cast<char>('0' + magnitude % 100 / 10);
    text += static_cast<char>('0' + magnitude % 10);
    return text;
}

std::string grouped_cents(std::int64_t cents) {
    const bool negative = cents < 0;
    std::uint64_t magnitude = negative ? 0 - static_cast<std::uint64_t>(cents)
                                       : static_cast<std::uint64_t>(cents);
    std::string fraction = std::to_string(magnitude % 100);
    if (fraction.size() < 2) fraction = "0" + fraction;
    std::string integer = std::to_string(magnitude / 100);
    std::string out = negative ? "-" : "";
    const std::size_t first = integer.size() % 3 ? integer.size() % 3 : 3;
    for (std::size_t i = 0; i < integer.size(); ++i) {
        if (i >= first && (i - first) % 3 == 0) out += ',';
        out += integer[i];
    }
    return out + "." + fraction;
}

}  // namespace ledgrove
