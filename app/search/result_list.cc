// result_list.cc - contiguous storage of result lines.
#include "app/search/result_list.h"

namespace ledgrove {

void ResultList::append(std::string_view line) {
    text_.append(line);
    ends_.push_back(text_.size());
}

std::string_view ResultList::line(std::size_t i) const {
    if (i >= ends_.size()) return {};
    std::size_t begin = i == 0 ? 0 : ends_[i - 1];
    return std::string_view(text_).substr(begin, ends_[i] - begin);
}

void ResultList::clear() {
    text_.clear();
    ends_.clear();
}

void ResultList::reserve(std::size_t lines, std::size_t text_bytes) {
    ends_.reserve(lines);
    text_.reserve(text_bytes);
}

}  // namespace ledgrove
