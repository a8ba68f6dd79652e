// memo_format.h - the .DBT memo file as korval32 writes and reads it, and
// the block-level helpers the memo operations share.
//
// A memo file is a row of fixed-size blocks.  Block 0 is the header block;
// block n (n >= 1) starts at F + (n - 1) * B, where B is the block size (24
// to 65535, 512 by default) and F the size of the header block (the control
// record's first-block size, or B when that is 0).  Integers are
// little-endian.
//
//   header (first 24 bytes of block 0; the rest of block 0 is zero)
//     0   next free block: head of the free chain (1 in a new file)
//     4   reserved, 0
//     8   first 8 characters of the data file's name (last path component,
//         extension included), zero-padded
//     16  reserved, 0
//     20  block size B
//
//   a stored memo: one run of ceil(length word / B) consecutive blocks,
//   named by its first block number, which the data record holds
//     0   signature FF FF 08 00 (or the control record's own signature)
//     4   length word = reserved size + 8
//     8   the memo's bytes; everything after the data written is zero,
//         up to the end of the run's last block
//
//   a free run: consecutive blocks on the free chain
//     0   next free block (the chain's next run)
//     4   size: a block count, or a byte count when the memo state flag
//         KVL_MEMO_STATE_BYTE_SIZES is set; 0 counts as one block
//     8   zero
//
// The chain runs from the header's next-free word from run to run; it ends
// at the block just past the end of the file, where new blocks are added.
// Freed runs go to the head of the chain and are reused last-freed first;
// adjacent free runs are not merged, and a run taken for a smaller memo is
// taken whole.
//
// A damaged file must not lead the engine astray.  The helpers below refuse
// a block number 0, a block size out of range and any position beyond what
// 32-bit file positions address; the operations further refuse runs that
// reach past the file's last block (KVL_WIN_HANDLE_EOF, as a read there
// would) and walk the free chain at most once per block of the file
// (ERR_MEMO_FREE_CHAIN after that).
#ifndef KVL_MEMO_MEMO_FORMAT_H
#define KVL_MEMO_MEMO_FORMAT_H

#include <bit>
#include <cstddef>
#include <cstdint>

#include "engine/korval32.h"

namespace kvl {

static_assert(std::endian::native == std::endian::little,
              "the memo header is read and written as a little-endian image");
static_assert(sizeof(MemoHeader) == 24);
static_assert(offsetof(MemoHeader, data_name) == 8);
static_assert(offsetof(MemoHeader, block_size) == 20);

inline constexpr uint32_t kMemoHeaderSize = 24;
inline constexpr uint32_t kDefaultBlockSize = 512;
inline constexpr uint32_t kMinBlockSize = 24;
inline constexpr uint32_t kMaxBlockSize = 65535;
inline constexpr uint32_t kBlockHeaderSize = 8;   // signature or next, length or size
inline constexpr uint32_t kBlockReadSize = 512;   // what a memo read looks at first
inline constexpr uint32_t kFillPiece = 512;       // zero-fill writes at most this much
inline constexpr uint32_t kMoveCopyPiece = 2048;  // a moving update copies in such pieces
inline constexpr uint32_t kNameBufferSize = 512;  // the memo file name is built in this

// Where block n lives, for one call.  Taken once per call from the control
// record: block size, first-block size, and the file's current length.
struct MemoLayout {
    uint32_t block_size = 0;   // B
    uint32_t first_size = 0;   // F
    uint64_t file_length = 0;  // valid after load_file_length

    uint64_t start(uint32_t block) const {
        return first_size + (static_cast<uint64_t>(block) - 1) * block_size;
    }
    // Blocks needed for a run of `bytes` bytes.
    uint64_t blocks_for(uint64_t bytes) const { return (bytes + block_size - 1) / block_size; }
    // End of the last block the file reaches into (at least F).
    uint64_t grid_end() const {
        if (file_length <= first_size) return first_size;
        return first_size + blocks_for(file_length - first_size) * block_size;
    }
    // True when a run of `bytes` bytes from `start` lies within the file's
    // blocks.
    bool run_in_file(uint64_t run_start, uint64_t bytes) const {
        return run_start + bytes <= grid_end();
    }
};

inline bool memo_is_open(const DataControlRecord *data) {
    return data->os_handle != 0 && data->memo_os_handle != 0;
}

inline uint32_t memo_signature(const DataControlRecord *data) {
    return data->memo_signature ? data->memo_signature : KVL_MEMO_SIGNATURE;
}

inline bool sizes_in_bytes(const DataControlRecord *data) {
    return (data->memo_state & KVL_MEMO_STATE_BYTE_SIZES) != 0;
}

// ---- memo_block.cc -------------------------------------------------------

// The block size and first-block size of the control record;
// ERR_MEMO_BLOCK_SIZE when either is out of range.
uint32_t memo_layout(const DataControlRecord *data, MemoLayout *layout);

// Fills in layout->file_length from the memo file.
uint32_t load_file_length(const DataControlRecord *data, MemoLayout *layout);

// The file position of block n.  Block 0 gives `zero_code`; a position at or
// beyond the lock base minus B (when a lock base is set) or beyond 32-bit
// positions gives ERR_FILE_LIMIT.
uint32_t block_start(const DataControlRecord *data, const MemoLayout &layout, uint32_t block,
                     uint32_t *position, uint32_t zero_code = ERR_MEMO_FREE_CHAIN);

// Reads block n's first 8 bytes into the block header buffer and makes n
// the current block.  With a buffer, reads up to min(B, 512) bytes into it
// (at least the 8 must come in) and reports the count read through *got.
uint32_t read_block_header(DataControlRecord *data, const MemoLayout &layout, uint32_t block,
                           uint8_t *buffer = nullptr, uint32_t *got = nullptr);

// Positioned memo file I/O; ERR_FILE_LIMIT when the range leaves 32-bit
// positions.
uint32_t memo_read(const DataControlRecord *data, uint64_t position, void *buffer,
                   uint32_t length, uint32_t *got = nullptr);
uint32_t memo_write(const DataControlRecord *data, uint64_t position, const void *buffer,
                    uint32_t length);
uint32_t memo_write_word(const DataControlRecord *data, uint64_t position, uint32_t word);

// Writes `count` zero bytes at offset k of block n (block 0 only at offset
// 24, after the header: else ERR_MEMO_BLOCK_ZERO).  Nothing in fill mode 1
// or for a count of 0; a negative count gives ERR_MEMO_FILL_COUNT.
uint32_t zero_fill(const DataControlRecord *data, const MemoLayout &layout, uint32_t block,
                   uint64_t offset, int64_t count);

// Called before a memo add or delete writes anything: the first memo change
// after a data header flush sets bit 1 of data header byte 14, writes that
// byte and forces it to the disk, so that a memo file a crash left half
// changed opens with ERR_INCOMPLETE_WRITE; the data header is marked changed
// so that its next flush (or close) writes the bit cleared again.  A failure
// leaves the bit clear and must stop the change.
uint32_t note_memo_change(DataControlRecord *data);

// ---- memo_name.cc --------------------------------------------------------

// Builds the memo file's name from the data file's name into `name` and
// writes header bytes 8 to 15; ERR_MEMO_NAME when it cannot be derived.
uint32_t memo_file_name(DataControlRecord *data, char (&name)[kNameBufferSize]);

// Turns a name memo_file_name built with the default extension into the
// same name with the extension in the other case ("DBT" and "dbt"); false,
// leaving the name alone, when the control record names its own extension.
bool other_case_memo_name(const DataControlRecord *data, char (&name)[kNameBufferSize]);

// ---- memo_alloc.cc (free chain) ------------------------------------------

uint32_t memo_add(DataControlRecord *data, uint32_t reserved_size, uint32_t data_length,
                  const void *bytes, uint32_t *block, uint32_t mode);
uint32_t memo_delete(DataControlRecord *data, uint32_t block);

}  // namespace kvl

#endif  // KVL_MEMO_MEMO_FORMAT_H
