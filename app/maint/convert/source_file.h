// source_file.h - reading a published register's file whole.
//
// The file goes through the engine's file layer, as the import's does, so a
// failure carries the engine's error number (KVL_WIN_FILE_NOT_FOUND for a
// missing file, KVL_WIN_ACCESS_DENIED for access denied).  The text is held in memory: a conversion reads it more
// than once (detecting the date format, then converting).
#ifndef LEDGROVE_APP_MAINT_CONVERT_SOURCE_FILE_H
#define LEDGROVE_APP_MAINT_CONVERT_SOURCE_FILE_H

#include <cstdint>
#include <string>

namespace ledgrove {

// 0 and the whole text, or the error number.
std::uint32_t read_source_file(const std::string &path, std::string *text);

}  // namespace ledgrove

#endif  // LEDGROVE_APP_MAINT_CONVERT_SOURCE_FILE_H
