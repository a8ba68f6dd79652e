// file_replace.h - putting a finished file in the place of an old one so
// that a crash at any moment leaves either the old file or the new one,
// whole: the new file's bytes are forced to the disk first, then it is
// renamed over the old name (one atomic step), then the directory entry
// is forced to the disk.
#ifndef LEDGROVE_APP_MAINT_FILE_REPLACE_H
#define LEDGROVE_APP_MAINT_FILE_REPLACE_H

#include <string>
#include <system_error>

namespace ledgrove {

// The name a replacement is built under before it takes `path`'s place.
std::string replacement_path(const std::string &path);

// Forces the file's bytes to the disk.
std::error_code sync_file(const std::string &path);

// Syncs `from`, renames it over `to` and syncs the directory that holds
// them.  On failure `to` is as it was and `from` is left for the caller.
std::error_code replace_file(const std::string &from, const std::string &to);

}  // namespace ledgrove

#endif  // LEDGROVE_APP_MAINT_FILE_REPLACE_H
