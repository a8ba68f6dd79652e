// engine_settings.cc - the program's engine variables.
#include "app/store/engine_settings.h"

#include <mutex>

#include "engine/korval32.h"

namespace ledgrove {
namespace {

void raise_variable(std::int32_t number, std::uint32_t wanted) {
    std::uint32_t error = 0;
    if (KvlGetVar(number, &error) >= wanted || error != ERR_NONE) return;
    std::uint32_t value = wanted;
    KvlSetVar(&value, number);
}

}  // namespace

void use_program_memory_bounds() {
    static std::once_flag once;
    std::call_once(once, [] {
        raise_variable(KVL_VAR_ALLOC_CEILING, kEngineAllocationCeiling);
        raise_variable(KVL_VAR_REINDEX_CEILING, kRebuildMemoryCeiling);
    });
}

std::size_t engine_rebuild_memory_ceiling() {
    std::uint32_t error = 0;
    return KvlGetVar(KVL_VAR_REINDEX_CEILING, &error);
}

}  // namespace ledgrove
