// summary_view.h - a summary in the window: a table of its groups (a small
// model over summary_rows) beside its chart (a QChartView over
// summary_chart), with the count and total under the table.
//
// Clicking a heading sorts the table by that column: texts by their
// letters, checks, totals and shares as numbers, dates as dates; again, the
// other way.  A new summary comes sorted by total, largest first, as the
// core makes it.  What is copied is what the table shows, in its order.
#ifndef LEDGROVE_APP_UI_SUMMARY_VIEW_H
#define LEDGROVE_APP_UI_SUMMARY_VIEW_H

#include <QAbstractTableModel>
#include <QString>
#include <QStringList>
#include <QWidget>
#include <optional>
#include <vector>

#include "app/output/table.h"
#include "app/search/summary.h"

class QChartView;
class QLabel;
class QSplitter;
class QTableView;

namespace ledgrove::ui {

class SummaryModel : public QAbstractTableModel {
    Q_OBJECT

public:
    using QAbstractTableModel::QAbstractTableModel;

    void set_summary(const std::optional<Summary> &summary);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    void sort(int column, Qt::SortOrder order) override;

    // The column of the totals.
    int total_column() const;
    // A cell as the table shows it.
    QString cell(int row, int column) const;

private:
    std::vector<TableColumn> columns_;
    std::vector<TableRow> rows_;
};

class SummaryView : public QWidget {
    Q_OBJECT

public:
    explicit SummaryView(QWidget *parent = nullptr);
    ~SummaryView() override;

    // Shows the summary and its chart; nothing empties the view.
    void show_summary(std::optional<Summary> summary);
    const std::optional<Summary> &summary() const { return summary_; }

    QTableView *table() const { return table_; }
    QLabel *total() const { return total_; }
    QChartView *chart() const { return chart_; }

    // The header and the rows shown (the selected ones, when there are
    // any), one line each, the cells separated by tabs.
    QString copy_text() const;
    // The header and every row shown, for a printed report.
    QStringList header() const;
    std::vector<QStringList> rows() const;

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void fit_table_width();

    std::optional<Summary> summary_;
    SummaryModel *model_ = nullptr;
    QTableView *table_ = nullptr;
    QLabel *total_ = nullptr;
    QChartView *chart_ = nullptr;
    QSplitter *split_ = nullptr;
    bool split_moved_ = false;  // by the user: their widths stay
};

}  // namespace ledgrove::ui

#endif  // LEDGROVE_APP_UI_SUMMARY_VIEW_H
