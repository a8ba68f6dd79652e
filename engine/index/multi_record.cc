// multi_record.cc - adding or changing a data record together with any
// number of indexes in one call (KvlIx4InsertEx, KvlIx4UpdateEx).
//
// The caller's IndexRequest list has one request per index.  A request
// either owns its record (adds, reads or writes the data record) or shares
// the record of an earlier request (flag KVL_REQUEST_SHARED) and only keeps
// its index in step.  Both calls check the whole list before they write
// anything, then work through it in list order; when a request fails, the
// requests before it are undone newest first, and every request's state
// word tells the caller what became of it.  There is no journal: a process
// that dies halfway leaves the finished requests in place, with the
// changes-pending mark in each index it changed.
#include <cstring>

#include "engine/core/internal.h"
#include "engine/lock/request_list.h"

namespace kvl {
namespace {

// Insert states.
constexpr uint32_t kKeyStored = 2;         // shared request: key stored
constexpr uint32_t kAddedAndStored = 3;    // owning request: record added, key stored
constexpr uint32_t kRecordNotRemoved = 16; // its added record could not be taken back
constexpr uint32_t kKeyNotDeleted = 17;    // undo: its key could not be deleted

// Update states (those of KvlIx4Update, plus the shared request's 2).
constexpr uint32_t kWrittenSameKey = 1;
constexpr uint32_t kKeyMoved = 2;
constexpr uint32_t kWrittenKeyMoved = 3;
constexpr uint32_t kStoreFailed = 16;      // new key refused, old key back
constexpr uint32_t kWriteFailed = 17;      // record write failed, key change undone
constexpr uint32_t kUndoAlsoFailed = 16;   // added to 16 or 17
constexpr uint32_t kUndoFailed = 64;       // added to the state of a failed undo

bool shares_record(const IndexRequest *request) {
    return (request->flags & KVL_REQUEST_SHARED) != 0;
}

DataControlRecord *data_of(const IndexRequest *request) { return request->index->data_link; }

bool read_only(const IndexControlRecord *index) {
    return (index->state & KVL_STATE_READ_ONLY) ||
           (index->data_link->state & KVL_STATE_READ_ONLY);
}

// Builds a record's key through the index's build-key slot, outside a
// rebuild.
uint32_t build_key(IndexControlRecord *index, void *record, void *key) {
    index->reindex_marker = 0;
    KvlBuildKey build = index->build_key ? index->build_key : KvlFuncIx4BuildKey;
    return build(index, record, key);
}

// ---- keys whose change reported a failure -------------------------------
//
// A key store or delete that reports a failure may still have changed the
// tree: a split or merge writes several nodes, and a failure after the
// first of them is reported with the tree as far as it got.  So after a
// failure the code below looks at the index before it acts, rather
// than leave a key that points at a record taken back again (the next
// append would reuse its number) or lose a key it believes still there.

// Whether the index holds key with exactly this record number.  In a
// unique index an equal key of another record does not count.
bool holds_entry(IndexControlRecord *index, const void *key, uint32_t record_number) {
    const uint32_t length = index->header.key_length;
    if (length == 0 || length > KVL_MAX_KEY_LENGTH) return false;
    uint8_t probe[KVL_MAX_KEY_LENGTH + 1] = {};
    std::memcpy(probe, key, length);
    uint32_t found = record_number;
    return KvlIx4EqualKey(index, probe, &found) == ERR_NONE && found == record_number;
}

// Stores the entry; true when the index holds it afterwards.
bool put_back(IndexControlRecord *index, const void *key, uint32_t record_number) {
    return KvlIx4StoreKey(index, key, record_number) == ERR_NONE ||
           holds_entry(index, key, record_number);
}

// Deletes an entry this call stored; true when it is gone afterwards.
bool take_out(IndexControlRecord *index, const void *key, uint32_t record_number) {
    return KvlIx4DeleteKey(index, key, record_number) == ERR_NONE ||
           !holds_entry(index, key, record_number);
}

// After a store that reported a failure: deletes the entry if it went in
// all the same.  (Deleting blindly could remove another record's equal key
// from a unique index.)  True when the index does not hold it.
bool clear_failed_store(IndexControlRecord *index, const void *key, uint32_t record_number) {
    return !holds_entry(index, key, record_number) || take_out(index, key, record_number);
}

// ---- the checking pass ----------------------------------------------------

struct ListCheck {
    bool update = false;
    uint32_t requests = 0;
    uint32_t owned_bytes = 0;  // record lengths of the owning requests (update)
};

uint32_t check_request(const IndexRequest *request, ListCheck &check,
                       uint32_t *owner_length) {
    IndexControlRecord *index = request->index;
    if (!index || !index->data_link) return ERR_NULL_PARAMETER;
    if (index->data_link == KVL_NO_DATA_FILE) return ERR_DATA_LINK_INVALID;
    if (!request->key || !request->record) return ERR_NULL_PARAMETER;
    if (index->os_handle == 0 || index->data_link->os_handle == 0) return ERR_FILE_NOT_OPEN;
    if (read_only(index)) return ERR_READ_ONLY;
    if (!check.update) return ERR_NONE;
    if (request->record_number == 0) return ERR_NO_RECORD_NUMBER;
    const uint32_t length = data_of(request)->header.record_length;
    if (shares_record(request)) {
        // The shared request compares against its owner's saved record.
        return length == *owner_length ? ERR_NONE : ERR_NO_RECORD_NUMBER;
    }
    *owner_length = length;
    check.owned_bytes += length;
    if (check.owned_bytes < length ||
        check.owned_bytes > engine_var(KVL_VAR_ALLOC_CEILING))
        return ERR_UPDATE_TOO_BIG;
    return ERR_NONE;
}

// Sets every request's state and back link and checks it; counts the
// requests.  A failure names its request in *failed.
uint32_t check_list(IndexRequest *first, ListCheck &check, uint32_t *failed) {
    if (uint32_t looping = looping_node(first)) {
        *failed = looping;
        return ERR_BAD_LIST_END;
    }
    IndexRequest *previous = nullptr;
    uint32_t owner_length = 0;
    for (IndexRequest *request = first; request; request = follow(request)) {
        ++check.requests;
        request->state = 0;
        request->previous = previous;
        if (uint32_t rc = check_request(request, check, &owner_length)) {
            *failed = check.requests;
            return rc;
        }
        previous = request;
    }
    return ERR_NONE;
}

// ---- insert ---------------------------------------------------------------

// The record number of a request: a new record for an owning request, the
// previous request's for a shared one.
uint32_t take_record(IndexRequest *request, uint32_t *record_number) {
    if (!shares_record(request)) {
        request->record_number = 0;
        return KvlDataAddRecord(data_of(request), request->record, record_number);
    }
    if (request->record_number != 0 || !request->previous) return ERR_NO_RECORD_NUMBER;
    *record_number = request->previous->record_number;
    return ERR_NONE;
}

uint32_t insert_one(IndexRequest *request) {
    uint32_t record_number = 0;
    uint32_t rc = take_record(request, &record_number);
    if (rc != ERR_NONE) return rc;
    rc = build_key(request->index, request->record, request->key);
    if (rc == ERR_NONE && is_bad_link(request->next)) rc = ERR_BAD_LIST_END;
    if (rc == ERR_NONE) {
        rc = KvlIx4StoreKey(request->index, request->key, record_number);
        if (rc != ERR_NONE &&
            !clear_failed_store(request->index, request->key, record_number))
            request->state = kKeyNotDeleted;
    }
    if (rc != ERR_NONE) {
        if (!shares_record(request) &&
            KvlDataDebumpRecord(data_of(request), record_number) != ERR_NONE)
            request->state += kRecordNotRemoved;
        return rc;
    }
    request->record_number = record_number;
    request->state = shares_record(request) ? kKeyStored : kAddedAndStored;
    return ERR_NONE;
}

// Deletes the keys and takes back the records of the requests from this one
// back to the first.  Walking backwards removes the newest record first, as
// taking back records requires.
void undo_inserts(IndexRequest *request) {
    for (; request; request = request->previous) {
        uint32_t state = 0;
        if (!take_out(request->index, request->key, request->record_number))
            state = kKeyNotDeleted;
        if (!shares_record(request) &&
            KvlDataDebumpRecord(data_of(request), request->record_number) != ERR_NONE)
            state += kRecordNotRemoved;
        request->state = state;
    }
}

uint32_t insert_list(IndexRequest *first, uint32_t *failed) {
    if (!first || !failed) return ERR_NULL_PARAMETER;
    *failed = 0;
    ListCheck check;
    if (uint32_t rc = check_list(first, check, failed)) return rc;
    IndexRequest *request = first;
    for (uint32_t position = 1; position <= check.requests; ++position) {
        if (uint32_t rc = insert_one(request)) {
            *failed = position;
            undo_inserts(request->previous);
            return rc;
        }
        request = follow(request);
    }
    return ERR_NONE;
}

// ---- update ---------------------------------------------------------------

// The save area holds the stored record of every owning request, in list
// order; a shared request compares against its owner's, the most recent.
struct UpdateWork {
    uint8_t *next_free;                   // next place in the save area
    uint8_t *before_current = nullptr;    // next_free before the current request
    const uint8_t *old_record = nullptr;  // the owner's record as stored
};

// Moves the request's key from old_key to new_key, then (owning request)
// writes the new record; a failure puts the old key back (state 16, or 17
// when the record write failed; 16 more when the old key could not be put
// back).
uint32_t move_key_and_write(IndexRequest *request, const uint8_t *old_key,
                            const uint8_t *new_key) {
    IndexControlRecord *index = request->index;
    const uint32_t number = request->record_number;
    std::memcpy(request->key, new_key, index->header.key_length);
    uint32_t rc = KvlIx4DeleteKey(index, old_key, number);
    if (rc != ERR_NONE) {
        // Nothing changed, unless the delete went through after all.
        if (!holds_entry(index, old_key, number) && !put_back(index, old_key, number))
            request->state = kStoreFailed + kUndoAlsoFailed;
        return rc;
    }
    rc = KvlIx4StoreKey(index, new_key, number);
    if (rc != ERR_NONE) {
        request->state = kStoreFailed;
        if (!clear_failed_store(index, new_key, number) || !put_back(index, old_key, number))
            request->state += kUndoAlsoFailed;
        return rc;
    }
    if (shares_record(request)) {
        request->state = kKeyMoved;
        return ERR_NONE;
    }
    rc = KvlDataUpdateRecord(data_of(request), number, request->record);
    if (rc != ERR_NONE) {
        request->state = kWriteFailed;
        if (!take_out(index, new_key, number) || !put_back(index, old_key, number))
            request->state += kUndoAlsoFailed;
        return rc;
    }
    request->state = kWrittenKeyMoved;
    return ERR_NONE;
}

uint32_t update_one(IndexRequest *request, UpdateWork &work) {
    DataControlRecord *data = data_of(request);
    const uint32_t length = data->header.record_length;
    work.before_current = work.next_free;
    if (!shares_record(request)) {
        uint32_t rc = KvlDataGetRecord(data, request->record_number, work.next_free);
        if (rc != ERR_NONE) return rc;
        work.old_record = work.next_free;
        work.next_free += length;
    }
    if (std::memcmp(work.old_record, request->record, length) == 0) return ERR_NONE;

    IndexControlRecord *index = request->index;
    const uint32_t key_length = index->header.key_length;
    if (key_length > KVL_MAX_KEY_LENGTH) return ERR_KEY_TOO_LONG;
    uint8_t old_key[KVL_MAX_KEY_LENGTH] = {};
    uint8_t new_key[KVL_MAX_KEY_LENGTH] = {};
    uint32_t rc = build_key(index, const_cast<uint8_t *>(work.old_record), old_key);
    if (rc == ERR_NONE) rc = build_key(index, request->record, new_key);
    if (rc != ERR_NONE) return rc;
    if (std::memcmp(old_key, new_key, key_length) != 0)
        return move_key_and_write(request, old_key, new_key);
    if (shares_record(request)) return ERR_NONE;
    rc = KvlDataUpdateRecord(data, request->record_number, request->record);
    request->state = rc == ERR_NONE ? kWrittenSameKey : kWriteFailed;
    return rc;
}

// Puts back the old record and keys of this request and those before it,
// newest first.  save_end is the end of the saved records of these
// requests; walking back, each owning request's record lies just below it,
// and a shared request's (its owner's, of the same length) too.  A shared
// request moves only its key: the data file still holds the changed record
// until its owner, earlier in the list, writes the old one back.
void undo_updates(IndexRequest *request, uint8_t *save_end) {
    for (; request; request = request->previous) {
        const uint32_t length = data_of(request)->header.record_length;
        uint8_t *old_record = save_end - length;
        if (!shares_record(request)) save_end = old_record;
        if (request->state == 0) continue;
        uint32_t state = shares_record(request) ? KVL_UPDATE_KEYS_ONLY : 0u;
        const uint32_t rc = KvlIx4Update(request->index, request->key, request->record_number,
                                         old_record, &state);
        // An undo that reports an error did not restore the request, even
        // when its state says nothing was left changed.
        request->state = (rc == ERR_NONE && state <= kWrittenKeyMoved) ? 0 : state + kUndoFailed;
    }
}

uint32_t update_list(IndexRequest *first, uint32_t *failed, uint32_t heap_kind) {
    if (!first || !failed) return ERR_NULL_PARAMETER;
    *failed = 1;
    if (shares_record(first)) return ERR_UPDATE_BAD_FIRST;
    *failed = 0;
    ListCheck check;
    check.update = true;
    if (uint32_t rc = check_list(first, check, failed)) return rc;
    if (check.owned_bytes == 0) return ERR_UPDATE_NO_OWNER;

    MemBlock save_area;
    if (uint32_t rc = save_area.allocate(heap_kind, check.owned_bytes, false)) {
        *failed = check.requests;
        return rc;
    }
    UpdateWork work{save_area.get()};
    IndexRequest *request = first;
    uint32_t rc = ERR_NONE;
    uint32_t position = 1;
    for (; position <= check.requests; ++position, request = follow(request)) {
        rc = update_one(request, work);
        if (rc == ERR_NONE && is_bad_link(request->next)) rc = ERR_BAD_LIST_END;
        if (rc != ERR_NONE) break;
    }
    if (rc == ERR_NONE) return ERR_NONE;
    *failed = position;
    // After 8387 the failing request's own change is complete: undo it too.
    if (rc == ERR_BAD_LIST_END)
        undo_updates(request, work.next_free);
    else
        undo_updates(request->previous, work.before_current);
    return rc;
}

}  // namespace
}  // namespace kvl

extern "C" {

KVL_API uint32_t KvlIx4InsertEx(IndexRequest *first, uint32_t *failed_request) {
    return kvl::guarded([&] { return kvl::insert_list(first, failed_request); });
}
KVL_ALIAS(KvlIx4InsertEx)

KVL_API uint32_t KvlIx4UpdateEx(IndexRequest *first, uint32_t *failed_request,
                                uint32_t heap_kind) {
    return kvl::guarded([&] { return kvl::update_list(first, failed_request, heap_kind); });
}
KVL_ALIAS(KvlIx4UpdateEx)

}  // extern "C"
