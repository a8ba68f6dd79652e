// page_layout.cc - the report's lines placed on pages.
#include "app/output/page_layout.h"

#include <algorithm>

namespace ledgrove {

PageLayout page_layout(const PrinterMetrics &m) {
    PageLayout layout;
    layout.line_height =
        std::max(1, (m.physical_height - 2 * m.offset_y) / kLinesPerPaperHeight);
    layout.left = m.physical_width / kLeftMarginDivisor + m.offset_x;
    layout.first_y = m.offset_y + layout.line_height;
    layout.full_after = m.physical_height - 2 * m.offset_y - 2 * layout.line_height;
    return layout;
}

int PageLayout::lines_per_page() const {
    if (first_y + line_height > full_after) return 1;
    return (full_after - first_y) / line_height + 1;
}

std::string page_number_text(int page) {
    return std::string(kPageNumberPrefix) + std::to_string(page);
}

int lay_out_report(std::span<const std::string_view> lines, const PageLayout &layout,
                   PageSurface &surface) {
    int page = 0;
    int y = layout.first_y;
    for (std::size_t i = 0; i < lines.size() && surface.keep_going(); ++i) {
        surface.draw_text(layout.left, y, lines[i]);
        y += layout.line_height;
        if (y > layout.full_after && i + 1 < lines.size()) {
            surface.draw_text(layout.left, y, page_number_text(++page));
            y = layout.first_y;
            surface.next_page();
        }
    }
    surface.draw_text(layout.left, y, page_number_text(++page));
    return page;
}

}  // namespace ledgrove
