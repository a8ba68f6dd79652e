// result_view.cc - the list, its line delegate and its header.
#include "app/ui/result_view.h"

#include <QFontMetricsF>
#include <QHeaderView>
#include <QPainter>
#include <QScrollBar>
#include <QStandardItemModel>
#include <QStyledItemDelegate>
#include <algorithm>
#include <cmath>

#include "app/search/result_lines.h"
#include "app/ui/dialog_template.h"

namespace ledgrove::ui {
namespace {

// Draws a line as plain text from kTextMargin on: the style's own item
// drawing adds margins of its choosing, and the headings must know exactly
// where the first character stands.
class LineDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override {
        const QPalette::ColorGroup group = !(option.state & QStyle::State_Enabled)
                                               ? QPalette::Disabled
                                           : (option.state & QStyle::State_Active) ? QPalette::Active
                                                                                   : QPalette::Inactive;
        const bool selected = option.state & QStyle::State_Selected;
        painter->save();
        if (selected) painter->fillRect(option.rect, option.palette.brush(group, QPalette::Highlight));
        painter->setPen(option.palette.color(group, selected ? QPalette::HighlightedText : QPalette::Text));
        painter->setFont(option.font);
        // The view's metrics, not new ones made for every line drawn.
        painter->drawText(QPoint(option.rect.left() + kTextMargin, option.rect.top() + option.fontMetrics.ascent()),
                          index.data().toString());
        painter->restore();
        if (option.state & QStyle::State_HasFocus) {
            QStyleOptionFocusRect focus;
            focus.QStyleOption::operator=(option);
            focus.backgroundColor = option.palette.color(group, selected ? QPalette::Highlight : QPalette::Base);
            const QWidget *view = option.widget;
            (view ? view->style() : nullptr)->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, painter, view);
        }
    }

    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &) const override {
        if (auto *view = qobject_cast<const QListView *>(option.widget)) return view->gridSize();
        return {};
    }
};

// The headings: each label from a small margin inside its section, in a
// size that fits the narrowest columns (the style's own margins and a
// sort arrow beside the label would leave "Check ID" no room over its six
// digits), and the sort arrow small in the section's top right corner,
// above the label.
class ColumnHeader : public QHeaderView {
public:
    ColumnHeader(QWidget *parent) : QHeaderView(Qt::Horizontal, parent) {}

    static constexpr int kLabelMargin = 2;

protected:
    void paintSection(QPainter *painter, const QRect &rect, int section) const override {
        if (!rect.isValid()) return;
        QStyleOptionHeader option;
        initStyleOptionForIndex(&option, section);
        option.rect = rect;
        option.text.clear();
        option.sortIndicator = QStyleOptionHeader::None;
        style()->drawControl(QStyle::CE_HeaderSection, &option, painter, this);

        const QString label = model()->headerData(section, Qt::Horizontal).toString();
        Qt::Alignment align = Qt::Alignment(
            model()->headerData(section, Qt::Horizontal, Qt::TextAlignmentRole).toInt()) &
            Qt::AlignHorizontal_Mask;
        if (!align) align = Qt::AlignLeft;
        const QRect room = rect.adjusted(kLabelMargin, 0, -kLabelMargin, 0);
        painter->save();
        painter->setFont(font());
        painter->setPen(palette().color(QPalette::ButtonText));
        painter->drawText(room, Qt::AlignVCenter | align,
                          fontMetrics().elidedText(label, Qt::ElideRight, room.width()));
        if (isSortIndicatorShown() && sortIndicatorSection() == section) {
            const int size = std::max(3, fontMetrics().height() / 4);
            const int right = rect.right() - kLabelMargin, top = rect.top() + 2;
            const bool up = sortIndicatorOrder() == Qt::AscendingOrder;
            const QPoint tip(right - size, up ? top : top + size);
            const QPoint a(right - 2 * size, up ? top + size : top), b(right, up ? top + size : top);
            painter->setRenderHint(QPainter::Antialiasing);
            painter->setPen(Qt::NoPen);
            painter->setBrush(palette().color(QPalette::ButtonText));
            painter->drawPolygon(QPolygon({tip, a, b}));
        }
        painter->restore();
    }
};

}  // namespace

ResultView::ResultView(QWidget *parent) : QListView(parent) {
    setItemDelegate(new LineDelegate(this));
    setUniformItemSizes(true);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setWordWrap(false);

    header_ = new ColumnHeader(this);
    header_->setObjectName(QStringLiteral("columnHeadings"));
    auto *headings = new QStandardItemModel(0, static_cast<int>(std::size(kResultColumns)), header_);
    for (int i = 0; i < headings->columnCount(); ++i) {
        const ResultColumn &c = kResultColumns[i];
        headings->setHeaderData(i, Qt::Horizontal,
                                QString::fromLatin1(sort_order_caption(c.order).data(),
                                                    static_cast<qsizetype>(sort_order_caption(c.order).size())));
        // The amounts are right-justified: so is their heading.
        if (c.order == SortOrder::Amount)
            headings->setHeaderData(i, Qt::Horizontal, int(Qt::AlignRight | Qt::AlignVCenter),
                                    Qt::TextAlignmentRole);
    }
    header_->setModel(headings);
    header_->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    header_->setMinimumSectionSize(1);
    header_->setSectionResizeMode(QHeaderView::Fixed);
    header_->setStretchLastSection(false);
    header_->setSectionsClickable(true);
    header_->setHighlightSections(false);
    header_->setSortIndicatorShown(true);
    header_->setFocusPolicy(Qt::NoFocus);
    connect(header_, &QHeaderView::sectionClicked, this,
            [this](int section) { emit heading_clicked(kResultColumns[section].order); });

    set_point_size(kDefaultPointSize);
}

void ResultView::set_point_size(int points) {
    points_ = std::clamp(points, kSmallestPointSize, kLargestPointSize);
    QFont font = list_font();
    font.setPointSize(points_);
    // Whole-pixel advances: a column then starts at a whole pixel, the same
    // one for the line's glyph and for its heading.
    font.setHintingPreference(QFont::PreferFullHinting);
    setFont(font);
    // A whole line's width over its characters: the advance a line is laid
    // out with, which may be a fraction of a pixel.
    advance_ = QFontMetricsF(font).horizontalAdvance(QString(kResultLineWidth, QLatin1Char('M'))) /
               kResultLineWidth;
    // The headings in the dialog font, as large as the list's or smaller,
    // so that each fits over its column.
    QFont headings = dialog_font();
    headings.setPointSizeF(points_);
    const QFontMetricsF heading_metrics(headings);
    double scale = 1.0;
    for (const ResultColumn &c : kResultColumns) {
        const std::string_view caption = sort_order_caption(c.order);
        const double room = c.width * advance_ - 2 * ColumnHeader::kLabelMargin - 1;
        const double needed = heading_metrics.horizontalAdvance(
            QString::fromLatin1(caption.data(), static_cast<qsizetype>(caption.size())));
        if (needed > room) scale = std::min(scale, room / needed);
    }
    headings.setPointSizeF(points_ * scale);
    header_->setFont(headings);
    header_height_ = header_->sizeHint().height();
    setGridSize(QSize(2 * kTextMargin + advance_x(kResultLineWidth), QFontMetrics(font).height()));
    size_sections();
    updateGeometries();
    emit columns_moved();
}

int ResultView::advance_x(std::size_t column) const {
    return static_cast<int>(std::lround(static_cast<double>(column) * advance_));
}

int ResultView::column_x(std::size_t column) const {
    return viewport()->x() + kTextMargin + advance_x(column) - horizontalOffset();
}

void ResultView::size_sections() {
    for (int i = 0; i < static_cast<int>(std::size(kResultColumns)); ++i) {
        const ResultColumn &c = kResultColumns[i];
        header_->resizeSection(i, advance_x(c.first + c.width) - advance_x(c.first));
    }
}

void ResultView::show_order(SortOrder order, bool reverse) {
    for (int i = 0; i < static_cast<int>(std::size(kResultColumns)); ++i)
        if (kResultColumns[i].order == order)
            header_->setSortIndicator(i, reverse ? Qt::DescendingOrder : Qt::AscendingOrder);
}

void ResultView::updateGeometries() {
    // As a table view does: the header takes the viewport's top margin.
    if (placing_header_) return;
    if (!header_) return QListView::updateGeometries();  // while the view is being set up
    placing_header_ = true;
    // Every search lays the list out again: the margin is set only when the
    // headings' height changed, since setting it lays out the scroll area.
    const int height = header_height_;
    if (viewportMargins().top() != height) setViewportMargins(0, height, 0, 0);
    const QRect area = viewport()->geometry();
    header_->setGeometry(area.left(), area.top() - height, area.width(), height);
    placing_header_ = false;
    QListView::updateGeometries();
    // Section 0 starts at the first character, kTextMargin into the line.
    header_->setOffset(horizontalOffset() - kTextMargin);
}

void ResultView::scrollContentsBy(int dx, int dy) {
    QListView::scrollContentsBy(dx, dy);
    header_->setOffset(horizontalOffset() - kTextMargin);
    if (dx != 0) emit columns_moved();
}

void ResultView::resizeEvent(QResizeEvent *event) {
    QListView::resizeEvent(event);
    emit columns_moved();
}

}  // namespace ledgrove::ui
