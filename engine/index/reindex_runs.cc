// reindex_runs.cc - phase 1 of a rebuild: sorted runs in the work file.
//
// Records are read in batches of B; each record's key and record number
// become one entry.  A run holds S = B x (batches per run) entries; it is
// sorted in memory (by the handle's run sort, or the built-in quicksort of
// reindex_quicksort.h), padded with highest entries to S, and appended to
// the work file, so run r starts at r x S x (L + 4).  Records the key
// builder filters out (8610) get no entry; a run that ends up empty is not
// written.
#include <algorithm>

#include "engine/index/reindex_job.h"
#include "engine/index/reindex_quicksort.h"

namespace kvl::reindex {
namespace {

constexpr uint8_t kReindexMarker = 'U';

struct RunBuffers {
    MemBlock keys;     // entries of the run being built
    MemBlock records;  // one batch of records
    uint32_t batch = 0;          // B
    uint32_t run_capacity = 0;   // S
};

uint32_t size_buffers(Job &job, RunBuffers &buffers) {
    const uint32_t record_length = job.data->header.record_length;
    const uint32_t record_count = job.data->header.record_count;
    uint32_t usable = job.usable_memory();
    if (usable == 0) return KVL_WIN_NOT_ENOUGH_MEMORY;
    if (usable < record_length + 4096) {
        job.need_memory(record_length + 4096);
        return KVL_WIN_NOT_ENOUGH_MEMORY;
    }
    uint32_t key_bytes = std::min(static_cast<uint32_t>(uint64_t{usable} * 2 / 3),
                                  job.allocation_ceiling);
    uint32_t record_bytes = key_bytes / 2;
    job.index->memory_needed = key_bytes + record_bytes;
    uint32_t rc = buffers.keys.allocate(job.heap(), key_bytes, false);
    if (rc == ERR_NONE) rc = buffers.records.allocate(job.heap(), record_bytes, false);
    if (rc != ERR_NONE) return rc;

    uint32_t batch = std::min(record_bytes / record_length, record_count);
    uint32_t capacity = std::min(key_bytes / 2 / job.entry_size, record_count);
    // Where entries are longer than records a run holds fewer entries than
    // a batch has records: the batch shrinks to the run rather than refuse.
    batch = std::min(batch, capacity);
    if (batch == 0) return ERR_REINDEX_BUFFER;
    buffers.batch = batch;
    job.run_size = batch * (capacity / batch);
    uint64_t runs = (uint64_t{record_count} + job.run_size - 1) / job.run_size;
    if (runs >= 65536) return ERR_REINDEX_RUNS;
    return ERR_NONE;
}

// The built-in sort, the faster way where the keys allow it.
uint32_t sort_built_in(IndexControlRecord *ix, uint8_t *entries, uint32_t count) {
    uint32_t rc = ERR_NONE;
    if (sort_run_as_bytes(ix, entries, count, &rc)) return rc;
    return sort_run(ix, entries, count);
}

// Sorts, pads and appends one run of `count` entries.
uint32_t write_run(Job &job, uint8_t *entries, uint32_t count) {
    IndexControlRecord *ix = job.index;
    uint32_t rc = ix->run_sort ? ix->run_sort(ix, entries, count)
                               : sort_built_in(ix, entries, count);
    if (rc != ERR_NONE) return rc;
    for (uint32_t i = count; i < job.run_size; ++i)
        std::memcpy(entries + i * job.entry_size, job.highest, job.entry_size);
    uint32_t bytes = job.run_size * job.entry_size;
    rc = write_at(job.index_layer(), ix->work_file_handle, entries, bytes, job.work_file_end);
    if (rc != ERR_NONE) return rc;
    job.work_file_end += bytes;
    ++job.runs_written;
    return ERR_NONE;
}

// Builds the entries of one batch of records into the run buffer.
uint32_t build_batch(Job &job, uint8_t *records, uint32_t count, uint32_t first_record,
                     uint8_t *entries, uint32_t *run_count) {
    const uint32_t record_length = job.data->header.record_length;
    for (uint32_t i = 0; i < count; ++i) {
        uint8_t *entry = entries + *run_count * job.entry_size;
        job.index->reindex_marker = kReindexMarker;
        uint32_t rc = job.build_key(job.index, records + i * record_length, entry);
        if (rc == ERR_RECORD_FILTERED) continue;
        if (rc != ERR_NONE) return rc;
        uint32_t record_number = first_record + i;
        std::memcpy(entry + job.key_length, &record_number, 4);
        ++*run_count;
        ++job.keys_built;
    }
    return ERR_NONE;
}

}  // namespace

uint32_t build_runs(Job &job) {
    RunBuffers buffers;
    uint32_t rc = size_buffers(job, buffers);
    if (rc != ERR_NONE) return rc;

    const DbfHeader &header = job.data->header;
    const uint32_t batches_per_run = job.run_size / buffers.batch;
    uint8_t *entries = buffers.keys.get();
    uint32_t done = 0, run_count = 0, batches_in_run = 0;
    while (done < header.record_count) {
        uint32_t count = std::min(buffers.batch, header.record_count - done);
        uint32_t offset = header.header_length + done * header.record_length;
        if (!job.below_lock_region(offset)) return ERR_FILE_LIMIT;
        rc = read_at(job.data_layer(), job.data->os_handle, buffers.records.get(),
                     count * header.record_length, offset);
        if (rc != ERR_NONE) return rc;
        rc = build_batch(job, buffers.records.get(), count, done + 1, entries, &run_count);
        if (rc != ERR_NONE) return rc;
        done += count;
        bool last = done == header.record_count;
        if ((++batches_in_run == batches_per_run || last) && run_count > 0) {
            if ((rc = write_run(job, entries, run_count)) != ERR_NONE) return rc;
            run_count = 0;
            batches_in_run = 0;
        } else if (batches_in_run == batches_per_run) {
            batches_in_run = 0;
        }
        if (!last) {
            uint64_t percent = uint64_t{done} * 19 / header.record_count;
            if ((rc = job.progress(percent < 1 ? 1 : static_cast<uint32_t>(percent))) != ERR_NONE)
                return rc;
        }
    }
    job.index->progress = 20;
    return ERR_NONE;
}

// The built-in run sort under the handle's compare (flag 1).
uint32_t sort_run(IndexControlRecord *index, void *entries, uint32_t count) {
    const uint32_t size = index->header.key_length + 4;
    return quicksort_entries(index, static_cast<uint8_t *>(entries), size, count,
                             [index](const uint8_t *a, const uint8_t *b) {
                                 return ix::compare_keys(index, a, b, 1) < 0;
                             });
}

}  // namespace kvl::reindex
