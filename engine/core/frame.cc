// frame.cc - the engine's own little state and services: engine variables,
// the memory services with their two counters, the date stamp, and the
// system queries (version, last OS error, handle count, call test).
#include <sys/resource.h>
#include <sys/sysinfo.h>
#include <sys/utsname.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "engine/core/file_posix.h"
#include "engine/core/internal.h"
#include "engine/core/os_error.h"

namespace kvl {
namespace {

constexpr uint32_t kAllocationUnit = 4096;
constexpr uint32_t kLowMemoryFloor = 147456;  // 0x24000
constexpr uint32_t kPlatformId = 2;            // the NT family: shared locks exist

// Settable variables, indexed by number (0 and 5 to 9 unused).
struct Variables {
    uint32_t value[15] = {0, 260, 255, 255, 131072, 0, 0, 0, 0, 0, 65536, 294912, 131072, 4096, 0};
};
Variables g_vars;
uint32_t g_alloc_count = 0;
uint32_t g_free_count = 0;

bool settable(int32_t number) {
    return (number >= 1 && number <= 4) || (number >= 10 && number <= 14);
}

// Non-zero while the library is loaded: the low word of its load address.
uint32_t module_handle() {
    static const uint32_t handle = [] {
        auto address = reinterpret_cast<uintptr_t>(&g_vars);
        uint32_t low = static_cast<uint32_t>(address >> 12);
        return low ? low : 1u;
    }();
    return handle;
}

}  // namespace

uint32_t engine_var(int32_t number) {
    return settable(number) ? g_vars.value[number] : 0;
}

DateTimeRecord local_date_time() {
    struct timespec now;
    clock_gettime(CLOCK_REALTIME, &now);
    struct tm local;
    localtime_r(&now.tv_sec, &local);
    DateTimeRecord stamp;
    stamp.hours = static_cast<uint8_t>(local.tm_hour);
    stamp.minutes = static_cast<uint8_t>(local.tm_min);
    stamp.seconds = static_cast<uint8_t>(local.tm_sec);
    stamp.hundredths = static_cast<uint8_t>(now.tv_nsec / 1000000 / 10);
    stamp.day = static_cast<uint8_t>(local.tm_mday);
    stamp.month = static_cast<uint8_t>(local.tm_mon + 1);
    stamp.year = static_cast<uint16_t>(local.tm_year + 1900);
    stamp.timezone = -1;
    stamp.weekday = static_cast<uint8_t>(local.tm_wday);
    return stamp;
}

}  // namespace kvl

using kvl::g_alloc_count;
using kvl::g_free_count;
using kvl::g_vars;

extern "C" {

KVL_API uint32_t KvlGetVar(int32_t number, uint32_t *error_or_table) {
    if (number == KVL_VAR_FILE_LAYER) {
        auto *table = reinterpret_cast<FileLayerTable *>(error_or_table);
        if (!table || table->count < KVL_FILE_LAYER_ENTRIES) {
            if (table) table->count = 1;
            return KVL_WIN_INVALID_FUNCTION;
        }
        const FileLayerTable &builtin = kvl::builtin_layer();
        uint32_t count = table->count, flags = table->flags;
        *table = builtin;
        table->count = count;
        table->flags = flags;
        return ERR_NONE;
    }
    uint32_t value = 0, error = ERR_NONE;
    if (kvl::settable(number))
        value = g_vars.value[number];
    else if (number == KVL_VAR_ALLOC_COUNT)
        value = g_alloc_count;
    else if (number == KVL_VAR_FREE_COUNT)
        value = g_free_count;
    else if (number == KVL_VAR_MODULE_HANDLE)
        value = kvl::module_handle();
    else
        error = ERR_BAD_VARIABLE;
    if (error_or_table) *error_or_table = error;
    return value;
}
KVL_ALIAS(KvlGetVar)

KVL_API uint32_t KvlSetVar(uint32_t *value, int32_t number) {
    if (!value) return ERR_NULL_PARAMETER;
    if (number == KVL_VAR_FILE_LAYER) return KVL_WIN_INVALID_FUNCTION;
    if (!kvl::settable(number)) return ERR_BAD_VARIABLE;
    uint32_t old = g_vars.value[number];
    g_vars.value[number] = *value;
    *value = old;
    return ERR_NONE;
}
KVL_ALIAS(KvlSetVar)

KVL_API void *KvlMemAlloc(uint32_t heap_kind, uint32_t size, uint32_t *error,
                          uint32_t zero_fill) {
    uint32_t ignored;
    if (!error) error = &ignored;
    if (size == 0) {
        *error = ERR_MEMORY_SIZE;
        return nullptr;
    }
    if (heap_kind != 0) {
        *error = KVL_WIN_INVALID_FUNCTION;
        return nullptr;
    }
    // Rounded in 32 bits, so a size near 4 GiB wraps to 0 and is refused.
    uint32_t rounded = (size + (kvl::kAllocationUnit - 1)) & ~(kvl::kAllocationUnit - 1);
    if (rounded == 0 || rounded > g_vars.value[KVL_VAR_ALLOC_CEILING]) {
        *error = ERR_MEMORY_SIZE;
        return nullptr;
    }
    void *block = zero_fill ? std::calloc(1, rounded) : std::malloc(rounded);
    if (!block) {
        *error = KVL_WIN_NOT_ENOUGH_MEMORY;
        return nullptr;
    }
    ++g_alloc_count;
    *error = ERR_NONE;
    return block;
}
KVL_ALIAS(KvlMemAlloc)

KVL_API uint32_t KvlMemFree(uint32_t heap_kind, void *block) {
    if (heap_kind != 0) return KVL_WIN_INVALID_FUNCTION;
    if (!block) return KVL_WIN_INVALID_BLOCK;
    std::free(block);
    ++g_free_count;
    return ERR_NONE;
}
KVL_ALIAS(KvlMemFree)

// The memory a caller may still take: what the system has available, capped
// to what a 32-bit answer holds.
KVL_API uint32_t KvlGetMemoryAvail(uint32_t heap_kind) {
    if (heap_kind != 0) return 0;
    struct sysinfo info;
    uint64_t available = 0;
    if (sysinfo(&info) == 0)
        available = (static_cast<uint64_t>(info.freeram) + info.bufferram) * info.mem_unit;
    if (available > 0x7FFFFFFFu) available = 0x7FFFFFFFu;
    if (available < kvl::kLowMemoryFloor)
        available = g_vars.value[KVL_VAR_REINDEX_RESERVE] + kvl::kLowMemoryFloor;
    return static_cast<uint32_t>(available);
}
KVL_ALIAS(KvlGetMemoryAvail)

KVL_API void *KvlMemSet(void *destination, uint32_t byte, uint32_t count) {
    if (destination && count) std::memset(destination, static_cast<int>(byte & 0xFF), count);
    return destination;
}
KVL_ALIAS(KvlMemSet)

// Copies upward from the lowest address, as callers of this service expect.
KVL_API void *KvlMemCpy(void *destination, const void *source, uint32_t count) {
    if (!destination || !source || !count) return destination;
    auto *to = static_cast<uint8_t *>(destination);
    const auto *from = static_cast<const uint8_t *>(source);
    for (uint32_t i = 0; i < count; ++i) to[i] = from[i];
    return destination;
}
KVL_ALIAS(KvlMemCpy)

// Platform 2 (shared byte-range locks exist) with the kernel's version.
KVL_API uint32_t KvlGetVersion(uint32_t *version) {
    if (!version) return ERR_NULL_PARAMETER;
    unsigned major = 0, minor = 0;
    struct utsname name;
    if (uname(&name) == 0) std::sscanf(name.release, "%u.%u", &major, &minor);
    *version = kvl::kPlatformId * 65536 + major * 100 + minor;
    return ERR_NONE;
}
KVL_ALIAS(KvlGetVersion)

KVL_API uint32_t KvlGetExtendedError(uint32_t *a, uint32_t *b, uint32_t *c, uint32_t *d) {
    if (!a || !b || !c || !d) return ERR_NULL_PARAMETER;
    *a = kvl::last_os_error();
    *b = *c = *d = 0;
    return ERR_NONE;
}
KVL_ALIAS(KvlGetExtendedError)

// Raises the descriptor limit towards count, within the hard limit.
KVL_API uint32_t KvlSetHandleCount(uint32_t *count) {
    if (!count) return ERR_NULL_PARAMETER;
    struct rlimit limit;
    if (getrlimit(RLIMIT_NOFILE, &limit) != 0) return KVL_WIN_INVALID_FUNCTION;
    rlim_t wanted = *count;
    if (limit.rlim_max != RLIM_INFINITY && wanted > limit.rlim_max) wanted = limit.rlim_max;
    if (wanted > limit.rlim_cur) {
        limit.rlim_cur = wanted;
        if (setrlimit(RLIMIT_NOFILE, &limit) != 0) getrlimit(RLIMIT_NOFILE, &limit);
    }
    uint64_t granted = limit.rlim_cur == RLIM_INFINITY ? 0xFFFFFFFFu : limit.rlim_cur;
    if (granted == 0) return KVL_WIN_INVALID_FUNCTION;
    *count = granted > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<uint32_t>(granted);
    return ERR_NONE;
}
KVL_ALIAS(KvlSetHandleCount)

KVL_API uint32_t KvlTestCallBack(uint32_t value) { return value; }
KVL_ALIAS(KvlTestCallBack)

}  // extern "C"
