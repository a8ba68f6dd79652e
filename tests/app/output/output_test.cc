// The outputs: register CSV lines from records and from result lines, the
// export of the checks among selected lines, the printed report's pages and
// words, and the standard CSV, XLSX and JSON exports read back by Python's
// own readers.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "app/output/csv_line.h"
#include "app/output/page_layout.h"
#include "app/output/report_text.h"
#include "app/output/result_export.h"
#include "app/output/table_export.h"
#include "app/search/result_lines.h"
#include "app/search/result_list.h"
#include "app/search/summary.h"
#include "app/support/records.h"
#include "app/support/test_register.h"

namespace {

using namespace ledgrove;
using namespace app_test;

TEST(CsvLine, FromRecordsAndFromEveryKindOfListLine) {
    ResultList list;
    const struct {
        const CheckRecord &record;
        const std::string &line, &csv;
    } cases[] = {{R1, L1, C1}, {R2, L2, C2}, {R3, L3, C3}, {R4, L4, C4}};
    for (const auto &c : cases) {
        EXPECT_EQ(csv_line_from_record(c.record), c.csv);
        EXPECT_EQ(csv_line_from_result_line(c.line), c.csv);
        list.append(c.line);
    }
    CheckRecord r = make_record("000123", "19990705", "", "", "", "", "000000000000.50");
    EXPECT_EQ(csv_line_from_record(r).substr(109), ",.50\r\n");
    EXPECT_EQ(csv_line_from_result_line(record_line(r)).substr(109), ",.50\r\n");
    // The export of selected lines: the checks among them in the order
    // given, lines past the end passed over.
    list.append(separator_line());
    list.append(S(81) + "   Subtotal for 100001 ----->" + S(10) + "87.50");
    EXPECT_EQ(result_export_text(list, {0, 2, 3}), C1 + C3 + C4);
    EXPECT_EQ(result_export_text(list, {4, 1, 5, 9}), C2);
    kvl_test::TempDir dir;
    const struct { std::string path; WriteStatus status; std::string text; } writes[] = {
        {dir.path("out.csv"), WriteStatus::Written, "1 line written to " + dir.path("out.csv") + "."},
        {dir.path("missing/out.csv"), WriteStatus::OpenFailed,
         "Cannot create " + dir.path("missing/out.csv") + ": file not found (error 2)."},
        {dir.root(), WriteStatus::OpenFailed, "Cannot create " + dir.root() + ": access denied (error 5)."},
        {"/dev/full", WriteStatus::WriteFailed, "Cannot write /dev/full: the disk is full (error 112)."},
    };
    for (const auto &w : writes) {
        const WriteOutcome written = write_export_file(w.path, C1);
        EXPECT_EQ(written.status, w.status) << w.path;
        EXPECT_EQ(written.notice.text, w.text);
    }
    EXPECT_EQ(read_file(dir.path("out.csv")), C1);
}

struct Drawn {
    int page, x, y;
    std::string text;
    TextRole role;
    Align align;
    bool operator==(const Drawn &) const = default;
};

class Recorder : public PageSurface {
public:
    void draw_text(int x, int y, std::string_view text, TextRole role, Align align) override {
        drawn.push_back({page, x, y, std::string(text), role, align});
    }
    void next_page() override { ++page; }
    bool keep_going() override { return lines_allowed-- > 0; }
    std::vector<Drawn> of(TextRole role, int p = 0) const {
        std::vector<Drawn> found;
        for (const Drawn &d : drawn)
            if (d.role == role && (p == 0 || d.page == p)) found.push_back(d);
        return found;
    }
    std::vector<Drawn> drawn;
    int page = 1, lines_allowed = 1 << 30;
};

TEST(PageLayout, PartsOfTheReportLandOnTheirPages) {
    const struct { PrinterMetrics metrics; int h, x, first_y, full_after, rows; } layouts[] = {
        // 6400 / 75 = 85; 2550 / 40 + 0; 100 + 85; 6600 - 200 - 170; 72 rows.
        {{2550, 6600, 0, 100}, 85, 63, 185, 6230, 72},
        // Quarter-inch offsets at 1200 dpi: 12600 / 75 = 168; 10200 / 40 + 300.
        {{10200, 13200, 300, 300}, 168, 555, 468, 12264, 71},
        // A paper no taller than its margins still places rows, one a page.
        {{100, 100, 10, 60}, 1, 12, 61, -22, 1},
    };
    for (const auto &l : layouts) {
        const PageLayout layout = page_layout(l.metrics, 7);
        EXPECT_EQ(std::vector<int>({layout.line_height, layout.left, layout.first_y, layout.full_after,
                                    layout.rows_per_page(), layout.column_x(110)}),
                  std::vector<int>({l.h, l.x, l.first_y, l.full_after, l.rows, l.x + 770}));
    }
    // Letter, 10 units a character: page 1 holds the title, two criteria
    // lines, a blank row, the headings and 67 lines; later pages the
    // headings and 71.  The summary takes a blank row and its own.
    const PageLayout letter = page_layout({2550, 6600, 0, 100}, 10);
    const struct { int lines; std::vector<int> per_page; } cases[] = {
        {0, {0}}, {65, {65}}, {66, {66, 0}}, {68, {67, 1}}, {137, {67, 70, 0}}, {139, {67, 71, 1}}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.lines);
        std::vector<std::string> text;
        for (int i = 1; i <= c.lines; ++i) text.push_back("line " + std::to_string(i));
        const std::vector<std::string_view> lines(text.begin(), text.end());
        const Report report{"/srv/register", {"criteria one", "criteria two"}, lines, "N checks", "Printed 07/14/2026"};
        const int pages = static_cast<int>(c.per_page.size());
        Recorder rec;
        EXPECT_EQ(report_page_count(report, letter), pages);
        EXPECT_EQ(lay_out_report(report, letter, rec), pages);
        std::vector<Drawn> want;  // row r of a page stands at y = 185 + 85 r
        for (int p = 1, line = 0; p <= pages; ++p) {
            const int opening = p == 1 ? 4 : 0;  // rows before the headings
            for (int i = 0; i < c.per_page[p - 1]; ++i)
                want.push_back({p, 63, 185 + 85 * (opening + 1 + i), text[line++], TextRole::Line, Align::Left});
            EXPECT_EQ(rec.of(TextRole::Footer, p),
                      (std::vector<Drawn>{{p, 63, 6305, "Page " + std::to_string(p) + " of " + std::to_string(pages),
                                           TextRole::Footer, Align::Left},
                                          {p, 63 + 1250, 6305, "Printed 07/14/2026", TextRole::Footer, Align::Right}}));
            const std::vector<Drawn> headings = rec.of(TextRole::Heading, p);
            ASSERT_EQ(headings.size(), 7u);
            EXPECT_EQ(headings.back(), (Drawn{p, 63 + 1250, 185 + 85 * opening, "Amount", TextRole::Heading, Align::Right}));
            EXPECT_EQ(rec.of(TextRole::Criteria, p).size(), p == 1 ? 2u : 0u);
        }
        EXPECT_EQ(rec.of(TextRole::Line), want);
        const int last_row = c.per_page.back() + (pages == 1 ? 5 : 1);
        EXPECT_EQ(rec.of(TextRole::Summary, pages).at(0).y, 185 + 85 * (last_row + 1));
        if (c.lines == 139) {  // pages 2 and 3 alone; a cancelled job stops its lines
            Recorder part, cancelled;
            EXPECT_EQ(lay_out_report(report, letter, part, 2, 3), 2);
            EXPECT_EQ(part.of(TextRole::Footer).at(0).text, "Page 2 of 3");
            EXPECT_EQ(part.of(TextRole::Line).at(0).text, "line 68");
            EXPECT_TRUE(part.of(TextRole::Title).empty());
            cancelled.lines_allowed = 5;
            EXPECT_EQ(lay_out_report(report, letter, cancelled), 1);
            EXPECT_EQ(cancelled.of(TextRole::Line).size(), 5u);
            EXPECT_TRUE(cancelled.of(TextRole::Summary).empty());
        }
    }
}

// The report's words: sums of the record lines only, in cents; the search
// in words, kept within a width.
TEST(ReportText, SumsAndCriteria) {
    ResultList list;
    ResultBuilder builder(list, {SortOrder::VendorName, true, false});
    builder.add(make_record("000001", "20070101", "V1", "ACME", "P1", "D", "000000001234.50"));
    builder.add(make_record("000002", "20070102", "V1", "ACME", "P1", "D", "000000000000.10"));
    builder.add(make_record("000003", "20070103", "V2", "ZETA", "P1", "D", "-00000000100.20"));
    builder.close();  // the separators, subtotals and blank lines count for nothing
    EXPECT_EQ(summary_text(sum_record_lines(list)), "3 checks, total 1,134.40");
    EXPECT_EQ(summary_text(sum_record_lines(list, std::vector<std::size_t>{0, 1, 2, 3, 99})),
              "2 checks, total 1,234.60");
    EXPECT_EQ(summary_text({47917, 41727526096}), "47,917 checks, total 417,275,260.96");
    EXPECT_EQ(selection_note(12, 4000), "The 12 lines selected of 4,000.");
    EXPECT_EQ(printed_on_text(2026, 7, 4), "Printed 07/04/2026");

    SearchInputs in;
    in.from = "20190301";
    in.to = "20190331";
    EXPECT_EQ(criteria_lines(in, SortOrder::Date, 125),
              (std::vector<std::string>{"Checks dated 03/01/2019 to 03/31/2019, in Date order.", "No match texts.",
                                        "Any amount.", "No subtotals."}));
    in.reverse = in.match_case = in.subtotals = true;
    in.vendor_name = "HOME DEPOT";
    in.description = "paper";
    in.amount = "$10,000";
    in.amount_operator = '>';
    EXPECT_EQ(criteria_lines(in, SortOrder::VendorName, 125),
              (std::vector<std::string>{"Checks dated 03/01/2019 to 03/31/2019, in Vendor Name order, reversed.",
                                        "Vendor Name contains \"HOME DEPOT\", Description contains \"paper\"; "
                                        "letter case counts.",
                                        "Amount greater than 10,000.00.", "Subtotals by Vendor Name."}));
    in.vendor_name = std::string(35, 'V');
    in.description = "A LONG DESCRIPTION TEXT";
    std::string joined;  // nothing is lost but the spaces the lines were cut at
    for (const std::string &line : criteria_lines(in, SortOrder::PONumber, 30)) {
        EXPECT_LE(line.size(), 30u) << line;
        joined += line + " ";
    }
    EXPECT_NE(joined.find("A LONG DESCRIPTION TEXT"), std::string::npos) << joined;
    EXPECT_NE(joined.find("PO Number order, reversed."), std::string::npos) << joined;
}

// A row as tests/app/output/read_table.py prints it: tab-separated, two
// decimals to every number.
std::string row(const std::vector<std::string> &fields) {
    std::string line;
    for (std::size_t i = 0; i < fields.size(); ++i) line += (i ? "\t" : "") + fields[i];
    return line + "\n";
}

std::string two_decimals(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", value);
    return text;
}

TEST(TableExport, EveryFormatReadsBackAsTheChecks) {
    TestRegister reg;
    // A quote, a Windows-1252 letter and a cent below zero besides the sample.
    ASSERT_EQ(reg.import_records({R1, R2, R3, R4, make_record("100009", "20080229", "V\"9", "CAF\xC9 \"LE\" ROYAL",
                                                              "", "LUNCH; 2 \"GUESTS\"", "-00000000000.05")})
                  .imported, 5u);
    // The records as stored, in date order (record ids break ties).
    auto trimmed = [](const char *field, std::size_t n) {
        std::string text(field, n);
        return text.erase(text.find_last_not_of(' ') + 1);
    };
    std::string want;
    double sum = 0;
    for (const CheckRecord &r : records_of(reg.set())) {
        std::string name = trimmed(r.NAME, 35);
        if (name[3] == '\xC9') name.replace(3, 1, "\xC3\x89");  // UTF-8 in every file
        const double amount = std::stod(std::string(r.AMOUNT, 15));
        sum += amount;
        const std::string date(r.CHKDATE, 8);
        want += row({trimmed(r.CHKID, 6), date.substr(0, 4) + "-" + date.substr(4, 2) + "-" + date.substr(6),
                     trimmed(r.VENDORID, 10), name, trimmed(r.POID, 8), trimmed(r.DESC, 35), two_decimals(amount)});
    }
    SearchInputs in;
    in.from = "20000101";
    in.to = "20991231";
    const std::string titles = row({"Check ID", "Date", "Vendor ID", "Vendor Name", "PO Number", "Description", "Amount"});
    const std::string script = read_file(LEDGROVE_SOURCE_DIR "/tests/app/output/read_table.py");
    const std::pair<const char *, std::string> files[] = {
        {"out.csv", titles + want},
        {"out.XLSX", titles + want + row({"TOTAL", "", "", "", "", "", two_decimals(sum)})},  // bold, a sum
        {"out.json", row({"check_id", "date", "vendor_id", "vendor_name", "po_number", "description", "amount"}) + want}};
    for (const auto &[name, text] : files) {
        const std::optional<TableFormat> format = table_format_of(name);
        ASSERT_TRUE(format) << name;
        const TableExport done = export_search_table(reg.set(), SortOrder::Date, in, reg.path(name), *format);
        EXPECT_EQ(done.notice.text, "5 lines written to " + reg.path(name) + ".");
        EXPECT_EQ(python(script, {reg.path(name)}), text) << name;
    }
    EXPECT_FALSE(table_format_of("out.txt"));

    // A summary: its rows and, in XLSX, a total row that is their sum.
    const Summary summary = summarize(reg.set(), SortOrder::Date, in, {SummaryGroup::Vendor});
    EXPECT_TRUE(export_summary_table(summary, reg.path("sum.xlsx"), TableFormat::Xlsx).ok);
    const std::string table = python(script, {reg.path("sum.xlsx")});
    EXPECT_NE(table.find("\n" + row({"0000000018", "SMITH, JOHN", "1.00", "1234.50", two_decimals(1234.50 / sum),
                                      "2007-10-02", "2007-10-02"})), std::string::npos) << table;
    EXPECT_TRUE(table.ends_with(row({"TOTAL", "", "5.00", two_decimals(sum), "1.00", "", ""}))) << table;

    const TableExport refused =
        export_search_table(reg.set(), SortOrder::Date, in, reg.path("no/dir.csv"), TableFormat::Csv);
    EXPECT_FALSE(refused.ok);
    EXPECT_EQ(refused.notice.text.rfind("Cannot create " + reg.path("no/dir.csv"), 0), 0u);
}

}  // namespace
