// empty_register.cc - replacing the data file by an empty one.
#include "app/maint/empty_register.h"

#include <filesystem>
#include <system_error>

#include "app/maint/file_replace.h"

namespace ledgrove {
namespace {

namespace fs = std::filesystem;

constexpr const char *kReplacementName = "ChkREG.DBF.new";

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

}  // namespace

EmptyReport empty_register(DatabaseSet &set, const std::string &empty_source,
                           const RebuildObserver &observer) {
    EmptyReport report;
    const std::string target = set.path(kDataFileName);
    const std::string replacement = set.path(kReplacementName);
    std::error_code ec;
    fs::copy_file(empty_source, replacement, fs::copy_options::overwrite_existing, ec);
    if (ec) {
        report.error = "cannot copy " + empty_source + ": " + ec.message();
        fs::remove(replacement, ec);
        return report;
    }
    if (std::string problem = check_empty_data_file(replacement); !problem.empty()) {
        fs::remove(replacement, ec);
        report.error = empty_source + " " + problem;
        return report;
    }

    const bool was_open = set.is_open();
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
