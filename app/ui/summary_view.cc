// summary_view.cc - the summary's table model, table and chart.
#include "app/ui/summary_view.h"

#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QResizeEvent>
#include <QScrollBar>
#include <QSplitter>
#include <QTableView>
#include <QVBoxLayout>
#include <QtCharts/QChartView>
#include <algorithm>

#include "app/chart/summary_chart.h"
#include "app/output/messages.h"
#include "app/output/summary_table.h"
#include "app/store/amount_text.h"
#include "app/store/field_text.h"
#include "app/ui/control_ids.h"
#include "app/ui/dialog_template.h"

namespace ledgrove::ui {

// ---- The model ----

void SummaryModel::set_summary(const std::optional<Summary> &summary) {
    beginResetModel();
    columns_ = summary ? summary_columns(summary->options.by) : std::vector<TableColumn>{};
    rows_ = summary ? summary_rows(*summary) : std::vector<TableRow>{};
    endResetModel();
}

int SummaryModel::rowCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int SummaryModel::columnCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : static_cast<int>(columns_.size());
}

int SummaryModel::total_column() const {
    for (std::size_t c = 0; c < columns_.size(); ++c)
        if (columns_[c].kind == ColumnKind::Amount) return static_cast<int>(c);
    return -1;
}

QString SummaryModel::cell(int row, int column) const {
    const TableValue &value = rows_[row][column];
    switch (columns_[column].kind) {
        case ColumnKind::Text: return QString::fromStdString(value.text);
        case ColumnKind::Date: return QString::fromStdString(display_date(value.text));
        case ColumnKind::Amount: return QString::fromStdString(grouped_cents(value.number));
        case ColumnKind::Count: return QString::fromStdString(group_thousands(std::to_string(value.number)));
        case ColumnKind::Share: return QString::fromStdString(share_text(value.share));
    }
    return {};
}

QVariant SummaryModel::data(const QModelIndex &index, int role) const {
    if (!index.isValid() || index.row() >= rowCount() || index.column() >= columnCount()) return {};
    if (role == Qt::DisplayRole) return cell(index.row(), index.column());
    if (role == Qt::TextAlignmentRole) {
        const bool text = columns_[index.column()].kind == ColumnKind::Text;
        return QVariant::fromValue(Qt::AlignVCenter | (text ? Qt::AlignLeft : Qt::AlignRight));
    }
    return {};
}

QVariant SummaryModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= columnCount())
        return QAbstractTableModel::headerData(section, orientation, role);
    return QString::fromStdString(columns_[section].title);
}

void SummaryModel::sort(int column, Qt::SortOrder order) {
    if (column < 0 || column >= columnCount()) return;
    const ColumnKind kind = columns_[column].kind;
    // By the value, not the text shown: "9.00" before "10.00", and a stored
    // date YYYYMMDD sorts as the date it is.  Texts ignore case.
    auto less = [&](const TableRow &a, const TableRow &b) {
        const TableValue &x = a[column], &y = b[column];
        switch (kind) {
            case ColumnKind::Amount:
            case ColumnKind::Count: return x.number < y.number;
            case ColumnKind::Share: return x.share < y.share;
            case ColumnKind::Date: return x.text < y.text;
            case ColumnKind::Text:
                return QString::fromStdString(x.text).compare(QString::fromStdString(y.text), Qt::CaseInsensitive) < 0;
        }
        return false;
    };
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    if (order == Qt::AscendingOrder)
        std::stable_sort(rows_.begin(), rows_.end(), less);
    else
        std::stable_sort(rows_.begin(), rows_.end(), [&](const TableRow &a, const TableRow &b) { return less(b, a); });
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

// ---- The view ----

SummaryView::SummaryView(QWidget *parent) : QWidget(parent), model_(new SummaryModel(this)) {
    table_ = new QTableView;
    table_->setObjectName(object_name(control::kSummaryTable));
    table_->setModel(model_);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->verticalHeader()->hide();
    table_->verticalHeader()->setDefaultSectionSize(table_->fontMetrics().height() + 4);
    table_->horizontalHeader()->setSortIndicatorShown(true);
    table_->setSortingEnabled(true);
    total_ = new QLabel;
    total_->setObjectName(object_name(control::kSummaryTotal));
    chart_ = new QChartView;
    chart_->setObjectName(object_name(control::kSummaryChart));
    chart_->setRenderHint(QPainter::Antialiasing);
    chart_->setMinimumSize(200, 150);

    auto *left = new QWidget;
    auto *table_and_total = new QVBoxLayout(left);
    table_and_total->setContentsMargins(0, 0, 0, 0);
    table_and_total->addWidget(table_, 1);
    table_and_total->addWidget(total_);
    split_ = new QSplitter(Qt::Horizontal);
    split_->addWidget(left);
    split_->addWidget(chart_);
    split_->setStretchFactor(0, 0);  // room to spare goes to the chart
    split_->setStretchFactor(1, 1);
    connect(split_, &QSplitter::splitterMoved, this, [this] { split_moved_ = true; });
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(split_);
}

SummaryView::~SummaryView() = default;

void SummaryView::resizeEvent(QResizeEvent *event) {
    QWidget::resizeEvent(event);
    fit_table_width();
}

// The table as wide as its columns, up to three fifths of the room, so that
// its totals show whole; the chart takes the rest.  A width the user chose
// by moving the splitter stays.
void SummaryView::fit_table_width() {
    if (split_moved_) return;
    const int room = split_->width() - split_->handleWidth();
    const int columns = table_->horizontalHeader()->length() + table_->verticalScrollBar()->sizeHint().width() +
                        2 * table_->frameWidth();
    const int width = std::min(columns, room * 3 / 5);
    split_->setSizes({width, room - width});
}

void SummaryView::show_summary(std::optional<Summary> summary) {
    summary_ = std::move(summary);
    model_->set_summary(summary_);
    if (summary_) {
        table_->sortByColumn(model_->total_column(), Qt::DescendingOrder);
        table_->resizeColumnsToContents();
        fit_table_width();
        total_->setText(QString::fromStdString(
            messages::summary_total(summary_->rows.size(), summary_->checks, summary_->total_cents)));
    } else {
        total_->clear();
    }
    // The view owns its chart but gives the old one back on a change.
    QChart *old = chart_->chart();
    chart_->setChart(summary_ ? summary_chart(*summary_).release() : new QChart);
    delete old;
}

QStringList SummaryView::header() const {
    QStringList titles;
    for (int c = 0; c < model_->columnCount(); ++c) titles << model_->headerData(c, Qt::Horizontal, Qt::DisplayRole).toString();
    return titles;
}

std::vector<QStringList> SummaryView::rows() const {
    std::vector<QStringList> rows;
    for (int r = 0; r < model_->rowCount(); ++r) {
        QStringList cells;
        for (int c = 0; c < model_->columnCount(); ++c) cells << model_->cell(r, c);
        rows.push_back(cells);
    }
    return rows;
}

QString SummaryView::copy_text() const {
    const QItemSelectionModel *selection = table_->selectionModel();
    QString text = header().join(QLatin1Char('\t')) + QStringLiteral("\r\n");
    const std::vector<QStringList> all = rows();
    for (int r = 0; r < static_cast<int>(all.size()); ++r)
        if (!selection->hasSelection() || selection->isRowSelected(r))
            text += all[r].join(QLatin1Char('\t')) + QStringLiteral("\r\n");
    return text;
}

}  // namespace ledgrove::ui
