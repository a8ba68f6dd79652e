// index_walk.h - the one walk of a register index: from the first key not
// below a start key to the end, or backwards from the last key not above
// it to the beginning, each record read into the set's shared record buffer
// and handed on.  The searches and the whole-register export both walk
// this way.
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

// Whether an engine result is an ordinary end of an index walk, forwards or
// backwards.
inline bool is_end_of_walk(std::uint32_t result) {
    return result == ERR_END_OF_INDEX || result == ERR_TOP_OF_INDEX ||
           result == ERR_EMPTY_INDEX || result == ERR_KEY_NOT_FOUND;
}

enum class WalkDirection { Forward, Backward };

// The byte that sorts after every other in the index's keys: the heaviest
// of its collation table, 0xFF when it compares bytes.  A start key filled
// with it stands after every key that begins with the start key.
inline char heaviest_key_byte(IndexHandle index) {
    const IndexHeader &header = index->header;
    if (header.collation_size == 0) return '\xFF';
    unsigned best = 0;
    for (unsigned code = 1; code < 256; ++code)
        if (header.collation[code] > header.collation[best]) best = code;
    return static_cast<char>(best);
}

// Calls visit(record) for each record, in the index's order from the first
// key not below `start_key`, or backwards from the last key that begins
// with it or sorts before it (the last key of all when it is empty), while
// visit returns true.  Returns the engine result that ended the walk,
// ERR_NONE when visit ended it; ERR_FILE_NOT_OPEN when the index or the
// data file did not open.
template <class Visit>
std::uint32_t walk_index(DatabaseSet &set, RegisterIndex which, std::string_view start_key,
                         WalkDirection direction, Visit &&visit) {
    if (!set.index_open(which) || !set.data_open()) return set.note(ERR_FILE_NOT_OPEN);
    IndexHandle index = set.index(which);
    const bool forward = direction == WalkDirection::Forward;
    std::array<char, KVL_MAX_KEY_LENGTH> key{};
    if (!forward) key.fill(heaviest_key_byte(index));
    start_key.copy(key.data(), key.size());
    std::uint32_t record_number = 0;
    CheckRecord &record = set.record();
    auto first = forward ? KvlIx4GetEqualOrGreater
                         : (start_key.empty() ? KvlIx4GetLast : KvlIx4GetEqualOrLesser);
    auto step = forward ? KvlIx4GetNext : KvlIx4GetPrev;
    for (set.note(first(index, key.data(), &record_number, &record));
         set.last_result() == ERR_NONE; set.note(step(index, key.data(), &record_number, &record)))
        if (!visit(static_cast<const CheckRecord &>(record))) break;
    return set.last_result();
}

}  // namespace ledgrove

#endif  // LEDGROVE_APP_SEARCH_INDEX_WALK_H
