// key_compare.cc - the built-in key compare (KvlFuncIx4SortCmp).
//
// A key is cut into the segments of the compiled expression; each segment
// compares by the kind the sort function gives it (sort function 9: by the
// segment's field type), a descending segment negates its result, and the
// first unequal segment decides.  An index without data file has no
// compiled segments: its key is one run of values of the sort function's
// kind (bytes, collated bytes, or consecutive fixed-width numbers).
// Segments never reach past the key length, whatever the header says.
#include "engine/index/key_compare.h"

#include <cstring>

#include "engine/core/internal.h"
#include "engine/index/index_format.h"

namespace kvl::ix {
namespace {

enum class Kind { Bytes, Collated, Int16, Uint16, Int32, Uint32, Int64, Uint64, Double };

struct Segment {
    Kind kind;
    uint32_t width;
    bool descending;
};

uint32_t fixed_width(Kind kind) {
    switch (kind) {
    case Kind::Int16: case Kind::Uint16: return 2;
    case Kind::Int32: case Kind::Uint32: return 4;
    case Kind::Int64: case Kind::Uint64: case Kind::Double: return 8;
    default: return 0;
    }
}

Kind kind_of_sort(uint32_t sort) {
    switch (sort) {
    case KVL_SORT_COLLATED: return Kind::Collated;
    case KVL_SORT_INT16: return Kind::Int16;
    case KVL_SORT_UINT16: return Kind::Uint16;
    case KVL_SORT_INT32: return Kind::Int32;
    case KVL_SORT_UINT32: return Kind::Uint32;
    case KVL_SORT_INT64: return Kind::Int64;
    case KVL_SORT_UINT64: return Kind::Uint64;
    default: return Kind::Bytes;
    }
}

Kind kind_of_type(uint8_t type) {
    switch (type) {
    case '3': return Kind::Int16;
    case '4': return Kind::Uint16;
    case '5': return Kind::Int32;
    case '6': return Kind::Uint32;
    case '7': return Kind::Int64;
    case '8': return Kind::Uint64;
    case 'C': return Kind::Collated;
    case 'F': case 'N': case 'Y': return Kind::Double;
    default: return Kind::Bytes;
    }
}

// Calls visit(segment, position) for each segment, clipped to the key:
// a fixed-width value that no longer fits compares as bytes.
template <class Visit>
void for_each_segment(const IndexHeader &header, Visit &&visit) {
    const uint32_t sort = sort_function(header);
    const uint32_t key_length = header.key_length;
    uint32_t position = 0;
    auto emit = [&](Kind kind, uint32_t width, bool descending) {
        if (position >= key_length) return false;
        uint32_t room = key_length - position;
        if (width > room) {
            width = room;
            if (fixed_width(kind)) kind = Kind::Bytes;
        }
        if (width > 0) visit(Segment{kind, width, descending}, position);
        position += width;
        return position < key_length;
    };
    if (header.segment_count == 0) {
        const Kind kind = kind_of_sort(sort);
        const uint32_t step = fixed_width(kind);
        if (step == 0) {
            emit(kind, key_length, false);
        } else {
            while (emit(kind, step, false)) {
            }
        }
        return;
    }
    const uint32_t count =
        header.segment_count > KVL_MAX_SEGMENTS ? KVL_MAX_SEGMENTS : header.segment_count;
    for (uint32_t i = 0; i < count; ++i) {
        const KeySegment &segment = header.segments[i];
        const Kind kind = sort == KVL_SORT_BY_TYPE ? kind_of_type(segment.type) : kind_of_sort(sort);
        const uint32_t width = fixed_width(kind) ? fixed_width(kind) : segment.length;
        if (!emit(kind, width, (segment.flags & KVL_SEGMENT_DESCEND) != 0)) break;
    }
}

uint64_t load_le(const uint8_t *p, uint32_t width) {
    uint64_t value = 0;
    for (uint32_t i = width; i-- > 0;) value = value << 8 | p[i];
    return value;
}

template <class T>
int order(T a, T b) {
    return a < b ? -1 : (a > b ? 1 : 0);
}

int compare_bytes(const uint8_t *a, const uint8_t *b, uint32_t width) {
    const int order = std::memcmp(a, b, width);  // unsigned bytes, first difference
    return order < 0 ? -1 : (order > 0 ? 1 : 0);
}

int compare_collated(const uint8_t *table, const uint8_t *a, const uint8_t *b, uint32_t width) {
    for (uint32_t i = 0; i < width; ++i) {
        const uint8_t wa = table[a[i]], wb = table[b[i]];
        if (wa != wb) return wa < wb ? -1 : 1;
    }
    return 0;
}

// The same answer as compare_collated, found faster: equal bytes weigh the
// same, so runs of equal bytes are skipped eight at a time and the table is
// looked up only where the bytes differ.
int compare_collated_skipping(const uint8_t *table, const uint8_t *a, const uint8_t *b,
                              uint32_t width) {
    uint32_t i = 0;
    for (;;) {
        while (i + 8 <= width) {
            uint64_t wa, wb;
            std::memcpy(&wa, a + i, 8);
            std::memcpy(&wb, b + i, 8);
            if (wa != wb) {
                i += uint32_t(__builtin_ctzll(wa ^ wb)) / 8;  // little-endian: first byte
                break;
            }
            i += 8;
        }
        while (i < width && a[i] == b[i]) ++i;
        if (i >= width) return 0;
        const uint8_t ta = table[a[i]], tb = table[b[i]];
        if (ta != tb) return ta < tb ? -1 : 1;
        ++i;
    }
}

// Doubles order by their bits: negatives first, then unsigned magnitude,
// reversed among negatives.
int compare_double_bits(uint64_t a, uint64_t b) {
    const bool negative_a = a >> 63, negative_b = b >> 63;
    if (negative_a != negative_b) return negative_a ? -1 : 1;
    int result = order(uint32_t(a >> 32), uint32_t(b >> 32));
    if (result == 0) result = order(uint32_t(a), uint32_t(b));
    return negative_a ? -result : result;
}

int compare_segment(const IndexHeader &header, const Segment &segment, const uint8_t *a,
                    const uint8_t *b) {
    const uint32_t w = segment.width;
    switch (segment.kind) {
    case Kind::Bytes: return compare_bytes(a, b, w);
    case Kind::Collated:
        if (header.collation_size == 0) return compare_bytes(a, b, w);
        return compare_collated(header.collation, a, b, w);
    case Kind::Int16: return order(int16_t(load_le(a, 2)), int16_t(load_le(b, 2)));
    case Kind::Uint16: return order(uint16_t(load_le(a, 2)), uint16_t(load_le(b, 2)));
    case Kind::Int32: return order(int32_t(load_le(a, 4)), int32_t(load_le(b, 4)));
    case Kind::Uint32: return order(uint32_t(load_le(a, 4)), uint32_t(load_le(b, 4)));
    case Kind::Int64: return order(int64_t(load_le(a, 8)), int64_t(load_le(b, 8)));
    case Kind::Uint64: return order(load_le(a, 8), load_le(b, 8));
    case Kind::Double: return compare_double_bits(load_le(a, 8), load_le(b, 8));
    }
    return 0;
}

void store_le(uint8_t *p, uint64_t value, uint32_t width) {
    for (uint32_t i = 0; i < width; ++i, value >>= 8) p[i] = uint8_t(value);
}

// The character code of greatest weight, the first such from 0 up.
uint8_t heaviest_code(const uint8_t *table) {
    uint32_t best = 0;
    for (uint32_t code = 1; code < 256; ++code)
        if (table[code] > table[best]) best = code;
    return uint8_t(best);
}

// The value of a segment that sorts after every other value.  Descending
// segments take the value that would sort first ascending.
void fill_segment_highest(const IndexHeader &header, const Segment &segment, uint8_t *out) {
    const uint32_t w = segment.width;
    const bool down = segment.descending;
    switch (segment.kind) {
    case Kind::Bytes: std::memset(out, down ? 0x00 : 0xFF, w); return;
    case Kind::Collated: {
        const uint8_t last = header.collation[255];
        const bool by_weight =
            !down && header.collation_size != 0 && last != 0 && last != 0xFF;
        std::memset(out, by_weight ? heaviest_code(header.collation) : (down ? 0x00 : 0xFF), w);
        return;
    }
    case Kind::Int16: store_le(out, down ? 0x8000u : 0x7FFFu, 2); return;
    case Kind::Uint16: store_le(out, down ? 0u : 0xFFFFu, 2); return;
    case Kind::Int32: store_le(out, down ? 0x80000000u : 0x7FFFFFFFu, 4); return;
    case Kind::Uint32: store_le(out, down ? 0u : 0xFFFFFFFFu, 4); return;
    case Kind::Int64:
        store_le(out, down ? 0x8000000000000000ull : 0x7FFFFFFFFFFFFFFFull, 8);
        return;
    case Kind::Uint64: store_le(out, down ? 0ull : ~0ull, 8); return;
    case Kind::Double: store_le(out, down ? ~0ull : 0x7FFFFFFFFFFFFFFFull, 8); return;
    }
}

}  // namespace

bool plain_byte_order(const IndexHeader &header, uint32_t *compared, const uint8_t **table) {
    const uint32_t sort = sort_function(header);
    if (sort != KVL_SORT_BYTES && sort != KVL_SORT_COLLATED) return false;
    // As for_each_segment: the header's key length, whatever it says.
    const uint32_t key_length = header.key_length;
    uint32_t covered = key_length;
    if (header.segment_count != 0) {
        const uint32_t count =
            header.segment_count > KVL_MAX_SEGMENTS ? KVL_MAX_SEGMENTS : header.segment_count;
        uint64_t sum = 0;
        for (uint32_t i = 0; i < count && sum < key_length; ++i) {
            const KeySegment &segment = header.segments[i];
            if ((segment.flags & KVL_SEGMENT_DESCEND) && segment.length != 0) return false;
            sum += segment.length;
        }
        if (sum < covered) covered = uint32_t(sum);
    }
    *compared = covered;
    *table = sort == KVL_SORT_COLLATED && header.collation_size != 0 ? header.collation : nullptr;
    return true;
}

int32_t sort_compare(IndexControlRecord *ix, const void *a, const void *b, void *buffer,
                     uint32_t flag) {
    if (!ix) return int32_t(ERR_NULL_PARAMETER);
    const IndexHeader &header = ix->header;
    const uint32_t sort = sort_function(header);
    if (sort >= KVL_SORT_CUSTOM_FIRST) {
        if (ix->custom_compare) return ix->custom_compare(ix, a, b, buffer, flag);
        return (!a && !b) ? int32_t(ERR_SORT_FUNCTION) : 0;
    }
    if (sort == 0 || sort > KVL_SORT_BY_TYPE) return int32_t(ERR_SORT_FUNCTION);
    const uint32_t key_length =
        header.key_length > KVL_MAX_KEY_LENGTH ? KVL_MAX_KEY_LENGTH : header.key_length;

    if (!a || !b) {
        if (!buffer) return int32_t(ERR_NULL_PARAMETER);
        auto *out = static_cast<uint8_t *>(buffer);
        std::memset(out, 0xFF, key_length);
        for_each_segment(header, [&](const Segment &segment, uint32_t position) {
            fill_segment_highest(header, segment, out + position);
        });
        if (flag) store_le(out + key_length, 0xFFFFFFFFu, 4);
        return 0;
    }

    const auto *ka = static_cast<const uint8_t *>(a);
    const auto *kb = static_cast<const uint8_t *>(b);
    int result = 0;
    uint32_t compared = 0;
    const uint8_t *table = nullptr;
    if (plain_byte_order(header, &compared, &table)) {
        // Ascending segments of one kind, one after the other: together
        // they compare as one run of bytes.
        result = table ? compare_collated_skipping(table, ka, kb, compared)
                       : compare_bytes(ka, kb, compared);
    } else {
        for_each_segment(header, [&](const Segment &segment, uint32_t position) {
            if (result != 0) return;
            result = compare_segment(header, segment, ka + position, kb + position);
            if (segment.descending) result = -result;
        });
    }
    if (result == 0 && flag && duplicates_allowed(header))
        result = order(load32(ka + key_length), load32(kb + key_length));
    return result;
}

}  // namespace kvl::ix

extern "C" KVL_API int32_t KvlFuncIx4SortCmp(IndexHandle index, const void *key_a,
                                             const void *key_b, void *buffer, uint32_t flag) {
    return int32_t(kvl::guarded(
        [&] { return uint32_t(kvl::ix::sort_compare(index, key_a, key_b, buffer, flag)); }));
}
KVL_ALIAS(KvlFuncIx4SortCmp)
