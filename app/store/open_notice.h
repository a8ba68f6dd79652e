// open_notice.h - telling the user which register files could not be used.
//
// A missing or damaged file does not stop the program: the set still
// opens, and searches that need the file list nothing (database_set.h).
// An empty list alone looks like "no payments matched", so the program
// says once, without blocking, which files are missing or damaged and what
// that means; ledgrove-cli says the same on standard error and fails.
#ifndef LEDGROVE_APP_STORE_OPEN_NOTICE_H
#define LEDGROVE_APP_STORE_OPEN_NOTICE_H

#include <string>
#include <vector>

#include "app/store/database_set.h"

namespace ledgrove {

enum class OpenProblem {
    Missing,    // no such file
    Damaged,    // there, but not a usable file of its kind
    Unfinished, // an index left in the middle of a change: it wants a rebuild
    Unreadable, // the system refused it (permissions and the like)
};

OpenProblem classify_open_failure(std::uint32_t result);

// One failure as a phrase: "ChkRNAM.IX4 is missing",
// "ChkREG.DBF is damaged (error 8606)".
std::string describe_open_failure(const DatabaseSet::OpenFailure &failure);

// What a missing or damaged file costs the user: "every search lists
// nothing", "Vendor Name searches list nothing", ...
std::string open_failure_consequence(const DatabaseSet::OpenFailure &failure);

// The notice for the failures of one open, one line per file and a last
// line on how to repair; "" when every file opened.
std::string register_open_notice(const std::vector<DatabaseSet::OpenFailure> &failures);

}  // namespace ledgrove

#endif  // LEDGROVE_APP_STORE_OPEN_NOTICE_H
