// collation.cc - collation tables for index keys and the engine's one
// upper-casing routine.
//
// A collation table gives each byte a weight.  Code page 850 with flags
// 0x80 and code page 1252 with flags 0x81 select the built-in tables; every
// other request gets the generated table, the OEM upper-casing (flags 0) or
// the OEM-to-ANSI upper-casing (other flags).  The code page and country
// arguments do not shape the generated table: like the system calls it
// stands for, it follows the system's own code pages (850 and 1252).
#include <cstring>

#include "engine/core/code_page_tables.h"
#include "engine/core/collation.h"
#include "engine/core/internal.h"

namespace kvl {
namespace {

constexpr uint32_t kFlagsBuiltin850 = 0x80;
constexpr uint32_t kFlagsBuiltin1252 = 0x81;

const uint8_t *collation_for(uint32_t code_page, uint32_t flags) {
    if (code_page == 850 && flags == kFlagsBuiltin850) return kCollation850;
    if (code_page == 1252 && flags == kFlagsBuiltin1252) return kCollation1252;
    return flags == 0 ? kOemUpper : kOemToAnsiUpper;
}

}  // namespace

uint8_t upper_oem(uint8_t byte) { return kOemUpper[byte]; }

void upper_case_oem(uint8_t *bytes, size_t count) {
    for (size_t i = 0; i < count; ++i) bytes[i] = kOemUpper[bytes[i]];
}

}  // namespace kvl

extern "C" {

KVL_API uint32_t KvlGetSortSequenceTable(uint32_t code_page, uint32_t /*country*/,
                                         uint8_t *table, uint32_t flags) {
    if (!table) return ERR_NULL_PARAMETER;
    std::memcpy(table, kvl::collation_for(code_page, flags), 256);
    return ERR_NONE;
}
KVL_ALIAS(KvlGetSortSequenceTable)

// Upper-cases at most length characters of a NUL-terminated OEM string.  An
// empty string is left entirely alone, zero fill or not.
KVL_API uint32_t KvlUpperCaseO(char *text, uint32_t length, uint32_t zero_fill) {
    if (!text) return ERR_NULL_PARAMETER;
    if (length == 0) return ERR_NONE;
    const size_t used = ::strnlen(text, length);
    if (used == 0) return ERR_NONE;
    kvl::upper_case_oem(reinterpret_cast<uint8_t *>(text), used);
    if (zero_fill && used < length) std::memset(text + used, 0, length - used);
    return ERR_NONE;
}
KVL_ALIAS(KvlUpperCaseO)

}  // extern "C"
