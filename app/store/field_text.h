// field_text.h - the text operations that move a field between its stored,
// displayed and exported forms, and the register's date and amount forms.
//
// Every operation takes its text by value or view and returns a new string;
// no result lives in a shared buffer, so results may be fed straight into the
// next operation.  Texts are 8-bit; nothing here depends on the locale.
//
// Forms:
//   stored date   YYYYMMDD        (CHKDATE)
//   display date  MM/DD/YYYY      (result lines, CSV files)
//   stored amount 15 characters, zero-filled, two decimals, '-' first when
//                 negative: 000000001234.50, -00000001234.50
//   display amount 15 characters, right-justified, thousands grouped:
//                 "       1,234.50"
//   export amount bare number with two decimals: 1234.50, -1234.50, .50
#ifndef LEDGROVE_APP_STORE_FIELD_TEXT_H
#define LEDGROVE_APP_STORE_FIELD_TEXT_H

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace ledgrove {

inline constexpr std::size_t kAmountWidth = 15;      // stored and display amount
inline constexpr std::size_t kDisplayDateWidth = 10;  // MM/DD/YYYY

// ---- Character operations ------------------------------------------------

std::string strip_spaces(std::string_view text);     // without any ' '
std::string strip_commas(std::string_view text);     // without any ','
std::string strip_minus(std::string_view text);      // without any '-'
std::string commas_to_tildes(std::string_view text);  // every ',' as '~'

// The text followed by spaces up to width.  A longer text comes back
// unchanged: nothing is ever cut here.
std::string pad_right(std::string_view text, std::size_t width);

// The text without its spaces, preceded by spaces up to width.  A stripped
// text longer than width comes back stripped and uncut.
std::string right_justify(std::string_view text, std::size_t width);

// Every ' ' becomes '0'.
std::string spaces_to_zeros(std::string text);

// Every ' ' and '-' becomes '0'; when there was a '-', the sign goes back in
// front: onto a leading '0' if there is one, else before the text.
// "       -1234.50" gives "-00000001234.50".
std::string zero_fill_signed(std::string text);

// A one-digit part ("5" or "5 ") becomes "05"; anything else is unchanged.
std::string zero_pad_two_digits(std::string text);

// ---- Numbers -------------------------------------------------------------

// The number with exactly two decimals and no leading zero before the point:
// 1234.5 -> "1234.50", -1234.5 -> "-1234.50", 0.5 -> ".50", 0.05 -> ".05",
// 0 -> ".00".  A value that rounds to zero has no sign.
std::string format_amount(double value);

// Groups the integer digits of a number text in threes with ',' and drops
// trailing '0's of the fraction (and then a bare '.'); trailing spaces stop
// that trimming.  "1234.50" -> "1,234.5", "1234.50   " -> "1,234.50   ",
// "1234.00" -> "1,234", "." -> "0".
std::string group_thousands(std::string_view text);

// A decimal number read from text: leading white space, an optional sign,
// digits, an optional point and digits; reading stops at the first other
// character.  No exponents, no "inf" or "nan".
struct ParsedNumber {
    double value;      // 0 when no number was found
    bool has_number;   // at least one digit was read
    std::size_t used;  // characters read, leading white space included
};
ParsedNumber scan_number(std::string_view text);

// The value of scan_number: text with no number reads as 0.
double parse_number(std::string_view text);

// ---- Dates ---------------------------------------------------------------

// MM/DD/YYYY from a stored date: characters 5-6 and 7-8 each through
// zero_pad_two_digits, then characters 1-4.  A short text gives short parts.
std::string display_date(std::string_view stored);

// MM/YYYY from a stored date, the month as in display_date.
std::string display_month(std::string_view stored);

// YYYYMMDD from the parts of a display date, each taken as it stands.
std::string stored_date(std::string_view year, std::string_view month, std::string_view day);

// ---- Amounts -------------------------------------------------------------

// The 15-character stored amount of a value, or nothing when it does not fit
// (magnitudes from 10^12 on, from 10^11 on when negative).
std::optional<std::string> stored_amount(double value);

// The display amount of a value: grouped and right-justified to 15.  A value
// whose grouped text is wider (10^9 and more) is shown ungrouped; a value too
// wide even then comes back wider than 15 rather than cut.
std::string display_amount(double value);

// The export amount of a stored amount: its number with two decimals.
std::string export_amount(std::string_view stored);

}  // namespace ledgrove

#endif  // LEDGROVE_APP_STORE_FIELD_TEXT_H
