// counted_lock.h - the one pattern behind the data header lock, the whole
// data file lock and the whole index lock: a nesting count, a held bit and
// a shared bit in the control record's state, the header re-read after a
// new lock and the header flush before the range is given up.
//
// Lock modes: bit 0 shared (else exclusive), bit 1 relock (convert the held
// lock to the mode of bit 0).  The flags handed to KvlLockFile are the mode
// shifted left by one, so a relock asks the layer for an atomic conversion
// (bit 2), which the built-in layer refuses with KVL_WIN_ATOMIC_LOCKS.
#ifndef KVL_LOCK_COUNTED_LOCK_H
#define KVL_LOCK_COUNTED_LOCK_H

#include <cstdint>

#include "engine/korval32.h"
#include "engine/lock/lock_range.h"

namespace kvl {

struct CountedLock {
    uint32_t *count;       // nesting count in the control record
    uint32_t *state;       // the control record's state flags
    uint32_t held_flag;    // KVL_STATE_HEADER_LOCKED or KVL_STATE_FILE_LOCKED
    uint32_t shared_flag;  // KVL_STATE_HEADER_SHARED or KVL_STATE_FILE_SHARED
    uint32_t os_handle;
    const FileLayerTable *layer;
    LockRange range;
    void *control;                     // handed to the two calls below
    uint32_t (*reread)(void *control); // after a new lock
    uint32_t (*flush)(void *control);  // before a relock to shared and at the release
};

// Takes (or nests, or converts) the lock: ERR_LOCK_MODE_CONFLICT,
// ERR_RELOCK_SAME_MODE and ERR_NOT_LOCKED as the mode asks; else the flush,
// lock or re-read failure.
uint32_t take_counted(const CountedLock &lock, uint32_t mode, uint32_t time_budget);

// Counts one unlock down; at 0 flushes the header and gives up the range.
uint32_t release_counted(const CountedLock &lock);

}  // namespace kvl

#endif  // KVL_LOCK_COUNTED_LOCK_H
