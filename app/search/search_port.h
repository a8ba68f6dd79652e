// search_port.h - what the searches and the maintenance steps need from the
// dialog they serve.  The Qt search dialog implements it over its widgets;
// ledgrove-cli and the tests implement it over plain values.  Controls are
// named by their ids (app/ui/control_ids.h).
#ifndef LEDGROVE_APP_SEARCH_SEARCH_PORT_H
#define LEDGROVE_APP_SEARCH_SEARCH_PORT_H

#include <string>
#include <string_view>

#include "app/search/result_list.h"

namespace ledgrove {

enum class MessageButtons { Ok, YesNo };

class SearchPort {
public:
    virtual ~SearchPort() = default;

    // The text of an edit box or label; for a combo box whose list is the
    // choice (the amount operator), the text of its selected item, "" when
    // none is selected.  Unknown ids read as "".
    virtual std::string control_text(int id) const = 0;
    // Whether a check box is checked.
    virtual bool is_checked(int id) const = 0;
    virtual void set_control_text(int id, std::string_view text) = 0;

    // The result list (control 1021).  A search calls begin_results(),
    // clears and fills the list it gets, then calls end_results(); a view
    // over the list refreshes itself then.
    virtual ResultList &begin_results() = 0;
    virtual void end_results() = 0;

    // A message box owned by the main window.  Returns true for OK or Yes.
    virtual bool message_box(std::string_view text, std::string_view caption,
                             MessageButtons buttons = MessageButtons::Ok) = 0;
};

}  // namespace ledgrove

#endif  // LEDGROVE_APP_SEARCH_SEARCH_PORT_H
