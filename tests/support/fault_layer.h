// fault_layer.h - a FileLayerTable for tests that wraps another layer (the
// in-memory one of memory_layer.h, or the built-in one) and
//   - records every lock call (flags, offset, length, budget),
//   - fails a chosen write: the n-th write, from now on, to one file,
//   - optionally refuses every open for writing, as a read-only medium or
//     a file without write permission does (even for root),
//   - optionally carries out relocks (lock flag bit 2) as an in-place
//     conversion, which the built-in layer refuses with 174.
//
// Like MemoryLayer it keeps its state in one process-wide store (table
// slots have no context argument): use one FaultLayer at a time.
//
//   kvl_test::MemoryLayer memory;
//   kvl_test::FaultLayer faults(memory.table());
//   data->file_layer = faults.table();
//   faults.fail_write("C.IX4", 1);   // the second write to C.IX4 fails
#ifndef KVL_TESTS_SUPPORT_FAULT_LAYER_H
#define KVL_TESTS_SUPPORT_FAULT_LAYER_H

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "engine/korval32.h"

namespace kvl_test {

struct LockCall {
    uint32_t flags;
    uint64_t offset;
    uint64_t length;
    uint32_t budget;
};

class FaultLayer {
public:
    // base: the layer to wrap; null wraps the built-in layer.
    explicit FaultLayer(const FileLayerTable *base = nullptr) {
        Store &s = store();
        s = Store{};
        if (base) {
            s.base = *base;
        } else {
            s.base.count = KVL_FILE_LAYER_ENTRIES;
            KvlGetVar(KVL_VAR_FILE_LAYER, reinterpret_cast<uint32_t *>(&s.base));
        }
        table_ = s.base;
        table_.open = &open;
        table_.close = &close;
        table_.write = &write;
        table_.lock = &lock;
    }
    ~FaultLayer() { store() = Store{}; }
    FaultLayer(const FaultLayer &) = delete;
    FaultLayer &operator=(const FaultLayer &) = delete;

    const FileLayerTable *table() const { return &table_; }

    // Lets `skip` writes to files whose path ends with `suffix` pass, then
    // fails the next one with `code` (once).
    void fail_write(const std::string &suffix, uint32_t skip = 0,
                    uint32_t code = KVL_WIN_DISK_FULL) {
        Store &s = store();
        s.fail_suffix = suffix;
        s.fail_skip = skip;
        s.fail_code = code;
        s.fail_armed = true;
    }
    bool write_failed() const { return store().fail_done; }
    // Writes so far to files whose path ends with suffix.
    uint32_t writes_to(const std::string &suffix) const {
        uint32_t n = 0;
        for (const auto &[path, count] : store().writes)
            if (ends_with(path, suffix)) n += count;
        return n;
    }

    // Fails every open that asks for write access with `code` (19 for a
    // write-protected medium, 5 for a file that may not be written); opens
    // for reading go through.
    void refuse_writable_opens(uint32_t code) { store().refuse_writable = code; }

    void convert_relocks(bool on) { store().convert = on; }
    const std::vector<LockCall> &locks() const { return store().locks; }
    void clear_locks() { store().locks.clear(); }

private:
    struct Store {
        FileLayerTable base{};
        std::map<uint32_t, std::string> paths;  // open handle -> path
        std::map<std::string, uint32_t> writes;
        std::vector<LockCall> locks;
        std::string fail_suffix;
        uint32_t fail_skip = 0;
        uint32_t fail_code = 0;
        bool fail_armed = false;
        bool fail_done = false;
        bool convert = false;
        uint32_t refuse_writable = 0;
    };

    static Store &store() {
        static Store instance;
        return instance;
    }
    static bool ends_with(const std::string &text, const std::string &suffix) {
        return text.size() >= suffix.size() &&
               text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
    }
    static const FileLayerTable *base() { return &store().base; }

    static uint32_t open(const char *path, uint32_t mode, uint32_t *handle) {
        if (store().refuse_writable != 0 && (mode & KVL_OPEN_ACCESS_MASK) != 0)
            return store().refuse_writable;
        uint32_t rc = base()->open(path, mode, handle);
        if (rc == ERR_NONE && path && handle) store().paths[*handle] = path;
        return rc;
    }
    static uint32_t close(uint32_t *handle) {
        const uint32_t was = handle ? *handle : 0;
        uint32_t rc = base()->close(handle);
        if (rc == ERR_NONE) store().paths.erase(was);
        return rc;
    }
    static uint32_t write(uint32_t handle, uint32_t *length, const void *buffer) {
        Store &s = store();
        const std::string &path = s.paths[handle];
        s.writes[path] += 1;
        if (s.fail_armed && ends_with(path, s.fail_suffix)) {
            if (s.fail_skip == 0) {
                s.fail_armed = false;
                s.fail_done = true;
                return s.fail_code;
            }
            --s.fail_skip;
        }
        return base()->write(handle, length, buffer);
    }
    static uint32_t lock(uint32_t handle, uint32_t flags, uint32_t *offset, uint32_t *length,
                         uint32_t budget) {
        Store &s = store();
        const bool wide = (flags & KVL_LOCK_64) != 0;
        const uint64_t at = wide ? (offset[0] | uint64_t{offset[1]} << 32) : offset[0];
        const uint64_t count = wide ? (length[0] | uint64_t{length[1]} << 32) : length[0];
        s.locks.push_back({flags, at, count, budget});
        // An OFD lock over a range the handle holds converts it in place.
        if (s.convert) flags &= ~KVL_LOCK_ATOMIC;
        return base()->lock(handle, flags, offset, length, budget);
    }

    FileLayerTable table_{};
};

}  // namespace kvl_test

#endif  // KVL_TESTS_SUPPORT_FAULT_LAYER_H
