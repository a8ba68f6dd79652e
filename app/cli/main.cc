// main.cc - ledgrove-cli: the check register from the command line.
//
//   ledgrove-cli [-C DIR] COMMAND [ARGUMENTS]
//
// Works on the register files in the working directory (or in DIR, as if
// started there).  Exit status 0 on success; on failure one line on
// standard error and status 1 (2 for a wrong command line).  The command
// line is read by CLI11; its errors are told in the same one line.
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <memory>

#include <CLI/CLI.hpp>

#include "app/cli/commands.h"
#include "app/cli/help_format.h"
#include "app/cli/terminal_text.h"

namespace ledgrove::cli {
namespace {

// What CLI11 leaves over: an option it does not know, or a word where none
// belongs.
void refuse_extras(const CLI::App &app, const std::string &word_error) {
    const std::vector<std::string> extras = app.remaining();
    if (extras.empty()) return;
    const std::string &first = extras.front();
    if (first.size() > 1 && first[0] == '-') usage_error("unknown option: " + first);
    usage_error(word_error + first);
}

int run(int argc, char **argv) {
    CLI::App program("Works on the check register in the working directory, or in DIR.",
                     kProgram);
    program.formatter(std::make_shared<HelpFormat>());
    program.set_help_flag("-h,--help", "show this help");
    program.footer("'ledgrove-cli COMMAND --help' tells more about a command.");
    std::string directory;
    program.add_option("-C", directory, "work on the register in DIR")->type_name("DIR");

    std::vector<Command> commands = {add_search_command(program), add_summary_command(program),
                                     add_convert_command(program), add_serve_command(program)};
    for (Command &command : add_maint_commands(program)) commands.push_back(std::move(command));
    for (Command &command : commands) {
        command.app->allow_extras();  // told as ledgrove-cli's own errors below
        command.app->set_help_flag("-h,--help", "show this help");
        command.app->group("Commands");
    }
    program.allow_extras();

    try {
        program.parse(argc, argv);
    } catch (const CLI::CallForHelp &) {
        std::fputs(program.help().c_str(), stdout);
        return kSuccess;
    } catch (const CLI::ParseError &error) {
        usage_error(error.what());
    }

    const std::vector<std::string> extras = program.remaining();
    if (!extras.empty() && extras.front() == "help") {
        std::fputs(program.help().c_str(), stdout);
        return kSuccess;
    }
    if (!extras.empty() && (extras.front().empty() || extras.front()[0] != '-'))
        usage_error("unknown command: " + extras.front() + " (try ledgrove-cli --help)");
    refuse_extras(program, "unexpected argument: ");
    const Command *chosen = nullptr;
    for (const Command &command : commands)
        if (command.app->parsed()) chosen = &command;
    if (!chosen) {
        std::fputs(program.help().c_str(), stderr);
        return kUsage;
    }
    refuse_extras(*chosen->app, "unexpected argument: ");
    if (!directory.empty() && ::chdir(directory.c_str()) != 0)
        fail("cannot change to directory " + directory + ": " + std::strerror(errno));
    chosen->run();
    return kSuccess;
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
