// reindex_job.h - the state of one index rebuild, shared by its phases.
//
// A rebuild turns a data file into a B-tree in three passes over files:
//
//   1. runs      (reindex_runs.cc)     read the records in large batches,
//                build one entry (key, record number) per record, sort
//                each run of S entries in memory and append it to the work
//                file, padded with highest entries up to S;
//   2. merge     (reindex_merge.cc)    merge all runs through a loser tree
//                and write the leaf level sequentially from node 1 on,
//                F keys a leaf;
//   3. branches  (reindex_branches.cc) build each branch level from the one
//                below: every node gives its last key to the level above.
//
// reindex.cc prepares the job, finishes the header and cleans up on every
// way out.  Every buffer is sized from the memory available at that moment,
// between the reserve and the ceilings of the control record (or engine
// variables 10 to 12), and comes from KvlMemAlloc with the handle's heap kind.
#ifndef KVL_INDEX_REINDEX_JOB_H
#define KVL_INDEX_REINDEX_JOB_H

#include <cstdint>
#include <cstring>

#include "engine/core/internal.h"
#include "engine/index/reindex_order.h"
#include "engine/index/key_compare.h"

namespace kvl::reindex {

constexpr uint32_t kPaddingRecord = 0xFFFFFFFFu;  // marks padding in the work file
constexpr uint32_t kPreviousKeySize = 200;
constexpr uint32_t kWorkFileMode = 0x200022;

struct Job {
    IndexControlRecord *index = nullptr;
    DataControlRecord *data = nullptr;
    char *duplicate_key = nullptr;      // caller's key buffer, for ERR_KEY_FOUND
    uint32_t *duplicate_record = nullptr;
    const char *work_file_name = nullptr;

    KvlBuildKey build_key = nullptr;
    // Set where the built-in compare orders the keys as bytes: the same
    // answers as compare_keys, inlined.
    bool byte_order_known = false;
    ByteOrder byte_order;

    // Sizes.
    uint32_t key_length = 0;   // L
    uint32_t entry_size = 0;   // L + 4
    uint32_t node_size = 0;
    uint32_t keys_per_node = 0;
    uint32_t leaf_fill = 0;    // F

    // Memory bounds.
    uint32_t reserve = 0, ceiling = 0, allocation_ceiling = 0;

    // Runs.
    uint32_t run_size = 0;      // S entries
    uint32_t runs_written = 0;  // C
    uint32_t keys_built = 0;    // T
    uint32_t work_file_end = 0;

    // Tree.
    uint32_t leaves = 0;
    uint32_t root = 0;

    uint8_t highest[KVL_MAX_KEY_LENGTH + 4];        // the highest entry
    uint8_t previous[kPreviousKeySize];              // last entry put out

    uint32_t heap() const { return index->heap_kind; }
    const FileLayerTable *index_layer() const { return index->file_layer; }
    const FileLayerTable *data_layer() const { return data->file_layer; }
    bool unique() const { return (index->header.flags & KVL_IX_DUPLICATES) == 0; }

    int32_t compare_entries(const void *a, const void *b) const {
        if (byte_order_known)
            return byte_order.compare(static_cast<const uint8_t *>(a),
                                      static_cast<const uint8_t *>(b));
        return ix::compare_keys(index, a, b, 1);
    }

    // Sets the handle's progress and calls its progress callback, if any.
    uint32_t progress(uint32_t percent) const {
        index->progress = percent;
        return index->progress_callback ? index->progress_callback(index, 0) : ERR_NONE;
    }

    // Memory that may be used now: what is available beyond the reserve,
    // up to the ceiling; 0 when the reserve is not even there.
    uint32_t usable_memory() const {
        uint32_t available = KvlGetMemoryAvail(heap());
        if (available <= reserve) return 0;
        uint32_t usable = available - reserve;
        return usable < ceiling ? usable : ceiling;
    }

    void need_memory(uint32_t bytes) const {
        if (bytes > index->memory_needed) index->memory_needed = bytes;
    }

    // Reads and node writes stay below the index's lock region.
    bool below_lock_region(uint32_t offset) const {
        if (index->lock_offset == 0) return true;
        uint32_t base = index->lock_offset;
        if (index->state & KVL_STATE_HALVED_BASE) base >>= 1;
        uint32_t reserve_bytes = engine_var(KVL_VAR_LOCK_RESERVE);
        return base > reserve_bytes && offset < base - reserve_bytes;
    }

    uint32_t node_offset(uint32_t node) const { return 1024 + (node - 1) * node_size; }

    // Reports a duplicate key: the key with a NUL after it, and its record.
    uint32_t duplicate(const uint8_t *entry) const {
        std::memcpy(duplicate_key, entry, key_length);
        duplicate_key[key_length] = '\0';
        std::memcpy(duplicate_record, entry + key_length, 4);
        return ERR_KEY_FOUND;
    }
};

inline uint32_t entry_record(const uint8_t *entry, uint32_t key_length) {
    uint32_t record;
    std::memcpy(&record, entry + key_length, 4);
    return record;
}

// Node layout helpers: count byte, child 0, then (key, record, child) entries.
inline uint8_t *node_entry(uint8_t *node, uint32_t slot, uint32_t key_length) {
    return node + 5 + slot * (key_length + 8);
}
// The child pointer in front of the key at slot (child 0 for slot 0).
inline uint8_t *node_child_before(uint8_t *node, uint32_t slot, uint32_t key_length) {
    return node_entry(node, slot, key_length) - 4;
}

// Phases; each returns a result code.
uint32_t build_runs(Job &job);
uint32_t merge_runs_into_leaves(Job &job);
uint32_t build_branch_levels(Job &job);

// The built-in run sort (also reachable through the handle's run-sort slot).
uint32_t sort_run(IndexControlRecord *index, void *entries, uint32_t count);

// The built-in run sort for keys that compare as bytes (reindex_sort.cc):
// the same order, the same result and the same depth note as sort_run,
// found faster.  False, with nothing done, where it does not apply (a
// compare or run sort of the caller's, another kind of key); else *rc is
// the sort's result.
bool sort_run_as_bytes(IndexControlRecord *index, uint8_t *entries, uint32_t count,
                       uint32_t *rc);

}  // namespace kvl::reindex

#endif  // KVL_INDEX_REINDEX_JOB_H
