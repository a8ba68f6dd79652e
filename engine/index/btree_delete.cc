// btree_delete.cc - tree-manager function 2: removing a key and its record
// number.
//
// A key in a branch node is first replaced by its successor (the first key
// of the leftmost leaf of its right subtree), so the removal itself always
// happens where no subtree sits on both sides.  A node left empty goes to
// the free list and its one child takes its place; a non-root node left
// with keys-per-node / 2 keys or fewer is merged with a neighbour when the
// two and the key between them fit in one node (never with handle flag bit
// 15).  Merging may leave the parent empty or underfull in turn.
#include <cstring>

#include "engine/index/btree.h"
#include "engine/index/node_io.h"

namespace kvl::ix {
namespace {

// Removes the key of slot from a node image.  The child in front of it
// takes both subtrees around the key (at most one of which exists here),
// or, with keep_left, stays as it is and the child after the key goes.
void remove_entry(const NodeLayout &layout, uint8_t *image, uint32_t slot, bool keep_left) {
    const uint32_t count = image[0];
    if (!keep_left)
        layout.set_child(image, slot, layout.child(image, slot) | layout.child(image, slot + 1));
    if (slot + 1 < count) {
        const uint32_t from = layout.key_offset(slot + 1);
        std::memmove(image + layout.key_offset(slot), image + from, layout.used(count) - from);
    }
    image[0] = uint8_t(count - 1);
}

// Moves the successor of the branch key at (node, slot) into its place and
// leaves the position on the successor, which is then the key to remove.
uint32_t replace_by_successor(IndexControlRecord *ix, uint32_t node, uint32_t slot) {
    const NodeLayout layout = layout_of(ix);
    uint8_t *saved = work(ix);
    std::memcpy(saved, ix->node, layout.node_size);
    uint32_t rc = step_next(ix, nullptr, 0, false);
    if (rc != ERR_NONE) return rc;
    rc = read_tree_node(ix, ix->current_node);
    if (rc != ERR_NONE) return rc;
    std::memcpy(saved + layout.key_offset(slot),
                layout.key(ix->node, uint32_t(ix->current_slot)), layout.key_length + 4);
    return write_node(ix, node, saved);
}

// Merges B into A around key j of the parent whose image is in the work
// buffer: A gets key j, B's child 0 and all of B's entries, B goes to the
// free list, and key j leaves the parent, which stays in the node buffer.
uint32_t merge(IndexControlRecord *ix, uint32_t parent, uint32_t j, uint32_t a, uint32_t b) {
    const NodeLayout layout = layout_of(ix);
    uint8_t *scratch = work(ix);
    uint8_t separator[KVL_MAX_KEY_LENGTH + 4];
    std::memcpy(separator, scratch + layout.key_offset(j), layout.key_length + 4);

    uint32_t rc = read_tree_node(ix, b);
    if (rc != ERR_NONE) return rc;
    const uint32_t count_b = ix->node[0];
    const uint32_t body = 4 + count_b * layout.stride();  // child 0 and the entries
    std::memcpy(scratch, ix->node + 1, body);

    rc = read_tree_node(ix, a);
    if (rc != ERR_NONE) return rc;
    const uint32_t count_a = ix->node[0];
    const uint32_t total = count_a + count_b + 1;
    if (total > kMaxKeysPerNode || layout.used(total) > layout.node_size) return ERR_BAD_NODE;
    std::memcpy(ix->node + layout.key_offset(count_a), separator, layout.key_length + 4);
    std::memcpy(ix->node + layout.child_offset(count_a + 1), scratch, body);
    ix->node[0] = uint8_t(total);

    rc = release_node(ix, b);
    if (rc == ERR_NONE) rc = write_buffered(ix, a);
    if (rc == ERR_NONE) rc = read_tree_node(ix, parent);
    if (rc != ERR_NONE) return rc;
    remove_entry(layout, ix->node, j, true);
    return ERR_NONE;
}

// Looks for a neighbour of node (child `slot` of the parent image in the
// work buffer) that fits into one node with it: left first, then right.
uint32_t find_merge_partner(IndexControlRecord *ix, uint32_t node, uint32_t count,
                            uint32_t slot, bool *found, uint32_t *j, uint32_t *a, uint32_t *b) {
    const NodeLayout layout = layout_of(ix);
    const uint8_t *parent = work(ix);
    const uint32_t parent_count = parent[0];
    const uint32_t limit = ix->header.keys_per_node;
    *found = false;
    if (slot > 0) {
        const uint32_t left = layout.child(parent, slot - 1);
        if (left != 0) {
            uint32_t rc = read_tree_node(ix, left);
            if (rc != ERR_NONE) return rc;
            if (ix->node[0] + count + 1 <= limit) {
                *found = true, *j = slot - 1, *a = left, *b = node;
                return ERR_NONE;
            }
        }
    }
    if (slot < parent_count) {
        const uint32_t right = layout.child(parent, slot + 1);
        if (right != 0) {
            uint32_t rc = read_tree_node(ix, right);
            if (rc != ERR_NONE) return rc;
            if (count + ix->node[0] + 1 <= limit) {
                *found = true, *j = slot, *a = node, *b = right;
                return ERR_NONE;
            }
        }
    }
    return ERR_NONE;
}

// Writes back the node in the node buffer after a key left it, then frees
// it when empty or merges it when underfull, level by level upwards.
uint32_t settle(IndexControlRecord *ix, uint32_t node) {
    const NodeLayout layout = layout_of(ix);
    IndexHeader &header = ix->header;
    for (;;) {
        const uint32_t count = ix->node[0];
        uint32_t parent = 0;
        int32_t slot = 0;
        if (count == 0) {
            const uint32_t remaining = layout.child(ix->node, 0);
            uint32_t rc = release_node(ix, node);
            if (rc != ERR_NONE) return rc;
            if (header.key_count == 1 || !pop_path(ix, &parent, &slot)) {
                header.root = remaining;
                return ERR_NONE;
            }
            rc = read_tree_node(ix, parent);
            if (rc != ERR_NONE) return rc;
            if (slot < 0 || slot > int32_t(ix->node[0])) return ERR_BAD_POSITION;
            layout.set_child(ix->node, uint32_t(slot), remaining);
            return write_buffered(ix, parent);
        }
        uint32_t rc = write_buffered(ix, node);
        if (rc != ERR_NONE) return rc;
        if (ix->state & KVL_STATE_NO_MERGE) return ERR_NONE;
        if (count > header.keys_per_node / 2) return ERR_NONE;
        if (!pop_path(ix, &parent, &slot)) return ERR_NONE;  // the root may be small

        rc = read_tree_node(ix, parent);
        if (rc != ERR_NONE) return rc;
        if (slot < 0 || slot > int32_t(ix->node[0])) return ERR_BAD_POSITION;
        std::memcpy(work(ix), ix->node, layout.node_size);
        bool found = false;
        uint32_t j = 0, a = 0, b = 0;
        rc = find_merge_partner(ix, node, count, uint32_t(slot), &found, &j, &a, &b);
        if (rc != ERR_NONE || !found) return rc;
        rc = merge(ix, parent, j, a, b);
        if (rc != ERR_NONE) return rc;
        node = parent;
    }
}

}  // namespace

uint32_t delete_key(IndexControlRecord *ix, const uint8_t *key, uint32_t record_number) {
    if (record_number == 0) return ERR_NO_RECORD_NUMBER;
    uint32_t rc = ensure_work_buffer(ix);
    if (rc != ERR_NONE) return rc;
    rc = search_tree(ix, key, record_number);
    if (rc != ERR_NONE) return rc;

    const NodeLayout layout = layout_of(ix);
    uint32_t node = ix->current_node;
    uint32_t slot = uint32_t(ix->current_slot);
    rc = read_tree_node(ix, node);
    if (rc != ERR_NONE) return rc;
    // A unique index compares keys only: make sure the key found is the
    // given record's and not another record's.
    if (layout.record(ix->node, slot) != record_number) return ERR_KEY_NOT_FOUND;

    if (layout.child(ix->node, slot) != 0 && layout.child(ix->node, slot + 1) != 0) {
        rc = replace_by_successor(ix, node, slot);
        if (rc != ERR_NONE) return rc;
        node = ix->current_node;
        slot = uint32_t(ix->current_slot);
        rc = read_tree_node(ix, node);
        if (rc != ERR_NONE) return rc;
    }
    remove_entry(layout, ix->node, slot, false);
    rc = settle(ix, node);
    if (rc != ERR_NONE) return rc;

    IndexHeader &header = ix->header;
    --header.key_count;
    ++ix->stat_keys_deleted;
    if (header.key_count == 0) return reset_position(ix);
    reset_position(ix);
    rc = search_tree(ix, key, record_number);
    if (rc == ERR_NONE) return ERR_KEY_FOUND;
    if (rc != ERR_KEY_NOT_FOUND) return rc;
    load_current_key(ix);
    return ERR_NONE;
}

}  // namespace kvl::ix
