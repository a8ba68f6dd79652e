// request_list.h - walking the caller's linked request lists (LockRequest
// of the list lock, IndexRequest of the multi-file insert and update).
//
// A list runs from its first node through the next links.  A next link of 0
// ends it; a link of -1 ends the checking walk too, but the working walk
// fails there with ERR_BAD_LIST_END after the node's own work, so callers
// end lists with 0.  A list whose links lead back into itself would never
// end; it is refused with ERR_BAD_LIST_END at the node whose link goes back,
// before anything else is looked at.
#ifndef KVL_LOCK_REQUEST_LIST_H
#define KVL_LOCK_REQUEST_LIST_H

#include <cstdint>

namespace kvl {

template <class Node>
bool is_bad_link(const Node *link) {
    return reinterpret_cast<uintptr_t>(link) == UINTPTR_MAX;
}

// The node after this one, or null where the list ends (0 or -1).
template <class Node>
Node *follow(const Node *node) {
    return (node->next && !is_bad_link(node->next)) ? node->next : nullptr;
}

// 1-based position of the node whose next link leads back to an earlier
// node, or 0 when the list ends.  Brent's cycle search: no marks are left
// in the caller's nodes and memory stays constant.
template <class Node>
uint32_t looping_node(Node *first) {
    uint64_t power = 1, cycle = 1;
    Node *tortoise = first;
    Node *hare = follow(first);
    while (hare && hare != tortoise) {
        if (power == cycle) {
            tortoise = hare;
            power *= 2;
            cycle = 0;
        }
        hare = follow(hare);
        ++cycle;
    }
    if (!hare) return 0;
    // The loop starts `lead` nodes in; its last node is at lead + cycle.
    tortoise = hare = first;
    for (uint64_t i = 0; i < cycle; ++i) hare = follow(hare);
    uint64_t lead = 0;
    while (tortoise != hare) {
        tortoise = follow(tortoise);
        hare = follow(hare);
        ++lead;
    }
    const uint64_t position = lead + cycle;
    return position > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(position);
}

}  // namespace kvl

#endif  // KVL_LOCK_REQUEST_LIST_H
