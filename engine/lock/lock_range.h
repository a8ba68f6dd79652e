// lock_range.h - which bytes stand for which lock, and taking or giving up
// one byte range through the file layer.
//
// A lock is a byte-range lock on the file's own handle.  Let B be the lock
// base (the data record's lock base, the index record's lock offset), H the
// data file's header length and L its record length:
//
//   lock                  normal scheme             halved scheme
//   data header           0, H                      M, H
//   data records r..r+n-1 H + (r-1)L, nL            M + H + (r-1)L, nL
//   whole file / index    0, B (0x7FFFFFFF if B=0)  M, (B' - 1) >> 1
//
// In the halved scheme (state flag KVL_STATE_HALVED_BASE) B' is B, or
// 0x40000000 when B is 0, and M = (B' + 1) >> 1: the file's layout mirrored
// above every byte it may hold.  The normal scheme locks the bytes
// themselves.  Both keep file data below the lock region through the
// position limit of the record, node and memo code.
#ifndef KVL_LOCK_LOCK_RANGE_H
#define KVL_LOCK_LOCK_RANGE_H

#include <cstdint>

#include "engine/korval32.h"

namespace kvl {

struct LockRange {
    uint64_t offset = 0;
    uint64_t length = 0;
};

LockRange data_header_range(const DataControlRecord *data);
LockRange data_records_range(const DataControlRecord *data, uint32_t first_record,
                             uint32_t record_count);
LockRange data_file_range(const DataControlRecord *data);
LockRange index_file_range(const IndexControlRecord *index);

// KvlLockFile flags of a lock mode (KVL_LOCKMODE_*): shared becomes bit 1,
// relock bit 2 (an atomic conversion).  Other mode bits are dropped: they
// would reach the layer as the unlock or 64-bit flag.
inline uint32_t lock_flags_for(uint32_t mode) {
    return (mode & (KVL_LOCKMODE_SHARED | KVL_LOCKMODE_RELOCK)) << 1;
}

// Locks the range (flags: KVL_LOCK_SHARED, KVL_LOCK_ATOMIC for a relock)
// with the time budget, or unlocks it (KVL_LOCK_UNLOCK).  A range that
// 32-bit positions cannot express is refused with ERR_FILE_LIMIT unless the
// layer is 64-bit.
uint32_t lock_bytes(uint32_t os_handle, const FileLayerTable *layer, uint32_t flags,
                    const LockRange &range, uint32_t time_budget);

}  // namespace kvl

#endif  // KVL_LOCK_LOCK_RANGE_H
