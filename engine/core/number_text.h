// number_text.h - reading numbers out of fixed-width record text.
//
// Three readers, each bounded by an explicit length so that none of them
// ever looks past the field it is given:
//   - the bounded number reader: a left-to-right scan for an optional sign
//     and decimal digits (SUBSTR arguments, 16- and 32-bit keys, memo block
//     numbers);
//   - decimal text to a signed 64-bit integer (keys of sort functions 7, 8);
//   - decimal text to a double (numeric keys of sort function 9).
// The last two scan from the right, the way dBASE numeric fields are laid
// out: right-aligned, blank on the left.
#ifndef KVL_CORE_NUMBER_TEXT_H
#define KVL_CORE_NUMBER_TEXT_H

#include <cstddef>
#include <cstdint>

namespace kvl {

// Reads at most `limit` characters of `text`: skips characters <= 0x20,
// takes an optional '+' or '-', then decimal digits, and stops at the first
// other character.  The value wraps in 32 bits and is negated after '-'.
// `*consumed` (when given) receives the characters used up to and including
// the last digit; it is 0 when no digit was read, and the value is then 0.
int32_t read_bounded_number(const char *text, size_t limit, size_t *consumed = nullptr);

// The integer part of the decimal text in text[0, length): a right-to-left
// scan that collects digits, drops what it collected at a '.' or ',' (the
// fraction), ends at a '-' (negative), a '+', a blank or any other
// character, or at the first character.  A value beyond the 64-bit range
// saturates at INT64_MAX / INT64_MIN so that key order stays right.
int64_t decimal_text_to_int64(const char *text, size_t length);

// The value of the decimal text in text[0, length) as a double: the same
// right-to-left scan, except that a '.' or ',' keeps the digits and marks
// the decimal point (each one met marks it anew, so the leftmost counts),
// and a '-' makes the value negative without ending the scan.  Every digit
// counts; the result is the correctly rounded double.  Blanks give 0, and
// zero is always +0.0 so that "-0.00" and "0.00" make the same key.
double decimal_text_to_double(const char *text, size_t length);

}  // namespace kvl

#endif  // KVL_CORE_NUMBER_TEXT_H
