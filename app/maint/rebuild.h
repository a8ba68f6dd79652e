// rebuild.h - rebuilding the register's index files from the data file.
//
// Each index is built anew from its key expression (node size 512,
// collated keys) by the engine's rebuild with leaves filled to 100
// percent, through the work file "chkr.TMP", which is deleted first in
// case a broken run left it behind.  Records tagged '*' get no key (tag
// filter 42).  Every rebuild works on control records of its own; the
// register's open DatabaseSet is closed around the whole rebuild, so no
// search ever reads an index file that was replaced under it.
//
// The new index is built beside the old one, under the old name with
// ".new" added, and only when it is complete and on disk does it take the
// old one's place (file_replace.h).  A crash or a failure at any moment
// therefore leaves every index file either as it was or rebuilt, never
// deleted or half built; a left-over ".new" file is simply built over.
//
// Unlike a blind rebuild, nothing is deleted when the data file cannot be
// opened: the index files stay as they were and the failure is reported.
#ifndef LEDGROVE_APP_MAINT_REBUILD_H
#define LEDGROVE_APP_MAINT_REBUILD_H

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "app/store/database_set.h"
#include "app/store/register_files.h"

namespace ledgrove {

inline constexpr std::uint32_t kRebuildIndexFlags = KVL_SORT_COLLATED;  // 2
inline constexpr std::uint32_t kRebuildFillPercent = 100;

// Where a rebuild stands: index `step` (0-based) of `steps`, its file name,
// and the engine's percentage for that index.
struct RebuildProgress {
    std::size_t step;
    std::size_t steps;
    const char *file_name;
    std::uint32_t percent;
};
using RebuildObserver = std::function<void(const RebuildProgress &)>;

struct RebuildFailure {
    std::string file_name;
    std::string stage;  // "open data file", "create", "open", "rebuild", "close", "replace"
    std::uint32_t result;  // the engine's result, or errno for "replace"
};

struct RebuildReport {
    std::vector<RebuildFailure> failures;
    std::string error;  // why no index was rebuilt at all (a read-only register)
    bool ok() const { return failures.empty() && error.empty(); }
};

// Builds index `which` over the data file at `data_path` into the file at
// `index_path`, by way of index_path + ".new" and the work file
// `work_path`.  `step` and `steps` only label the progress reports.
RebuildReport build_index_file(const std::string &data_path, const std::string &index_path,
                               const std::string &work_path, RegisterIndex which,
                               const RebuildObserver &observer = {}, std::size_t step = 0,
                               std::size_t steps = 1);

// Rebuilds one index file of the register in `directory`.  `step` and
// `steps` only label the progress reports.
RebuildReport rebuild_index(const std::string &directory, RegisterIndex which,
                            const RebuildObserver &observer = {}, std::size_t step = 0,
                            std::size_t steps = 1);

// Closes the set, rebuilds the eight indexes in the rebuild order, and
// opens the set again.  A read-only set is left alone, with the error set.
RebuildReport rebuild_all_indexes(DatabaseSet &set, const RebuildObserver &observer = {});

}  // namespace ledgrove

#endif  // LEDGROVE_APP_MAINT_REBUILD_H
