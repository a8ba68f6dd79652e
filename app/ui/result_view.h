// result_view.h - the result list under its column headings.
//
// A list view over the result lines, each drawn in the fixed-pitch list
// font from a known margin (kTextMargin) on, so that column c of every line
// begins exactly c character advances further right; and a header placed
// over the viewport (as a table view places its own) whose sections are
// sized from that advance, so each heading stands over its column
// (result_lines.h) at any font size, and follows the horizontal scroll.
// A click on a heading asks for a search in its order; the header's sort
// indicator shows the order listed and its direction.
#ifndef LEDGROVE_APP_UI_RESULT_VIEW_H
#define LEDGROVE_APP_UI_RESULT_VIEW_H

#include <QListView>
#include <cstddef>

#include "app/store/check_record.h"

class QHeaderView;

namespace ledgrove::ui {

// Pixels between a line's left edge (the viewport's, unscrolled) and its
// first character.
inline constexpr int kTextMargin = 3;

// The list font's sizes: the one it starts with and the range Ctrl+Plus and
// Ctrl+Minus move in.
inline constexpr int kDefaultPointSize = 8;
inline constexpr int kSmallestPointSize = 6;
inline constexpr int kLargestPointSize = 28;

class ResultView : public QListView {
    Q_OBJECT

public:
    explicit ResultView(QWidget *parent = nullptr);

    QHeaderView *header() const { return header_; }

    // The list font's size in points (clamped to the range above); the
    // line height, the columns and the headings follow it.
    void set_point_size(int points);
    int point_size() const { return points_; }

    // Where a column's first character stands, in this widget's coordinates
    // (not the viewport's), scrolled as the list is: for widgets placed over
    // the columns.
    int column_x(std::size_t column) const;

    // The arrow on the order's heading: up forward, down in reverse.
    void show_order(SortOrder order, bool reverse);

signals:
    void heading_clicked(SortOrder order);
    // The columns moved on the screen: a new font size, a scroll or a resize.
    void columns_moved();

protected:
    void updateGeometries() override;
    void scrollContentsBy(int dx, int dy) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void size_sections();
    int advance_x(std::size_t column) const;  // from the first column, unscrolled

    QHeaderView *header_ = nullptr;
    int points_ = 0;
    double advance_ = 0;  // one character of the list font, as a line lays it out
    int header_height_ = 0;
    bool placing_header_ = false;
};

}  // namespace ledgrove::ui

#endif  // LEDGROVE_APP_UI_RESULT_VIEW_H
