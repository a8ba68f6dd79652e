// commands.h - the subcommands of ledgrove-cli.  Each adds itself, with its
// options and help, to the program's command-line parser (CLI11) and hands
// back what runs it once the whole command line has been read.  A command
// works on the register in the working directory, prints what it has to
// say on standard output, and throws cli::Failure on any failure.
#ifndef LEDGROVE_APP_CLI_COMMANDS_H
#define LEDGROVE_APP_CLI_COMMANDS_H

#include <functional>
#include <vector>

#include "app/cli/cli_common.h"

namespace CLI {
class App;
}

namespace ledgrove::cli {

struct Command {
    CLI::App *app;              // the subcommand on the parser
    std::function<void()> run;  // after parsing, when the subcommand was given
};

Command add_search_command(CLI::App &program);
Command add_summary_command(CLI::App &program);
Command add_convert_command(CLI::App &program);
Command add_serve_command(CLI::App &program);
// import, export, reindex, empty, demo, make-empty
std::vector<Command> add_maint_commands(CLI::App &program);

}  // namespace ledgrove::cli

#endif  // LEDGROVE_APP_CLI_COMMANDS_H
