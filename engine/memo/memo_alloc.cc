// memo_alloc.cc - storing and freeing memos: the free chain.
//
// An add walks the chain from the header's next-free word and takes the
// first run big enough, whole; at the chain's end (the block just past the
// file's last block) it takes new blocks.  The run taken is unlinked: its
// continuation (its next word, or the block after the new blocks) goes
// into the previous run's next word or the header.  A delete puts the
// memo's run at the head of the chain.
//
// The walk trusts nothing it reads: a run must lie within the file, the end
// of the chain must be right after the file's last block, and the walk
// visits at most one run per block of the file, so a damaged chain (a loop,
// a wild next word, a size beyond the file) ends in 8708, never in an
// endless loop or a write far beyond the end of the file.
#include "engine/core/internal.h"
#include "engine/data/data_file.h"
#include "engine/memo/memo_format.h"

namespace kvl {
namespace {

// The run an add takes.
struct Run {
    uint32_t block = 0;
    uint64_t bytes = 0;         // the whole run
    uint32_t continuation = 0;  // what replaces it in the chain
    uint32_t previous = 0;      // the run before it on the chain; 0 = the header
    bool at_end = false;        // new blocks at the end of the file
};

uint64_t free_run_bytes(const DataControlRecord *data, const MemoLayout &layout,
                        uint32_t size_word) {
    if (size_word == 0) return layout.block_size;
    if (sizes_in_bytes(data)) return layout.blocks_for(size_word) * layout.block_size;
    return static_cast<uint64_t>(size_word) * layout.block_size;
}

// New blocks at the end of the file for `needed` bytes, from `block` on.
uint32_t take_new_blocks(const MemoLayout &layout, uint32_t block, uint32_t start,
                         uint64_t needed, Run *run) {
    const uint64_t blocks = layout.blocks_for(needed);
    run->bytes = blocks * layout.block_size;
    if (block + blocks > UINT32_MAX || start + run->bytes > UINT32_MAX) return ERR_FILE_LIMIT;
    run->block = block;
    run->continuation = static_cast<uint32_t>(block + blocks);
    run->at_end = true;
    return ERR_NONE;
}

// Walks the free chain for a run whose data area holds `reserved` bytes.
uint32_t find_run(DataControlRecord *data, const MemoLayout &layout, uint64_t reserved,
                  Run *run) {
    const uint64_t needed = reserved + kBlockHeaderSize;
    const uint64_t grid_end = layout.grid_end();
    const uint64_t max_steps = (grid_end - layout.first_size) / layout.block_size + 1;
    uint32_t previous = 0;
    uint32_t block = data->memo_header.next_free;
    for (uint64_t step = 0; step < max_steps; ++step) {
        uint32_t start = 0;
        uint32_t rc = block_start(data, layout, block, &start);
        if (rc != ERR_NONE) return rc;
        if (start + uint64_t{kBlockHeaderSize} > layout.file_length) {
            // The end of the file ends the chain, but only right after the
            // file's last block.
            if (start > grid_end) return ERR_MEMO_FREE_CHAIN;
            run->previous = previous;
            return take_new_blocks(layout, block, start, needed, run);
        }
        rc = read_block_header(data, layout, block);
        if (rc != ERR_NONE) return rc;
        const uint32_t next = data->memo_block_header[0];
        if (next == 0) return ERR_MEMO_FREE_CHAIN;
        const uint64_t bytes = free_run_bytes(data, layout, data->memo_block_header[1]);
        if (!layout.run_in_file(start, bytes)) return ERR_MEMO_FREE_CHAIN;
        if (bytes - kBlockHeaderSize >= reserved) {
            *run = Run{block, bytes, next, previous, false};
            return ERR_NONE;
        }
        previous = block;
        block = next;
    }
    return ERR_MEMO_FREE_CHAIN;  // the chain loops
}

// Puts the run's continuation in its place on the chain.
uint32_t unlink_run(DataControlRecord *data, const MemoLayout &layout, const Run &run) {
    if (run.previous == 0) {
        data->memo_header.next_free = run.continuation;
        return memo_write_word(data, 0, run.continuation);
    }
    uint32_t start = 0;
    const uint32_t rc = block_start(data, layout, run.previous, &start);
    if (rc != ERR_NONE) return rc;
    return memo_write_word(data, start, run.continuation);
}

// Zeros the run after the `written` bytes of the memo.  New blocks at the
// end of the file that stay unwritten (reserve-only adds, fill mode 1)
// still become part of the file, so that every run lies within it.
uint32_t complete_run(DataControlRecord *data, const MemoLayout &layout, const Run &run,
                      uint32_t start, uint32_t written, bool zero) {
    uint32_t rc = ERR_NONE;
    if (zero)
        rc = zero_fill(data, layout, run.block, kBlockHeaderSize + uint64_t{written},
                       static_cast<int64_t>(run.bytes - kBlockHeaderSize - written));
    const bool unwritten = !zero || data->memo_fill_mode == KVL_MEMO_FILL_NEVER;
    if (rc == ERR_NONE && run.at_end && unwritten) {
        // The run's end lies beyond everything written so far (checked to
        // fit 32-bit positions when the blocks were taken).
        rc = truncate_at(data->file_layer, data->memo_os_handle,
                         static_cast<uint32_t>(start + run.bytes));
    }
    return rc;
}

}  // namespace

uint32_t memo_add(DataControlRecord *data, uint32_t reserved_size, uint32_t data_length,
                  const void *bytes, uint32_t *block, uint32_t mode) {
    if (!data || !bytes || !block) return ERR_NULL_PARAMETER;
    if (is_read_only(data)) return ERR_READ_ONLY;
    if (!memo_is_open(data)) return ERR_FILE_NOT_OPEN;
    if (reserved_size == 0 || data_length == 0 || reserved_size < data_length)
        return ERR_MEMO_SIZE;
    const uint64_t needed = uint64_t{reserved_size} + kBlockHeaderSize;
    if (needed > UINT32_MAX) return ERR_FILE_LIMIT;  // the length word must hold it

    MemoLayout layout;
    uint32_t rc = memo_layout(data, &layout);
    if (rc == ERR_NONE) rc = load_file_length(data, &layout);
    Run run;
    if (rc == ERR_NONE) rc = find_run(data, layout, reserved_size, &run);
    if (rc != ERR_NONE) return rc;
    uint32_t start = 0;
    rc = block_start(data, layout, run.block, &start);
    if (rc == ERR_NONE) rc = note_memo_change(data);
    if (rc != ERR_NONE) return rc;

    const uint32_t head[2] = {memo_signature(data), static_cast<uint32_t>(needed)};
    rc = memo_write(data, start, head, sizeof head);
    if (rc != ERR_NONE) return rc;
    const bool reserve_only = mode == KVL_MEMO_RESERVE_ONLY;
    if (!reserve_only) {
        rc = memo_write(data, uint64_t{start} + kBlockHeaderSize, bytes, data_length);
        if (rc != ERR_NONE) return rc;
    }
    // A failed zero-fill is reported after the memo is linked in.
    const uint32_t fill_rc =
        complete_run(data, layout, run, start, reserve_only ? 0 : data_length, !reserve_only);
    rc = unlink_run(data, layout, run);
    data->memo_state |= KVL_MEMO_STATE_CHANGED;
    if (rc != ERR_NONE) return rc;
    *block = run.block;
    return fill_rc;
}

uint32_t memo_delete(DataControlRecord *data, uint32_t block) {
    if (!data) return ERR_NULL_PARAMETER;
    if (is_read_only(data)) return ERR_READ_ONLY;
    if (!memo_is_open(data)) return ERR_FILE_NOT_OPEN;
    if (block == 0) return ERR_MEMO_BLOCK_ZERO;
    MemoLayout layout;
    uint32_t rc = memo_layout(data, &layout);
    if (rc == ERR_NONE) rc = load_file_length(data, &layout);
    if (rc == ERR_NONE) rc = read_block_header(data, layout, block);
    if (rc != ERR_NONE) return rc;
    if (data->memo_block_header[0] != memo_signature(data)) return ERR_MEMO_NOT_MEMO;
    const uint64_t blocks = layout.blocks_for(data->memo_block_header[1]);
    const uint64_t bytes = blocks * layout.block_size;
    const uint32_t start = static_cast<uint32_t>(layout.start(block));
    if (!layout.run_in_file(start, bytes)) return KVL_WIN_HANDLE_EOF;

    const uint64_t size = sizes_in_bytes(data) ? bytes : blocks;
    if (size > UINT32_MAX) return ERR_FILE_LIMIT;
    if ((rc = note_memo_change(data)) != ERR_NONE) return rc;
    const uint32_t head[2] = {data->memo_header.next_free, static_cast<uint32_t>(size)};
    rc = memo_write(data, start, head, sizeof head);
    if (rc != ERR_NONE) return rc;
    zero_fill(data, layout, block, kBlockHeaderSize,
              static_cast<int64_t>(bytes) - kBlockHeaderSize);  // a failed fill is not reported
    data->memo_header.next_free = block;
    data->memo_state |= KVL_MEMO_STATE_CHANGED;
    return ERR_NONE;
}

}  // namespace kvl

extern "C" {

KVL_API uint32_t KvlMemoAdd(DataHandle data, uint32_t reserved_size, uint32_t data_length,
                            const void *bytes, uint32_t *block, uint32_t mode) {
    return kvl::guarded(
        [&] { return kvl::memo_add(data, reserved_size, data_length, bytes, block, mode); });
}
KVL_ALIAS(KvlMemoAdd)

KVL_API uint32_t KvlMemoDelete(DataHandle data, uint32_t block) {
    return kvl::guarded([&] { return kvl::memo_delete(data, block); });
}
KVL_ALIAS(KvlMemoDelete)

}  // extern "C"
