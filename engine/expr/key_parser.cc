// key_parser.cc - KvlFuncIx4ParseExp: compiles the key expression held in
// an index header into the header's segment table and the key length.
//
// Grammar (the text has no blanks; index creation removed them):
//   expression := operand { '+' operand } [ '+' ]
//   operand    := FIELD | SUBSTR(FIELD,start,length)
//               | UPPER( expression ) | DESCEND( expression )
// UPPER( flags the character segments it encloses for upper-casing,
// DESCEND( flags every segment it encloses as descending.  A ')' closes
// the innermost DESCEND( if any is open, else an UPPER(; an UPPER( may not
// open inside a DESCEND(.  A trailing '+' adds nothing and is accepted.
//
// The parser works on a copy of the segment table and stores it, with the
// segment count, only when the whole text compiled.
#include <cstring>

#include "engine/core/internal.h"
#include "engine/core/number_text.h"
#include "engine/data/data_format.h"
#include "engine/expr/key_rules.h"
#include "engine/expr/key_scanner.h"

namespace kvl {
namespace {

constexpr size_t kSubstrNumberWidth = 5;

class KeyParser {
public:
    KeyParser(const IndexHeader &header, const DataControlRecord &data)
        : scanner_(header.expression, strnlen(header.expression, sizeof header.expression),
                   data),
          sort_(header.flags & KVL_IX_SORT_MASK) {}

    uint32_t run();
    uint32_t key_length() const { return key_length_; }
    void store(IndexHeader *header) const;

private:
    uint32_t operand(const Token &token);
    uint32_t operator_token(const Token &token);
    uint32_t whole_field(const FieldDescriptor &field);
    uint32_t substring();
    uint32_t expect(char c);
    int32_t number();
    uint32_t append(const FieldDescriptor &field, uint32_t length, uint64_t offset);
    uint16_t flags_for(uint8_t type) const;

    KeyScanner scanner_;
    uint32_t sort_;
    bool expect_operand_ = true;
    uint32_t open_upper_ = 0;
    uint32_t open_descend_ = 0;
    uint32_t key_length_ = 0;
    KeySegment segments_[KVL_MAX_SEGMENTS] = {};
    uint32_t segment_count_ = 0;
};

uint32_t KeyParser::run() {
    while (!scanner_.at_end()) {
        if (segment_count_ == KVL_MAX_SEGMENTS) return ERR_EXPR_TOO_MANY;
        const Token *token = nullptr;
        if (uint32_t rc = scanner_.next(&token)) return rc;
        uint32_t rc = expect_operand_ ? operand(*token) : operator_token(*token);
        if (rc) return rc;
    }
    if (open_upper_ || open_descend_) return ERR_EXPR_SYNTAX;
    if (key_length_ == 0) return ERR_EXPR_EMPTY;
    return ERR_NONE;
}

uint32_t KeyParser::operand(const Token &token) {
    switch (token.code) {
    case kTokenUpper:
        if (open_descend_) return ERR_EXPR_SYNTAX;
        ++open_upper_;
        return ERR_NONE;
    case kTokenDescend:
        ++open_descend_;
        return ERR_NONE;
    case kTokenField:
        return whole_field(*token.field);
    case kTokenSubstr:
        return substring();
    default:
        return ERR_EXPR_SYNTAX;
    }
}

uint32_t KeyParser::operator_token(const Token &token) {
    if (token.code == kTokenPlus) {
        expect_operand_ = true;
        return ERR_NONE;
    }
    if (token.code != kTokenClose) return ERR_EXPR_SYNTAX;
    if (open_descend_) {
        --open_descend_;
    } else if (open_upper_) {
        --open_upper_;
    } else {
        return ERR_EXPR_SYNTAX;
    }
    return ERR_NONE;
}

uint32_t KeyParser::whole_field(const FieldDescriptor &field) {
    if (uint32_t rc = field_refusal(sort_, field)) return rc;
    uint32_t length = field_length(field);
    if (length == 0) return ERR_FIELD_LENGTH;
    auto type = static_cast<uint8_t>(field.type);
    key_length_ += segment_key_size(sort_, type, length);
    if (key_length_ > KVL_MAX_KEY_LENGTH) return ERR_KEY_TOO_LONG;
    return append(field, length, field.offset);
}

// SUBSTR(FIELD,start,length): the arguments are read directly from the
// text, each number from at most five characters.
uint32_t KeyParser::substring() {
    const Token *token = nullptr;
    if (uint32_t rc = scanner_.next(&token)) return rc;
    if (token->code != kTokenField) return ERR_EXPR_SYNTAX;
    const FieldDescriptor &field = *token->field;
    if (uint32_t rc = expect(',')) return rc;
    int32_t start = number();
    if (uint32_t rc = expect(',')) return rc;
    int32_t length = number();
    if (uint32_t rc = expect(')')) return rc;

    if (uint32_t rc = substring_refusal(sort_, static_cast<uint8_t>(field.type))) return rc;
    int64_t last = int64_t{start} + length - 1;
    if (start < 1 || length < 0 || last > int64_t{field_length(field)}) return ERR_EXPR_RANGE;
    key_length_ += static_cast<uint32_t>(length);
    if (key_length_ > KVL_MAX_KEY_LENGTH) return ERR_KEY_TOO_LONG;
    return append(field, static_cast<uint32_t>(length),
                  uint64_t{field.offset} + static_cast<uint32_t>(start) - 1);
}

uint32_t KeyParser::expect(char c) {
    if (scanner_.peek() != c || scanner_.at_end()) return ERR_EXPR_SYNTAX;
    scanner_.advance(1);
    return ERR_NONE;
}

int32_t KeyParser::number() {
    size_t width = scanner_.remaining() < kSubstrNumberWidth ? scanner_.remaining()
                                                             : kSubstrNumberWidth;
    size_t used = 0;
    int32_t value = read_bounded_number(scanner_.rest(), width, &used);
    scanner_.advance(used);
    return value;
}

// A segment's offset is a 16-bit field; a descriptor that places a field
// beyond any possible record cannot be keyed.
uint32_t KeyParser::append(const FieldDescriptor &field, uint32_t length, uint64_t offset) {
    if (offset > UINT16_MAX) return ERR_FIELD_BOUNDS;
    auto type = static_cast<uint8_t>(field.type);
    KeySegment &segment = segments_[segment_count_++];
    segment.type = type;
    segment.length = static_cast<uint8_t>(length);
    segment.offset = static_cast<uint16_t>(offset);
    segment.flags = flags_for(type);
    expect_operand_ = false;
    return ERR_NONE;
}

uint16_t KeyParser::flags_for(uint8_t type) const {
    uint16_t flags = 0;
    if (type == 'C' && open_upper_) flags |= KVL_SEGMENT_UPPER;
    if (open_descend_) flags |= KVL_SEGMENT_DESCEND;
    return flags;
}

void KeyParser::store(IndexHeader *header) const {
    std::memcpy(header->segments, segments_, sizeof segments_);
    header->segment_count = segment_count_;
}

// The parser needs the open data file whose fields the names refer to.
uint32_t check_data_link(const IndexControlRecord &index) {
    if (!index.data_link) return ERR_NO_DATA_LINK;
    if (index.data_link == KVL_NO_DATA_FILE) return ERR_DATA_LINK_INVALID;
    if (!index.data_link->os_handle) return ERR_FILE_NOT_OPEN;
    if (!(index.data_link->kind & KVL_KIND_DATA)) return ERR_WRONG_FILE_KIND;
    return ERR_NONE;
}

uint32_t parse_expression(IndexControlRecord *index, uint32_t *key_length) {
    if (uint32_t rc = check_data_link(*index)) return rc;
    KeyParser parser(index->header, *index->data_link);
    if (uint32_t rc = parser.run()) return rc;
    parser.store(&index->header);
    *key_length = parser.key_length();
    return ERR_NONE;
}

}  // namespace
}  // namespace kvl

extern "C" KVL_API uint32_t KvlFuncIx4ParseExp(IndexHandle index, uint32_t *key_length) {
    if (!index || !key_length) return ERR_NULL_PARAMETER;
    return kvl::guarded([&] { return kvl::parse_expression(index, key_length); });
}
KVL_ALIAS(KvlFuncIx4ParseExp)
