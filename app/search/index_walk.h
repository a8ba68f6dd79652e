// index_walk.h - the one walk of a register index: from the first key not
// below a start key to the end, each record read into the set's shared
// record buffer and handed on.  The searches and the whole-register export
// both walk this way.
//
// The engine passes over records tagged deleted.  Every engine result is
// kept as the set's last; a result other than success ends the walk, and
// the ordinary ends (the end of the index, an empty index) are told apart
// from the failures by is_end_of_walk.
#ifndef LEDGROVE_APP_SEARCH_INDEX_WALK_H
#define LEDGROVE_APP_SEARCH_INDEX_WALK_H

#include <array>
#include <cstdint>
#include <string_view>

#include "app/store/database_set.h"
#include "app/store/register_files.h"

namespace ledgrove {

// Whether an engine result is an ordinary end of an index walk.
inline bool is_end_of_walk(std::uint32_t result) {
    return result == ERR_END_OF_INDEX || result == ERR_EMPTY_INDEX ||
           result == ERR_KEY_NOT_FOUND;
}

// Calls visit(record) for each record from `start_key` on, in the index's
// order, while it returns true.  Returns the engine result that ended the
// walk, ERR_NONE when visit ended it; ERR_FILE_NOT_OPEN when the index or
// the data file did not open.
template <class Visit>
std::uint32_t walk_index(DatabaseSet &set, RegisterIndex which, std::string_view start_key,
                         Visit &&visit) {
    std::array<char, KVL_MAX_KEY_LENGTH> key{};
    start_key.copy(key.data(), key.size());
    std::uint32_t record_number = 0;
    CheckRecord &record = set.record();
    if (!set.index_open(which) || !set.data_open()) return set.note(ERR_FILE_NOT_OPEN);
    IndexHandle index = set.index(which);
    for (set.note(KvlIx4GetEqualOrGreater(index, key.data(), &record_number, &record));
         set.last_result() == ERR_NONE;
         set.note(KvlIx4GetNext(index, key.data(), &record_number, &record)))
        if (!visit(static_cast<const CheckRecord &>(record))) break;
    return set.last_result();
}

}  // namespace ledgrove

#endif  // LEDGROVE_APP_SEARCH_INDEX_WALK_H
