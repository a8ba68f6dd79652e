// value_port.h - a SearchPort over plain values: control texts and check
// boxes in maps, the result list held here, message boxes recorded with a
// preset answer.  ledgrove-cli runs its searches through it, and tests use
// it to drive the searches and maintenance steps as the dialog would.
#ifndef LEDGROVE_APP_SEARCH_VALUE_PORT_H
#define LEDGROVE_APP_SEARCH_VALUE_PORT_H

#include <map>
#include <set>
#include <string>
#include <vector>

#include "app/search/search_port.h"

namespace ledgrove {

class ValuePort : public SearchPort {
public:
    struct Message {
        std::string text;
        std::string caption;
        MessageButtons buttons;
    };

    std::string control_text(int id) const override;
    bool is_checked(int id) const override { return checked_.count(id) != 0; }
    void set_control_text(int id, std::string_view text) override { texts_[id] = text; }
    ResultList &begin_results() override { return results_; }
    void end_results() override { ++result_updates_; }
    bool message_box(std::string_view text, std::string_view caption,
                     MessageButtons buttons) override;

    void set_checked(int id, bool checked);
    // The answer every later message box gives (OK and Yes by default).
    void set_answer(bool answer) { answer_ = answer; }

    const ResultList &results() const { return results_; }
    int result_updates() const { return result_updates_; }
    const std::vector<Message> &messages() const { return messages_; }

private:
    std::map<int, std::string> texts_;
    std::set<int> checked_;
    ResultList results_;
    int result_updates_ = 0;
    std::vector<Message> messages_;
    bool answer_ = true;
};

}  // namespace ledgrove

#endif  // LEDGROVE_APP_SEARCH_VALUE_PORT_H
