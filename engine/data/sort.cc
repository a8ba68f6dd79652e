// sort.cc - sorting a data file (KvlDataSort): a new file with the records
// that have keys in an index of the file, in key order (ties as the index
// orders them).  Records the index leaves out (its tag filter) are not
// copied; records tagged deleted are, when they have keys.  The source and
// the index are left untouched.
//
// A file with memos gets its memos copied as a pack copies them: the new
// file keeps the memo bits of its version byte, gets a memo file of its
// own, and its records refer to the copies, so that it is usable on its
// own once it replaces the source.
#include "engine/data/data_rewrite.h"

namespace kvl {
namespace {

// The index control record: node size from the file, linked to the source.
class SortIndex {
public:
    uint32_t open(const char *name, DataRewrite &work) {
        IndexHeader head{};
        uint32_t rc = KvlIx4InfoFile(name, KVL_OPEN_REWRITE_MODE, &head, work.layer());
        if (rc != ERR_NONE) return rc;
        const uint64_t size = KVL_INDEX_CONTROL_SIZE(head.node_size);
        if (size > UINT32_MAX) return ERR_NODE_SIZE;
        rc = block_.allocate(work.heap_kind(), static_cast<uint32_t>(size));
        if (rc != ERR_NONE) return rc;
        IndexControlRecord *index = get();
        index->header.node_size = head.node_size;
        index->data_link = work.source();
        index->file_name = name;
        index->open_mode = KVL_OPEN_REWRITE_MODE;
        index->heap_kind = work.heap_kind();
        index->file_layer = work.layer();
        // An index whose changes were never flushed (8318) may not hold
        // every key: it is rebuilt first, not sorted by.
        return KvlIx4OpenFile(index, 0);
    }
    uint32_t close() {
        return block_ && get()->os_handle != 0 ? KvlIx4CloseFile(get()) : ERR_NONE;
    }
    ~SortIndex() { close(); }
    IndexControlRecord *get() { return block_.get<IndexControlRecord>(); }

private:
    MemBlock block_;
};

bool is_end(uint32_t rc) { return rc == ERR_END_OF_INDEX || rc == ERR_EMPTY_INDEX; }

// Copies the records in key order; stops at the first failure or a
// non-zero progress result.
uint32_t copy_in_key_order(DataRewrite &work, IndexControlRecord *index, uint8_t *buffer,
                           uint32_t buffer_size) {
    uint8_t key[KVL_MAX_KEY_LENGTH + 8];
    uint32_t record_number = 0;
    const uint32_t keys = index->header.key_count;
    uint32_t rc = KvlIx4GetFirst(index, key, &record_number, work.record());
    for (uint64_t copied = 0; rc == ERR_NONE; ++copied) {
        if (copied != 0 && (copied & 0xFF) == 0) {
            rc = work.report_progress(copied, keys);
            if (rc != ERR_NONE) return rc;
        }
        rc = work.copy_memos(buffer, buffer_size);
        if (rc == ERR_NONE) rc = work.append();
        if (rc != ERR_NONE) return rc;
        rc = KvlIx4GetNext(index, key, &record_number, work.record());
    }
    return is_end(rc) ? ERR_NONE : rc;
}

uint32_t sort(const char *index_name, const char *data_name, const char *new_name,
              KvlDataProgress progress, const FileLayerTable *layer) {
    if (!index_name || !data_name || !new_name) return ERR_NULL_PARAMETER;
    DataRewrite work(progress, layer);
    SortIndex index;
    MemBlock copy_buffer;
    uint32_t rc = work.open_source(data_name);
    if (rc == ERR_NONE) rc = index.open(index_name, work);
    if (rc == ERR_NONE) rc = work.find_memo_fields();
    if (rc == ERR_NONE) rc = work.create_target(new_name);
    const uint32_t buffer_size = engine_var(KVL_VAR_PACK_BUFFER);
    if (rc == ERR_NONE && work.source()->memo_os_handle != 0)
        rc = copy_buffer.allocate(work.heap_kind(), buffer_size);
    if (rc == ERR_NONE) rc = work.report_start();
    if (rc == ERR_NONE) rc = copy_in_key_order(work, index.get(), copy_buffer.get(), buffer_size);
    rc = first_failure(rc, work.close_source());
    rc = first_failure(rc, index.close());
    rc = first_failure(rc, work.close_target());
    work.report_end();
    return rc;
}

}  // namespace
}  // namespace kvl

extern "C" KVL_API uint32_t KvlDataSort(const char *index_name, const char *data_name,
                                        const char *new_data_name, KvlDataProgress progress,
                                        const FileLayerTable *table) {
    return kvl::guarded(
        [&] { return kvl::sort(index_name, data_name, new_data_name, progress, table); });
}
KVL_ALIAS(KvlDataSort)
