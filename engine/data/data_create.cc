// data_create.cc - creating an empty data file (KvlDataCreateFile) and a
// new empty file with the layout of an open one (KvlDataCopyHeader).
//
// The file is assembled in a temporary control record: header image,
// descriptors, 0x0D and 0x1A lie in one run of memory and go out in one
// write.  The same record then carries the name, heap kind and file layer
// to memo creation when the version byte asks for a memo file.
#include <cstring>

#include "engine/core/internal.h"
#include "engine/data/data_file.h"

namespace kvl {
namespace {

uint32_t temporary_record_size(uint32_t field_count) {
    return static_cast<uint32_t>(KVL_DATA_CONTROL_SIZE(field_count)) + 2;  // 0x0D 0x1A
}

void fill_header(DataControlRecord *temp, uint32_t version, uint32_t field_count,
                 uint32_t length_sum) {
    DbfHeader &header = temp->header;
    header.version = static_cast<uint8_t>(version & 0xFF);
    stamp_date(header);
    header.record_count = 0;
    header.header_length = static_cast<uint16_t>(header_length_for(field_count));
    header.record_length = static_cast<uint16_t>(length_sum + 1);
}

// Creates the file and writes the image; the file stays behind if a later
// step fails.
uint32_t write_new_file(const DataControlRecord *temp, uint32_t field_count) {
    const FileLayerTable *layer = temp->file_layer;
    uint32_t rc = KvlCreateFile(temp->file_name, layer);
    if (rc != ERR_NONE) return rc;
    uint32_t handle = 0;
    rc = KvlOpenFile(temp->file_name, KVL_OPEN_CREATE_MODE, &handle, layer);
    if (rc != ERR_NONE) return rc;
    rc = write_at(layer, handle, &temp->header, header_length_for(field_count) + 1, 0);
    const uint32_t close_rc = KvlCloseFile(&handle, layer);
    return rc != ERR_NONE ? rc : close_rc;
}

}  // namespace

uint32_t data_create(uint32_t version, uint32_t field_count, FieldDescriptor *descriptors,
                     const char *file_name, uint32_t heap_kind, const FileLayerTable *layer) {
    if (!descriptors || !file_name) return ERR_NULL_PARAMETER;
    if (field_count == 0 || field_count > kMaxFields) return ERR_FIELD_COUNT;
    uint32_t length_sum = 0;
    uint32_t rc = assign_offsets(descriptors, field_count, true, &length_sum);
    if (rc != ERR_NONE) return rc;
    if (length_sum >= kMaxRecordLength) return ERR_RECORD_TOO_LONG;

    MemBlock block;
    rc = block.allocate(heap_kind, temporary_record_size(field_count));
    if (rc != ERR_NONE) return rc;
    auto *temp = block.get<DataControlRecord>();
    temp->kind = KVL_KIND_DATA;
    temp->field_count = field_count;
    temp->file_name = file_name;
    temp->memo_header.block_size = version >> 16;
    temp->heap_kind = heap_kind;
    temp->file_layer = layer;
    fill_header(temp, version, field_count, length_sum);
    std::memcpy(temp->fields, descriptors, static_cast<size_t>(field_count) * kDescriptorSize);
    auto *tail = reinterpret_cast<uint8_t *>(temp->fields + field_count);
    tail[0] = kDescriptorEnd;
    tail[1] = kFileEnd;

    rc = write_new_file(temp, field_count);
    if (rc == ERR_NONE && has_memo(temp->header)) rc = KvlMemoCreateFile(temp);
    const uint32_t free_rc = block.release();
    return rc != ERR_NONE ? rc : free_rc;
}

uint32_t data_copy_header(DataControlRecord *data, const char *new_file_name) {
    if (!data) return ERR_NULL_PARAMETER;
    return KvlDataCreateFile(data->header.version, data->field_count, data->fields,
                             new_file_name, data->heap_kind, data->file_layer);
}

}  // namespace kvl

extern "C" {

KVL_API uint32_t KvlDataCreateFile(uint32_t version, uint32_t field_count,
                                   FieldDescriptor *descriptors, const char *file_name,
                                   uint32_t heap_kind, const FileLayerTable *table) {
    return kvl::guarded([&] {
        return kvl::data_create(version, field_count, descriptors, file_name, heap_kind, table);
    });
}
KVL_ALIAS(KvlDataCreateFile)

KVL_API uint32_t KvlDataCopyHeader(DataHandle data, const char *new_file_name) {
    return kvl::guarded([&] { return kvl::data_copy_header(data, new_file_name); });
}
KVL_ALIAS(KvlDataCopyHeader)

}  // extern "C"
