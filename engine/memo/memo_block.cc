// memo_block.cc - block positions, block header reads, positioned memo I/O
// and zero-fill: the checks every memo operation makes before it touches
// the file.
#include <cstring>

#include "engine/core/internal.h"
#include "engine/data/data_file.h"
#include "engine/memo/memo_format.h"

namespace kvl {
namespace {

bool block_size_valid(uint32_t size) { return size >= kMinBlockSize && size <= kMaxBlockSize; }

// A transfer of `length` bytes at `position` stays within 32-bit positions.
bool addressable(uint64_t position, uint64_t length) {
    return position + length <= UINT32_MAX;
}

}  // namespace

uint32_t memo_layout(const DataControlRecord *data, MemoLayout *layout) {
    layout->block_size = data->memo_header.block_size;
    layout->first_size = data->memo_first_block_size ? data->memo_first_block_size
                                                     : layout->block_size;
    // A first block shorter than the header would put block 1 over it.
    if (!block_size_valid(layout->block_size) || layout->first_size < kMemoHeaderSize)
        return ERR_MEMO_BLOCK_SIZE;
    return ERR_NONE;
}

uint32_t load_file_length(const DataControlRecord *data, MemoLayout *layout) {
    uint32_t length = 0;
    const uint32_t rc = file_length(data->file_layer, data->memo_os_handle, &length);
    layout->file_length = length;
    return rc;
}

uint32_t block_start(const DataControlRecord *data, const MemoLayout &layout, uint32_t block,
                     uint32_t *position, uint32_t zero_code) {
    if (block == 0) return zero_code;
    const uint64_t start = layout.start(block);
    if (!addressable(start, kBlockHeaderSize)) return ERR_FILE_LIMIT;
    if (data->lock_base != 0) {
        const uint32_t limit = data->lock_base > layout.block_size
                                   ? data->lock_base - layout.block_size
                                   : 0;
        if (start >= limit) return ERR_FILE_LIMIT;
    }
    *position = static_cast<uint32_t>(start);
    return ERR_NONE;
}

uint32_t memo_read(const DataControlRecord *data, uint64_t position, void *buffer,
                   uint32_t length, uint32_t *got) {
    if (got) *got = 0;
    if (!addressable(position, length)) return ERR_FILE_LIMIT;
    return read_at(data->file_layer, data->memo_os_handle, buffer, length,
                   static_cast<uint32_t>(position), got);
}

uint32_t memo_write(const DataControlRecord *data, uint64_t position, const void *buffer,
                    uint32_t length) {
    if (!addressable(position, length)) return ERR_FILE_LIMIT;
    return write_at(data->file_layer, data->memo_os_handle, buffer, length,
                    static_cast<uint32_t>(position));
}

uint32_t memo_write_word(const DataControlRecord *data, uint64_t position, uint32_t word) {
    return memo_write(data, position, &word, sizeof word);
}

uint32_t read_block_header(DataControlRecord *data, const MemoLayout &layout, uint32_t block,
                           uint8_t *buffer, uint32_t *got) {
    uint32_t start = 0;
    uint32_t rc = block_start(data, layout, block, &start);
    if (rc != ERR_NONE) return rc;
    uint8_t head[kBlockHeaderSize];
    if (buffer) {
        const uint32_t want = layout.block_size < kBlockReadSize ? layout.block_size
                                                                  : kBlockReadSize;
        uint32_t count = 0;
        rc = memo_read(data, start, buffer, want, &count);
        // The last block of a file need not be whole: what matters is the
        // block header.
        if (rc == KVL_WIN_HANDLE_EOF && count >= kBlockHeaderSize) rc = ERR_NONE;
        if (rc != ERR_NONE) return rc;
        std::memcpy(head, buffer, kBlockHeaderSize);
        if (got) *got = count;
    } else {
        rc = memo_read(data, start, head, kBlockHeaderSize);
        if (rc != ERR_NONE) return rc;
    }
    std::memcpy(data->memo_block_header, head, kBlockHeaderSize);
    data->memo_current_block = block;
    return ERR_NONE;
}

uint32_t zero_fill(const DataControlRecord *data, const MemoLayout &layout, uint32_t block,
                   uint64_t offset, int64_t count) {
    uint64_t position = 0;
    if (block == 0) {
        if (offset != kMemoHeaderSize) return ERR_MEMO_BLOCK_ZERO;
        position = kMemoHeaderSize;
    } else {
        uint32_t start = 0;
        const uint32_t rc = block_start(data, layout, block, &start, ERR_MEMO_BLOCK_ZERO);
        if (rc != ERR_NONE) return rc;
        position = start + offset;
    }
    if (data->memo_fill_mode == KVL_MEMO_FILL_NEVER || count == 0) return ERR_NONE;
    if (count < 0) return ERR_MEMO_FILL_COUNT;
    if (!addressable(position, static_cast<uint64_t>(count))) return ERR_FILE_LIMIT;
    static const uint8_t zeros[kFillPiece] = {};
    uint64_t left = static_cast<uint64_t>(count);
    while (left > 0) {
        const uint32_t piece = left < kFillPiece ? static_cast<uint32_t>(left) : kFillPiece;
        const uint32_t rc = memo_write(data, position, zeros, piece);
        if (rc != ERR_NONE) return rc;
        position += piece;
        left -= piece;
    }
    return ERR_NONE;
}

uint32_t note_memo_change(DataControlRecord *data) {
    if (data->header.incomplete & KVL_DBF_MEMO_UNFLUSHED) return ERR_NONE;
    data->header.incomplete |= KVL_DBF_MEMO_UNFLUSHED;
    data->state |= KVL_STATE_CHANGED;
    uint32_t rc = write_unfinished_flags(data);
    if (rc == ERR_NONE) rc = KvlUpdateDirEntry(data->os_handle, data->file_layer);
    if (rc != ERR_NONE)
        data->header.incomplete &= static_cast<uint8_t>(~KVL_DBF_MEMO_UNFLUSHED);
    return rc;
}

}  // namespace kvl
