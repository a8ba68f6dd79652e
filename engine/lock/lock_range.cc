// lock_range.cc - the byte ranges of the lock kinds in the normal and the
// halved scheme, and the one place that hands a range to KvlLockFile.
#include "engine/lock/lock_range.h"

namespace kvl {
namespace {

constexpr uint64_t kWholeFileLength = 0x7FFFFFFF;  // normal scheme, lock base 0
constexpr uint64_t kHalvedDefaultBase = 0x40000000; // halved scheme, lock base 0

uint64_t halved_base(uint32_t lock_base) {
    return lock_base ? lock_base : kHalvedDefaultBase;
}

// M: where the halved scheme puts the mirror of byte 0.
uint64_t mirror_start(uint32_t lock_base) { return (halved_base(lock_base) + 1) >> 1; }

LockRange whole_file(uint32_t lock_base, bool halved) {
    if (halved) return {mirror_start(lock_base), (halved_base(lock_base) - 1) >> 1};
    return {0, lock_base ? lock_base : kWholeFileLength};
}

bool halved(uint32_t state) { return (state & KVL_STATE_HALVED_BASE) != 0; }

// Where data file byte 0 lies in lock space.
uint64_t data_origin(const DataControlRecord *data) {
    return halved(data->state) ? mirror_start(data->lock_base) : 0;
}

}  // namespace

LockRange data_header_range(const DataControlRecord *data) {
    return {data_origin(data), data->header.header_length};
}

LockRange data_records_range(const DataControlRecord *data, uint32_t first_record,
                             uint32_t record_count) {
    const uint64_t record_length = data->header.record_length;
    return {data_origin(data) + data->header.header_length +
                (uint64_t{first_record} - 1) * record_length,
            uint64_t{record_count} * record_length};
}

LockRange data_file_range(const DataControlRecord *data) {
    return whole_file(data->lock_base, halved(data->state));
}

LockRange index_file_range(const IndexControlRecord *index) {
    return whole_file(index->lock_offset, halved(index->state));
}

uint32_t lock_bytes(uint32_t os_handle, const FileLayerTable *layer, uint32_t flags,
                    const LockRange &range, uint32_t time_budget) {
    const bool wide = layer && (layer->flags & KVL_LAYER_64BIT);
    if (!wide && (range.offset > UINT32_MAX || range.length > UINT32_MAX ||
                  range.offset + range.length > uint64_t{UINT32_MAX} + 1))
        return ERR_FILE_LIMIT;
    // Always (low, high) pairs: a 64-bit layer reads both words, the others
    // the first.
    uint32_t offset[2] = {static_cast<uint32_t>(range.offset),
                          static_cast<uint32_t>(range.offset >> 32)};
    uint32_t length[2] = {static_cast<uint32_t>(range.length),
                          static_cast<uint32_t>(range.length >> 32)};
    return KvlLockFile(os_handle, flags, offset, length, time_budget, layer);
}

}  // namespace kvl
