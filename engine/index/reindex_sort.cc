// reindex_sort.cc - the built-in run sort, fast where keys are bytes.
//
// Most indexes order their keys as one run of bytes, each weighed by the
// collation table (plain_byte_order, key_compare.h).  For those the run is
// sorted with a compare made for it: eight bytes at a time while they are
// equal, the table looked up only where bytes differ, and no call through
// the compare slot.  The quicksort is the built-in one step for step
// (sort_run, reindex_runs.cc): same pivots, same partitions, same stack and
// depth, and the compare gives the same answers, so entries come out in the
// same order, ties included.  It works on the entries in place: its scans
// run through memory in order, which matters more than anything else once
// a run outgrows the processor's caches.
#include <algorithm>

#include "engine/index/index_format.h"
#include "engine/index/key_compare.h"
#include "engine/index/reindex_job.h"

namespace kvl::reindex {
namespace {

using ix::duplicates_allowed;
using ix::load32;
using ix::plain_byte_order;

constexpr uint32_t kMaxPendingRanges = 256;

// The built-in compare with flag 1 for keys in plain byte order.
class ByteOrder {
public:
    ByteOrder(const IndexControlRecord *ix, uint32_t compared, const uint8_t *table)
        : key_length_(ix->header.key_length),
          compared_(compared),
          table_(table),
          records_break_ties_(duplicates_allowed(ix->header)) {}

    int compare(const uint8_t *a, const uint8_t *b) const {
        uint32_t i = 0;
        for (;;) {
            while (i + 8 <= compared_) {
                uint64_t wa, wb;
                std::memcpy(&wa, a + i, 8);
                std::memcpy(&wb, b + i, 8);
                if (wa != wb) {
                    i += uint32_t(__builtin_ctzll(wa ^ wb)) / 8;  // the first byte that differs
                    break;
                }
                i += 8;
            }
            while (i < compared_ && a[i] == b[i]) ++i;
            if (i >= compared_) break;
            const uint8_t ta = weight(a[i]), tb = weight(b[i]);
            if (ta != tb) return ta < tb ? -1 : 1;
            ++i;
        }
        if (!records_break_ties_) return 0;
        const uint32_t ra = load32(a + key_length_), rb = load32(b + key_length_);
        return ra < rb ? -1 : (ra > rb ? 1 : 0);
    }

    bool less(const uint8_t *a, const uint8_t *b) const { return compare(a, b) < 0; }

private:
    uint8_t weight(uint8_t byte) const { return table_ ? table_[byte] : byte; }

    uint32_t key_length_, compared_;
    const uint8_t *table_;
    bool records_break_ties_;
};

// The built-in quicksort (reindex_runs.cc) with the compare above inlined.
uint32_t quicksort(const ByteOrder &order, uint8_t *entries, uint32_t size, uint32_t count,
                   uint32_t *deepest) {
    auto at = [&](int64_t i) { return entries + uint64_t(i) * size; };
    uint8_t pivot[KVL_MAX_KEY_LENGTH + 4], swap[KVL_MAX_KEY_LENGTH + 4];
    struct Range { uint32_t lo, hi; } pending[kMaxPendingRanges];
    uint32_t depth = 0;
    uint32_t lo = 0, hi = count - 1;
    for (;;) {
        while (lo < hi) {
            std::memcpy(pivot, at(lo + (hi - lo) / 2), size);
            int64_t i = lo, j = hi;
            while (i <= j) {
                while (i <= hi && order.less(at(i), pivot)) ++i;
                while (j >= static_cast<int64_t>(lo) && order.less(pivot, at(j))) --j;
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
                *deepest = std::max(*deepest, depth);
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
    return ERR_NONE;
}

}  // namespace

bool sort_run_as_bytes(IndexControlRecord *index, uint8_t *entries, uint32_t count,
                       uint32_t *rc) {
    if (index->compare || index->run_sort) return false;
    uint32_t compared = 0;
    const uint8_t *table = nullptr;
    if (!plain_byte_order(index->header, &compared, &table)) return false;
    if (index->header.key_length > KVL_MAX_KEY_LENGTH) return false;

    *rc = ERR_NONE;
    if (count < 2) return true;
    const ByteOrder order(index, compared, table);
    const uint32_t size = index->header.key_length + 4;
    if (!(index->state & KVL_STATE_NO_RUN_CHECK)) {
        uint32_t i = 1;
        while (i < count && order.less(entries + uint64_t{i - 1} * size,
                                       entries + uint64_t{i} * size))
            ++i;
        if (i == count) return true;
    }
    uint32_t deepest = 0;
    *rc = quicksort(order, entries, size, count, &deepest);
    if (*rc != ERR_NONE) return true;
    uint32_t level = std::min<uint32_t>(deepest, 255);
    if (level > index->search_scratch) index->search_scratch = static_cast<uint8_t>(level);
    return true;
}

}  // namespace kvl::reindex
