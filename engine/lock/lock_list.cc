// lock_list.cc - locking and unlocking a list of files in one call
// (KvlLockEx, KvlUnlockEx).
//
// Each LockRequest names a data file (its records, or the whole file with
// record 0) or an index (the whole index, and with flag bit 7 also the
// records of the index's data file).  A checking pass looks at every node
// before any lock is touched; the working pass then goes in list order and
// stops at the first failure.  KvlLockEx gives back, newest first, every
// lock it took; KvlUnlockEx does not undo anything.  Each node's state
// word tells which of its locks the call holds (lock) or gave up (unlock).
#include "engine/core/internal.h"
#include "engine/lock/locks.h"
#include "engine/lock/request_list.h"

namespace kvl {
namespace {

constexpr uint32_t kDataDone = 0x01;   // state: the node's data lock
constexpr uint32_t kIndexDone = 0x02;  // state: the node's index lock

// Both control records begin with the kind word; bit 0 marks a data record.
bool is_data_node(const LockRequest *node) {
    return (*static_cast<const uint32_t *>(node->control) & KVL_KIND_DATA) != 0;
}

bool with_data(const LockRequest *node) { return (node->flags & KVL_LOCKREQ_WITH_DATA) != 0; }

IndexControlRecord *node_index(const LockRequest *node) {
    return is_data_node(node) ? nullptr : static_cast<IndexControlRecord *>(node->control);
}

// The data file whose records the node locks, if any.
DataControlRecord *node_data(const LockRequest *node) {
    if (is_data_node(node)) return static_cast<DataControlRecord *>(node->control);
    return with_data(node) ? node_index(node)->data_link : nullptr;
}

uint32_t check_node(const LockRequest *node) {
    if (!node->control) return ERR_NULL_PARAMETER;
    if (is_data_node(node)) {
        if (static_cast<const DataControlRecord *>(node->control)->os_handle == 0)
            return ERR_FILE_NOT_OPEN;
        return with_data(node) ? ERR_WRONG_FILE_KIND : ERR_NONE;
    }
    const IndexControlRecord *index = node_index(node);
    if (with_data(node)) {
        const DataControlRecord *data = index->data_link;
        if (!data) return ERR_NULL_PARAMETER;
        if (data == KVL_NO_DATA_FILE) return ERR_DATA_LINK_INVALID;
        if (data->os_handle == 0) return ERR_FILE_NOT_OPEN;
        if (!(data->kind & KVL_KIND_DATA)) return ERR_WRONG_FILE_KIND;
    }
    return index->os_handle == 0 ? ERR_FILE_NOT_OPEN : ERR_NONE;
}

// The checking pass: back links and states set, every node checked.  The
// number of nodes goes to *count; a failure names its node in *failed.
uint32_t check_list(LockRequest *first, uint32_t *failed, uint32_t *count) {
    if (uint32_t looping = looping_node(first)) {
        *failed = looping;
        return ERR_BAD_LIST_END;
    }
    LockRequest *previous = nullptr;
    uint32_t position = 0;
    for (LockRequest *node = first; node; node = follow(node)) {
        ++position;
        node->previous = previous;
        node->state = 0;
        if (uint32_t rc = check_node(node)) {
            *failed = position;
            return rc;
        }
        previous = node;
    }
    *count = position;
    return ERR_NONE;
}

uint32_t lock_node(LockRequest *node, uint32_t time_budget) {
    IndexControlRecord *index = node_index(node);
    if (index) {
        if (uint32_t rc = lock_index(index, node->mode, time_budget)) return rc;
        node->state |= kIndexDone;
    }
    DataControlRecord *data = node_data(node);
    if (!data) return ERR_NONE;
    uint32_t rc = lock_data_records(data, node->mode, node->first_record, node->record_count,
                                    time_budget);
    if (rc != ERR_NONE) {
        if (index && unlock_index(index) == ERR_NONE) node->state &= ~kIndexDone;
        return rc;
    }
    node->state |= kDataDone;
    return ERR_NONE;
}

uint32_t unlock_node(LockRequest *node) {
    if (IndexControlRecord *index = node_index(node)) {
        if (uint32_t rc = unlock_index(index)) return rc;
        node->state |= kIndexDone;
    }
    DataControlRecord *data = node_data(node);
    if (!data) return ERR_NONE;
    if (uint32_t rc = unlock_data_records(data, node->first_record, node->record_count))
        return rc;
    node->state |= kDataDone;
    return ERR_NONE;
}

// Gives up the locks of this node and every node before it, newest first;
// a lock whose unlock fails keeps its state bit.
void roll_back(LockRequest *node) {
    for (; node; node = node->previous) {
        if ((node->state & kDataDone) &&
            unlock_data_records(node_data(node), node->first_record, node->record_count) ==
                ERR_NONE)
            node->state &= ~kDataDone;
        if ((node->state & kIndexDone) && unlock_index(node_index(node)) == ERR_NONE)
            node->state &= ~kIndexDone;
    }
}

// The working pass over the checked nodes; on failure *stopped is the node
// that failed and *failed its position.
uint32_t work_list(LockRequest *first, uint32_t count, bool unlock, uint32_t time_budget,
                   uint32_t *failed, LockRequest **stopped) {
    LockRequest *node = first;
    for (uint32_t position = 1; position <= count; ++position, node = follow(node)) {
        uint32_t rc = unlock ? unlock_node(node) : lock_node(node, time_budget);
        if (rc == ERR_NONE && is_bad_link(node->next)) rc = ERR_BAD_LIST_END;
        if (rc != ERR_NONE) {
            *failed = position;
            *stopped = node;
            return rc;
        }
    }
    return ERR_NONE;
}

uint32_t lock_list(LockRequest *first, uint32_t *failed, uint32_t time_budget) {
    if (!first || !failed) return ERR_NULL_PARAMETER;
    *failed = 0;
    uint32_t count = 0;
    if (uint32_t rc = check_list(first, failed, &count)) return rc;
    LockRequest *stopped = nullptr;
    const uint32_t rc = work_list(first, count, false, time_budget, failed, &stopped);
    // After 8387 the failing node holds its locks; otherwise it holds none.
    if (rc != ERR_NONE) roll_back(rc == ERR_BAD_LIST_END ? stopped : stopped->previous);
    return rc;
}

uint32_t unlock_list(LockRequest *first, uint32_t *failed) {
    if (!first || !failed) return ERR_NULL_PARAMETER;
    *failed = 0;
    uint32_t count = 0;
    if (uint32_t rc = check_list(first, failed, &count)) return rc;
    LockRequest *stopped = nullptr;
    return work_list(first, count, true, 0, failed, &stopped);
}

}  // namespace
}  // namespace kvl

extern "C" {

KVL_API uint32_t KvlLockEx(LockRequest *first, uint32_t *failed_node, uint32_t time_budget) {
    return kvl::guarded([&] { return kvl::lock_list(first, failed_node, time_budget); });
}
KVL_ALIAS(KvlLockEx)

KVL_API uint32_t KvlUnlockEx(LockRequest *first, uint32_t *failed_node) {
    return kvl::guarded([&] { return kvl::unlock_list(first, failed_node); });
}
KVL_ALIAS(KvlUnlockEx)

}  // extern "C"
