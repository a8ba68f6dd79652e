// chart_file.h - a summary's chart saved straight to a PNG or SVG file, for
// a program with no window of its own (ledgrove-cli), or as SVG text for a
// web page: no Qt type appears here.  When the program has no Qt
// application yet, one is made on the "offscreen" platform, so no display
// is needed.
#ifndef LEDGROVE_APP_CHART_CHART_FILE_H
#define LEDGROVE_APP_CHART_CHART_FILE_H

#include <optional>
#include <string>
#include <string_view>

#include "app/search/summary.h"

namespace ledgrove {

// Whether the name ends in .png or .svg (in any case).
bool is_chart_file_name(std::string_view path);

// Saves the summary's chart (summary_chart.h) at width x height pixels;
// why it could not, or nothing.
std::optional<std::string> save_summary_chart(const Summary &summary, const std::string &path,
                                              int width, int height);

// The summary's chart as an SVG document (UTF-8 text), for a page to embed.
// Qt draws on one thread only: call it from the thread that drew the first
// chart of the program (the web server gives all its charts to one).
std::string summary_chart_svg(const Summary &summary, int width, int height);

}  // namespace ledgrove

#endif  // LEDGROVE_APP_CHART_CHART_FILE_H
