// stdout_output.h - a table export written to standard output (search
// --format csv|json with no --output): the same bytes a file would get.
#ifndef LEDGROVE_APP_CLI_STDOUT_OUTPUT_H
#define LEDGROVE_APP_CLI_STDOUT_OUTPUT_H

#include <cstdio>

#include "app/cli/cli_common.h"
#include "app/output/text_output.h"

namespace ledgrove::cli {

class StdoutOutput : public TextOutput {
public:
    void write(std::string_view text) override { std::fwrite(text.data(), 1, text.size(), stdout); }

    // Fails when anything could not be written (a closed pipe, a full disk).
    static void finish() {
        if (std::fflush(stdout) != 0 || std::ferror(stdout)) fail("cannot write the results");
    }
};

}  // namespace ledgrove::cli

#endif  // LEDGROVE_APP_CLI_STDOUT_OUTPUT_H
