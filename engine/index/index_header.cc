// index_header.cc - reading, writing and flushing the header of an open
// index, and the changes-pending bit that tells a later opener whether the
// last changes reached the header.
//
// The bit goes to the disk, and is forced there, before the first tree
// change after a flush, not after it: a process that dies, or a write
// that fails, between the two would otherwise leave a changed tree under
// a header that says all is well.
#include "engine/index/index_header.h"

#include "engine/core/internal.h"
#include "engine/index/index_format.h"
#include "engine/index/node_io.h"
#include "engine/index/slots.h"

namespace kvl::ix {

bool header_usable(const IndexControlRecord *ix) { return geometry_fits(ix->header); }

uint32_t read_header(IndexControlRecord *ix) {
    if (!ix) return ERR_NULL_PARAMETER;
    if (ix->state & KVL_STATE_CHANGED) return ERR_HEADER_DIRTY;
    if (ix->os_handle == 0) return ERR_FILE_NOT_OPEN;
    IndexHeader &header = ix->header;
    const uint32_t preset = header.node_size;
    uint32_t rc = read_at(ix->file_layer, ix->os_handle, &header, kHeaderSize, 0);
    ix->buffered_node = KVL_NO_NODE;
    if (rc == ERR_NONE && (preset == 0 || header.node_size != preset)) rc = ERR_NODE_SIZE;
    if (rc == ERR_NONE && header.signature != KVL_INDEX_SIGNATURE) rc = ERR_NOT_INDEX_FILE;
    if (rc == ERR_NONE && !valid_node_size(header.node_size)) rc = ERR_NODE_SIZE;
    if (rc == ERR_NONE && (header.key_length == 0 || header.key_length > KVL_MAX_KEY_LENGTH))
        rc = ERR_KEY_TOO_LONG;
    if (rc == ERR_NONE && !geometry_fits(header)) rc = ERR_NODE_SIZE;
    if (rc != ERR_NONE) {
        // The node buffer was sized for the preset: keep it describing that.
        header.node_size = preset;
        return rc;
    }
    return tree_manager(ix)(KVL_BTM_RESET, ix, nullptr, 0);
}

uint32_t write_header_head(IndexControlRecord *ix) {
    if (ix->os_handle == 0) return ERR_FILE_NOT_OPEN;  // 0 is no file of ours
    return write_at(ix->file_layer, ix->os_handle, &ix->header, kHeaderWriteSize, 0);
}

uint32_t flush_header(IndexControlRecord *ix) {
    if (!ix) return ERR_NULL_PARAMETER;
    if (ix->os_handle == 0) return ERR_BAD_FILE_HANDLE;
    free_work_buffer(ix);
    if (!(ix->state & KVL_STATE_CHANGED)) return ERR_NONE;
    if (ix->state & KVL_STATE_READ_ONLY) return ERR_READ_ONLY;
    IndexHeader &header = ix->header;
    const uint8_t pending_before = header.state & KVL_IX_STATE_PENDING;
    // The nodes of the changes reach the disk before the header that
    // clears their mark: a power loss in between keeps the mark.
    if (pending_before) {
        const uint32_t synced = KvlUpdateDirEntry(ix->os_handle, ix->file_layer);
        if (synced != ERR_NONE) return synced;
    }
    const DateTimeRecord now = local_date_time();
    header.day = now.day;
    header.month = now.month;
    header.year = now.year;
    ++header.flush_count;
    // A tree that a failed change may have left half done keeps its mark
    // until a rebuild or an empty index replaces it.
    if (!(ix->state & KVL_STATE_TREE_SUSPECT)) header.state &= uint8_t(~KVL_IX_STATE_PENDING);
    uint32_t rc = write_header_head(ix);
    if (rc == ERR_NONE) rc = KvlUpdateDirEntry(ix->os_handle, ix->file_layer);
    if (rc != ERR_NONE) {
        header.state = uint8_t((header.state & ~KVL_IX_STATE_PENDING) | pending_before);
        return rc;
    }
    ix->state &= ~KVL_STATE_CHANGED;
    return ERR_NONE;
}

uint32_t mark_changes_pending(IndexControlRecord *ix) {
    ix->state |= KVL_STATE_CHANGED;
    if (ix->header.state & KVL_IX_STATE_PENDING) return ERR_NONE;
    ix->header.state |= KVL_IX_STATE_PENDING;
    uint32_t rc = write_header_head(ix);
    if (rc == ERR_NONE) rc = KvlUpdateDirEntry(ix->os_handle, ix->file_layer);
    if (rc != ERR_NONE) ix->header.state &= uint8_t(~KVL_IX_STATE_PENDING);
    return rc;
}

}  // namespace kvl::ix
