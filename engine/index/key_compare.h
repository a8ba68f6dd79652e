// key_compare.h - the key order of an index.
//
// sort_compare is the built-in compare (the default of the handle's compare
// slot, exported as KvlFuncIx4SortCmp).  Everything that orders keys calls
// compare_keys, which goes through the handle's slot, so a caller's own
// compare applies to searches, inserts, rebuilds and checks alike.
#ifndef KVL_INDEX_KEY_COMPARE_H
#define KVL_INDEX_KEY_COMPARE_H

#include <cstdint>

#include "engine/korval32.h"

namespace kvl::ix {

// Negative when a sorts first, 0 when equal, positive when b sorts first.
// With flag non-zero in an index that allows duplicates, equal keys are
// ordered by the record numbers stored right after them.  With a or b null
// the highest key (and, with flag, record number 0xFFFFFFFF) is written to
// buffer instead and 0 returned.  Unknown sort functions below 0x20 give
// ERR_SORT_FUNCTION; from 0x20 up the handle's custom sort compare decides.
int32_t sort_compare(IndexControlRecord *ix, const void *a, const void *b, void *buffer,
                     uint32_t flag);

// Whether sort_compare orders the keys of this header as one run of bytes:
// sort function 1 or 2, no descending segment.  Then *compared is how many
// leading key bytes take part (the segments' total, at most the key
// length) and *table the collation table that weighs each byte (null: the
// byte is its own weight).
bool plain_byte_order(const IndexHeader &header, uint32_t *compared, const uint8_t **table);

// The handle's compare slot, or sort_compare when it is 0.
inline int32_t compare_keys(IndexControlRecord *ix, const void *a, const void *b,
                            uint32_t flag) {
    if (ix->compare) return ix->compare(ix, a, b, nullptr, flag);
    return sort_compare(ix, a, b, nullptr, flag);
}

// Writes the key that sorts after every other key (key length bytes), and
// with flag the record number 0xFFFFFFFF after it, through the compare slot.
// Returns what the compare returned (0, or ERR_SORT_FUNCTION for an unknown
// sort).
inline uint32_t fill_highest_key(IndexControlRecord *ix, void *buffer, uint32_t flag) {
    if (ix->compare) return uint32_t(ix->compare(ix, nullptr, nullptr, buffer, flag));
    return uint32_t(sort_compare(ix, nullptr, nullptr, buffer, flag));
}

}  // namespace kvl::ix

#endif  // KVL_INDEX_KEY_COMPARE_H
