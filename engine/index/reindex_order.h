// reindex_order.h - the rebuild's own compare for keys in plain byte order.
//
// Where the handle has no compare of its own and its keys compare as one run
// of bytes (plain_byte_order, key_compare.h), the rebuild compares entries
// with this inlined copy of the built-in compare (flag 1) instead of a call
// through the compare slot for each: eight bytes at a time while they are
// equal, the collation table looked up only where bytes differ.  It gives
// the built-in compare's answers, so sorts and merges take the same steps.
#ifndef KVL_INDEX_REINDEX_ORDER_H
#define KVL_INDEX_REINDEX_ORDER_H

#include <cstdint>
#include <cstring>

#include "engine/index/index_format.h"

namespace kvl::reindex {

// The built-in compare with flag 1 for keys in plain byte order.
class ByteOrder {
public:
    ByteOrder() = default;
    ByteOrder(const IndexHeader &header, uint32_t compared, const uint8_t *table)
        : key_length_(header.key_length),
          compared_(compared),
          table_(table),
          records_break_ties_(ix::duplicates_allowed(header)) {}

    int compare(const uint8_t *a, const uint8_t *b) const {
        uint32_t i = 0;
        for (;;) {
            while (i + 8 <= compared_) {
                uint64_t wa, wb;
                std::memcpy(&wa, a + i, 8);
                std::memcpy(&wb, b + i, 8);
                if (wa != wb) {
                    i += uint32_t(__builtin_ctzll(wa ^ wb)) / 8;  // the first byte that differs
                    break;
                }
                i += 8;
            }
            while (i < compared_ && a[i] == b[i]) ++i;
            if (i >= compared_) break;
            const uint8_t ta = weight(a[i]), tb = weight(b[i]);
            if (ta != tb) return ta < tb ? -1 : 1;
            ++i;
        }
        if (!records_break_ties_) return 0;
        const uint32_t ra = ix::load32(a + key_length_), rb = ix::load32(b + key_length_);
        return ra < rb ? -1 : (ra > rb ? 1 : 0);
    }

    bool less(const uint8_t *a, const uint8_t *b) const { return compare(a, b) < 0; }

private:
    uint8_t weight(uint8_t byte) const { return table_ ? table_[byte] : byte; }

    uint32_t key_length_ = 0, compared_ = 0;
    const uint8_t *table_ = nullptr;
    bool records_break_ties_ = false;
};

}  // namespace kvl::reindex

#endif  // KVL_INDEX_REINDEX_ORDER_H
