// record_position.cc - where a record lies in the file, and the limit that
// keeps data away from the lock region.
//
// Byte-range locks are taken at and above a caller-chosen lock base (see
// engine/lock); data must stay engine variable 4 bytes below it so that a
// lock never covers bytes a record lives in.
#include "engine/core/internal.h"
#include "engine/data/data_file.h"

namespace kvl {

uint32_t check_file_limit(const DataControlRecord *data, uint64_t position) {
    // Positions travel as 32-bit words; the 0x1A after a record must too.
    if (position + data->header.record_length >= UINT32_MAX) return ERR_FILE_LIMIT;
    if (data->lock_base == 0) return ERR_NONE;
    const uint32_t base = (data->state & KVL_STATE_HALVED_BASE) ? data->lock_base >> 1
                                                                : data->lock_base;
    const uint32_t reserve = engine_var(KVL_VAR_LOCK_RESERVE);
    // A reserve larger than the base leaves no room at all (not a limit
    // that wrapped round to 4 GB).
    const uint32_t limit = base > reserve ? base - reserve : 0;
    return position >= limit ? ERR_FILE_LIMIT : ERR_NONE;
}

uint32_t record_position(const DataControlRecord *data, uint32_t record_number,
                         uint32_t *position) {
    if (record_number == 0 || record_number > data->header.record_count)
        return ERR_BAD_RECORD_NUMBER;
    if (data->header.record_length == 0) return ERR_NOT_DATA_FILE;
    const uint64_t offset = record_offset(data->header, record_number);
    const uint32_t rc = check_file_limit(data, offset);
    if (rc != ERR_NONE) return rc;
    *position = static_cast<uint32_t>(offset);
    return ERR_NONE;
}

}  // namespace kvl
