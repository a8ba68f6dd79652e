// locks.h - the lock calls as C++ functions, for the list lock and for
// other engine code that locks around its work.  Each returns what its
// KvlLock* / KvlUnlock* export returns.
#ifndef KVL_LOCK_LOCKS_H
#define KVL_LOCK_LOCKS_H

#include <cstdint>

#include "engine/korval32.h"

namespace kvl {

uint32_t lock_data_header(DataControlRecord *data, uint32_t mode, uint32_t time_budget);
uint32_t unlock_data_header(DataControlRecord *data);
// first_record 0: the whole data file (record_count ignored).
uint32_t lock_data_records(DataControlRecord *data, uint32_t mode, uint32_t first_record,
                           uint32_t record_count, uint32_t time_budget);
uint32_t unlock_data_records(DataControlRecord *data, uint32_t first_record,
                             uint32_t record_count);
uint32_t lock_index(IndexControlRecord *index, uint32_t mode, uint32_t time_budget);
uint32_t unlock_index(IndexControlRecord *index);

}  // namespace kvl

#endif  // KVL_LOCK_LOCKS_H
