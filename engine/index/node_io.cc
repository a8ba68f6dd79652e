// node_io.cc - node reads and writes through the file layer, the free-node
// list, and the work buffer of insert and delete.
#include "engine/index/node_io.h"

#include <cstring>

#include "engine/core/internal.h"

namespace kvl::ix {

uint32_t node_offset(const IndexControlRecord *ix, uint32_t number, uint32_t *offset) {
    if (number == 0) return ERR_NO_NODE;
    const int64_t position =
        int64_t(kHeaderSize) + int64_t(number - 1) * int64_t(ix->header.node_size);
    if (position + ix->header.node_size > int64_t(UINT32_MAX)) return ERR_FILE_LIMIT;
    if (ix->lock_offset != 0) {
        int64_t base = ix->lock_offset;
        if (ix->state & KVL_STATE_HALVED_BASE) base >>= 1;
        const int64_t limit = base - int64_t(engine_var(KVL_VAR_LOCK_RESERVE));
        if (position >= limit) return ERR_FILE_LIMIT;
    }
    *offset = uint32_t(position);
    return ERR_NONE;
}

uint32_t read_node(IndexControlRecord *ix, uint32_t number) {
    ++ix->stat_node_reads;
    if (number == 0) return ERR_NO_NODE;
    if (number == ix->buffered_node) {
        ++ix->stat_buffer_hits;
        return ERR_NONE;
    }
    if (ix->os_handle == 0) return ERR_FILE_NOT_OPEN;  // 0 is no file of ours
    uint32_t offset = 0;
    uint32_t rc = node_offset(ix, number, &offset);
    if (rc != ERR_NONE) return rc;
    ix->buffered_node = KVL_NO_NODE;
    rc = read_at(ix->file_layer, ix->os_handle, ix->node, ix->header.node_size, offset);
    if (rc != ERR_NONE) return rc;
    ix->buffered_node = number;
    return ERR_NONE;
}

uint32_t read_tree_node(IndexControlRecord *ix, uint32_t number) {
    uint32_t rc = read_node(ix, number);
    if (rc != ERR_NONE) return rc;
    const uint32_t count = ix->node[0];
    if (count == 0 || count > ix->header.keys_per_node) {
        ix->buffered_node = KVL_NO_NODE;
        return ERR_BAD_NODE;
    }
    return ERR_NONE;
}

uint32_t write_node(IndexControlRecord *ix, uint32_t number, uint8_t *image) {
    if (number == 0) return ERR_NO_NODE_WRITE;
    if (ix->os_handle == 0) return ERR_FILE_NOT_OPEN;
    uint32_t offset = 0;
    uint32_t rc = node_offset(ix, number, &offset);
    if (rc != ERR_NONE) return rc;
    const NodeLayout layout = layout_of(ix);
    const uint32_t used = used_bytes(layout, image);
    std::memset(image + used, 0, layout.node_size - used);
    if (image != ix->node && ix->buffered_node == number) ix->buffered_node = KVL_NO_NODE;
    rc = write_at(ix->file_layer, ix->os_handle, image, layout.node_size, offset);
    if (rc == ERR_NONE || rc == KVL_WIN_HANDLE_DISK_FULL) ix->state |= kStateNodeWritten;
    if (image == ix->node) ix->buffered_node = rc == ERR_NONE ? number : KVL_NO_NODE;
    return rc;
}

uint32_t allocate_node(IndexControlRecord *ix, uint32_t *number) {
    IndexHeader &header = ix->header;
    uint32_t taken = 0;
    if (header.free_head != 0) {
        taken = header.free_head;
        uint32_t rc = read_node(ix, taken);
        if (rc != ERR_NONE) return rc;
        if (!is_free_node(ix->node)) {
            ix->buffered_node = KVL_NO_NODE;
            return ERR_BAD_FREE_LIST;
        }
        header.free_head = load32(ix->node + 1);
    } else {
        taken = header.next_node;
        uint32_t offset = 0;
        uint32_t rc = node_offset(ix, taken, &offset);
        if (rc != ERR_NONE) return rc;
        ++header.next_node;
    }
    std::memset(ix->node, 0, header.node_size);
    ix->buffered_node = KVL_NO_NODE;  // the buffer no longer matches the file
    ix->current_slot = 0;
    ix->position_flags |= KVL_POS_GAP;
    *number = taken;
    return ERR_NONE;
}

uint32_t release_node(IndexControlRecord *ix, uint32_t number) {
    uint8_t image[kMaxNodeSize];
    make_free_node(image, ix->header.node_size, ix->header.free_head);
    uint32_t rc = write_node(ix, number, image);
    if (rc != ERR_NONE) return rc;
    ix->header.free_head = number;
    ++ix->stat_nodes_freed;
    return ERR_NONE;
}

uint32_t ensure_work_buffer(IndexControlRecord *ix) {
    if (ix->work_buffer) return ERR_NONE;
    uint32_t error = ERR_NONE;
    const uint32_t size = ix->header.node_size + ix->header.key_length + 12;
    ix->work_buffer = KvlMemAlloc(ix->heap_kind, size, &error, 1);
    if (!ix->work_buffer) return error ? error : KVL_WIN_NOT_ENOUGH_MEMORY;
    return ERR_NONE;
}

void free_work_buffer(IndexControlRecord *ix) {
    if (!ix->work_buffer) return;
    KvlMemFree(ix->heap_kind, ix->work_buffer);
    ix->work_buffer = nullptr;
}

}  // namespace kvl::ix
