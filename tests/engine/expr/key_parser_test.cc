// Tests of KvlFuncIx4ParseExp: results, key lengths and compiled segments
// for expressions over fabricated data files.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "expr_fixture.h"

namespace {

using kvl_test::FakeDataFile;
using kvl_test::FakeIndex;

struct Seg {
    const char *field;  // offsets are taken from this field's descriptor
    uint8_t type;
    uint8_t length;
    uint16_t start;  // 1-based position in the field
    uint16_t flags;
};

struct ParseCase {
    std::string expression;
    uint32_t sort;
    uint32_t result;
    uint32_t key_length;      // checked when result is 0
    std::vector<Seg> segments;  // checked when not empty
};

constexpr uint16_t U = KVL_SEGMENT_UPPER;
constexpr uint16_t D = KVL_SEGMENT_DESCEND;

std::string repeat_joined(const char *operand, int count) {
    std::string text;
    for (int i = 0; i < count; ++i) text += (i ? "+" : "") + std::string(operand);
    return text;
}

void check_case(const FakeDataFile &data, const ParseCase &c) {
    SCOPED_TRACE(c.expression + " sort " + std::to_string(c.sort));
    FakeIndex index(data, c.expression, c.sort);
    uint32_t key_length = 0xDEAD;
    ASSERT_EQ(KvlFuncIx4ParseExp(index.get(), &key_length), c.result);
    if (c.result != 0) {
        EXPECT_EQ(key_length, 0xDEADu) << "key length written on failure";
        EXPECT_EQ(index.header().segment_count, 0u) << "segments stored on failure";
        return;
    }
    EXPECT_EQ(key_length, c.key_length);
    if (c.segments.empty()) return;
    ASSERT_EQ(index.header().segment_count, c.segments.size());
    for (size_t i = 0; i < c.segments.size(); ++i) {
        const Seg &want = c.segments[i];
        const KeySegment &got = index.header().segments[i];
        SCOPED_TRACE("segment " + std::to_string(i));
        EXPECT_EQ(got.type, want.type);
        EXPECT_EQ(got.length, want.length);
        EXPECT_EQ(got.offset, data.field(want.field).offset + want.start - 1);
        EXPECT_EQ(got.flags, want.flags);
    }
    for (size_t i = c.segments.size(); i < KVL_MAX_SEGMENTS; ++i)
        EXPECT_EQ(index.header().segments[i].type, 0u) << "unused segment " << i;
}

TEST(KeyParser, SyntaxAndModifiers) {
    FakeDataFile data(kvl_test::mixed_fields());
    const std::vector<ParseCase> cases = {
        {"SUBSTR(NAME,1,8)+SUBSTR(ID,1,6)", 1, 0, 14, {{"NAME", 'C', 8, 1, 0}, {"ID", 'C', 6, 1, 0}}},
        {"UPPER(NAME)", 2, 0, 35, {{"NAME", 'C', 35, 1, U}}},
        {"UPPER(NUM)", 2, 0, 12, {{"NUM", 'N', 12, 1, 0}}},
        {"UPPER(DESCEND(NAME)+ID)", 2, 0, 41, {{"NAME", 'C', 35, 1, U | D}, {"ID", 'C', 6, 1, U}}},
        {"UPPER(NAME)+ID", 2, 0, 41, {{"NAME", 'C', 35, 1, U}, {"ID", 'C', 6, 1, 0}}},
        {"DESCEND(NAME)+UPPER(ID)", 2, 0, 41, {{"NAME", 'C', 35, 1, D}, {"ID", 'C', 6, 1, U}}},
        {"DESCEND(SUBSTR(NAME,3,4))", 1, 0, 4, {{"NAME", 'C', 4, 3, D}}},
        {"DESCEND(DESCEND(ID))+NAME", 1, 0, 41, {{"ID", 'C', 6, 1, D}, {"NAME", 'C', 35, 1, 0}}},
        {"DESCEND(UPPER(NAME))", 2, ERR_EXPR_SYNTAX, 0, {}},
        {"UPPER(NAME", 2, ERR_EXPR_SYNTAX, 0, {}},
        {"NAME)", 2, ERR_EXPR_SYNTAX, 0, {}},
        {"NAME++ID", 2, ERR_EXPR_SYNTAX, 0, {}},
        {"NAME+", 2, 0, 35, {{"NAME", 'C', 35, 1, 0}}},
        {"UPPER(NAME+)", 2, ERR_EXPR_SYNTAX, 0, {}},
        {"NAMEID", 2, ERR_EXPR_UNKNOWN_NAME, 0, {}},
        {"NAME ID", 2, ERR_EXPR_EMPTY, 0, {}},
        {"NAME+ID+", 2, 0, 41, {}},
        {"+", 2, ERR_EXPR_SYNTAX, 0, {}},
        {")", 2, ERR_EXPR_SYNTAX, 0, {}},
        {"", 2, ERR_EXPR_EMPTY, 0, {}},
        {"UPPER()", 2, ERR_EXPR_SYNTAX, 0, {}},
        {"name", 2, ERR_EXPR_UNKNOWN_NAME, 0, {}},
        {"FOO", 2, ERR_EXPR_UNKNOWN_NAME, 0, {}},
        {"ABCDEFGHIJK", 2, ERR_EXPR_NAME_LONG, 0, {}},
        {"TENCHARSXX+ID", 2, 0, 10, {{"TENCHARSXX", 'C', 4, 1, 0}, {"ID", 'C', 6, 1, 0}}},
        {"UPPER(", 2, ERR_EXPR_SYNTAX, 0, {}},
    };
    for (const ParseCase &c : cases) check_case(data, c);
}

TEST(KeyParser, Substrings) {
    FakeDataFile data(kvl_test::mixed_fields());
    const std::vector<ParseCase> cases = {
        {"SUBSTR(NAME,0,3)", 1, ERR_EXPR_RANGE, 0, {}},
        {"SUBSTR(NAME12,5,10)", 1, ERR_EXPR_RANGE, 0, {}},
        {"SUBSTR(NAME14,5,10)", 1, 0, 10, {{"NAME14", 'C', 10, 5, 0}}},
        {"SUBSTR(NAME,35,1)", 1, 0, 1, {{"NAME", 'C', 1, 35, 0}}},
        {"SUBSTR(NAME,36,1)", 1, ERR_EXPR_RANGE, 0, {}},
        {"SUBSTR(NAME,-1,3)", 1, ERR_EXPR_RANGE, 0, {}},
        {"SUBSTR(NAME,3,-2)", 1, ERR_EXPR_RANGE, 0, {}},
        {"SUBSTR(NAME,+2,3)", 1, 0, 3, {{"NAME", 'C', 3, 2, 0}}},
        {"SUBSTR(NAME,1,0)", 1, ERR_EXPR_EMPTY, 0, {}},
        {"SUBSTR(NAME,1,0)+ID", 1, 0, 6, {{"NAME", 'C', 0, 1, 0}, {"ID", 'C', 6, 1, 0}}},
        {"SUBSTR(NAME,000001,3)", 1, ERR_EXPR_SYNTAX, 0, {}},  // numbers end after 5 characters
        {"SUBSTR(NAME,00001,3)", 1, 0, 3, {}},
        {"SUBSTR(NAME,,3)", 1, ERR_EXPR_RANGE, 0, {}},
        {"SUBSTR(NAME,13)", 1, ERR_EXPR_SYNTAX, 0, {}},
        {"SUBSTR(NAME,1,3", 1, ERR_EXPR_SYNTAX, 0, {}},
        {"SUBSTR(NAME)", 1, ERR_EXPR_SYNTAX, 0, {}},
        {"SUBSTR(UPPER(NAME),1,3)", 1, ERR_EXPR_SYNTAX, 0, {}},
        {"SUBSTR(FOO,1,3)", 1, ERR_EXPR_UNKNOWN_NAME, 0, {}},
        {"SUBSTR(", 1, ERR_EXPR_SYNTAX, 0, {}},
        {"SUBSTR(LONGC,290,11)", 1, 0, 11, {{"LONGC", 'C', 11, 290, 0}}},
        {"UPPER(SUBSTR(NAME,2,3))", 2, 0, 3, {{"NAME", 'C', 3, 2, U}}},
        {"UPPER(SUBSTR(DAT,1,4))", 2, 0, 4, {{"DAT", 'D', 4, 1, 0}}},
        // Binary fields are never cut; numeric text only where it stays text.
        {"SUBSTR(I2,1,2)", 3, ERR_EXPR_TYPE, 0, {}},
        {"SUBSTR(CUR,1,8)", 9, ERR_EXPR_TYPE, 0, {}},
        {"SUBSTR(NUM,1,5)", 1, 0, 5, {{"NUM", 'N', 5, 1, 0}}},
        {"SUBSTR(NUM,1,5)", 3, ERR_EXPR_TYPE, 0, {}},
        {"SUBSTR(FLT,1,5)", 9, ERR_EXPR_TYPE, 0, {}},
        {"SUBSTR(NUM,1,5)", 31, ERR_EXPR_TYPE, 0, {}},
        {"SUBSTR(NUM,1,5)", 0, ERR_EXPR_TYPE, 0, {}},
        {"SUBSTR(NUM,1,5)", 32, ERR_EXPR_TYPE, 0, {}},
        // A C field through SUBSTR is accepted under every sort function.
        {"SUBSTR(NAME,1,4)", 5, 0, 4, {}},
        {"SUBSTR(NAME,1,4)", 10, 0, 4, {}},
        // The type refusal comes before the range check.
        {"SUBSTR(I2,9,9)", 1, ERR_EXPR_TYPE, 0, {}},
    };
    for (const ParseCase &c : cases) check_case(data, c);
}

TEST(KeyParser, FieldTypesBySortFunction) {
    FakeDataFile data(kvl_test::mixed_fields());
    const std::vector<ParseCase> cases = {
        {"NAME", 1, 0, 35, {}},
        {"NAME", 5, ERR_EXPR_FIELD_TYPE, 0, {}},
        {"NAME", 9, 0, 35, {}},
        {"NAME", 0, ERR_EXPR_FIELD_TYPE, 0, {}},
        {"NAME", 10, ERR_EXPR_FIELD_TYPE, 0, {}},
        {"NAME", 31, ERR_EXPR_FIELD_TYPE, 0, {}},
        {"NAME", 32, 0, 35, {}},
        {"NAME", 255, 0, 35, {}},
        // Numeric text: its text under 1 and 2, a number otherwise.  The
        // segment keeps the field's own length: the builder reads that much.
        {"NUM", 1, 0, 12, {{"NUM", 'N', 12, 1, 0}}},
        {"NUM", 3, 0, 2, {{"NUM", 'N', 12, 1, 0}}},
        {"NUM", 5, 0, 4, {{"NUM", 'N', 12, 1, 0}}},
        {"NUM", 7, 0, 8, {}},
        {"FLT", 8, 0, 8, {}},
        {"NUM", 9, 0, 8, {}},
        {"SMALL", 9, 0, 8, {{"SMALL", 'N', 3, 1, 0}}},
        {"NUM", 0, 0, 8, {}},
        {"NUM", 17, 0, 8, {}},
        {"NUM", 40, 0, 8, {}},
        // Binary fields: refused by the byte-wise sorts, their own size
        // elsewhere, and refused where the integer sort's size differs.
        {"I2", 1, ERR_EXPR_FIELD_TYPE, 0, {}},
        {"CUR", 2, ERR_EXPR_FIELD_TYPE, 0, {}},
        {"I2", 3, 0, 2, {{"I2", '3', 2, 1, 0}}},
        {"U2", 4, 0, 2, {}},
        {"I2", 5, ERR_EXPR_FIELD_TYPE, 0, {}},
        {"I4", 3, ERR_EXPR_FIELD_TYPE, 0, {}},
        {"I4", 5, 0, 4, {}},
        {"U4", 6, 0, 4, {}},
        {"I4", 7, ERR_EXPR_FIELD_TYPE, 0, {}},
        {"I8", 7, 0, 8, {}},
        {"U8", 8, 0, 8, {}},
        {"CUR", 5, ERR_EXPR_FIELD_TYPE, 0, {}},
        {"CUR", 8, 0, 8, {{"CUR", 'Y', 8, 1, 0}}},
        {"I2", 9, 0, 2, {}},
        {"I4", 9, 0, 4, {}},
        {"U8", 9, 0, 8, {}},
        {"I2", 0, 0, 2, {}},
        {"U4", 12, 0, 4, {}},
        {"I8", 32, 0, 8, {}},
        // Other types take their length byte under every sort function.
        {"DAT", 1, 0, 8, {}},
        {"DAT", 5, 0, 8, {{"DAT", 'D', 8, 1, 0}}},
        {"LOG", 3, 0, 1, {}},
        {"UPPER(DAT)", 9, 0, 8, {{"DAT", 'D', 8, 1, 0}}},
        // Zero length, and the 16-bit length of a character field.
        {"EMPTYN", 1, ERR_FIELD_LENGTH, 0, {}},
        {"EMPTYN", 5, ERR_FIELD_LENGTH, 0, {}},
        {"LONGC", 1, ERR_KEY_TOO_LONG, 0, {}},
    };
    for (const ParseCase &c : cases) check_case(data, c);
}

TEST(KeyParser, Limits) {
    FakeDataFile data(kvl_test::mixed_fields());
    const std::string sixteen = repeat_joined("ID", 16);
    const std::string seventeen = repeat_joined("ID", 17);
    const std::string max_key = "NAME+NAME+NAME+NAME+NAME+SUBSTR(NAME,1,15)+ID";  // 196
    const std::vector<ParseCase> cases = {
        {sixteen, 1, 0, 96, {}},
        {seventeen, 1, ERR_EXPR_TOO_MANY, 0, {}},
        // The sixteenth segment must end the text.
        {sixteen + "+", 1, ERR_EXPR_TOO_MANY, 0, {}},
        {"UPPER(" + sixteen + ")", 1, ERR_EXPR_TOO_MANY, 0, {}},
        {"UPPER(" + repeat_joined("ID", 15) + ")", 1, 0, 90, {}},
        {max_key, 1, 0, 196, {}},
        {max_key + "+SUBSTR(ID,1,1)", 1, ERR_KEY_TOO_LONG, 0, {}},
        {max_key + "+SUBSTR(ID,1,0)", 1, 0, 196, {}},
        {"NAME+NAME+NAME+NAME+NAME+NAME", 1, ERR_KEY_TOO_LONG, 0, {}},
        {repeat_joined("U8", 16), 9, 0, 128, {}},
        // Numeric fields count their key size, not their length.
        {repeat_joined("NUM", 16), 5, 0, 64, {}},
    };
    for (const ParseCase &c : cases) check_case(data, c);
}

TEST(KeyParser, RefusesBadHandles) {
    FakeDataFile data(kvl_test::register_fields());
    FakeIndex index(data, "ID", 1);
    uint32_t length = 0;
    EXPECT_EQ(KvlFuncIx4ParseExp(nullptr, &length), ERR_NULL_PARAMETER);
    EXPECT_EQ(KvlFuncIx4ParseExp(index.get(), nullptr), ERR_NULL_PARAMETER);

    index.get()->data_link = nullptr;
    EXPECT_EQ(KvlFuncIx4ParseExp(index.get(), &length), ERR_NO_DATA_LINK);
    index.get()->data_link = KVL_NO_DATA_FILE;
    EXPECT_EQ(KvlFuncIx4ParseExp(index.get(), &length), ERR_DATA_LINK_INVALID);
    index.get()->data_link = data.get();
    data.get()->os_handle = 0;
    EXPECT_EQ(KvlFuncIx4ParseExp(index.get(), &length), ERR_FILE_NOT_OPEN);
    data.get()->os_handle = 7;
    data.get()->kind = 0;
    EXPECT_EQ(KvlFuncIx4ParseExp(index.get(), &length), ERR_WRONG_FILE_KIND);
    data.get()->kind = KVL_KIND_DATA;
    EXPECT_EQ(KvlFuncIx4ParseExp(index.get(), &length), 0u);
    EXPECT_EQ(length, 6u);
}

TEST(KeyParser, FailureKeepsThePreviousSegmentTable) {
    FakeDataFile data(kvl_test::register_fields());
    FakeIndex index(data, "SUBSTR(CHKDATE,1,8)+SUBSTR(ID,1,6)", 2);
    ASSERT_EQ(index.parse(), 0u);
    IndexHeader before = index.header();
    std::strcpy(index.header().expression, "ID+NAME+BOGUS");
    uint32_t length = 99;
    EXPECT_EQ(KvlFuncIx4ParseExp(index.get(), &length), ERR_EXPR_UNKNOWN_NAME);
    EXPECT_EQ(length, 99u);
    EXPECT_EQ(index.header().segment_count, 2u);
    EXPECT_EQ(std::memcmp(index.header().segments, before.segments, sizeof before.segments), 0);
}

TEST(KeyParser, ExpressionFillingAll380Characters) {
    // A text of exactly 380 characters has no terminator; what follows the
    // field in the header must not be read as part of it.
    FakeDataFile data(kvl_test::register_fields());
    std::string text;
    for (int i = 0; i < 42; ++i) text += "DESCEND(";
    text += "ID" + std::string(42, ')');
    ASSERT_EQ(text.size(), 380u);
    FakeIndex index(data, "", 1);
    std::memcpy(index.header().expression, text.data(), text.size());
    index.header().collation_size = 0x41414141;  // "AAAA" right after the text
    uint32_t length = 0;
    ASSERT_EQ(KvlFuncIx4ParseExp(index.get(), &length), 0u);
    EXPECT_EQ(length, 6u);
    EXPECT_EQ(index.header().segments[0].flags, D);
}

}  // namespace
