// reindex_branches.cc - phase 3 of a rebuild: the branch levels.
//
// Levels are built bottom-up while the level just written has more than one
// node.  Every node of the level gives its last key (with its record
// number) to the parent level: the key goes up with the giving node as the
// child in front of it, or, when the node held only that key, with the
// node's own child 0 (the emptied node stays in the file, unreferenced).  A
// parent holds F keys; when another key arrives it points its last child at
// the next parent and is written.  The level's nodes are read, changed and
// written back in chunks of the input buffer.
#include <algorithm>

#include "engine/index/reindex_job.h"

namespace kvl::reindex {
namespace {

constexpr uint32_t kSmallInput = 6144;
constexpr uint32_t kLargeInput = 12288;
constexpr uint32_t kMinimumExtra = 7168;   // node size + this is the least memory
constexpr uint32_t kLargeInputAbove = 13312;

class LevelBuilder {
public:
    explicit LevelBuilder(Job &job) : job_(job) {}

    uint32_t run() {
        uint32_t rc = allocate();
        if (rc != ERR_NONE) return rc;
        uint32_t first = 1, last = job_.leaves;
        if (last == 0) {
            job_.root = 0;
            return ERR_NONE;
        }
        progress_total_ = std::max<uint32_t>(
            1, (job_.keys_built + job_.leaf_fill - 2) / (job_.leaf_fill - 1));
        while (last > first) {
            uint32_t next_first = last + 1;
            if ((rc = build_level(first, last)) != ERR_NONE) return rc;
            first = next_first;
            last = parent_;
        }
        job_.root = first;
        return ERR_NONE;
    }

private:
    Job &job_;
    MemBlock parent_node_, input_;
    uint32_t chunk_nodes_ = 0;
    uint32_t parent_ = 0;        // number of the parent being built
    uint32_t parent_count_ = 0;  // keys in it
    uint32_t processed_ = 0, progress_total_ = 1;

    uint32_t allocate() {
        const uint32_t ns = job_.node_size;
        uint32_t usable = job_.usable_memory();
        if (usable < ns + kMinimumExtra) {
            job_.need_memory(ns + kMinimumExtra);
            return KVL_WIN_NOT_ENOUGH_MEMORY;
        }
        uint32_t input_bytes = usable > ns + kLargeInputAbove ? kLargeInput : kSmallInput;
        uint32_t rc = parent_node_.allocate(job_.heap(), ns);
        if (rc == ERR_NONE) rc = input_.allocate(job_.heap(), input_bytes);
        chunk_nodes_ = input_bytes / ns;  // at least 2: nodes are at most 2560 bytes
        return rc;
    }

    uint32_t write_node(uint32_t node, const uint8_t *bytes, uint32_t count) {
        uint32_t offset = job_.node_offset(node);
        if (!job_.below_lock_region(offset + (count - 1) * job_.node_size)) return ERR_FILE_LIMIT;
        return write_at(job_.index_layer(), job_.index->os_handle, bytes, count * job_.node_size,
                        offset);
    }

    // Adds one key (entry of L + 4 bytes) to the parent level.
    uint32_t add_to_parent(const uint8_t *entry, uint32_t child_in_front) {
        const uint32_t key_length = job_.key_length;
        uint8_t *parent = parent_node_.get();
        if (parent_count_ == job_.leaf_fill) {
            parent[0] = static_cast<uint8_t>(parent_count_);
            uint32_t next = parent_ + 1;
            std::memcpy(node_child_before(parent, parent_count_, key_length), &next, 4);
            uint32_t rc = write_node(parent_, parent, 1);
            if (rc != ERR_NONE) return rc;
            std::memset(parent, 0, job_.node_size);
            parent_ = next;
            parent_count_ = 0;
        }
        std::memcpy(node_child_before(parent, parent_count_, key_length), &child_in_front, 4);
        std::memcpy(node_entry(parent, parent_count_, key_length), entry, job_.entry_size);
        ++parent_count_;
        return ERR_NONE;
    }

    // Takes the last key out of one node of the level.
    uint32_t give_last_key(uint8_t *node, uint32_t number) {
        const uint32_t key_length = job_.key_length;
        uint32_t count = node[0];
        if (count == 0 || count > job_.keys_per_node) return ERR_BAD_NODE;
        uint32_t slot = count - 1;
        uint8_t entry[KVL_MAX_KEY_LENGTH + 4];
        std::memcpy(entry, node_entry(node, slot, key_length), job_.entry_size);
        uint32_t child_in_front = number;
        if (slot == 0) std::memcpy(&child_in_front, node + 1, 4);
        uint8_t *removed = node_entry(node, slot, key_length);
        std::memset(removed, 0, job_.node_size - static_cast<uint32_t>(removed - node));
        node[0] = static_cast<uint8_t>(slot);
        return add_to_parent(entry, child_in_front);
    }

    uint32_t build_level(uint32_t first, uint32_t last) {
        parent_ = last + 1;
        parent_count_ = 0;
        std::memset(parent_node_.get(), 0, job_.node_size);
        for (uint32_t chunk = first; chunk <= last; chunk += chunk_nodes_) {
            uint32_t count = std::min(chunk_nodes_, last - chunk + 1);
            uint32_t offset = job_.node_offset(chunk);
            if (!job_.below_lock_region(offset)) return ERR_FILE_LIMIT;
            uint32_t rc = read_at(job_.index_layer(), job_.index->os_handle, input_.get(),
                                  count * job_.node_size, offset);
            if (rc != ERR_NONE) return rc;
            for (uint32_t i = 0; i < count; ++i) {
                uint8_t *node = input_.get() + i * job_.node_size;
                if ((rc = give_last_key(node, chunk + i)) != ERR_NONE) return rc;
                ++processed_;
                uint32_t percent = 90 + static_cast<uint32_t>(uint64_t{9} * processed_ /
                                                              progress_total_);
                if ((rc = job_.progress(std::min(percent, 99u))) != ERR_NONE) return rc;
            }
            if ((rc = write_node(chunk, input_.get(), count)) != ERR_NONE) return rc;
        }
        // The partial parent: its count, and zeros from the child after its
        // last key on.
        uint8_t *parent = parent_node_.get();
        parent[0] = static_cast<uint8_t>(parent_count_);
        uint8_t *tail = node_child_before(parent, parent_count_, job_.key_length);
        std::memset(tail, 0, job_.node_size - static_cast<uint32_t>(tail - parent));
        return write_node(parent_, parent, 1);
    }
};

}  // namespace

uint32_t build_branch_levels(Job &job) {
    LevelBuilder builder(job);
    return builder.run();
}

}  // namespace kvl::reindex
