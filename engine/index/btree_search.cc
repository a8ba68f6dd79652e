// btree_search.cc - finding a key: the position reset, the path stack, the
// binary search inside one node, the descent from the root, and the seek to
// the last key.
#include <cstring>

#include "engine/index/btree.h"
#include "engine/index/key_compare.h"
#include "engine/index/node_io.h"

namespace kvl::ix {
namespace {

// The built-in compare cannot order keys of an unknown sort function, nor
// of a custom one without the caller's compare: refuse before searching.
uint32_t sort_ready(const IndexControlRecord *ix) {
    if (ix->compare) return ERR_NONE;
    const uint32_t sort = sort_function(ix->header);
    if (sort >= KVL_SORT_CUSTOM_FIRST) return ix->custom_compare ? ERR_NONE : ERR_SORT_FUNCTION;
    if (sort == 0 || sort > KVL_SORT_BY_TYPE) return ERR_SORT_FUNCTION;
    return ERR_NONE;
}

// Compares the search key with the key of slot in the buffered node.  The
// node key goes through the key filter callback first when one is set.
uint32_t probe(IndexControlRecord *ix, const NodeLayout &layout, const uint8_t *key,
               uint32_t record_number, uint32_t slot, int *result) {
    const uint8_t *node_key = layout.key(ix->node, slot);
    const uint32_t node_record = layout.record(ix->node, slot);
    uint8_t scratch[KVL_MAX_KEY_LENGTH + 4];
    if (ix->key_filter) {
        std::memcpy(scratch, node_key, layout.key_length + 4);
        uint32_t rc = ix->key_filter(KVL_FILTER_READ, ix, scratch, node_record);
        if (rc != ERR_NONE) return rc;
        node_key = scratch;
    }
    int r = compare_keys(ix, key, node_key, 0);
    if (r == 0 && record_number != 0 && duplicates_allowed(ix->header))
        r = record_number < node_record ? -1 : (record_number > node_record ? 1 : 0);
    *result = r;
    return ERR_NONE;
}

void forget_position(IndexControlRecord *ix) {
    ix->current_node = 0;
    ix->current_slot = 0;
    ix->path_depth = 0;
}

}  // namespace

uint32_t reset_position(IndexControlRecord *ix) {
    forget_position(ix);
    ix->current_record = 0;
    std::memset(ix->current_key, 0, sizeof ix->current_key);
    ix->buffered_node = KVL_NO_NODE;
    ix->position_flags &= ~(KVL_POS_GAP | KVL_POS_NEGATIVE_SLOT | KVL_POS_LAST_KEY);
    if (ix->header.key_count != 0 && ix->header.root == 0) return ERR_NO_ROOT;
    return ERR_NONE;
}

uint32_t push_path(IndexControlRecord *ix, uint32_t node, int32_t slot) {
    if (ix->path_depth >= KVL_MAX_DEPTH) return ERR_INDEX_TOO_DEEP;
    KvlPathEntry &entry = ix->path[ix->path_depth++];
    entry.gap = 1;
    entry.slot = uint8_t(slot);
    entry.reserved[0] = entry.reserved[1] = 0;
    entry.node = node;
    return ERR_NONE;
}

bool pop_path(IndexControlRecord *ix, uint32_t *node, int32_t *slot) {
    if (ix->path_depth == 0) return false;
    if (ix->path_depth > KVL_MAX_DEPTH) ix->path_depth = KVL_MAX_DEPTH;
    const KvlPathEntry &entry = ix->path[--ix->path_depth];
    *node = entry.node;
    *slot = entry.slot;
    set_gap(ix, entry.gap != 0);
    return true;
}

uint32_t search_node(IndexControlRecord *ix, const uint8_t *key, uint32_t record_number,
                     int32_t *slot) {
    ix->position_flags &= ~(KVL_POS_GAP | KVL_POS_LAST_KEY);
    const NodeLayout layout = layout_of(ix);
    const uint32_t count = ix->node[0];
    if (count == 0 || count > ix->header.keys_per_node) return ERR_BAD_NODE;
    uint32_t rc = sort_ready(ix);
    if (rc != ERR_NONE) return rc;

    int last = 0;
    rc = probe(ix, layout, key, record_number, 0, &last);
    if (rc != ERR_NONE) return rc;
    int32_t found = 0;
    if (last > 0) {
        // Binary search over keys 1..count (counted from 1).
        int32_t lo = 1, hi = int32_t(count), mid = 1;
        while (lo <= hi) {
            mid = (lo + hi) / 2;
            rc = probe(ix, layout, key, record_number, uint32_t(mid - 1), &last);
            if (rc != ERR_NONE) return rc;
            if (last == 0) break;
            if (last < 0)
                hi = mid - 1;
            else
                lo = mid + 1;
        }
        found = last <= 0 ? mid - 1 : mid;
    }
    *slot = found;
    if (last == 0) {
        if (uint32_t(found) == count - 1) ix->position_flags |= KVL_POS_LAST_KEY;
        return ERR_NONE;
    }
    ix->position_flags |= KVL_POS_GAP;
    return ERR_KEY_NOT_FOUND;
}

uint32_t search_tree(IndexControlRecord *ix, const uint8_t *key, uint32_t record_number) {
    const IndexHeader &header = ix->header;
    if (header.key_count == 0) {
        reset_position(ix);
        return ERR_EMPTY_INDEX;
    }
    ++ix->stat_operations;
    if (ix->current_node != 0 && read_node(ix, ix->current_node) == ERR_NONE) {
        int32_t slot = 0;
        if (search_node(ix, key, record_number, &slot) == ERR_NONE) {
            ix->current_slot = slot;
            return ERR_NONE;
        }
    }
    if (header.root == 0) return ERR_NO_ROOT;
    forget_position(ix);
    set_gap(ix, false);
    const NodeLayout layout = layout_of(ix);
    uint32_t node = header.root;
    for (;;) {
        uint32_t rc = read_node(ix, node);
        int32_t slot = 0;
        if (rc == ERR_NONE) rc = search_node(ix, key, record_number, &slot);
        if (rc != ERR_NONE && rc != ERR_KEY_NOT_FOUND) {
            forget_position(ix);
            return rc;
        }
        ix->current_node = node;
        ix->current_slot = slot;
        if (rc == ERR_NONE) return ERR_NONE;
        const uint32_t child = layout.child(ix->node, uint32_t(slot));
        if (child == 0) return ERR_KEY_NOT_FOUND;
        rc = push_path(ix, node, slot);
        if (rc != ERR_NONE) return rc;
        node = child;
    }
}

void load_current_key(IndexControlRecord *ix) {
    const NodeLayout layout = layout_of(ix);
    const int32_t slot = ix->current_slot;
    bool have = ix->current_node != 0 && slot >= 0 &&
                (ix->buffered_node == ix->current_node || read_node(ix, ix->current_node) == 0);
    if (have) have = uint32_t(slot) < ix->node[0] && ix->node[0] <= ix->header.keys_per_node;
    if (!have) {
        std::memset(ix->current_key, 0, sizeof ix->current_key);
        ix->current_record = 0;
        return;
    }
    std::memcpy(ix->current_key, layout.key(ix->node, uint32_t(slot)), layout.key_length);
    if (layout.key_length < sizeof ix->current_key)
        ix->current_key[layout.key_length] = 0;
    else
        ix->search_scratch = 0;
    ix->current_record = layout.record(ix->node, uint32_t(slot));
    if (ix->key_filter)
        ix->key_filter(KVL_FILTER_READ, ix, ix->current_key, ix->current_record);
}

uint32_t find_key(IndexControlRecord *ix, const uint8_t *key, uint32_t record_number) {
    uint32_t rc = search_tree(ix, key, record_number);
    if (rc == ERR_NONE) load_current_key(ix);
    return rc;
}

uint32_t seek_last(IndexControlRecord *ix) {
    const NodeLayout layout = layout_of(ix);
    uint32_t node = ix->header.root;
    for (uint32_t levels = 0;; ++levels) {
        uint32_t rc = read_tree_node(ix, node);
        if (rc != ERR_NONE) return rc;
        const uint32_t child = layout.child(ix->node, ix->node[0]);
        if (child == 0) break;
        if (levels >= KVL_MAX_DEPTH) return ERR_INDEX_TOO_DEEP;
        node = child;
    }
    const uint32_t last = ix->node[0] - 1u;
    uint8_t key[KVL_MAX_KEY_LENGTH];
    std::memcpy(key, layout.key(ix->node, last), layout.key_length);
    const uint32_t record_number = layout.record(ix->node, last);
    reset_position(ix);
    return find_key(ix, key, record_number);
}

}  // namespace kvl::ix
