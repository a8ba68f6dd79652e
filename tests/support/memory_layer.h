// memory_layer.h - the one FileLayerTable of the tests: files in memory
// (or, given a base table, the built-in layer's real files), under a fault
// plan that can fail the n-th counted call once or from then on (every
// call, some kinds of call, or calls on one file), refuse every open for
// writing, and crash at the n-th call as a power loss does: a write is on
// the "disk" only after a flush of its file or through a write-through
// handle, so at the crash each file falls back to its flushed bytes plus, in
// the Random kind, a random subset of the later writes; then every call
// fails with KVL_WIN_IO_DEVICE until revive().  Names change durably at
// once.  Lock calls are recorded, and relocks can be carried out as an
// in-place conversion (the built-in layer refuses them with 174).
//
// The slots have no context argument, so the state lives in one store:
// use one MemoryLayer at a time.
//
//   kvl_test::MemoryLayer fs;                  // files in memory
//   fs.fail_call(7, KVL_WIN_DISK_FULL);        // the 7th call fails
//   data->file_layer = fs.table();
#ifndef KVL_TESTS_SUPPORT_MEMORY_LAYER_H
#define KVL_TESTS_SUPPORT_MEMORY_LAYER_H

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

struct LockCall {
    uint32_t flags;
    uint64_t offset, length;
    uint32_t budget;
};

class MemoryLayer {
public:
    using Bytes = std::vector<uint8_t>;
    // One bit per slot, for the kinds of calls a fault counts.
    enum Op : uint32_t { kClose = 1, kCreateDir = 2, kCreate = 4, kDelete = 8, kMove = 16, kOpen = 32,
                         kRead = 64, kSeek = 128, kFlush = 256, kWrite = 512, kLock = 1024, kRemote = 2048,
                         kAll = 4095 };
    enum class Crash { DropAll, Random };

    MemoryLayer() { init(nullptr, false); }
    // Calls passed on to `base`; kBuiltIn (null) passes them to the built-in layer.
    static constexpr const FileLayerTable *kBuiltIn = nullptr;
    explicit MemoryLayer(const FileLayerTable *base) { init(base, true); }
    ~MemoryLayer() { store() = Store{}; }
    MemoryLayer(const MemoryLayer &) = delete;
    MemoryLayer &operator=(const MemoryLayer &) = delete;

    const FileLayerTable *table() const { return &table_; }

    bool exists(const std::string &path) const { return store().files.count(path) != 0; }
    // What reads of the file see (created empty when missing); tests may edit it.
    Bytes &file(const std::string &path) {
        auto &node = store().files[path];
        if (!node) node = std::make_shared<Node>();
        return node->current;
    }
    // A file whose bytes are on the disk already.
    void put(const std::string &path, const Bytes &bytes) {
        auto node = std::make_shared<Node>();
        node->durable = node->current = bytes;
        store().files[path] = node;
    }
    std::vector<std::string> paths() const {
        std::vector<std::string> out;
        for (const auto &entry : store().files) out.push_back(entry.first);
        return out;
    }
    size_t open_handles() const { return store().handles.size(); }

    // The n-th counted call from now (n >= 1) fails with `code`; sticky:
    // every counted call after it too.  Only calls of the kinds in `ops`
    // count, and, with a suffix, only those on a file whose path ends so.
    void fail_call(uint64_t n, uint32_t code, bool sticky = false, uint32_t ops = kAll,
                   const std::string &suffix = "") {
        Store &s = store();
        s.calls = s.failures = 0;
        s.fail_at = n, s.code = code, s.sticky = sticky, s.ops = ops, s.suffix = suffix;
    }
    void disarm() { store().fail_at = 0; }
    uint64_t calls() const { return store().calls; }  // counted since the last arming
    bool fired() const { return store().failures != 0; }
    void refuse_writable_opens(uint32_t code) { store().refuse_writable = code; }

    // The n-th call from now crashes the machine.
    void crash_at(uint64_t n, Crash kind, uint32_t seed = 1) {
        Store &s = store();
        s.calls = 0, s.ops = kAll, s.suffix.clear();
        s.crash_at = n, s.crash_kind = kind, s.random.seed(seed);
    }
    bool crashed() const { return store().crashed; }
    // After a crash: every handle is gone and calls work again.
    void revive() { store().handles.clear(), store().crashed = false, store().crash_at = 0; }

    const std::vector<LockCall> &locks() const { return store().locks; }
    void clear_locks() { store().locks.clear(); }
    void convert_relocks(bool on) { store().convert = on; }

private:
    struct Write {
        uint64_t position;
        Bytes bytes;  // empty: cut the file at position
    };
    struct Node {
        Bytes durable, current;
        std::vector<Write> pending;  // since the last flush
    };
    struct Handle {
        std::shared_ptr<Node> node;  // null when the base layer holds the file
        std::string path;
        uint64_t position = 0;
        bool writable = false, write_through = false;
    };
    struct Store {
        bool passthrough = false;
        FileLayerTable base{};
        std::map<std::string, std::shared_ptr<Node>> files;
        std::map<uint32_t, Handle> handles;
        uint32_t next_handle = 1000;  // well clear of 0, 1 and 2
        uint64_t calls = 0, fail_at = 0, failures = 0, crash_at = 0;
        uint32_t code = 0, ops = kAll, refuse_writable = 0;
        bool sticky = false, crashed = false, convert = false;
        std::string suffix;
        Crash crash_kind = Crash::DropAll;
        std::mt19937 random{1};
        std::vector<LockCall> locks;
    };

    static Store &store() {
        static Store instance;
        return instance;
    }

    void init(const FileLayerTable *base, bool passthrough) {
        Store &s = store();
        s = Store{};
        s.passthrough = passthrough;
        s.base.count = KVL_FILE_LAYER_ENTRIES;
        if (base) s.base = *base;
        else if (passthrough) KvlGetVar(KVL_VAR_FILE_LAYER, reinterpret_cast<uint32_t *>(&s.base));
        table_ = FileLayerTable{KVL_FILE_LAYER_ENTRIES, s.base.flags,
                                &close, &create_dir, &create_file, &delete_file, &move_file,
                                &open, &read, &seek, &update_dir, &write, &lock, &remote};
    }

    static std::string path_of(uint32_t handle) {
        auto it = store().handles.find(handle);
        return it == store().handles.end() ? "" : it->second.path;
    }
    static void apply(Bytes &bytes, const Write &w) {
        if (w.bytes.empty() || bytes.size() < w.position + w.bytes.size()) bytes.resize(w.position + w.bytes.size());
        std::copy(w.bytes.begin(), w.bytes.end(), bytes.begin() + w.position);
    }
    static void crash() {
        Store &s = store();
        for (auto &entry : s.files) {
            Node &node = *entry.second;
            Bytes image = node.durable;
            if (s.crash_kind == Crash::Random)
                for (const Write &w : node.pending)
                    if (s.random() & 1) apply(image, w);
            node.durable = node.current = image;
            node.pending.clear();
        }
        s.crashed = true;
    }
    // Counts the call; its failure code, or 0 when it goes ahead.
    static uint32_t gate(Op op, const std::string &path) {
        Store &s = store();
        if (s.crashed) return KVL_WIN_IO_DEVICE;
        if (!(s.ops & op) || !path.ends_with(s.suffix)) return 0;
        ++s.calls;
        if (s.crash_at != 0 && s.calls == s.crash_at) {
            crash();
            return KVL_WIN_IO_DEVICE;
        }
        if (s.fail_at == 0 || s.calls < s.fail_at || (s.calls > s.fail_at && !s.sticky)) return 0;
        ++s.failures;
        return s.code;
    }
    static Handle *find(uint32_t handle) {
        auto it = store().handles.find(handle);
        return it == store().handles.end() || !it->second.node ? nullptr : &it->second;
    }
    static const FileLayerTable &base() { return store().base; }
    static bool passthrough() { return store().passthrough; }

    // Each slot: the plan first, then the base layer or the memory files.
#define KVL_GATE(op, path)                          \
    if (uint32_t failed = gate(op, path)) return failed
    static uint32_t close(uint32_t *handle) {
        const uint32_t was = handle ? *handle : 0;
        KVL_GATE(kClose, path_of(was));
        const uint32_t rc = passthrough() ? base().close(handle)
                            : !handle     ? ERR_NULL_PARAMETER
                                          : (store().handles.count(*handle) ? ERR_NONE : KVL_WIN_INVALID_HANDLE);
        if (rc == ERR_NONE) {
            store().handles.erase(was);
            *handle = 0;
        }
        return rc;
    }
    static uint32_t create_dir(const char *path) {
        KVL_GATE(kCreateDir, path ? path : "");
        if (passthrough()) return base().create_dir(path);
        return path ? ERR_NONE : ERR_NULL_PARAMETER;
    }
    static uint32_t create_file(const char *path) {
        KVL_GATE(kCreate, path ? path : "");
        if (passthrough()) return base().create_file(path);
        if (!path) return ERR_NULL_PARAMETER;
        if (store().files.count(path)) return KVL_WIN_FILE_EXISTS;
        store().files[path] = std::make_shared<Node>();
        return ERR_NONE;
    }
    static uint32_t delete_file(const char *path) {
        KVL_GATE(kDelete, path ? path : "");
        if (passthrough()) return base().delete_file(path);
        if (!path) return ERR_NULL_PARAMETER;
        return store().files.erase(path) ? ERR_NONE : KVL_WIN_FILE_NOT_FOUND;
    }
    static uint32_t move_file(const char *from, const char *to) {
        KVL_GATE(kMove, from ? from : "");
        if (passthrough()) return base().move_file(from, to);
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
    static uint32_t open(const char *path, uint32_t mode, uint32_t *handle) {
        KVL_GATE(kOpen, path ? path : "");
        Store &s = store();
        const uint32_t access = mode & KVL_OPEN_ACCESS_MASK;
        if (s.refuse_writable != 0 && access != 0) return s.refuse_writable;
        if (passthrough()) {
            const uint32_t rc = base().open(path, mode, handle);
            if (rc == ERR_NONE && path && handle) s.handles[*handle] = Handle{nullptr, path};
            return rc;
        }
        if (!path || !handle) return ERR_NULL_PARAMETER;
        auto it = s.files.find(path);
        if (it == s.files.end()) return KVL_WIN_FILE_NOT_FOUND;
        if (access != 0 && access != 1 && access != 2 && access != 4) return KVL_WIN_INVALID_ACCESS;
        *handle = s.next_handle++;
        s.handles[*handle] = Handle{it->second, path, 0, access != 0, (mode & KVL_OPEN_WRITE_THROUGH) != 0};
        return ERR_NONE;
    }
    static uint32_t read(uint32_t handle, uint32_t *length, void *buffer) {
        if (uint32_t failed = gate(kRead, path_of(handle))) {
            if (length) *length = 0;
            return failed;
        }
        if (passthrough()) return base().read(handle, length, buffer);
        Handle *h = find(handle);
        if (!h) return KVL_WIN_INVALID_HANDLE;
        const Bytes &bytes = h->node->current;
        const uint64_t available = h->position < bytes.size() ? bytes.size() - h->position : 0;
        const uint32_t count = uint32_t(std::min<uint64_t>(*length, available));
        if (count) std::memcpy(buffer, bytes.data() + h->position, count);
        h->position += count;
        const bool short_read = count < *length;
        *length = count;
        return short_read ? KVL_WIN_HANDLE_EOF : ERR_NONE;
    }
    static uint32_t write(uint32_t handle, uint32_t *length, const void *buffer) {
        KVL_GATE(kWrite, path_of(handle));
        if (passthrough()) return base().write(handle, length, buffer);
        Handle *h = find(handle);
        if (!h) return KVL_WIN_INVALID_HANDLE;
        if (!h->writable) return KVL_WIN_ACCESS_DENIED;
        const auto *p = static_cast<const uint8_t *>(buffer);
        Write w{h->position, *length ? Bytes(p, p + *length) : Bytes()};
        apply(h->node->current, w);
        if (h->write_through) apply(h->node->durable, w);
        else h->node->pending.push_back(std::move(w));
        h->position += *length;
        return ERR_NONE;
    }
    static uint32_t seek(uint32_t handle, uint32_t method, uint32_t *position) {
        KVL_GATE(kSeek, path_of(handle));
        if (passthrough()) return base().seek(handle, method, position);
        Handle *h = find(handle);
        if (!h) return KVL_WIN_INVALID_HANDLE;
        if (!position) return ERR_NULL_PARAMETER;
        // Distances are signed except from the start, where positions reach 4 GB.
        const uint32_t how = method & 0x7F;
        const int64_t distance = how == KVL_SEEK_SET ? int64_t{position[0]} : int64_t{int32_t(position[0])};
        const int64_t from = how == KVL_SEEK_CUR ? int64_t(h->position)
                             : how == KVL_SEEK_END ? int64_t(h->node->current.size()) : 0;
        if (how > KVL_SEEK_END || from + distance < 0) return KVL_WIN_INVALID_PARAMETER;
        h->position = uint64_t(from + distance);
        position[0] = uint32_t(h->position);
        return ERR_NONE;
    }
    static uint32_t update_dir(uint32_t handle) {
        KVL_GATE(kFlush, path_of(handle));
        if (passthrough()) return base().update_dir(handle);
        Handle *h = find(handle);
        if (!h) return KVL_WIN_INVALID_HANDLE;
        h->node->durable = h->node->current;
        h->node->pending.clear();
        return ERR_NONE;
    }
    static uint32_t lock(uint32_t handle, uint32_t flags, uint32_t *offset, uint32_t *length, uint32_t budget) {
        KVL_GATE(kLock, path_of(handle));
        Store &s = store();
        const bool wide = (flags & KVL_LOCK_64) != 0;
        s.locks.push_back({flags, wide ? (offset[0] | uint64_t{offset[1]} << 32) : offset[0],
                           wide ? (length[0] | uint64_t{length[1]} << 32) : length[0], budget});
        if (s.convert) flags &= ~KVL_LOCK_ATOMIC;  // an OFD lock over a held range converts it
        if (passthrough()) return base().lock(handle, flags, offset, length, budget);
        return find(handle) ? ERR_NONE : KVL_WIN_INVALID_HANDLE;
    }
    static uint32_t remote(uint32_t handle, uint32_t drive, uint32_t *is_remote, uint32_t *kind) {
        KVL_GATE(kRemote, path_of(handle));
        if (passthrough()) return base().remote(handle, drive, is_remote, kind);
        if (handle != 0 && !find(handle)) return KVL_WIN_INVALID_HANDLE;
        if (is_remote) *is_remote = 0;
        if (kind) *kind = 1;  // a disk file
        return ERR_NONE;
    }
#undef KVL_GATE

    FileLayerTable table_{};
};

}  // namespace kvl_test

#endif  // KVL_TESTS_SUPPORT_MEMORY_LAYER_H
