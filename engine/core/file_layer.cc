// file_layer.cc - the fifteen exported file-layer calls.
//
// Each call takes a FileLayerTable last.  A null table, or a null slot for
// the operation, selects the built-in POSIX layer (file_posix.cc); otherwise
// the caller's slot gets the arguments unchanged and its result is returned.
// With a table whose 64-bit flag is set, seek methods and lock flags get bit
// 7 and positions travel as (low, high) pairs.  Positioned reads and writes,
// the length query and truncation by a zero-length write are composed here
// from the slots, so a replacement layer sees exactly these primitive calls.
#include "engine/core/file_posix.h"
#include "engine/core/internal.h"

namespace kvl {
namespace {

const FileLayerTable &builtin() { return builtin_layer(); }

bool wide(const FileLayerTable *table) {
    return table && (table->flags & KVL_LAYER_64BIT);
}

// The slot of a table, or the built-in one when the table has none.
template <class Slot>
Slot pick(const FileLayerTable *table, Slot FileLayerTable::*slot) {
    if (table && table->*slot) return table->*slot;
    return builtin().*slot;
}

// The layer a positioned call uses: the table only when it has both the seek
// slot and the transfer slot.
template <class Slot>
bool table_has_pair(const FileLayerTable *table, Slot FileLayerTable::*transfer) {
    return table && table->seek && table->*transfer;
}

template <class Slot, class Transfer>
uint32_t positioned(uint32_t handle, uint32_t *length, Transfer *buffer, uint32_t *position,
                    const FileLayerTable *table, Slot FileLayerTable::*transfer) {
    const FileLayerTable *layer = table_has_pair(table, transfer) ? table : &builtin();
    if (layer == &builtin() && (!length || !buffer || !position)) return ERR_NULL_PARAMETER;
    // The position is in the form the caller's table declares, whichever
    // layer carries the call out.
    const uint32_t method = KVL_SEEK_SET | (wide(table) ? KVL_SEEK_64 : 0);
    uint32_t rc = layer->seek(handle, method, position);
    if (rc != ERR_NONE) return rc;
    return (layer->*transfer)(handle, length, buffer);
}

}  // namespace

uint32_t layer_read_at(const FileLayerTable *layer, uint32_t handle, void *buffer,
                       uint32_t length, uint32_t position, uint32_t *got) {
    if (!table_has_pair(layer, &FileLayerTable::read))
        return posix_read_at(handle, buffer, length, position, got);
    uint32_t count = length;
    uint32_t pos[2] = {position, 0};
    uint32_t rc = positioned(handle, &count, buffer, pos, layer, &FileLayerTable::read);
    *got = count;
    return rc;
}

uint32_t layer_write_at(const FileLayerTable *layer, uint32_t handle, const void *buffer,
                        uint32_t length, uint32_t position) {
    if (!table_has_pair(layer, &FileLayerTable::write))
        return posix_write_at(handle, buffer, length, position);
    uint32_t count = length;
    uint32_t pos[2] = {position, 0};
    return positioned(handle, &count, buffer, pos, layer, &FileLayerTable::write);
}

}  // namespace kvl

using kvl::pick;
using kvl::wide;

extern "C" {

KVL_API uint32_t KvlOpenFile(const char *path, uint32_t mode, uint32_t *handle,
                             const FileLayerTable *table) {
    return pick(table, &FileLayerTable::open)(path, kvl::fold_open_mode(mode), handle);
}
KVL_ALIAS(KvlOpenFile)

// The built-in create reports an existing file as 80, as the engine's
// callers expect; a replacement slot answers for itself.
KVL_API uint32_t KvlCreateFile(const char *path, const FileLayerTable *table) {
    return pick(table, &FileLayerTable::create_file)(path);
}
KVL_ALIAS(KvlCreateFile)

KVL_API uint32_t KvlCloseFile(uint32_t *handle, const FileLayerTable *table) {
    return pick(table, &FileLayerTable::close)(handle);
}
KVL_ALIAS(KvlCloseFile)

KVL_API uint32_t KvlDeleteFile(const char *path, const FileLayerTable *table) {
    return pick(table, &FileLayerTable::delete_file)(path);
}
KVL_ALIAS(KvlDeleteFile)

KVL_API uint32_t KvlMoveFile(const char *old_path, const char *new_path,
                             const FileLayerTable *table) {
    return pick(table, &FileLayerTable::move_file)(old_path, new_path);
}
KVL_ALIAS(KvlMoveFile)

KVL_API uint32_t KvlCreateDir(const char *path, const FileLayerTable *table) {
    return pick(table, &FileLayerTable::create_dir)(path);
}
KVL_ALIAS(KvlCreateDir)

KVL_API uint32_t KvlReadFile(uint32_t handle, uint32_t *length, void *buffer,
                             const FileLayerTable *table) {
    return pick(table, &FileLayerTable::read)(handle, length, buffer);
}
KVL_ALIAS(KvlReadFile)

KVL_API uint32_t KvlWriteFile(uint32_t handle, uint32_t *length, const void *buffer,
                              const FileLayerTable *table) {
    return pick(table, &FileLayerTable::write)(handle, length, buffer);
}
KVL_ALIAS(KvlWriteFile)

KVL_API uint32_t KvlReadAtFile(uint32_t handle, uint32_t *length, void *buffer,
                               uint32_t *position, const FileLayerTable *table) {
    return kvl::positioned(handle, length, buffer, position, table, &FileLayerTable::read);
}
KVL_ALIAS(KvlReadAtFile)

KVL_API uint32_t KvlWriteAtFile(uint32_t handle, uint32_t *length, const void *buffer,
                                uint32_t *position, const FileLayerTable *table) {
    return kvl::positioned(handle, length, buffer, position, table, &FileLayerTable::write);
}
KVL_ALIAS(KvlWriteAtFile)

KVL_API uint32_t KvlSeekFile(uint32_t handle, uint32_t method, uint32_t *position,
                             const FileLayerTable *table) {
    if (wide(table)) method |= KVL_SEEK_64;
    return pick(table, &FileLayerTable::seek)(handle, method, position);
}
KVL_ALIAS(KvlSeekFile)

// The length is found by seeking to the end; the position is put back.
KVL_API uint32_t KvlLengthFile(uint32_t handle, uint32_t *length, const FileLayerTable *table) {
    if (!length) return ERR_NULL_PARAMETER;
    const bool is_wide = wide(table);
    length[0] = 0;
    if (is_wide) length[1] = 0;
    KvlLayerSeek seek = pick(table, &FileLayerTable::seek);
    const uint32_t form = is_wide ? KVL_SEEK_64 : 0;
    uint32_t saved[2] = {0, 0};
    uint32_t rc = seek(handle, KVL_SEEK_CUR | form, saved);
    if (rc != ERR_NONE) return rc;
    rc = seek(handle, KVL_SEEK_END | form, length);
    seek(handle, KVL_SEEK_SET | form, saved);
    return rc;
}
KVL_ALIAS(KvlLengthFile)

KVL_API uint32_t KvlUpdateDirEntry(uint32_t handle, const FileLayerTable *table) {
    return pick(table, &FileLayerTable::update_dir)(handle);
}
KVL_ALIAS(KvlUpdateDirEntry)

KVL_API uint32_t KvlLockFile(uint32_t handle, uint32_t flags, uint32_t *offset,
                             uint32_t *length, uint32_t time_budget,
                             const FileLayerTable *table) {
    if (wide(table)) flags |= KVL_LOCK_64;
    return pick(table, &FileLayerTable::lock)(handle, flags, offset, length, time_budget);
}
KVL_ALIAS(KvlLockFile)

KVL_API uint32_t KvlIsRemote(uint32_t handle, uint32_t drive, uint32_t *remote, uint32_t *kind,
                             const FileLayerTable *table) {
    return pick(table, &FileLayerTable::remote)(handle, drive, remote, kind);
}
KVL_ALIAS(KvlIsRemote)

}  // extern "C"
