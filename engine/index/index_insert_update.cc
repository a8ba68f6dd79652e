// index_insert_update.cc - the single-index record calls: KvlIx4Insert adds
// a data record and stores its key, KvlIx4Update rewrites a record and
// moves its key.  Each undoes its own earlier steps when a later one fails
// and reports in a state word how far it got and whether the undo worked.
#include <cstring>

#include "engine/core/internal.h"
#include "engine/index/index_header.h"
#include "engine/index/key_calls.h"
#include "engine/index/slots.h"

namespace kvl::ix {
namespace {

constexpr uint32_t kStateAdded = 3;         // record added and key stored
constexpr uint32_t kStateRecordWritten = 1; // record written, key unchanged
constexpr uint32_t kStateMoved = 3;         // record written and key moved
constexpr uint32_t kStateStoreFailed = 16;  // new key refused, old key back
constexpr uint32_t kStateWriteFailed = 17;  // record write failed, key change undone
constexpr uint32_t kStateUndoFailed = 16;   // added to 16 or 17 when the undo failed too

bool read_only(const IndexControlRecord *ix) {
    return (ix->state & KVL_STATE_READ_ONLY) || (ix->data_link->state & KVL_STATE_READ_ONLY);
}

uint32_t check_link(const IndexControlRecord *ix) {
    if (!ix->data_link) return ERR_NO_DATA_LINK;
    if (ix->data_link == KVL_NO_DATA_FILE) return ERR_DATA_LINK_INVALID;
    if (read_only(ix)) return ERR_READ_ONLY;
    return ERR_NONE;
}

uint32_t insert_record(IndexControlRecord *ix, void *key, uint32_t *record_number, void *record,
                       uint32_t *state) {
    if (!ix || !state) return ERR_NULL_PARAMETER;
    *state = 0;
    uint32_t rc = check_link(ix);
    if (rc != ERR_NONE) return rc;
    if (!key || !record_number || !record) return ERR_NULL_PARAMETER;

    uint32_t added = 0;
    rc = KvlDataAddRecord(ix->data_link, record, &added);
    if (rc != ERR_NONE) return rc;
    rc = build_record_key(ix, record, key);
    if (rc == ERR_NONE) rc = store_key(ix, key, added);
    if (rc != ERR_NONE) {
        if (KvlDataDebumpRecord(ix->data_link, added) != ERR_NONE) *state = kStateStoreFailed;
        return rc;
    }
    *record_number = added;
    *state = kStateAdded;
    return ERR_NONE;
}

// Moves the index entry of record_number from old_key to new_key, putting
// the old key back when the new one is refused.
uint32_t move_key(IndexControlRecord *ix, const uint8_t *old_key, const uint8_t *new_key,
                  uint32_t record_number, uint32_t *state) {
    uint32_t rc = remove_key(ix, old_key, record_number);
    if (rc != ERR_NONE) return rc;
    rc = store_key(ix, new_key, record_number);
    if (rc != ERR_NONE) {
        *state = kStateStoreFailed;
        if (store_key(ix, old_key, record_number) != ERR_NONE) *state += kStateUndoFailed;
    }
    return rc;
}

uint32_t update_record(IndexControlRecord *ix, void *key, uint32_t record_number, void *record,
                       uint32_t *state) {
    if (!ix || !key || !record || !state) return ERR_NULL_PARAMETER;
    const bool keys_only = *state == KVL_UPDATE_KEYS_ONLY;
    *state = 0;
    uint32_t rc = check_link(ix);
    if (rc != ERR_NONE) return rc;
    DataControlRecord *data = ix->data_link;
    if (!header_usable(ix)) return ERR_NODE_SIZE;  // keys must fit the buffers below

    const uint32_t length = data->header.record_length;
    MemBlock stored;
    rc = stored.allocate(ix->heap_kind, length);
    if (rc == ERR_NONE) rc = KvlDataGetRecord(data, record_number, stored.get());
    if (rc != ERR_NONE) return rc;
    if (std::memcmp(stored.get(), record, length) == 0) return ERR_NONE;

    uint8_t old_key[KVL_MAX_KEY_LENGTH] = {};
    uint8_t new_key[KVL_MAX_KEY_LENGTH] = {};
    rc = build_record_key(ix, stored.get(), old_key);
    if (rc == ERR_NONE) rc = build_record_key(ix, record, new_key);
    if (rc != ERR_NONE) return rc;

    const uint32_t key_length = ix->header.key_length;
    if (std::memcmp(old_key, new_key, key_length) == 0) {
        if (keys_only) return ERR_NONE;
        rc = KvlDataUpdateRecord(data, record_number, record);
        *state = rc == ERR_NONE ? kStateRecordWritten : kStateWriteFailed;
        return rc;
    }

    std::memcpy(key, new_key, key_length);
    rc = move_key(ix, old_key, new_key, record_number, state);
    if (rc != ERR_NONE || keys_only) return rc;
    rc = KvlDataUpdateRecord(data, record_number, record);
    if (rc != ERR_NONE) {
        *state = kStateWriteFailed;
        if (remove_key(ix, new_key, record_number) != ERR_NONE ||
            store_key(ix, old_key, record_number) != ERR_NONE)
            *state += kStateUndoFailed;
        return rc;
    }
    *state = kStateMoved;
    return ERR_NONE;
}

}  // namespace
}  // namespace kvl::ix

extern "C" KVL_API uint32_t KvlIx4Insert(IndexHandle index, void *key, uint32_t *record_number,
                                         void *record, uint32_t *state) {
    return kvl::guarded(
        [&] { return kvl::ix::insert_record(index, key, record_number, record, state); });
}
KVL_ALIAS(KvlIx4Insert)

extern "C" KVL_API uint32_t KvlIx4Update(IndexHandle index, void *key, uint32_t record_number,
                                         void *record, uint32_t *state) {
    return kvl::guarded(
        [&] { return kvl::ix::update_record(index, key, record_number, record, state); });
}
KVL_ALIAS(KvlIx4Update)
