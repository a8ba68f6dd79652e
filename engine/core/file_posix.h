// file_posix.h - the built-in file layer: twelve POSIX functions behind the
// same table of entry points that a caller's replacement layer fills in.
#ifndef KVL_CORE_FILE_POSIX_H
#define KVL_CORE_FILE_POSIX_H

#include "engine/korval32.h"

namespace kvl {

// The built-in layer.  Its slots take the arguments of the FileLayerTable
// slots, test their own pointers (8396), and understand the 64-bit (bit 7)
// forms of seek methods and lock flags.
const FileLayerTable &builtin_layer();

// Folds an open mode to 16 bits: bits 16-23 OR-ed into bits 8-15.
uint32_t fold_open_mode(uint32_t mode);

}  // namespace kvl

#endif  // KVL_CORE_FILE_POSIX_H
