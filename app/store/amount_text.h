// amount_text.h - reading amounts as people write them (a published
// register's column, the Amount a user types) into whole cents, so that no
// binary fraction creeps into a control total or a comparison.
//
// Accepted, with spaces around any part:
//   1234  1234.5  1234.50  .50  1234.   plain, 0 to 2 decimals
//   1,234.50  $1,234.50  $ 1,234.50     a currency sign ('$', or the euro
//                                       and pound signs of the register's
//                                       code page) and thousands commas;
//                                       the commas must group by three
//   -5  +5  -$5  $-5  5-               a sign before or after
//   (12.00)  ($1,234.50)                parentheses, the accountant's
//                                       negative
// More than two decimals are rounded to cents, half away from zero, and the
// result says so: the stored amount has two decimals and the change must
// not pass unseen.  Anything else ("1.234,50", "12 34", "N/A", "1,23") is no
// amount rather than a guess.
#ifndef LEDGROVE_APP_STORE_AMOUNT_TEXT_H
#define LEDGROVE_APP_STORE_AMOUNT_TEXT_H

#include <cstdint>
#include <string>
#include <string_view>

namespace ledgrove {

enum class AmountStatus {
    Ok,
    Empty,      // nothing but spaces
    NotANumber,
    TooLarge,   // does not fit the stored amount
};

struct AmountReading {
    AmountStatus status;
    std::int64_t cents = 0;  // when Ok
    bool rounded = false;    // when Ok: decimals past the cents were rounded away
};

AmountReading read_amount(std::string_view text);

// The stored amount of a number of cents (see field_text.h), or "" when it
// does not fit.
std::string stored_amount_of_cents(std::int64_t cents);

// The cents of a stored amount (field_text.h): its number as parse_number
// reads it, rounded to the cent.  Sums of these are exact, which a sum of
// doubles over a million checks is not.
std::int64_t stored_cents(std::string_view stored);

// The cents of an amount in the stored form (blanks, a minus, up to 13
// digits, a point and two decimals), read directly; false for any other
// text.  For such a text, parse_number gives exactly cents / 100.0, so
// comparing cents compares the values.
bool stored_form_cents(std::string_view stored, std::int64_t &cents);

// parse_number of a stored amount, the same double, read faster in the
// stored form: every listed check's amount is read so.
double stored_value(std::string_view stored);

// A number of cents as a plain decimal with a point and two decimals, '-'
// first: -123456 -> "-1234.56", 5 -> "0.05".  What data files and spreadsheets
// read as a number.
std::string plain_cents(std::int64_t cents);

// Cents as a clerk compares them with a published total: thousands grouped,
// always two decimals, '-' first.  -123456789 -> "-1,234,567.89".
std::string grouped_cents(std::int64_t cents);

}  // namespace ledgrove

#endif  // LEDGROVE_APP_STORE_AMOUNT_TEXT_H
