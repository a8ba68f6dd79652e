// ansi_text.h - the register's 8-bit text to and from the QStrings of the
// widgets.  The code page itself (Windows-1252) is app/store/code_page.h's;
// here it is only laid out as a table of 256 characters, so a million
// result lines convert for a copy without a detour through UTF-8.
#ifndef LEDGROVE_APP_UI_ANSI_TEXT_H
#define LEDGROVE_APP_UI_ANSI_TEXT_H

#include <QString>
#include <string>
#include <string_view>

namespace ledgrove::ui {

QString from_ansi(std::string_view text);

// Writes the characters of the text from `to` on and returns the end, for
// long copies built in one block.
QChar *write_ansi(QChar *to, std::string_view text);

// Characters that the register's code page cannot hold become '?'.
std::string to_ansi(const QString &text);

}  // namespace ledgrove::ui

#endif  // LEDGROVE_APP_UI_ANSI_TEXT_H
