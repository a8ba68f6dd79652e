// file_posix.h - the built-in file layer: twelve POSIX functions behind the
// same table of entry points that a caller's replacement layer fills in.
#ifndef KVL_CORE_FILE_POSIX_H
#define KVL_CORE_FILE_POSIX_H

#include "engine/korval32.h"

namespace kvl {

// The built-in layer.  Its slots take the arguments of the FileLayerTable
// slots, test their own pointers (ERR_NULL_PARAMETER), and understand the
// 64-bit (bit 7) forms of seek methods and lock flags.
const FileLayerTable &builtin_layer();

// Folds an open mode to 16 bits: bits 16-23 OR-ed into bits 8-15.
uint32_t fold_open_mode(uint32_t mode);

// The built-in layer's positioned transfers for the engine's own reads and
// writes: one pread or pwrite instead of a seek and a transfer, with the
// results of KvlReadAtFile and KvlWriteAtFile (KVL_WIN_HANDLE_EOF on a short
// read with *got the count; a short write goes on with the rest and reports
// the error that stops it, KVL_WIN_HANDLE_DISK_FULL only when the system
// takes no more bytes without one; a zero-length write cuts the file there)
// except that the file position is left where it was.  No engine code reads
// or writes at the file position of a file it addresses by position.
uint32_t posix_read_at(uint32_t handle, void *buffer, uint32_t length, uint64_t position,
                       uint32_t *got);
uint32_t posix_write_at(uint32_t handle, const void *buffer, uint32_t length, uint64_t position);

}  // namespace kvl

#endif  // KVL_CORE_FILE_POSIX_H
