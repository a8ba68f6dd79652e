// test_register.h - a register in a scratch directory, built the way a user
// builds one: empty.dbf made and copied in by emptying, checks added by the
// real import from CSV text, and the eight indexes rebuilt; and the built
// ledgrove-cli and python3 run as child processes on such a directory.
#ifndef LEDGROVE_TESTS_APP_SUPPORT_TEST_REGISTER_H
#define LEDGROVE_TESTS_APP_SUPPORT_TEST_REGISTER_H

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "app/maint/empty_data_file.h"
#include "app/maint/empty_register.h"
#include "app/maint/import.h"
#include "app/maint/rebuild.h"
#include "app/output/csv_line.h"
#include "app/store/database_set.h"
#include "support/engine_files.h"

namespace app_test {

inline void write_file(const std::string &path, const std::string &text) {
    std::ofstream(path, std::ios::binary) << text;
}

inline std::string read_file(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

class TestRegister {
public:
    // An empty register with its eight (empty) indexes, the set open.
    TestRegister() : set_(dir_.root()) {
        EXPECT_EQ(ledgrove::create_empty_data_file(path("empty.dbf")), 0u);
        ledgrove::EmptyReport emptied = ledgrove::empty_register(set_, path("empty.dbf"));
        EXPECT_TRUE(emptied.ok()) << emptied.error;
        set_.open();
        EXPECT_TRUE(set_.failures().empty());
    }

    std::string path(const std::string &name) const { return dir_.path(name); }
    ledgrove::DatabaseSet &set() { return set_; }
    std::uint32_t record_count() { return set_.data()->header.record_count; }

    // Imports the text as a CSV file and rebuilds the indexes.
    ledgrove::ImportReport import_text(const std::string &csv) {
        write_file(path("in.csv"), csv);
        ledgrove::ImportReport report = ledgrove::import_csv(set_, path("in.csv"));
        EXPECT_TRUE(ledgrove::rebuild_all_indexes(set_).ok());
        return report;
    }

    ledgrove::ImportReport import_records(const std::vector<ledgrove::CheckRecord> &records) {
        std::string csv;
        for (const ledgrove::CheckRecord &r : records) csv += ledgrove::csv_line_from_record(r);
        return import_text(csv);
    }

private:
    kvl_test::TempDir dir_;
    ledgrove::DatabaseSet set_;
};

struct CliRun {
    int status = -1;
    std::string out, err;

    // The failure form: exactly one line, "ledgrove-cli: ...".
    bool one_error_line() const {
        return err.rfind("ledgrove-cli: ", 0) == 0 &&
               std::count(err.begin(), err.end(), '\n') == 1 && err.back() == '\n';
    }
};

// Runs ledgrove-cli -C DIR ARGS with LC_ALL=locale; standard output and
// error go to files in `scratch` (by default DIR).
inline CliRun run_cli(const std::string &dir, std::vector<std::string> args, const char *locale = "C",
                      const std::string &scratch = "") {
    const std::string out = (scratch.empty() ? dir : scratch) + "/.stdout", err = out + "-err";
    args.insert(args.begin(), {std::string(LEDGROVE_BINARY_DIR) + "/bin/ledgrove-cli", "-C", dir});
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::setenv("LC_ALL", locale, 1);
        const int o = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int e = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (o < 0 || e < 0 || ::dup2(o, 1) < 0 || ::dup2(e, 2) < 0) ::_exit(127);
        std::vector<char *> argv;
        for (std::string &a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    CliRun run;
    int status = 0;
    if (pid > 0 && ::waitpid(pid, &status, 0) == pid && WIFEXITED(status)) run.status = WEXITSTATUS(status);
    run.out = read_file(out);
    run.err = read_file(err);
    return run;
}

// What /usr/bin/python3 prints for `code` run on the arguments (sys.argv[1:]).
inline std::string python(const std::string &code, const std::vector<std::string> &args) {
    ::setenv("LEDGROVE_PYTHON_CODE", code.c_str(), 1);
    std::string command = "/usr/bin/python3 -c \"$LEDGROVE_PYTHON_CODE\"", text;
    for (const std::string &a : args) command += " '" + a + "'";
    FILE *pipe = ::popen(command.c_str(), "r");
    for (int c; pipe && (c = std::fgetc(pipe)) != EOF;) text += static_cast<char>(c);
    EXPECT_EQ(pipe ? ::pclose(pipe) : -1, 0) << code;
    return text;
}

}  // namespace app_test

#endif  // LEDGROVE_TESTS_APP_SUPPORT_TEST_REGISTER_H
