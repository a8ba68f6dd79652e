// data_file.h - the data file operations behind the KvlData* exports, for
// the other engine subsystems (locks, index calls, pack and sort, memo):
// header flush and re-read, the record position check and the lock-region
// limit.  All take a DataControlRecord the caller owns.
#ifndef KVL_DATA_DATA_FILE_H
#define KVL_DATA_DATA_FILE_H

#include <cstdint>

#include "engine/data/data_format.h"

namespace kvl {

// ---- file operations (data_create.cc, data_open.cc, data_flush.cc) --------

uint32_t data_info(const char *file_name, uint32_t open_mode, void *header,
                   int32_t *field_count, const FileLayerTable *layer);
uint32_t data_create(uint32_t version, uint32_t field_count, FieldDescriptor *descriptors,
                     const char *file_name, uint32_t heap_kind, const FileLayerTable *layer);
uint32_t data_copy_header(DataControlRecord *data, const char *new_file_name);
uint32_t data_open(DataControlRecord *data, uint32_t open_flags);
uint32_t data_close(DataControlRecord *data);

// Writes the header back when it changed: date stamp, byte 14 bit 0
// cleared, 0x1A after the last record and the file cut right after it.
uint32_t data_flush_header(DataControlRecord *data);
// Re-reads the 32-byte header (and the memo header); ERR_INCOMPLETE_WRITE
// when byte 14 shows an unfinished update.  Refuses (ERR_NOT_DATA_FILE) a
// header whose header or record length changed since open, which would move
// every record.
uint32_t data_read_header(DataControlRecord *data);
uint32_t data_zap(DataControlRecord *data);

// Writes the 32-byte header image at position 0 of the data file.
uint32_t write_header_image(const DataControlRecord *data);
// Writes header byte 14 (the unfinished-update flags) alone: the count and
// date on disk stay those of the last flush.
uint32_t write_unfinished_flags(const DataControlRecord *data);

// ---- records (record_position.cc) ---------------------------------------

inline bool is_read_only(const DataControlRecord *data) {
    return (data->state & KVL_STATE_READ_ONLY) != 0;
}

// ERR_FILE_LIMIT when a record starting at this position reaches the lock
// region (lock base, halved with KVL_STATE_HALVED_BASE, minus engine
// variable 4), or when the record would end beyond what 32-bit positions
// address.
uint32_t check_file_limit(const DataControlRecord *data, uint64_t position);

// The position check of get, update and mark: record number 0 or above the
// record count ERR_BAD_RECORD_NUMBER, record length 0 ERR_NOT_DATA_FILE,
// lock region ERR_FILE_LIMIT; else 0 and the record's file position.
uint32_t record_position(const DataControlRecord *data, uint32_t record_number,
                         uint32_t *position);

}  // namespace kvl

#endif  // KVL_DATA_DATA_FILE_H
