// summary_chart.h - a summary drawn as a chart (Qt Charts), for the desktop
// window to show and for files.  By month or fiscal year: a bar chart of the
// totals over time, oldest first.  By vendor or description: a horizontal
// bar chart of the 20 largest totals, largest on top, the rest summed as
// "Other".  Amounts are shown in dollars, thousands or millions, whichever
// keeps the axis readable.
#ifndef LEDGROVE_APP_CHART_SUMMARY_CHART_H
#define LEDGROVE_APP_CHART_SUMMARY_CHART_H

#include <QtCharts/QChart>
#include <QtCore/QByteArray>
#include <QtCore/QSize>
#include <QtCore/QString>

#include <memory>

#include "app/search/summary.h"

namespace ledgrove {

inline constexpr int kChartTopGroups = 20;
inline constexpr QSize kDefaultChartSize{1200, 800};

// A new chart of the summary, owned by the caller (a QChartView can take
// it over).
std::unique_ptr<QChart> summary_chart(const Summary &summary);

// Draws a chart that no view shows into a PNG or SVG file, by the name's
// extension (.png, .svg), at the size given.  Returns why it could not, as
// a sentence that names the file, or an empty text.
QString save_chart(QChart &chart, const QString &path, QSize size = kDefaultChartSize);

// The chart drawn as an SVG document in memory, at the size given.
QByteArray chart_svg(QChart &chart, QSize size = kDefaultChartSize);

}  // namespace ledgrove

#endif  // LEDGROVE_APP_CHART_SUMMARY_CHART_H
