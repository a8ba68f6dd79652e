// memory_layer.h - an in-memory FileLayerTable for tests: files are byte
// vectors in a map keyed by path, handles carry a position, a zero-length
// write truncates, a read past the end returns the short count with 38, and
// locks always succeed.
//
// The table's slots are plain C functions without a context argument, so
// the files live in one process-wide store.  A MemoryLayer object owns that
// store for its lifetime: constructing one empties it, destroying one
// empties it again.  Use one at a time.
//
//   kvl_test::MemoryLayer fs;
//   control->file_layer = fs.table();
//   ... engine calls ...
//   EXPECT_EQ(fs.file("A.DBF").size(), 290u);
#ifndef KVL_TESTS_SUPPORT_MEMORY_LAYER_H
#define KVL_TESTS_SUPPORT_MEMORY_LAYER_H

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "engine/korval32.h"

namespace kvl_test {

class MemoryLayer {
public:
    using Bytes = std::vector<uint8_t>;

    // wide: positions travel as (low, high) pairs (KVL_LAYER_64BIT).
    explicit MemoryLayer(bool wide = false) {
        store() = Store{};
        table_ = FileLayerTable{KVL_FILE_LAYER_ENTRIES,
                                wide ? KVL_LAYER_64BIT : 0u,
                                &close,
                                &create_dir,
                                &create_file,
                                &delete_file,
                                &move_file,
                                &open,
                                &read,
                                &seek,
                                &update_dir,
                                &write,
                                &lock,
                                &remote};
    }
    ~MemoryLayer() { store() = Store{}; }
    MemoryLayer(const MemoryLayer &) = delete;
    MemoryLayer &operator=(const MemoryLayer &) = delete;

    const FileLayerTable *table() const { return &table_; }

    bool exists(const std::string &path) const { return store().files.count(path) != 0; }
    // The file's bytes (created empty when missing); tests may edit them.
    Bytes &file(const std::string &path) {
        auto &slot = store().files[path];
        if (!slot) slot = std::make_shared<Bytes>();
        return *slot;
    }
    size_t open_handles() const { return store().handles.size(); }
    // Number of slot calls since construction: each OS-level operation once.
    uint64_t calls() const { return store().calls; }

private:
    struct Handle {
        std::shared_ptr<Bytes> bytes;  // stays valid when the path is deleted
        uint64_t position = 0;
        bool writable = false;
    };
    struct Store {
        std::map<std::string, std::shared_ptr<Bytes>> files;
        std::map<uint32_t, Handle> handles;
        uint32_t next_handle = 1000;  // well clear of 0, 1 and 2
        uint64_t calls = 0;
    };

    static Store &store() {
        static Store instance;
        return instance;
    }
    static Handle *find(uint32_t handle) {
        Store &s = store();
        ++s.calls;
        auto it = s.handles.find(handle);
        return it == s.handles.end() ? nullptr : &it->second;
    }
    static bool counted_path(const char *path) {
        ++store().calls;
        return path != nullptr;
    }

    static uint32_t close(uint32_t *handle) {
        if (!handle) return ERR_NULL_PARAMETER;
        if (!find(*handle)) return KVL_WIN_INVALID_HANDLE;
        store().handles.erase(*handle);
        *handle = 0;
        return ERR_NONE;
    }
    static uint32_t create_dir(const char *path) {
        return counted_path(path) ? ERR_NONE : ERR_NULL_PARAMETER;
    }
    static uint32_t create_file(const char *path) {
        if (!counted_path(path)) return ERR_NULL_PARAMETER;
        auto &files = store().files;
        if (files.count(path)) return KVL_WIN_FILE_EXISTS;
        files[path] = std::make_shared<Bytes>();
        return ERR_NONE;
    }
    static uint32_t delete_file(const char *path) {
        if (!counted_path(path)) return ERR_NULL_PARAMETER;
        return store().files.erase(path) ? ERR_NONE : KVL_WIN_FILE_NOT_FOUND;
    }
    static uint32_t move_file(const char *from, const char *to) {
        if (!counted_path(from) || !to) return ERR_NULL_PARAMETER;
        auto &files = store().files;
        auto it = files.find(from);
        if (it == files.end()) return KVL_WIN_FILE_NOT_FOUND;
        if (files.count(to)) return KVL_WIN_FILE_EXISTS;
        auto bytes = it->second;
        files.erase(it);
        files[to] = bytes;
        return ERR_NONE;
    }
    static uint32_t open(const char *path, uint32_t folded_mode, uint32_t *handle) {
        if (!counted_path(path) || !handle) return ERR_NULL_PARAMETER;
        auto &s = store();
        auto it = s.files.find(path);
        if (it == s.files.end()) return KVL_WIN_FILE_NOT_FOUND;
        const uint32_t access = folded_mode & KVL_OPEN_ACCESS_MASK;
        if (access != 0 && access != 1 && access != 2 && access != 4)
            return KVL_WIN_INVALID_ACCESS;
        *handle = s.next_handle++;
        s.handles[*handle] = Handle{it->second, 0, access != 0};
        return ERR_NONE;
    }
    static uint32_t read(uint32_t handle, uint32_t *length, void *buffer) {
        Handle *h = find(handle);
        if (!h) return KVL_WIN_INVALID_HANDLE;
        const Bytes &bytes = *h->bytes;
        const uint64_t available = h->position < bytes.size() ? bytes.size() - h->position : 0;
        const uint32_t count = static_cast<uint32_t>(std::min<uint64_t>(*length, available));
        if (count) std::memcpy(buffer, bytes.data() + h->position, count);
        h->position += count;
        const bool short_read = count < *length;
        *length = count;
        return short_read ? KVL_WIN_HANDLE_EOF : ERR_NONE;
    }
    static uint32_t write(uint32_t handle, uint32_t *length, const void *buffer) {
        Handle *h = find(handle);
        if (!h) return KVL_WIN_INVALID_HANDLE;
        if (!h->writable) return KVL_WIN_ACCESS_DENIED;
        Bytes &bytes = *h->bytes;
        if (*length == 0) {
            bytes.resize(h->position);
            return ERR_NONE;
        }
        if (bytes.size() < h->position + *length) bytes.resize(h->position + *length);
        std::memcpy(bytes.data() + h->position, buffer, *length);
        h->position += *length;
        return ERR_NONE;
    }
    static uint32_t seek(uint32_t handle, uint32_t method, uint32_t *position) {
        Handle *h = find(handle);
        if (!h) return KVL_WIN_INVALID_HANDLE;
        if (!position) return ERR_NULL_PARAMETER;
        const bool wide = (method & KVL_SEEK_64) != 0;
        const uint32_t how = method & 0x7F;
        // 32-bit distances are signed except from the start, where the
        // engine's positions reach up to 4 GB.
        int64_t distance = static_cast<int32_t>(position[0]);
        if (wide) distance = static_cast<int64_t>(position[0] | (uint64_t{position[1]} << 32));
        else if (how == KVL_SEEK_SET) distance = position[0];
        int64_t base = 0;
        switch (how) {
        case KVL_SEEK_SET: break;
        case KVL_SEEK_CUR: base = static_cast<int64_t>(h->position); break;
        case KVL_SEEK_END: base = static_cast<int64_t>(h->bytes->size()); break;
        default: return KVL_WIN_INVALID_PARAMETER;
        }
        if (base + distance < 0) return KVL_WIN_INVALID_PARAMETER;
        h->position = static_cast<uint64_t>(base + distance);
        position[0] = static_cast<uint32_t>(h->position);
        if (wide) position[1] = static_cast<uint32_t>(h->position >> 32);
        return ERR_NONE;
    }
    static uint32_t update_dir(uint32_t handle) {
        return find(handle) ? ERR_NONE : KVL_WIN_INVALID_HANDLE;
    }
    static uint32_t lock(uint32_t handle, uint32_t, uint32_t *, uint32_t *, uint32_t) {
        return find(handle) ? ERR_NONE : KVL_WIN_INVALID_HANDLE;
    }
    static uint32_t remote(uint32_t handle, uint32_t, uint32_t *is_remote, uint32_t *kind) {
        if (handle != 0 && !find(handle)) return KVL_WIN_INVALID_HANDLE;
        if (is_remote) *is_remote = 0;
        if (kind) *kind = 1;  // a disk file
        return ERR_NONE;
    }

    FileLayerTable table_{};
};

}  // namespace kvl_test

#endif  // KVL_TESTS_SUPPORT_MEMORY_LAYER_H
