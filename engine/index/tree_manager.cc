// tree_manager.cc - KvlFuncIx4BTM, the default tree manager: one entry
// point for the seven tree functions (reset, insert, delete, find, next,
// previous, last).  Any failure drops the buffered node so that the next
// read goes to the file.
#include "engine/core/internal.h"
#include "engine/index/btree.h"
#include "engine/index/index_header.h"

namespace kvl::ix {
namespace {

uint32_t dispatch(uint32_t function, IndexControlRecord *ix, const uint8_t *key,
                  uint32_t record_number) {
    const bool reseek = (ix->state & KVL_STATE_RESEEK) != 0;
    if (function > KVL_BTM_LAST) return ERR_BAD_FUNCTION;
    // A header whose geometry would take node accesses out of the node
    // (a damaged file that was refused, or a caller's stray edit).
    if (function != KVL_BTM_RESET && !header_usable(ix)) return ERR_NODE_SIZE;
    // A closed handle has no file to read (and handle 0 is not a file).
    if (function != KVL_BTM_RESET && ix->os_handle == 0) return ERR_FILE_NOT_OPEN;
    switch (function) {
    case KVL_BTM_RESET: return reset_position(ix);
    case KVL_BTM_INSERT: return key ? insert_key(ix, key, record_number) : ERR_NULL_PARAMETER;
    case KVL_BTM_DELETE: return key ? delete_key(ix, key, record_number) : ERR_NULL_PARAMETER;
    case KVL_BTM_FIND: return key ? find_key(ix, key, record_number) : ERR_NULL_PARAMETER;
    case KVL_BTM_NEXT: return step_next(ix, key, record_number, reseek);
    case KVL_BTM_PREV: return step_previous(ix, key, record_number, reseek);
    case KVL_BTM_LAST: return seek_last(ix);
    default: return ERR_BAD_FUNCTION;
    }
}

uint32_t tree_manager_call(uint32_t function, IndexControlRecord *ix, void *key,
                           uint32_t record_number) {
    if (!ix) return ERR_NULL_PARAMETER;
    ix->search_scratch = 0;
    ix->position_flags &= ~KVL_POS_NEGATIVE_SLOT;
    const uint32_t rc =
        dispatch(function & 0xFF, ix, static_cast<const uint8_t *>(key), record_number);
    if (rc != ERR_NONE) ix->buffered_node = KVL_NO_NODE;
    return rc;
}

}  // namespace
}  // namespace kvl::ix

extern "C" KVL_API uint32_t KvlFuncIx4BTM(uint32_t function, IndexHandle index, void *key,
                                          uint32_t record_number) {
    return kvl::guarded(
        [&] { return kvl::ix::tree_manager_call(function, index, key, record_number); });
}
KVL_ALIAS(KvlFuncIx4BTM)
