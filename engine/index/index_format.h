// index_format.h - the .IX4 index file, byte for byte, and the accessors
// that every index source (search, insert, delete, rebuild, checker) uses to
// read and write it.
//
// FILE LAYOUT
//
// All integers are little-endian.  Bytes 0-1023 hold the header; from byte
// 1024 on the file is an array of nodes of the header's node size (512,
// 1024, 1536, 2048 or 2560).  Node number n (n >= 1) lies at
//
//     1024 + (n - 1) * node size
//
// and node number 0 means "no node" wherever a node number is stored: a
// root of 0 is an empty tree, a child of 0 no subtree, a free-list head of
// 0 an empty free list.
//
// HEADER (IndexHeader in korval32.h; offsets in bytes)
//
//     0   4  signature 0x78713134, the bytes "41qx"
//     4   4  node size
//     8   4  root node number, 0 while the index is empty
//    12   4  key count: keys in the tree
//    16   4  free-list head, 0 = no free node
//    20   4  next node: the number the next node appended gets (1 when new)
//    24   4  key length L, 1 to 196
//    28   4  keys per node: (node size - 5) / (L + 8), at most 255
//    32   4  code page, 36 4 country (the collation's origin)
//    40   4  index flags: bits 0-7 sort function, bit 16 duplicates allowed
//            (record numbers break ties), bit 17 OEM code page; bits 8-15
//            are always 0 in the file
//    44   4  segment count, 48 96 segment table (16 x 6 bytes: type,
//            length, record offset, flags; bit 1 of the flags = descending)
//   144   4  date of the last flush: day, month, year (16 bits)
//   148   4  flush count
//   152   1  state: bit 0 = changes pending.  Set on disk by the first key
//            change after a flush, cleared by the next flush, so a file
//            closed without a flush opens with ERR_INCOMPLETE_WRITE and
//            wants a rebuild.
//   153 231  zero
//   384 380  key expression text, blank-free and upper-cased
//   764   4  collation size (256 when the table below is in use)
//   768 256  collation table: one weight per character code
//
// Only the first 512 header bytes change after creation; a flush writes
// just those.
//
// NODE (branch and leaf alike; c = key count, L = key length)
//
//     0                      1  c, 1 to keys per node
//     1                      4  child 0: subtree of keys below key 1
//     5 + k*(L+8)            L  key of slot k (k = 0 .. c-1)
//     5 + k*(L+8) + L        4  record number of slot k
//     5 + k*(L+8) + L + 4    4  child k+1: subtree between slot k and k+1
//     5 + c*(L+8)         rest  zero
//
// So child k, the subtree in front of slot k, is at 1 + k*(L+8) for every k
// from 0 to c, and an entry (left child, key, record number, right child)
// is L + 12 bytes starting there.  A node is a leaf when its children are
// 0; nothing else marks it, and a rebuilt tree may have branch nodes with
// some children 0.  Keys in branch nodes are real keys: each stands for one
// record and appears nowhere else.  Keys ascend within a node and along an
// in-order walk, under the compare of key_compare.h.
//
// FREE NODE (on the free-node list)
//
//     0  1  0
//     1  4  number of the next free node, 0 = end of the list
//     5  3  the marker "AVL"
//     8     zero
//
// Released nodes go to the head of the list and are taken from there before
// the file grows; the file only shrinks when the index is emptied.
#ifndef KVL_INDEX_INDEX_FORMAT_H
#define KVL_INDEX_INDEX_FORMAT_H

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "engine/korval32.h"

namespace kvl::ix {

constexpr uint32_t kHeaderSize = 1024;
constexpr uint32_t kHeaderWriteSize = 512;  // the part of the header that changes
constexpr uint32_t kNodeHeadSize = 5;       // count byte and child 0
constexpr uint32_t kEntryExtra = 8;         // record number and the child after a key
constexpr uint32_t kMaxKeysPerNode = 255;   // the count is one byte
constexpr uint32_t kFreeMarkerOffset = 5;
constexpr uint32_t kFreeNodeUsed = 8;
constexpr char kFreeMarker[3] = {'A', 'V', 'L'};
constexpr uint32_t kMaxNodeSize = 2560;

static_assert(sizeof(IndexHeader) == kHeaderSize);
static_assert(offsetof(IndexHeader, flags) == 40);
static_assert(offsetof(IndexHeader, segments) == 48);
static_assert(offsetof(IndexHeader, day) == 144);
static_assert(offsetof(IndexHeader, year) == 146);
static_assert(offsetof(IndexHeader, flush_count) == 148);
static_assert(offsetof(IndexHeader, state) == 152);
static_assert(offsetof(IndexHeader, expression) == 384);
static_assert(offsetof(IndexHeader, collation_size) == 764);
static_assert(offsetof(IndexHeader, collation) == 768);
static_assert(sizeof(KeySegment) == 6);
static_assert(sizeof(KvlPathEntry) == 8);

inline bool valid_node_size(uint32_t size) {
    return size == 512 || size == 1024 || size == 1536 || size == 2048 || size == 2560;
}

// Keys per node for a node size and key length, as the header stores it.
inline uint32_t keys_per_node(uint32_t node_size, uint32_t key_length) {
    uint32_t fit = (node_size - kNodeHeadSize) / (key_length + kEntryExtra);
    return fit > kMaxKeysPerNode ? kMaxKeysPerNode : fit;
}

inline uint32_t load32(const uint8_t *p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

inline void store32(uint8_t *p, uint32_t v) {
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
    p[2] = uint8_t(v >> 16);
    p[3] = uint8_t(v >> 24);
}

// Where things are in a node of one index.  Slots may be -1 only for
// child_offset(0) style arithmetic the callers avoid; all offsets here are
// for slots 0 .. keys per node.
struct NodeLayout {
    uint32_t key_length;
    uint32_t node_size;

    uint32_t stride() const { return key_length + kEntryExtra; }
    uint32_t entry_size() const { return key_length + 12; }
    uint32_t key_offset(uint32_t slot) const { return kNodeHeadSize + slot * stride(); }
    uint32_t record_offset(uint32_t slot) const { return key_offset(slot) + key_length; }
    // The child in front of slot k (child k); child c follows the last key.
    uint32_t child_offset(uint32_t slot) const { return 1 + slot * stride(); }
    uint32_t used(uint32_t count) const { return kNodeHeadSize + count * stride(); }

    uint8_t count(const uint8_t *node) const { return node[0]; }
    uint32_t child(const uint8_t *node, uint32_t slot) const {
        return load32(node + child_offset(slot));
    }
    void set_child(uint8_t *node, uint32_t slot, uint32_t number) const {
        store32(node + child_offset(slot), number);
    }
    const uint8_t *key(const uint8_t *node, uint32_t slot) const { return node + key_offset(slot); }
    uint32_t record(const uint8_t *node, uint32_t slot) const {
        return load32(node + record_offset(slot));
    }
};

inline NodeLayout layout_of(const IndexHeader &header) {
    return NodeLayout{header.key_length, header.node_size};
}

// The bytes of a node image that carry content: the used part of a node
// with keys, the marker part of a free node, nothing of any other empty node.
inline uint32_t used_bytes(const NodeLayout &layout, const uint8_t *node) {
    uint32_t count = node[0];
    if (count > 0) {
        uint32_t used = layout.used(count);
        return used > layout.node_size ? layout.node_size : used;
    }
    if (std::memcmp(node + kFreeMarkerOffset, kFreeMarker, sizeof kFreeMarker) == 0)
        return kFreeNodeUsed;
    return 0;
}

inline bool is_free_node(const uint8_t *node) {
    return node[0] == 0 &&
           std::memcmp(node + kFreeMarkerOffset, kFreeMarker, sizeof kFreeMarker) == 0;
}

// Builds the image of a free node pointing at next (node_size bytes).
inline void make_free_node(uint8_t *image, uint32_t node_size, uint32_t next) {
    std::memset(image, 0, node_size);
    store32(image + 1, next);
    std::memcpy(image + kFreeMarkerOffset, kFreeMarker, sizeof kFreeMarker);
}

// True when a header's geometry lets every node access stay inside a node:
// an allowed node size, a key length of 1 to 196, and keys per node that fit.
inline bool geometry_fits(const IndexHeader &header) {
    if (!valid_node_size(header.node_size)) return false;
    if (header.key_length == 0 || header.key_length > KVL_MAX_KEY_LENGTH) return false;
    uint32_t kpn = header.keys_per_node;
    return kpn >= 1 && kpn <= keys_per_node(header.node_size, header.key_length);
}

inline uint32_t sort_function(const IndexHeader &header) { return header.flags & KVL_IX_SORT_MASK; }
inline bool duplicates_allowed(const IndexHeader &header) {
    return (header.flags & KVL_IX_DUPLICATES) != 0;
}

}  // namespace kvl::ix

#endif  // KVL_INDEX_INDEX_FORMAT_H
