// collation.h - the engine's one upper-casing, for other subsystems.
//
// Text in data files is in the OEM code page (850 here).  Field names, key
// segments flagged upper-case and key expression texts are upper-cased by a
// round trip through the ANSI code page (1252), exactly as KvlUpperCaseO
// does; these helpers give the same mapping for byte runs that are not
// NUL-terminated strings (fixed-width field bytes, for example).
#ifndef KVL_CORE_COLLATION_H
#define KVL_CORE_COLLATION_H

#include <cstddef>
#include <cstdint>

namespace kvl {

// The code pages this platform reports as the system's OEM and ANSI pages.
inline constexpr uint32_t kOemCodePage = 850;
inline constexpr uint32_t kAnsiCodePage = 1252;

// The upper-case form of one OEM byte (0 stays 0).
uint8_t upper_oem(uint8_t byte);

// Upper-cases count OEM bytes in place; NUL bytes are left as they are and
// do not end the run.
void upper_case_oem(uint8_t *bytes, size_t count);

}  // namespace kvl

#endif  // KVL_CORE_COLLATION_H
