// index_create.cc - making a new, empty index file (KvlIx4CreateFile) and a
// new empty file like an open one (KvlIx4CopyHeader).
//
// Creation builds the header in a scratch control record so that the
// parse function sees the same record layout as everywhere else, writes
// the 1024 header bytes to a freshly created file and closes it again.
#include <cstring>

#include "engine/core/internal.h"
#include "engine/index/index_format.h"

namespace kvl::ix {
namespace {

struct CreateArgs {
    uint32_t node_size;
    uint32_t flags;
    uint32_t code_page;
    uint32_t country;
    const uint8_t *collation;
    char *expression;
    DataControlRecord *data_link;
    const char *file_name;
    KvlParseExpression parse;
    uint32_t heap_kind;
    const FileLayerTable *table;
};

constexpr uint32_t kKeyLengthMask = 0xFF00u;

bool wants_collation(uint32_t sort) { return sort == KVL_SORT_COLLATED || sort >= KVL_SORT_BY_TYPE; }

// Drops every character <= 0x20 from the caller's text, in place; returns
// the new length.
uint32_t compact_expression(char *text) {
    uint32_t kept = 0;
    for (uint32_t i = 0; text[i] != '\0'; ++i)
        if (static_cast<unsigned char>(text[i]) > 0x20) text[kept++] = text[i];
    text[kept] = '\0';
    return kept;
}

uint32_t fill_collation(const CreateArgs &a, IndexHeader &header) {
    if (!wants_collation(a.flags & KVL_IX_SORT_MASK)) return ERR_NONE;
    if (a.collation) {
        std::memcpy(header.collation, a.collation, sizeof header.collation);
    } else {
        uint32_t rc = KvlGetSortSequenceTable(header.code_page, header.country, header.collation,
                                              (a.flags & KVL_IX_OEM) ? 1 : 0);
        if (rc != ERR_NONE && rc != ERR_COLLATION_SOFT_1 && rc != ERR_COLLATION_SOFT_2) return rc;
    }
    header.collation_size = sizeof header.collation;
    return ERR_NONE;
}

uint32_t write_new_file(const CreateArgs &a, const IndexHeader &header) {
    uint32_t rc = KvlCreateFile(a.file_name, a.table);
    if (rc != ERR_NONE) return rc;
    uint32_t handle = 0;
    rc = KvlOpenFile(a.file_name, KVL_OPEN_CREATE_MODE, &handle, a.table);
    if (rc != ERR_NONE) return rc;
    rc = write_at(a.table, handle, &header, kHeaderSize, 0);
    const uint32_t closed = KvlCloseFile(&handle, a.table);
    return rc != ERR_NONE ? rc : closed;
}

uint32_t create_index(const CreateArgs &a) {
    if (!a.expression || !a.data_link || !a.file_name) return ERR_NULL_PARAMETER;
    const bool no_data = a.data_link == KVL_NO_DATA_FILE;
    uint32_t key_length = 0;
    if (!no_data) {
        if (a.data_link->os_handle == 0) return ERR_FILE_NOT_OPEN;
        if (!(a.data_link->kind & KVL_KIND_DATA)) return ERR_WRONG_FILE_KIND;
    } else {
        key_length = (a.flags & kKeyLengthMask) >> KVL_IX_KEYLEN_SHIFT;
        if (key_length == 0 || key_length > KVL_MAX_KEY_LENGTH) return ERR_KEY_TOO_LONG;
    }
    if (!valid_node_size(a.node_size)) return ERR_NODE_SIZE;

    MemBlock block;
    uint32_t rc = block.allocate(a.heap_kind, uint32_t(KVL_INDEX_CONTROL_SIZE(a.node_size)));
    if (rc != ERR_NONE) return rc;
    auto *ix = block.get<IndexControlRecord>();
    ix->heap_kind = a.heap_kind;
    ix->file_layer = a.table;
    IndexHeader &header = ix->header;
    header.node_size = a.node_size;
    header.code_page = a.code_page;
    header.country = a.country;
    if (header.code_page == 0 || header.country == 0) {
        rc = KvlGetCountryInfo(&header.code_page, &header.country, (a.flags & KVL_IX_OEM) ? 1 : 0);
        if (rc != ERR_NONE) return rc;
    }
    rc = fill_collation(a, header);
    if (rc != ERR_NONE) return rc;

    const uint32_t length = compact_expression(a.expression);
    if (length == 0 || length > KVL_EXPRESSION_SIZE) return ERR_EXPR_TEXT;
    char text[KVL_EXPRESSION_SIZE + 1] = {};
    std::memcpy(text, a.expression, length);
    KvlUpperCaseO(text, length, 0);  // cannot fail on a valid buffer
    std::memcpy(header.expression, text, length);

    header.flags = a.flags & ~kKeyLengthMask;
    if (!no_data) {
        ix->data_link = a.data_link;
        KvlParseExpression parse = a.parse ? a.parse : KvlFuncIx4ParseExp;
        rc = parse(ix, &key_length);
        if (rc != ERR_NONE) return rc;
        if (key_length == 0 || key_length > KVL_MAX_KEY_LENGTH) return ERR_KEY_TOO_LONG;
    }

    header.signature = KVL_INDEX_SIGNATURE;
    header.next_node = 1;
    header.key_length = key_length;
    header.keys_per_node = keys_per_node(a.node_size, key_length);
    header.root = 0;
    header.key_count = 0;
    header.free_head = 0;
    const DateTimeRecord now = local_date_time();
    header.day = now.day;
    header.month = now.month;
    header.year = now.year;
    header.flush_count = 0;
    header.state = 0;
    return write_new_file(a, header);
}

uint32_t copy_index(IndexControlRecord *ix, const char *new_file_name) {
    if (!ix || !new_file_name) return ERR_NULL_PARAMETER;
    const IndexHeader &header = ix->header;
    char text[KVL_EXPRESSION_SIZE + 1] = {};
    std::memcpy(text, header.expression, KVL_EXPRESSION_SIZE);
    uint32_t flags = header.flags;
    // An index without data file has no expression to compile its key
    // length from: the copy carries it in the create call's flag bits.
    if (ix->data_link == KVL_NO_DATA_FILE)
        flags = (flags & ~kKeyLengthMask) | ((header.key_length & 0xFFu) << KVL_IX_KEYLEN_SHIFT);
    CreateArgs args{header.node_size,
                    flags,
                    header.code_page,
                    header.country,
                    header.collation_size ? header.collation : nullptr,
                    text,
                    ix->data_link,
                    new_file_name,
                    ix->parse,
                    ix->heap_kind,
                    ix->file_layer};
    return create_index(args);
}

}  // namespace
}  // namespace kvl::ix

extern "C" {

KVL_API uint32_t KvlIx4CreateFile(uint32_t node_size, uint32_t index_flags, uint32_t code_page,
                                  uint32_t country, const uint8_t *collation, char *expression,
                                  DataHandle data_link, const char *file_name,
                                  KvlParseExpression parse, uint32_t heap_kind,
                                  const FileLayerTable *table) {
    return kvl::guarded([&] {
        return kvl::ix::create_index({node_size, index_flags, code_page, country, collation,
                                      expression, data_link, file_name, parse, heap_kind, table});
    });
}
KVL_ALIAS(KvlIx4CreateFile)

KVL_API uint32_t KvlIx4CopyHeader(IndexHandle index, const char *new_file_name) {
    return kvl::guarded([&] { return kvl::ix::copy_index(index, new_file_name); });
}
KVL_ALIAS(KvlIx4CopyHeader)

}  // extern "C"
