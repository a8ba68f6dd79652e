// data_rewrite.h - what packing and sorting share when they rewrite a data
// file into a new one: the working memory (from the heap kind of engine
// variable 14), the source opened and the new file created and opened with
// the open mode 0x200012, the progress callback and its percentages, the
// copying of a record's memos into the new memo file, and the cleanup.
#ifndef KVL_DATA_DATA_REWRITE_H
#define KVL_DATA_DATA_REWRITE_H

#include <cstdint>

#include "engine/core/internal.h"
#include "engine/data/data_file.h"

namespace kvl {

inline constexpr uint32_t kMaxMemoFields = 32;
inline constexpr uint32_t kMemoNumberWidth = 10;  // a memo field's block number text

inline uint32_t first_failure(uint32_t rc, uint32_t next) { return rc != ERR_NONE ? rc : next; }

// One rewrite of a data file.  Files still open when it goes are closed;
// its memory is freed.
class DataRewrite {
public:
    DataRewrite(KvlDataProgress progress, const FileLayerTable *layer);
    ~DataRewrite();
    DataRewrite(const DataRewrite &) = delete;
    DataRewrite &operator=(const DataRewrite &) = delete;

    uint32_t heap_kind() const { return heap_kind_; }
    const FileLayerTable *layer() const { return layer_; }
    DataControlRecord *source() { return source_.get<DataControlRecord>(); }
    DataControlRecord *target() { return target_.get<DataControlRecord>(); }
    uint8_t *record() { return record_.get(); }

    // The source's header (ERR_EMPTY_FILE when it holds no records), the two
    // control records and the record buffer, and the source opened.
    uint32_t open_source(const char *data_name);
    // Notes the source's memo fields when its memo file is open;
    // ERR_PACK_MEMO for a 33rd one.
    uint32_t find_memo_fields();
    // The new, empty file with the source's layout (and a memo file when
    // its version byte asks for one), opened.
    uint32_t create_target(const char *new_name);

    // The first progress call (1 %); a non-zero result stops the rewrite.
    uint32_t report_start() { return report(1); }
    // Progress at `done` of `total`: 1 to 99 %.
    uint32_t report_progress(uint64_t done, uint64_t total);

    // Copies the memos the record in the buffer refers to into the new memo
    // file and puts their new block numbers in its memo fields.  `buffer`
    // of `size` bytes carries the memo bytes.
    uint32_t copy_memos(uint8_t *buffer, uint32_t size);
    // Appends the record in the buffer to the new file.
    uint32_t append();

    uint32_t close_source();
    uint32_t close_target();
    // The last progress call (0 %), once the new file was opened.
    void report_end();

private:
    uint32_t report(uint32_t percent);
    uint32_t copy_memo(uint32_t block, uint8_t *buffer, uint32_t size, uint32_t *new_block);

    KvlDataProgress progress_;
    const FileLayerTable *layer_;
    uint32_t heap_kind_;
    MemBlock source_, target_, record_;
    bool target_opened_ = false;
    uint32_t memo_field_count_ = 0;
    uint32_t memo_fields_[kMaxMemoFields] = {};  // indexes into the source's fields
};

}  // namespace kvl

#endif  // KVL_DATA_DATA_REWRITE_H
