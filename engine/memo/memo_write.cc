// memo_write.cc - changing a stored memo (KvlMemoUpdate): writing bytes at
// an offset, growing in place while the run has room, moving the memo to a
// new run when it has not, and shrinking it.
//
// A memo's capacity is its run: ceil(length word / B) blocks.  Growth within
// the run only moves the length word; growth beyond it reserves a new memo,
// copies the old bytes over and frees the old run (which goes to the head
// of the free chain); the block number the caller holds then changes.  A
// shrink keeps the blocks the new length needs and frees the rest as a run
// of their own.
#include <algorithm>

#include "engine/core/internal.h"
#include "engine/data/data_file.h"
#include "engine/memo/memo_format.h"

namespace kvl {
namespace {

// The memo being updated, as its block header tells it.
struct Memo {
    uint32_t block = 0;
    uint64_t start = 0;
    uint64_t length = 0;    // W, the length word
    uint64_t capacity = 0;  // C, its run's bytes
};

uint32_t load_memo(DataControlRecord *data, const MemoLayout &layout, uint32_t block,
                   Memo *memo) {
    uint32_t rc = read_block_header(data, layout, block);
    if (rc != ERR_NONE) return rc;
    if (data->memo_block_header[0] != memo_signature(data)) return ERR_MEMO_NOT_MEMO;
    memo->block = block;
    memo->start = layout.start(block);
    memo->length = data->memo_block_header[1];
    memo->capacity = layout.blocks_for(memo->length) * layout.block_size;
    // A length word that reaches past the file is what a read there finds.
    if (!layout.run_in_file(memo->start, memo->capacity)) return KVL_WIN_HANDLE_EOF;
    return ERR_NONE;
}

// Zeros from `end` (an offset in the run) to the end of the block holding it.
uint32_t zero_to_block_end(const DataControlRecord *data, const MemoLayout &layout,
                           const Memo &memo, uint64_t end) {
    const uint64_t block_end = layout.blocks_for(end) * layout.block_size;
    return zero_fill(data, layout, memo.block, end, static_cast<int64_t>(block_end - end));
}

// Step 2: the bytes fit the run.
uint32_t write_in_place(DataControlRecord *data, const MemoLayout &layout, const Memo &memo,
                        uint32_t offset, uint32_t count, const void *bytes) {
    uint32_t rc = memo_write(data, memo.start + kBlockHeaderSize + offset, bytes, count);
    if (rc != ERR_NONE) return rc;
    const uint64_t new_length = uint64_t{offset} + count + kBlockHeaderSize;
    if (new_length <= memo.length) return ERR_NONE;
    const uint32_t fill_rc = zero_to_block_end(data, layout, memo, new_length);
    rc = memo_write_word(data, memo.start + 4, static_cast<uint32_t>(new_length));
    return rc != ERR_NONE ? rc : fill_rc;
}

// Copies the first `length` bytes of the old memo's data to the new one.
uint32_t copy_prefix(const DataControlRecord *data, uint64_t from, uint64_t to,
                     uint64_t length) {
    uint8_t piece[kMoveCopyPiece];
    for (uint64_t done = 0; done < length;) {
        const uint32_t size = static_cast<uint32_t>(std::min<uint64_t>(kMoveCopyPiece, length - done));
        uint32_t rc = memo_read(data, from + done, piece, size);
        if (rc == ERR_NONE) rc = memo_write(data, to + done, piece, size);
        if (rc != ERR_NONE) return rc;
        done += size;
    }
    return ERR_NONE;
}

// Step 3: the bytes do not fit; the memo moves to a new run.
uint32_t move_memo(DataControlRecord *data, const MemoLayout &layout, const Memo &memo,
                   uint32_t offset, uint32_t count, const void *bytes, uint32_t *new_block) {
    const uint64_t reserved = uint64_t{offset} + count;
    if (reserved + kBlockHeaderSize > UINT32_MAX) return ERR_FILE_LIMIT;
    uint32_t block = 0;
    uint32_t rc = memo_add(data, static_cast<uint32_t>(reserved), count, bytes, &block,
                           KVL_MEMO_RESERVE_ONLY);
    if (rc != ERR_NONE) return rc;
    const uint64_t to = layout.start(block) + kBlockHeaderSize;
    const uint64_t old_data = memo.length > kBlockHeaderSize ? memo.length - kBlockHeaderSize : 0;
    const uint64_t kept = std::min<uint64_t>(old_data, offset);
    rc = copy_prefix(data, memo.start + kBlockHeaderSize, to, kept);
    if (rc == ERR_NONE && kept < offset)
        rc = zero_fill(data, layout, block, kBlockHeaderSize + kept,
                       static_cast<int64_t>(offset - kept));
    if (rc == ERR_NONE) rc = memo_write(data, to + offset, bytes, count);
    if (rc == ERR_NONE) rc = memo_delete(data, memo.block);
    if (rc == ERR_NONE) *new_block = block;
    return rc;
}

// Step 4: shrink to `count` bytes; blocks no longer needed become a free run.
uint32_t shrink_memo(DataControlRecord *data, const MemoLayout &layout, const Memo &memo,
                     uint32_t count) {
    const uint64_t new_length = uint64_t{count} + kBlockHeaderSize;
    if (new_length >= memo.length) return ERR_MEMO_SHRINK;
    const uint64_t kept = layout.blocks_for(new_length);
    // A failed zero-fill is reported after the rest is done.
    const uint32_t fill_rc = zero_to_block_end(data, layout, memo, new_length);
    uint32_t rc = ERR_NONE;
    const uint64_t left_over = layout.blocks_for(memo.length) - kept;
    if (left_over > 0) {
        const uint32_t spare = static_cast<uint32_t>(memo.block + kept);
        const uint32_t head[2] = {memo_signature(data),
                                  static_cast<uint32_t>(left_over * layout.block_size)};
        rc = memo_write(data, layout.start(spare), head, sizeof head);
        if (rc == ERR_NONE) rc = memo_delete(data, spare);
        if (rc != ERR_NONE) return rc;
    }
    rc = memo_write_word(data, memo.start + 4, static_cast<uint32_t>(new_length));
    return rc != ERR_NONE ? rc : fill_rc;
}

uint32_t memo_update(DataControlRecord *data, uint32_t *block, uint32_t offset, uint32_t count,
                     const void *bytes) {
    if (!data || !block) return ERR_NULL_PARAMETER;
    if (is_read_only(data)) return ERR_READ_ONLY;
    if (!memo_is_open(data)) return ERR_FILE_NOT_OPEN;
    if (count == 0) return ERR_MEMO_SIZE;
    if (*block == 0) return ERR_MEMO_BLOCK_ZERO;
    MemoLayout layout;
    uint32_t rc = memo_layout(data, &layout);
    if (rc == ERR_NONE) rc = load_file_length(data, &layout);
    Memo memo;
    if (rc == ERR_NONE) rc = load_memo(data, layout, *block, &memo);
    if (rc != ERR_NONE) return rc;

    uint32_t new_block = *block;
    if (!bytes)
        rc = shrink_memo(data, layout, memo, count);
    else if (uint64_t{offset} + count + kBlockHeaderSize <= memo.capacity)
        rc = write_in_place(data, layout, memo, offset, count, bytes);
    else
        rc = move_memo(data, layout, memo, offset, count, bytes, &new_block);
    data->memo_state |= KVL_MEMO_STATE_CHANGED;
    if (rc == ERR_NONE) *block = new_block;
    return rc;
}

}  // namespace
}  // namespace kvl

extern "C" {

KVL_API uint32_t KvlMemoUpdate(DataHandle data, uint32_t *block, uint32_t offset,
                               uint32_t count, const void *bytes) {
    return kvl::guarded([&] { return kvl::memo_update(data, block, offset, count, bytes); });
}
KVL_ALIAS(KvlMemoUpdate)

}  // extern "C"
