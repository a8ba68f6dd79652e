// cli_common.h - what every ledgrove-cli command shares: how a command
// fails (one line on standard error and a non-zero exit status) and the
// checks that the register's files are there.
#ifndef LEDGROVE_APP_CLI_CLI_COMMON_H
#define LEDGROVE_APP_CLI_CLI_COMMON_H

#include <initializer_list>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "app/store/database_set.h"
#include "app/store/register_files.h"

namespace ledgrove::cli {

inline constexpr const char *kProgram = "ledgrove-cli";

enum ExitStatus { kSuccess = 0, kFailure = 1, kUsage = 2 };

// Thrown by a command; main prints "ledgrove-cli: <message>" and exits with
// the status.
struct Failure : std::runtime_error {
    Failure(const std::string &message, int status = kFailure)
        : std::runtime_error(message), status(status) {}
    int status;
};

[[noreturn]] inline void fail(const std::string &message) { throw Failure(message); }
[[noreturn]] inline void usage_error(const std::string &message) { throw Failure(message, kUsage); }

// Fails unless the data file and the given indexes of the open set opened.
void require_open(const DatabaseSet &set, std::initializer_list<RegisterIndex> indexes);

// Where "empty.dbf" is taken from: the register directory, else beside the
// program.
std::string empty_data_file_source();

// The directory that holds the running program.
std::string program_directory();

// A whole non-negative number, or a usage error naming the argument.
std::size_t parse_count(const std::string &text, std::string_view what);

}  // namespace ledgrove::cli

#endif  // LEDGROVE_APP_CLI_CLI_COMMON_H
