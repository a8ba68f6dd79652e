// maint_commands.cc - the ledgrove-cli commands that keep the register:
// import, export, reindex, empty, and the sample and empty files.
#include <cstdio>
#include <string>

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

// The one operand of a command that takes exactly `count` of them.
void expect_operands(const Args &args, std::size_t count, const char *usage) {
    for (const std::string &arg : args) {
        check_help(arg);
        if (arg.size() > 1 && arg[0] == '-') usage_error("unknown option: " + arg);
    }
    if (args.size() != count) usage_error(std::string("usage: ") + usage);
}

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

}  // namespace

int run_import_command(const Args &args) {
    expect_operands(args, 1, "ledgrove-cli import FILE.csv");
    DatabaseSet set;
    set.open();
    require_open(set, {});
    const ImportReport report = import_csv(set, args[0]);
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
    return kSuccess;
}

int run_export_command(const Args &args) {
    expect_operands(args, 1, "ledgrove-cli export FILE.csv");
    DatabaseSet set;
    set.open();
    require_open(set, {kExportIndex});
    const ExportReport report = export_register(set, args[0]);
    if (report.open_error != 0)
        fail("cannot create " + args[0] + ": " + error_reason(report.open_error));
    if (report.write_error != 0)
        fail("cannot write " + args[0] + ": " + error_reason(report.write_error));
    if (report.walk_error != 0)
        fail("the export stopped early on engine error " + std::to_string(report.walk_error));
    std::printf("Exported %zu records\n", report.written);
    return kSuccess;
}

int run_reindex_command(const Args &args) {
    expect_operands(args, 0, "ledgrove-cli reindex");
    DatabaseSet set;
    set.open();
    require_open(set, {});  // the indexes themselves may well be broken
    rebuild_or_fail(set);
    return kSuccess;
}

int run_empty_command(const Args &args) {
    expect_operands(args, 0, "ledgrove-cli empty");
    DatabaseSet set;
    const EmptyReport report = empty_register(set, empty_data_file_source());
    if (!report.error.empty()) fail(report.error);
    if (!report.backup_path.empty())
        std::printf("%s\n",
                    messages::empty_backup_written(report.backup_path, report.backed_up,
                                                   report.data_file_copied).c_str());
    std::fflush(stdout);
    fail_unless_rebuilt(report.rebuild);
    return kSuccess;
}

int run_demo_command(const Args &args) {
    expect_operands(args, 2, "ledgrove-cli demo N FILE.csv");
    const std::size_t checks = parse_count(args[0], "N");
    CsvFileWriter file;
    if (std::uint32_t rc = file.create(args[1]); rc != 0)
        fail("cannot create " + args[1] + ": " + error_reason(rc));
    DemoRegister demo(checks);
    std::string line;
    while (demo.next_line(line) && file.write_error() == 0) file.write(line);
    if (std::uint32_t rc = file.finish(); rc != 0)
        fail("cannot write " + args[1] + ": " + error_reason(rc));
    return kSuccess;
}

int run_make_empty_command(const Args &args) {
    expect_operands(args, 1, "ledgrove-cli make-empty FILE");
    if (std::uint32_t rc = create_empty_data_file(args[0]); rc != 0)
        fail("cannot create " + args[0] + ": " + error_reason(rc));
    return kSuccess;
}

}  // namespace ledgrove::cli
