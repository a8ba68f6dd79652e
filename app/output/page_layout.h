// page_layout.h - where the lines of a printed report go on the page.
//
// Everything is in printer device units, measured from the printable area's
// top left corner, and comes from four numbers of the printer: the paper's
// physical width and height and the physical offsets of the printable area.
//
//   line height h     (height - 2 * offset_y) / 75
//   left edge x       width / 40 + offset_x
//   first line's y    offset_y + h, on every page
//   page full         when, after a line, the next y exceeds
//                     height - 2 * offset_y - 2 * h
//
// Each line is drawn at (x, y) with y the top of its text, then y moves down
// by h.  When a page is full and more lines follow, "Page N" is drawn at the
// next y and a new page begins; after the last line the last page gets its
// "Page N" the same way.  So with height 6600 and offset_y 100 a page holds
// 72 lines of height 85 and its number stands at y = 6305.
//
// Nothing here draws: a PageSurface does (a printer, or a test's recorder).
#ifndef LEDGROVE_APP_OUTPUT_PAGE_LAYOUT_H
#define LEDGROVE_APP_OUTPUT_PAGE_LAYOUT_H

#include <span>
#include <string>
#include <string_view>

namespace ledgrove {

inline constexpr int kLinesPerPaperHeight = 75;
inline constexpr int kLeftMarginDivisor = 40;
inline constexpr std::string_view kPageNumberPrefix = "Page ";

struct PrinterMetrics {
    int physical_width;
    int physical_height;
    int offset_x;
    int offset_y;
};

struct PageLayout {
    int line_height;
    int left;
    int first_y;
    int full_after;  // a page is full once the next y is beyond this

    // How many lines one page holds (at least one: a line is drawn before
    // the page is tested).
    int lines_per_page() const;
};

// A line height below one device unit (a paper no taller than its margins)
// is taken as one, so every line still gets a place.
PageLayout page_layout(const PrinterMetrics &metrics);

class PageSurface {
public:
    virtual ~PageSurface() = default;
    // Text whose top left corner stands at (x, y).
    virtual void draw_text(int x, int y, std::string_view text) = 0;
    // Ends the current page and starts the next.
    virtual void next_page() = 0;
    // False once the job was cancelled: no more lines are drawn.
    virtual bool keep_going() { return true; }
};

std::string page_number_text(int page);

// Draws the lines and the page numbers; returns the number of pages begun.
// The caller has begun the first page and ends the last one.
int lay_out_report(std::span<const std::string_view> lines, const PageLayout &layout,
                   PageSurface &surface);

}  // namespace ledgrove

#endif  // LEDGROVE_APP_OUTPUT_PAGE_LAYOUT_H
