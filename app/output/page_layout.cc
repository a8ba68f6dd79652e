// page_layout.cc - a report's parts placed on pages.
#include "app/output/page_layout.h"

#include <algorithm>

#include "app/search/result_lines.h"

namespace ledgrove {
namespace {

// One pass over the report, row by row.  Without a surface it only counts
// the pages; with one it draws the pages in [first, last].
class Pager {
public:
    Pager(const Report &report, const PageLayout &layout, PageSurface *surface, int pages,
          int first, int last)
        : report_(report), layout_(layout), surface_(surface), pages_(pages), first_(first),
          last_(last), rows_(layout.rows_per_page()) {}

    // The pages begun.
    int run() {
        row(report_.title, TextRole::Title);
        for (const std::string &line : report_.criteria) row(line, TextRole::Criteria);
        row({}, TextRole::Criteria);
        headings_before_lines();
        for (std::string_view line : report_.lines) {
            if (past_last() || (surface_ && drawing() && !surface_->keep_going())) return page_;
            if (row_ >= rows_ && has_content_) {
                new_page();
                headings();
            }
            draw(layout_.left, line, TextRole::Line, Align::Left);
            ++row_;
            has_content_ = true;
        }
        if (row_ + 2 > rows_ && has_content_) {
            new_page();
            headings();
        }
        ++row_;  // blank
        draw(layout_.left, report_.summary, TextRole::Summary, Align::Left);
        footer();
        return page_;
    }

private:
    bool drawing() const { return page_ >= first_ && page_ <= last_; }
    bool past_last() const { return page_ > last_; }

    void draw(int x, std::string_view text, TextRole role, Align align) {
        if (surface_ && drawing() && !text.empty())
            surface_->draw_text(x, layout_.row_y(row_), text, role, align);
    }

    // A row of the opening part: it moves to a new page when this one is full.
    void row(std::string_view text, TextRole role) {
        if (row_ >= rows_ && has_content_) new_page();
        draw(layout_.left, text, role, Align::Left);
        ++row_;
        has_content_ = true;
    }

    // The headings go where at least one line can follow them.
    void headings_before_lines() {
        if (row_ + 2 > rows_ && has_content_) new_page();
        headings();
    }

    void headings() {
        for (const ResultColumn &c : kResultColumns) {
            const bool right = c.order == SortOrder::Amount;
            draw(layout_.column_x(right ? c.first + c.width : c.first), sort_order_caption(c.order),
                 TextRole::Heading, right ? Align::Right : Align::Left);
        }
        ++row_;
    }

    void footer() {
        const int saved = row_;
        row_ = rows_;
        draw(layout_.left, page_number_text(page_, pages_), TextRole::Footer, Align::Left);
        draw(layout_.column_x(kResultLineWidth), report_.printed_on, TextRole::Footer, Align::Right);
        row_ = saved;
    }

    void new_page() {
        footer();
        if (surface_ && page_ >= first_ && page_ + 1 <= last_) surface_->next_page();
        ++page_;
        row_ = 0;
        has_content_ = false;
    }

    const Report &report_;
    const PageLayout &layout_;
    PageSurface *surface_;
    int pages_, first_, last_;
    int rows_;
    int page_ = 1;
    int row_ = 0;
    bool has_content_ = false;
};

}  // namespace

PageLayout page_layout(const PrinterMetrics &m, double char_width) {
    PageLayout layout;
    layout.line_height = std::max(1, (m.physical_height - 2 * m.offset_y) / kLinesPerPaperHeight);
    layout.left = m.physical_width / kLeftMarginDivisor + m.offset_x;
    layout.first_y = m.offset_y + layout.line_height;
    layout.full_after = m.physical_height - 2 * m.offset_y - 2 * layout.line_height;
    layout.char_width = char_width;
    return layout;
}

int PageLayout::rows_per_page() const {
    if (first_y + line_height > full_after) return 1;
    return (full_after - first_y) / line_height + 1;
}

std::string page_number_text(int page, int pages) {
    return "Page " + std::to_string(page) + " of " + std::to_string(pages);
}

int report_page_count(const Report &report, const PageLayout &layout) {
    return Pager(report, layout, nullptr, 0, 1, INT_MAX).run();
}

int lay_out_report(const Report &report, const PageLayout &layout, PageSurface &surface, int first,
                   int last) {
    const int pages = report_page_count(report, layout);
    first = std::max(first, 1);
    last = std::min(last, pages);
    if (first > last) return 0;
    const int reached = Pager(report, layout, &surface, pages, first, last).run();
    return std::min(reached, last) - first + 1;
}

}  // namespace ledgrove
