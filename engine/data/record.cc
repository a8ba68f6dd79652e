// record.cc - the five record operations: append, read, overwrite, set the
// delete tag, and take back the last record.
//
// Records are addressed by number (from 1).  Every check comes before any
// write.  An append sets bit 0 of header byte 14 on disk the first time
// after a flush, so that a crash before the next flush leaves a visible
// "unfinished update" mark; the record count on disk catches up at the
// flush.  The caller's RecordCallback sees each record around reads and
// writes and may veto or replace the result.
//
// Record calls refuse a control record that is not open (8306): its header
// image may still describe the file, but the handle word is 0 and would
// name standard input to the operating system.
#include "engine/core/internal.h"
#include "engine/data/data_file.h"

namespace kvl {
namespace {

uint32_t notify(DataControlRecord *data, uint32_t event, void *record, uint32_t number) {
    return data->record_callback ? data->record_callback(event, data, record, number)
                                 : ERR_NONE;
}

// Counts the appended record and, first time after a flush, puts the
// unfinished-update mark on disk.  When that write fails the record is not
// counted after all: an append that reports a failure adds nothing (the
// bytes past the count are cut off by the next flush), so a caller that
// goes on never finds a record it was told did not go in.
uint32_t count_appended(DataControlRecord *data, uint32_t *record_number) {
    DbfHeader &header = data->header;
    header.record_count += 1;
    data->state |= KVL_STATE_CHANGED;
    if (!(header.incomplete & KVL_DBF_ADDED_UNFLUSHED)) {
        header.incomplete |= KVL_DBF_ADDED_UNFLUSHED;
        // The mark goes out alone, without the count: the count on disk
        // moves only at a flush, so the records of an append run that
        // never got flushed are past the count, all of them, not all but
        // the first.
        const uint32_t rc = write_unfinished_flags(data);
        if (rc != ERR_NONE) {
            header.record_count -= 1;
            header.incomplete &= static_cast<uint8_t>(~KVL_DBF_ADDED_UNFLUSHED);
            return rc;
        }
    }
    *record_number = header.record_count;
    return ERR_NONE;
}

// A file cut short of the records its header counts would take the new
// record past a gap that reads back as records of zero bytes: 38, as a
// read of the missing records gives.  Looked at before the first append
// after an open or a header re-read; later appends follow on from it.
uint32_t check_records_present(DataControlRecord *data, uint64_t end) {
    if (data->state & KVL_STATE_RECORDS_PRESENT) return ERR_NONE;
    uint32_t length = 0;
    const uint32_t rc = file_length(data->file_layer, data->os_handle, &length);
    if (rc != ERR_NONE) return rc;
    if (length < end) return KVL_WIN_HANDLE_EOF;
    data->state |= KVL_STATE_RECORDS_PRESENT;
    return ERR_NONE;
}

uint32_t add_record(DataControlRecord *data, void *record, uint32_t *record_number) {
    if (!data || !record || !record_number) return ERR_NULL_PARAMETER;
    if (is_read_only(data)) return ERR_READ_ONLY;
    if (data->os_handle == 0) return ERR_FILE_NOT_OPEN;
    if (data->header.record_length == 0) return ERR_NOT_DATA_FILE;
    const uint64_t offset = end_offset(data->header);
    uint32_t rc = check_file_limit(data, offset);
    if (rc == ERR_NONE) rc = check_records_present(data, offset);
    if (rc != ERR_NONE) return rc;
    rc = notify(data, KVL_EVENT_BEFORE_ADD, record, 0);
    if (rc != ERR_NONE) return rc;
    rc = write_at(data->file_layer, data->os_handle, record, data->header.record_length,
                  static_cast<uint32_t>(offset));
    if (rc == ERR_NONE) rc = count_appended(data, record_number);
    if (data->record_callback) rc = notify(data, KVL_EVENT_AFTER_ADD, record, 0);
    return rc;
}

uint32_t get_record(DataControlRecord *data, uint32_t record_number, void *record) {
    if (!data || !record) return ERR_NULL_PARAMETER;
    if (data->os_handle == 0) return ERR_FILE_NOT_OPEN;
    uint32_t position = 0;
    uint32_t rc = record_position(data, record_number, &position);
    if (rc != ERR_NONE) return rc;
    rc = read_at(data->file_layer, data->os_handle, record, data->header.record_length,
                 position);
    if (rc != ERR_NONE) return rc;
    return notify(data, KVL_EVENT_READ, record, record_number);
}

uint32_t update_record(DataControlRecord *data, uint32_t record_number, void *record) {
    if (!data || !record) return ERR_NULL_PARAMETER;
    if (is_read_only(data)) return ERR_READ_ONLY;
    if (data->os_handle == 0) return ERR_FILE_NOT_OPEN;
    uint32_t position = 0;
    uint32_t rc = record_position(data, record_number, &position);
    if (rc != ERR_NONE) return rc;
    rc = notify(data, KVL_EVENT_BEFORE_WRITE, record, record_number);
    if (rc != ERR_NONE) return rc;
    rc = write_at(data->file_layer, data->os_handle, record, data->header.record_length,
                  position);
    if (rc == ERR_NONE) data->state |= KVL_STATE_CHANGED;
    if (data->record_callback) rc = notify(data, KVL_EVENT_AFTER_WRITE, record, record_number);
    return rc;
}

uint32_t mark_record(DataControlRecord *data, uint32_t record_number, uint32_t tag) {
    if (!data) return ERR_NULL_PARAMETER;
    if (is_read_only(data)) return ERR_READ_ONLY;
    if (data->os_handle == 0) return ERR_FILE_NOT_OPEN;
    uint32_t position = 0;
    const uint32_t rc = record_position(data, record_number, &position);
    if (rc != ERR_NONE) return rc;
    const uint8_t byte = static_cast<uint8_t>(tag & 0xFF);
    return write_at(data->file_layer, data->os_handle, &byte, 1, position);
}

// Read-only is refused first: the count must not drop in memory when the
// closing flush could never write it.
uint32_t debump_record(DataControlRecord *data, uint32_t record_number) {
    if (!data) return ERR_NULL_PARAMETER;
    if (is_read_only(data)) return ERR_READ_ONLY;
    uint32_t rc = data_flush_header(data);
    if (rc != ERR_NONE) return rc;
    rc = data_read_header(data);
    if (rc != ERR_NONE) return rc;
    if (record_number != data->header.record_count) return ERR_BAD_RECORD_NUMBER;
    data->header.record_count -= 1;
    data->state |= KVL_STATE_CHANGED;
    return data_flush_header(data);
}

}  // namespace
}  // namespace kvl

extern "C" {

KVL_API uint32_t KvlDataAddRecord(DataHandle data, void *record, uint32_t *record_number) {
    return kvl::guarded([&] { return kvl::add_record(data, record, record_number); });
}
KVL_ALIAS(KvlDataAddRecord)

KVL_API uint32_t KvlDataGetRecord(DataHandle data, uint32_t record_number, void *record) {
    return kvl::guarded([&] { return kvl::get_record(data, record_number, record); });
}
KVL_ALIAS(KvlDataGetRecord)

KVL_API uint32_t KvlDataUpdateRecord(DataHandle data, uint32_t record_number, void *record) {
    return kvl::guarded([&] { return kvl::update_record(data, record_number, record); });
}
KVL_ALIAS(KvlDataUpdateRecord)

KVL_API uint32_t KvlDataMarkRecord(DataHandle data, uint32_t record_number, uint32_t tag) {
    return kvl::guarded([&] { return kvl::mark_record(data, record_number, tag); });
}
KVL_ALIAS(KvlDataMarkRecord)

KVL_API uint32_t KvlDataDebumpRecord(DataHandle data, uint32_t record_number) {
    return kvl::guarded([&] { return kvl::debump_record(data, record_number); });
}
KVL_ALIAS(KvlDataDebumpRecord)

}  // extern "C"
