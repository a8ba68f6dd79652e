// The chart of a summary: what it draws for each grouping, and the files it
// is saved to, on the offscreen platform.
#include <gtest/gtest.h>

#include <QtCharts/QBarCategoryAxis>
#include <QtCharts/QBarSeries>
#include <QtCharts/QBarSet>
#include <QtCharts/QHorizontalBarSeries>
#include <QtGui/QImage>
#include <QtWidgets/QApplication>

#include <cstdlib>

#include "app/chart/summary_chart.h"
#include "support/engine_files.h"

namespace {

using namespace ledgrove;

SummaryRow row(const std::string &label, std::int64_t cents) {
    SummaryRow r;
    r.label = label;
    r.vendor_id = "V" + label;
    r.total_cents = cents;
    return r;
}

QBarCategoryAxis *groups_of(QChart &chart) {
    QBarCategoryAxis *groups = nullptr;
    for (QAbstractAxis *axis : chart.axes()) groups = groups ? groups : qobject_cast<QBarCategoryAxis *>(axis);
    return groups;
}

// The bars from the bottom (or left) up, as "label=dollars".
QStringList bars(QChart &chart) {
    auto *series = qobject_cast<QAbstractBarSeries *>(chart.series().value(0));
    QBarCategoryAxis *groups = groups_of(chart);
    QStringList shown;
    for (int i = 0; series && groups && series->count() == 1 && i < groups->count(); ++i)
        shown << groups->at(i) + "=" + QString::number(series->barSets()[0]->at(i));
    return shown;
}

TEST(SummaryChart, OverTimeOrTheLargestAndTheRest) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    int argc = 1;
    char *argv[] = {const_cast<char *>("app_test"), nullptr};
    QApplication application(argc, argv);

    // Months, sorted by total: the chart puts them back in time order.
    Summary months;
    months.options.by = SummaryGroup::Month;
    months.rows = {row("2024-02", 300), row("2023-12", 200), row("2024-01", -100)};
    std::unique_ptr<QChart> chart = summary_chart(months);
    EXPECT_TRUE(qobject_cast<QBarSeries *>(chart->series().value(0)));
    EXPECT_EQ(bars(*chart), QStringList({"2023-12=2", "2024-01=-1", "2024-02=3"}));
    EXPECT_EQ(groups_of(*chart)->labelsAngle(), 0);
    // A year of months stands its labels on end, so they do not run together.
    for (int m = 1; m <= 9; ++m) months.rows.push_back(row("2023-0" + std::to_string(m), 100));
    EXPECT_EQ(groups_of(*summary_chart(months))->labelsAngle(), -90);

    // 23 vendors: the 20 largest, largest on top, then the other 3 summed.
    Summary vendors;
    for (int i = 1; i <= 23; ++i) vendors.rows.push_back(row("N" + std::to_string(i), i * 100));
    chart = summary_chart(vendors);
    EXPECT_TRUE(qobject_cast<QHorizontalBarSeries *>(chart->series().value(0)));
    const QStringList shown = bars(*chart);
    ASSERT_EQ(shown.size(), 21);
    EXPECT_EQ(shown.front(), "Other=6");  // 1 + 2 + 3 dollars
    EXPECT_EQ(shown[1], "N4 (VN4)=4");
    EXPECT_EQ(shown.back(), "N23 (VN23)=23");

    kvl_test::TempDir dir;
    const auto path = [&](const char *file) { return QString::fromStdString(dir.path(file)); };
    EXPECT_EQ(save_chart(*chart, path("c.png"), QSize(500, 300)), "");
    EXPECT_EQ(QImage(path("c.png")).size(), QSize(500, 300));
    EXPECT_EQ(save_chart(*chart, path("c.svg"), QSize(500, 300)), "");
    EXPECT_NE(save_chart(*chart, path("c.gif")), "");
    EXPECT_NE(save_chart(*chart, path("no/dir/c.png")), "");
}

}  // namespace
