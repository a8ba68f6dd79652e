// append_buffer.h - the import's appends gathered in memory and written to
// the data file in blocks of 1 MiB, instead of one system call per record.
//
// While an AppendBuffer lives, the data file's control record reads and
// writes through the buffer's own file-layer table, which stands in front
// of the layer the file was opened with (the set's, or the built-in one):
// a write past the records the file held when the buffer began, or one that
// continues the block being gathered, is copied into the block; every
// other call on the data file (a read, a seek that is not a plain
// positioning, a write elsewhere, a cut, a sync, a lock, a close) first
// writes the block out, so the file sees the same bytes in the same order
// as without the buffer, only in fewer writes.  The engine's appends are
// thus unchanged: the first one after a flush still puts the unfinished
// mark on disk (a write elsewhere, which sends the block ahead of it), and
// the import's closing flush (a sync first) sends the last block before the
// count moves.
//
// A block that fails to go out (a full disk) fails the call that sent it
// and every later call on the data file; failure() keeps the first.  The
// import then fails as a whole and takes its records back (import.cc).
// The table's slots have no context, so the buffer keeps its state in a
// per-thread slot: one buffer per thread at a time.
#ifndef LEDGROVE_APP_MAINT_APPEND_BUFFER_H
#define LEDGROVE_APP_MAINT_APPEND_BUFFER_H

#include <cstdint>
#include <vector>

#include "engine/korval32.h"

namespace ledgrove {

class AppendBuffer {
public:
    // Puts the buffer in front of the data file's layer; does nothing when
    // another buffer is active on this thread (active() then says false).
    explicit AppendBuffer(DataControlRecord *data);
    // Writes out what is held (errors kept in failure()) and gives the data
    // file its own layer back.
    ~AppendBuffer();
    AppendBuffer(const AppendBuffer &) = delete;
    AppendBuffer &operator=(const AppendBuffer &) = delete;

    bool active() const { return active_; }
    // Writes out the block held so far; the first failure of any block.
    std::uint32_t flush();
    std::uint32_t failure() const;

private:
    DataControlRecord *data_;
    const FileLayerTable *own_layer_;
    FileLayerTable table_{};
    bool active_ = false;
};

}  // namespace ledgrove

#endif  // LEDGROVE_APP_MAINT_APPEND_BUFFER_H
