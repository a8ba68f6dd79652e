// index_header.h - the header of an open index: reading it into the control
// record, writing it back, and the changes-pending protocol.  The rebuild,
// the lock functions and the key calls use these directly.
#ifndef KVL_INDEX_INDEX_HEADER_H
#define KVL_INDEX_INDEX_HEADER_H

#include <cstdint>

#include "engine/korval32.h"

namespace kvl::ix {

// KvlIx4ReadHeader: 1024 bytes from offset 0 into the header image, checked
// against the caller's preset node size (ERR_NODE_SIZE) and the signature
// (ERR_NOT_INDEX_FILE), and for a geometry every node access can trust
// (ERR_NODE_SIZE, or ERR_KEY_TOO_LONG for a key length of 0 or above 196);
// then the tree manager's reset.  A refused header keeps the caller's node
// size in the image.
uint32_t read_header(IndexControlRecord *ix);

// Writes the first 512 bytes of the header image at offset 0 (the rest
// never changes after creation).
uint32_t write_header_head(IndexControlRecord *ix);

// KvlIx4FlushHeader: frees the work buffer and, when the header changed,
// stamps the date, counts the flush, clears the changes-pending bit and
// writes the header and the directory entry.  A failed write leaves the
// header marked changed and the pending bit as it was.
uint32_t flush_header(IndexControlRecord *ix);

// Before a key store or delete, and before a rebuild writes its first node:
// the header counts as changed, and the first change after a flush puts the
// changes-pending bit on disk and forces it there, so that no tree change
// can reach the disk without the mark that tells a later opener
// (ERR_INCOMPLETE_WRITE) to rebuild.  Returns that write's result (0 when
// none was needed); on a failure the bit stays clear in the image, the tree
// must not be touched, and the next change tries again.
uint32_t mark_changes_pending(IndexControlRecord *ix);

// True when a tree operation can trust the header's node size, key length
// and keys per node to keep every access inside a node.
bool header_usable(const IndexControlRecord *ix);

}  // namespace kvl::ix

#endif  // KVL_INDEX_INDEX_HEADER_H
