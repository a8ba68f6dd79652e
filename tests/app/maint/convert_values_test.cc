// The value readers of the converter: dates by pattern and detection,
// amounts in cents, the register's code page, and column mapping.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "app/store/amount_text.h"
#include "app/maint/convert/column_mapping.h"
#include "app/maint/convert/date_format.h"
#include "app/store/code_page.h"

namespace {

using namespace ledgrove;

TEST(ConvertValues, DatesByPattern) {
    const struct {
        const char *pattern;
        const char *text;
        const char *stored;  // nullptr: not a date
    } cases[] = {
        {"YYYY-MM-DD", "2024-03-15", "20240315"},
        {"YYYY-MM-DD", " 2024-03-15 ", "20240315"},
        {"YYYY-MM-DD", "2024-3-5", "20240305"},
        {"YYYY-MM-DD", "2024-03-15 00:00:00", "20240315"},
        {"YYYY-MM-DD", "2024-03-15T08:30", "20240315"},
        {"YYYY-MM-DD", "2024-03-15x", nullptr},
        {"YYYY-MM-DD", "2024-03-150", nullptr},
        {"YYYY-MM-DD", "24-03-15", nullptr},
        {"MM/DD/YYYY", "3/15/2024", "20240315"},
        {"MM/DD/YYYY", "03/15/2024", "20240315"},
        {"MM/DD/YYYY", "3/15/2024 12:00 AM", "20240315"},
        {"MM/DD/YYYY", "15/03/2024", nullptr},
        {"MM/DD/YYYY", "3/15/24", nullptr},
        {"MM/DD/YYYY", "02/29/2024", "20240229"},
        {"MM/DD/YYYY", "02/29/2023", nullptr},
        {"MM/DD/YYYY", "02/29/1900", nullptr},
        {"MM/DD/YYYY", "02/29/2000", "20000229"},
        {"MM/DD/YYYY", "02/30/2024", nullptr},
        {"MM/DD/YYYY", "04/31/2024", nullptr},
        {"MM/DD/YYYY", "00/10/2024", nullptr},
        {"MM/DD/YYYY", "13/10/2024", nullptr},
        {"MM/DD/YYYY", "01/00/2024", nullptr},
        {"MM/DD/YYYY", "01/10/0000", nullptr},
        {"MM/DD/YYYY", "", nullptr},
        {"MM/DD/YYYY", "VOID", nullptr},
        {"DD/MM/YYYY", "15/03/2024", "20240315"},
        {"DD.MM.YYYY", "5.3.2024", "20240305"},
        {"YYYYMMDD", "20240315", "20240315"},
        {"YYYYMMDD", "2024315", nullptr},
        {"yyyymmdd", "20240315", "20240315"},
        {"MM/DD/YY", "3/15/24", "20240315"},
        {"MM/DD/YY", "3/15/49", "20490315"},
        {"MM/DD/YY", "3/15/50", "19500315"},
        {"MM/DD/YY", "3/15/2024", nullptr},
    };
    for (const auto &c : cases) {
        const std::optional<DateFormat> format = DateFormat::from_pattern(c.pattern);
        ASSERT_TRUE(format) << c.pattern;
        const std::optional<std::string> stored = format->stored_date(c.text);
        if (c.stored)
            EXPECT_EQ(stored.value_or("(none)"), c.stored) << c.pattern << " " << c.text;
        else
            EXPECT_FALSE(stored) << c.pattern << " " << c.text << " read as " << *stored;
    }
    for (const char *bad : {"", "MM/DD", "YYYY-MM", "MM/DD/YYYY/DD", "Y/M/D", "MM/DD/2024"})
        EXPECT_FALSE(DateFormat::from_pattern(bad)) << bad;
}

TEST(ConvertValues, DateDetection) {
    const struct {
        const char *what;
        std::vector<std::string> samples;
        const char *pattern;
        std::size_t read;
        std::vector<std::string> also;
    } cases[] = {
        {"ISO", {"2024-03-15", "", "2024-12-01"}, "YYYY-MM-DD", 2, {}},
        {"US with a day past 12", {"3/15/2024", "04/01/2024"}, "MM/DD/YYYY", 2, {}},
        {"day first, shown by a day past 12", {"15/03/2024", "01/04/2024"}, "DD/MM/YYYY", 2, {}},
        {"ambiguous: US first, the other named", {"03/04/2024", "01/02/2024"}, "MM/DD/YYYY", 2,
         {"DD/MM/YYYY"}},
        {"most read wins over the bad ones", {"2024-03-15", "garbage", "2024-13-01"},
         "YYYY-MM-DD", 1, {}},
        {"two-digit years", {"3/15/24"}, "MM/DD/YY", 1, {}},
    };
    for (const auto &c : cases) {
        const DateDetection d = detect_date_format(c.samples);
        ASSERT_TRUE(d.format) << c.what;
        EXPECT_EQ(d.format->pattern(), c.pattern) << c.what;
        EXPECT_EQ(d.read, c.read) << c.what;
        EXPECT_EQ(d.also_fitting, c.also) << c.what;
    }
    EXPECT_FALSE(detect_date_format({"VOID", "", "n/a"}).format);
    EXPECT_FALSE(detect_date_format({}).format);
}

TEST(ConvertValues, Amounts) {
    const struct {
        const char *text;
        AmountStatus status;
        std::int64_t cents;
        bool rounded;
    } cases[] = {
        {"1234.50", AmountStatus::Ok, 123450, false},
        {"4720", AmountStatus::Ok, 472000, false},
        {"7354.6", AmountStatus::Ok, 735460, false},
        {" 98.02 ", AmountStatus::Ok, 9802, false},
        {".5", AmountStatus::Ok, 50, false},
        {"5.", AmountStatus::Ok, 500, false},
        {"-255.36", AmountStatus::Ok, -25536, false},
        {"+5", AmountStatus::Ok, 500, false},
        {"$1,234.50", AmountStatus::Ok, 123450, false},
        {"$ 1,234,567.89", AmountStatus::Ok, 123456789, false},
        {"-$5", AmountStatus::Ok, -500, false},
        {"$-5", AmountStatus::Ok, -500, false},
        {"5-", AmountStatus::Ok, -500, false},
        {"(12.00)", AmountStatus::Ok, -1200, false},
        {"($1,234.50)", AmountStatus::Ok, -123450, false},
        {"-0", AmountStatus::Ok, 0, false},
        {"12.500", AmountStatus::Ok, 1250, false},
        {"12.345", AmountStatus::Ok, 1235, true},
        {"12.344", AmountStatus::Ok, 1234, true},
        {"-12.345", AmountStatus::Ok, -1235, true},
        {"0.999", AmountStatus::Ok, 100, true},
        {"999999999999.99", AmountStatus::Ok, 99999999999999, false},
        {"-99999999999.99", AmountStatus::Ok, -9999999999999, false},
        {"", AmountStatus::Empty, 0, false},
        {"   ", AmountStatus::Empty, 0, false},
        {"1000000000000", AmountStatus::TooLarge, 0, false},
        {"-100000000000", AmountStatus::TooLarge, 0, false},
        {"999999999999.995", AmountStatus::TooLarge, 0, false},
        {"123456789012345678901234567890", AmountStatus::TooLarge, 0, false},
        {"N/A", AmountStatus::NotANumber, 0, false},
        {"$", AmountStatus::NotANumber, 0, false},
        {"-", AmountStatus::NotANumber, 0, false},
        {".", AmountStatus::NotANumber, 0, false},
        {"1,23", AmountStatus::NotANumber, 0, false},
        {"1234,567", AmountStatus::NotANumber, 0, false},
        {"12,34,567", AmountStatus::NotANumber, 0, false},
        {",123", AmountStatus::NotANumber, 0, false},
        {"1.234,50", AmountStatus::NotANumber, 0, false},
        {"12 34", AmountStatus::NotANumber, 0, false},
        {"1.2.3", AmountStatus::NotANumber, 0, false},
        {"--5", AmountStatus::NotANumber, 0, false},
        {"-5-", AmountStatus::NotANumber, 0, false},
        {"(-5)", AmountStatus::NotANumber, 0, false},
        {"(5", AmountStatus::NotANumber, 0, false},
        {"1e5", AmountStatus::NotANumber, 0, false},
        {"5 USD", AmountStatus::NotANumber, 0, false},
    };
    for (const auto &c : cases) {
        const AmountReading r = read_amount(c.text);
        EXPECT_EQ(r.status, c.status) << '"' << c.text << '"';
        if (c.status != AmountStatus::Ok) continue;
        EXPECT_EQ(r.cents, c.cents) << c.text;
        EXPECT_EQ(r.rounded, c.rounded) << c.text;
    }
}

TEST(ConvertValues, CentsForms) {
    const struct {
        std::int64_t cents;
        const char *stored;
        const char *grouped;
    } cases[] = {
        {123450, "000000001234.50", "1,234.50"},
        {-25536, "-00000000255.36", "-255.36"},
        {5, "000000000000.05", "0.05"},
        {0, "000000000000.00", "0.00"},
        {41727526096, "000417275260.96", "417,275,260.96"},
        {99999999999999, "999999999999.99", "999,999,999,999.99"},
        {100000000000000, "", "1,000,000,000,000.00"},
        {-10000000000000, "", "-100,000,000,000.00"},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(stored_amount_of_cents(c.cents), c.stored) << c.cents;
        EXPECT_EQ(grouped_cents(c.cents), c.grouped) << c.cents;
    }
}

TEST(ConvertValues, CodePage) {
    const struct {
        const char *what;
        std::string utf8;
        std::string cp1252;
        std::size_t replaced;
    } cases[] = {
        {"ASCII", "ACME, INC. ?", "ACME, INC. ?", 0},
        {"Latin-1 letter", "CAF\xC3\x89", "CAF\xC9", 0},
        {"right single quote", "O\xE2\x80\x99NEIL", "O\x92NEIL", 0},
        {"curly double quotes", "\xE2\x80\x9CX\xE2\x80\x9D", "\x93X\x94", 0},
        {"en dash and euro", "\xE2\x80\x93\xE2\x82\xAC", "\x96\x80", 0},
        {"copyright, inverted exclamation", "\xC2\xA9\xC2\xA1", "\xA9\xA1", 0},
        {"Cyrillic has no counterpart", "\xD0\x96X", "?X", 1},
        {"CJK", "\xE6\x9D\xB1\xE4\xBA\xAC", "??", 2},
        {"emoji", "A\xF0\x9F\x98\x80", "A?", 1},
        {"C1 control U+0081", "\xC2\x81", "?", 1},
        {"stray continuation byte", "A\x80" "B", "A?B", 1},
        {"Latin-1 byte, not UTF-8", "CAF\xC9", "CAF?", 1},
        {"cut-short sequence at the end", "A\xE2\x80", "A??", 2},
        {"overlong slash", "\xC0\xAF", "??", 2},
        {"surrogate", "\xED\xA0\x80", "???", 3},
    };
    for (const auto &c : cases) {
        const RegisterText r = to_register_text(c.utf8);
        EXPECT_EQ(r.text, c.cp1252) << c.what;
        EXPECT_EQ(r.replaced, c.replaced) << c.what;
    }
}

TEST(ConvertValues, CodePageRoundTrip) {
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
    EXPECT_EQ(from_register_text("O\x92NEIL \x80"), "O\xE2\x80\x99NEIL \xE2\x82\xAC");
    // Upper case by the code page: accented letters and the four small
    // letters of 0x80-0x9F and 0xFF too; the sharp s, micro and division
    // signs have no capital.
    EXPECT_EQ(register_upper("caf\xE9 az{} \x9A\x9C\x9E\xFF \xE0\xFE \xDF\xB5\xF7"),
              "CAF\xC9 AZ{} \x8A\x8C\x8E\x9F \xC0\xDE \xDF\xB5\xF7");
}

std::optional<std::size_t> col(const ColumnMapping &m, Target t) { return m[t]; }

TEST(ConvertValues, GuessedMappings) {
    const struct {
        const char *what;
        std::vector<std::string> header;
        std::vector<std::optional<std::size_t>> columns;  // in target order
    } cases[] = {
        {"a school district's",
         {"Source Meeting", "Fiscal Year", "Fund", "Fund Name", "Cash Acct", "Check No", "Voided",
          "Issue Date", "Vendor ID", "Vendor Name", "Budget Unit", "Function Code", "Account",
          "Description", "Sales Tax", "Amount"},
         {5, 7, 8, 9, std::nullopt, 13, 15}},
        {"a city's",
         {"section_month", "section_year", "ap_type", "number", "date", "status", "source",
          "payee", "description", "amount", "voided"},
         {3, 4, std::nullopt, 7, std::nullopt, 8, 9}},
        {"spelling and case do not matter",
         {"AMOUNT", "p.o. #", "CHECK_NUMBER", "Check Date", "vendor", "Memo"},
         {2, 3, std::nullopt, 4, 1, 5, 0}},
        {"a column is used once",
         {"Name", "Vendor Name", "Date", "Amount"},
         {std::nullopt, 2, std::nullopt, 1, std::nullopt, std::nullopt, 3}},
        {"nothing known", {"a", "b"}, {std::nullopt, std::nullopt, std::nullopt, std::nullopt,
                                       std::nullopt, std::nullopt, std::nullopt}},
    };
    for (const auto &c : cases) {
        const ColumnMapping m = guess_mapping(c.header);
        for (std::size_t t = 0; t < kTargetCount; ++t)
            EXPECT_EQ(col(m, static_cast<Target>(t)), c.columns[t])
                << c.what << ": " << kTargets[t].label;
    }
}

TEST(ConvertValues, NamedColumns) {
    const std::vector<std::string> header = {"Check No", "Date", "Amount", "amount "};
    const struct {
        const char *spec;
        bool with_header;
        std::optional<std::size_t> column;
        const char *error_part;
    } cases[] = {
        {"check no", true, 0, ""},
        {"CHECK_NO", true, 0, ""},
        {"2", true, 1, ""},
        {"4", false, 3, ""},
        {"0", true, std::nullopt, "does not exist"},
        {"5", true, std::nullopt, "does not exist"},
        {"Payee", true, std::nullopt, "no column \"Payee\""},
        {"Date", false, std::nullopt, "without a header"},
        {"Amount", true, std::nullopt, "two columns named"},
        {"", true, std::nullopt, "no column"},
    };
    for (const auto &c : cases) {
        std::string error;
        EXPECT_EQ(find_column(c.spec, c.with_header ? &header : nullptr, 4, &error), c.column)
            << c.spec;
        EXPECT_NE(error.find(c.error_part), std::string::npos) << c.spec << ": " << error;
    }

    ColumnMapping m;
    m[Target::Date] = 1;
    m[Target::Amount] = 2;
    EXPECT_NE(mapping_problem(m, 4).find("vendor name"), std::string::npos);
    m[Target::VendorName] = 4;
    EXPECT_NE(mapping_problem(m, 4).find("does not exist"), std::string::npos);
    m[Target::VendorName] = 3;
    EXPECT_EQ(mapping_problem(m, 4), "");
}

}  // namespace
