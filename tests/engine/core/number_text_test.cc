// Tests of the number readers behind numeric keys and SUBSTR arguments.
#include "engine/core/number_text.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <iterator>
#include <limits>
#include <string>

namespace {

TEST(NumberText, BoundedNumberReader) {
    struct Case {
        std::string text;
        size_t limit;
        int32_t value;
        size_t consumed;
    };
    const Case cases[] = {
        {"  -345", 6, -345, 6},
        {"12345678", 5, 12345, 5},
        {"12", 1, 1, 1},
        {"   ", 3, 0, 0},
        {"   7", 3, 0, 0},  // the limit runs out before a digit
        {"abc", 3, 0, 0},
        {"+", 1, 0, 0},
        {"-x5", 3, 0, 0},
        {"+42,", 4, 42, 3},
        {"  7x9", 5, 7, 3},
        {"4294967297", 10, 1, 10},  // wraps in 32 bits
        {"-2147483648", 11, std::numeric_limits<int32_t>::min(), 11},
        {"2147483648", 10, std::numeric_limits<int32_t>::min(), 10},
        {"\t\n 12.5", 7, 12, 5},
        {"", 0, 0, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE("\"" + c.text + "\" limit " + std::to_string(c.limit));
        size_t consumed = 99;
        EXPECT_EQ(kvl::read_bounded_number(c.text.data(), c.limit, &consumed), c.value);
        EXPECT_EQ(consumed, c.consumed);
    }
}

TEST(NumberText, DecimalTextToInt64) {
    constexpr int64_t kMax = std::numeric_limits<int64_t>::max();
    constexpr int64_t kMin = std::numeric_limits<int64_t>::min();
    struct Case {
        std::string text;
        int64_t value;
    };
    const Case cases[] = {
        {"", 0},
        {"            ", 0},
        {"123", 123},
        {"      123.45", 123},
        {"        -345", -345},
        {"   -12.99", -12},
        {"+12", 12},
        {"1,234.50", 1},     // every separator drops what lies right of it
        {"12-", 0},          // a '-' ends the scan
        {"123   ", 0},       // so does a blank: numbers are right-aligned
        {"12a34", 34},
        {".5", 0},
        {"5.", 5},
        {"-0.75", 0},
        {"000000000000000000000000042", 42},
        {"999999999999999999", 999999999999999999},
        {"1234567890123456789", 1234567890123456789},  // a 19th digit is kept
        {"9223372036854775807", kMax},
        {"9223372036854775808", kMax},  // beyond the range: saturates
        {"-9223372036854775808", kMin},
        {"-9223372036854775809", kMin},
        {"123456789012345678901234567890.5", kMax},
        {"-99999999999999999999", kMin},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE("\"" + c.text + "\"");
        EXPECT_EQ(kvl::decimal_text_to_int64(c.text.data(), c.text.size()), c.value);
    }
}

TEST(NumberText, DecimalTextToInt64KeepsOrder) {
    const char *ascending[] = {"-99999999999999999999", "-1000000000000000000", "-5",
                               "0",  "999999999999999999", "1000000000000000000",
                               "9999999999999999999", "99999999999999999999"};
    for (size_t i = 1; i < std::size(ascending); ++i) {
        SCOPED_TRACE(ascending[i]);
        EXPECT_LE(kvl::decimal_text_to_int64(ascending[i - 1], std::strlen(ascending[i - 1])),
                  kvl::decimal_text_to_int64(ascending[i], std::strlen(ascending[i])));
    }
}

TEST(NumberText, DecimalTextToDouble) {
    struct Case {
        std::string text;
        double value;
    };
    const Case cases[] = {
        {"", 0.0},
        {"          ", 0.0},
        {"      123.45", 123.45},
        {"123", 123.0},
        {"-12.5", -12.5},
        {"   -0.50", -0.5},
        {"12-", -12.0},          // the sign does not end the scan
        {"1,234.50", 1.2345},    // the leftmost separator is the point
        {"1.2.3", 1.23},
        {"0.1", 0.1},
        {".25", 0.25},
        {"7.", 7.0},
        {"12 34", 34.0},
        {"+5", 5.0},
        {"0000000000000000000000000.5", 0.5},
        {"12345678901234567890", 12345678901234567890.0},
        {"0.12345678901234567890123", 0.12345678901234567890123},
        {"99999999999999999999999.9", 99999999999999999999999.9},
        {"0.000000000000000000000000001", 1e-27},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE("\"" + c.text + "\"");
        EXPECT_EQ(kvl::decimal_text_to_double(c.text.data(), c.text.size()), c.value);
    }
}

TEST(NumberText, NegativeZeroIsPositiveZero) {
    for (const char *text : {"-0", "  -0.00", "-.0", "0-"}) {
        SCOPED_TRACE(text);
        double value = kvl::decimal_text_to_double(text, std::strlen(text));
        EXPECT_EQ(value, 0.0);
        EXPECT_FALSE(std::signbit(value));
    }
}

TEST(NumberText, ReadsOnlyTheGivenLength) {
    const char text[] = "12345";
    EXPECT_EQ(kvl::decimal_text_to_int64(text + 1, 2), 23);
    EXPECT_EQ(kvl::decimal_text_to_double(text + 1, 2), 23.0);
    EXPECT_EQ(kvl::read_bounded_number(text + 1, 2), 23);
}

}  // namespace
