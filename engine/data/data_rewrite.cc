// data_rewrite.cc - the steps packing and sorting share: working memory,
// opening the source, creating the new file, progress, memo copying and
// cleanup.
//
// A memo is copied in chunks of the caller's buffer: the first chunk
// stores a new memo of the whole size, the rest are written at their
// offsets.  A chunk that cannot be read ends the copy with its error (it is
// never retried), and so does a memo whose last byte lies beyond its file,
// before anything is written for it: a damaged length word never makes the
// new memo file grow by what it claims.
#include <cstdio>
#include <cstring>

#include "engine/core/number_text.h"
#include "engine/data/data_rewrite.h"

namespace kvl {
namespace {

bool is_memo_type(char type) { return type == 'M' || type == 'B' || type == 'G'; }

// Length of field i of an open data file.
uint32_t field_width(const DataControlRecord *data, uint32_t i) {
    const uint32_t end = i + 1 < data->field_count ? data->fields[i + 1].offset
                                                   : data->header.record_length;
    return end - data->fields[i].offset;
}

// Writes the block number right-aligned in the field's first 10 characters
// (all of it when shorter), blanks in front; 0 writes blanks only.
uint32_t store_block_number(char *field, uint32_t width, uint32_t block) {
    const uint32_t room = width < kMemoNumberWidth ? width : kMemoNumberWidth;
    char digits[16] = "";
    const int length = block ? std::snprintf(digits, sizeof digits, "%u", block) : 0;
    if (static_cast<uint32_t>(length) > room) return ERR_FIELD_LENGTH;
    std::memset(field, ' ', room);
    std::memcpy(field + room - length, digits, static_cast<size_t>(length));
    return ERR_NONE;
}

uint32_t open_data(DataControlRecord *data, const char *name, uint32_t capacity,
                   uint32_t heap_kind, const FileLayerTable *layer) {
    data->file_name = name;
    data->open_mode = KVL_OPEN_REWRITE_MODE;
    data->field_count = capacity;
    data->heap_kind = heap_kind;
    data->file_layer = layer;
    return KvlDataOpenFile(data, 0);
}

}  // namespace

DataRewrite::DataRewrite(KvlDataProgress progress, const FileLayerTable *layer)
    : progress_(progress), layer_(layer), heap_kind_(engine_var(KVL_VAR_SORT_HEAP)) {}

DataRewrite::~DataRewrite() {
    close_source();
    close_target();
}

uint32_t DataRewrite::open_source(const char *data_name) {
    DbfHeader header{};
    int32_t fields = 0;
    uint32_t rc = KvlDataInfoFile(data_name, KVL_OPEN_REWRITE_MODE, &header, &fields, layer_);
    if (rc != ERR_NONE) return rc;
    if (header.record_count == 0) return ERR_EMPTY_FILE;
    // A header that declares no fields is refused by the open.
    const uint32_t capacity = fields > 0 ? static_cast<uint32_t>(fields) : 1;
    const uint32_t record_size = static_cast<uint32_t>(KVL_DATA_CONTROL_SIZE(capacity));
    rc = source_.allocate(heap_kind_, record_size);
    if (rc == ERR_NONE) rc = target_.allocate(heap_kind_, record_size);
    if (rc == ERR_NONE) rc = record_.allocate(heap_kind_, header.record_length);
    if (rc != ERR_NONE) return rc;
    rc = open_data(source(), data_name, capacity, heap_kind_, layer_);
    // An unfinished update (8318) leaves the file open and every counted
    // record readable; a memo file that did not open (8701) does not.
    if (rc == ERR_INCOMPLETE_WRITE) rc = ERR_NONE;
    if (rc == ERR_NONE && source()->header.record_length != header.record_length)
        rc = ERR_NOT_DATA_FILE;  // changed since the info: the buffer would not fit
    return rc;
}

uint32_t DataRewrite::find_memo_fields() {
    const DataControlRecord *data = source();
    if (data->memo_os_handle == 0) return ERR_NONE;
    for (uint32_t i = 0; i < data->field_count; ++i) {
        if (!is_memo_type(data->fields[i].type)) continue;
        if (memo_field_count_ == kMaxMemoFields) return ERR_PACK_MEMO;
        memo_fields_[memo_field_count_++] = i;
    }
    return ERR_NONE;
}

uint32_t DataRewrite::create_target(const char *new_name) {
    uint32_t rc = KvlDataCopyHeader(source(), new_name);
    if (rc != ERR_NONE) return rc;
    rc = open_data(target(), new_name, source()->field_count, heap_kind_, layer_);
    target_opened_ = target()->os_handle != 0;
    return rc;
}

uint32_t DataRewrite::report(uint32_t percent) {
    if (!progress_) return ERR_NONE;
    target()->progress = percent;
    return progress_(target(), 1);
}

uint32_t DataRewrite::report_progress(uint64_t done, uint64_t total) {
    uint64_t percent = total ? done * 100 / total : 99;
    if (percent < 1) percent = 1;
    if (percent > 99) percent = 99;
    return report(static_cast<uint32_t>(percent));
}

void DataRewrite::report_end() {
    if (target_opened_) report(0);
}

uint32_t DataRewrite::copy_memo(uint32_t block, uint8_t *buffer, uint32_t size,
                                uint32_t *new_block) {
    DataControlRecord *from = source();
    uint32_t first_word = 0, length = 0;
    uint32_t rc = KvlMemoGetSize(from, block, &first_word, &length);
    if (rc != ERR_NONE) return rc;
    *new_block = 0;
    if (length == 0) return ERR_NONE;  // an empty memo is no memo
    uint8_t last = 0;
    uint32_t count = 1;
    rc = KvlMemoGet(from, block, length - 1, &count, &last);
    if (rc != ERR_NONE) return rc;
    for (uint32_t offset = 0; offset < length; offset += count) {
        count = length - offset < size ? length - offset : size;
        rc = KvlMemoGet(from, block, offset, &count, buffer);
        if (rc == ERR_NONE && count == 0) rc = KVL_WIN_HANDLE_EOF;
        if (rc != ERR_NONE) return rc;
        rc = offset == 0 ? KvlMemoAdd(target(), length, count, buffer, new_block, 0)
                         : KvlMemoUpdate(target(), new_block, offset, count, buffer);
        if (rc != ERR_NONE) return rc;
    }
    return ERR_NONE;
}

uint32_t DataRewrite::copy_memos(uint8_t *buffer, uint32_t size) {
    const DataControlRecord *data = source();
    for (uint32_t n = 0; n < memo_field_count_; ++n) {
        const uint32_t i = memo_fields_[n];
        char *field = reinterpret_cast<char *>(record()) + data->fields[i].offset;
        const uint32_t width = field_width(data, i);
        const int32_t number =
            read_bounded_number(field, width < kMemoNumberWidth ? width : kMemoNumberWidth);
        if (number == 0) continue;
        uint32_t new_block = 0;
        uint32_t rc = copy_memo(static_cast<uint32_t>(number), buffer, size, &new_block);
        if (rc == ERR_NONE) rc = store_block_number(field, width, new_block);
        if (rc != ERR_NONE) return rc;
    }
    return ERR_NONE;
}

uint32_t DataRewrite::append() {
    uint32_t number = 0;
    return KvlDataAddRecord(target(), record(), &number);
}

uint32_t DataRewrite::close_source() {
    return source_ && source()->os_handle != 0 ? KvlDataCloseFile(source()) : ERR_NONE;
}

uint32_t DataRewrite::close_target() {
    return target_ && target()->os_handle != 0 ? KvlDataCloseFile(target()) : ERR_NONE;
}

}  // namespace kvl
