// code_page_tables.h - the 256-byte tables behind collation and
// upper-casing (code_page_tables.cc).  Private to engine/core.
#ifndef KVL_CORE_CODE_PAGE_TABLES_H
#define KVL_CORE_CODE_PAGE_TABLES_H

#include <cstdint>

namespace kvl {

// Built-in collation for code page 850: upper case, accents folded.
extern const uint8_t kCollation850[256];
// Built-in collation for code page 1252: the ANSI upper-casing.
extern const uint8_t kCollation1252[256];
// OEM byte -> ANSI -> upper case -> OEM: the generated table for flags 0
// and the mapping of KvlUpperCaseO.
extern const uint8_t kOemUpper[256];
// OEM byte -> ANSI -> upper case, kept in ANSI: the generated table for
// non-zero flags.
extern const uint8_t kOemToAnsiUpper[256];

}  // namespace kvl

#endif  // KVL_CORE_CODE_PAGE_TABLES_H
