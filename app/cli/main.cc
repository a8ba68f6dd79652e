// main.cc - ledgrove-cli: the check register from the command line.
//
//   ledgrove-cli [-C DIR] COMMAND [ARGUMENTS]
//
// Works on the register files in the working directory (or in DIR, as if
// started there).  Exit status 0 on success; on failure one line on
// standard error and status 1 (2 for a wrong command line).
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>

#include "app/cli/commands.h"
#include "app/cli/terminal_text.h"

namespace ledgrove::cli {
namespace {

const Command kCommands[] = {
    {"search", "list checks, as the search window does", kSearchHelp, run_search_command},
    {"import", "add the checks of a register CSV file, then rebuild the indexes",
     "usage: ledgrove-cli import FILE.csv\n\n"
     "Adds every good line of FILE.csv to the register and rebuilds all eight\n"
     "indexes.  Lines that cannot be a check (too short, a date that is no date,\n"
     "an amount that is no number or too large) are skipped and listed by line\n"
     "number; blank lines are counted.  An import that adds no check fails.\n",
     run_import_command},
    {"convert", "turn a published register's CSV file into one that import reads",
     kConvertHelp, run_convert_command},
    {"export", "write the whole register to a register CSV file",
     "usage: ledgrove-cli export FILE.csv\n\n"
     "Writes every check in check-number order, in the form that import reads.\n"
     "An existing FILE.csv is replaced.\n",
     run_export_command},
    {"reindex", "rebuild the eight index files",
     "usage: ledgrove-cli reindex\n\n"
     "Rebuilds all eight index files from ChkREG.DBF.\n",
     run_reindex_command},
    {"empty", "empty the register",
     "usage: ledgrove-cli empty\n\n"
     "Writes the register's checks to ChkREG-before-empty-YYYYMMDD-HHMMSS.csv\n"
     "beside it (import brings them back; a data file that cannot be read as\n"
     "checks is copied as it stands, as .DBF), then replaces ChkREG.DBF by a copy\n"
     "of empty.dbf (from the register directory, else from beside the program)\n"
     "and rebuilds the indexes.  This also makes a new register in an empty\n"
     "directory.\n",
     run_empty_command},
    {"demo", "write a sample register CSV file of N checks",
     "usage: ledgrove-cli demo N FILE.csv\n\n"
     "Writes N made-up checks from 2006 to 2020, always the same for the same N,\n"
     "in the form that import reads.\n",
     run_demo_command},
    {"make-empty", "create an empty register data file",
     "usage: ledgrove-cli make-empty FILE\n\n"
     "Creates FILE as a data file of the register's fields with no records\n"
     "(how the build makes empty.dbf).\n",
     run_make_empty_command},
};

void print_usage(std::FILE *out) {
    std::fprintf(out,
                 "usage: ledgrove-cli [-C DIR] COMMAND [ARGUMENTS]\n\n"
                 "Works on the check register in the working directory, or in DIR.\n\n"
                 "Commands:\n");
    for (const Command &command : kCommands)
        std::fprintf(out, "  %-11s %s\n", command.name, command.synopsis);
    std::fprintf(out, "\n'ledgrove-cli COMMAND --help' tells more about a command.\n");
}

int run(int argc, char **argv) {
    Args args(argv + 1, argv + argc);
    std::size_t next = 0;
    if (next < args.size() && args[next] == "-C") {
        if (next + 1 >= args.size()) usage_error("-C needs a directory");
        const std::string &dir = args[next + 1];
        if (::chdir(dir.c_str()) != 0)
            fail("cannot change to directory " + dir + ": " + std::strerror(errno));
        next += 2;
    }
    if (next >= args.size()) {
        print_usage(stderr);
        return kUsage;
    }
    const std::string name = args[next];
    if (name == "--help" || name == "-h" || name == "help") {
        print_usage(stdout);
        return kSuccess;
    }
    const Args rest(args.begin() + static_cast<std::ptrdiff_t>(next + 1), args.end());
    for (const Command &command : kCommands) {
        if (name != command.name) continue;
        try {
            return command.run(rest);
        } catch (const HelpRequested &) {
            std::fputs(command.help, stdout);
            return kSuccess;
        }
    }
    usage_error("unknown command: " + name + " (try ledgrove-cli --help)");
}

}  // namespace
}  // namespace ledgrove::cli

int main(int argc, char **argv) {
    using namespace ledgrove::cli;
    use_terminal_locale();
    try {
        return run(argc, argv);
    } catch (const Failure &failure) {
        std::fflush(stdout);
        std::fprintf(stderr, "%s: %s\n", kProgram, failure.what());
        return failure.status;
    } catch (const std::exception &error) {
        std::fflush(stdout);
        std::fprintf(stderr, "%s: %s\n", kProgram, error.what());
        return kFailure;
    }
}
