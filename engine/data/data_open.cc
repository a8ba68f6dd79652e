// data_open.cc - looking at, opening and closing a data file
// (KvlDataInfoFile, KvlDataOpenFile, KvlDataCloseFile).
//
// Open trusts nothing in the file: before the control record is marked
// open, the header and descriptors must describe a layout that fits the
// caller's capacity and whose record length is 1 + the sum of the field
// lengths.  Anything else is refused with a result code and the file is
// closed again, so record operations never compute positions or buffer
// sizes from a damaged header.
#include <cstring>

#include "engine/core/internal.h"
#include "engine/data/data_file.h"

namespace kvl {
namespace {

// Field count as the header length tells it, signed: a header length below
// 33 gives a negative count.
int32_t declared_fields(uint16_t header_length) {
    return (static_cast<int32_t>(header_length) - 33) >> 5;
}

// The descriptors end at the 0x0D byte.  Usually that is at 32 * n + 32 for
// the declared n; a container backlink puts it earlier.  Returns the number
// of descriptors before it, or 0 when there is none where one must be.
uint32_t counted_fields(const DataControlRecord *data, uint32_t declared, uint32_t *rc) {
    for (uint32_t i = 0; i < declared; ++i) {
        if (static_cast<uint8_t>(data->fields[i].name[0]) == kDescriptorEnd) return i;
    }
    uint8_t end = 0;
    *rc = read_at(data->file_layer, data->os_handle, &end, 1,
                  kHeaderSize + kDescriptorSize * declared);
    return (*rc == ERR_NONE && end == kDescriptorEnd) ? declared : 0;
}

// Reads and checks the header and descriptors; on success *count is the
// number of fields.  Nothing but the header image and descriptor area of
// the record is written.
uint32_t load_layout(DataControlRecord *data, uint32_t capacity, uint32_t *count) {
    const FileLayerTable *layer = data->file_layer;
    uint32_t rc = read_at(layer, data->os_handle, &data->header, kHeaderSize, 0);
    if (rc != ERR_NONE) return rc;
    const DbfHeader &header = data->header;
    if (header.record_length == 0) return ERR_NOT_DATA_FILE;
    if (header.header_length < kMinHeaderLength) return ERR_NOT_DATA_FILE;
    const uint32_t declared = static_cast<uint32_t>(declared_fields(header.header_length));
    if (declared > capacity) return ERR_FIELD_COUNT;
    rc = read_at(layer, data->os_handle, data->fields, kDescriptorSize * declared, kHeaderSize);
    if (rc != ERR_NONE) return rc;
    *count = counted_fields(data, declared, &rc);
    if (rc != ERR_NONE) return rc;
    if (*count == 0) return ERR_NOT_DATA_FILE;
    uint32_t length_sum = 0;
    assign_offsets(data->fields, *count, false, &length_sum);
    if (length_sum + 1 != header.record_length) return ERR_NOT_DATA_FILE;
    return ERR_NONE;
}

void upper_case_names(DataControlRecord *data) {
    for (uint32_t i = 0; i < data->field_count; ++i)
        KvlUpperCaseO(data->fields[i].name, kNameLength, 1);
}

void close_quietly(DataControlRecord *data) {
    KvlCloseFile(&data->os_handle, data->file_layer);
    data->os_handle = 0;
}

}  // namespace

uint32_t data_info(const char *file_name, uint32_t open_mode, void *header,
                   int32_t *field_count, const FileLayerTable *layer) {
    if (!file_name || !header || !field_count) return ERR_NULL_PARAMETER;
    uint32_t handle = 0;
    const uint32_t open_rc = KvlOpenFile(file_name, open_mode, &handle, layer);
    if (open_rc != ERR_NONE) {
        if (handle != 0) KvlCloseFile(&handle, layer);
        return open_rc;
    }
    // Bytes a short read did not reach read as zero, never as stale memory.
    DbfHeader image{};
    const uint32_t rc = read_at(layer, handle, &image, kHeaderSize, 0);
    std::memcpy(header, &image, kHeaderSize);
    *field_count = declared_fields(image.header_length);
    KvlCloseFile(&handle, layer);
    return rc;
}

uint32_t data_open(DataControlRecord *data, uint32_t open_flags) {
    if (!data) return ERR_NULL_PARAMETER;
    if (data->os_handle != 0) return ERR_ALREADY_OPEN;
    const uint32_t capacity = data->field_count;
    if (capacity == 0) return ERR_FIELD_COUNT;
    const bool keep_names = (data->open_mode & KVL_OPEN_KEEP_NAMES) != 0;
    data->open_mode &= ~KVL_OPEN_KEEP_NAMES;

    uint32_t rc = KvlOpenFile(data->file_name, data->open_mode, &data->os_handle,
                              data->file_layer);
    if (rc != ERR_NONE) {
        if (data->os_handle != 0) close_quietly(data);
        return rc;
    }
    uint32_t count = 0;
    rc = load_layout(data, capacity, &count);
    if (rc != ERR_NONE) {
        close_quietly(data);
        return rc;
    }

    data->kind |= KVL_KIND_DATA;
    data->state &= ~KVL_STATE_RECORDS_PRESENT;
    data->field_count = count;
    if (!keep_names) upper_case_names(data);
    data->state |= open_flags & KVL_STATE_OPEN_MASK;
    if (has_memo(data->header) && KvlMemoOpenFile(data) != ERR_NONE) rc = ERR_MEMO_OPEN;
    if (data->header.incomplete & (KVL_DBF_ADDED_UNFLUSHED | KVL_DBF_MEMO_UNFLUSHED))
        rc = ERR_INCOMPLETE_WRITE;
    return rc;
}

uint32_t data_close(DataControlRecord *data) {
    if (!data) return ERR_NULL_PARAMETER;
    uint32_t rc = ERR_NONE;
    if (data->state & KVL_STATE_CHANGED) {
        rc = data_flush_header(data);
        if (rc != ERR_NONE) return rc;
    }
    rc = KvlCloseFile(&data->os_handle, data->file_layer);
    if (rc == ERR_NONE && data->memo_os_handle != 0) rc = KvlMemoCloseFile(data);
    return rc;
}

}  // namespace kvl

extern "C" {

KVL_API uint32_t KvlDataInfoFile(const char *file_name, uint32_t open_mode, void *header,
                                 int32_t *field_count, const FileLayerTable *table) {
    return kvl::guarded(
        [&] { return kvl::data_info(file_name, open_mode, header, field_count, table); });
}
KVL_ALIAS(KvlDataInfoFile)

KVL_API uint32_t KvlDataOpenFile(DataHandle data, uint32_t open_flags) {
    return kvl::guarded([&] { return kvl::data_open(data, open_flags); });
}
KVL_ALIAS(KvlDataOpenFile)

KVL_API uint32_t KvlDataCloseFile(DataHandle data) {
    return kvl::guarded([&] { return kvl::data_close(data); });
}
KVL_ALIAS(KvlDataCloseFile)

}  // extern "C"
