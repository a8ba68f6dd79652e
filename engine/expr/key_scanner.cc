// key_scanner.cc - splits a key expression into words and looks each word
// up, first among the known tokens, then among the data file's field names.
//
// A word is a run of characters above 0x20.  Once it has a character it
// ends before '+', ')' or ',', and it ends after taking '+', ')' or '(', so
// "SUBSTR(" and "UPPER(" are single words while "NAME+ID" is three.  Names
// are compared as exact bytes: the data file upper-cases its field names at
// open and index creation upper-cases the expression, which together make
// the match case-insensitive for the user.
#include "engine/expr/key_scanner.h"

#include <cstring>

namespace kvl {
namespace {

bool ends_before(char c) { return c == '+' || c == ')' || c == ','; }
bool ends_after(char c) { return c == '+' || c == ')' || c == '('; }

const Token kFixedTokens[] = {
    {"+", 1, kTokenPlus, nullptr},
    {")", 1, kTokenClose, nullptr},
    {"SUBSTR(", 7, kTokenSubstr, nullptr},
    {"UPPER(", 6, kTokenUpper, nullptr},
    {"DESCEND(", 8, kTokenDescend, nullptr},
};

}  // namespace

KeyScanner::KeyScanner(const char *text, size_t length, const DataControlRecord &data)
    : text_(text), length_(length), data_(data) {
    for (const Token &token : kFixedTokens) tokens_[token_count_++] = token;
}

uint32_t KeyScanner::collect_word(size_t *word_length) const {
    size_t n = 0;
    while (cursor_ + n < length_) {
        char c = text_[cursor_ + n];
        if (static_cast<unsigned char>(c) <= 0x20) break;
        if (n > 0 && ends_before(c)) break;
        if (n == kMaxWord) return ERR_EXPR_NAME_LONG;
        ++n;
        if (ends_after(c)) break;
    }
    if (n == 0) return ERR_EXPR_EMPTY;
    *word_length = n;
    return ERR_NONE;
}

const Token *KeyScanner::find_token(const char *word, size_t word_length) const {
    for (size_t i = 0; i < token_count_; ++i) {
        const Token &token = tokens_[i];
        if (token.length == word_length && std::memcmp(token.text, word, word_length) == 0)
            return &token;
    }
    return nullptr;
}

const FieldDescriptor *KeyScanner::find_field(const char *word, size_t word_length) const {
    for (uint32_t i = 0; i < data_.field_count; ++i) {
        const FieldDescriptor &field = data_.fields[i];
        if (strnlen(field.name, sizeof field.name) == word_length &&
            std::memcmp(field.name, word, word_length) == 0)
            return &field;
    }
    return nullptr;
}

uint32_t KeyScanner::next(const Token **token) {
    if (at_end()) return ERR_EXPR_SYNTAX;
    size_t n = 0;
    if (uint32_t rc = collect_word(&n)) return rc;
    const char *word = text_ + cursor_;
    if (const Token *known = find_token(word, n)) {
        cursor_ += n;
        *token = known;
        return ERR_NONE;
    }
    if (token_count_ == kMaxTokens) return ERR_EXPR_TOO_MANY;
    const FieldDescriptor *field = find_field(word, n);
    if (!field) return ERR_EXPR_UNKNOWN_NAME;
    tokens_[token_count_] = {field->name, static_cast<uint16_t>(n), kTokenField, field};
    cursor_ += n;
    *token = &tokens_[token_count_++];
    return ERR_NONE;
}

}  // namespace kvl
