// btree_insert.cc - tree-manager function 1: a key and its record number go
// into the leaf gap where the search ends.  A node that overflows (keys per
// node + 1) splits at once around its middle key, which moves up into the
// parent as a new entry; a root that splits gets a new root above it.
#include <cstring>

#include "engine/index/btree.h"
#include "engine/index/node_io.h"

namespace kvl::ix {
namespace {

// An entry as it moves between nodes: left child, key, record number, right
// child (key length + 12 bytes).
struct Entry {
    uint8_t bytes[KVL_MAX_KEY_LENGTH + 12];

    void set(const NodeLayout &layout, uint32_t left, const uint8_t *key, uint32_t record,
             uint32_t right) {
        store32(bytes, left);
        std::memmove(bytes + 4, key, layout.key_length);
        store32(bytes + 4 + layout.key_length, record);
        store32(bytes + 8 + layout.key_length, right);
    }
    uint8_t *key() { return bytes + 4; }
};

// Puts the entry at slot of the node whose image (count keys) is in the
// work buffer, shifting the slots from there up by one.
void place_entry(const NodeLayout &layout, uint8_t *image, uint32_t count, uint32_t slot,
                 const Entry &entry) {
    const uint32_t at = layout.child_offset(slot);
    if (slot < count) std::memmove(image + at + layout.stride(), image + at, layout.used(count) - at);
    std::memcpy(image + at, entry.bytes, layout.entry_size());
}

// Splits the overfull image in the work buffer (count + 1 keys) that belongs
// to node: the lower half stays in node, the upper half goes to a new node,
// and the middle key becomes the entry to insert one level up.  A split root
// also gets its new root node now.  Nodes are taken before anything is
// written, so a refused allocation leaves this level as it was.
uint32_t split(IndexControlRecord *ix, uint32_t node, uint32_t count, bool is_root, Entry *up,
               uint32_t *new_root) {
    const NodeLayout layout = layout_of(ix);
    uint8_t *image = work(ix);
    const uint32_t middle = (count + 1) / 2;
    uint32_t right = 0;
    uint32_t rc = allocate_node(ix, &right);
    if (rc == ERR_NONE && is_root) rc = allocate_node(ix, new_root);
    if (rc != ERR_NONE) return rc;

    const uint32_t upper = count - middle;
    std::memset(ix->node, 0, layout.node_size);
    std::memcpy(ix->node + 1, image + layout.child_offset(middle + 1), 4 + upper * layout.stride());
    ix->node[0] = uint8_t(upper);
    rc = write_buffered(ix, right);
    if (rc != ERR_NONE) return rc;

    std::memcpy(ix->node, image, layout.used(middle));
    std::memset(ix->node + layout.used(middle), 0, layout.node_size - layout.used(middle));
    ix->node[0] = uint8_t(middle);
    rc = write_buffered(ix, node);
    if (rc != ERR_NONE) return rc;

    up->set(layout, node, image + layout.key_offset(middle), layout.record(image, middle), right);
    ++ix->stat_splits;
    return ERR_NONE;
}

// Finds the gap for a new key; 8502 when it is there already.
uint32_t find_gap(IndexControlRecord *ix, const uint8_t *key, uint32_t record_number) {
    uint32_t rc = search_tree(ix, key, record_number);
    if (rc == ERR_NONE) return ERR_KEY_FOUND;
    return rc == ERR_KEY_NOT_FOUND ? ERR_NONE : rc;
}

}  // namespace

uint32_t insert_key(IndexControlRecord *ix, const uint8_t *key, uint32_t record_number) {
    if (record_number == 0 && ix->data_link != KVL_NO_DATA_FILE) return ERR_BAD_RECORD_NUMBER;
    uint32_t rc = ensure_work_buffer(ix);
    if (rc != ERR_NONE) return rc;
    IndexHeader &header = ix->header;
    const NodeLayout layout = layout_of(ix);
    const bool empty = header.key_count == 0;
    if (!empty) {
        rc = find_gap(ix, key, record_number);
        if (rc != ERR_NONE) return rc;
    }

    Entry entry;
    entry.set(layout, 0, key, record_number, 0);
    if (ix->key_filter) {
        rc = ix->key_filter(KVL_FILTER_STORE, ix, entry.key(), record_number);
        if (rc != ERR_NONE) return rc;
    }
    uint8_t stored_key[KVL_MAX_KEY_LENGTH];  // the entry is reused for split keys
    std::memcpy(stored_key, entry.key(), layout.key_length);

    uint32_t node = 0;
    int32_t slot = 0;
    if (empty) {
        // The filter ran first, so a refused key leaves no unwritten root.
        rc = allocate_node(ix, &node);
        if (rc != ERR_NONE) return rc;
        header.root = node;
        ix->current_node = node;
        ix->path_depth = 0;
    } else {
        node = ix->current_node;
        slot = ix->current_slot;
        rc = read_tree_node(ix, node);
        if (rc != ERR_NONE) return rc;
    }

    bool split_happened = false;
    for (;;) {
        const uint32_t count = ix->node[0];
        if (slot < 0 || slot > int32_t(count)) return ERR_BAD_POSITION;
        uint8_t *image = work(ix);
        std::memcpy(image, ix->node, layout.node_size);
        place_entry(layout, image, count, uint32_t(slot), entry);
        if (count + 1 <= header.keys_per_node) {
            image[0] = uint8_t(count + 1);
            std::memcpy(ix->node, image, layout.node_size);
            rc = write_buffered(ix, node);
            if (rc != ERR_NONE) return rc;
            break;
        }
        const bool is_root = ix->path_depth == 0;
        uint32_t new_root = 0;
        rc = split(ix, node, count, is_root, &entry, &new_root);
        if (rc != ERR_NONE) return rc;
        split_happened = true;
        uint32_t parent = 0;
        if (!pop_path(ix, &parent, &slot)) {
            // The new root starts empty (the node buffer is not it).
            node = new_root;
            header.root = node;
            std::memset(ix->node, 0, layout.node_size);
            ix->buffered_node = KVL_NO_NODE;
            slot = 0;
            continue;
        }
        node = parent;
        rc = read_tree_node(ix, node);
        if (rc != ERR_NONE) return rc;
    }

    ++header.key_count;
    ++ix->stat_keys_stored;
    if (split_happened) {
        // The path stack was used up by the splits: find the key afresh.
        ix->current_node = 0;
        ix->path_depth = 0;
        rc = search_tree(ix, stored_key, record_number);
        if (rc == ERR_NONE) load_current_key(ix);
        return rc;
    }
    set_gap(ix, false);
    ix->current_node = node;
    ix->current_slot = slot;
    load_current_key(ix);
    return ERR_NONE;
}

}  // namespace kvl::ix
