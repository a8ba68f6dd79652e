// The outputs: register CSV lines from records and from result lines, the
// export of the checks among selected lines, the printed report's pages, and the standard
// CSV, XLSX and JSON exports read back by Python's own readers.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "app/output/csv_line.h"
#include "app/output/page_layout.h"
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
    bool operator==(const Drawn &) const = default;
};

class Recorder : public PageSurface {
public:
    void draw_text(int x, int y, std::string_view text) override {
        drawn.push_back({page, x, y, std::string(text)});
    }
    void next_page() override { ++page; }
    bool keep_going() override { return lines_allowed-- > 0; }
    std::vector<Drawn> drawn;
    int page = 1, lines_allowed = 1 << 30;
};

TEST(PageLayout, LinesAndPageNumbersLandOnTheirPages) {
    const struct { PrinterMetrics metrics; int h, x, first_y, full_after, per_page; } layouts[] = {
        // 6400 / 75 = 85; 2550 / 40 + 0; 100 + 85; 6600 - 200 - 170; 72 lines.
        {{2550, 6600, 0, 100}, 85, 63, 185, 6230, 72},
        // Quarter-inch offsets at 1200 dpi: 12600 / 75 = 168; 10200 / 40 + 300.
        {{10200, 13200, 300, 300}, 168, 555, 468, 12264, 71},
        // A paper no taller than its margins still places lines, one a page.
        {{100, 100, 10, 60}, 1, 12, 61, -22, 1},
    };
    for (const auto &l : layouts) {
        const PageLayout layout = page_layout(l.metrics);
        EXPECT_EQ(std::vector<int>({layout.line_height, layout.left, layout.first_y,
                                    layout.full_after, layout.lines_per_page()}),
                  std::vector<int>({l.h, l.x, l.first_y, l.full_after, l.per_page}));
    }
    // Each page: its lines one under the other, then its number one line
    // below the last.  A page filled exactly by the last line gets no blank
    // page after it.
    const PageLayout layout = page_layout({2550, 6600, 0, 100});
    for (int count : {1, 72, 73, 144, 145}) {
        std::vector<std::string> text;
        std::vector<Drawn> want;
        for (int i = 0; i < count; ++i) {
            text.push_back("line " + std::to_string(i + 1));
            const int page = i / 72 + 1, y = 185 + 85 * (i % 72);
            want.push_back({page, 63, y, text.back()});
            if (i % 72 == 71 || i + 1 == count) want.push_back({page, 63, y + 85, "Page " + std::to_string(page)});
        }
        const std::vector<std::string_view> lines(text.begin(), text.end());
        Recorder rec;
        EXPECT_EQ(lay_out_report(lines, layout, rec), (count + 71) / 72) << count;
        EXPECT_EQ(rec.drawn, want) << count;
        if (count == 145) {  // a cancelled job stops its lines but numbers its page
            Recorder cancelled;
            cancelled.lines_allowed = 5;
            EXPECT_EQ(lay_out_report(lines, layout, cancelled), 1);
            EXPECT_EQ(cancelled.drawn.back(), (Drawn{1, 63, 185 + 5 * 85, "Page 1"}));
        }
    }
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
