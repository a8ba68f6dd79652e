// key_rules.cc - the key sizes table: key bytes per field type and sort
// function, and which combinations a key expression may not use.
//
//   type            sort 1, 2      3, 4   5, 6   7, 8   9, 0, 10 and up
//   C               field length   no     no     no     9, 32 up: field length
//   N, F            field length   2      4      8      8
//   3, 4            no             2      no     no     2
//   5, 6            no             no     4      no     4
//   7, 8, Y         no             no     no     8      8
//   other           field length in every column
//   any, SUBSTR     substring length (no binary types; numeric text only
//                   under 1 and 2, where it is text)
//
// Under sort functions 3 to 8 a binary field keeps its own size, so a field
// whose size is not the sort function's is refused rather than converted.
#include "engine/expr/key_rules.h"

namespace kvl {
namespace {

// Key size of the integer sort functions 3 to 8.
uint32_t integer_sort_size(uint32_t sort) {
    if (sort <= KVL_SORT_UINT16) return 2;
    if (sort <= KVL_SORT_UINT32) return 4;
    return 8;
}

bool is_integer_sort(uint32_t sort) {
    return sort >= KVL_SORT_INT16 && sort <= KVL_SORT_UINT64;
}


}  // namespace

bool is_binary_type(uint8_t type) {
    return (type >= '3' && type <= '8') || type == 'Y';
}

bool is_numeric_text_type(uint8_t type) { return type == 'N' || type == 'F'; }

bool is_bytewise_sort(uint32_t sort) {
    return sort == KVL_SORT_BYTES || sort == KVL_SORT_COLLATED;
}

uint32_t binary_size(uint8_t type) {
    if (type == '3' || type == '4') return 2;
    if (type == '5' || type == '6') return 4;
    return 8;
}

uint32_t field_refusal(uint32_t sort, const FieldDescriptor &field) {
    auto type = static_cast<uint8_t>(field.type);
    if (type == 'C') {
        bool allowed = is_bytewise_sort(sort) || sort == KVL_SORT_BY_TYPE ||
                       sort >= KVL_SORT_CUSTOM_FIRST;
        return allowed ? ERR_NONE : ERR_EXPR_FIELD_TYPE;
    }
    if (is_binary_type(type)) {
        if (is_bytewise_sort(sort)) return ERR_EXPR_FIELD_TYPE;
        if (is_integer_sort(sort) && binary_size(type) != integer_sort_size(sort))
            return ERR_EXPR_FIELD_TYPE;
    }
    return ERR_NONE;
}

uint32_t substring_refusal(uint32_t sort, uint8_t type) {
    if (is_binary_type(type)) return ERR_EXPR_TYPE;
    if (is_numeric_text_type(type) && !is_bytewise_sort(sort)) return ERR_EXPR_TYPE;
    return ERR_NONE;
}

uint32_t segment_key_size(uint32_t sort, uint8_t type, uint32_t length) {
    if (is_numeric_text_type(type)) {
        if (is_bytewise_sort(sort)) return length;
        return is_integer_sort(sort) ? integer_sort_size(sort) : 8;
    }
    if (is_binary_type(type)) {
        if (is_integer_sort(sort) || sort == KVL_SORT_BY_TYPE) return binary_size(type);
        return length;
    }
    return length;
}

}  // namespace kvl
