// internal.h - what every engine source file shares: the export conventions
// (underscore alias, exception guard), engine variables, the date stamp,
// owned memory blocks and the positioned file I/O that data, index and memo
// files are built on.  Nothing here is part of the public interface.
#ifndef KVL_CORE_INTERNAL_H
#define KVL_CORE_INTERNAL_H

#include <cstdint>
#include <new>

#include "engine/korval32.h"

// Every export is also reachable as _Name: an ELF alias of the same entry
// point.  Put KVL_ALIAS(Name) right after the export's definition (GCC wants
// the alias and its target in one translation unit).
#define KVL_ALIAS(name) \
    extern "C" KVL_API __typeof__(name) _##name __attribute__((alias(#name)));

namespace kvl {

// Runs an export's body so that no C++ exception crosses the C boundary: an
// allocation failure becomes "not enough memory", anything else a general
// failure.  The engine does not throw by design; this is the backstop.
template <class Body>
inline uint32_t guarded(Body &&body) noexcept {
    try {
        return body();
    } catch (const std::bad_alloc &) {
        return KVL_WIN_NOT_ENOUGH_MEMORY;
    } catch (...) {
        return KVL_WIN_GEN_FAILURE;
    }
}

// ---- engine variables ----------------------------------------------------

// Current value of a settable engine variable (1 to 4, 10 to 14).
uint32_t engine_var(int32_t number);

// ---- date stamp ------------------------------------------------------------

DateTimeRecord local_date_time();

// ---- memory ------------------------------------------------------------------

// A block from KvlMemAlloc, freed with KvlMemFree when the owner goes.
class MemBlock {
public:
    MemBlock() = default;
    MemBlock(const MemBlock &) = delete;
    MemBlock &operator=(const MemBlock &) = delete;
    ~MemBlock() { release(); }

    // Allocates size bytes of the heap kind; returns the result code.
    uint32_t allocate(uint32_t heap_kind, uint32_t size, bool zero_fill = true) {
        release();
        uint32_t error = 0;
        block_ = KvlMemAlloc(heap_kind, size, &error, zero_fill ? 1u : 0u);
        heap_ = heap_kind;
        return block_ ? ERR_NONE : (error ? error : KVL_WIN_NOT_ENOUGH_MEMORY);
    }
    // Frees the block now; returns KvlMemFree's result (0 when none was held).
    uint32_t release() {
        if (!block_) return ERR_NONE;
        uint32_t rc = KvlMemFree(heap_, block_);
        block_ = nullptr;
        return rc;
    }
    template <class T = uint8_t>
    T *get() const { return static_cast<T *>(block_); }
    explicit operator bool() const { return block_ != nullptr; }

private:
    void *block_ = nullptr;
    uint32_t heap_ = 0;
};

// ---- positioned file I/O -----------------------------------------------------
//
// The engine's transfers at a position.  A caller's layer that has the seek
// and the transfer slot gets exactly what KvlReadAtFile and KvlWriteAtFile
// would pass it (positions as a (low, high) pair, so that a 64-bit
// FileLayerTable reads a valid second word); on the built-in layer each is
// one pread or pwrite, which leaves the file position alone (file_posix.h).

uint32_t layer_read_at(const FileLayerTable *layer, uint32_t handle, void *buffer,
                       uint32_t length, uint32_t position, uint32_t *got);
uint32_t layer_write_at(const FileLayerTable *layer, uint32_t handle, const void *buffer,
                        uint32_t length, uint32_t position);

inline uint32_t read_at(const FileLayerTable *layer, uint32_t handle, void *buffer,
                        uint32_t length, uint32_t position, uint32_t *got = nullptr) {
    uint32_t count = 0;
    uint32_t rc = layer_read_at(layer, handle, buffer, length, position, &count);
    if (got) *got = count;
    return rc;
}

inline uint32_t write_at(const FileLayerTable *layer, uint32_t handle, const void *buffer,
                         uint32_t length, uint32_t position) {
    return layer_write_at(layer, handle, buffer, length, position);
}

// Cuts the file at position (a positioned write of zero bytes).
inline uint32_t truncate_at(const FileLayerTable *layer, uint32_t handle, uint32_t position) {
    static const uint8_t none = 0;
    return write_at(layer, handle, &none, 0, position);
}

// The file's length in bytes (the low word with a 64-bit layer).
inline uint32_t file_length(const FileLayerTable *layer, uint32_t handle, uint32_t *length) {
    uint32_t words[2] = {0, 0};
    uint32_t rc = KvlLengthFile(handle, words, layer);
    *length = words[0];
    return rc;
}

}  // namespace kvl

#endif  // KVL_CORE_INTERNAL_H
