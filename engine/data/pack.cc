// pack.cc - packing a data file (KvlDataPack): a new file with the records
// that are not tagged deleted, in their old order, and their memos copied
// into a new memo file.  The source is left untouched; replacing it with
// the new file is the caller's business.
//
// The first record that cannot be read, have its memos copied or be
// appended stops the pack with that record's error: a new file that lacks
// records is never reported as a success.
#include "engine/data/data_rewrite.h"

namespace kvl {
namespace {

constexpr uint8_t kDeletedTag = '*';

// Copies every record not tagged deleted; stops at the first failure or a
// non-zero progress result.
uint32_t copy_live_records(DataRewrite &work, uint8_t *buffer, uint32_t buffer_size) {
    const uint32_t count = work.source()->header.record_count;
    for (uint32_t number = 1; number <= count; ++number) {
        uint32_t rc = KvlDataGetRecord(work.source(), number, work.record());
        if (rc != ERR_NONE) return rc;
        if (work.record()[0] != kDeletedTag) {
            rc = work.copy_memos(buffer, buffer_size);
            if (rc == ERR_NONE) rc = work.append();
            if (rc != ERR_NONE) return rc;
        }
        if ((number & 0xFF) == 0) {
            rc = work.report_progress(number, count);
            if (rc != ERR_NONE) return rc;
        }
    }
    return ERR_NONE;
}

uint32_t pack(const char *data_name, const char *new_name, KvlDataProgress progress,
              const FileLayerTable *layer) {
    if (!data_name || !new_name) return ERR_NULL_PARAMETER;
    DataRewrite work(progress, layer);
    MemBlock copy_buffer;
    const uint32_t buffer_size = engine_var(KVL_VAR_PACK_BUFFER);
    uint32_t rc = copy_buffer.allocate(work.heap_kind(), buffer_size);
    if (rc == ERR_NONE) rc = work.open_source(data_name);
    if (rc == ERR_NONE) rc = work.find_memo_fields();
    if (rc == ERR_NONE) rc = work.create_target(new_name);
    if (rc == ERR_NONE) rc = work.report_start();
    if (rc == ERR_NONE) rc = copy_live_records(work, copy_buffer.get(), buffer_size);
    rc = first_failure(rc, work.close_source());
    rc = first_failure(rc, work.close_target());
    work.report_end();
    return rc;
}

}  // namespace
}  // namespace kvl

extern "C" KVL_API uint32_t KvlDataPack(const char *data_name, const char *new_data_name,
                                        KvlDataProgress progress, const FileLayerTable *table) {
    return kvl::guarded([&] { return kvl::pack(data_name, new_data_name, progress, table); });
}
KVL_ALIAS(KvlDataPack)
