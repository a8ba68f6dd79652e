// page_layout_test.cc - where the parts of a report land: title and
// criteria on page 1, headings over their columns on every page, lines in
// order, the summary kept whole, "Page X of Y" and the date in each footer.
#include "app/output/page_layout.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace {

using ledgrove::Align;
using ledgrove::page_layout;
using ledgrove::PageLayout;
using ledgrove::PrinterMetrics;
using ledgrove::TextRole;

struct Drawn {
    int page, x, y;
    std::string text;
    TextRole role;
    Align align;
};

class Recorder : public ledgrove::PageSurface {
public:
    void draw_text(int x, int y, std::string_view text, TextRole role, Align align) override {
        drawn.push_back({page, x, y, std::string(text), role, align});
    }
    void next_page() override { ++page; }
    bool keep_going() override { return lines_allowed-- > 0; }

    std::vector<Drawn> on_page(int p, TextRole role) const {
        std::vector<Drawn> found;
        for (const Drawn &d : drawn)
            if (d.page == p && d.role == role) found.push_back(d);
        return found;
    }

    std::vector<Drawn> drawn;
    int page = 1;
    int lines_allowed = 1 << 30;
};

// 72 rows of 85 units, the first at y = 185, the footer at 6305; 10 units a character.
const PageLayout kLetter = page_layout({2550, 6600, 0, 100}, 10);

struct Lines {
    std::vector<std::string> text;
    std::vector<std::string_view> views;
    explicit Lines(int n) {
        for (int i = 1; i <= n; ++i) text.push_back("line " + std::to_string(i));
        views.assign(text.begin(), text.end());
    }
};

ledgrove::Report report_of(const Lines &lines) {
    return {"/srv/register", {"criteria one", "criteria two"}, lines.views, "N checks, total X",
            "Printed 07/14/2026"};
}

TEST(PageLayout, Quantities) {
    struct Case {
        PrinterMetrics metrics;
        int h, x, first_y, full_after, rows;
    } cases[] = {
        // 6400 / 75 = 85; 2550 / 40 + 0; 100 + 85; 6600 - 200 - 170; 72 rows.
        {{2550, 6600, 0, 100}, 85, 63, 185, 6230, 72},
        // Letter at 1200 dpi with quarter-inch offsets: 12600 / 75 = 168.
        {{10200, 13200, 300, 300}, 168, 555, 468, 12264, 71},
        // A paper no taller than its margins still places rows, one a page.
        {{100, 100, 10, 60}, 1, 12, 61, -22, 1},
    };
    for (const Case &c : cases) {
        const PageLayout layout = page_layout(c.metrics, 7);
        EXPECT_EQ(layout.line_height, c.h);
        EXPECT_EQ(layout.left, c.x);
        EXPECT_EQ(layout.first_y, c.first_y);
        EXPECT_EQ(layout.full_after, c.full_after);
        EXPECT_EQ(layout.rows_per_page(), c.rows) << c.metrics.physical_height;
        EXPECT_EQ(layout.column_x(110), c.x + 770);
    }
}

TEST(PageLayout, PartsOnPages) {
    // Page 1: title, two criteria lines, a blank row, the headings, then
    // lines in rows 5 to 71 (67 lines); later pages: headings and 71 lines.
    // The blank row and the summary need two rows.
    struct Case {
        int lines;
        std::vector<int> lines_per_page;
    } cases[] = {
        {0, {0}},          {1, {1}},          {65, {65}},
        {66, {66, 0}},     {67, {67, 0}},     {68, {67, 1}},
        {136, {67, 69}},   {137, {67, 70, 0}}, {139, {67, 71, 1}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.lines);
        const Lines lines(c.lines);
        const ledgrove::Report report = report_of(lines);
        Recorder rec;
        const int pages = static_cast<int>(c.lines_per_page.size());
        EXPECT_EQ(ledgrove::report_page_count(report, kLetter), pages);
        EXPECT_EQ(ledgrove::lay_out_report(report, kLetter, rec), pages);
        ASSERT_EQ(rec.page, pages);

        int line = 0;
        for (int p = 1; p <= pages; ++p) {
            SCOPED_TRACE(p);
            const int opening = p == 1 ? 4 : 0;  // rows before the headings
            // The headings: each over its column, the amount's ending at column 125.
            const std::vector<Drawn> headings = rec.on_page(p, TextRole::Heading);
            ASSERT_EQ(headings.size(), 7u);
            std::map<std::string, std::pair<int, Align>> at;
            for (const Drawn &h : headings) {
                EXPECT_EQ(h.y, 185 + 85 * opening);
                at[h.text] = {h.x, h.align};
            }
            EXPECT_EQ(at["Check ID"], std::make_pair(63, Align::Left));
            EXPECT_EQ(at["Date"], std::make_pair(63 + 70, Align::Left));
            EXPECT_EQ(at["Vendor Name"], std::make_pair(63 + 290, Align::Left));
            EXPECT_EQ(at["Description"], std::make_pair(63 + 740, Align::Left));
            EXPECT_EQ(at["Amount"], std::make_pair(63 + 1250, Align::Right));

            const std::vector<Drawn> body = rec.on_page(p, TextRole::Line);
            ASSERT_EQ(static_cast<int>(body.size()), c.lines_per_page[p - 1]);
            for (std::size_t i = 0; i < body.size(); ++i) {
                EXPECT_EQ(body[i].text, "line " + std::to_string(++line));
                EXPECT_EQ(body[i].y, 185 + 85 * (opening + 1 + static_cast<int>(i)));
                EXPECT_EQ(body[i].x, 63);
            }
            const std::vector<Drawn> footer = rec.on_page(p, TextRole::Footer);
            ASSERT_EQ(footer.size(), 2u);
            EXPECT_EQ(footer[0].text, "Page " + std::to_string(p) + " of " + std::to_string(pages));
            EXPECT_EQ(footer[0].y, 6305);
            EXPECT_EQ(footer[1].text, "Printed 07/14/2026");
            EXPECT_EQ(footer[1].x, 63 + 1250);
            EXPECT_EQ(footer[1].align, Align::Right);
            EXPECT_EQ(rec.on_page(p, TextRole::Title).size(), p == 1 ? 1u : 0u);
            EXPECT_EQ(rec.on_page(p, TextRole::Criteria).size(), p == 1 ? 2u : 0u);
        }
        EXPECT_EQ(line, c.lines);
        // The summary: one blank row after the last line (or the headings).
        const std::vector<Drawn> summary = rec.on_page(pages, TextRole::Summary);
        ASSERT_EQ(summary.size(), 1u);
        const int last_row = c.lines_per_page.back() + (pages == 1 ? 5 : 1);
        EXPECT_EQ(summary[0].y, 185 + 85 * (last_row + 1));
    }
}

TEST(PageLayout, PageRange) {
    const Lines lines(300);  // 67 + 71 + 71 + 71 + 20: 5 pages
    const ledgrove::Report report = report_of(lines);
    ASSERT_EQ(ledgrove::report_page_count(report, kLetter), 5);
    Recorder rec;
    EXPECT_EQ(ledgrove::lay_out_report(report, kLetter, rec, 2, 3), 2);
    EXPECT_EQ(rec.page, 2);  // one page break, between the two
    EXPECT_EQ(rec.on_page(1, TextRole::Footer)[0].text, "Page 2 of 5");
    EXPECT_EQ(rec.on_page(1, TextRole::Line).front().text, "line 68");
    EXPECT_EQ(rec.on_page(2, TextRole::Footer)[0].text, "Page 3 of 5");
    EXPECT_EQ(rec.on_page(2, TextRole::Line).back().text, "line 209");
    EXPECT_TRUE(rec.on_page(1, TextRole::Title).empty());

    Recorder past_end;
    EXPECT_EQ(ledgrove::lay_out_report(report, kLetter, past_end, 6, 9), 0);
    EXPECT_TRUE(past_end.drawn.empty());
}

TEST(PageLayout, TinyPagesStillHoldALineEach) {
    const PageLayout tiny = page_layout({100, 100, 10, 60}, 1);
    const Lines lines(3);
    Recorder rec;
    const int pages = ledgrove::lay_out_report(report_of(lines), tiny, rec);
    EXPECT_EQ(rec.page, pages);
    for (int p = 1, line = 0; p <= pages; ++p) {
        const std::vector<Drawn> body = rec.on_page(p, TextRole::Line);
        EXPECT_LE(body.size(), 1u);
        for (const Drawn &d : body) EXPECT_EQ(d.text, "line " + std::to_string(++line));
    }
    EXPECT_EQ(rec.on_page(pages, TextRole::Summary).size(), 1u);
}

TEST(PageLayout, CancelStopsTheLines) {
    const Lines lines(500);
    Recorder rec;
    rec.lines_allowed = 5;
    EXPECT_EQ(ledgrove::lay_out_report(report_of(lines), kLetter, rec), 1);
    EXPECT_EQ(rec.on_page(1, TextRole::Line).size(), 5u);
    EXPECT_TRUE(rec.on_page(1, TextRole::Summary).empty());
}

}  // namespace
