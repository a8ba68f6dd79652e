// append_buffer.cc - the import's block-gathering file layer (see the header).
#include "app/maint/append_buffer.h"

#include <cstring>

namespace ledgrove {
namespace {

constexpr std::size_t kBlock = std::size_t(1) << 20;

// The state of this thread's buffer.
struct State {
    FileLayerTable base{};     // the layer the data file was opened with
    std::uint32_t handle = 0;  // the data file's OS handle
    bool wide = false;         // positions travel as (low, high) pairs
    std::vector<char> block;   // bytes gathered, to go at `start`
    std::uint64_t start = 0;
    std::uint64_t appends_from = 0;  // the end of the records when the buffer began
    std::uint64_t position = 0;  // where the engine last positioned the file
    bool position_pending = false;  // not yet passed on to the base layer
    std::uint32_t failure = ERR_NONE;
};

thread_local State *active_state = nullptr;

std::uint64_t read_position(const std::uint32_t *p, bool wide) {
    return wide ? (std::uint64_t(p[1]) << 32 | p[0]) : p[0];
}

// Positions the base layer's file at `at`.
std::uint32_t seek_base(State &s, std::uint64_t at) {
    std::uint32_t words[2] = {static_cast<std::uint32_t>(at), static_cast<std::uint32_t>(at >> 32)};
    const std::uint32_t method = KVL_SEEK_SET | (s.wide ? KVL_SEEK_64 : 0u);
    return s.base.seek(s.handle, method, words);
}

// Writes the gathered block out; afterwards the base file's position is
// where the engine last put it.
std::uint32_t send(State &s) {
    if (s.failure != ERR_NONE) return s.failure;
    if (!s.block.empty()) {
        std::uint32_t rc = seek_base(s, s.start);
        std::uint32_t length = static_cast<std::uint32_t>(s.block.size());
        if (rc == ERR_NONE) rc = s.base.write(s.handle, &length, s.block.data());
        if (rc == ERR_NONE && length != s.block.size()) rc = KVL_WIN_HANDLE_DISK_FULL;
        s.block.clear();
        if (rc != ERR_NONE) return s.failure = rc;
        s.position_pending = true;
    }
    if (s.position_pending) {
        const std::uint32_t rc = seek_base(s, s.position);
        if (rc != ERR_NONE) return s.failure = rc;
        s.position_pending = false;
    }
    return ERR_NONE;
}

// The data file's calls: the block goes out first.
State *ours(std::uint32_t handle) {
    State *s = active_state;
    return s && s->handle == handle ? s : nullptr;
}

std::uint32_t layer_close(std::uint32_t *handle) {
    State *s = handle ? ours(*handle) : nullptr;
    const std::uint32_t rc = s ? send(*s) : ERR_NONE;
    const std::uint32_t closed = active_state->base.close(handle);
    return rc != ERR_NONE ? rc : closed;
}

std::uint32_t layer_read(std::uint32_t handle, std::uint32_t *length, void *buffer) {
    if (State *s = ours(handle)) {
        if (const std::uint32_t rc = send(*s); rc != ERR_NONE) return rc;
        return s->base.read(handle, length, buffer);
    }
    return active_state->base.read(handle, length, buffer);
}

std::uint32_t layer_seek(std::uint32_t handle, std::uint32_t method, std::uint32_t *position) {
    State *s = ours(handle);
    if (!s) return active_state->base.seek(handle, method, position);
    if ((method & ~KVL_SEEK_64) == KVL_SEEK_SET && position) {
        // A plain positioning is only noted: the write after it may
        // continue the block.
        if (s->failure != ERR_NONE) return s->failure;
        s->position = read_position(position, s->wide);
        s->position_pending = true;
        return ERR_NONE;
    }
    if (const std::uint32_t rc = send(*s); rc != ERR_NONE) return rc;
    return s->base.seek(handle, method, position);
}

std::uint32_t layer_write(std::uint32_t handle, std::uint32_t *length, const void *buffer) {
    State *s = ours(handle);
    if (!s) return active_state->base.write(handle, length, buffer);
    if (s->failure != ERR_NONE) return s->failure;
    const bool continues = s->block.empty() ? s->position >= s->appends_from
                                            : s->start + s->block.size() == s->position;
    if (s->position_pending && length && *length > 0 && continues) {
        if (s->block.size() + *length > kBlock) {
            if (const std::uint32_t rc = send(*s); rc != ERR_NONE) return rc;
            s->position_pending = true;  // the write still goes where it was put
        }
        if (s->block.empty()) s->start = s->position;
        const char *bytes = static_cast<const char *>(buffer);
        s->block.insert(s->block.end(), bytes, bytes + *length);
        s->position += *length;
        return ERR_NONE;
    }
    if (const std::uint32_t rc = send(*s); rc != ERR_NONE) return rc;
    return s->base.write(handle, length, buffer);
}

std::uint32_t layer_flush(std::uint32_t handle) {
    if (State *s = ours(handle)) {
        if (const std::uint32_t rc = send(*s); rc != ERR_NONE) return rc;
        return s->base.update_dir(handle);
    }
    return active_state->base.update_dir(handle);
}

std::uint32_t layer_lock(std::uint32_t handle, std::uint32_t flags, std::uint32_t *offset,
                         std::uint32_t *length, std::uint32_t budget) {
    if (State *s = ours(handle))
        if (const std::uint32_t rc = send(*s); rc != ERR_NONE) return rc;
    return active_state->base.lock(handle, flags, offset, length, budget);
}

// Calls on paths pass straight through.
std::uint32_t layer_create_dir(const char *path) { return active_state->base.create_dir(path); }
std::uint32_t layer_create_file(const char *path) { return active_state->base.create_file(path); }
std::uint32_t layer_delete_file(const char *path) { return active_state->base.delete_file(path); }
std::uint32_t layer_move_file(const char *from, const char *to) {
    return active_state->base.move_file(from, to);
}
std::uint32_t layer_open(const char *path, std::uint32_t mode, std::uint32_t *handle) {
    return active_state->base.open(path, mode, handle);
}
std::uint32_t layer_remote(std::uint32_t handle, std::uint32_t drive, std::uint32_t *remote,
                           std::uint32_t *kind) {
    return active_state->base.remote(handle, drive, remote, kind);
}

// The data file's layer with the built-in slot wherever it has none.
FileLayerTable complete_layer(const FileLayerTable *layer) {
    FileLayerTable builtin{};
    builtin.count = KVL_FILE_LAYER_ENTRIES;
    KvlGetVar(KVL_VAR_FILE_LAYER, reinterpret_cast<std::uint32_t *>(&builtin));
    if (!layer) return builtin;
    FileLayerTable t = *layer;
    auto fill = [](auto &slot, auto fallback) {
        if (!slot) slot = fallback;
    };
    fill(t.close, builtin.close);
    fill(t.create_dir, builtin.create_dir);
    fill(t.create_file, builtin.create_file);
    fill(t.delete_file, builtin.delete_file);
    fill(t.move_file, builtin.move_file);
    fill(t.open, builtin.open);
    fill(t.read, builtin.read);
    fill(t.seek, builtin.seek);
    fill(t.update_dir, builtin.update_dir);
    fill(t.write, builtin.write);
    fill(t.lock, builtin.lock);
    fill(t.remote, builtin.remote);
    return t;
}

}  // namespace

AppendBuffer::AppendBuffer(DataControlRecord *data)
    : data_(data), own_layer_(data ? data->file_layer : nullptr) {
    if (!data || active_state || data->os_handle == 0) return;
    // A caller's table without both seek and write is not one the engine
    // positions writes through; such a file keeps its own layer.
    if (own_layer_ && (!own_layer_->seek || !own_layer_->write)) return;
    auto *s = new State;
    s->base = complete_layer(own_layer_);
    s->handle = data->os_handle;
    s->appends_from = data->header.header_length +
                      std::uint64_t(data->header.record_count) * data->header.record_length;
    s->wide = own_layer_ && (own_layer_->flags & KVL_LAYER_64BIT);
    s->block.reserve(kBlock);
    active_state = s;
    table_ = FileLayerTable{KVL_FILE_LAYER_ENTRIES, own_layer_ ? own_layer_->flags : 0u,
                            &layer_close, &layer_create_dir, &layer_create_file,
                            &layer_delete_file, &layer_move_file, &layer_open, &layer_read,
                            &layer_seek, &layer_flush, &layer_write, &layer_lock, &layer_remote};
    data->file_layer = &table_;
    active_ = true;
}

AppendBuffer::~AppendBuffer() {
    if (!active_) return;
    flush();
    data_->file_layer = own_layer_;
    delete active_state;
    active_state = nullptr;
}

std::uint32_t AppendBuffer::flush() { return active_ ? send(*active_state) : ERR_NONE; }

std::uint32_t AppendBuffer::failure() const {
    return active_ ? active_state->failure : ERR_NONE;
}

}  // namespace ledgrove
