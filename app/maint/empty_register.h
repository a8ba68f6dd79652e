// empty_register.h - emptying the register: the checks are first written to
// a register CSV file beside it, then ChkREG.DBF is replaced by a copy of
// "empty.dbf" and all eight indexes are rebuilt.
//
// The copy of the checks is the whole-register export, named
// "ChkREG-before-empty-YYYYMMDD-HHMMSS.csv" by the local time (with "-2",
// "-3", ... added rather than over an earlier copy of the same second); it
// imports back as the register was.  When it cannot be written whole,
// nothing is emptied.  A register whose checks cannot be read (a damaged data
// file or check-id index) is kept as a byte copy of its data file instead,
// "ChkREG-before-empty-YYYYMMDD-HHMMSS.DBF".  A register without a data file
// is a new one and has nothing to copy; a read-only register is refused.
//
// The copy of "empty.dbf" is made beside ChkREG.DBF under a temporary name
// and checked to be an empty data file of the register's layout; a missing
// or wrong "empty.dbf" leaves the register as it was.  Then the eight empty indexes
// are built from the copy and put in place one by one, and only after them
// the copy takes ChkREG.DBF's place.  In that order a crash at any moment
// leaves a register that opens and searches, and every record is still in
// ChkREG.DBF until the last step empties it: at worst some indexes are
// already empty (a rebuild, or emptying again, finishes the job).  The
// open DatabaseSet is closed around the replacement; a closed one is
// opened to read the register and left closed.
#ifndef LEDGROVE_APP_MAINT_EMPTY_REGISTER_H
#define LEDGROVE_APP_MAINT_EMPTY_REGISTER_H

#include <cstddef>
#include <ctime>
#include <string>

#include "app/maint/rebuild.h"
#include "app/store/database_set.h"

namespace ledgrove {

struct EmptyReport {
    std::string error;        // why the data file was not replaced; "" when it was
    std::string backup_path;  // the copy of the checks; "" when there was no data file
    std::size_t backed_up = 0;  // checks in it
    bool data_file_copied = false;  // the copy is of the damaged data file
    RebuildReport rebuild;    // the rebuild that followed
    bool ok() const { return error.empty() && rebuild.ok(); }
};

// "ChkREG-before-empty-YYYYMMDD-HHMMSS.csv" for the local time of `when`.
std::string empty_backup_name(std::time_t when);

// `empty_source` is the path of the empty data file to copy.
EmptyReport empty_register(DatabaseSet &set, const std::string &empty_source,
                           const RebuildObserver &observer = {});

}  // namespace ledgrove

#endif  // LEDGROVE_APP_MAINT_EMPTY_REGISTER_H
