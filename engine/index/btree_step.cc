// btree_step.cc - stepping to the next and the previous key (tree-manager
// functions 4 and 5).
//
// A step goes down through the child next to the position until a leaf and
// up through the path stack until a slot with a key; both directions are
// bounded by the 15-level path stack, and every node on the way must hold
// 1 to keys-per-node keys, so a damaged tree gives a result code.  Running
// off an end leaves the position on the first or the last key.
#include "engine/index/btree.h"
#include "engine/index/node_io.h"

namespace kvl::ix {
namespace {

// A failure in the middle of a step leaves no position to continue from.
uint32_t abandon(IndexControlRecord *ix, uint32_t rc) {
    ix->current_node = 0;
    ix->current_slot = 0;
    ix->path_depth = 0;
    return rc;
}

void land(IndexControlRecord *ix, uint32_t node, int32_t slot) {
    set_gap(ix, false);
    ix->current_node = node;
    ix->current_slot = slot;
    load_current_key(ix);
}

// The re-seek of re-seek mode: a miss is fine, it leaves the gap to step from.
uint32_t reseek_position(IndexControlRecord *ix, const uint8_t *key, uint32_t record_number) {
    if (!key) return ERR_NULL_PARAMETER;
    uint32_t rc = search_tree(ix, key, record_number);
    return rc == ERR_KEY_NOT_FOUND ? ERR_NONE : rc;
}

// Places the position on the first key after running off the front.
uint32_t land_on_first(IndexControlRecord *ix) {
    uint32_t rc = reset_position(ix);
    if (rc == ERR_NONE) rc = step_next(ix, nullptr, 0, false);
    return rc == ERR_NONE ? ERR_TOP_OF_INDEX : rc;
}

}  // namespace

uint32_t step_next(IndexControlRecord *ix, const uint8_t *key, uint32_t record_number,
                   bool reseek) {
    if (reseek) {
        uint32_t rc = reseek_position(ix, key, record_number);
        if (rc != ERR_NONE) return rc;
    } else {
        ++ix->stat_operations;
    }
    const IndexHeader &header = ix->header;
    if (header.key_count == 0) {
        reset_position(ix);
        return ERR_EMPTY_INDEX;
    }
    const NodeLayout layout = layout_of(ix);
    uint32_t node = ix->current_node;
    int32_t slot = ix->current_slot;
    if (node == 0) {
        if (header.root == 0) return ERR_NO_ROOT;
        ix->path_depth = 0;
        node = header.root;
        slot = 0;
        set_gap(ix, true);
        uint32_t rc = read_tree_node(ix, node);
        if (rc != ERR_NONE) return abandon(ix, rc);
    } else {
        uint32_t rc = read_tree_node(ix, node);
        if (rc != ERR_NONE) return abandon(ix, rc);
        if (slot < 0 || slot > int32_t(ix->node[0])) return abandon(ix, ERR_BAD_POSITION);
        if (!in_gap(ix)) {
            ++slot;
            set_gap(ix, true);
        }
    }

    for (;;) {  // down to the leftmost leaf of the subtree in front of slot
        const uint32_t child = layout.child(ix->node, uint32_t(slot));
        if (child == 0) break;
        uint32_t rc = push_path(ix, node, slot);
        if (rc == ERR_NONE) rc = read_tree_node(ix, child);
        if (rc != ERR_NONE) return abandon(ix, rc);
        node = child;
        slot = 0;
    }
    while (slot >= int32_t(ix->node[0])) {  // up while the node is used up
        if (!pop_path(ix, &node, &slot)) {
            // Past the last key: the position goes back onto it.
            ix->current_node = node;
            ix->current_slot = slot;
            set_gap(ix, false);
            uint32_t rc = step_previous(ix, nullptr, 0, false);
            return rc == ERR_NONE ? ERR_END_OF_INDEX : rc;
        }
        uint32_t rc = read_tree_node(ix, node);
        if (rc != ERR_NONE) return abandon(ix, rc);
        if (slot > int32_t(ix->node[0])) return abandon(ix, ERR_BAD_POSITION);
    }
    land(ix, node, slot);
    return ERR_NONE;
}

uint32_t step_previous(IndexControlRecord *ix, const uint8_t *key, uint32_t record_number,
                       bool reseek) {
    if (reseek) {
        uint32_t rc = reseek_position(ix, key, record_number);
        if (rc != ERR_NONE) return rc;
    } else {
        ++ix->stat_operations;
    }
    // From a gap the key to land on is the one in front of it.
    if (in_gap(ix)) --ix->current_slot;
    if (ix->header.key_count == 0) {
        reset_position(ix);
        return ERR_EMPTY_INDEX;
    }
    if (ix->current_node == 0) return land_on_first(ix);

    const NodeLayout layout = layout_of(ix);
    uint32_t node = ix->current_node;
    int32_t slot = ix->current_slot;
    uint32_t rc = read_tree_node(ix, node);
    if (rc != ERR_NONE) return abandon(ix, rc);
    if (!in_gap(ix)) {
        // On a key (or just past the last one): down to the rightmost leaf
        // of the subtree in front of it.
        if (slot < 0 || slot > int32_t(ix->node[0])) return abandon(ix, ERR_BAD_POSITION);
        --slot;
        set_gap(ix, true);
        for (;;) {
            if (slot < 0) ix->position_flags |= KVL_POS_NEGATIVE_SLOT;
            const uint32_t child = layout.child(ix->node, uint32_t(slot + 1));
            if (child == 0) break;
            rc = push_path(ix, node, slot + 1);
            if (rc == ERR_NONE) rc = read_tree_node(ix, child);
            if (rc != ERR_NONE) return abandon(ix, rc);
            node = child;
            slot = int32_t(ix->node[0]) - 1;
        }
    }
    for (;;) {
        if (slot >= 0) {
            if (slot >= int32_t(ix->node[0])) return abandon(ix, ERR_BAD_POSITION);
            land(ix, node, slot);
            return ERR_NONE;
        }
        if (slot < -1) return abandon(ix, ERR_BAD_POSITION);
        if (!pop_path(ix, &node, &slot)) return land_on_first(ix);
        rc = read_tree_node(ix, node);
        if (rc != ERR_NONE) return abandon(ix, rc);
        if (slot > int32_t(ix->node[0])) return abandon(ix, ERR_BAD_POSITION);
        --slot;
    }
}

}  // namespace kvl::ix
