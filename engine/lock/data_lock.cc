// data_lock.cc - locks on a data file: the header lock (KvlLockDataHeader),
// record locks and the whole-file lock (KvlLockDataRecord with record 0),
// and their unlocks.
//
// The header lock and the whole-file lock are counted (counted_lock.h) and
// exclude each other within one control record: 8405 for a header or record
// lock while the whole file is locked, 8406 for a whole-file lock while the
// header is locked.  Record locks are not counted, not nested and not
// recorded; the caller unlocks exactly the ranges it locked (two overlapping
// record locks of one handle merge in the operating system, so unlocking one
// frees the overlap).
#include "engine/core/internal.h"
#include "engine/data/data_file.h"
#include "engine/lock/counted_lock.h"
#include "engine/lock/locks.h"

namespace kvl {
namespace {

uint32_t reread_data(void *control) {
    return data_read_header(static_cast<DataControlRecord *>(control));
}

uint32_t flush_data(void *control) {
    return data_flush_header(static_cast<DataControlRecord *>(control));
}

CountedLock counted(DataControlRecord *data, uint32_t *count, uint32_t held_flag,
                    uint32_t shared_flag, const LockRange &range) {
    return CountedLock{count, &data->state, held_flag, shared_flag, data->os_handle,
                       data->file_layer, range, data, &reread_data, &flush_data};
}

CountedLock header_lock(DataControlRecord *data) {
    return counted(data, &data->header_lock_count, KVL_STATE_HEADER_LOCKED,
                   KVL_STATE_HEADER_SHARED, data_header_range(data));
}

CountedLock file_lock(DataControlRecord *data) {
    return counted(data, &data->file_lock_count, KVL_STATE_FILE_LOCKED, KVL_STATE_FILE_SHARED,
                   data_file_range(data));
}

bool file_locked(const DataControlRecord *data) {
    return (data->state & KVL_STATE_FILE_LOCKED) != 0;
}

bool header_locked(const DataControlRecord *data) {
    return (data->state & KVL_STATE_HEADER_LOCKED) != 0;
}

// A closed record's handle word is 0, which would name standard input.
uint32_t check_open(const DataControlRecord *data) {
    if (!data) return ERR_NULL_PARAMETER;
    return data->os_handle == 0 ? ERR_FILE_NOT_OPEN : ERR_NONE;
}

}  // namespace

uint32_t lock_data_header(DataControlRecord *data, uint32_t mode, uint32_t time_budget) {
    if (uint32_t rc = check_open(data)) return rc;
    if (file_locked(data)) return ERR_FILE_LOCKED;
    return take_counted(header_lock(data), mode, time_budget);
}

uint32_t unlock_data_header(DataControlRecord *data) {
    if (uint32_t rc = check_open(data)) return rc;
    return release_counted(header_lock(data));
}

uint32_t lock_data_records(DataControlRecord *data, uint32_t mode, uint32_t first_record,
                           uint32_t record_count, uint32_t time_budget) {
    if (uint32_t rc = check_open(data)) return rc;
    if (first_record == 0) {
        if (header_locked(data)) return ERR_HEADER_LOCKED;
        return take_counted(file_lock(data), mode, time_budget);
    }
    if (file_locked(data)) return ERR_FILE_LOCKED;
    return lock_bytes(data->os_handle, data->file_layer, lock_flags_for(mode),
                      data_records_range(data, first_record, record_count), time_budget);
}

uint32_t unlock_data_records(DataControlRecord *data, uint32_t first_record,
                             uint32_t record_count) {
    if (uint32_t rc = check_open(data)) return rc;
    if (first_record == 0) return release_counted(file_lock(data));
    if (file_locked(data)) return ERR_FILE_LOCKED;
    return lock_bytes(data->os_handle, data->file_layer, KVL_LOCK_UNLOCK,
                      data_records_range(data, first_record, record_count), 0);
}

}  // namespace kvl

extern "C" {

KVL_API uint32_t KvlLockDataHeader(DataHandle data, uint32_t mode, uint32_t time_budget) {
    return kvl::guarded([&] { return kvl::lock_data_header(data, mode, time_budget); });
}
KVL_ALIAS(KvlLockDataHeader)

KVL_API uint32_t KvlUnlockDataHeader(DataHandle data) {
    return kvl::guarded([&] { return kvl::unlock_data_header(data); });
}
KVL_ALIAS(KvlUnlockDataHeader)

KVL_API uint32_t KvlLockDataRecord(DataHandle data, uint32_t mode, uint32_t first_record,
                                   uint32_t record_count, uint32_t time_budget) {
    return kvl::guarded([&] {
        return kvl::lock_data_records(data, mode, first_record, record_count, time_budget);
    });
}
KVL_ALIAS(KvlLockDataRecord)

KVL_API uint32_t KvlUnlockDataRecord(DataHandle data, uint32_t first_record,
                                     uint32_t record_count) {
    return kvl::guarded(
        [&] { return kvl::unlock_data_records(data, first_record, record_count); });
}
KVL_ALIAS(KvlUnlockDataRecord)

}  // extern "C"
