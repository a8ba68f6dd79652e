// korval32_control.h - owners of korval32 control records for C++ callers.
//
// The C interface leaves a handle's memory to the caller: allocate
// KVL_DATA_CONTROL_SIZE / KVL_INDEX_CONTROL_SIZE bytes, zero them, set the
// fields marked "caller", and close the file before the memory goes.
// DataControl and IndexControl do the allocating, zeroing and closing; the
// caller still sets its own fields through operator-> before the open.
//
//   korval32::DataControl data(field_capacity);  // field_count preset
//   data->file_name = path;
//   data->open_mode = 0x42;
//   uint32_t rc = KvlDataOpenFile(data.get(), 0);
//
// A record stays at one address for its whole life, moves included, so an
// index's data_link may point into a DataControl that is later moved.  An
// index close may still read its data file's record: declare the
// DataControl before the IndexControls linked to it, so that they go first.
#ifndef KORVAL32_CONTROL_H
#define KORVAL32_CONTROL_H

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <new>
#include <utility>

#include "engine/korval32.h"

namespace korval32 {
namespace detail {

template <class Record, uint32_t (*Close)(Record *)>
class OwnedControl {
public:
    OwnedControl() noexcept = default;
    OwnedControl(OwnedControl &&other) noexcept
        : record_(std::exchange(other.record_, nullptr)) {}
    OwnedControl &operator=(OwnedControl &&other) noexcept {
        if (this != &other) {
            drop();
            record_ = std::exchange(other.record_, nullptr);
        }
        return *this;
    }
    OwnedControl(const OwnedControl &) = delete;
    OwnedControl &operator=(const OwnedControl &) = delete;
    ~OwnedControl() { drop(); }

    Record *get() const noexcept { return record_; }
    Record *operator->() const noexcept { return record_; }
    bool empty() const noexcept { return record_ == nullptr; }
    // The engine sets the OS handle on an open and clears it on a close.
    bool is_open() const noexcept { return record_ && record_->os_handle != 0; }

    // Closes the file if it is open and frees the record, whatever the
    // close returned: one attempt, whose result is the caller's to judge.
    // ERR_NONE when there was nothing to close.
    uint32_t close() noexcept {
        const uint32_t rc = is_open() ? Close(record_) : ERR_NONE;
        std::free(std::exchange(record_, nullptr));
        return rc;
    }

protected:
    // calloc: zero-filled, and aligned for any fundamental type, which
    // covers the records' pointers and 32-bit words.
    explicit OwnedControl(std::size_t size) : record_(static_cast<Record *>(std::calloc(1, size))) {
        static_assert(alignof(Record) <= alignof(std::max_align_t));
        if (!record_) throw std::bad_alloc();
    }

private:
    // A destructor has no one to hand a result to: it is dropped.
    void drop() noexcept {
        if (is_open()) Close(record_);
        std::free(std::exchange(record_, nullptr));
    }

    Record *record_ = nullptr;
};

}  // namespace detail

// A data file's control record with room for `field_capacity` field
// descriptors; field_count starts at that capacity, as the open expects.
class DataControl : public detail::OwnedControl<DataControlRecord, KvlDataCloseFile> {
public:
    DataControl() noexcept = default;
    explicit DataControl(uint32_t field_capacity)
        : OwnedControl(KVL_DATA_CONTROL_SIZE(field_capacity)) {
        get()->field_count = field_capacity;
    }
};

// An index file's control record with a node buffer of `node_size` bytes;
// header.node_size starts at that size, as the open expects.
class IndexControl : public detail::OwnedControl<IndexControlRecord, KvlIx4CloseFile> {
public:
    IndexControl() noexcept = default;
    explicit IndexControl(uint32_t node_size) : OwnedControl(KVL_INDEX_CONTROL_SIZE(node_size)) {
        get()->header.node_size = node_size;
    }
};

}  // namespace korval32

#endif  // KORVAL32_CONTROL_H
