// page_frame.h - what every page of the site shares: the document around
// its body, with the style sheet (a narrow screen gets the form in one
// column and each check as a card, so a phone never scrolls sideways), the
// links between the search and the summaries, and the page that says why
// a request was refused.
#ifndef LEDGROVE_APP_WEB_PAGE_FRAME_H
#define LEDGROVE_APP_WEB_PAGE_FRAME_H

#include <string>
#include <string_view>

namespace ledgrove::web {

// A whole HTML document; `title` is text (escaped here), `body` is HTML.
std::string html_page(std::string_view title, std::string_view body);

// The page of a refused or failed request: a heading ("Bad request") and
// the message, both text.
std::string message_page(std::string_view heading, std::string_view message);

// The paragraph above a form that says which parameter to mend and why.
std::string refusal_html(std::string_view parameter, std::string_view message);

}  // namespace ledgrove::web

#endif  // LEDGROVE_APP_WEB_PAGE_FRAME_H
