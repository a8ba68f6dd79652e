// line_sink.h - where result lines go: the core's own result list, a test's
// recorder, or a printer of lines.
#ifndef LEDGROVE_APP_SEARCH_LINE_SINK_H
#define LEDGROVE_APP_SEARCH_LINE_SINK_H

#include <string_view>

namespace ledgrove {

class LineSink {
public:
    virtual ~LineSink() = default;
    // The line is copied by the sink; the view is valid only for the call.
    virtual void append(std::string_view line) = 0;
};

}  // namespace ledgrove

#endif  // LEDGROVE_APP_SEARCH_LINE_SINK_H
