// memo_read.cc - reading memos: bytes at an offset (KvlMemoGet) and the
// memo's size (KvlMemoGetSize).
//
// A block that does not start with the memo signature is read all the
// same, as a free run whose size stands in for the length word, and the
// result says 8704.  Reads never deliver more than the caller's count, so a
// damaged length word can at worst make a read reach the end of the file
// (38, with the count of bytes that came in).
#include <cstring>

#include "engine/core/internal.h"
#include "engine/memo/memo_format.h"

namespace kvl {
namespace {

// The run's size in bytes, as a free run's size word tells it.  A size of 0
// is one block, as the add's walk of the free chain counts it.
uint64_t run_size_bytes(const DataControlRecord *data, const MemoLayout &layout,
                        uint32_t size_word) {
    if (size_word == 0) return layout.block_size;
    return sizes_in_bytes(data) ? size_word : uint64_t{size_word} * layout.block_size;
}

// The length word of the block just read: its own, or a stand-in.
uint64_t length_word(const DataControlRecord *data, const MemoLayout &layout, bool *is_memo) {
    *is_memo = data->memo_block_header[0] == memo_signature(data);
    return *is_memo ? data->memo_block_header[1]
                    : run_size_bytes(data, layout, data->memo_block_header[1]);
}

uint32_t memo_get(DataControlRecord *data, uint32_t block, uint32_t offset, uint32_t *count,
                  void *buffer) {
    if (!data || !count || !buffer) return ERR_NULL_PARAMETER;
    if (!memo_is_open(data)) return ERR_FILE_NOT_OPEN;
    if (block == 0) return ERR_MEMO_BLOCK_ZERO;
    MemoLayout layout;
    uint32_t rc = memo_layout(data, &layout);
    if (rc != ERR_NONE) return rc;
    uint8_t first[kBlockReadSize];
    uint32_t got = 0;
    rc = read_block_header(data, layout, block, first, &got);
    if (rc != ERR_NONE) return rc;
    bool is_memo = false;
    const uint64_t length = length_word(data, layout, &is_memo);
    const uint64_t data_length = length > kBlockHeaderSize ? length - kBlockHeaderSize : 0;
    if (offset >= data_length) {
        *count = 0;
        return ERR_MEMO_OFFSET;
    }
    if (*count > data_length - offset) *count = static_cast<uint32_t>(data_length - offset);
    const uint64_t at = uint64_t{kBlockHeaderSize} + offset;
    if (at + *count <= got) {
        std::memcpy(buffer, first + at, *count);
    } else {
        rc = memo_read(data, layout.start(block) + at, buffer, *count, count);
        if (rc != ERR_NONE) return rc;
    }
    return is_memo ? ERR_NONE : ERR_MEMO_NOT_MEMO;
}

uint32_t memo_get_size(DataControlRecord *data, uint32_t block, uint32_t *first_word,
                       uint32_t *size) {
    if (!data || !first_word || !size) return ERR_NULL_PARAMETER;
    if (!memo_is_open(data)) return ERR_FILE_NOT_OPEN;
    if (block == 0) return ERR_MEMO_BLOCK_ZERO;
    MemoLayout layout;
    uint32_t rc = memo_layout(data, &layout);
    if (rc == ERR_NONE) rc = read_block_header(data, layout, block);
    if (rc != ERR_NONE) return rc;
    *first_word = data->memo_block_header[0];
    const uint32_t word = data->memo_block_header[1];
    if (*first_word == memo_signature(data)) {
        *size = word >= kBlockHeaderSize ? word - kBlockHeaderSize : 0;
        return ERR_NONE;
    }
    const uint64_t bytes = run_size_bytes(data, layout, word);
    *size = bytes > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(bytes);
    return ERR_MEMO_NOT_MEMO;
}

}  // namespace
}  // namespace kvl

extern "C" {

KVL_API uint32_t KvlMemoGet(DataHandle data, uint32_t block, uint32_t offset, uint32_t *count,
                            void *buffer) {
    return kvl::guarded([&] { return kvl::memo_get(data, block, offset, count, buffer); });
}
KVL_ALIAS(KvlMemoGet)

KVL_API uint32_t KvlMemoGetSize(DataHandle data, uint32_t block, uint32_t *first_word,
                                uint32_t *size) {
    return kvl::guarded([&] { return kvl::memo_get_size(data, block, first_word, size); });
}
KVL_ALIAS(KvlMemoGetSize)

}  // extern "C"
