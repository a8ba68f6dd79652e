// Converting rows of published registers: every value that does not fit is
// reported, skipped rows name their reason, written rows read back through
// the import exactly, and a whole conversion's report adds up.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "app/maint/convert/conversion.h"
#include "app/maint/import_line.h"
#include "app/output/csv_line.h"
#include "app/support/records.h"

namespace {

using namespace ledgrove;
using app_test::make_record;
using Kinds = std::vector<IssueKind>;

// Columns in the record's order: check, date, vendor id, name, PO,
// description, amount.
RowSettings settings_in_order() {
    RowSettings s;
    for (std::size_t t = 0; t < kTargetCount; ++t) s.mapping.columns[t] = t;
    s.date_format = *DateFormat::from_pattern("MM/DD/YYYY");
    s.field_count = 7;
    return s;
}

CsvRow row_of(const std::string &line) {
    CsvReader reader(line);
    CsvRow row;
    reader.next(row);
    return row;
}

Kinds kinds_of(const ConvertedRow &row) {
    Kinds kinds;
    for (const RowIssue &issue : row.issues) kinds.push_back(issue.kind);
    return kinds;
}

std::string record_bytes(const CheckRecord &r) {
    return std::string(reinterpret_cast<const char *>(&r) + 7, sizeof r - 7);  // past the ID
}

const std::string k40 = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789abcd";

TEST(ConvertRow, WrittenRowsAndTheirChanges) {
    const struct {
        const char *what;
        std::string line;
        CheckRecord expected;
        Kinds kinds;
    } cases[] = {
        {"all fields fit", "100001,3/5/2024,17,\"ACME, INC.\",PO1,PAPER,\"$1,234.50\"",
         make_record("100001", "20240305", "17", "ACME, INC.", "PO1", "PAPER", "000000001234.50"),
         {}},
        {"spaces around values are dropped", "  7 , 03/05/2024 , 17 ,  ACME  , , ,  -5 ",
         make_record("7", "20240305", "17", "ACME", "", "", "-00000000005.00"), {}},
        {"check id of 7 keeps the last 6", "2101282,3/5/2024,,X,,,1",
         make_record("101282", "20240305", "", "X", "", "", "000000000001.00"),
         {IssueKind::CheckIdCut}},
        {"wire number keeps the last 6", "W22-214,3/5/2024,,X,,,1",
         make_record("22-214", "20240305", "", "X", "", "", "000000000001.00"),
         {IssueKind::CheckIdCut}},
        {"leading zeros dropped without a warning", "00123456,3/5/2024,,X,,,1",
         make_record("123456", "20240305", "", "X", "", "", "000000000001.00"), {}},
        {"vendor id of 11 keeps the last 10", "1,3/5/2024,12345678901,X,,,1",
         make_record("1", "20240305", "2345678901", "X", "", "", "000000000001.00"),
         {IssueKind::VendorIdCut}},
        {"PO of 9 keeps the last 8", "1,3/5/2024,,X,PO-123456,,1",
         make_record("1", "20240305", "", "X", "O-123456", "", "000000000001.00"),
         {IssueKind::PoNumberCut}},
        {"name of 40 keeps the first 35", "1,3/5/2024,,\"" + k40 + "\",,,1",
         make_record("1", "20240305", "", k40.substr(0, 35), "", "", "000000000001.00"),
         {IssueKind::NameCut}},
        {"description of 33 keeps the first 32", "1,3/5/2024,,X,," + k40.substr(0, 33) + ",1",
         make_record("1", "20240305", "", "X", "", k40.substr(0, 32), "000000000001.00"),
         {IssueKind::DescriptionCut}},
        {"description of 32 is whole", "1,3/5/2024,,X,," + k40.substr(0, 32) + ",1",
         make_record("1", "20240305", "", "X", "", k40.substr(0, 32), "000000000001.00"), {}},
        {"amount rounded to cents", "1,3/5/2024,,X,,,12.345",
         make_record("1", "20240305", "", "X", "", "", "000000000012.35"),
         {IssueKind::AmountRounded}},
        {"parentheses are negative", "1,3/5/2024,,X,,,(12.00)",
         make_record("1", "20240305", "", "X", "", "", "-00000000012.00"), {}},
        {"characters with no counterpart", "1,3/5/2024,,\xD0\x96UK \xE2\x80\x99S,,\xE6\x9D\xB1,1",
         make_record("1", "20240305", "", "?UK \x92S", "", "?", "000000000001.00"),
         {IssueKind::CharactersReplaced, IssueKind::CharactersReplaced}},
        {"line break in a quoted description", "1,3/5/2024,,X,,\"TWO\nLINES\",1",
         make_record("1", "20240305", "", "X", "", "TWO LINES", "000000000001.00"),
         {IssueKind::ControlCharacters}},
        {"tilde reads back as a comma", "1,3/5/2024,,A~B,,,1",
         make_record("1", "20240305", "", "A~B", "", "", "000000000001.00"),
         {IssueKind::TildeReadsAsComma}},
        {"empty name is written blank", "1,3/5/2024,,,,,1",
         make_record("1", "20240305", "", "", "", "", "000000000001.00"), {}},
    };
    for (const auto &c : cases) {
        const ConvertedRow row = convert_row(row_of(c.line), settings_in_order());
        ASSERT_TRUE(row.written) << c.what << ": " << row.reason();
        EXPECT_EQ(record_bytes(row.record), record_bytes(c.expected)) << c.what;
        EXPECT_EQ(std::string(row.record.ID, 6), "      ") << c.what;
        EXPECT_EQ(kinds_of(row), c.kinds) << c.what;
        EXPECT_EQ(row.reason(), "") << c.what;
    }
}

TEST(ConvertRow, SkippedRowsAndTheirReasons) {
    const struct {
        const char *what;
        std::string line;
        IssueKind kind;
        const char *reason_part;
    } cases[] = {
        {"no date", "1,,,X,,,5", IssueKind::NoDate, "no date"},
        {"not a date", "1,2/30/2024,,X,,,5", IssueKind::BadDate, "\"2/30/2024\" is no MM/DD/YYYY"},
        {"date in another format", "1,2024-03-05,,X,,,5", IssueKind::BadDate, "2024-03-05"},
        {"no amount", "1,3/5/2024,,X,,,", IssueKind::NoAmount, "no amount"},
        {"amount with no number", "1,3/5/2024,,X,,,VOID", IssueKind::BadAmount, "\"VOID\""},
        {"amount too large", "1,3/5/2024,,X,,,1000000000000", IssueKind::AmountTooLarge,
         "too large"},
        {"negative amount too large", "1,3/5/2024,,X,,,-100000000000", IssueKind::AmountTooLarge,
         "too large"},
        {"too many fields", "1,3/5/2024,,SMITH, JOHN,,,5", IssueKind::FieldCount, "8 instead of 7"},
        {"too few fields", "1,3/5/2024,X,5", IssueKind::FieldCount, "4 instead of 7"},
        {"nothing in the row", ",,, ,,,", IssueKind::EmptyRow, "holds nothing"},
        {"quote never closed", "1,3/5/2024,,\"X,,,5", IssueKind::UnclosedQuote, "never closed"},
    };
    for (const auto &c : cases) {
        const ConvertedRow row = convert_row(row_of(c.line), settings_in_order());
        EXPECT_FALSE(row.written) << c.what;
        ASSERT_FALSE(row.issues.empty()) << c.what;
        EXPECT_EQ(row.issues.front().kind, c.kind) << c.what;
        EXPECT_TRUE(skips_row(row.issues.front().kind)) << c.what;
        EXPECT_NE(row.reason().find(c.reason_part), std::string::npos)
            << c.what << ": " << row.reason();
    }
    // Both faults of a row are named.
    const ConvertedRow both = convert_row(row_of("1,13/1/2024,,X,,,abc"), settings_in_order());
    EXPECT_EQ(kinds_of(both), (Kinds{IssueKind::BadDate, IssueKind::BadAmount}));
    EXPECT_NE(both.reason().find("; "), std::string::npos);
}

TEST(ConvertRow, ReportDetailsAreUtf8OnOneLine) {
    // The record holds 1252; the report shows the values as they were read.
    const std::string name = "O\xE2\x80\x99NEIL " + k40;
    const ConvertedRow cut = convert_row(row_of("1,3/5/2024,,\"" + name + "\",,,1"),
                                         settings_in_order());
    ASSERT_EQ(kinds_of(cut), Kinds{IssueKind::NameCut});
    EXPECT_EQ(cut.issues[0].detail,
              "\"" + name + "\" -> \"" + name.substr(0, 37) + "\"");  // 35 characters, 37 bytes
    const ConvertedRow skipped =
        convert_row(row_of("1,3/5/2024,,X,,,\"1\n2\""), settings_in_order());
    EXPECT_EQ(skipped.reason(), "the amount is not a number: \"1 2\"");
}

TEST(ConvertRow, SurplusFieldsJoinTheMergeColumn) {
    RowSettings s = settings_in_order();
    s.merge_column = 3;
    const ConvertedRow row = convert_row(row_of("1,3/5/2024,,PITTS, JR, DAVID,,,5"), s);
    ASSERT_TRUE(row.written) << row.reason();
    EXPECT_EQ(std::string(field_text(row.record.NAME)), "PITTS, JR, DAVID" + app_test::S(19));
    EXPECT_EQ(std::string(row.record.AMOUNT, 15), "000000000005.00");
    // Fewer fields cannot be mended.
    EXPECT_FALSE(convert_row(row_of("1,3/5/2024,,X,,5"), s).written);

    s.delimiter = ';';
    CsvReader reader("1;3/5/2024;;A;B;;;5", ';');
    CsvRow semicolons;
    reader.next(semicolons);
    const ConvertedRow joined = convert_row(semicolons, s);
    ASSERT_TRUE(joined.written) << joined.reason();
    EXPECT_EQ(std::string(field_text(joined.record.NAME)).substr(0, 3), "A;B");
}

TEST(ConvertRow, WrittenRowsReadBackThroughTheImport) {
    const std::string lines[] = {
        "100001,3/5/2024,17,\"ACME, INC.\",PO1,\"PAPER, PENS\",\"$1,234.50\"",
        "2101282,12/31/1999,1234567890,\"" + k40 + "\",PO-123456," + k40 + ",-0.01",
        "W22-214,2/29/2024,,O\xE2\x80\x99NEIL \xC3\x89" "COLE,,\"12\"\" PIPE\",999999999999.99",
        "1,1/1/2024,,X,,,-99999999999.99",
        "1,1/1/2024,,X,,,.5",
    };
    for (const std::string &line : lines) {
        const ConvertedRow row = convert_row(row_of(line), settings_in_order());
        ASSERT_TRUE(row.written) << line << ": " << row.reason();
        std::string csv = csv_line_from_record(row.record);
        ASSERT_TRUE(csv.ends_with("\r\n"));
        csv.resize(csv.size() - 2);
        CheckRecord back = blank_record();
        ASSERT_EQ(parse_import_line(csv, back), ImportLineStatus::Ok) << csv;
        EXPECT_EQ(record_bytes(back), record_bytes(row.record)) << line;
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

TEST(ConvertRow, ConversionReportAddsUp) {
    ConvertRequest request;
    const PreparedConversion prepared = prepare_conversion(kSmallRegister, request);
    ASSERT_TRUE(prepared.ok()) << prepared.error;
    EXPECT_EQ(prepared.settings.date_format.pattern(), "MM/DD/YYYY");

    std::vector<ConvertedRow> rows;
    const ConversionReport report =
        convert_rows(kSmallRegister, prepared, [&](const ConvertedRow &r) { rows.push_back(r); });
    ASSERT_EQ(rows.size(), 7u);
    EXPECT_EQ(report.rows_read(), 7u);
    EXPECT_EQ(report.rows_written(), 5u);
    ASSERT_EQ(report.skipped().size(), 2u);
    EXPECT_EQ(report.skipped()[0].line, 4u);
    EXPECT_EQ(report.skipped()[1].line, 5u);
    EXPECT_EQ(report.tally(IssueKind::CheckIdCut).rows, 1u);
    EXPECT_EQ(report.tally(IssueKind::CheckIdCut).examples.at(0).line, 6u);
    EXPECT_EQ(report.tally(IssueKind::CheckIdShared).rows, 1u);
    EXPECT_EQ(report.total_cents(), 10000 + 100025 - 25 - 1000 + 100);
    EXPECT_EQ(rows[5].line, 8u);  // the empty line 7 is no row

    const std::string text = report.text();
    EXPECT_NE(text.find("row 4: the date is not a date"), std::string::npos) << text;
    EXPECT_NE(text.find("row 5: no amount"), std::string::npos) << text;
    EXPECT_NE(text.find("row 6: 12345678 -> 345678"), std::string::npos) << text;
    EXPECT_NE(text.find("row 9: 345678 and 12345678 are both 345678"), std::string::npos) << text;
    EXPECT_NE(text.find("vendor name <- 3 \"Payee\" (guessed)"), std::string::npos) << text;
    EXPECT_TRUE(text.ends_with("Rows read: 7\nRows written: 5\nRows skipped: 2\n"
                               "Control total of the amounts written: 1,091.00\n"))
        << text;

    const std::vector<ConvertedRow> preview = preview_rows(kSmallRegister, prepared, 3);
    ASSERT_EQ(preview.size(), 3u);
    EXPECT_EQ(preview[2].line, 4u);
    EXPECT_FALSE(preview[2].written);
}

TEST(ConvertRow, PreparationFailsOnAWrongMapping) {
    const auto with = [](auto change) {
        ConvertRequest r;
        change(r);
        return r;
    };
    using R = ConvertRequest &;
    const struct {
        const char *what;
        std::string input;
        ConvertRequest request;
        const char *error_part;
    } cases[] = {
        {"empty file", "", {}, "no rows"},
        {"only a byte-order mark", "\xEF\xBB\xBF", {}, "no rows"},
        {"quote as delimiter", kSmallRegister, with([](R r) { r.delimiter = '"'; }), "delimiter"},
        {"unknown header name", kSmallRegister,
         with([](R r) { r.columns[static_cast<int>(Target::Date)] = "Issued"; }),
         "--date: the header has no column \"Issued\""},
        {"column number past the last", kSmallRegister,
         with([](R r) { r.columns[static_cast<int>(Target::Amount)] = "6"; }), "does not exist"},
        {"required field left out", kSmallRegister,
         with([](R r) { r.columns[static_cast<int>(Target::VendorName)] = ""; }),
         "no column for the vendor name"},
        {"nothing guessed without a header", kSmallRegister,
         with([](R r) { r.has_header = false; }), "no column for the date"},
        {"date pattern without a day", kSmallRegister,
         with([](R r) { r.date_format = "MM/YYYY"; }), "--date-format MM/YYYY"},
        {"date column holds no dates", kSmallRegister,
         with([](R r) { r.columns[static_cast<int>(Target::Date)] = "Payee"; }),
         "no known date format reads the date column 3 \"Payee\""},
        {"amount column holds no amounts", kSmallRegister,
         with([](R r) { r.columns[static_cast<int>(Target::Amount)] = "memo"; }),
         "amount column 4 \"Memo\" holds no amount"},
        {"merge column missing", kSmallRegister,
         with([](R r) { r.merge_column = "Name"; }), "--merge-extra"},
    };
    for (const auto &c : cases) {
        const PreparedConversion p = prepare_conversion(c.input, c.request);
        EXPECT_FALSE(p.ok()) << c.what;
        EXPECT_NE(p.error.find(c.error_part), std::string::npos) << c.what << ": " << p.error;
    }
}

TEST(ConvertRow, HeaderlessFileByNumbers) {
    // Unquoted commas in names: four fields from the left, two from the
    // right, the name between.
    const std::string input =
        "04/03/2013,AP,51177,OH,AITKEN, JAMES JEFFREY,IS,417.36\n"
        "04/03/2013,AP,51178,OH,ALLWASTE SERVICES INC,IS,350454.53\n"
        "04/24/2013,AP,51949,OH,PITTS, JR, DAVID MICHAEL,IS,216.85\n";
    ConvertRequest request;
    request.has_header = false;
    request.columns[static_cast<int>(Target::CheckId)] = "3";
    request.columns[static_cast<int>(Target::Date)] = "1";
    request.columns[static_cast<int>(Target::VendorName)] = "5";
    request.columns[static_cast<int>(Target::Amount)] = "7";
    request.merge_column = "5";
    const PreparedConversion prepared = prepare_conversion(input, request);
    ASSERT_TRUE(prepared.ok()) << prepared.error;
    EXPECT_EQ(prepared.settings.field_count, 7u);
    std::vector<std::string> names;
    const ConversionReport report = convert_rows(input, prepared, [&](const ConvertedRow &r) {
        names.push_back(std::string(field_text(r.record.NAME)));
    });
    EXPECT_EQ(report.rows_written(), 3u);
    EXPECT_EQ(report.total_cents(), 41736 + 35045453 + 21685);
    ASSERT_EQ(names.size(), 3u);
    EXPECT_TRUE(names[2].starts_with("PITTS, JR, DAVID MICHAEL ")) << names[2];
}

// Damaged and hostile files: whatever the bytes, preparing and converting
// return, and every row read is either written or listed as skipped.  Rows
// are built from plausible and damaged pieces, then bytes are mutated.
TEST(ConvertRow, ArbitraryBytesNeverBreakTheConversion) {
    const std::vector<std::string> pieces = {
        "3/5/2024", "2024-03-05", "02/30/2024", "12.50", "$1,234.50", "(5)", "-0.001", "1e9",
        "\"A, B\"", "\"open", "x\"y", "", " ", "~", "\xE2\x80\x99", "\xC3", "\xEF\xBB\xBF",
        "99999999999999999999", "W22-214", "2101282", k40, "\t", "\"\"\"\"", "\r", "\n"};
    const std::string separators = ",,,,,\n\r;\"";
    std::uint64_t state = 12345;
    auto next = [&] {
        state = state * 6364136223846793005ULL + 1442695040888963407ULL;
        return static_cast<std::size_t>(state >> 33);
    };
    int converted_rounds = 0;
    for (int round = 0; round < 1000; ++round) {
        std::string input = "Check,Date,Payee,Amount\n";
        for (std::size_t rows = next() % 12; rows > 0; --rows) {
            for (int field = 0; field < 4; ++field) {
                // Mostly the value the column wants, so most files convert.
                const std::size_t pick = next() % (pieces.size() + 4);
                input += pick < pieces.size() ? pieces[pick]
                         : field == 1         ? std::string("3/5/2024")
                                              : std::string("12.50");
                const bool damaged = next() % 10 == 0;
                input += damaged ? separators[next() % separators.size()] : field < 3 ? ',' : '\n';
            }
        }
        for (std::size_t flips = next() % 4; flips > 0; --flips)
            input[next() % input.size()] = static_cast<char>(next() % 256);
        ConvertRequest request;
        request.has_header = next() % 4 != 0;
        if (!request.has_header)
            for (std::size_t t = 0; t < kTargetCount; ++t)
                request.columns[t] = std::to_string(1 + next() % 4);
        if (next() % 3 == 0) request.merge_column = std::to_string(1 + next() % 3);
        const PreparedConversion prepared = prepare_conversion(input, request);
        if (!prepared.ok()) continue;
        ++converted_rounds;
        std::size_t handed = 0, written = 0;
        const ConversionReport report = convert_rows(input, prepared, [&](const ConvertedRow &r) {
            ++handed;
            written += r.written;
            if (!r.written) {
                EXPECT_NE(r.reason(), "");
                return;
            }
            EXPECT_EQ(r.reason(), "");
            const std::string line = csv_line_from_record(r.record);
            EXPECT_EQ(line.find_first_of("\r\n"), line.size() - 2) << line;
        });
        EXPECT_EQ(report.rows_read(), handed);
        EXPECT_EQ(report.rows_written(), written);
        EXPECT_EQ(report.rows_read(), report.rows_written() + report.skipped().size());
        const std::string text = report.text();
        EXPECT_EQ(text.find('\0'), std::string::npos);
    }
    EXPECT_GT(converted_rounds, 150);  // the loop does reach the conversion
}

}  // namespace
