// reindex.cc - KvlFuncIx4Reindex: rebuilds an open index from its data file.
//
// This file prepares the job (checks, work file, key expression, sizes),
// runs the three phases of reindex_job.h, writes the new header, and cleans
// up on every way out: the work file is closed and deleted (unless the
// handle keeps it), and the progress callback hears 0 once more.  A rebuild
// that fails leaves the index unusable until it is rebuilt again; its header
// in memory is not changed until the tree is complete, and the one on disk
// carries the changes-pending mark from before the first node is written,
// so the next open says so (8318).
#include "engine/index/key_compare.h"
#include "engine/index/reindex_job.h"

#include "engine/index/index_header.h"
#include "engine/index/slots.h"

namespace kvl::reindex {
namespace {

constexpr uint8_t kReindexMarkerIdle = 0;

bool known_sort_function(const IndexControlRecord *index) {
    uint32_t sort = index->header.flags & KVL_IX_SORT_MASK;
    if (sort >= KVL_SORT_BYTES && sort <= KVL_SORT_BY_TYPE) return true;
    // Custom orders need a compare of the caller's.
    return sort >= KVL_SORT_CUSTOM_FIRST && (index->compare || index->custom_compare);
}

uint32_t check_arguments(IndexControlRecord *index, const char *work_file, char *key_buffer,
                         uint32_t *record_number) {
    if (!index || !work_file || !key_buffer || !record_number) return ERR_NULL_PARAMETER;
    if (!index->data_link) return ERR_NO_DATA_LINK;
    if (index->data_link == KVL_NO_DATA_FILE) return ERR_DATA_LINK_INVALID;
    if (index->data_link->os_handle < 3 || index->os_handle < 3) return ERR_BAD_FILE_HANDLE;
    return ERR_NONE;
}

void set_limits(Job &job) {
    const IndexControlRecord *ix = job.index;
    job.reserve = ix->memory_reserve ? ix->memory_reserve : engine_var(KVL_VAR_REINDEX_RESERVE);
    job.ceiling = ix->memory_ceiling ? ix->memory_ceiling : engine_var(KVL_VAR_REINDEX_CEILING);
    job.allocation_ceiling =
        ix->allocation_ceiling ? ix->allocation_ceiling : engine_var(KVL_VAR_ALLOC_CEILING);
}

// Compiles the expression again and derives the key sizes and leaf fill.
uint32_t compile_expression(Job &job, uint32_t fill_percent) {
    IndexHeader &header = job.index->header;
    header.segment_count = 0;
    std::memset(header.segments, 0, sizeof header.segments);
    uint32_t rc = ix::expression_parser(job.index)(job.index, &header.key_length);
    if (rc != ERR_NONE) return rc;
    if (header.key_length == 0 || header.key_length > KVL_MAX_KEY_LENGTH) return ERR_KEY_TOO_LONG;
    job.key_length = header.key_length;
    job.entry_size = job.key_length + 4;
    job.node_size = header.node_size;
    uint32_t per_node = (job.node_size - 5) / (job.key_length + 8);
    header.keys_per_node = per_node > 255 ? 255 : per_node;
    job.keys_per_node = header.keys_per_node;
    uint32_t fill = job.keys_per_node;
    if (fill_percent != 0 && fill_percent < 100) {
        uint32_t percent = fill_percent < 50 ? 50 : fill_percent;
        fill = percent * job.keys_per_node / 100;
    }
    // A level of one-key nodes would give as many parents as children and
    // never reach a root: every node keeps at least two keys.
    job.leaf_fill = fill < 2 ? 2 : fill;
    return ERR_NONE;
}

uint32_t create_work_file(Job &job) {
    KvlDeleteFile(job.work_file_name, job.index_layer());
    return KvlCreateFile(job.work_file_name, job.index_layer());
}

uint32_t open_work_file(Job &job) {
    IndexControlRecord *ix = job.index;
    if (ix->work_file_handle) KvlCloseFile(&ix->work_file_handle, job.index_layer());
    job.work_file_end = 0;
    return KvlOpenFile(job.work_file_name, kWorkFileMode, &ix->work_file_handle,
                       job.index_layer());
}

// The new header fields, the file cut after the root, and the flush.
uint32_t finish(Job &job) {
    IndexControlRecord *ix = job.index;
    IndexHeader &header = ix->header;
    header.root = job.root;
    header.next_node = job.root + 1;
    header.key_count = job.keys_built;
    header.free_head = 0;
    ix->state &= ~(KVL_STATE_FILE_SHARED | KVL_STATE_HEADER_SHARED);
    ix->state |= KVL_STATE_CHANGED;
    ix->state &= ~KVL_STATE_TREE_SUSPECT;
    ix->buffered_node = KVL_NO_NODE;
    ix->current_node = 0;
    ix->current_slot = 0;
    ix->path_depth = 0;
    ix->position_flags = 0;
    uint32_t rc = truncate_at(job.index_layer(), ix->os_handle, 1024 + job.root * job.node_size);
    if (rc != ERR_NONE) return rc;
    return KvlIx4FlushHeader(ix);
}

uint32_t rebuild(Job &job, uint32_t fill_percent) {
    uint32_t rc = compile_expression(job, fill_percent);
    if (rc != ERR_NONE) return rc;
    if (!known_sort_function(job.index)) return ERR_SORT_FUNCTION;
    uint32_t compared = 0;
    const uint8_t *table = nullptr;
    if (!job.index->compare && ix::plain_byte_order(job.index->header, &compared, &table)) {
        job.byte_order = ByteOrder(job.index->header, compared, table);
        job.byte_order_known = true;
    }
    // The old tree is overwritten node by node: a rebuild cut short must
    // leave the file marked, never an old header over new nodes.
    rc = ix::mark_changes_pending(job.index);
    if (rc != ERR_NONE) return rc;
    job.index->state |= KVL_STATE_TREE_SUSPECT;  // until finish() completes the tree
    if (job.data->header.record_count != 0) {
        set_limits(job);
        ix::fill_highest_key(job.index, job.highest, 1);
        std::memset(job.previous, 0xFF, sizeof job.previous);
        if ((rc = open_work_file(job)) != ERR_NONE) return rc;
        if ((rc = build_runs(job)) != ERR_NONE) return rc;
        if ((rc = merge_runs_into_leaves(job)) != ERR_NONE) return rc;
        if ((rc = build_branch_levels(job)) != ERR_NONE) return rc;
    }
    return finish(job);
}

void clean_up(Job &job) {
    IndexControlRecord *ix = job.index;
    if (ix->work_file_handle) KvlCloseFile(&ix->work_file_handle, job.index_layer());
    if (!(ix->state & KVL_STATE_KEEP_WORK)) KvlDeleteFile(job.work_file_name, job.index_layer());
    ix->reindex_marker = kReindexMarkerIdle;
}

uint32_t run(IndexControlRecord *index, const char *work_file, uint32_t fill_percent,
             char *key_buffer, uint32_t *record_number) {
    uint32_t rc = check_arguments(index, work_file, key_buffer, record_number);
    if (rc != ERR_NONE) return rc;
    key_buffer[0] = '\0';
    *record_number = 0;
    index->memory_needed = 0;

    Job job;
    job.index = index;
    job.data = index->data_link;
    job.duplicate_key = key_buffer;
    job.duplicate_record = record_number;
    job.work_file_name = work_file;
    job.build_key = ix::key_builder(index);

    rc = job.progress(1);
    if (rc == ERR_NONE) rc = create_work_file(job);
    if (rc == ERR_NONE) rc = rebuild(job, fill_percent);
    clean_up(job);
    uint32_t last = job.progress(0);
    return rc != ERR_NONE ? rc : last;
}

}  // namespace
}  // namespace kvl::reindex

extern "C" KVL_API uint32_t KvlFuncIx4Reindex(IndexHandle index, const char *work_file,
                                              uint32_t fill_percent, char *key_buffer,
                                              uint32_t *record_number) {
    return kvl::guarded(
        [&] { return kvl::reindex::run(index, work_file, fill_percent, key_buffer, record_number); });
}
KVL_ALIAS(KvlFuncIx4Reindex)
