// oracle.h - runs a command (a tool we built, or one of the Python oracles:
// readers and writers of dBASE files that we did not write) and gives back
// its exit status and standard output.
#ifndef KVL_TESTS_SUPPORT_ORACLE_H
#define KVL_TESTS_SUPPORT_ORACLE_H

#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace kvl_test {

struct CommandRun {
    int status = -1;  // the exit status; -1 when it did not exit
    std::string out;
};

inline CommandRun run_command(const std::string &line) {
    CommandRun run;
    FILE *pipe = ::popen(line.c_str(), "r");
    if (!pipe) return run;
    char buffer[65536];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) run.out.append(buffer, n);
    const int status = ::pclose(pipe);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

inline std::string source_dir() {
    const char *dir = std::getenv("LEDGROVE_SOURCE_DIR");
    return dir ? dir : LEDGROVE_SOURCE_DIR;
}

// tests/engine/oracle.py COMMAND PATH (python3-dbfread and python3-dbf come
// from scripts/deps).
inline CommandRun oracle(const std::string &command, const std::string &path) {
    return run_command("/usr/bin/python3 '" + source_dir() + "/tests/engine/oracle.py' " + command +
                       " '" + path + "'");
}

}  // namespace kvl_test

#endif  // KVL_TESTS_SUPPORT_ORACLE_H
