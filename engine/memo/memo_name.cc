// memo_name.cc - the memo file's name, derived from the data file's name:
// "ChkREG.DBF" gives "ChkREG.DBT", a name without extension gets ".DBT"
// appended, and the control record may choose another extension.
//
// The extension point is looked for in the last path component only, and
// not at its first character: "reg.d/ledger" gives "reg.d/ledger.DBT" and
// ".ledger" gives ".ledger.DBT", never a memo file in another folder or one
// named by the extension alone.
//
// File names are case-sensitive here, and dBASE files come in both cases:
// the default extension follows the data file's, so "ledger.dbf" gives
// "ledger.dbt" (and "LEDGER.DBF", "Ledger.Dbf" or "ledger" give ".DBT").
// Files copied from a system that ignores case often mix the two ("ledger.dbf"
// beside "ledger.DBT"), so an open that finds no memo file under the default
// extension tries it once more in the other case.
#include <cstring>

#include "engine/core/internal.h"
#include "engine/memo/memo_format.h"

namespace kvl {
namespace {

constexpr char kDefaultExtension[] = "DBT";
constexpr char kLowerDefaultExtension[] = "dbt";

bool is_separator(char c) { return c == '/' || c == '\\'; }

// Index of the last path component's first character.
size_t component_start(const char *path, size_t length) {
    size_t start = length;
    while (start > 0 && !is_separator(path[start - 1])) --start;
    return start;
}

// Length of the name without its extension.
size_t stem_length(const char *path, size_t length, size_t start) {
    for (size_t at = length; at > start + 1; --at) {
        if (path[at - 1] == '.') return at - 1;
    }
    return length;
}

// The default extension in the case of the data file's own extension.
const char *default_extension(const char *path, size_t stem, size_t length) {
    bool lower = false, upper = false;
    for (size_t at = stem + 1; at < length; ++at) {
        lower = lower || (path[at] >= 'a' && path[at] <= 'z');
        upper = upper || (path[at] >= 'A' && path[at] <= 'Z');
    }
    return lower && !upper ? kLowerDefaultExtension : kDefaultExtension;
}

// Header bytes 8 to 15: the first 8 characters of the last path component.
void store_data_name(MemoHeader &header, const char *component, size_t length) {
    std::memset(header.data_name, 0, sizeof header.data_name);
    std::memcpy(header.data_name, component,
                length < sizeof header.data_name ? length : sizeof header.data_name);
}

}  // namespace

uint32_t memo_file_name(DataControlRecord *data, char (&name)[kNameBufferSize]) {
    const char *path = data->file_name;
    if (!path || !*path) return ERR_MEMO_NAME;
    const size_t length = std::strlen(path);
    const size_t start = component_start(path, length);
    const size_t stem = stem_length(path, length, start);
    const char *extension = data->memo_extension[0] ? data->memo_extension
                                                    : default_extension(path, stem, length);
    const size_t extension_length = strnlen(extension, sizeof data->memo_extension);
    const uint64_t max_path =
        data->memo_max_path ? data->memo_max_path : engine_var(KVL_VAR_MEMO_MAX_PATH);
    const uint64_t max_name =
        data->memo_max_name ? data->memo_max_name : engine_var(KVL_VAR_MEMO_MAX_NAME);
    if (length >= max_path || extension_length >= max_name ||
        length + extension_length + 2 >= max_path ||
        length + extension_length + 2 > kNameBufferSize)
        return ERR_MEMO_NAME;

    std::memcpy(name, path, stem);
    name[stem] = '.';
    std::memcpy(name + stem + 1, extension, extension_length);
    name[stem + 1 + extension_length] = '\0';
    store_data_name(data->memo_header, path + start, length - start);
    return ERR_NONE;
}

bool other_case_memo_name(const DataControlRecord *data, char (&name)[kNameBufferSize]) {
    if (data->memo_extension[0]) return false;
    const size_t length = strnlen(name, kNameBufferSize);
    const size_t extension_length = sizeof kDefaultExtension - 1;
    if (length < extension_length) return false;
    char *extension = name + length - extension_length;
    const bool lower = std::memcmp(extension, kLowerDefaultExtension, extension_length) == 0;
    std::memcpy(extension, lower ? kDefaultExtension : kLowerDefaultExtension, extension_length);
    return true;
}

}  // namespace kvl
