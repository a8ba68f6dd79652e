// help_format.h - how ledgrove-cli's --help reads: the usage line first
// ("usage: ledgrove-cli search [options]"), then what the command does, its
// options, and the longer notes.  CLI11 writes the parts; this only orders
// them and words the labels.
#ifndef LEDGROVE_APP_CLI_HELP_FORMAT_H
#define LEDGROVE_APP_CLI_HELP_FORMAT_H

#include <CLI/CLI.hpp>

namespace ledgrove::cli {

class HelpFormat : public CLI::Formatter {
public:
    HelpFormat() {
        label("Usage", "usage");
        label("OPTIONS", "options");
        label("SUBCOMMAND", "COMMAND");
        column_width(26);
    }

    std::string make_help(const CLI::App *app, std::string name,
                          CLI::AppFormatMode mode) const override {
        if (mode == CLI::AppFormatMode::Sub) return make_expanded(app);
        std::string help = make_usage(app, name) + "\n";
        help += make_description(app);
        help += make_positionals(app);
        help += make_groups(app, mode);
        help += make_subcommands(app, mode);
        help += "\n" + make_footer(app);
        return help;
    }
};

}  // namespace ledgrove::cli

#endif  // LEDGROVE_APP_CLI_HELP_FORMAT_H
