// btree.h - the tree manager's operations on an open index (the work of
// KvlFuncIx4BTM), and the position they share.
//
// THE POSITION
//
// current_node and current_slot name a place in one node; position-flag bit
// 0 (the gap bit) says whether that is the key of the slot (clear) or the
// gap in front of it (set; the slot may then equal the key count, the gap
// after the last key).  current_node 0 means no position.  The path stack
// holds, for every level above the current node, the parent's number and the
// slot of the child that was followed (always with its gap bit set); it is
// at most 15 deep, which bounds every descent, so a child pointer that loops
// back ends in ERR_INDEX_TOO_DEEP instead of running forever.  current_key
// and current_record copy the key at the position after every successful
// step.
#ifndef KVL_INDEX_BTREE_H
#define KVL_INDEX_BTREE_H

#include <cstdint>

#include "engine/korval32.h"

namespace kvl::ix {

// Function 0: forgets the position and the buffered node.  ERR_NO_ROOT when
// keys are counted but there is no root.
uint32_t reset_position(IndexControlRecord *ix);

// Searches the node in the node buffer for key (and record number when
// duplicates are allowed and it is non-zero).  0 with the slot of an equal
// key, or ERR_KEY_NOT_FOUND with the slot of the gap where it belongs;
// ERR_BAD_NODE for a node whose key count is 0 or above keys per node.
uint32_t search_node(IndexControlRecord *ix, const uint8_t *key, uint32_t record_number,
                     int32_t *slot);

// Finds key and record number from the root down (after a try in the current
// node).  0 on a key, ERR_KEY_NOT_FOUND in the leaf gap where it belongs.
// Does not load the current key.
uint32_t search_tree(IndexControlRecord *ix, const uint8_t *key, uint32_t record_number);

// Copies the key and record number at the position into current_key and
// current_record and shows them to the key filter callback (event 0x10).
// A position without a key there clears both.
void load_current_key(IndexControlRecord *ix);

// Functions 3 to 6.  With reseek, next and previous first search for key
// and record number (the caller's last key), so that a tree others changed
// is stepped from where the caller was.
uint32_t find_key(IndexControlRecord *ix, const uint8_t *key, uint32_t record_number);
uint32_t step_next(IndexControlRecord *ix, const uint8_t *key, uint32_t record_number,
                   bool reseek);
uint32_t step_previous(IndexControlRecord *ix, const uint8_t *key, uint32_t record_number,
                       bool reseek);
uint32_t seek_last(IndexControlRecord *ix);

// Functions 1 and 2.
uint32_t insert_key(IndexControlRecord *ix, const uint8_t *key, uint32_t record_number);
uint32_t delete_key(IndexControlRecord *ix, const uint8_t *key, uint32_t record_number);

// Path stack.  push fails with ERR_INDEX_TOO_DEEP when 15 levels are held;
// pop restores node, slot and gap bit and answers false on an empty stack.
uint32_t push_path(IndexControlRecord *ix, uint32_t node, int32_t slot);
bool pop_path(IndexControlRecord *ix, uint32_t *node, int32_t *slot);

inline bool in_gap(const IndexControlRecord *ix) {
    return (ix->position_flags & KVL_POS_GAP) != 0;
}
inline void set_gap(IndexControlRecord *ix, bool gap) {
    if (gap)
        ix->position_flags |= KVL_POS_GAP;
    else
        ix->position_flags &= ~KVL_POS_GAP;
}

}  // namespace kvl::ix

#endif  // KVL_INDEX_BTREE_H
