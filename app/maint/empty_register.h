// empty_register.h - emptying the register: ChkREG.DBF is replaced by a
// copy of "empty.dbf" and all eight indexes are rebuilt.
//
// The copy is made beside ChkREG.DBF under a temporary name and checked to
// be an empty data file of the register's layout; a missing or wrong
// "empty.dbf" leaves the register as it was.  Then the eight empty indexes
// are built from the copy and put in place one by one, and only after them
// the copy takes ChkREG.DBF's place.  In that order a crash at any moment
// leaves a register that opens and searches, and every record is still in
// ChkREG.DBF until the last step empties it: at worst some indexes are
// already empty (a rebuild, or emptying again, finishes the job).  The
// open DatabaseSet is closed around the replacement.
#ifndef LEDGROVE_APP_MAINT_EMPTY_REGISTER_H
#define LEDGROVE_APP_MAINT_EMPTY_REGISTER_H

#include <string>

#include "app/maint/rebuild.h"
#include "app/store/database_set.h"

namespace ledgrove {

struct EmptyReport {
    std::string error;      // why the data file was not replaced; "" when it was
    RebuildReport rebuild;  // the rebuild that followed
    bool ok() const { return error.empty() && rebuild.ok(); }
};

// `empty_source` is the path of the empty data file to copy.
EmptyReport empty_register(DatabaseSet &set, const std::string &empty_source,
                           const RebuildObserver &observer = {});

}  // namespace ledgrove

#endif  // LEDGROVE_APP_MAINT_EMPTY_REGISTER_H
