// counted_lock.cc - nesting, relocking, re-reading and flushing around one
// byte-range lock of a control record.
//
// Only the first lock (count 0 to 1) and the last unlock (1 to 0) reach the
// operating system; the locks in between only count.  A relock converts the
// held lock in place and leaves the count alone.  The header is re-read
// after a new lock, because another process may have changed the file while
// it was unlocked, and flushed before the lock goes, so that changes made
// under it reach the file before anyone else may read them.
#include "engine/lock/counted_lock.h"

namespace kvl {
namespace {

constexpr uint32_t kModeMask = KVL_LOCKMODE_SHARED | KVL_LOCKMODE_RELOCK;

uint32_t unlock_flags(bool shared) {
    return KVL_LOCK_UNLOCK | (shared ? KVL_LOCK_SHARED : 0u);
}

bool held_shared(const CountedLock &lock) { return (*lock.state & lock.shared_flag) != 0; }

void mark_held(const CountedLock &lock, bool shared) {
    *lock.state |= lock.held_flag;
    if (shared)
        *lock.state |= lock.shared_flag;
    else
        *lock.state &= ~lock.shared_flag;
}

}  // namespace

uint32_t take_counted(const CountedLock &lock, uint32_t mode, uint32_t time_budget) {
    mode &= kModeMask;
    const bool shared = (mode & KVL_LOCKMODE_SHARED) != 0;
    const bool relock = (mode & KVL_LOCKMODE_RELOCK) != 0;
    if (relock && shared == held_shared(lock)) return ERR_RELOCK_SAME_MODE;
    // There is nothing to convert while no lock is held.
    if (relock && *lock.count == 0) return ERR_NOT_LOCKED;
    if (*lock.count != 0 && !relock) {
        if (shared != held_shared(lock)) return ERR_LOCK_MODE_CONFLICT;
        *lock.count += 1;
        return ERR_NONE;
    }
    if (mode == (KVL_LOCKMODE_RELOCK | KVL_LOCKMODE_SHARED)) {
        uint32_t rc = lock.flush(lock.control);
        if (rc != ERR_NONE) return rc;
    }
    uint32_t rc = lock_bytes(lock.os_handle, lock.layer, lock_flags_for(mode), lock.range,
                             time_budget);
    if (rc != ERR_NONE) return rc;
    if (!relock) {
        rc = lock.reread(lock.control);
        if (rc != ERR_NONE) {
            lock_bytes(lock.os_handle, lock.layer, unlock_flags(shared), lock.range, 0);
            return rc;
        }
        *lock.count += 1;
    }
    mark_held(lock, shared);
    return ERR_NONE;
}

uint32_t release_counted(const CountedLock &lock) {
    if (*lock.count == 0) return ERR_NOT_LOCKED;
    *lock.count -= 1;
    if (*lock.count != 0) return ERR_NONE;
    const bool shared = held_shared(lock);
    // Under a shared lock nothing may have been changed on the caller's
    // behalf, so a failed flush does not keep the lock.
    uint32_t rc = lock.flush(lock.control);
    if (rc != ERR_NONE && !shared) {
        *lock.count += 1;
        return rc;
    }
    rc = lock_bytes(lock.os_handle, lock.layer, unlock_flags(shared), lock.range, 0);
    if (rc != ERR_NONE) {
        *lock.count += 1;
        return rc;
    }
    *lock.state &= ~(lock.held_flag | lock.shared_flag);
    return ERR_NONE;
}

}  // namespace kvl
