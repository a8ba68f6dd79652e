// result_list.h - the lines of one search result, held the way a list view
// needs them: all text in one contiguous buffer and one end offset per line,
// so a million lines cost two allocations, not a million.  A view reads a
// line only when it draws or copies it.
#ifndef LEDGROVE_APP_SEARCH_RESULT_LIST_H
#define LEDGROVE_APP_SEARCH_RESULT_LIST_H

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "app/search/line_sink.h"

namespace ledgrove {

class ResultList : public LineSink {
public:
    // Lines are 8-bit text and may hold any byte.
    void append(std::string_view line) override;

    std::size_t size() const { return ends_.size(); }
    bool empty() const { return ends_.empty(); }
    std::size_t text_bytes() const { return text_.size(); }

    // Line i; empty past the end.  The view stays valid until the next append,
    // clear or reserve.
    std::string_view line(std::size_t i) const;

    void clear();
    void reserve(std::size_t lines, std::size_t text_bytes);

private:
    std::string text_;
    std::vector<std::size_t> ends_;  // ends_[i]: one past the last byte of line i
};

}  // namespace ledgrove

#endif  // LEDGROVE_APP_SEARCH_RESULT_LIST_H
