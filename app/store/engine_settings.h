// engine_settings.h - the engine variables the program sets at start-up.
//
// The engine's default rebuild bounds (engine variables 10 to 12) suit
// machines of a few megabytes: a million checks would make hundreds of
// sorted runs, merged through windows of a few entries.  The program gives
// the rebuild more room; the index it builds is the same, only sooner.
#ifndef LEDGROVE_APP_STORE_ENGINE_SETTINGS_H
#define LEDGROVE_APP_STORE_ENGINE_SETTINGS_H

#include <cstddef>
#include <cstdint>

namespace ledgrove {

// Work memory of one index rebuild (engine variable 11) and the largest
// single block the engine may allocate (engine variable 12).  The reserve
// (variable 10) keeps its default.
inline constexpr std::uint32_t kRebuildMemoryCeiling = 48u << 20;
inline constexpr std::uint32_t kEngineAllocationCeiling = 32u << 20;

// Raises the bounds above, once per process; later calls do nothing, and a
// bound already set higher (by whoever set it) is left alone.
void use_program_memory_bounds();

// The rebuild's memory ceiling now in force, in bytes.
std::size_t engine_rebuild_memory_ceiling();

}  // namespace ledgrove

#endif  // LEDGROVE_APP_STORE_ENGINE_SETTINGS_H
