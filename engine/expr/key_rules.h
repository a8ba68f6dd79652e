// key_rules.h - what a field of a given type becomes in a key under a given
// sort function.  The parser (which counts key bytes) and the key builder
// (which writes them) both ask these functions, so the two always agree on
// every segment's size.
//
// Field types fall in three classes:
//   binary        '3' to '8' and 'Y': integers or doubles stored as bytes,
//                 2 ('3','4'), 4 ('5','6') or 8 ('7','8','Y') of them;
//   numeric text  'N' and 'F': decimal text, turned into a number by every
//                 sort function but the two byte-wise ones (1, 2);
//   character     'C' and every other type: bytes as stored.
#ifndef KVL_EXPR_KEY_RULES_H
#define KVL_EXPR_KEY_RULES_H

#include <cstdint>

#include "engine/korval32.h"

namespace kvl {

bool is_binary_type(uint8_t type);
bool is_numeric_text_type(uint8_t type);

// Sort functions that compare keys byte by byte (1 unsigned, 2 collated).
bool is_bytewise_sort(uint32_t sort);

// Bytes a binary field takes in the record (and in a key): 2, 4 or 8.
uint32_t binary_size(uint8_t type);

// Whether a whole field of this type may be a key segment under the sort
// function: 0 or ERR_EXPR_FIELD_TYPE.
uint32_t field_refusal(uint32_t sort, const FieldDescriptor &field);

// Whether a substring of a field of this type may be a key segment:
// 0 or ERR_EXPR_TYPE.
uint32_t substring_refusal(uint32_t sort, uint8_t type);

// Key bytes of a segment of `type` that takes `length` record bytes.
uint32_t segment_key_size(uint32_t sort, uint8_t type, uint32_t length);

}  // namespace kvl

#endif  // KVL_EXPR_KEY_RULES_H
