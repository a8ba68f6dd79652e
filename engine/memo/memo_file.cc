// memo_file.cc - the memo file as a whole: create, open, close, and keeping
// its 24-byte header in step with the control record (flush, re-read).
//
// The memo file has no control record of its own; it lives in the memo
// section of its data file's DataControlRecord.  The header image is held
// there and written back only by a flush or a close, except the next-free
// word, which an add that takes the chain's first run writes at once.
#include <cstring>

#include "engine/core/internal.h"
#include "engine/data/data_file.h"
#include "engine/memo/memo_format.h"

namespace kvl {
namespace {

void clear_block_state(DataControlRecord *data) {
    data->memo_current_block = 0;
    data->memo_block_header[0] = 0;
    data->memo_block_header[1] = 0;
}

// The header block: the header, zeros up to F, and the file cut at F.
uint32_t write_header_block(DataControlRecord *data, const MemoLayout &layout) {
    const uint32_t rc = zero_fill(data, layout, 0, kMemoHeaderSize,
                                  static_cast<int64_t>(layout.first_size) - kMemoHeaderSize);
    if (rc != ERR_NONE) return rc;
    return truncate_at(data->file_layer, data->memo_os_handle, layout.first_size);
}

// Creates and fills the new file; a file whose header could not be written
// is removed again.  The handle is the control record's only while this
// runs.
uint32_t write_new_file(DataControlRecord *data, const char *name, const MemoLayout &layout) {
    const FileLayerTable *layer = data->file_layer;
    uint32_t rc = KvlCreateFile(name, layer);
    if (rc != ERR_NONE) return rc;
    uint32_t handle = 0;
    rc = KvlOpenFile(name, KVL_OPEN_CREATE_MODE, &handle, layer);
    if (rc != ERR_NONE) {
        if (handle != 0) KvlCloseFile(&handle, layer);
        return rc;
    }
    const uint32_t saved = data->memo_os_handle;
    data->memo_os_handle = handle;
    rc = write_at(layer, handle, &data->memo_header, kMemoHeaderSize, 0);
    const bool header_written = rc == ERR_NONE;
    if (header_written) rc = write_header_block(data, layout);
    data->memo_os_handle = saved;
    const uint32_t close_rc = KvlCloseFile(&handle, layer);
    if (!header_written) KvlDeleteFile(name, layer);
    return rc != ERR_NONE ? rc : close_rc;
}

uint32_t memo_create(DataControlRecord *data) {
    if (!data) return ERR_NULL_PARAMETER;
    MemBlock work;
    uint32_t rc = work.allocate(data->heap_kind, kNameBufferSize);
    if (rc != ERR_NONE) return rc;
    MemoHeader &header = data->memo_header;
    if (header.block_size == 0) header.block_size = kDefaultBlockSize;
    header.next_free = 1;
    header.reserved1 = 0;
    header.reserved2 = 0;
    MemoLayout layout;
    rc = memo_layout(data, &layout);
    if (rc == ERR_NONE) rc = memo_file_name(data, *work.get<char[kNameBufferSize]>());
    if (rc == ERR_NONE) rc = write_new_file(data, work.get<char>(), layout);
    if (rc == ERR_NONE) {
        data->header.version |= KVL_DBF_VERSION_MEMO;
        data->state |= KVL_STATE_CHANGED;
    }
    const uint32_t free_rc = work.release();
    return rc != ERR_NONE ? rc : free_rc;
}

uint32_t memo_read_header(DataControlRecord *data) {
    if (!data) return ERR_NULL_PARAMETER;
    if (!memo_is_open(data)) return ERR_FILE_NOT_OPEN;
    if (!(data->kind & KVL_KIND_DATA)) return ERR_WRONG_FILE_KIND;
    if (data->memo_state & KVL_MEMO_STATE_CHANGED) return ERR_HEADER_DIRTY;
    MemoHeader fresh{};
    const uint32_t rc =
        read_at(data->file_layer, data->memo_os_handle, &fresh, kMemoHeaderSize, 0);
    if (rc == ERR_NONE) data->memo_header = fresh;
    return rc;
}

uint32_t memo_open(DataControlRecord *data) {
    if (!data) return ERR_NULL_PARAMETER;
    if (data->memo_os_handle != 0) return ERR_ALREADY_OPEN;
    char name[kNameBufferSize];
    uint32_t rc = memo_file_name(data, name);
    if (rc != ERR_NONE) return rc;
    rc = KvlOpenFile(name, data->open_mode, &data->memo_os_handle, data->file_layer);
    if (rc == KVL_WIN_FILE_NOT_FOUND && data->memo_os_handle == 0 &&
        other_case_memo_name(data, name))
        rc = KvlOpenFile(name, data->open_mode, &data->memo_os_handle, data->file_layer);
    if (rc == ERR_NONE) {
        data->memo_state = 0;
        rc = memo_read_header(data);
    }
    if (rc != ERR_NONE) {
        if (data->memo_os_handle != 0) KvlCloseFile(&data->memo_os_handle, data->file_layer);
        data->memo_os_handle = 0;
        return rc;
    }
    clear_block_state(data);
    return ERR_NONE;
}

uint32_t memo_flush_header(DataControlRecord *data) {
    if (!data) return ERR_NULL_PARAMETER;
    if (data->memo_os_handle == 0) return ERR_BAD_FILE_HANDLE;
    if (!(data->memo_state & KVL_MEMO_STATE_CHANGED)) return ERR_NONE;
    if (is_read_only(data)) return ERR_READ_ONLY;
    uint32_t rc = write_at(data->file_layer, data->memo_os_handle, &data->memo_header,
                           kMemoHeaderSize, 0);
    if (rc != ERR_NONE) return rc;
    data->header.incomplete &= static_cast<uint8_t>(~KVL_DBF_MEMO_UNFLUSHED);
    rc = KvlUpdateDirEntry(data->memo_os_handle, data->file_layer);
    if (rc == ERR_NONE) data->memo_state &= ~KVL_MEMO_STATE_CHANGED;
    return rc;
}

uint32_t memo_close(DataControlRecord *data) {
    if (!data) return ERR_NULL_PARAMETER;
    if (data->memo_os_handle == 0) return ERR_BAD_FILE_HANDLE;
    uint32_t rc = memo_flush_header(data);
    if (rc != ERR_NONE) return rc;
    rc = KvlCloseFile(&data->memo_os_handle, data->file_layer);
    if (rc != ERR_NONE) return rc;
    data->memo_os_handle = 0;
    data->memo_state = 0;
    clear_block_state(data);
    return ERR_NONE;
}

}  // namespace
}  // namespace kvl

extern "C" {

KVL_API uint32_t KvlMemoCreateFile(DataHandle data) {
    return kvl::guarded([&] { return kvl::memo_create(data); });
}
KVL_ALIAS(KvlMemoCreateFile)

KVL_API uint32_t KvlMemoOpenFile(DataHandle data) {
    return kvl::guarded([&] { return kvl::memo_open(data); });
}
KVL_ALIAS(KvlMemoOpenFile)

KVL_API uint32_t KvlMemoCloseFile(DataHandle data) {
    return kvl::guarded([&] { return kvl::memo_close(data); });
}
KVL_ALIAS(KvlMemoCloseFile)

KVL_API uint32_t KvlMemoFlushHeader(DataHandle data) {
    return kvl::guarded([&] { return kvl::memo_flush_header(data); });
}
KVL_ALIAS(KvlMemoFlushHeader)

KVL_API uint32_t KvlMemoReadHeader(DataHandle data) {
    return kvl::guarded([&] { return kvl::memo_read_header(data); });
}
KVL_ALIAS(KvlMemoReadHeader)

}  // extern "C"
