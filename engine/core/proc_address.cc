// proc_address.cc - KvlProcAddress: an export by any of its three names.
//
// ELF carries the plain and the underscore name as symbols; the decorated
// name ("KvlDataOpenFile@8", the argument bytes after the at sign) cannot be
// an ELF symbol, so callers that bind by it resolve it here.  The table is
// built from the one export list; its addresses are those of the plain
// symbols, so all three names meet at one entry point.
#include <cstring>
#include <string_view>

#include "engine/core/export_list.h"
#include "engine/core/internal.h"

namespace kvl {
namespace {

struct Export {
    const char *name;
    uint32_t argument_bytes;
    void *address;
};

#define KVL_EXPORT_ENTRY(name, bytes) {#name, bytes, reinterpret_cast<void *>(&::name)},
const Export kExports[] = {KVL_EXPORTS(KVL_EXPORT_ENTRY)};
#undef KVL_EXPORT_ENTRY

// The decimal digits of text as a number; false for anything else (empty,
// signs, leading zeros, overflow).
bool parse_bytes(std::string_view text, uint32_t *value) {
    if (text.empty() || text.size() > 3 || (text.size() > 1 && text[0] == '0')) return false;
    uint32_t n = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        n = n * 10 + static_cast<uint32_t>(c - '0');
    }
    *value = n;
    return true;
}

const Export *find_plain(std::string_view name) {
    for (const Export &entry : kExports)
        if (name == entry.name) return &entry;
    return nullptr;
}

void *resolve(const char *text) {
    std::string_view name(text);
    size_t at = name.find('@');
    if (at != std::string_view::npos) {
        uint32_t bytes = 0;
        if (!parse_bytes(name.substr(at + 1), &bytes)) return nullptr;
        const Export *entry = find_plain(name.substr(0, at));
        return entry && entry->argument_bytes == bytes ? entry->address : nullptr;
    }
    if (const Export *entry = find_plain(name)) return entry->address;
    if (name.size() > 1 && name[0] == '_')
        if (const Export *entry = find_plain(name.substr(1))) return entry->address;
    return nullptr;
}

}  // namespace
}  // namespace kvl

extern "C" {

KVL_API void *KvlProcAddress(const char *name) { return name ? kvl::resolve(name) : nullptr; }
KVL_ALIAS(KvlProcAddress)

}  // extern "C"
