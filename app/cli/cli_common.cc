// cli_common.cc - failures and register checks of the commands.
#include "app/cli/cli_common.h"

#include <filesystem>
#include <limits>

#include "app/store/open_notice.h"

namespace ledgrove::cli {

void require_open(const DatabaseSet &set, std::initializer_list<RegisterIndex> indexes) {
    for (const DatabaseSet::OpenFailure &failure : set.failures()) {
        bool needed = failure.file_name == kDataFileName;
        for (RegisterIndex which : indexes)
            needed = needed || failure.file_name == index_info(which).file_name;
        if (!needed) continue;
        DatabaseSet::OpenFailure named = failure;
        named.file_name = set.path(failure.file_name.c_str());
        std::string message = "register file " + describe_open_failure(named);
        if (failure.file_name != kDataFileName)
            message += "; ledgrove-cli reindex builds the index files anew";
        fail(message);
    }
}

std::string program_directory() {
    std::error_code ec;
    std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::string(".") : exe.parent_path().string();
}

std::string empty_data_file_source() {
    if (std::filesystem::exists(kEmptyDataFileName)) return kEmptyDataFileName;
    std::string beside = program_directory() + "/" + kEmptyDataFileName;
    if (std::filesystem::exists(beside)) return beside;
    fail(std::string("cannot find ") + kEmptyDataFileName +
         " in the register directory or beside the program");
}

std::size_t parse_count(const std::string &text, std::string_view what) {
    std::size_t value = 0;
    if (text.empty()) usage_error(std::string(what) + " must be a whole number");
    for (char c : text) {
        if (c < '0' || c > '9') usage_error(std::string(what) + " must be a whole number: " + text);
        if (value > (std::numeric_limits<std::size_t>::max() - 9) / 10)
            usage_error(std::string(what) + " is too large: " + text);
        value = value * 10 + static_cast<std::size_t>(c - '0');
    }
    return value;
}

}  // namespace ledgrove::cli
