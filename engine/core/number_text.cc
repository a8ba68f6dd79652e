// number_text.cc - the bounded number reader and the two right-to-left
// decimal conversions used to turn numeric field text into key bytes.
//
// The right-to-left conversions first find how far the scan reaches (and
// where its sign and decimal point are), then read the digits left to
// right, most significant first.  So no significant digit is ever dropped:
// the 64-bit conversion saturates where the value leaves the 64-bit range,
// and the double conversion rounds once, correctly.
#include "engine/core/number_text.h"

#include <charconv>
#include <cstdint>
#include <limits>

namespace kvl {
namespace {

// Significant digits handed to the double parser; more change no bit.
constexpr size_t kMaxMantissaDigits = 800;

bool is_digit(char c) { return c >= '0' && c <= '9'; }
bool is_separator(char c) { return c == '.' || c == ','; }

// Where a right-to-left scan of text[0, length) stops.
struct ScanExtent {
    size_t begin = 0;        // first character the scan took
    size_t point = SIZE_MAX; // leftmost '.' or ',' inside the scan
    bool negative = false;
};

// The integer scan ends at any character but a digit or separator; a '-'
// there makes the value negative.
ScanExtent integer_extent(const char *text, size_t length) {
    ScanExtent extent;
    extent.begin = length;
    for (size_t i = length; i-- > 0;) {
        char c = text[i];
        if (!is_digit(c) && !is_separator(c)) {
            extent.negative = c == '-';
            break;
        }
        extent.begin = i;
        if (is_separator(c)) extent.point = i;
    }
    return extent;
}

// The double scan also walks over '-' signs.
ScanExtent real_extent(const char *text, size_t length) {
    ScanExtent extent;
    extent.begin = length;
    for (size_t i = length; i-- > 0;) {
        char c = text[i];
        if (c == '-') {
            extent.negative = true;
        } else if (!is_digit(c) && !is_separator(c)) {
            break;
        }
        extent.begin = i;
        if (is_separator(c)) extent.point = i;
    }
    return extent;
}

}  // namespace

int32_t read_bounded_number(const char *text, size_t limit, size_t *consumed) {
    size_t i = 0;
    while (i < limit && static_cast<unsigned char>(text[i]) <= 0x20) ++i;
    bool negative = false;
    if (i < limit && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    uint32_t value = 0;
    size_t digits = 0;
    while (i < limit && is_digit(text[i])) {
        value = value * 10u + static_cast<uint32_t>(text[i] - '0');
        ++digits;
        ++i;
    }
    if (consumed) *consumed = digits ? i : 0;
    if (digits == 0) return 0;
    if (negative) value = 0u - value;
    return static_cast<int32_t>(value);
}

int64_t decimal_text_to_int64(const char *text, size_t length) {
    constexpr uint64_t kLimit = uint64_t{1} << 63;  // |INT64_MIN|
    ScanExtent extent = integer_extent(text, length);
    size_t end = extent.point < length ? extent.point : length;
    uint64_t v = 0;
    bool saturated = false;
    for (size_t i = extent.begin; i < end && !saturated; ++i) {
        uint64_t digit = static_cast<uint64_t>(text[i] - '0');
        if (v > (kLimit - digit) / 10)
            saturated = true;
        else
            v = v * 10 + digit;
    }
    if (extent.negative) {
        if (saturated) return std::numeric_limits<int64_t>::min();
        return static_cast<int64_t>(0 - v);  // 2^63 wraps to INT64_MIN
    }
    if (saturated || v > static_cast<uint64_t>(std::numeric_limits<int64_t>::max()))
        return std::numeric_limits<int64_t>::max();
    return static_cast<int64_t>(v);
}

double decimal_text_to_double(const char *text, size_t length) {
    ScanExtent extent = real_extent(text, length);
    // Mantissa digits without leading zeros, and the power of ten that
    // scales them: value = mantissa * 10^exponent.
    char buffer[kMaxMantissaDigits + 32];
    size_t n = 0;
    long long exponent = 0;
    for (size_t i = extent.begin; i < length; ++i) {
        char c = text[i];
        if (!is_digit(c)) continue;
        bool fraction = i > extent.point;
        if (n == 0 && c == '0') {
            if (fraction) --exponent;
            continue;
        }
        if (n < kMaxMantissaDigits) {
            buffer[n++] = c;
            if (fraction) --exponent;
        } else if (!fraction) {
            ++exponent;
        }
    }
    if (n == 0) return 0.0;
    buffer[n++] = 'e';
    auto written = std::to_chars(buffer + n, buffer + sizeof buffer, exponent);
    double value = 0.0;
    auto parsed = std::from_chars(buffer, written.ptr, value, std::chars_format::scientific);
    if (parsed.ec == std::errc::result_out_of_range)
        value = exponent > 0 ? std::numeric_limits<double>::infinity() : 0.0;
    if (value == 0.0) return 0.0;
    return extent.negative ? -value : value;
}

}  // namespace kvl
