// command_line.h - a search written out as the ledgrove-cli command that
// runs it, for a user to paste into a POSIX shell: the register's folder
// with -C, the command ("search" or "summary"), then one option per named
// value of search_parameters.h.  Every word that the shell would read
// otherwise than as written is single-quoted.
#ifndef LEDGROVE_APP_OUTPUT_COMMAND_LINE_H
#define LEDGROVE_APP_OUTPUT_COMMAND_LINE_H

#include <string>
#include <string_view>
#include <vector>

#include "app/search/search_parameters.h"

namespace ledgrove {

inline constexpr std::string_view kCliProgram = "ledgrove-cli";

// The text as one word of a POSIX shell: as it stands when it holds only
// letters, digits and "_@%+=:,./-", else in single quotes (a single quote
// inside as '\'').  An empty text is ''.
std::string shell_word(std::string_view text);

// "ledgrove-cli -C DIR COMMAND --NAME VALUE ..." (no -C for an empty
// directory).  A flag has no value; a value that starts with '-' is joined
// to its option by '=', so it is not read as an option of its own.  Texts
// are kept as they are, in the register's code page.
std::string cli_command_line(std::string_view directory, std::string_view command,
                             const std::vector<NamedValue> &values);

}  // namespace ledgrove

#endif  // LEDGROVE_APP_OUTPUT_COMMAND_LINE_H
