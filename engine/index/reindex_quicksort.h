// reindex_quicksort.h - the rebuild's run sort, one quicksort for every
// compare.
//
// Entries are fixed-size (key, record number) pairs sorted in place: middle
// pivot, partition from both ends, the larger part waits on a stack of at
// most 256 ranges while the smaller one is sorted first.  A run that arrives
// in strictly ascending order costs one compare an entry (unless the handle
// turns that check off).  The deepest the stack went is noted in the
// handle's search scratch byte.  The compare is a template parameter, so
// the built-in byte order (reindex_order.h) is inlined into the scans while
// a caller's compare goes through the handle's slot: both take exactly the
// same steps for the same answers, so entries end where they did, ties
// included.
#ifndef KVL_INDEX_REINDEX_QUICKSORT_H
#define KVL_INDEX_REINDEX_QUICKSORT_H

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "engine/korval32.h"

namespace kvl::reindex {

constexpr uint32_t kMaxPendingRanges = 256;

// less(a, b): whether entry a sorts before entry b.
template <class Less>
uint32_t quicksort_entries(IndexControlRecord *index, uint8_t *entries, uint32_t size,
                           uint32_t count, const Less &less) {
    if (count < 2) return ERR_NONE;
    auto at = [&](int64_t i) { return entries + uint64_t(i) * size; };
    if (!(index->state & KVL_STATE_NO_RUN_CHECK)) {
        uint32_t i = 1;
        while (i < count && less(at(i - 1), at(i))) ++i;
        if (i == count) return ERR_NONE;
    }

    uint8_t pivot[KVL_MAX_KEY_LENGTH + 4], swap[KVL_MAX_KEY_LENGTH + 4];
    struct Range { uint32_t lo, hi; } pending[kMaxPendingRanges];
    uint32_t depth = 0, deepest = 0;
    uint32_t lo = 0, hi = count - 1;
    for (;;) {
        while (lo < hi) {
            std::memcpy(pivot, at(lo + (hi - lo) / 2), size);
            int64_t i = lo, j = hi;
            while (i <= j) {
                while (i <= hi && less(at(i), pivot)) ++i;
                while (j >= static_cast<int64_t>(lo) && less(pivot, at(j))) --j;
                if (i <= j) {
                    if (i != j) {
                        std::memcpy(swap, at(i), size);
                        std::memcpy(at(i), at(j), size);
                        std::memcpy(at(j), swap, size);
                    }
                    ++i;
                    --j;
                }
            }
            // Parts [lo, j] and [i, hi]; j may be lo - 1.
            Range left{lo, j < static_cast<int64_t>(lo) ? lo : static_cast<uint32_t>(j)};
            Range right{static_cast<uint32_t>(i), hi};
            bool left_empty = j < static_cast<int64_t>(lo);
            bool right_empty = i > static_cast<int64_t>(hi);
            uint64_t left_size = left_empty ? 0 : left.hi - left.lo + 1;
            uint64_t right_size = right_empty ? 0 : right.hi - right.lo + 1;
            Range smaller = left, larger = right;
            bool larger_empty = right_empty, smaller_empty = left_empty;
            if (left_size > right_size) {
                smaller = right;
                larger = left;
                larger_empty = left_empty;
                smaller_empty = right_empty;
            }
            if (!larger_empty && larger.lo < larger.hi) {
                if (depth == kMaxPendingRanges) return ERR_REINDEX_DEPTH;
                pending[depth++] = larger;
                deepest = std::max(deepest, depth);
            }
            if (smaller_empty) break;
            lo = smaller.lo;
            hi = smaller.hi;
        }
        if (depth == 0) break;
        Range next = pending[--depth];
        lo = next.lo;
        hi = next.hi;
    }
    uint32_t level = std::min<uint32_t>(deepest, 255);
    if (level > index->search_scratch) index->search_scratch = static_cast<uint8_t>(level);
    return ERR_NONE;
}

}  // namespace kvl::reindex

#endif  // KVL_INDEX_REINDEX_QUICKSORT_H
