// maint_commands.cc - the ledgrove-cli commands that keep the register:
// import, export, reindex, empty, and the sample and empty files.
#include <cstdio>
#include <memory>
#include <string>

#include <CLI/CLI.hpp>

#include "app/cli/commands.h"
#include "app/store/error_text.h"
#include "app/maint/demo_register.h"
#include "app/maint/empty_data_file.h"
#include "app/maint/empty_register.h"
#include "app/maint/export_register.h"
#include "app/maint/import.h"
#include "app/maint/rebuild.h"
#include "app/output/csv_file.h"
#include "app/output/messages.h"

namespace ledgrove::cli {
namespace {

std::string describe(const RebuildFailure &failure) {
    return failure.file_name + ": " + failure.stage + " failed (error " +
           std::to_string(failure.result) + ")";
}

void fail_unless_rebuilt(const RebuildReport &report) {
    if (!report.error.empty()) fail(report.error);
    if (!report.failures.empty())
        fail("rebuilding the indexes: " + describe(report.failures.front()));
}

void rebuild_or_fail(DatabaseSet &set) { fail_unless_rebuilt(rebuild_all_indexes(set)); }

// The operands of a command, each a positional on its parser; a missing
// one is a usage error that shows the whole usage, as before CLI11.
struct Operands {
    std::vector<std::string> values;
    std::string usage;

    const std::vector<std::string> &need() const {
        for (const std::string &value : values)
            if (value.empty()) usage_error("usage: " + usage);
        return values;
    }
};

std::shared_ptr<Operands> operands(CLI::App *command, std::vector<std::pair<const char *, const char *>> names,
                                   const std::string &usage) {
    auto shared = std::make_shared<Operands>();
    shared->values.resize(names.size());
    shared->usage = usage;
    for (std::size_t i = 0; i < names.size(); ++i)
        command->add_option(names[i].first, shared->values[i], names[i].second);
    return shared;
}

void run_import(const std::string &file) {
    DatabaseSet set;
    set.open();
    require_open(set, {});
    const ImportReport report = import_csv(set, file);
    for (const SkippedLine &line : report.skipped)
        std::printf("Skipped line %zu: %s\n", line.line_number, line.reason.c_str());
    if (report.blank_lines > 0) std::printf("Blank lines passed over: %zu\n", report.blank_lines);
    // Nothing added: nothing to rebuild, and the import has failed.
    if (report.imported == 0) fail(report.error);
    std::printf("Imported %zu records, ids %s to %s\n", report.imported, report.first_id.c_str(),
                report.last_id.c_str());
    std::fflush(stdout);
    rebuild_or_fail(set);
    if (!report.ok()) fail(report.error);
}

void run_export(const std::string &file) {
    DatabaseSet set;
    set.open();
    require_open(set, {kExportIndex});
    const ExportReport report = export_register(set, file);
    if (report.open_error != 0)
        fail("cannot create " + file + ": " + error_reason(report.open_error));
    if (report.write_error != 0)
        fail("cannot write " + file + ": " + error_reason(report.write_error));
    if (report.walk_error != 0)
        fail("the export stopped early on engine error " + std::to_string(report.walk_error));
    std::printf("Exported %zu records\n", report.written);
}

void run_reindex() {
    DatabaseSet set;
    set.open();
    require_open(set, {});  // the indexes themselves may well be broken
    rebuild_or_fail(set);
}

void run_empty() {
    DatabaseSet set;
    const EmptyReport report = empty_register(set, empty_data_file_source());
    if (!report.error.empty()) fail(report.error);
    if (!report.backup_path.empty())
        std::printf("%s\n",
                    messages::empty_backup_written(report.backup_path, report.backed_up,
                                                   report.data_file_copied).c_str());
    std::fflush(stdout);
    fail_unless_rebuilt(report.rebuild);
}

void run_demo(const std::string &count, const std::string &path) {
    const std::size_t checks = parse_count(count, "N");
    CsvFileWriter file;
    if (std::uint32_t rc = file.create(path); rc != 0)
        fail("cannot create " + path + ": " + error_reason(rc));
    DemoRegister demo(checks);
    std::string line;
    while (demo.next_line(line) && file.write_error() == 0) file.write(line);
    if (std::uint32_t rc = file.finish(); rc != 0)
        fail("cannot write " + path + ": " + error_reason(rc));
}

void run_make_empty(const std::string &path) {
    if (std::uint32_t rc = create_empty_data_file(path); rc != 0)
        fail("cannot create " + path + ": " + error_reason(rc));
}

}  // namespace

std::vector<Command> add_maint_commands(CLI::App &program) {
    std::vector<Command> commands;

    CLI::App *import = program.add_subcommand(
        "import", "add the checks of a register CSV file, then rebuild the indexes");
    import->footer(
        "Adds every good line of FILE.csv to the register and rebuilds all eight\n"
        "indexes.  Lines that cannot be a check (too short, a date that is no date,\n"
        "an amount that is no number or too large) are skipped and listed by line\n"
        "number; blank lines are counted.  An import that adds no check fails.\n");
    auto import_file = operands(import, {{"FILE.csv", "the register CSV file"}},
                                "ledgrove-cli import FILE.csv");
    commands.push_back({import, [import_file] { run_import(import_file->need()[0]); }});

    CLI::App *exported =
        program.add_subcommand("export", "write the whole register to a register CSV file");
    exported->footer(
        "Writes every check in check-number order, in the form that import reads.\n"
        "An existing FILE.csv is replaced.\n");
    auto export_file = operands(exported, {{"FILE.csv", "the file to write"}},
                                "ledgrove-cli export FILE.csv");
    commands.push_back({exported, [export_file] { run_export(export_file->need()[0]); }});

    CLI::App *reindex = program.add_subcommand("reindex", "rebuild the eight index files");
    reindex->footer("Rebuilds all eight index files from ChkREG.DBF.\n");
    commands.push_back({reindex, run_reindex});

    CLI::App *empty = program.add_subcommand("empty", "empty the register");
    empty->footer(
        "Writes the register's checks to ChkREG-before-empty-YYYYMMDD-HHMMSS.csv\n"
        "beside it (import brings them back; a data file that cannot be read as\n"
        "checks is copied as it stands, as .DBF), then replaces ChkREG.DBF by a copy\n"
        "of empty.dbf (from the register directory, else from beside the program)\n"
        "and rebuilds the indexes.  This also makes a new register in an empty\n"
        "directory.\n");
    commands.push_back({empty, run_empty});

    CLI::App *demo = program.add_subcommand("demo", "write a sample register CSV file of N checks");
    demo->footer(
        "Writes N made-up checks from 2006 to 2020, always the same for the same N,\n"
        "in the form that import reads.\n");
    auto demo_operands = operands(demo, {{"N", "how many checks"}, {"FILE.csv", "the file to write"}},
                                  "ledgrove-cli demo N FILE.csv");
    commands.push_back({demo, [demo_operands] {
                            const auto &values = demo_operands->need();
                            run_demo(values[0], values[1]);
                        }});

    CLI::App *make_empty =
        program.add_subcommand("make-empty", "create an empty register data file");
    make_empty->footer(
        "Creates FILE as a data file of the register's fields with no records\n"
        "(how the build makes empty.dbf).\n");
    auto make_empty_file =
        operands(make_empty, {{"FILE", "the data file to create"}}, "ledgrove-cli make-empty FILE");
    commands.push_back({make_empty, [make_empty_file] { run_make_empty(make_empty_file->need()[0]); }});
    return commands;
}

}  // namespace ledgrove::cli
