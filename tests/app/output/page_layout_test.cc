// page_layout_test.cc - where report lines and page numbers land.
#include "app/output/page_layout.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using ledgrove::page_layout;
using ledgrove::PageLayout;
using ledgrove::PrinterMetrics;

struct Drawn {
    int page, x, y;
    std::string text;
};

class Recorder : public ledgrove::PageSurface {
public:
    void draw_text(int x, int y, std::string_view text) override {
        drawn.push_back({page, x, y, std::string(text)});
    }
    void next_page() override { ++page; }
    bool keep_going() override { return lines_allowed-- > 0; }

    std::vector<Drawn> drawn;
    int page = 1;
    int lines_allowed = 1 << 30;
};

std::vector<std::string> numbered_lines(int n) {
    std::vector<std::string> lines;
    for (int i = 1; i <= n; ++i) lines.push_back("line " + std::to_string(i));
    return lines;
}

int print(const std::vector<std::string> &text, const PageLayout &layout, Recorder &rec) {
    std::vector<std::string_view> lines(text.begin(), text.end());
    return ledgrove::lay_out_report(lines, layout, rec);
}

TEST(PageLayout, Quantities) {
    struct Case {
        PrinterMetrics metrics;
        int h, x, first_y, full_after, per_page;
    } cases[] = {
        // 6400 / 75 = 85; 2550 / 40 + 0; 100 + 85; 6600 - 200 - 170; 72 lines.
        {{2550, 6600, 0, 100}, 85, 63, 185, 6230, 72},
        // Letter at 1200 dpi with quarter-inch offsets: 12600 / 75 = 168.
        {{10200, 13200, 300, 300}, 168, 555, 468, 12264, 71},
        // No offsets: 3300 / 75 = 44, (3212 - 44) / 44 + 1 = 73.
        {{2550, 3300, 0, 0}, 44, 63, 44, 3212, 73},
        // A paper no taller than its margins still places lines, one a page.
        {{100, 100, 10, 60}, 1, 12, 61, -22, 1},
    };
    for (const Case &c : cases) {
        const PageLayout layout = page_layout(c.metrics);
        EXPECT_EQ(layout.line_height, c.h);
        EXPECT_EQ(layout.left, c.x);
        EXPECT_EQ(layout.first_y, c.first_y);
        EXPECT_EQ(layout.full_after, c.full_after);
        EXPECT_EQ(layout.lines_per_page(), c.per_page) << c.metrics.physical_height;
    }
}

TEST(PageLayout, PagesAndNumbers) {
    const PageLayout layout = page_layout({2550, 6600, 0, 100});
    struct Case {
        int lines;
        int pages;
        std::vector<int> last_line_of_page;  // line number drawn last on each page
    } cases[] = {
        {1, 1, {1}},
        {72, 1, {72}},         // fills the page exactly: its number follows on it
        {73, 2, {72, 73}},
        {144, 2, {72, 144}},
        {145, 3, {72, 144, 145}},
    };
    for (const Case &c : cases) {
        Recorder rec;
        EXPECT_EQ(print(numbered_lines(c.lines), layout, rec), c.pages) << c.lines;
        // Every page ends with its number, drawn one line below its last line.
        int line = 0;
        for (int page = 1; page <= c.pages; ++page) {
            std::vector<Drawn> on_page;
            for (const Drawn &d : rec.drawn)
                if (d.page == page) on_page.push_back(d);
            ASSERT_FALSE(on_page.empty()) << "page " << page;
            const Drawn &number = on_page.back();
            EXPECT_EQ(number.text, "Page " + std::to_string(page));
            const Drawn &last = on_page[on_page.size() - 2];
            EXPECT_EQ(last.text, "line " + std::to_string(c.last_line_of_page[page - 1]));
            EXPECT_EQ(number.y, last.y + 85);
            EXPECT_EQ(on_page.front().y, 185);
            for (std::size_t i = 0; i + 1 < on_page.size(); ++i) {
                EXPECT_EQ(on_page[i].text, "line " + std::to_string(++line));
                EXPECT_EQ(on_page[i].y, 185 + 85 * static_cast<int>(i));
                EXPECT_EQ(on_page[i].x, 63);
            }
        }
        EXPECT_EQ(line, c.lines);
    }
    // A full page's number stands at y = 6305.
    Recorder rec;
    print(numbered_lines(73), layout, rec);
    EXPECT_EQ(rec.drawn[72].text, "Page 1");
    EXPECT_EQ(rec.drawn[72].y, 6305);
}

TEST(PageLayout, CancelStopsTheLinesButNumbersThePage) {
    const PageLayout layout = page_layout({2550, 6600, 0, 100});
    Recorder rec;
    rec.lines_allowed = 5;
    EXPECT_EQ(print(numbered_lines(500), layout, rec), 1);
    ASSERT_EQ(rec.drawn.size(), 6u);
    EXPECT_EQ(rec.drawn.back().text, "Page 1");
}

}  // namespace
