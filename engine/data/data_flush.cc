// data_flush.cc - keeping the file's header in step with the control
// record: flush (KvlDataFlushHeader), re-read (KvlDataReadHeader) and
// empty the file (KvlDataZapHeader).
//
// Only the 32-byte header is ever rewritten; descriptors are written once,
// by create.  A flush also puts the 0x1A after the last record and cuts the
// file there, which is how appended records and taken-back records become
// final on disk.
#include "engine/core/internal.h"
#include "engine/data/data_file.h"

namespace kvl {
namespace {

constexpr uint8_t kUnfinished = KVL_DBF_ADDED_UNFLUSHED | KVL_DBF_MEMO_UNFLUSHED;

// Writes 0x1A after the last record and cuts the file right after it.  A
// file shorter than the records its header counts is damaged: writing the
// 0x1A far out would grow it by a gap of zero records (gigabytes of them
// for a wild count), so it is left as it is and the flush says 38.
uint32_t write_file_end(const DataControlRecord *data) {
    const uint64_t end = end_offset(data->header);
    if (end >= UINT32_MAX) return ERR_FILE_LIMIT;
    const uint32_t position = static_cast<uint32_t>(end);
    uint32_t length = 0;
    if (uint32_t rc = file_length(data->file_layer, data->os_handle, &length); rc != ERR_NONE)
        return rc;
    if (length < position) return KVL_WIN_HANDLE_EOF;
    uint32_t rc = write_at(data->file_layer, data->os_handle, &kFileEnd, 1, position);
    if (rc != ERR_NONE) return rc;
    return truncate_at(data->file_layer, data->os_handle, position + 1);
}

// Empties the memo file down to its header block, with next free block 1.
uint32_t reset_memo(DataControlRecord *data) {
    const uint32_t first_block = data->memo_first_block_size ? data->memo_first_block_size
                                                             : data->memo_header.block_size;
    uint32_t rc = truncate_at(data->file_layer, data->memo_os_handle, first_block);
    if (rc != ERR_NONE) return rc;
    data->memo_header.next_free = 1;
    return write_at(data->file_layer, data->memo_os_handle, &data->memo_header.next_free,
                    sizeof data->memo_header.next_free, 0);
}

}  // namespace

uint32_t write_header_image(const DataControlRecord *data) {
    return write_at(data->file_layer, data->os_handle, &data->header, kHeaderSize, 0);
}

uint32_t write_unfinished_flags(const DataControlRecord *data) {
    return write_at(data->file_layer, data->os_handle, &data->header.incomplete,
                    sizeof data->header.incomplete, offsetof(DbfHeader, incomplete));
}

uint32_t data_flush_header(DataControlRecord *data) {
    if (!data) return ERR_NULL_PARAMETER;
    if (data->os_handle == 0) return ERR_BAD_FILE_HANDLE;
    if (!(data->state & KVL_STATE_CHANGED)) return ERR_NONE;
    if (is_read_only(data)) return ERR_READ_ONLY;

    // Records (and the memo numbers in them) reach the disk before the
    // memo header that may reuse freed runs and before the count that
    // makes new records part of the file: a power loss in between leaves
    // uncounted records, never a count over missing ones.
    uint32_t rc = KvlUpdateDirEntry(data->os_handle, data->file_layer);
    if (rc != ERR_NONE) return rc;
    const uint8_t added_before = data->header.incomplete & KVL_DBF_ADDED_UNFLUSHED;
    uint32_t memo_rc = ERR_NONE;
    if (data->memo_os_handle != 0 && (data->memo_state & 1)) memo_rc = KvlMemoFlushHeader(data);

    stamp_date(data->header);
    data->header.incomplete &= static_cast<uint8_t>(~KVL_DBF_ADDED_UNFLUSHED);
    rc = write_header_image(data);
    if (rc != ERR_NONE) {
        data->header.incomplete |= added_before;
        return rc;
    }
    rc = write_file_end(data);
    const uint32_t dir_rc = KvlUpdateDirEntry(data->os_handle, data->file_layer);
    data->state &= ~KVL_STATE_CHANGED;
    if (rc != ERR_NONE) return rc;
    if (dir_rc != ERR_NONE) return dir_rc;
    return memo_rc;
}

uint32_t data_read_header(DataControlRecord *data) {
    if (!data) return ERR_NULL_PARAMETER;
    if (data->os_handle == 0) return ERR_FILE_NOT_OPEN;
    if (!(data->kind & KVL_KIND_DATA)) return ERR_WRONG_FILE_KIND;
    if (data->state & KVL_STATE_CHANGED) return ERR_HEADER_DIRTY;
    DbfHeader fresh{};
    uint32_t rc = read_at(data->file_layer, data->os_handle, &fresh, kHeaderSize, 0);
    if (rc != ERR_NONE) return rc;
    // The descriptors and the callers' record buffers were sized from the
    // layout read at open; a header that moves the records is not taken.
    if (fresh.header_length != data->header.header_length ||
        fresh.record_length != data->header.record_length)
        return ERR_NOT_DATA_FILE;
    data->header = fresh;
    data->state &= ~KVL_STATE_RECORDS_PRESENT;
    if (data->memo_os_handle != 0) rc = KvlMemoReadHeader(data);
    if (data->header.incomplete & kUnfinished) rc = ERR_INCOMPLETE_WRITE;
    return rc;
}

uint32_t data_zap(DataControlRecord *data) {
    if (!data) return ERR_NULL_PARAMETER;
    if (is_read_only(data)) return ERR_READ_ONLY;
    data->header.record_count = 0;
    data->state |= KVL_STATE_CHANGED;
    uint32_t rc = data_flush_header(data);
    if (rc == ERR_NONE && data->memo_os_handle != 0) rc = reset_memo(data);
    return rc;
}

}  // namespace kvl

extern "C" {

KVL_API uint32_t KvlDataFlushHeader(DataHandle data) {
    return kvl::guarded([&] { return kvl::data_flush_header(data); });
}
KVL_ALIAS(KvlDataFlushHeader)

KVL_API uint32_t KvlDataReadHeader(DataHandle data) {
    return kvl::guarded([&] { return kvl::data_read_header(data); });
}
KVL_ALIAS(KvlDataReadHeader)

KVL_API uint32_t KvlDataZapHeader(DataHandle data) {
    return kvl::guarded([&] { return kvl::data_zap(data); });
}
KVL_ALIAS(KvlDataZapHeader)

}  // extern "C"
