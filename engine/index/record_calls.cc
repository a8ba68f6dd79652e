// record_calls.cc - the record-level index calls: each runs the key-level
// call of the same name and reads the record the key points to.  When the
// data file skips deleted records, a record tagged '*' is passed over by
// stepping on in the call's direction (or, for an exact lookup, reported as
// not found).
#include "engine/core/internal.h"
#include "engine/index/key_calls.h"

namespace kvl::ix {
namespace {

enum class OnSkip { StepNext, StepBack, NotFound };

uint32_t check_record_call(const IndexControlRecord *ix, const void *key,
                           const uint32_t *record_number, const void *record) {
    if (!ix) return ERR_NULL_PARAMETER;
    if (!ix->data_link) return ERR_NO_DATA_LINK;
    if (ix->data_link == KVL_NO_DATA_FILE) return ERR_DATA_LINK_INVALID;
    if (!key || !record_number || !record) return ERR_NULL_PARAMETER;
    return ERR_NONE;
}

bool passed_over(const IndexControlRecord *ix, const void *record) {
    return (ix->data_link->state & KVL_STATE_SKIP_DELETED) &&
           static_cast<const uint8_t *>(record)[0] == '*';
}

uint32_t get_record(IndexControlRecord *ix, void *key, uint32_t *record_number, void *record,
                    KeyCall lookup, OnSkip on_skip) {
    uint32_t rc = check_record_call(ix, key, record_number, record);
    if (rc == ERR_NONE) rc = lookup(ix, key, record_number);
    while (rc == ERR_NONE) {
        rc = KvlDataGetRecord(ix->data_link, *record_number, record);
        if (rc != ERR_NONE || !passed_over(ix, record)) break;
        switch (on_skip) {
        case OnSkip::NotFound: return ERR_KEY_NOT_FOUND;
        case OnSkip::StepNext: rc = next_key(ix, key, record_number); break;
        case OnSkip::StepBack: rc = previous_key(ix, key, record_number); break;
        }
    }
    return rc;
}

}  // namespace
}  // namespace kvl::ix

#define KVL_RECORD_EXPORT(name, lookup, on_skip)                                             \
    extern "C" KVL_API uint32_t name(IndexHandle index, void *key, uint32_t *record_number, \
                                     void *record) {                                        \
        return kvl::guarded([&] {                                                            \
            return kvl::ix::get_record(index, key, record_number, record, kvl::ix::lookup,  \
                                       kvl::ix::OnSkip::on_skip);                            \
        });                                                                                  \
    }                                                                                        \
    KVL_ALIAS(name)

KVL_RECORD_EXPORT(KvlIx4GetFirst, first_key, StepNext)
KVL_RECORD_EXPORT(KvlIx4GetNext, next_key, StepNext)
KVL_RECORD_EXPORT(KvlIx4GetPrev, previous_key, StepBack)
KVL_RECORD_EXPORT(KvlIx4GetLast, last_key, StepBack)
KVL_RECORD_EXPORT(KvlIx4GetEqual, equal_key, NotFound)
KVL_RECORD_EXPORT(KvlIx4GetEqualOrGreater, equal_or_greater_key, StepNext)
KVL_RECORD_EXPORT(KvlIx4GetEqualOrLesser, equal_or_lesser_key, StepBack)
