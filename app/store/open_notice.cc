// open_notice.cc - phrases for register files that could not be used.
#include "app/store/open_notice.h"

#include "app/store/error_text.h"
#include "app/store/register_files.h"

namespace ledgrove {
namespace {

bool is_data_file(const DatabaseSet::OpenFailure &failure) {
    return failure.file_name == kDataFileName;
}

const IndexFileInfo *index_named(const std::string &file_name) {
    for (const IndexFileInfo &info : kIndexFiles)
        if (file_name == info.file_name) return &info;
    return nullptr;
}

}  // namespace

OpenProblem classify_open_failure(std::uint32_t result) {
    switch (result) {
        case KVL_WIN_FILE_NOT_FOUND:
        case KVL_WIN_PATH_NOT_FOUND: return OpenProblem::Missing;
        case ERR_INCOMPLETE_WRITE: return OpenProblem::Unfinished;
        case KVL_WIN_HANDLE_EOF: return OpenProblem::Damaged;  // shorter than it says
        default: break;
    }
    // The engine's own codes name what it found wrong in the file.
    return result >= ERR_COLLATION_SOFT_1 ? OpenProblem::Damaged : OpenProblem::Unreadable;
}

std::string describe_open_failure(const DatabaseSet::OpenFailure &failure) {
    const std::string code = " (error " + std::to_string(failure.result) + ")";
    switch (classify_open_failure(failure.result)) {
        case OpenProblem::Missing: return failure.file_name + " is missing";
        case OpenProblem::Damaged: return failure.file_name + " is damaged" + code;
        case OpenProblem::Unfinished:
            return failure.file_name + " was left unfinished by a change that did not end" + code;
        case OpenProblem::Unreadable:
            return failure.file_name + " cannot be opened: " + error_reason(failure.result);
    }
    return failure.file_name + code;
}

std::string open_failure_consequence(const DatabaseSet::OpenFailure &failure) {
    if (is_data_file(failure)) return "every search lists nothing";
    const IndexFileInfo *info = index_named(failure.file_name);
    if (!info) return "";
    if (!info->serves) return "no search needs it, the next rebuild makes it again";
    return std::string(sort_order_caption(*info->serves)) + " searches list nothing";
}

std::string register_open_notice(const std::vector<DatabaseSet::OpenFailure> &failures) {
    if (failures.empty()) return "";
    std::string text = "Some register files cannot be used:\n";
    bool data_failed = false;
    for (const DatabaseSet::OpenFailure &failure : failures) {
        text += "  " + describe_open_failure(failure);
        const std::string consequence = open_failure_consequence(failure);
        if (!consequence.empty()) text += ": " + consequence;
        text += ".\n";
        data_failed = data_failed || is_data_file(failure);
    }
    if (data_failed)
        text += std::string("Restore ") + kDataFileName +
                " from a copy, or empty the register and import the checks again.";
    else
        text += "Rebuild Indexes (Advanced Options) makes the index files anew.";
    return text;
}

}  // namespace ledgrove
