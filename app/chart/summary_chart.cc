// summary_chart.cc - building and saving the chart of a summary.
#include "app/chart/summary_chart.h"

#include <QtCharts/QBarCategoryAxis>
#include <QtCharts/QBarSeries>
#include <QtCharts/QBarSet>
#include <QtCharts/QHorizontalBarSeries>
#include <QtCharts/QValueAxis>
#include <QtCore/QBuffer>
#include <QtCore/QCoreApplication>
#include <QtGui/QImage>
#include <QtGui/QPainter>
#include <QtSvg/QSvgGenerator>
#include <QtWidgets/QGraphicsLayout>
#include <QtWidgets/QGraphicsScene>

#include <algorithm>
#include <vector>

#include "app/output/table.h"
#include "app/store/code_page.h"

namespace ledgrove {
namespace {

struct Bar {
    QString label;
    std::int64_t cents;
};

QString text_of(const std::string &register_text) {
    return QString::fromStdString(from_register_text(register_text));
}

QString row_label(const Summary &summary, const SummaryRow &row) {
    if (summary.options.by != SummaryGroup::Vendor || row.vendor_id.empty())
        return row.label.empty() ? QStringLiteral("(blank)") : text_of(row.label);
    if (row.label.empty()) return text_of(row.vendor_id);
    return text_of(row.label) + " (" + text_of(row.vendor_id) + ")";
}

// Over time: every group, oldest first, whatever the summary's own order.
std::vector<Bar> bars_over_time(const Summary &summary) {
    std::vector<const SummaryRow *> rows;
    for (const SummaryRow &row : summary.rows) rows.push_back(&row);
    std::sort(rows.begin(), rows.end(),
              [](const SummaryRow *a, const SummaryRow *b) { return a->label < b->label; });
    std::vector<Bar> bars;
    for (const SummaryRow *row : rows) bars.push_back({text_of(row->label), row->total_cents});
    return bars;
}

// The largest totals, largest first, then "Other" for the rest.
std::vector<Bar> top_bars(const Summary &summary) {
    std::vector<const SummaryRow *> rows;
    for (const SummaryRow &row : summary.rows) rows.push_back(&row);
    std::stable_sort(rows.begin(), rows.end(), [](const SummaryRow *a, const SummaryRow *b) {
        return a->total_cents > b->total_cents;
    });
    std::vector<Bar> bars;
    std::int64_t other = 0;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        if (i < static_cast<std::size_t>(kChartTopGroups))
            bars.push_back({row_label(summary, *rows[i]), rows[i]->total_cents});
        else
            other += rows[i]->total_cents;
    }
    if (rows.size() > static_cast<std::size_t>(kChartTopGroups))
        bars.push_back({QStringLiteral("Other"), other});
    return bars;
}

// The unit that keeps the axis labels short.
struct Unit {
    double divisor;
    const char *name;
};
Unit unit_for(const std::vector<Bar> &bars) {
    std::int64_t largest = 0;
    for (const Bar &bar : bars) largest = std::max(largest, bar.cents < 0 ? -bar.cents : bar.cents);
    if (largest >= 1000000000) return {1e6, "Total, millions of dollars"};
    if (largest >= 1000000) return {1e3, "Total, thousands of dollars"};
    return {1.0, "Total, dollars"};
}

QString title_of(const Summary &summary, bool top) {
    QString by = QString::fromUtf8(summary_group_caption(summary.options.by).data(),
                                   static_cast<qsizetype>(summary_group_caption(summary.options.by).size()))
                     .toLower();
    QString title = top ? QStringLiteral("Largest totals by %1").arg(by)
                        : QStringLiteral("Total by %1").arg(by);
    if (!summary.dates.from.empty())
        title += QStringLiteral(", %1 to %2")
                     .arg(QString::fromStdString(iso_date(summary.dates.from)),
                          QString::fromStdString(iso_date(summary.dates.to)));
    return title;
}

// The most periods whose labels stand side by side under their bars.
constexpr qsizetype kLevelLabels = 6;

}  // namespace

std::unique_ptr<QChart> summary_chart(const Summary &summary) {
    const SummaryGroup by = summary.options.by;
    const bool over_time = by == SummaryGroup::Month || by == SummaryGroup::FiscalYear;
    std::vector<Bar> bars = over_time ? bars_over_time(summary) : top_bars(summary);
    // A horizontal chart lists its categories from the bottom up.
    if (!over_time) std::reverse(bars.begin(), bars.end());
    const Unit unit = unit_for(bars);

    auto chart = std::make_unique<QChart>();
    chart->setTitle(title_of(summary, !over_time));
    chart->setAnimationOptions(QChart::NoAnimation);
    chart->legend()->hide();

    auto *set = new QBarSet(QStringLiteral("Total"));
    QStringList categories;
    for (const Bar &bar : bars) {
        *set << static_cast<double>(bar.cents) / 100.0 / unit.divisor;
        categories << bar.label;
    }
    QAbstractBarSeries *series = over_time ? static_cast<QAbstractBarSeries *>(new QBarSeries)
                                           : new QHorizontalBarSeries;
    series->append(set);
    chart->addSeries(series);

    auto *groups = new QBarCategoryAxis;
    groups->append(categories);
    // More than a few months stand their labels on end: side by side, a
    // year's "2023-08" labels run into each other in the window's chart,
    // and cut short they would say nothing.
    if (over_time && categories.size() > kLevelLabels) groups->setLabelsAngle(-90);
    groups->setTruncateLabels(false);
    auto *values = new QValueAxis;
    values->setTitleText(QString::fromUtf8(unit.name));
    values->setLabelFormat(QStringLiteral("%.0f"));
    chart->addAxis(groups, over_time ? Qt::AlignBottom : Qt::AlignLeft);
    chart->addAxis(values, over_time ? Qt::AlignLeft : Qt::AlignBottom);
    series->attachAxis(groups);
    series->attachAxis(values);
    // A sliver of credits below zero would cost the chart a whole tick of
    // empty space under the axis: the axis starts at zero unless the
    // negatives are large enough to see.
    double low = 0.0, high = 0.0;
    for (const Bar &bar : bars) {
        low = std::min(low, static_cast<double>(bar.cents) / 100.0 / unit.divisor);
        high = std::max(high, static_cast<double>(bar.cents) / 100.0 / unit.divisor);
    }
    if (-low < high / 100.0) low = 0.0;
    values->setRange(low, high > low ? high : low + 1.0);
    values->applyNiceNumbers();
    return chart;
}

namespace {

// Lays the chart out at the size given in a scene of its own and paints it
// with the painter; the scene gives the chart back to its owner after.
void paint_chart(QChart &chart, QSize size, QPainter &painter) {
    QGraphicsScene scene;
    scene.addItem(&chart);
    chart.setGeometry(QRectF(QPointF(0, 0), size));
    chart.layout()->activate();
    QCoreApplication::processEvents();  // the axes lay out their labels on posted events
    const QRectF area(QPointF(0, 0), size);
    scene.render(&painter, area, area);
    scene.removeItem(&chart);  // the scene does not own what the caller owns
}

}  // namespace

QString save_chart(QChart &chart, const QString &path, QSize size) {
    const QString lower = path.toLower();
    const bool svg = lower.endsWith(QStringLiteral(".svg"));
    if (!svg && !lower.endsWith(QStringLiteral(".png")))
        return QStringLiteral("Cannot write %1: a chart is saved as .png or .svg.").arg(path);

    if (svg) {
        QSvgGenerator generator;
        generator.setFileName(path);
        generator.setSize(size);
        generator.setViewBox(QRectF(QPointF(0, 0), size));
        generator.setTitle(chart.title());
        QPainter painter;
        if (!painter.begin(&generator)) return QStringLiteral("Cannot create %1.").arg(path);
        paint_chart(chart, size, painter);
        return {};
    }
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        paint_chart(chart, size, painter);
    }
    if (!image.save(path, "PNG")) return QStringLiteral("Cannot create %1.").arg(path);
    return {};
}

QByteArray chart_svg(QChart &chart, QSize size) {
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    {
        QSvgGenerator generator;
        generator.setOutputDevice(&buffer);
        generator.setSize(size);
        generator.setViewBox(QRectF(QPointF(0, 0), size));
        generator.setTitle(chart.title());
        QPainter painter(&generator);
        paint_chart(chart, size, painter);
    }  // the painter ends, and the generator writes the closing tag
    return buffer.data();
}

}  // namespace ledgrove
