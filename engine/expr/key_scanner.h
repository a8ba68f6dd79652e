// key_scanner.h - the word scanner of key expressions and its token table.
//
// The table starts with the five fixed tokens and takes one more entry for
// each distinct field name met, up to 21 entries, so an expression names at
// most 16 distinct fields.  A field entry points at the field's descriptor
// in the data control record.
#ifndef KVL_EXPR_KEY_SCANNER_H
#define KVL_EXPR_KEY_SCANNER_H

#include <cstddef>
#include <cstdint>

#include "engine/korval32.h"

namespace kvl {

enum TokenCode : uint8_t {
    kTokenPlus = 0x01,
    kTokenClose = 0x02,
    kTokenUpper = 0x33,
    kTokenDescend = 0x34,
    kTokenSubstr = 0x35,
    kTokenField = 0x5B,
};

struct Token {
    const char *text;
    uint16_t length;
    uint8_t code;
    const FieldDescriptor *field;  // kTokenField only
};

class KeyScanner {
public:
    static constexpr size_t kMaxTokens = 21;
    static constexpr size_t kMaxWord = 10;

    // Scans text[0, length) against the fields of `data`.
    KeyScanner(const char *text, size_t length, const DataControlRecord &data);

    // Reads the next word into *token; 0 or a parser error (ERR_EXPR_EMPTY,
    // ERR_EXPR_NAME_LONG, ERR_EXPR_UNKNOWN_NAME, ERR_EXPR_TOO_MANY,
    // ERR_EXPR_SYNTAX at the end of the text).
    uint32_t next(const Token **token);

    // Direct access for the SUBSTR arguments, which are not tokens.
    bool at_end() const { return cursor_ >= length_; }
    char peek() const { return at_end() ? '\0' : text_[cursor_]; }
    void advance(size_t count) { cursor_ += count; }
    const char *rest() const { return text_ + cursor_; }
    size_t remaining() const { return length_ - cursor_; }

private:
    uint32_t collect_word(size_t *word_length) const;
    const Token *find_token(const char *word, size_t word_length) const;
    const FieldDescriptor *find_field(const char *word, size_t word_length) const;

    const char *text_;
    size_t length_;
    size_t cursor_ = 0;
    const DataControlRecord &data_;
    Token tokens_[kMaxTokens];
    size_t token_count_ = 0;
};

}  // namespace kvl

#endif  // KVL_EXPR_KEY_SCANNER_H
