// index_file.cc - the file-level index calls on an open or to-be-opened
// index: open, close, information, header re-read, flush and zap.
#include "engine/core/internal.h"
#include "engine/index/btree.h"
#include "engine/index/index_format.h"
#include "engine/index/index_header.h"
#include "engine/index/node_io.h"

namespace kvl::ix {
namespace {

uint32_t close_handle(IndexControlRecord *ix) {
    return KvlCloseFile(&ix->os_handle, ix->file_layer);
}

uint32_t open_index(IndexControlRecord *ix, uint32_t open_flags) {
    if (!ix || !ix->data_link) return ERR_NULL_PARAMETER;
    if (ix->os_handle != 0) return ERR_ALREADY_OPEN;
    uint32_t rc = KvlOpenFile(ix->file_name, ix->open_mode, &ix->os_handle, ix->file_layer);
    if (rc != ERR_NONE) {
        if (ix->os_handle >= 3) close_handle(ix);
        ix->os_handle = 0;
        return rc;
    }
    ix->state &= ~(KVL_STATE_CHANGED | KVL_STATE_TREE_SUSPECT);
    rc = read_header(ix);
    if (rc != ERR_NONE) {
        if (close_handle(ix) != ERR_NONE) ix->os_handle = 0;
        return rc;
    }
    ix->state |= open_flags & KVL_STATE_OPEN_MASK;
    return (ix->header.state & KVL_IX_STATE_PENDING) ? ERR_INCOMPLETE_WRITE : ERR_NONE;
}

uint32_t close_index(IndexControlRecord *ix) {
    if (!ix) return ERR_NULL_PARAMETER;
    if (ix->state & KVL_STATE_CHANGED) {
        uint32_t rc = flush_header(ix);
        if (rc != ERR_NONE) return rc;
    }
    free_work_buffer(ix);
    return close_handle(ix);
}

uint32_t info_file(const char *file_name, uint32_t open_mode, void *buffer,
                   const FileLayerTable *table) {
    if (!file_name || !buffer) return ERR_NULL_PARAMETER;
    uint32_t handle = 0;
    uint32_t rc = KvlOpenFile(file_name, open_mode, &handle, table);
    if (rc != ERR_NONE) return rc;
    rc = read_at(table, handle, buffer, 44, 0);
    KvlCloseFile(&handle, table);
    return rc;
}

uint32_t zap_index(IndexControlRecord *ix) {
    if (!ix) return ERR_NULL_PARAMETER;
    if (ix->state & KVL_STATE_READ_ONLY) return ERR_READ_ONLY;
    if (ix->os_handle == 0) return ERR_FILE_NOT_OPEN;
    uint32_t rc = truncate_at(ix->file_layer, ix->os_handle, kHeaderSize);
    if (rc != ERR_NONE) return rc;
    IndexHeader &header = ix->header;
    header.next_node = 1;
    header.root = 0;
    header.key_count = 0;
    header.free_head = 0;
    ix->buffered_node = KVL_NO_NODE;
    ix->state |= KVL_STATE_CHANGED;
    ix->state &= ~KVL_STATE_TREE_SUSPECT;  // an empty tree is a sound one
    reset_position(ix);  // the old position names nodes that are gone
    return flush_header(ix);
}

}  // namespace
}  // namespace kvl::ix

extern "C" {

KVL_API uint32_t KvlIx4OpenFile(IndexHandle index, uint32_t open_flags) {
    return kvl::guarded([&] { return kvl::ix::open_index(index, open_flags); });
}
KVL_ALIAS(KvlIx4OpenFile)

KVL_API uint32_t KvlIx4CloseFile(IndexHandle index) {
    return kvl::guarded([&] { return kvl::ix::close_index(index); });
}
KVL_ALIAS(KvlIx4CloseFile)

KVL_API uint32_t KvlIx4InfoFile(const char *file_name, uint32_t open_mode, void *buffer,
                                const FileLayerTable *table) {
    return kvl::guarded([&] { return kvl::ix::info_file(file_name, open_mode, buffer, table); });
}
KVL_ALIAS(KvlIx4InfoFile)

KVL_API uint32_t KvlIx4ReadHeader(IndexHandle index) {
    return kvl::guarded([&] { return kvl::ix::read_header(index); });
}
KVL_ALIAS(KvlIx4ReadHeader)

KVL_API uint32_t KvlIx4FlushHeader(IndexHandle index) {
    return kvl::guarded([&] { return kvl::ix::flush_header(index); });
}
KVL_ALIAS(KvlIx4FlushHeader)

KVL_API uint32_t KvlIx4ZapHeader(IndexHandle index) {
    return kvl::guarded([&] { return kvl::ix::zap_index(index); });
}
KVL_ALIAS(KvlIx4ZapHeader)

}  // extern "C"
