// Converting published registers into register CSV lines: the CSV reader,
// dates by pattern and by detection, each row's values and what was changed
// or why it was skipped, and a whole conversion's report.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "app/maint/convert/conversion.h"
#include "app/maint/convert/csv_reader.h"
#include "app/maint/convert/date_format.h"
#include "app/support/records.h"

namespace {

using namespace ledgrove;
using app_test::make_record;
using Fields = std::vector<std::string>;
using Kinds = std::vector<IssueKind>;

TEST(ConvertCsvReader, RowsNumberedByTheLineTheyStartOn) {
    const struct {
        const char *what;
        std::string text;
        std::vector<std::pair<std::size_t, Fields>> rows;
        bool unclosed = false;  // of the last row
    } cases[] = {
        {"CR LF, LF and lone CR", "a,b\r\nc\nd\re", {{1, {"a", "b"}}, {2, {"c"}}, {3, {"d"}}, {4, {"e"}}}},
        {"empty lines are no rows", "a\n\n\r\nb\n", {{1, {"a"}}, {4, {"b"}}}},
        {"quote inside an unquoted field", "12\" PIPE,x\n", {{1, {"12\" PIPE", "x"}}}},
        {"line break inside quotes", "\"two\r\nlines\",x\r\nnext\r\n", {{1, {"two\r\nlines", "x"}}, {3, {"next"}}}},
        {"text after a closing quote is kept", "\"BERTRAND, FOX\" & CO,x\n", {{1, {"BERTRAND, FOX & CO", "x"}}}},
        {"unclosed quote runs to the end", "a,\"open\nb,c\n", {{1, {"a", "open\nb,c\n"}}}, true},
    };
    for (const auto &c : cases) {
        CsvReader reader(c.text);
        CsvRow row;
        std::vector<std::pair<std::size_t, Fields>> rows;
        bool unclosed = false;
        while (reader.next(row)) {
            rows.push_back({row.line, row.fields});
            unclosed = row.unclosed_quote;
        }
        EXPECT_EQ(rows, c.rows) << c.what;
        EXPECT_EQ(unclosed, c.unclosed) << c.what;
    }
    CsvReader tabs("a,b\t\"c\td\"\n", '\t');
    CsvRow row;
    ASSERT_TRUE(tabs.next(row));
    EXPECT_EQ(row.fields, (Fields{"a,b", "c\td"}));
}

TEST(ConvertValues, DatesByPatternAndDetected) {
    const struct {
        const char *pattern, *text;
        const char *stored;  // nullptr: not a date
    } cases[] = {
        {"YYYY-MM-DD", " 2024-3-5 ", "20240305"},
        {"MM/DD/YYYY", "3/15/2024 12:00 AM", "20240315"},
        {"MM/DD/YYYY", "15/03/2024", nullptr},
        {"MM/DD/YYYY", "02/29/2024", "20240229"},
        {"MM/DD/YYYY", "02/29/1900", nullptr},
        {"MM/DD/YYYY", "02/29/2000", "20000229"},
        {"DD.MM.YYYY", "5.3.2024", "20240305"},
        {"MM/DD/YY", "3/15/49", "20490315"},
        {"MM/DD/YY", "3/15/50", "19500315"},
        {"MM/DD/YY", "3/15/2024", nullptr},
    };
    for (const auto &c : cases) {
        const std::optional<DateFormat> format = DateFormat::from_pattern(c.pattern);
        ASSERT_TRUE(format) << c.pattern;
        EXPECT_EQ(format->stored_date(c.text).value_or("(none)"), c.stored ? c.stored : "(none)")
            << c.pattern << " " << c.text;
    }
    for (const char *bad : {"", "MM/DD", "YYYY-MM", "MM/DD/YYYY/DD", "MM/DD/2024"})
        EXPECT_FALSE(DateFormat::from_pattern(bad)) << bad;

    // An ambiguous column reads month first and names the other reading.
    const DateDetection ambiguous = detect_date_format({"03/04/2024", "", "01/02/2024"});
    ASSERT_TRUE(ambiguous.format);
    EXPECT_EQ(ambiguous.format->pattern(), "MM/DD/YYYY");
    EXPECT_EQ(ambiguous.read, 2u);
    EXPECT_EQ(ambiguous.also_fitting, std::vector<std::string>{"DD/MM/YYYY"});
    EXPECT_EQ(detect_date_format({"15/03/2024", "01/04/2024"}).format->pattern(), "DD/MM/YYYY");
    EXPECT_FALSE(detect_date_format({"VOID", "", "n/a"}).format);
}

const std::string k40 = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789abcd";

TEST(ConvertRow, WhatIsWrittenChangedOrSkipped) {
    // Columns in the record's order: check, date, vendor id, name, PO,
    // description, amount.
    RowSettings settings;
    for (std::size_t t = 0; t < kTargetCount; ++t) settings.mapping.columns[t] = t;
    settings.date_format = *DateFormat::from_pattern("MM/DD/YYYY");
    settings.field_count = 7;
    auto rec = [](std::string chk, std::string vendor, std::string name, std::string po,
                  std::string desc, std::string amount) {
        return make_record(chk, "20240305", vendor, name, po, desc, amount, "");
    };
    const struct {
        const char *what;
        std::string line;
        std::optional<CheckRecord> written;
        Kinds kinds;
        const char *reason_part = "";  // of a skipped row
    } cases[] = {
        {"all fields fit", "100001,3/5/2024,17,\"ACME, INC.\",PO1,PAPER,\"$1,234.50\"",
         rec("100001", "17", "ACME, INC.", "PO1", "PAPER", "000000001234.50"), {}},
        {"spaces around values dropped", "  7 , 03/05/2024 , 17 ,  ACME  , , ,  -5 ",
         rec("7", "17", "ACME", "", "", "-00000000005.00"), {}},
        {"check id keeps the last 6", "W22-214,3/5/2024,,X,,,1", rec("22-214", "", "X", "", "", "000000000001.00"),
         {IssueKind::CheckIdCut}},
        {"vendor id keeps the last 10", "1,3/5/2024,12345678901,X,,,1",
         rec("1", "2345678901", "X", "", "", "000000000001.00"), {IssueKind::VendorIdCut}},
        {"PO keeps the last 8", "1,3/5/2024,,X,PO-123456,,1", rec("1", "", "X", "O-123456", "", "000000000001.00"),
         {IssueKind::PoNumberCut}},
        {"name keeps the first 35", "1,3/5/2024,,\"" + k40 + "\",,,1",
         rec("1", "", k40.substr(0, 35), "", "", "000000000001.00"), {IssueKind::NameCut}},
        {"description keeps the first 32", "1,3/5/2024,,X,," + k40.substr(0, 33) + ",1",
         rec("1", "", "X", "", k40.substr(0, 32), "000000000001.00"), {IssueKind::DescriptionCut}},
        {"amount rounded to cents", "1,3/5/2024,,X,,,12.345", rec("1", "", "X", "", "", "000000000012.35"),
         {IssueKind::AmountRounded}},
        {"characters with no counterpart", "1,3/5/2024,,\xD0\x96UK \xE2\x80\x99S,,\xE6\x9D\xB1,1",
         rec("1", "", "?UK \x92S", "", "?", "000000000001.00"),
         {IssueKind::CharactersReplaced, IssueKind::CharactersReplaced}},
        {"line break in a quoted description", "1,3/5/2024,,X,,\"TWO\nLINES\",1",
         rec("1", "", "X", "", "TWO LINES", "000000000001.00"), {IssueKind::ControlCharacters}},
        {"tilde reads back as a comma", "1,3/5/2024,,A~B,,,1", rec("1", "", "A~B", "", "", "000000000001.00"),
         {IssueKind::TildeReadsAsComma}},
        {"no date", "1,,,X,,,5", std::nullopt, {IssueKind::NoDate}, "no date"},
        {"not a date", "1,2/30/2024,,X,,,5", std::nullopt, {IssueKind::BadDate}, "\"2/30/2024\" is no MM/DD/YYYY"},
        {"amount too large", "1,3/5/2024,,X,,,-100000000000", std::nullopt, {IssueKind::AmountTooLarge}, "too large"},
        {"too many fields", "1,3/5/2024,,SMITH, JOHN,,,5", std::nullopt, {IssueKind::FieldCount}, "8 instead of 7"},
        {"nothing in the row", ",,, ,,,", std::nullopt, {IssueKind::EmptyRow}, "holds nothing"},
        {"both faults named", "1,13/1/2024,,X,,,abc", std::nullopt, {IssueKind::BadDate, IssueKind::BadAmount},
         "; the amount is not a number: \"abc\""},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        CsvReader reader(c.line);
        CsvRow csv_row;
        ASSERT_TRUE(reader.next(csv_row));
        const ConvertedRow row = convert_row(csv_row, settings);
        Kinds kinds;
        for (const RowIssue &issue : row.issues) kinds.push_back(issue.kind);
        EXPECT_EQ(kinds, c.kinds);
        ASSERT_EQ(row.written, c.written.has_value()) << row.reason();
        if (row.written) {
            EXPECT_EQ(std::string(reinterpret_cast<const char *>(&row.record), sizeof row.record),
                      std::string(reinterpret_cast<const char *>(&*c.written), sizeof row.record));
            EXPECT_EQ(row.reason(), "");
        } else {
            EXPECT_NE(row.reason().find(c.reason_part), std::string::npos) << row.reason();
        }
    }
}

// A small published register: header, good rows, bad rows, quoted names.
const std::string kSmallRegister =
    "\xEF\xBB\xBF" "Check Number,Check Date,Payee,Memo,Amount\r\n"
    "1001,03/01/2024,\"SMITH, JOHN\",REFUND,$100.00\r\n"
    "1002,03/02/2024,ACME,,\"1,000.25\"\r\n"
    "1003,03/33/2024,BAD DATE,,5\r\n"
    "1004,03/04/2024,NO AMOUNT,,\r\n"
    "12345678,03/05/2024,LONG CHECK,,-0.25\r\n"
    "\r\n"
    "1006,03/06/2024,\"QUOTE \"\"Q\"\"\",,(10.00)\r\n"
    "345678,03/07/2024,SAME ID AFTER THE CUT,,1.00\r\n";

TEST(Conversion, TheReportAddsUp) {
    const PreparedConversion prepared = prepare_conversion(kSmallRegister, {});
    ASSERT_TRUE(prepared.ok()) << prepared.error;
    EXPECT_EQ(prepared.settings.date_format.pattern(), "MM/DD/YYYY");
    std::vector<std::size_t> lines;
    const ConversionReport report =
        convert_rows(kSmallRegister, prepared, [&](const ConvertedRow &r) { lines.push_back(r.line); });
    EXPECT_EQ(lines, (std::vector<std::size_t>{2, 3, 4, 5, 6, 8, 9}));  // line 7 is empty
    EXPECT_EQ(report.rows_read(), 7u);
    EXPECT_EQ(report.rows_written(), 5u);
    ASSERT_EQ(report.skipped().size(), 2u);
    EXPECT_EQ(report.skipped()[0].line, 4u);
    EXPECT_EQ(report.skipped()[1].line, 5u);
    EXPECT_EQ(report.tally(IssueKind::CheckIdShared).rows, 1u);
    EXPECT_EQ(report.total_cents(), 10000 + 100025 - 25 - 1000 + 100);
    const std::string text = report.text();
    for (const char *part : {"row 4: the date is not a date", "row 5: no amount", "row 6: 12345678 -> 345678",
                             "row 9: 345678 and 12345678 are both 345678", "vendor name <- 3 \"Payee\" (guessed)"})
        EXPECT_NE(text.find(part), std::string::npos) << part << "\n" << text;
    EXPECT_TRUE(text.ends_with("Rows read: 7\nRows written: 5\nRows skipped: 2\n"
                               "Control total of the amounts written: 1,091.00\n")) << text;
    const std::vector<ConvertedRow> preview = preview_rows(kSmallRegister, prepared, 3);
    ASSERT_EQ(preview.size(), 3u);
    EXPECT_FALSE(preview[2].written);

    using R = ConvertRequest;
    auto with = [](auto change) { R r; change(r); return r; };
    const struct { std::string input; R request; const char *error_part; } refusals[] = {
        {"\xEF\xBB\xBF", {}, "no rows"},
        {kSmallRegister, with([](R &r) { r.columns[int(Target::VendorName)] = ""; }), "no column for the vendor name"},
        {kSmallRegister, with([](R &r) { r.columns[int(Target::Date)] = "Payee"; }), "no known date format reads the date column 3"},
        {kSmallRegister, with([](R &r) { r.columns[int(Target::Amount)] = "memo"; }), "amount column 4 \"Memo\" holds no amount"},
    };
    for (const auto &r : refusals) {
        const PreparedConversion p = prepare_conversion(r.input, r.request);
        EXPECT_NE(p.error.find(r.error_part), std::string::npos) << r.error_part << ": " << p.error;
    }
}

}  // namespace
