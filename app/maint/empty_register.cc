// empty_register.cc - keeping a copy of the checks, then replacing the data
// file by an empty one.
#include "app/maint/empty_register.h"

#include <filesystem>
#include <system_error>

#include "app/maint/export_register.h"
#include "app/maint/file_replace.h"
#include "app/output/messages.h"
#include "app/store/error_text.h"
#include "app/store/open_notice.h"

namespace ledgrove {
namespace {

namespace fs = std::filesystem;

constexpr const char *kReplacementName = "ChkREG.DBF.new";
constexpr const char *kBackupExtension = ".csv";
constexpr const char *kDataCopyExtension = ".DBF";

// Empty when the file is a data file of the register's layout with no
// records, else what is wrong with it.
std::string check_empty_data_file(const std::string &path) {
    korval32::DataControl block = make_data_control(path, 0);
    DataHandle data = block.get();
    const std::uint32_t rc = KvlDataOpenFile(data, 0);
    if (rc != ERR_NONE && rc != ERR_INCOMPLETE_WRITE)
        return "is not a data file (error " + std::to_string(rc) + ")";
    std::string problem;
    if (data->field_count != kFieldCount || data->header.record_length != kCheckRecordSize)
        problem = "does not have the register's fields";
    else if (data->header.record_count != 0)
        problem = "is not empty";
    block.close();
    return problem;
}

// A name for the copy that no earlier copy has: two emptyings within one
// second must not write the second, empty copy over the first.
std::string unused_backup_path(const DatabaseSet &set, const char *extension = kBackupExtension) {
    const std::string name = empty_backup_name(std::time(nullptr));
    const std::string stem = name.substr(0, name.size() - std::string(kBackupExtension).size());
    std::string path = set.path((stem + extension).c_str());
    std::error_code ec;
    for (int n = 2; fs::exists(path, ec); ++n)
        path = set.path((stem + "-" + std::to_string(n) + extension).c_str());
    return path;
}

// Whether the set has a data file to copy: a register without one is new.
bool has_data_file(const DatabaseSet &set) {
    if (set.data_open()) return true;
    for (const DatabaseSet::OpenFailure &failure : set.failures())
        if (failure.file_name == kDataFileName)
            return classify_open_failure(failure.result) != OpenProblem::Missing;
    return false;
}

// A register whose checks cannot be read as checks (a damaged data file, a
// lost check-id index) is kept as it stands: a byte copy of its data file.
// Emptying is the way out that the notice of damage offers, so it must not
// be refused for the damage itself, nor lose what the file still holds.
std::string copy_data_file(const DatabaseSet &set, EmptyReport &report) {
    const std::string path = unused_backup_path(set, kDataCopyExtension);
    std::error_code ec;
    fs::copy_file(set.path(kDataFileName), path, ec);
    if (ec) {
        fs::remove(path, ec);
        return messages::empty_backup_failure(path, ec.message());
    }
    report.backup_path = path;
    report.data_file_copied = true;
    return "";
}

// Writes the set's checks to a copy beside the register; "" when done (or
// when there was nothing to copy), else the message why not.
std::string back_up_checks(DatabaseSet &set, EmptyReport &report) {
    if (!has_data_file(set)) return "";
    if (!set.data_open()) return copy_data_file(set, report);
    const std::string path = unused_backup_path(set);
    const ExportReport exported = export_register(set, path);
    if (exported.ok()) {
        report.backup_path = path;
        report.backed_up = exported.written;
        return "";
    }
    // Half a copy would look like a whole one later: it goes.
    std::error_code ec;
    fs::remove(path, ec);
    if (exported.open_error != 0)
        return messages::empty_backup_failure(path, error_reason(exported.open_error));
    if (exported.write_error != 0)
        return messages::empty_backup_failure(path, error_reason(exported.write_error));
    return copy_data_file(set, report);  // the walk of the checks failed
}

}  // namespace

std::string empty_backup_name(std::time_t when) {
    std::tm local{};
    localtime_r(&when, &local);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
    return kEmptyBackupPrefix + std::string(stamp) + kBackupExtension;
}

EmptyReport empty_register(DatabaseSet &set, const std::string &empty_source,
                           const RebuildObserver &observer) {
    EmptyReport report;
    const bool was_open = set.is_open();
    // The set is read for the copy of the checks, and tells whether the
    // register may be written at all.
    if (!was_open) set.open();
    auto stop = [&](std::string error) -> EmptyReport & {
        report.error = std::move(error);
        if (!was_open) set.close();
        return report;
    };
    if (set.read_only()) return stop(std::string(messages::kReadOnlyRegister));

    const std::string target = set.path(kDataFileName);
    const std::string replacement = set.path(kReplacementName);
    std::error_code ec;
    fs::copy_file(empty_source, replacement, fs::copy_options::overwrite_existing, ec);
    if (ec) {
        const std::string why = ec.message();
        fs::remove(replacement, ec);
        return stop("cannot copy " + empty_source + ": " + why);
    }
    if (std::string problem = check_empty_data_file(replacement); !problem.empty()) {
        fs::remove(replacement, ec);
        return stop(empty_source + " " + problem);
    }
    if (std::string refused = back_up_checks(set, report); !refused.empty()) {
        fs::remove(replacement, ec);
        return stop(refused);
    }

    set.close();
    std::size_t step = 0;
    for (RegisterIndex which : kRebuildOrder) {
        RebuildReport one =
            build_index_file(replacement, set.path(index_info(which).file_name),
                             set.path(kRebuildWorkFileName), which, observer, step++, kIndexCount);
        report.rebuild.failures.insert(report.rebuild.failures.end(), one.failures.begin(),
                                       one.failures.end());
    }
    if (!report.rebuild.ok()) {
        // Some indexes may be empty already: build them again from the
        // register as it still is.
        report.error = "cannot build the empty indexes";
        fs::remove(replacement, ec);
        rebuild_all_indexes(set);
    } else if (std::error_code replaced = replace_file(replacement, target)) {
        report.error = "cannot replace " + target + ": " + replaced.message();
        fs::remove(replacement, ec);
        rebuild_all_indexes(set);
    }
    if (was_open) set.open();
    return report;
}

}  // namespace ledgrove
