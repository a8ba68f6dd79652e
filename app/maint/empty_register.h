// empty_register.h - emptying the register: ChkREG.DBF is replaced by a
// copy of "empty.dbf" and all eight indexes are rebuilt.
//
// The copy is made beside ChkREG.DBF under a temporary name, checked to be
// an empty data file of the register's layout, and only then renamed over
// ChkREG.DBF, so a missing or wrong "empty.dbf" leaves the register as it
// was.  The open DatabaseSet is closed around the replacement.
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
