// key_calls.cc - the exported key-level calls: first, last, next, previous,
// equal, equal or greater, equal or lesser, key for record, and storing and
// deleting single keys.
#include "engine/index/key_calls.h"

#include <cstring>

#include "engine/core/internal.h"
#include "engine/index/index_header.h"
#include "engine/index/node_io.h"
#include "engine/index/slots.h"

namespace kvl::ix {
namespace {

uint32_t deliver(IndexControlRecord *ix, uint32_t rc, void *key, uint32_t *record_number) {
    if (rc != ERR_NONE) return rc;
    const uint32_t length = ix->header.key_length;
    std::memcpy(key, ix->current_key, length < KVL_MAX_KEY_LENGTH ? length : KVL_MAX_KEY_LENGTH);
    *record_number = ix->current_record;
    return ERR_NONE;
}

bool missing(const IndexControlRecord *ix, const void *key, const uint32_t *record_number) {
    return !ix || !key || !record_number;
}

uint32_t call(IndexControlRecord *ix, uint32_t function, void *key, uint32_t record_number) {
    return tree_manager(ix)(function, ix, key, record_number);
}

// Find, and on a miss step from the gap with re-seek mode off.
uint32_t find_or_step(IndexControlRecord *ix, void *key, uint32_t *record_number,
                      uint32_t step) {
    if (missing(ix, key, record_number)) return ERR_NULL_PARAMETER;
    uint32_t rc = call(ix, KVL_BTM_FIND, key, *record_number);
    if (rc == ERR_KEY_NOT_FOUND) rc = without_reseek(ix, step, key, *record_number);
    return deliver(ix, rc, key, record_number);
}

uint32_t change_key(IndexControlRecord *ix, uint32_t function, const void *key,
                    uint32_t record_number) {
    if (!ix || !key) return ERR_NULL_PARAMETER;
    if (ix->state & KVL_STATE_READ_ONLY) return ERR_READ_ONLY;
    const bool first_change = !(ix->header.state & KVL_IX_STATE_PENDING);
    const uint32_t marked = mark_changes_pending(ix);
    if (marked != ERR_NONE) return marked;
    ix->state &= ~kStateNodeWritten;
    uint32_t rc = call(ix, function, const_cast<void *>(key), record_number);
    // A change that failed after it wrote a node may have stopped between
    // the writes of a split or merge: the tree keeps its mark.
    if (rc != ERR_NONE && (ix->state & kStateNodeWritten)) ix->state |= KVL_STATE_TREE_SUSPECT;
    ix->state &= ~kStateNodeWritten;
    // The header on disk also shows the tree as the first change left it,
    // as it always has; its mark was there before the change.
    if (first_change) {
        const uint32_t written = write_header_head(ix);
        if (rc == ERR_NONE) rc = written;
    }
    return rc;
}

uint32_t key_for_record(IndexControlRecord *ix, void *key, uint32_t record_number,
                        void *record) {
    if (!ix || !key || !record || !ix->data_link) return ERR_NULL_PARAMETER;
    if (ix->data_link == KVL_NO_DATA_FILE) return ERR_DATA_LINK_INVALID;
    uint32_t rc = build_record_key(ix, record, key);
    if (record_number == 0) return rc;
    if (rc != ERR_NONE && rc != ERR_RECORD_FILTERED) return rc;
    rc = call(ix, KVL_BTM_FIND, key, record_number);
    if (rc == ERR_NONE) std::memcpy(key, ix->current_key, ix->header.key_length);
    return rc;
}

}  // namespace

uint32_t first_key(IndexControlRecord *ix, void *key, uint32_t *record_number) {
    if (missing(ix, key, record_number)) return ERR_NULL_PARAMETER;
    uint32_t rc = without_reseek(ix, KVL_BTM_RESET, nullptr, 0);
    if (rc == ERR_NONE) rc = without_reseek(ix, KVL_BTM_NEXT, key, *record_number);
    return deliver(ix, rc, key, record_number);
}

uint32_t last_key(IndexControlRecord *ix, void *key, uint32_t *record_number) {
    if (missing(ix, key, record_number)) return ERR_NULL_PARAMETER;
    uint8_t scratch[KVL_MAX_KEY_LENGTH + 4] = {};
    uint32_t rc = without_reseek(ix, KVL_BTM_LAST, scratch, 0xFFFFFFFFu);
    return deliver(ix, rc, key, record_number);
}

uint32_t next_key(IndexControlRecord *ix, void *key, uint32_t *record_number) {
    if (missing(ix, key, record_number)) return ERR_NULL_PARAMETER;
    return deliver(ix, call(ix, KVL_BTM_NEXT, key, *record_number), key, record_number);
}

uint32_t previous_key(IndexControlRecord *ix, void *key, uint32_t *record_number) {
    if (missing(ix, key, record_number)) return ERR_NULL_PARAMETER;
    return deliver(ix, call(ix, KVL_BTM_PREV, key, *record_number), key, record_number);
}

uint32_t equal_key(IndexControlRecord *ix, void *key, uint32_t *record_number) {
    if (missing(ix, key, record_number)) return ERR_NULL_PARAMETER;
    return deliver(ix, call(ix, KVL_BTM_FIND, key, *record_number), key, record_number);
}

uint32_t equal_or_greater_key(IndexControlRecord *ix, void *key, uint32_t *record_number) {
    return find_or_step(ix, key, record_number, KVL_BTM_NEXT);
}

uint32_t equal_or_lesser_key(IndexControlRecord *ix, void *key, uint32_t *record_number) {
    return find_or_step(ix, key, record_number, KVL_BTM_PREV);
}

uint32_t store_key(IndexControlRecord *ix, const void *key, uint32_t record_number) {
    return change_key(ix, KVL_BTM_INSERT, key, record_number);
}

uint32_t remove_key(IndexControlRecord *ix, const void *key, uint32_t record_number) {
    return change_key(ix, KVL_BTM_DELETE, key, record_number);
}

}  // namespace kvl::ix

#define KVL_KEY_EXPORT(name, fn)                                                        \
    extern "C" KVL_API uint32_t name(IndexHandle index, void *key, uint32_t *record) { \
        return kvl::guarded([&] { return kvl::ix::fn(index, key, record); });          \
    }                                                                                   \
    KVL_ALIAS(name)

KVL_KEY_EXPORT(KvlIx4FirstKey, first_key)
KVL_KEY_EXPORT(KvlIx4LastKey, last_key)
KVL_KEY_EXPORT(KvlIx4NextKey, next_key)
KVL_KEY_EXPORT(KvlIx4PrevKey, previous_key)
KVL_KEY_EXPORT(KvlIx4EqualKey, equal_key)
KVL_KEY_EXPORT(KvlIx4EqualOrGreaterKey, equal_or_greater_key)
KVL_KEY_EXPORT(KvlIx4EqualOrLesserKey, equal_or_lesser_key)

extern "C" KVL_API uint32_t KvlIx4StoreKey(IndexHandle index, const void *key,
                                           uint32_t record_number) {
    return kvl::guarded([&] { return kvl::ix::store_key(index, key, record_number); });
}
KVL_ALIAS(KvlIx4StoreKey)

extern "C" KVL_API uint32_t KvlIx4DeleteKey(IndexHandle index, const void *key,
                                            uint32_t record_number) {
    return kvl::guarded([&] { return kvl::ix::remove_key(index, key, record_number); });
}
KVL_ALIAS(KvlIx4DeleteKey)

extern "C" KVL_API uint32_t KvlIx4KeyForRecord(IndexHandle index, void *key,
                                               uint32_t record_number, void *record) {
    return kvl::guarded(
        [&] { return kvl::ix::key_for_record(index, key, record_number, record); });
}
KVL_ALIAS(KvlIx4KeyForRecord)
