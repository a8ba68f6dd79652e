// empty_data_file.h - making "empty.dbf": a data file of the register's
// eight character fields with no records, version 3 (no memo file).
// Emptying the register copies it over ChkREG.DBF; the build makes it
// beside the program.
#ifndef LEDGROVE_APP_MAINT_EMPTY_DATA_FILE_H
#define LEDGROVE_APP_MAINT_EMPTY_DATA_FILE_H

#include <cstdint>
#include <string>

namespace ledgrove {

inline constexpr std::uint32_t kRegisterDataVersion = 3;

// Creates the file, replacing one that exists; 0 or the engine's error.
std::uint32_t create_empty_data_file(const std::string &path);

}  // namespace ledgrove

#endif  // LEDGROVE_APP_MAINT_EMPTY_DATA_FILE_H
