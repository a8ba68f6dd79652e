// ansi_text.h - the register's 8-bit text (Windows code page 1252) to and
// from the QStrings of the widgets.  1252 is ISO 8859-1 but for 0x80-0x9F,
// which hold the euro sign, curly quotes, dashes and a few letters; the five
// bytes of that range without a character pass through as the control
// characters of the same number, as Windows converts them.
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

// Characters that 1252 cannot hold become '?'.
std::string to_ansi(const QString &text);

}  // namespace ledgrove::ui

#endif  // LEDGROVE_APP_UI_ANSI_TEXT_H
