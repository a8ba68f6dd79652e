// Reading register CSV lines back into records: round trips, tolerances and
// refusals.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "app/maint/import_line.h"
#include "app/output/csv_line.h"
#include "app/support/register_sample.h"

namespace {

using namespace ledgrove;
using namespace app_test;

std::string without_break(const std::string &csv) { return csv.substr(0, csv.size() - 2); }

// A record with a recognisable ID, so the test sees that parsing leaves it.
CheckRecord target() {
    CheckRecord r;
    std::memset(&r, 'X', sizeof r);
    return r;
}

std::string field(const char *f, std::size_t n) { return std::string(f, n); }

TEST(ImportLine, ReadsBackWhatTheExportWrote) {
    for (const CheckRecord *original : {&R1, &R2, &R3, &R4}) {
        CheckRecord r = target();
        ASSERT_EQ(parse_import_line(without_break(csv_line_from_record(*original)), r),
                  ImportLineStatus::Ok);
        EXPECT_EQ(r.tag, ' ');
        EXPECT_EQ(field(r.ID, 6), "XXXXXX");
        EXPECT_EQ(field(r.CHKID, 6), field(original->CHKID, 6));
        EXPECT_EQ(field(r.CHKDATE, 8), field(original->CHKDATE, 8));
        EXPECT_EQ(field(r.VENDORID, 10), field(original->VENDORID, 10));
        EXPECT_EQ(field(r.NAME, 35), field(original->NAME, 35));
        EXPECT_EQ(field(r.POID, 8), field(original->POID, 8));
        EXPECT_EQ(field(r.DESC, 35), field(original->DESC, 32) + "   ");
        EXPECT_EQ(field(r.AMOUNT, 15), field(original->AMOUNT, 15));
    }
}

std::string sample_line(const std::string &amount) {
    return "000123,07/05/1999,0000004512,SMITH~ JOHN" + S(24) + ",PO000001,REFUND" + S(29) +
           "," + amount;
}

TEST(ImportLine, Tolerances) {
    CheckRecord r = target();
    ASSERT_EQ(parse_import_line(sample_line("-1234.5"), r), ImportLineStatus::Ok);
    EXPECT_EQ(field(r.AMOUNT, 15), "-00000001234.50");
    EXPECT_EQ(field(r.NAME, 35), "SMITH, JOHN" + S(24));
    EXPECT_EQ(field(r.CHKDATE, 8), "19990705");

    const struct {
        const char *what;
        std::string line;
        const char *amount;
    } amounts[] = {
        {"two decimals added", sample_line("12.3"), "000000000012.30"},
        {"ends at ]", sample_line("12.3]junk"), "000000000012.30"},
        {"ends at CR", sample_line("12.3\r\n"), "000000000012.30"},
        {"spaces around", sample_line("  12.30  "), "000000000012.30"},
        {"small", sample_line(".05"), "000000000000.05"},
        {"zero", sample_line("0"), "000000000000.00"},
        {"widest positive", sample_line("999999999999.99"), "999999999999.99"},
        {"widest negative", sample_line("-99999999999.99"), "-99999999999.99"},
    };
    for (const auto &a : amounts) {
        CheckRecord r2 = target();
        ASSERT_EQ(parse_import_line(a.line, r2), ImportLineStatus::Ok) << a.what;
        EXPECT_EQ(field(r2.AMOUNT, 15), a.amount) << a.what;
    }

    // Any character may stand in the separator columns.
    std::string odd = sample_line("1");
    for (std::size_t column : {6, 9, 12, 17, 28, 64, 73, 109}) odd[column] = '|';
    CheckRecord r3 = target();
    ASSERT_EQ(parse_import_line(odd, r3), ImportLineStatus::Ok);
    EXPECT_EQ(field(r3.CHKDATE, 8), "19990705");
    EXPECT_EQ(field(r3.VENDORID, 10), "0000004512");
    EXPECT_EQ(field(r3.DESC, 35), "REFUND" + S(29));
}

TEST(ImportLine, Refusals) {
    const std::string full = sample_line("1");
    const struct {
        const char *what;
        std::string line;
        ImportLineStatus status;
    } cases[] = {
        {"empty", "", ImportLineStatus::Blank},
        {"spaces", "   \t ", ImportLineStatus::Blank},
        {"one column short", full.substr(0, 109), ImportLineStatus::Short},
        {"half a line", full.substr(0, 40), ImportLineStatus::Short},
        {"no amount", full.substr(0, 110), ImportLineStatus::NoAmount},
        {"month with a space", std::string(full).replace(7, 2, "7 "), ImportLineStatus::BadDate},
        {"February 29 of 1999", std::string(full).replace(7, 10, "02/29/1999"),
         ImportLineStatus::BadDate},
        {"a subtotal line", std::string(110, ' ') + "12.00", ImportLineStatus::BadDate},
        {"amount not a number", sample_line("abc"), ImportLineStatus::NoAmount},
        {"amount only a sign", sample_line("-"), ImportLineStatus::NoAmount},
        {"bracket first", sample_line("]12"), ImportLineStatus::NoAmount},
        {"grouped amount", sample_line("1,234.50"), ImportLineStatus::NoAmount},
        {"amount with text", sample_line("12.30 USD"), ImportLineStatus::NoAmount},
        {"too large", sample_line("1000000000000"), ImportLineStatus::AmountTooLarge},
        {"too large negative", sample_line("-100000000000"), ImportLineStatus::AmountTooLarge},
        {"rounds up past the width", sample_line("999999999999.999"),
         ImportLineStatus::AmountTooLarge},
        {"hundreds of digits", sample_line(std::string(400, '9')),
         ImportLineStatus::AmountTooLarge},
    };
    for (const auto &c : cases) {
        CheckRecord r = target();
        EXPECT_EQ(parse_import_line(c.line, r), c.status) << c.what;
        CheckRecord untouched = target();
        EXPECT_EQ(std::memcmp(&r, &untouched, sizeof r), 0) << c.what << ": record changed";
        EXPECT_FALSE(import_line_status_text(c.status).empty());
    }
}

std::vector<std::string> split(std::string_view text) {
    std::vector<std::string> lines;
    std::size_t pos = 0;
    std::string_view line;
    while (next_import_line(text, &pos, &line)) lines.emplace_back(line);
    return lines;
}

TEST(ImportLine, SplittingTheFile) {
    using V = std::vector<std::string>;
    EXPECT_EQ(split(""), V{});
    EXPECT_EQ(split("a\r\nb\nc"), (V{"a", "b", "c"}));
    EXPECT_EQ(split("a\r\n"), (V{"a"}));
    EXPECT_EQ(split("a\n\nb\n"), (V{"a", "", "b"}));
    EXPECT_EQ(split("\r\n\r\n"), (V{"", ""}));
    EXPECT_EQ(split("a\rb\n"), (V{"a\rb"}));

    // A short line spoils only itself.
    std::string text = without_break(C1) + "\r\n" + "100002,10/01\r\n" + C4;
    std::vector<std::string> lines = split(text);
    ASSERT_EQ(lines.size(), 3u);
    CheckRecord r = target();
    EXPECT_EQ(parse_import_line(lines[0], r), ImportLineStatus::Ok);
    EXPECT_EQ(parse_import_line(lines[1], r), ImportLineStatus::Short);
    EXPECT_EQ(parse_import_line(lines[2], r), ImportLineStatus::Ok);
    EXPECT_EQ(field(r.CHKID, 6), "100003");
}

}  // namespace
