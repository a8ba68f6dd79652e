// page_layout.h - where the parts of a printed report go on its pages.
//
// Everything is in printer device units, measured from the printable area's
// top left corner, and comes from the printer's paper width and height, the
// physical offsets of its printable area, and the report font's character
// width:
//
//   row height h      (height - 2 * offset_y) / 75
//   left edge x       width / 40 + offset_x
//   row r's y         offset_y + h + r * h, the top of its text
//   rows of a page    those whose y stays within height - 2 * offset_y - 2 * h
//   footer            the row after the last
//   column c's x      x + c * character width
//
// With height 6600 and offset_y 100 a page has 72 rows of height 85 and its
// footer stands at y = 6305.
//
// The report: page 1 opens with the title, the criteria lines and a blank
// row; every page then has the column headings (each over its column of the
// result lines, the amount's right-aligned at the line's end), then result
// lines; after the last line come a blank row and the summary, on the next
// page when the last one has no room for both.  Each footer holds
// "Page X of Y" at the left edge and the date printed, right-aligned.  A
// page holds at least one line, however small it is.
//
// Nothing here draws: a PageSurface does (a printer, or a test's recorder).
#ifndef LEDGROVE_APP_OUTPUT_PAGE_LAYOUT_H
#define LEDGROVE_APP_OUTPUT_PAGE_LAYOUT_H

#include <climits>
#include <cmath>
#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace ledgrove {

inline constexpr int kLinesPerPaperHeight = 75;
inline constexpr int kLeftMarginDivisor = 40;

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
    int full_after;  // a row whose y is beyond this is past the page's last
    double char_width;  // as the font lays out a line: it may be a fraction

    // How many rows one page holds (at least one).
    int rows_per_page() const;
    int row_y(int row) const { return first_y + row * line_height; }
    int column_x(std::size_t column) const {
        return left + static_cast<int>(std::lround(static_cast<double>(column) * char_width));
    }
};

// A line height below one device unit (a paper no taller than its margins)
// is taken as one, so every row still gets a place.
PageLayout page_layout(const PrinterMetrics &metrics, double char_width);

struct Report {
    std::string title;
    std::vector<std::string> criteria;
    std::span<const std::string_view> lines;
    std::string summary;
    std::string printed_on;
};

enum class TextRole { Title, Criteria, Heading, Line, Summary, Footer };
enum class Align { Left, Right };  // at x: the text starts there, or ends there

class PageSurface {
public:
    virtual ~PageSurface() = default;
    // Text whose top stands at y.
    virtual void draw_text(int x, int y, std::string_view text, TextRole role, Align align) = 0;
    // Ends the current page and starts the next.
    virtual void next_page() = 0;
    // False once the job was cancelled: no more lines are drawn.
    virtual bool keep_going() { return true; }
};

// "Page 2 of 7"
std::string page_number_text(int page, int pages);

// The pages the report takes.
int report_page_count(const Report &report, const PageLayout &layout);

// Draws pages first to last (from 1; clipped to the report's pages) and
// returns how many it drew.  The caller has begun the first page drawn and
// ends the last one; next_page() comes between two pages drawn.
int lay_out_report(const Report &report, const PageLayout &layout, PageSurface &surface,
                   int first = 1, int last = INT_MAX);

}  // namespace ledgrove

#endif  // LEDGROVE_APP_OUTPUT_PAGE_LAYOUT_H
