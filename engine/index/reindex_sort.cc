// reindex_sort.cc - the built-in run sort, fast where keys are bytes.
//
// Most indexes order their keys as one run of bytes, each weighed by the
// collation table (plain_byte_order, key_compare.h).  For those the run is
// sorted through a table of items beside it: each item holds the weights
// of the first eight key bytes, packed so that they compare as one number,
// and the entry's place in the run.  Most compares end at the packed
// weights; the others go on in the entry itself.  The quicksort is the
// built-in one step for step (sort_run, reindex_runs.cc): same pivots, same
// partitions, same stack and depth, and the compare gives the same answer,
// so entries come out in the same order, ties included.  The sorted order
// is then applied to the entries in place, cycle by cycle.
//
// The table lives in the half of the key buffer that the run leaves free,
// so the sort needs no memory of its own.
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

struct Item {
    uint64_t weights;  // first eight weights, the first in the highest byte
    uint32_t place;    // entry number in the run
    uint32_t unused;
};

class WeightOrder {
public:
    WeightOrder(const IndexControlRecord *ix, const uint8_t *entries, uint32_t compared,
                const uint8_t *table)
        : entries_(entries),
          entry_size_(ix->header.key_length + 4),
          key_length_(ix->header.key_length),
          compared_(compared),
          table_(table),
          records_break_ties_(duplicates_allowed(ix->header)) {}

    Item item(uint32_t place) const {
        const uint8_t *key = entry(place);
        uint64_t weights = 0;
        for (uint32_t i = 0; i < 8; ++i)
            weights = weights << 8 | (i < compared_ ? weight(key[i]) : 0u);
        return {weights, place, 0};
    }

    // Negative, 0 or positive, as the built-in compare with flag 1 answers.
    int compare(const Item &a, const Item &b) const {
        if (a.weights != b.weights) return a.weights < b.weights ? -1 : 1;
        const uint8_t *ka = entry(a.place), *kb = entry(b.place);
        if (compared_ > 8) {
            const int order = rest(ka + 8, kb + 8, compared_ - 8);
            if (order != 0) return order;
        }
        if (!records_break_ties_) return 0;
        const uint32_t ra = load32(ka + key_length_), rb = load32(kb + key_length_);
        return ra < rb ? -1 : (ra > rb ? 1 : 0);
    }

    bool less(const Item &a, const Item &b) const { return compare(a, b) < 0; }

    uint32_t entry_size() const { return entry_size_; }

private:
    const uint8_t *entry(uint32_t place) const {
        return entries_ + uint64_t{place} * entry_size_;
    }
    uint8_t weight(uint8_t byte) const { return table_ ? table_[byte] : byte; }

    // Equal bytes weigh the same: skip them, weigh the first that differ.
    int rest(const uint8_t *a, const uint8_t *b, uint32_t width) const {
        for (uint32_t i = 0; i < width; ++i) {
            if (a[i] == b[i]) continue;
            const uint8_t wa = weight(a[i]), wb = weight(b[i]);
            if (wa != wb) return wa < wb ? -1 : 1;
        }
        return 0;
    }

    const uint8_t *entries_;
    uint32_t entry_size_, key_length_, compared_;
    const uint8_t *table_;
    bool records_break_ties_;
};

// The built-in quicksort (reindex_runs.cc), on items.
uint32_t quicksort(const WeightOrder &order, Item *items, uint32_t count, uint32_t *deepest) {
    struct Range { uint32_t lo, hi; } pending[kMaxPendingRanges];
    uint32_t depth = 0;
    uint32_t lo = 0, hi = count - 1;
    for (;;) {
        while (lo < hi) {
            const Item pivot = items[lo + (hi - lo) / 2];
            int64_t i = lo, j = hi;
            while (i <= j) {
                while (i <= hi && order.less(items[i], pivot)) ++i;
                while (j >= static_cast<int64_t>(lo) && order.less(pivot, items[j])) --j;
                if (i <= j) {
                    if (i != j) std::swap(items[i], items[j]);
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

// Moves the entries into the items' order: slot i takes entry items[i].place.
void apply_order(uint8_t *entries, uint32_t size, Item *items, uint32_t count) {
    uint8_t held[KVL_MAX_KEY_LENGTH + 4];
    auto at = [&](uint32_t i) { return entries + uint64_t{i} * size; };
    for (uint32_t start = 0; start < count; ++start) {
        if (items[start].place == start) continue;
        std::memcpy(held, at(start), size);
        uint32_t slot = start;
        for (;;) {
            const uint32_t from = items[slot].place;
            items[slot].place = slot;
            if (from == start) {
                std::memcpy(at(slot), held, size);
                break;
            }
            std::memcpy(at(slot), at(from), size);
            slot = from;
        }
    }
}

}  // namespace

bool sort_run_by_weights(IndexControlRecord *index, uint8_t *entries, uint32_t count,
                         uint8_t *spare, uint64_t spare_bytes, uint32_t *rc) {
    if (index->compare || index->run_sort) return false;
    uint32_t compared = 0;
    const uint8_t *table = nullptr;
    if (!plain_byte_order(index->header, &compared, &table)) return false;
    if (index->header.key_length > KVL_MAX_KEY_LENGTH) return false;
    if (uint64_t{count} * sizeof(Item) > spare_bytes) return false;
    if (reinterpret_cast<uintptr_t>(spare) % alignof(Item) != 0) return false;

    *rc = ERR_NONE;
    if (count < 2) return true;
    const WeightOrder order(index, entries, compared, table);
    auto *items = reinterpret_cast<Item *>(spare);
    for (uint32_t i = 0; i < count; ++i) items[i] = order.item(i);

    if (!(index->state & KVL_STATE_NO_RUN_CHECK)) {
        uint32_t i = 1;
        while (i < count && order.less(items[i - 1], items[i])) ++i;
        if (i == count) return true;
    }
    uint32_t deepest = 0;
    *rc = quicksort(order, items, count, &deepest);
    if (*rc != ERR_NONE) return true;
    apply_order(entries, order.entry_size(), items, count);
    uint32_t level = std::min<uint32_t>(deepest, 255);
    if (level > index->search_scratch) index->search_scratch = static_cast<uint8_t>(level);
    return true;
}

}  // namespace kvl::reindex
