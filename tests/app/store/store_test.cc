// The register's text forms: amounts stored, shown and read, dates shown,
// base-36 record ids, and the Windows-1252 code page against UTF-8.
#include <gtest/gtest.h>

#include <cfloat>
#include <charconv>
#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "app/store/amount_text.h"
#include "app/store/code_page.h"
#include "app/store/field_text.h"
#include "app/store/record_id.h"

namespace {

using namespace ledgrove;

std::string S(std::size_t n) { return std::string(n, ' '); }

TEST(FieldText, AmountAndDateForms) {
    const struct {
        double value;
        const char *stored;  // "-": does not fit the 15 characters
        std::string display;
    } cases[] = {
        {1234.5, "000000001234.50", S(7) + "1,234.50"},
        {-0.05, "-00000000000.05", S(11) + "-.05"},
        {999.99, "000000000999.99", S(9) + "999.99"},
        {-999999999.99, "-00999999999.99", "-999,999,999.99"},
        {1000000000.0, "001000000000.00", "  1000000000.00"},  // grouped it would not fit
        {999999999999.99, "999999999999.99", "999999999999.99"},
        {-1e11, "-", "-100000000000.00"},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(stored_amount(c.value).value_or("-"), c.stored) << c.value;
        EXPECT_EQ(display_amount(c.value), c.display) << c.value;
    }
    const std::pair<const char *, const char *> groups[] = {
        {"1234567.50   ", "1,234,567.50   "}, {"1000.50 ", "1,000.50 "}, {"999.50 ", "999.50 "},
        {"-1234.50", "-1,234.5"}, {"123456.00", "123,456"}, {".00", "0"}, {".05", ".05"}};
    for (const auto &[text, grouped] : groups) EXPECT_EQ(group_thousands(text), grouped) << text;
    EXPECT_EQ(display_date("19990705"), "07/05/1999");
    EXPECT_EQ(display_date("20077 01"), "07/01/2007");  // a month imported as "7 "
    EXPECT_EQ(display_month("20070930"), "09/2007");
}

// The shown and stored amounts are built directly for the usual values;
// they must equal their definitions from the text operations, for any value.
TEST(FieldText, AmountFormsEqualTheirDefinitions) {
    std::vector<double> values = {0.0, -0.0, 0.005, -0.005, 999.995, 1e9, -1e9, 99999999999.99,
                                  -100000000000.0, 1e12, 1e15, 5e-324, DBL_MAX, 0.125, -2.675, 1.005,
                                  -1e-9, 0.0049999999, 999999999999.99, 1e12 - 0.005, 0.1 + 0.2};
    std::mt19937_64 random(3);
    for (int i = 0; i < 20000; ++i) {
        const double value = std::fmod(double(random() % 100000000000000ull) / 100.0,
                                       std::pow(10.0, double(1 + random() % 13)));
        values.push_back(random() % 2 ? -value : value);
    }
    // The amount with two decimals as to_chars writes it, "0." shortened to
    // "." and no minus before zero.
    const auto defined = [](double value) {
        char buffer[400];
        const auto end = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 2).ptr;
        std::string text(buffer, end);
        const bool negative = text[0] == '-';
        if (negative) text.erase(0, 1);
        if (text.starts_with("0.")) text.erase(0, 1);
        const bool zero = text.find_first_not_of("0.") == std::string::npos;
        return (negative && !zero ? "-" : "") + text;
    };
    for (double value : values) {
        const std::string text = format_amount(value);
        ASSERT_EQ(text, defined(value)) << value;
        const std::string shown = right_justify(group_thousands(pad_right(text, 15)), 15);
        ASSERT_EQ(display_amount(value), shown.size() > 15 ? right_justify(text, 15) : shown) << value;
        ASSERT_EQ(stored_amount(value).value_or("-"),
                  text.size() > 15 ? "-" : zero_fill_signed(right_justify(text, 15))) << value;
    }
    EXPECT_FALSE(stored_amount(1.0 / 0.0));
}

// Every cent from -250.00 to 250.00 reads back from its text as itself, and
// every decimal text reads as the nearest double, as from_chars reads it.
TEST(FieldText, NumbersReadBackExactly) {
    for (long cents = -25000; cents <= 25000; ++cents) {
        const double value = static_cast<double>(cents) / 100.0;
        const std::string text = format_amount(value);
        ASSERT_EQ(text.size() - text.find('.'), 3u) << text;
        ASSERT_EQ(parse_number(text), value) << text;
    }
    std::mt19937_64 random(11);
    const std::string heads[] = {"", " ", "-", "+", "  -"};
    for (int n = 0; n < 20000; ++n) {
        std::string digits;
        for (std::size_t i = random() % 14; i > 0; --i) digits += char('0' + random() % 10);
        if (random() % 4) digits += '.';
        for (std::size_t i = digits.ends_with('.') ? random() % 6 : 0; i > 0; --i) digits += char('0' + random() % 10);
        if (digits.find_first_of("0123456789") == std::string::npos) continue;
        const std::string head = heads[random() % 5];
        double expected = 0.0;
        std::from_chars(digits.data(), digits.data() + digits.size(), expected, std::chars_format::fixed);
        const ParsedNumber got = scan_number(head + digits + " 1");
        ASSERT_TRUE(got.has_number && got.used == head.size() + digits.size()) << head + digits;
        ASSERT_EQ(got.value, head.find('-') != std::string::npos ? -expected : expected) << head + digits;
        // Whole cents, read directly from the stored form, by value otherwise.
        ASSERT_EQ(stored_cents(head + digits), std::llround(got.value * 100.0)) << head + digits;
        const double value = stored_value(head + digits);
        ASSERT_TRUE(value == got.value && std::signbit(value) == std::signbit(got.value)) << head + digits;
    }
    for (const char *none : {"", "  ", "-", ".", "abc", "inf"}) EXPECT_FALSE(scan_number(none).has_number);
    EXPECT_TRUE(std::signbit(stored_value("-000000000000.00")));
}

TEST(AmountText, ReadsPublishedAmountsInCents) {
    const struct { const char *text; AmountStatus status; std::int64_t cents; bool rounded; } cases[] = {
        {" 7354.6 ", AmountStatus::Ok, 735460, false},
        {"$ 1,234,567.89", AmountStatus::Ok, 123456789, false},
        {"5-", AmountStatus::Ok, -500, false},
        {"($1,234.50)", AmountStatus::Ok, -123450, false},
        {"12.345", AmountStatus::Ok, 1235, true},  // half a cent rounds away from zero
        {"-12.345", AmountStatus::Ok, -1235, true},
        {"12.344", AmountStatus::Ok, 1234, true},
        {"999999999999.99", AmountStatus::Ok, 99999999999999, false},
        {"-99999999999.99", AmountStatus::Ok, -9999999999999, false},
        {"   ", AmountStatus::Empty, 0, false},
        {"-100000000000", AmountStatus::TooLarge, 0, false},
        {"999999999999.995", AmountStatus::TooLarge, 0, false},
        {"1,23", AmountStatus::NotANumber, 0, false},
        {"5 USD", AmountStatus::NotANumber, 0, false},
    };
    for (const auto &c : cases) {
        const AmountReading r = read_amount(c.text);
        EXPECT_EQ(r.status, c.status) << '"' << c.text << '"';
        if (c.status != AmountStatus::Ok) continue;
        EXPECT_EQ(r.cents, c.cents) << c.text;
        EXPECT_EQ(r.rounded, c.rounded) << c.text;
        EXPECT_EQ(stored_cents(stored_amount_of_cents(r.cents)), r.cents) << c.text;
    }
    EXPECT_EQ(grouped_cents(41727526096), "417,275,260.96");
    EXPECT_EQ(grouped_cents(-25536), "-255.36");
}

TEST(RecordId, Base36BothWays) {
    const std::pair<std::uint64_t, const char *> cases[] = {
        {1, "000001"}, {35, "00000z"}, {36, "000010"}, {2176782335, "zzzzzz"}};  // 36^6 - 1, the last
    for (const auto &[counter, text] : cases) {
        EXPECT_EQ(record_id_text(counter).value_or("?"), text) << counter;
        EXPECT_EQ(parse_record_id(text), counter) << text;
    }
    EXPECT_FALSE(record_id_text(2176782336));
    EXPECT_EQ(parse_record_id("  00Z "), 35u);
    for (const char *bad : {"1000000", "", "      ", "00-001", "00 001"}) EXPECT_FALSE(parse_record_id(bad)) << bad;
}

TEST(CodePage, Windows1252AndUtf8) {
    // Every byte with a character comes back as itself through UTF-8; the
    // five without show as U+FFFD.
    for (int b = 1; b < 256; ++b) {
        const std::string byte(1, static_cast<char>(b));
        const std::string utf8 = from_register_text(byte);
        if (b == 0x81 || b == 0x8D || b == 0x8F || b == 0x90 || b == 0x9D) {
            EXPECT_EQ(utf8, "\xEF\xBF\xBD") << b;
            continue;
        }
        const RegisterText back = to_register_text(utf8);
        EXPECT_EQ(back.text, byte) << b;
        EXPECT_EQ(back.replaced, 0u) << b;
    }
    // What has no counterpart, or is no UTF-8, is replaced character by character.
    const RegisterText replaced = to_register_text("\xD0\x96X\xF0\x9F\x98\x80 A\x80 \xED\xA0\x80 \xE2\x80");
    EXPECT_EQ(replaced.text, "?X? A? ??? ??");
    EXPECT_EQ(replaced.replaced, 8u);
    // Upper case by the code page; the sharp s, micro and division signs
    // have no capital.
    EXPECT_EQ(register_upper("caf\xE9 az{} \x9A\x9C\x9E\xFF \xE0\xFE \xDF\xB5\xF7"),
              "CAF\xC9 AZ{} \x8A\x8C\x8E\x9F \xC0\xDE \xDF\xB5\xF7");
}

}  // namespace
