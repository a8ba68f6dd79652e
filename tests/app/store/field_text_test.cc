// Field text operations, and the date and amount forms built from them.
#include <gtest/gtest.h>

#include <cfloat>
#include <charconv>
#include <cmath>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "app/store/field_text.h"

namespace {

using namespace ledgrove;

std::string S(std::size_t n) { return std::string(n, ' '); }

struct TextCase {
    const char *what;
    std::function<std::string()> run;
    std::string expected;
};

TEST(FieldText, TextOperations) {
    const TextCase cases[] = {
        {"strip spaces", [] { return strip_spaces(" A B  C "); }, "ABC"},
        {"strip commas", [] { return strip_commas("1,234,567.50"); }, "1234567.50"},
        {"strip minus", [] { return strip_minus("-12-3"); }, "123"},
        {"commas to tildes", [] { return commas_to_tildes("SMITH, JOHN,"); }, "SMITH~ JOHN~"},
        {"pad a four-letter name", [] { return pad_right("ACME", 35); }, "ACME" + S(31)},
        {"pad exact width", [] { return pad_right("ABCDEF", 6); }, "ABCDEF"},
        {"pad never cuts", [] { return pad_right("ABCDEFG", 6); }, "ABCDEFG"},
        {"justify amount", [] { return right_justify(" 1,234.50 ", 15); }, S(7) + "1,234.50"},
        {"justify empty", [] { return right_justify("", 6); }, S(6)},
        {"justify drops inner spaces", [] { return right_justify("1 2", 4); }, "  12"},
        {"justify never cuts", [] { return right_justify("1234567", 6); }, "1234567"},
        {"id from q", [] { return spaces_to_zeros(right_justify("q", 6)); }, "00000q"},
        {"fill negative", [] { return zero_fill_signed(S(7) + "-1234.50"); }, "-00000001234.50"},
        {"fill positive", [] { return zero_fill_signed(S(8) + "1234.50"); }, "000000001234.50"},
        {"fill bare negative", [] { return zero_fill_signed("-1234.50"); }, "-1234.50"},
        {"fill sign before digit", [] { return zero_fill_signed("5-"); }, "-50"},
        {"two digits from 7", [] { return zero_pad_two_digits("7"); }, "07"},
        {"two digits from 7 space", [] { return zero_pad_two_digits("7 "); }, "07"},
        {"two digits keep 07", [] { return zero_pad_two_digits("07"); }, "07"},
        {"two digits keep 12", [] { return zero_pad_two_digits("12"); }, "12"},
        {"two digits keep space 7", [] { return zero_pad_two_digits(" 7"); }, " 7"},
        {"two digits empty", [] { return zero_pad_two_digits(""); }, ""},
        // Results are values: feeding one into the next works in any order.
        {"pad a stripped text", [] { return pad_right(strip_spaces(" A B "), 4); }, "AB  "},
    };
    for (const TextCase &c : cases) EXPECT_EQ(c.run(), c.expected) << c.what;
}

TEST(FieldText, FormatAmount) {
    const struct {
        double value;
        const char *text;
    } cases[] = {
        {1234.5, "1234.50"},  {-1234.5, "-1234.50"}, {12.3, "12.30"},   {0.5, ".50"},
        {-0.5, "-.50"},       {0.1, ".10"},          {0.05, ".05"},     {-0.05, "-.05"},
        {0.01, ".01"},        {0.0, ".00"},          {-0.0, ".00"},     {-0.001, ".00"},
        {0.004, ".00"},       {0.996, "1.00"},       {1e12, "1000000000000.00"},
        {999999999999.99, "999999999999.99"},        {100, "100.00"},
    };
    for (const auto &c : cases) EXPECT_EQ(format_amount(c.value), c.text) << c.value;
}

TEST(FieldText, FormatAmountReadsBackAsTheSameCents) {
    for (long cents = -25000; cents <= 25000; ++cents) {
        double value = static_cast<double>(cents) / 100.0;
        std::string text = format_amount(value);
        ASSERT_NE(text.find('.'), std::string::npos) << text;
        ASSERT_EQ(text.size() - text.find('.'), 3u) << text;
        ASSERT_EQ(parse_number(text), value) << text;
    }
}

TEST(FieldText, GroupThousands) {
    const struct {
        const char *text;
        std::string grouped;
    } cases[] = {
        {"1234567.50   ", "1,234,567.50   "},
        {"123.50  ", "123.50  "},
        {"999.50 ", "999.50 "},
        {"1000.50 ", "1,000.50 "},
        {"-1234.50      ", "-1,234.50      "},
        {"1234.50", "1,234.5"},
        {"1234.00", "1,234"},
        {"-1234.50", "-1,234.5"},
        {"123456.00", "123,456"},
        {".50", ".5"},
        {".05", ".05"},
        {".00", "0"},
        {".", "0"},
        {"-.50", "-.5"},
        {"12", "12"},
        {"1234", "1,234"},
    };
    for (const auto &c : cases) EXPECT_EQ(group_thousands(c.text), c.grouped) << c.text;
}

TEST(FieldText, ScanNumber) {
    const struct {
        const char *text;
        double value;
        bool has_number;
    } cases[] = {
        {"12.3", 12.3, true},
        {"  -1234.50", -1234.5, true},
        {"\t7", 7, true},
        {"+5", 5, true},
        {".5", 0.5, true},
        {"5.", 5, true},
        {"12.3abc", 12.3, true},
        {"1e5", 1, true},  // no exponents: reading stops at the 'e'
        {"000000001234.50", 1234.5, true},
        {"-00000001234.50", -1234.5, true},
        {"1,234.50", 1, true},
        {"", 0, false},
        {"   ", 0, false},
        {"-", 0, false},
        {".", 0, false},
        {"-.", 0, false},
        {"abc", 0, false},
        {"inf", 0, false},
        {"nan", 0, false},
        {"0x10", 0, true},
    };
    for (const auto &c : cases) {
        ParsedNumber n = scan_number(c.text);
        EXPECT_EQ(n.value, c.value) << c.text;
        EXPECT_EQ(n.has_number, c.has_number) << c.text;
    }
    EXPECT_EQ(parse_number(std::string(400, '9')), DBL_MAX);
    EXPECT_EQ(parse_number("0." + std::string(400, '0') + "1"), 0.0);
}

TEST(FieldText, Dates) {
    EXPECT_EQ(display_date("19990705"), "07/05/1999");
    EXPECT_EQ(display_date("20071231"), "12/31/2007");
    EXPECT_EQ(display_date("20077 01"), "07/01/2007");  // month imported as "7 "
    EXPECT_EQ(display_date("2007 7 1"), " 7/ 1/2007");
    EXPECT_EQ(display_date("2007"), "//2007");
    EXPECT_EQ(display_date(""), "//");
    EXPECT_EQ(display_month("20070930"), "09/2007");
    EXPECT_EQ(display_month("20077 01"), "07/2007");
    EXPECT_EQ(stored_date("2007", "7 ", "01"), "20077 01");
    EXPECT_EQ(stored_date("1999", "07", "05"), "19990705");
}

TEST(FieldText, AmountForms) {
    const struct {
        double value;
        const char *stored;  // nullptr: does not fit
        std::string display;
    } cases[] = {
        {1234.5, "000000001234.50", S(7) + "1,234.50"},
        {-1234.5, "-00000001234.50", S(6) + "-1,234.50"},
        {12.3, "000000000012.30", S(10) + "12.30"},
        {0.5, "000000000000.50", S(12) + ".50"},
        {0.0, "000000000000.00", S(12) + ".00"},
        {-0.05, "-00000000000.05", S(11) + "-.05"},
        {999999999.99, "000999999999.99", " 999,999,999.99"},
        {-999999999.99, "-00999999999.99", "-999,999,999.99"},
        // From 10^9 the grouped text is too wide: shown ungrouped instead.
        {1000000000.0, "001000000000.00", "  1000000000.00"},
        {999999999999.99, "999999999999.99", "999999999999.99"},
        {-99999999999.99, "-99999999999.99", "-99999999999.99"},
        {1e12, nullptr, "1000000000000.00"},
        {-1e11, nullptr, "-100000000000.00"},
    };
    for (const auto &c : cases) {
        std::optional<std::string> stored = stored_amount(c.value);
        if (c.stored) {
            ASSERT_TRUE(stored) << c.value;
            EXPECT_EQ(*stored, c.stored);
            EXPECT_EQ(parse_number(*stored), parse_number(format_amount(c.value)));
        } else {
            EXPECT_FALSE(stored) << c.value;
        }
        EXPECT_EQ(display_amount(c.value), c.display) << c.value;
    }
    EXPECT_FALSE(stored_amount(DBL_MAX));
    EXPECT_FALSE(stored_amount(1.0 / 0.0));

    EXPECT_EQ(export_amount("-00000001234.50"), "-1234.50");
    EXPECT_EQ(export_amount("000000001234.50"), "1234.50");
    EXPECT_EQ(export_amount("000000000000.50"), ".50");
    EXPECT_EQ(export_amount("000000000012.30"), "12.30");
    EXPECT_EQ(export_amount(""), ".00");
}

// The display date, the display amount and the stored amount are built
// directly for the usual cases; they must equal their definitions: the
// parts through zero_pad_two_digits; FormatAmount, PadRight to 15,
// GroupThousands, RightJustify to 15 (shown ungrouped when that is wider
// than 15); FormatAmount right-justified to 15 and zero-filled with its sign.
TEST(FieldText, DisplayFormsEqualTheirDefinitions) {
    auto amount_by_definition = [](double value) {
        const std::string text = format_amount(value);
        std::string shown = right_justify(group_thousands(pad_right(text, 15)), 15);
        if (shown.size() > 15) shown = right_justify(text, 15);
        return shown;
    };
    std::vector<double> values = {0.0, -0.0, 0.004, 0.005, -0.004, -0.005, 0.05, -0.05, 0.1,
                                  1, -1, 999.995, 1000, -1000, 123456.78, 999999999.99,
                                  1e9, -1e9, 99999999999.99, -99999999999.99, 999999999999.99,
                                  1e12, -1e12, 1e15, 5e-324, DBL_MAX};
    std::mt19937_64 random(3);
    for (int i = 0; i < 20000; ++i) {
        const double magnitude = std::pow(10.0, double(random() % 14)) - 1;
        double value = double(random() % 100000000000000ull) / 100.0;
        if (magnitude > 0) value = std::fmod(value, magnitude);
        values.push_back(random() % 2 ? -value : value);
    }
    for (double value : values)
        ASSERT_EQ(display_amount(value), amount_by_definition(value)) << value;
    auto stored_by_definition = [](double value) -> std::optional<std::string> {
        if (!std::isfinite(value)) return std::nullopt;
        const std::string text = format_amount(value);
        if (text.size() > 15) return std::nullopt;
        return zero_fill_signed(right_justify(text, 15));
    };
    values.push_back(-99999999999.99);
    values.push_back(-100000000000.0);
    for (double value : values)
        ASSERT_EQ(stored_amount(value), stored_by_definition(value)) << value;

    auto date_by_definition = [](const std::string &stored) {
        return zero_pad_two_digits(stored.substr(4, 2)) + "/" +
               zero_pad_two_digits(stored.substr(6, 2)) + "/" + stored.substr(0, 4);
    };
    const std::string characters = "0123456789 7";
    for (int i = 0; i < 5000; ++i) {
        std::string stored(8 + random() % 3, ' ');
        for (char &c : stored) c = characters[random() % characters.size()];
        ASSERT_EQ(display_date(stored), date_by_definition(stored)) << stored;
    }
    auto month_by_definition = [](const std::string &stored) {
        auto part = [&](std::size_t pos, std::size_t len) {
            return pos < stored.size() ? stored.substr(pos, len) : std::string();
        };
        return zero_pad_two_digits(part(4, 2)) + "/" + part(0, 4);
    };
    for (int i = 0; i < 5000; ++i) {
        std::string stored(random() % 11, ' ');
        for (char &c : stored) c = characters[random() % characters.size()];
        ASSERT_EQ(display_month(stored), month_by_definition(stored)) << stored;
    }
}

// Short numbers are read without from_chars; every number must still read
// as the nearest double to its decimal value, as from_chars gives it.
TEST(FieldText, NumbersReadAsTheNearestDouble) {
    std::mt19937_64 random(11);
    const std::string heads[] = {"", " ", "-", "+", "  -"};
    for (int n = 0; n < 50000; ++n) {
        const std::size_t integer = random() % 14, fraction = random() % 6;
        std::string digits;
        for (std::size_t i = 0; i < integer; ++i) digits += char('0' + random() % 10);
        if (random() % 4) {
            digits += '.';
            for (std::size_t i = 0; i < fraction; ++i) digits += char('0' + random() % 10);
        }
        if (digits.find_first_of("0123456789") == std::string::npos) continue;
        const std::string head = heads[random() % 5];
        double expected = 0.0;
        std::from_chars(digits.data(), digits.data() + digits.size(), expected,
                        std::chars_format::fixed);
        if (head.find('-') != std::string::npos) expected = -expected;
        const ParsedNumber got = scan_number(head + digits + " 1");
        ASSERT_TRUE(got.has_number) << head + digits;
        ASSERT_EQ(got.used, head.size() + digits.size()) << head + digits;
        ASSERT_EQ(std::signbit(got.value), std::signbit(expected)) << head + digits;
        ASSERT_EQ(got.value, expected) << head + digits;
    }
}

}  // namespace
