// value_port.cc - the dialog's controls as plain values.
#include "app/search/value_port.h"

namespace ledgrove {

std::string ValuePort::control_text(int id) const {
    auto found = texts_.find(id);
    return found == texts_.end() ? std::string() : found->second;
}

bool ValuePort::message_box(std::string_view text, std::string_view caption,
                            MessageButtons buttons) {
    messages_.push_back({std::string(text), std::string(caption), buttons});
    return answer_;
}

void ValuePort::set_checked(int id, bool checked) {
    if (checked)
        checked_.insert(id);
    else
        checked_.erase(id);
}

}  // namespace ledgrove
