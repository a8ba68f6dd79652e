// terminal_text.h - the register's text on the terminal.  The register holds
// Windows-1252 bytes; where the locale's character set is UTF-8, what
// ledgrove-cli prints is converted to UTF-8 and the texts it is given are
// converted from it.  Elsewhere bytes pass as they are.  File names and the
// files written (exports) are never converted.
#ifndef LEDGROVE_APP_CLI_TERMINAL_TEXT_H
#define LEDGROVE_APP_CLI_TERMINAL_TEXT_H

#include <string>
#include <string_view>

namespace ledgrove::cli {

// Reads the locale from the environment; main calls it once.
void use_terminal_locale();

// A text argument for the register: in a UTF-8 locale a character that the
// register's code page lacks (or bytes that are no UTF-8) are a usage error
// naming the option.
std::string register_argument(const std::string &value, std::string_view option);

// A line of register text as the terminal shows it.
std::string terminal_line(std::string_view register_text);

}  // namespace ledgrove::cli

#endif  // LEDGROVE_APP_CLI_TERMINAL_TEXT_H
