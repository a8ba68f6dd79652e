// key_builder.cc - KvlFuncIx4BuildKey: turns a data record into the key
// bytes of an index by walking the compiled segment table of its header.
//
// Each segment contributes, by its field type and the sort function:
//   character bytes    copied as stored, upper-cased when flagged;
//   numeric text       under 3, 4: the leading number, low 16 bits;
//                      under 5, 6: the leading number as 32 bits;
//                      under 7, 8: the integer part as a signed 64-bit value;
//                      under 9, 0 and 10 up: the value as a double;
//                      under 1, 2: character bytes;
//   binary fields      under 3 to 9: their 2, 4 or 8 bytes as stored;
//                      otherwise character bytes.
// Numbers are stored little-endian.  Segment sizes come from key_rules, as
// in the parser, so a key is always as long as the parser said.
//
// The segment table may come from a file, so every segment is checked
// against the record before it is read and against the key length before
// it is written: no read leaves the record (8524), no key grows beyond 196
// bytes nor beyond the header's key length when that is set (8523).
#include <cstring>

#include "engine/core/collation.h"
#include "engine/core/internal.h"
#include "engine/core/number_text.h"
#include "engine/expr/key_rules.h"

namespace kvl {
namespace {

constexpr uint8_t kReindexMarker = 'U';

void store_le(uint8_t *out, uint64_t value, uint32_t size) {
    for (uint32_t i = 0; i < size; ++i) out[i] = static_cast<uint8_t>(value >> (8 * i));
}

// Binary fields keep their stored bytes under the numeric sort functions.
bool copies_binary(uint32_t sort, const KeySegment &segment) {
    return is_binary_type(segment.type) && sort >= KVL_SORT_INT16 && sort <= KVL_SORT_BY_TYPE;
}

// Bytes a segment reads from the record.
uint32_t record_bytes(uint32_t sort, const KeySegment &segment) {
    return copies_binary(sort, segment) ? binary_size(segment.type) : segment.length;
}

// Upper-cases a character segment in the OEM code page, as KvlUpperCaseO
// would treat it as a string: up to its first NUL byte.
void upper_case(uint8_t *bytes, uint32_t length) {
    const void *nul = std::memchr(bytes, 0, length);
    size_t count = nul ? static_cast<size_t>(static_cast<const uint8_t *>(nul) - bytes) : length;
    upper_case_oem(bytes, count);
}

void numeric_text_key(uint32_t sort, const char *text, uint32_t length, uint8_t *out) {
    if (sort == KVL_SORT_INT16 || sort == KVL_SORT_UINT16) {
        store_le(out, static_cast<uint32_t>(read_bounded_number(text, length)), 2);
    } else if (sort == KVL_SORT_INT32 || sort == KVL_SORT_UINT32) {
        store_le(out, static_cast<uint32_t>(read_bounded_number(text, length)), 4);
    } else if (sort == KVL_SORT_INT64 || sort == KVL_SORT_UINT64) {
        store_le(out, static_cast<uint64_t>(decimal_text_to_int64(text, length)), 8);
    } else {
        double value = decimal_text_to_double(text, length);
        uint64_t bits = 0;
        std::memcpy(&bits, &value, sizeof bits);
        store_le(out, bits, 8);
    }
}

void segment_key(uint32_t sort, const KeySegment &segment, const uint8_t *record,
                 uint8_t *out) {
    const uint8_t *source = record + segment.offset;
    if (is_numeric_text_type(segment.type) && !is_bytewise_sort(sort)) {
        numeric_text_key(sort, reinterpret_cast<const char *>(source), segment.length, out);
    } else if (copies_binary(sort, segment)) {
        std::memcpy(out, source, binary_size(segment.type));
    } else {
        std::memcpy(out, source, segment.length);
        if (segment.flags & KVL_SEGMENT_UPPER) upper_case(out, segment.length);
    }
}

// 8610 when the index's tag filter gives this record no key.
uint32_t tag_filter(uint32_t filter, uint8_t tag) {
    uint8_t excluded = static_cast<uint8_t>(filter);
    uint8_t required = static_cast<uint8_t>(filter >> 8);
    if (excluded && excluded == tag) return ERR_RECORD_FILTERED;
    if (required && required != tag) return ERR_RECORD_FILTERED;
    return ERR_NONE;
}

uint32_t build_key(IndexControlRecord *index, const uint8_t *record, uint8_t *key) {
    DataControlRecord *data = index->data_link;
    if (!data || data == KVL_NO_DATA_FILE) return ERR_DATA_LINK_INVALID;
    if (index->reindex_marker == kReindexMarker && data->record_callback) {
        if (uint32_t rc = data->record_callback(KVL_EVENT_READ, data,
                                                const_cast<uint8_t *>(record), 0))
            return rc;
    }
    const IndexHeader &header = index->header;
    if (header.segment_count > KVL_MAX_SEGMENTS) return ERR_KEY_TOO_LONG;
    uint32_t sort = header.flags & KVL_IX_SORT_MASK;
    uint32_t limit = KVL_MAX_KEY_LENGTH;
    if (header.key_length && header.key_length < limit) limit = header.key_length;
    uint32_t record_length = data->header.record_length;
    uint32_t built = 0;
    for (uint32_t i = 0; i < header.segment_count; ++i) {
        const KeySegment &segment = header.segments[i];
        uint32_t end = uint32_t{segment.offset} + segment.length;
        uint32_t read_end = uint32_t{segment.offset} + record_bytes(sort, segment);
        if (end > record_length || read_end > record_length) return ERR_FIELD_BOUNDS;
        if (built >= KVL_MAX_KEY_LENGTH) return ERR_KEY_TOO_LONG;
        uint32_t size = segment_key_size(sort, segment.type, segment.length);
        if (built + size > limit) return ERR_KEY_TOO_LONG;
        segment_key(sort, segment, record, key + built);
        built += size;
    }
    if (built == 0) return ERR_KEY_TOO_LONG;
    return tag_filter(index->tag_filter, record[0]);
}

}  // namespace
}  // namespace kvl

extern "C" KVL_API uint32_t KvlFuncIx4BuildKey(IndexHandle index, void *record, void *key) {
    if (!index || !record || !key) return ERR_NULL_PARAMETER;
    return kvl::guarded([&] {
        return kvl::build_key(index, static_cast<const uint8_t *>(record),
                              static_cast<uint8_t *>(key));
    });
}
KVL_ALIAS(KvlFuncIx4BuildKey)
