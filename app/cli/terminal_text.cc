// terminal_text.cc - register text to and from a UTF-8 terminal.
#include "app/cli/terminal_text.h"

#include <langinfo.h>

#include <clocale>
#include <cstring>

#include "app/cli/cli_common.h"
#include "app/store/code_page.h"

namespace ledgrove::cli {
namespace {

bool utf8_terminal = false;

}  // namespace

void use_terminal_locale() {
    std::setlocale(LC_CTYPE, "");
    utf8_terminal = std::strcmp(nl_langinfo(CODESET), "UTF-8") == 0;
}

std::string register_argument(const std::string &value, std::string_view option) {
    if (!utf8_terminal) return value;
    RegisterText text = to_register_text(value);
    if (text.replaced != 0)
        usage_error(std::string(option) + " holds a character that the register cannot hold: " +
                    value);
    return std::move(text.text);
}

std::string terminal_line(std::string_view register_text) {
    return utf8_terminal ? from_register_text(register_text) : std::string(register_text);
}

}  // namespace ledgrove::cli
