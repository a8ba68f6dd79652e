// key_calls.h - the key-level index calls as C++ functions, for the
// record-level calls and the insert and update calls built on them.  Each
// goes through the handle's tree-manager slot and, on success, copies the
// key (key length bytes, no NUL) and record number at the position out.
#ifndef KVL_INDEX_KEY_CALLS_H
#define KVL_INDEX_KEY_CALLS_H

#include <cstdint>

#include "engine/korval32.h"

namespace kvl::ix {

using KeyCall = uint32_t (*)(IndexControlRecord *ix, void *key, uint32_t *record_number);

uint32_t first_key(IndexControlRecord *ix, void *key, uint32_t *record_number);
uint32_t last_key(IndexControlRecord *ix, void *key, uint32_t *record_number);
uint32_t next_key(IndexControlRecord *ix, void *key, uint32_t *record_number);
uint32_t previous_key(IndexControlRecord *ix, void *key, uint32_t *record_number);
uint32_t equal_key(IndexControlRecord *ix, void *key, uint32_t *record_number);
uint32_t equal_or_greater_key(IndexControlRecord *ix, void *key, uint32_t *record_number);
uint32_t equal_or_lesser_key(IndexControlRecord *ix, void *key, uint32_t *record_number);

// KvlIx4StoreKey / KvlIx4DeleteKey: the changes-pending mark first (a
// failure to put it on disk is returned and the tree is not touched), then
// tree-manager function 1 or 2, then, after the first change since a
// flush, the header once more with the tree as it now stands.
uint32_t store_key(IndexControlRecord *ix, const void *key, uint32_t record_number);
uint32_t remove_key(IndexControlRecord *ix, const void *key, uint32_t record_number);

}  // namespace kvl::ix

#endif  // KVL_INDEX_KEY_CALLS_H
