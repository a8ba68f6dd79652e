// command_line.cc - a search as a shell command line.
#include "app/output/command_line.h"

#include <algorithm>

namespace ledgrove {
namespace {

bool plain(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
           std::string_view("_@%+=:,./-").find(c) != std::string_view::npos;
}

}  // namespace

std::string shell_word(std::string_view text) {
    if (!text.empty() && std::all_of(text.begin(), text.end(), plain)) return std::string(text);
    std::string word = "'";
    for (char c : text) word += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return word + "'";
}

std::string cli_command_line(std::string_view directory, std::string_view command,
                             const std::vector<NamedValue> &values) {
    std::string line(kCliProgram);
    if (!directory.empty()) line += " -C " + shell_word(directory);
    line += " " + std::string(command);
    for (const NamedValue &v : values) {
        line += " --" + v.name;
        const auto it = std::find_if(search_parameters().begin(), search_parameters().end(),
                                     [&](const SearchParameter &p) { return p.name == v.name; });
        if (it != search_parameters().end() && it->kind == ParameterKind::Flag) continue;
        line += (!v.value.empty() && v.value[0] == '-' ? "=" : " ") + shell_word(v.value);
    }
    return line;
}

}  // namespace ledgrove
