// reindex_sort.cc - the built-in run sort, fast where keys are bytes.
//
// Most indexes order their keys as one run of bytes, each weighed by the
// collation table (plain_byte_order, key_compare.h).  For those the run is
// sorted with a compare made for it: eight bytes at a time while they are
// equal, the table looked up only where bytes differ, and no call through
// the compare slot.  The quicksort is the built-in one step for step
// (reindex_quicksort.h, as sort_run uses it): same pivots, partitions, stack and
// depth, and the compare gives the same answers, so entries come out in the
// same order, ties included.  It works on the entries in place: its scans
// run through memory in order, which matters more than anything else once
// a run outgrows the processor's caches.
#include <algorithm>

#include "engine/index/key_compare.h"
#include "engine/index/reindex_job.h"
#include "engine/index/reindex_quicksort.h"

namespace kvl::reindex {

using ix::plain_byte_order;

bool sort_run_as_bytes(IndexControlRecord *index, uint8_t *entries, uint32_t count,
                       uint32_t *rc) {
    if (index->compare || index->run_sort) return false;
    uint32_t compared = 0;
    const uint8_t *table = nullptr;
    if (!plain_byte_order(index->header, &compared, &table)) return false;
    if (index->header.key_length > KVL_MAX_KEY_LENGTH) return false;

    *rc = ERR_NONE;
    if (count < 2) return true;
    const ByteOrder order(index->header, compared, table);
    *rc = quicksort_entries(index, entries, index->header.key_length + 4, count,
                            [&order](const uint8_t *a, const uint8_t *b) {
                                return order.less(a, b);
                            });
    return true;
}

}  // namespace kvl::reindex
