// index_lock.cc - the whole-index lock (KvlLockIx4File, KvlUnlockIx4File).
//
// One counted lock per index control record (counted_lock.h) over the range
// that the index's lock offset gives.  The lock state word is the caller's
// veto: the engine never writes it, and while it is not 0 every index lock
// fails with 8406.
#include "engine/core/internal.h"
#include "engine/lock/counted_lock.h"
#include "engine/lock/locks.h"

namespace kvl {
namespace {

uint32_t reread_index(void *control) {
    return KvlIx4ReadHeader(static_cast<IndexControlRecord *>(control));
}

uint32_t flush_index(void *control) {
    return KvlIx4FlushHeader(static_cast<IndexControlRecord *>(control));
}

CountedLock index_lock(IndexControlRecord *index) {
    return CountedLock{&index->lock_count, &index->state, KVL_STATE_FILE_LOCKED,
                       KVL_STATE_FILE_SHARED, index->os_handle, index->file_layer,
                       index_file_range(index), index, &reread_index, &flush_index};
}

uint32_t check_open(const IndexControlRecord *index) {
    if (!index) return ERR_NULL_PARAMETER;
    return index->os_handle == 0 ? ERR_FILE_NOT_OPEN : ERR_NONE;
}

}  // namespace

uint32_t lock_index(IndexControlRecord *index, uint32_t mode, uint32_t time_budget) {
    if (uint32_t rc = check_open(index)) return rc;
    if (index->lock_state != 0) return ERR_HEADER_LOCKED;
    return take_counted(index_lock(index), mode, time_budget);
}

uint32_t unlock_index(IndexControlRecord *index) {
    if (uint32_t rc = check_open(index)) return rc;
    return release_counted(index_lock(index));
}

}  // namespace kvl

extern "C" {

KVL_API uint32_t KvlLockIx4File(IndexHandle index, uint32_t mode, uint32_t time_budget) {
    return kvl::guarded([&] { return kvl::lock_index(index, mode, time_budget); });
}
KVL_ALIAS(KvlLockIx4File)

KVL_API uint32_t KvlUnlockIx4File(IndexHandle index) {
    return kvl::guarded([&] { return kvl::unlock_index(index); });
}
KVL_ALIAS(KvlUnlockIx4File)

}  // extern "C"
