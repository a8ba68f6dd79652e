// node_io.h - reading, writing, allocating and releasing the nodes of an
// open index, the lock-region bound on node offsets, and the work buffer
// that insert and delete use.  Everything goes through the index control
// record's file layer; the node buffer of the record holds one node, and
// buffered_node says which (KVL_NO_NODE when none).
#ifndef KVL_INDEX_NODE_IO_H
#define KVL_INDEX_NODE_IO_H

#include <cstdint>

#include "engine/index/index_format.h"

namespace kvl::ix {

inline NodeLayout layout_of(const IndexControlRecord *ix) { return layout_of(ix->header); }

// File offset of node number (1 and up).  ERR_NO_NODE for node 0;
// ERR_FILE_LIMIT when the offset would reach the lock region (lock offset,
// halved with handle flag bit 3, minus engine variable 4) or leave the
// 32-bit file range.
uint32_t node_offset(const IndexControlRecord *ix, uint32_t number, uint32_t *offset);

// Reads a node into the node buffer, or counts a buffer hit when it is the
// buffered node.  A failed read leaves no node buffered.
uint32_t read_node(IndexControlRecord *ix, uint32_t number);

// read_node for a node that must belong to the tree: its key count must be
// 1 to keys per node (ERR_BAD_NODE).
uint32_t read_tree_node(IndexControlRecord *ix, uint32_t number);

// Engine-private handle state bit: set by every node write that changed
// bytes in the file (a write that succeeded, or a short one, 39); a write
// the system refused outright wrote nothing.  The key calls clear it
// before a change and read it after a failed one.
constexpr uint32_t kStateNodeWritten = 0x0200u;

// Writes a node image (the node buffer or another node-size block): the
// bytes past its used part are zeroed first.  ERR_NO_NODE_WRITE for node 0.
// Writing the node buffer makes it the buffered node; writing another image
// over the buffered node's number drops the buffer.
uint32_t write_node(IndexControlRecord *ix, uint32_t number, uint8_t *image);
inline uint32_t write_buffered(IndexControlRecord *ix, uint32_t number) {
    return write_node(ix, number, ix->node);
}

// Takes the free-list head (which must carry "AVL", else ERR_BAD_FREE_LIST)
// or appends a node.  The node buffer is zero-filled for the caller to build
// the node in.
uint32_t allocate_node(IndexControlRecord *ix, uint32_t *number);

// Puts a node at the head of the free list.
uint32_t release_node(IndexControlRecord *ix, uint32_t number);

// The insert/delete work buffer: node size + key length + 12 bytes, taken
// with the handle's heap kind at the first change and freed by a flush.
uint32_t ensure_work_buffer(IndexControlRecord *ix);
void free_work_buffer(IndexControlRecord *ix);
inline uint8_t *work(IndexControlRecord *ix) { return static_cast<uint8_t *>(ix->work_buffer); }

}  // namespace kvl::ix

#endif  // KVL_INDEX_NODE_IO_H
