// import.h - appending the checks of a register CSV file to the data file.
//
// The file is read whole, however large, in pieces through the engine's
// file layer (the set's, so an in-memory register reads an in-memory
// file), and split into lines at LF (a CR before it is dropped), so a
// damaged line spoils only itself.  A line that cannot be a record (too
// short for the fixed columns, a date that is no date, an amount that is no
// number or too large for the stored form) is skipped and reported with its
// line number; blank lines are passed over and counted; every other line
// becomes a record.  An import that adds no record at all has failed: the
// file was not what the user meant to import.  A read-only register is
// refused before anything is read.
//
// Record ids continue from the highest id in ChkRIDS.IX4, and never from
// below the data file's record count, so a stale or missing id index cannot
// make an id twice.  After each add the counter moves up to the record
// number the engine gave, so the ids of a register built by imports equal
// its record numbers.  An id has six base-36 digits: once the counter would
// pass zzzzzz (36^6 - 1) the remaining lines are refused, not wrapped.
//
// The records go to the data file in blocks of 1 MiB (append_buffer.h).  A
// failure anywhere (a record the engine refuses, a block that cannot be
// written for a full disk, the CSV file that cannot be read on, the closing
// flush) fails the import as a whole: the records it added are taken back,
// the register is as it was before, and the report says why and counts
// nothing imported.  Only a failure that also stops the taking back (a
// disk gone for good after the count was written) can leave the records in.
//
// Only the data file changes; the caller rebuilds the indexes afterwards.
// The import ends with a flush of the data file's header, which is what
// makes the new records part of the register: a crash before it leaves
// the register as it was before the import (the records appended so far
// lie past the record count, and the next append or flush drops them), a
// crash after it leaves every new record in place.
#ifndef LEDGROVE_APP_MAINT_IMPORT_H
#define LEDGROVE_APP_MAINT_IMPORT_H

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "app/store/database_set.h"

namespace ledgrove {

struct SkippedLine {
    std::size_t line_number;  // from 1
    std::string reason;
};

struct ImportReport {
    std::size_t imported = 0;
    std::int64_t imported_cents = 0;     // the amounts of the records added, summed
    std::vector<SkippedLine> skipped;    // lines that are no record
    std::size_t blank_lines = 0;         // passed over
    std::size_t refused_past_id_limit = 0;  // good lines left out because the ids ran out
    std::uint32_t file_error = 0;  // the CSV file could not be opened or read (engine error)
    std::string error;             // what stopped the import, "" when it ran to the end
    std::string first_id, last_id;  // ids given, "" when none

    bool ok() const { return error.empty(); }
};

// How far an import has come: lines read so far and bytes of the file read
// so far, out of its size.  Called every few thousand lines and at the end.
struct ImportProgress {
    std::size_t lines;
    std::uint64_t bytes_read;
    std::uint64_t file_size;
};
using ImportObserver = std::function<void(const ImportProgress &)>;

// Imports the file into the set's data file.  The set is opened first when
// it is closed, and left as it was found.
ImportReport import_csv(DatabaseSet &set, const std::string &csv_path,
                        const ImportObserver &observer = {});

}  // namespace ledgrove

#endif  // LEDGROVE_APP_MAINT_IMPORT_H
