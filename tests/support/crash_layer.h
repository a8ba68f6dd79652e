// crash_layer.h - an in-memory FileLayerTable for tests that models what a
// power loss does to files: writes reach the "disk" only when the file is
// flushed (the update-directory-entry slot, fsync on the built-in layer)
// or when the handle was opened write-through (open mode bit 14).  At a
// chosen call the layer crashes: each file falls back to its flushed bytes
// and, in the Random kind, a random subset of the writes made since its
// last flush lands on top of them, in the order they were made (a write
// that lands beyond a lost one leaves zero bytes between).  The crashing
// call and every call after it fail with KVL_WIN_IO_DEVICE until revive().
//
// File names (create, delete, rename) change at once and durably, as a
// journaling file system makes them, while the bytes under a name follow
// the rules above: a file renamed before it was flushed keeps only what
// was flushed.  So a test catches a rename that comes before the flush.
//
// Like MemoryLayer it keeps one process-wide store: use one at a time.
//
//   kvl_test::CrashLayer disk;
//   disk.put("A.DBF", bytes);        // durable from the start
//   disk.crash_at(40, kvl_test::CrashLayer::Kind::Random, seed);
//   ... engine calls through disk.table() ...
//   disk.revive();                   // the machine is back: open again
#ifndef KVL_TESTS_SUPPORT_CRASH_LAYER_H
#define KVL_TESTS_SUPPORT_CRASH_LAYER_H

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "engine/korval32.h"

namespace kvl_test {

class CrashLayer {
public:
    using Bytes = std::vector<uint8_t>;
    enum class Kind {
        DropAll,  // every write since the file's last flush is lost
        Random,   // each of those writes is kept or lost at random
    };

    CrashLayer() {
        store() = Store{};
        table_ = FileLayerTable{KVL_FILE_LAYER_ENTRIES, 0u, &close, &create_dir, &create_file,
                                &delete_file, &move_file, &open, &read, &seek, &update_dir,
                                &write, &lock, &remote};
    }
    ~CrashLayer() { store() = Store{}; }
    CrashLayer(const CrashLayer &) = delete;
    CrashLayer &operator=(const CrashLayer &) = delete;

    const FileLayerTable *table() const { return &table_; }

    // A file whose bytes are on the disk already.
    void put(const std::string &path, const Bytes &bytes) {
        auto node = std::make_shared<Node>();
        node->durable = node->current = bytes;
        store().files[path] = node;
    }
    bool exists(const std::string &path) const { return store().files.count(path) != 0; }
    // What reads of the file see now (empty when missing).
    Bytes bytes(const std::string &path) const {
        auto it = store().files.find(path);
        return it == store().files.end() ? Bytes{} : it->second->current;
    }
    std::vector<std::string> paths() const {
        std::vector<std::string> out;
        for (const auto &entry : store().files) out.push_back(entry.first);
        return out;
    }

    // The n-th call from now (n >= 1) crashes the machine.  Resets the count.
    void crash_at(uint64_t n, Kind kind, uint32_t seed = 1) {
        Store &s = store();
        s.calls = 0;
        s.crash_at = n;
        s.kind = kind;
        s.random.seed(seed);
    }
    uint64_t calls() const { return store().calls; }
    bool crashed() const { return store().crashed; }
    // Writes waiting for a flush, over all files.
    size_t unflushed_writes() const {
        size_t n = 0;
        for (const auto &entry : store().files) n += entry.second->pending.size();
        return n;
    }
    // After a crash: every handle is gone and calls work again.
    void revive() {
        Store &s = store();
        s.handles.clear();
        s.crashed = false;
        s.crash_at = 0;
    }

private:
    struct Write {
        uint64_t position;
        Bytes bytes;  // empty: cut the file at position
    };
    struct Node {
        Bytes durable;
        Bytes current;
        std::vector<Write> pending;
    };
    struct Handle {
        std::shared_ptr<Node> node;
        uint64_t position = 0;
        bool writable = false;
        bool write_through = false;
    };
    struct Store {
        std::map<std::string, std::shared_ptr<Node>> files;
        std::map<uint32_t, Handle> handles;
        uint32_t next_handle = 1000;
        uint64_t calls = 0;
        uint64_t crash_at = 0;
        Kind kind = Kind::DropAll;
        bool crashed = false;
        std::mt19937 random{1};
    };

    static Store &store() {
        static Store instance;
        return instance;
    }

    static void apply(Bytes &bytes, const Write &w) {
        if (w.bytes.empty()) {
            bytes.resize(w.position);
            return;
        }
        if (bytes.size() < w.position + w.bytes.size()) bytes.resize(w.position + w.bytes.size());
        std::memcpy(bytes.data() + w.position, w.bytes.data(), w.bytes.size());
    }

    static void crash() {
        Store &s = store();
        for (auto &entry : s.files) {
            Node &node = *entry.second;
            Bytes image = node.durable;
            if (s.kind == Kind::Random)
                for (const Write &w : node.pending)
                    if (s.random() & 1) apply(image, w);
            node.durable = node.current = image;
            node.pending.clear();
        }
        s.crashed = true;
    }

    // Counts the call; false when the machine is down (or goes down now).
    static bool alive() {
        Store &s = store();
        if (s.crashed) return false;
        ++s.calls;
        if (s.crash_at != 0 && s.calls == s.crash_at) {
            crash();
            return false;
        }
        return true;
    }
    static Handle *find(uint32_t handle) {
        auto &handles = store().handles;
        auto it = handles.find(handle);
        return it == handles.end() ? nullptr : &it->second;
    }

    static uint32_t close(uint32_t *handle) {
        if (!alive()) return KVL_WIN_IO_DEVICE;
        if (!handle) return ERR_NULL_PARAMETER;
        if (!store().handles.erase(*handle)) return KVL_WIN_INVALID_HANDLE;
        *handle = 0;
        return ERR_NONE;
    }
    static uint32_t create_dir(const char *path) {
        if (!alive()) return KVL_WIN_IO_DEVICE;
        return path ? ERR_NONE : ERR_NULL_PARAMETER;
    }
    static uint32_t create_file(const char *path) {
        if (!alive()) return KVL_WIN_IO_DEVICE;
        if (!path) return ERR_NULL_PARAMETER;
        auto &files = store().files;
        if (files.count(path)) return KVL_WIN_FILE_EXISTS;
        files[path] = std::make_shared<Node>();
        return ERR_NONE;
    }
    static uint32_t delete_file(const char *path) {
        if (!alive()) return KVL_WIN_IO_DEVICE;
        if (!path) return ERR_NULL_PARAMETER;
        return store().files.erase(path) ? ERR_NONE : KVL_WIN_FILE_NOT_FOUND;
    }
    static uint32_t move_file(const char *from, const char *to) {
        if (!alive()) return KVL_WIN_IO_DEVICE;
        if (!from || !to) return ERR_NULL_PARAMETER;
        auto &files = store().files;
        auto it = files.find(from);
        if (it == files.end()) return KVL_WIN_FILE_NOT_FOUND;
        if (files.count(to)) return KVL_WIN_FILE_EXISTS;
        auto node = it->second;
        files.erase(it);
        files[to] = node;
        return ERR_NONE;
    }
    static uint32_t open(const char *path, uint32_t folded_mode, uint32_t *handle) {
        if (!alive()) return KVL_WIN_IO_DEVICE;
        if (!path || !handle) return ERR_NULL_PARAMETER;
        Store &s = store();
        auto it = s.files.find(path);
        if (it == s.files.end()) return KVL_WIN_FILE_NOT_FOUND;
        const uint32_t access = folded_mode & KVL_OPEN_ACCESS_MASK;
        if (access != 0 && access != 1 && access != 2 && access != 4)
            return KVL_WIN_INVALID_ACCESS;
        *handle = s.next_handle++;
        s.handles[*handle] =
            Handle{it->second, 0, access != 0, (folded_mode & KVL_OPEN_WRITE_THROUGH) != 0};
        return ERR_NONE;
    }
    static uint32_t read(uint32_t handle, uint32_t *length, void *buffer) {
        if (!alive()) {
            *length = 0;
            return KVL_WIN_IO_DEVICE;
        }
        Handle *h = find(handle);
        if (!h) return KVL_WIN_INVALID_HANDLE;
        const Bytes &bytes = h->node->current;
        const uint64_t available = h->position < bytes.size() ? bytes.size() - h->position : 0;
        const uint32_t count = static_cast<uint32_t>(std::min<uint64_t>(*length, available));
        if (count) std::memcpy(buffer, bytes.data() + h->position, count);
        h->position += count;
        const bool short_read = count < *length;
        *length = count;
        return short_read ? KVL_WIN_HANDLE_EOF : ERR_NONE;
    }
    static uint32_t write(uint32_t handle, uint32_t *length, const void *buffer) {
        if (!alive()) return KVL_WIN_IO_DEVICE;
        Handle *h = find(handle);
        if (!h) return KVL_WIN_INVALID_HANDLE;
        if (!h->writable) return KVL_WIN_ACCESS_DENIED;
        Write w{h->position, {}};
        if (*length) {
            const auto *p = static_cast<const uint8_t *>(buffer);
            w.bytes.assign(p, p + *length);
        }
        Node &node = *h->node;
        apply(node.current, w);
        if (h->write_through)
            apply(node.durable, w);
        else
            node.pending.push_back(std::move(w));
        h->position += *length;
        return ERR_NONE;
    }
    static uint32_t seek(uint32_t handle, uint32_t method, uint32_t *position) {
        if (!alive()) return KVL_WIN_IO_DEVICE;
        Handle *h = find(handle);
        if (!h) return KVL_WIN_INVALID_HANDLE;
        const uint32_t how = method & 0x7F;
        int64_t distance = how == KVL_SEEK_SET ? int64_t{position[0]}
                                               : int64_t{static_cast<int32_t>(position[0])};
        int64_t base = 0;
        if (how == KVL_SEEK_CUR) base = static_cast<int64_t>(h->position);
        else if (how == KVL_SEEK_END) base = static_cast<int64_t>(h->node->current.size());
        else if (how != KVL_SEEK_SET) return KVL_WIN_INVALID_PARAMETER;
        if (base + distance < 0) return KVL_WIN_INVALID_PARAMETER;
        h->position = static_cast<uint64_t>(base + distance);
        position[0] = static_cast<uint32_t>(h->position);
        return ERR_NONE;
    }
    static uint32_t update_dir(uint32_t handle) {
        if (!alive()) return KVL_WIN_IO_DEVICE;
        Handle *h = find(handle);
        if (!h) return KVL_WIN_INVALID_HANDLE;
        h->node->durable = h->node->current;
        h->node->pending.clear();
        return ERR_NONE;
    }
    static uint32_t lock(uint32_t handle, uint32_t, uint32_t *, uint32_t *, uint32_t) {
        if (!alive()) return KVL_WIN_IO_DEVICE;
        return find(handle) ? ERR_NONE : KVL_WIN_INVALID_HANDLE;
    }
    static uint32_t remote(uint32_t handle, uint32_t, uint32_t *is_remote, uint32_t *kind) {
        if (!alive()) return KVL_WIN_IO_DEVICE;
        if (handle != 0 && !find(handle)) return KVL_WIN_INVALID_HANDLE;
        if (is_remote) *is_remote = 0;
        if (kind) *kind = 1;
        return ERR_NONE;
    }

    FileLayerTable table_{};
};

}  // namespace kvl_test

#endif  // KVL_TESTS_SUPPORT_CRASH_LAYER_H
