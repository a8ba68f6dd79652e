// field_text.cc - text, date and amount forms of the register's fields.
//
// Number conversions use <charconv>, which ignores the locale: a desktop
// session with a decimal comma must still read and write "1234.50".
#include "app/store/field_text.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

namespace ledgrove {
namespace {

std::string without(std::string_view text, char c) {
    std::string out;
    out.reserve(text.size());
    for (char ch : text)
        if (ch != c) out += ch;
    return out;
}

bool is_digit(char c) { return c >= '0' && c <= '9'; }

// Space, tab, line feed, vertical tab, form feed, carriage return.
bool is_blank(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// A part of a stored date; positions past the end give an empty or short part.
std::string_view date_part(std::string_view stored, std::size_t pos, std::size_t len) {
    if (pos >= stored.size()) return {};
    return stored.substr(pos, len);
}

bool is_zero_text(std::string_view digits) {
    return std::all_of(digits.begin(), digits.end(), [](char c) { return c == '0' || c == '.'; });
}

// `value` with exactly two decimals into `buffer`, as to_chars(fixed, 2)
// writes it ("-0.50", "1234.00").  Most values are cent amounts or sums of
// them: when value * 100 lies within a millionth of a whole number n and
// |value| < 10^12, the exact value is within 0.008 of n cents (the product's
// rounding error), far from a tie, so its correct rounding is n and the
// digits come from n directly; any other value goes through to_chars.
char *fixed_two_decimals(double value, char *buffer, char *buffer_end) {
    const double hundredfold = value * 100.0;
    const double whole = std::nearbyint(hundredfold);
    if (std::fabs(value) < 1e12 && std::fabs(hundredfold - whole) <= 1e-6) {
        std::uint64_t cents = static_cast<std::uint64_t>(std::fabs(whole));
        char digits[24];
        char *d = digits + sizeof digits;
        for (int i = 0; i < 3 || cents != 0; ++i) {  // at least "0.00"
            if (i == 2) *--d = '.';
            *--d = static_cast<char>('0' + cents % 10);
            cents /= 10;
        }
        char *at = buffer;
        if (std::signbit(value)) *at++ = '-';
        const std::size_t length = static_cast<std::size_t>(digits + sizeof digits - d);
        std::memcpy(at, d, length);
        return at + length;
    }
    return std::to_chars(buffer, buffer_end, value, std::chars_format::fixed, 2).ptr;
}

// A finite amount as format_amount writes it, in two pieces: the digits
// without the sign (".50", not "0.50"), in `buffer`, and whether a minus
// goes before them (never before zero).
struct AmountDigits {
    std::string_view digits;
    bool negative;
};
AmountDigits amount_digits(double value, char *buffer, char *buffer_end) {
    const char *end = fixed_two_decimals(value, buffer, buffer_end);
    std::string_view text(buffer, static_cast<std::size_t>(end - buffer));
    const bool minus = text.front() == '-';
    if (minus) text.remove_prefix(1);
    if (text.starts_with("0.")) text.remove_prefix(1);
    return {text, minus && !is_zero_text(text)};
}

}  // namespace

std::string strip_spaces(std::string_view text) { return without(text, ' '); }
std::string strip_commas(std::string_view text) { return without(text, ','); }
std::string strip_minus(std::string_view text) { return without(text, '-'); }

std::string commas_to_tildes(std::string_view text) {
    std::string out(text);
    std::replace(out.begin(), out.end(), ',', '~');
    return out;
}

std::string pad_right(std::string_view text, std::size_t width) {
    std::string out(text);
    if (out.size() < width) out.append(width - out.size(), ' ');
    return out;
}

std::string right_justify(std::string_view text, std::size_t width) {
    std::string stripped = strip_spaces(text);
    if (stripped.size() >= width) return stripped;
    return std::string(width - stripped.size(), ' ') + stripped;
}

std::string spaces_to_zeros(std::string text) {
    std::replace(text.begin(), text.end(), ' ', '0');
    return text;
}

std::string zero_fill_signed(std::string text) {
    bool negative = false;
    for (char &c : text) {
        if (c == '-') negative = true;
        if (c == ' ' || c == '-') c = '0';
    }
    if (!negative) return text;
    if (!text.empty() && text[0] == '0')
        text[0] = '-';
    else
        text.insert(text.begin(), '-');
    return text;
}

std::string zero_pad_two_digits(std::string text) {
    if (text.size() == 1) text += ' ';
    if (text.size() >= 2 && text[1] == ' ') {
        text[1] = text[0];
        text[0] = '0';
    }
    return text;
}

std::string format_amount(double value) {
    char buffer[std::numeric_limits<double>::max_exponent10 + 32];  // holds any double
    if (!std::isfinite(value))
        return std::string(buffer, fixed_two_decimals(value, buffer, buffer + sizeof buffer));
    const AmountDigits amount = amount_digits(value, buffer, buffer + sizeof buffer);
    return (amount.negative ? "-" : "") + std::string(amount.digits);
}

std::string group_thousands(std::string_view text) {
    std::string number(text);
    bool negative = number.find('-') != std::string::npos;
    if (negative) number = strip_minus(number);

    std::size_t point = number.find('.');
    std::string fraction = point == std::string::npos ? std::string() : number.substr(point);
    std::string_view integer = std::string_view(number).substr(0, point);

    std::string out = negative ? "-" : "";
    std::size_t first = integer.size() % 3 ? integer.size() % 3 : 3;
    for (std::size_t i = 0; i < integer.size(); ++i) {
        if (i >= first && (i - first) % 3 == 0) out += ',';
        out += integer[i];
    }

    // The '.' itself is never trimmed, so a fraction of zeros leaves ".".
    std::size_t keep = fraction.size();
    while (keep > 1 && fraction[keep - 1] == '0') --keep;
    fraction.resize(keep);
    if (fraction != ".") out += fraction;
    return out.empty() ? "0" : out;
}

ParsedNumber scan_number(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && is_blank(text[i])) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    const std::size_t start = i;
    // One pass gathers the digits as a whole number (exact while there are
    // at most 15 of them) and counts the decimals.
    std::uint64_t mantissa = 0;
    std::size_t digits = 0, decimals = 0;
    bool nonzero_integer = false;
    for (; i < text.size() && is_digit(text[i]); ++i, ++digits) {
        nonzero_integer |= text[i] != '0';
        mantissa = mantissa * 10 + static_cast<std::uint64_t>(text[i] - '0');
    }
    if (i < text.size() && text[i] == '.')
        for (++i; i < text.size() && is_digit(text[i]); ++i, ++digits, ++decimals)
            mantissa = mantissa * 10 + static_cast<std::uint64_t>(text[i] - '0');
    if (digits == 0) return {0.0, false, 0};

    if (digits <= 15) {
        // Fewer than 2^53: the digits and the power of ten are exact doubles,
        // so one division rounds correctly, as from_chars does.
        static constexpr double kPowersOfTen[] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                                  1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
        const double value = static_cast<double>(mantissa) / kPowersOfTen[decimals];
        return {negative ? -value : value, true, i};
    }

    double value = 0.0;
    auto [end, ec] = std::from_chars(text.data() + start, text.data() + i, value,
                                     std::chars_format::fixed);
    if (ec == std::errc::result_out_of_range)
        value = nonzero_integer ? std::numeric_limits<double>::max() : 0.0;
    (void)end;
    return {negative ? -value : value, true, i};
}

double parse_number(std::string_view text) { return scan_number(text).value; }

std::string display_date(std::string_view stored) {
    if (stored.size() >= 8) {
        // Whole parts, so each two-digit part is padded in place: the one
        // case of zero_pad_two_digits that applies is "7 " -> "07".
        char out[kDisplayDateWidth];
        auto pad = [](const char *part, char *to) {
            to[0] = part[1] == ' ' ? '0' : part[0];
            to[1] = part[1] == ' ' ? part[0] : part[1];
        };
        pad(stored.data() + 4, out);
        out[2] = '/';
        pad(stored.data() + 6, out + 3);
        out[5] = '/';
        std::memcpy(out + 6, stored.data(), 4);
        return std::string(out, sizeof out);
    }
    return zero_pad_two_digits(std::string(date_part(stored, 4, 2))) + "/" +
           zero_pad_two_digits(std::string(date_part(stored, 6, 2))) + "/" +
           std::string(date_part(stored, 0, 4));
}

std::string display_month(std::string_view stored) {
    if (stored.size() >= 6) {
        // A whole month part, padded in place as in display_date.
        char out[7];
        const char *month = stored.data() + 4;
        out[0] = month[1] == ' ' ? '0' : month[0];
        out[1] = month[1] == ' ' ? month[0] : month[1];
        out[2] = '/';
        std::memcpy(out + 3, stored.data(), 4);
        return std::string(out, sizeof out);
    }
    return zero_pad_two_digits(std::string(date_part(stored, 4, 2))) + "/" +
           std::string(date_part(stored, 0, 4));
}

std::string stored_date(std::string_view year, std::string_view month, std::string_view day) {
    std::string out;
    out.reserve(8);
    out.append(year).append(month).append(day);
    return out;
}

std::optional<std::string> stored_amount(double value) {
    if (!std::isfinite(value)) return std::nullopt;
    if (std::fabs(value) < 1e12) {
        // format_amount's text right-justified in zeros, the sign first: what
        // zero_fill_signed makes of it, without the intermediate strings.
        char buffer[32];  // below 10^12: at most 16 characters
        const auto [text, negative] = amount_digits(value, buffer, buffer + sizeof buffer);
        if (text.size() + (negative ? 1 : 0) > kAmountWidth) return std::nullopt;
        std::string out(kAmountWidth, '0');
        text.copy(out.data() + kAmountWidth - text.size(), text.size());
        if (negative) out[0] = '-';
        return out;
    }
    std::string text = format_amount(value);
    if (text.size() > kAmountWidth) return std::nullopt;
    return zero_fill_signed(right_justify(text, kAmountWidth));
}

namespace {

// display_amount for the amounts of a register (below 10^12 in magnitude),
// without the intermediate strings: the formatted amount is shorter than
// 15, so the padding that follows it keeps group_thousands from trimming
// the fraction, and the grouped text is right-justified.  False where the
// general way must answer.
bool display_amount_directly(double value, std::string &shown) {
    if (!std::isfinite(value) || std::fabs(value) >= 1e12) return false;
    char buffer[32];  // below 10^12: at most 16 characters
    const auto [text, negative] = amount_digits(value, buffer, buffer + sizeof buffer);
    const std::size_t formatted = text.size() + (negative ? 1 : 0);
    if (formatted >= kAmountWidth) return false;
    const std::size_t point = text.find('.');
    if (point == std::string_view::npos) return false;
    const std::string_view integer = text.substr(0, point), fraction = text.substr(point);
    const std::size_t commas = integer.empty() ? 0 : (integer.size() - 1) / 3;
    const std::size_t grouped = formatted + commas;
    char out[kAmountWidth];
    std::memset(out, ' ', sizeof out);
    if (grouped > kAmountWidth) {  // shown ungrouped
        char *at = out + kAmountWidth - formatted;
        if (negative) *at++ = '-';
        std::memcpy(at, text.data(), text.size());
    } else {
        char *at = out + kAmountWidth - grouped;
        if (negative) *at++ = '-';
        const std::size_t first = integer.size() % 3 ? integer.size() % 3 : 3;
        for (std::size_t i = 0; i < integer.size(); ++i) {
            if (i >= first && (i - first) % 3 == 0) *at++ = ',';
            *at++ = integer[i];
        }
        std::memcpy(at, fraction.data(), fraction.size());
    }
    shown.assign(out, sizeof out);
    return true;
}

}  // namespace

std::string display_amount(double value) {
    std::string direct;
    if (display_amount_directly(value, direct)) return direct;
    std::string text = format_amount(value);
    std::string shown = right_justify(group_thousands(pad_right(text, kAmountWidth)), kAmountWidth);
    if (shown.size() > kAmountWidth) shown = right_justify(text, kAmountWidth);
    return shown;
}

std::string export_amount(std::string_view stored) {
    return format_amount(parse_number(stored));
}

}  // namespace ledgrove
