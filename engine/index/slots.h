// slots.h - the replaceable functions of an index handle.  Every call that
// builds, parses or manages keys goes through the handle's slot, and a slot
// of 0 selects the engine's own function.
#ifndef KVL_INDEX_SLOTS_H
#define KVL_INDEX_SLOTS_H

#include "engine/korval32.h"

namespace kvl::ix {

inline KvlTreeManager tree_manager(const IndexControlRecord *ix) {
    return ix->tree_manager ? ix->tree_manager : KvlFuncIx4BTM;
}

inline KvlBuildKey key_builder(const IndexControlRecord *ix) {
    return ix->build_key ? ix->build_key : KvlFuncIx4BuildKey;
}

inline KvlParseExpression expression_parser(const IndexControlRecord *ix) {
    return ix->parse ? ix->parse : KvlFuncIx4ParseExp;
}

// Builds the key of a record through the build-key slot, outside a rebuild
// (the re-index marker is cleared first).
inline uint32_t build_record_key(IndexControlRecord *ix, void *record, void *key) {
    ix->reindex_marker = 0;
    return key_builder(ix)(ix, record, key);
}

// Runs a tree-manager function with re-seek mode switched off for the call.
inline uint32_t without_reseek(IndexControlRecord *ix, uint32_t function, void *key,
                               uint32_t record_number) {
    const uint32_t reseek = ix->state & KVL_STATE_RESEEK;
    ix->state &= ~KVL_STATE_RESEEK;
    const uint32_t rc = tree_manager(ix)(function, ix, key, record_number);
    ix->state |= reseek;
    return rc;
}

}  // namespace kvl::ix

#endif  // KVL_INDEX_SLOTS_H
