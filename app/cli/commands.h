// commands.h - the subcommands of ledgrove-cli.  Each takes the arguments
// after its name, works on the register in the working directory, prints
// what it has to say on standard output, and throws cli::Failure on any
// failure.
#ifndef LEDGROVE_APP_CLI_COMMANDS_H
#define LEDGROVE_APP_CLI_COMMANDS_H

#include "app/cli/cli_common.h"

namespace ledgrove::cli {

struct Command {
    const char *name;
    const char *synopsis;  // one line for the program's help
    const char *help;      // the command's own --help text
    int (*run)(const Args &args);
};

int run_search_command(const Args &args);
int run_import_command(const Args &args);
int run_export_command(const Args &args);
int run_reindex_command(const Args &args);
int run_empty_command(const Args &args);
int run_demo_command(const Args &args);
int run_make_empty_command(const Args &args);
int run_convert_command(const Args &args);

extern const char *const kSearchHelp;
extern const char *const kConvertHelp;

}  // namespace ledgrove::cli

#endif  // LEDGROVE_APP_CLI_COMMANDS_H
