// export_register.h - writing the whole register to a register CSV file in
// check-number order (the check-id index), in the form the import reads.
// The record id is not written; the description keeps 32 characters.
#ifndef LEDGROVE_APP_MAINT_EXPORT_REGISTER_H
#define LEDGROVE_APP_MAINT_EXPORT_REGISTER_H

#include <cstddef>
#include <cstdint>
#include <string>

#include "app/output/messages.h"
#include "app/store/database_set.h"

namespace ledgrove {

struct ExportReport {
    std::size_t written = 0;     // lines
    std::uint32_t open_error = 0;   // the file could not be created
    std::uint32_t write_error = 0;  // a write or the close failed
    std::uint32_t walk_error = 0;   // the index walk ended on an engine error
    bool ok() const { return open_error == 0 && write_error == 0 && walk_error == 0; }
};

// Writes every live record of the set, walking ChkRCID.IX4 into the set's
// shared record buffer.
ExportReport export_register(DatabaseSet &set, const std::string &csv_path);

// What the user is told about an export to csv_path: how many lines went
// to the file, or why the file could not be created or written, or where
// the walk stopped.
messages::Notice export_notice(const ExportReport &report, const std::string &csv_path);

}  // namespace ledgrove

#endif  // LEDGROVE_APP_MAINT_EXPORT_REGISTER_H
