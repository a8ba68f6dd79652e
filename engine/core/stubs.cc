// stubs.cc - development scaffolding: a weak placeholder (and its weak
// underscore alias) for every export, so that the library links while the
// subsystems are written.  A real definition anywhere in the library
// replaces its placeholder.  Placeholders answer "invalid function" (1).
#include <cstdint>

#include "engine/core/export_list.h"

#define KVL_STUB(name, bytes)                                                             \
    extern "C" __attribute__((weak, visibility("default"))) uint64_t name() { return 1; } \
    extern "C" __attribute__((weak, visibility("default"), alias(#name))) uint64_t _##name();
KVL_EXPORTS(KVL_STUB)
