// countdown_layer.h - a FileLayerTable for tests that wraps another layer
// (usually the in-memory one of memory_layer.h) and makes its N-th call
// fail with a chosen OS error: once, or that call and every one after it
// (a disk that has gone away).
//
// Every slot call counts, or only those of the operations named in the
// mask, so a test can walk N = 1, 2, 3, ... through a whole operation:
// after the run, calls() tells how many counted calls it made, and once N
// passes that number the operation ran without a failure.
//
// A failed read reports 0 bytes; a failed write, seek, lock or flush
// changes nothing in the wrapped layer; a failed close leaves the handle
// open, as the built-in layer does.  Like MemoryLayer it keeps its state
// in one process-wide store (table slots have no context argument): use
// one CountDownLayer at a time.
//
//   kvl_test::MemoryLayer memory;
//   kvl_test::CountDownLayer faults(memory.table());
//   faults.arm(7, KVL_WIN_DISK_FULL, kvl_test::CountDownLayer::Mode::Once);
//   data->file_layer = faults.table();
#ifndef KVL_TESTS_SUPPORT_COUNTDOWN_LAYER_H
#define KVL_TESTS_SUPPORT_COUNTDOWN_LAYER_H

#include <cstdint>

#include "engine/korval32.h"

namespace kvl_test {

class CountDownLayer {
public:
    enum class Mode { Once, FromThenOn };

    // One bit per slot, for the mask of counted operations.
    enum Op : uint32_t {
        kClose = 1u << 0,
        kCreateDir = 1u << 1,
        kCreate = 1u << 2,
        kDelete = 1u << 3,
        kMove = 1u << 4,
        kOpen = 1u << 5,
        kRead = 1u << 6,
        kSeek = 1u << 7,
        kFlush = 1u << 8,
        kWrite = 1u << 9,
        kLock = 1u << 10,
        kRemote = 1u << 11,
        kAll = (1u << 12) - 1,
    };

    explicit CountDownLayer(const FileLayerTable *base) {
        Store &s = store();
        s = Store{};
        s.base = *base;
        table_ = FileLayerTable{base->count, base->flags, &close,  &create_dir, &create_file,
                                &delete_file, &move_file,  &open,  &read,       &seek,
                                &update_dir, &write,       &lock,  &remote};
    }
    ~CountDownLayer() { store() = Store{}; }
    CountDownLayer(const CountDownLayer &) = delete;
    CountDownLayer &operator=(const CountDownLayer &) = delete;

    const FileLayerTable *table() const { return &table_; }

    // The n-th counted call from now (n >= 1) fails with `code`; with
    // FromThenOn every counted call after it fails too.  Resets the count.
    void arm(uint64_t n, uint32_t code, Mode mode, uint32_t ops = kAll) {
        Store &s = store();
        s.calls = 0;
        s.fail_at = n;
        s.code = code;
        s.mode = mode;
        s.ops = ops;
        s.failures = 0;
    }
    // Counting goes on, nothing fails any more.
    void disarm() { store().fail_at = 0; }

    uint64_t calls() const { return store().calls; }
    uint64_t failures() const { return store().failures; }
    bool fired() const { return store().failures != 0; }

private:
    struct Store {
        FileLayerTable base{};
        uint64_t calls = 0;
        uint64_t fail_at = 0;  // 0: never
        uint32_t code = 0;
        Mode mode = Mode::Once;
        uint32_t ops = kAll;
        uint64_t failures = 0;
    };

    static Store &store() {
        static Store instance;
        return instance;
    }
    static const FileLayerTable &base() { return store().base; }

    // Counts the call; true when it is to fail.
    static bool fails(Op op) {
        Store &s = store();
        if (!(s.ops & op)) return false;
        ++s.calls;
        if (s.fail_at == 0) return false;
        const bool hit = s.calls == s.fail_at || (s.mode == Mode::FromThenOn && s.calls > s.fail_at);
        if (hit) ++s.failures;
        return hit;
    }

    static uint32_t close(uint32_t *handle) {
        return fails(kClose) ? store().code : base().close(handle);
    }
    static uint32_t create_dir(const char *path) {
        return fails(kCreateDir) ? store().code : base().create_dir(path);
    }
    static uint32_t create_file(const char *path) {
        return fails(kCreate) ? store().code : base().create_file(path);
    }
    static uint32_t delete_file(const char *path) {
        return fails(kDelete) ? store().code : base().delete_file(path);
    }
    static uint32_t move_file(const char *from, const char *to) {
        return fails(kMove) ? store().code : base().move_file(from, to);
    }
    static uint32_t open(const char *path, uint32_t mode, uint32_t *handle) {
        return fails(kOpen) ? store().code : base().open(path, mode, handle);
    }
    static uint32_t read(uint32_t handle, uint32_t *length, void *buffer) {
        if (fails(kRead)) {
            if (length) *length = 0;
            return store().code;
        }
        return base().read(handle, length, buffer);
    }
    static uint32_t seek(uint32_t handle, uint32_t method, uint32_t *position) {
        return fails(kSeek) ? store().code : base().seek(handle, method, position);
    }
    static uint32_t update_dir(uint32_t handle) {
        return fails(kFlush) ? store().code : base().update_dir(handle);
    }
    static uint32_t write(uint32_t handle, uint32_t *length, const void *buffer) {
        return fails(kWrite) ? store().code : base().write(handle, length, buffer);
    }
    static uint32_t lock(uint32_t handle, uint32_t flags, uint32_t *offset, uint32_t *length,
                         uint32_t budget) {
        return fails(kLock) ? store().code : base().lock(handle, flags, offset, length, budget);
    }
    static uint32_t remote(uint32_t handle, uint32_t drive, uint32_t *is_remote, uint32_t *kind) {
        return fails(kRemote) ? store().code : base().remote(handle, drive, is_remote, kind);
    }

    FileLayerTable table_{};
};

}  // namespace kvl_test

#endif  // KVL_TESTS_SUPPORT_COUNTDOWN_LAYER_H
