// Key expressions: what KvlFuncIx4ParseExp compiles (key lengths and
// segments, refusals) over data files fabricated as an open leaves them,
// and the key bytes KvlFuncIx4BuildKey writes for every field type and sort
// function, with the tag filter and the record callback of a rebuild.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "engine/korval32.h"
#include "engine/korval32_control.h"
#include "support/result_name.h"

namespace {

using kvl_test::Result;
using Bytes = std::vector<uint8_t>;

struct Field {
    const char *name;
    char type;
    uint32_t length;
};

// A DataControlRecord as a successful open leaves it.
class FakeData {
public:
    explicit FakeData(const std::vector<Field> &fields) : record_(uint32_t(fields.size())) {
        record_->kind = KVL_KIND_DATA;
        record_->os_handle = 7;
        uint32_t offset = 1;
        for (size_t i = 0; i < fields.size(); ++i) {
            FieldDescriptor &d = record_->fields[i];
            std::strncpy(d.name, fields[i].name, 10);
            d.type = fields[i].type;
            d.offset = offset;
            d.length = uint8_t(fields[i].length);
            if (fields[i].type == 'C') d.decimals = uint8_t(fields[i].length >> 8);
            offset += fields[i].length;
        }
        record_->header.record_length = uint16_t(offset);
    }
    ~FakeData() { record_->os_handle = 0; }  // never opened: nothing to close
    DataControlRecord *get() const { return record_.get(); }
    uint32_t offset(const char *name) const {
        for (uint32_t i = 0; i < record_->field_count; ++i)
            if (std::strcmp(record_->fields[i].name, name) == 0) return record_->fields[i].offset;
        ADD_FAILURE() << name;
        return 0;
    }
    // A blank record with the given fields filled in.
    std::string record(const std::vector<std::pair<const char *, std::string>> &values, char tag = ' ') const {
        std::string r(record_->header.record_length, ' ');
        r[0] = tag;
        for (const auto &[name, text] : values) r.replace(offset(name), text.size(), text);
        return r;
    }

private:
    korval32::DataControl record_;
};

class FakeIndex {
public:
    FakeIndex(const FakeData &data, const std::string &expression, uint32_t sort) : record_(512) {
        record_->data_link = data.get();
        record_->header.flags = sort;
        std::memcpy(record_->header.expression, expression.data(),
                    std::min(expression.size(), sizeof record_->header.expression));
    }
    IndexControlRecord *get() const { return record_.get(); }
    IndexHeader &header() const { return record_->header; }
    uint32_t parse() {
        uint32_t length = 0;
        const uint32_t rc = KvlFuncIx4ParseExp(get(), &length);
        if (rc == 0) record_->header.key_length = length;
        return rc;
    }

private:
    korval32::IndexControl record_;
};

const std::vector<Field> kFields = {
    {"NAME", 'C', 35}, {"ID", 'C', 6},  {"NUM", 'N', 12}, {"SMALL", 'N', 3}, {"FLT", 'F', 10},
    {"I2", '3', 2},    {"U2", '4', 2},  {"I4", '5', 4},   {"U4", '6', 4},    {"I8", '7', 8},
    {"U8", '8', 8},    {"CUR", 'Y', 8}, {"DAT", 'D', 8},  {"LOG", 'L', 1},   {"NAME12", 'C', 12},
    {"NAME14", 'C', 14}, {"TENCHARSXX", 'C', 4}, {"EMPTYN", 'N', 0}, {"LONGC", 'C', 300}};

std::string joined(const char *operand, int count) {
    std::string text;
    for (int i = 0; i < count; ++i) text += (i ? "+" : "") + std::string(operand);
    return text;
}

constexpr uint16_t U = KVL_SEGMENT_UPPER, D = KVL_SEGMENT_DESCEND;

TEST(KeyParser, LengthsSegmentsAndRefusals) {
    FakeData data(kFields);
    struct Seg {
        const char *field;
        uint8_t type, length;
        uint16_t start, flags;
    };
    const std::string max_key = "NAME+NAME+NAME+NAME+NAME+SUBSTR(NAME,1,15)+ID";  // 196
    const struct {
        std::string expression;
        uint32_t sort, rc, key_length;
        std::vector<Seg> segments;
    } cases[] = {
        // syntax and modifiers
        {"SUBSTR(NAME,1,8)+SUBSTR(ID,1,6)", 1, 0, 14, {{"NAME", 'C', 8, 1, 0}, {"ID", 'C', 6, 1, 0}}},
        {"UPPER(DESCEND(NAME)+ID)", 2, 0, 41, {{"NAME", 'C', 35, 1, U | D}, {"ID", 'C', 6, 1, U}}},
        {"DESCEND(DESCEND(ID))+NAME", 1, 0, 41, {{"ID", 'C', 6, 1, D}, {"NAME", 'C', 35, 1, 0}}},
        {"UPPER(NUM)", 2, 0, 12, {{"NUM", 'N', 12, 1, 0}}},
        {"DESCEND(UPPER(NAME))", 2, ERR_EXPR_SYNTAX, 0, {}},
        {"NAME++ID", 2, ERR_EXPR_SYNTAX, 0, {}},
        {"NAME ID", 2, ERR_EXPR_EMPTY, 0, {}},
        {"", 2, ERR_EXPR_EMPTY, 0, {}},
        {"name", 2, ERR_EXPR_UNKNOWN_NAME, 0, {}},
        {"ABCDEFGHIJK", 2, ERR_EXPR_NAME_LONG, 0, {}},
        {"TENCHARSXX+ID", 2, 0, 10, {{"TENCHARSXX", 'C', 4, 1, 0}, {"ID", 'C', 6, 1, 0}}},
        // substrings
        {"SUBSTR(NAME,35,1)", 1, 0, 1, {{"NAME", 'C', 1, 35, 0}}},
        {"SUBSTR(NAME,36,1)", 1, ERR_EXPR_RANGE, 0, {}},
        {"SUBSTR(NAME12,5,10)", 1, ERR_EXPR_RANGE, 0, {}},
        {"SUBSTR(NAME,-1,3)", 1, ERR_EXPR_RANGE, 0, {}},
        {"SUBSTR(NAME,+2,3)", 1, 0, 3, {{"NAME", 'C', 3, 2, 0}}},
        {"SUBSTR(NAME,000001,3)", 1, ERR_EXPR_SYNTAX, 0, {}},  // numbers end after 5 characters
        {"SUBSTR(NAME,1,0)+ID", 1, 0, 6, {{"NAME", 'C', 0, 1, 0}, {"ID", 'C', 6, 1, 0}}},
        {"SUBSTR(LONGC,290,11)", 1, 0, 11, {{"LONGC", 'C', 11, 290, 0}}},
        {"SUBSTR(I2,9,9)", 1, ERR_EXPR_TYPE, 0, {}},
        {"SUBSTR(NUM,1,5)", 3, ERR_EXPR_TYPE, 0, {}},
        // field types by sort function
        {"NAME", 5, ERR_EXPR_FIELD_TYPE, 0, {}},
        {"NUM", 3, 0, 2, {{"NUM", 'N', 12, 1, 0}}},
        {"NUM", 5, 0, 4, {}},
        {"NUM", 9, 0, 8, {}},
        {"SMALL", 0, 0, 8, {}},
        {"I2", 1, ERR_EXPR_FIELD_TYPE, 0, {}},
        {"I2", 3, 0, 2, {{"I2", '3', 2, 1, 0}}},
        {"U2", 4, 0, 2, {}},
        {"I2", 5, ERR_EXPR_FIELD_TYPE, 0, {}},
        {"I4", 7, ERR_EXPR_FIELD_TYPE, 0, {}},
        {"CUR", 8, 0, 8, {}},
        {"DAT", 5, 0, 8, {{"DAT", 'D', 8, 1, 0}}},
        {"EMPTYN", 1, ERR_FIELD_LENGTH, 0, {}},
        {"LONGC", 1, ERR_KEY_TOO_LONG, 0, {}},
        // limits
        {joined("ID", 16), 1, 0, 96, {}},
        {joined("ID", 17), 1, ERR_EXPR_TOO_MANY, 0, {}},
        {max_key, 1, 0, 196, {}},
        {max_key + "+SUBSTR(ID,1,1)", 1, ERR_KEY_TOO_LONG, 0, {}},
        {joined("NUM", 16), 5, 0, 64, {}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.expression + " sort " + std::to_string(c.sort));
        FakeIndex index(data, c.expression, c.sort);
        uint32_t key_length = 0xDEAD;
        ASSERT_EQ(Result(KvlFuncIx4ParseExp(index.get(), &key_length)), Result(c.rc));
        if (c.rc != 0) {
            EXPECT_EQ(key_length, 0xDEADu);
            EXPECT_EQ(index.header().segment_count, 0u);
            continue;
        }
        EXPECT_EQ(key_length, c.key_length);
        if (c.segments.empty()) continue;
        ASSERT_EQ(index.header().segment_count, c.segments.size());
        for (size_t i = 0; i < c.segments.size(); ++i) {
            const KeySegment &got = index.header().segments[i];
            EXPECT_EQ(got.type, c.segments[i].type) << i;
            EXPECT_EQ(got.length, c.segments[i].length) << i;
            EXPECT_EQ(got.offset, data.offset(c.segments[i].field) + c.segments[i].start - 1) << i;
            EXPECT_EQ(got.flags, c.segments[i].flags) << i;
        }
    }
    // A failed parse keeps the table the last one compiled.
    FakeIndex index(data, "SUBSTR(NAME,1,8)+ID", 2);
    ASSERT_EQ(index.parse(), 0u);
    std::strcpy(index.header().expression, "ID+NAME+BOGUS");
    uint32_t length = 0;
    EXPECT_EQ(Result(KvlFuncIx4ParseExp(index.get(), &length)), ERR_EXPR_UNKNOWN_NAME);
    EXPECT_EQ(index.header().segment_count, 2u);
    EXPECT_EQ(index.header().segments[0].length, 8);
    // The data link must be an open data file.
    const struct {
        DataControlRecord *link;
        uint32_t rc;
    } links[] = {{nullptr, ERR_NO_DATA_LINK}, {KVL_NO_DATA_FILE, ERR_DATA_LINK_INVALID}};
    for (const auto &l : links) {
        index.get()->data_link = l.link;
        EXPECT_EQ(Result(KvlFuncIx4ParseExp(index.get(), &length)), Result(l.rc));
    }
}

Bytes le(uint64_t value, int size) {
    Bytes out;
    for (int i = 0; i < size; ++i) out.push_back(uint8_t(value >> (8 * i)));
    return out;
}
Bytes le_double(double value) {
    uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return le(bits, 8);
}
Bytes text(const std::string &s) { return Bytes(s.begin(), s.end()); }
Bytes operator+(Bytes a, const Bytes &b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}
std::string padded(const std::string &s, size_t width) { return s + std::string(width - s.size(), ' '); }

TEST(KeyBuilder, KeyBytesByTypeAndSortFunction) {
    FakeData data(kFields);
    const std::string raw2("\x34\x12", 2), raw4("\x78\x56\x34\x12", 4), raw8("\x01\x02\x03\x04\x05\x06\x07\x88", 8);
    const struct {
        const char *expression;
        uint32_t sort;
        std::vector<std::pair<const char *, std::string>> values;
        Bytes key;
    } cases[] = {
        {"NUM", 5, {{"NUM", "        -345"}}, le(uint32_t(-345), 4)},
        {"NUM", 3, {{"NUM", "       70000"}}, le(70000 & 0xFFFF, 2)},
        {"NUM", 4, {{"NUM", "          -2"}}, le(0xFFFE, 2)},
        {"NUM", 8, {{"NUM", "     -123.45"}}, le(uint64_t(-123), 8)},
        {"NUM", 9, {{"NUM", "      123.45"}}, le_double(123.45)},
        {"FLT", 9, {{"FLT", "     -0.50"}}, le_double(-0.5)},
        {"NUM", 32, {{"NUM", "      123.45"}}, le_double(123.45)},
        {"NUM", 1, {{"NUM", "      123.45"}}, text("      123.45")},
        {"SUBSTR(NUM,7,3)", 2, {{"NUM", "      123.45"}}, text("123")},
        {"I2", 3, {{"I2", raw2}}, text(raw2)},
        {"U4", 6, {{"U4", raw4}}, text(raw4)},
        {"CUR", 8, {{"CUR", raw8}}, text(raw8)},
        {"DAT", 5, {{"DAT", "20240131"}}, text("20240131")},
        {"SUBSTR(NAME14,5,10)", 1, {{"NAME14", "abcdefghijklmn"}}, text("efghijklmn")},
        {"NUM+I4", 5, {{"NUM", "           9"}, {"I4", raw4}}, le(9, 4) + text(raw4)},
        {"UPPER(NAME)", 2, {{"NAME", "acme supply"}}, text(padded("ACME SUPPLY", 35))},
        {"UPPER(SUBSTR(NAME,1,6))", 2, {{"NAME", std::string("ab\0cd!", 6)}}, text(std::string("AB\0cd!", 6))},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.expression) + " sort " + std::to_string(c.sort));
        FakeIndex index(data, c.expression, c.sort);
        ASSERT_EQ(index.parse(), 0u);
        ASSERT_EQ(index.header().key_length, c.key.size());
        Bytes key(256, 0xEE);
        std::string record = data.record(c.values);
        ASSERT_EQ(KvlFuncIx4BuildKey(index.get(), record.data(), key.data()), 0u);
        EXPECT_EQ(Bytes(key.begin(), key.begin() + c.key.size()), c.key);
        EXPECT_EQ(key[c.key.size()], 0xEE) << "wrote past the key";
    }
}

TEST(KeyBuilder, TagFilterAndTheRebuildsRecordCallback) {
    FakeData data({{"ID", 'C', 6}, {"NAME", 'C', 10}});
    const struct {
        uint32_t filter;
        char tag;
        uint32_t rc;
    } cases[] = {{0, '*', 0},
                 {'*', '*', ERR_RECORD_FILTERED},
                 {'*', ' ', 0},
                 {' ' << 8, '*', ERR_RECORD_FILTERED},  // a required tag
                 {' ' << 8, ' ', 0},
                 {'*' | ('*' << 8), '*', ERR_RECORD_FILTERED},
                 {0xFFFF0000u, '*', 0}};  // only the two low bytes count
    for (const auto &c : cases) {
        FakeIndex index(data, "ID", 2);
        ASSERT_EQ(index.parse(), 0u);
        index.get()->tag_filter = c.filter;
        std::string record = data.record({{"ID", "00000a"}}, c.tag);
        uint8_t key[8];
        EXPECT_EQ(Result(KvlFuncIx4BuildKey(index.get(), record.data(), key)), Result(c.rc))
            << std::hex << c.filter << " tag " << c.tag;
    }
    // With the rebuild's marker the callback sees the record first, may
    // change it, and a refusal ends the build with its result.
    static uint32_t calls, answer;
    calls = 0, answer = 0;
    data.get()->record_callback = [](uint32_t event, DataHandle, void *record, uint32_t number) -> uint32_t {
        ++calls;
        if (event != KVL_EVENT_READ || number != 0) return 1;
        if (!answer) std::memcpy(static_cast<char *>(record) + 1, "CALLED", 6);
        return answer;
    };
    FakeIndex index(data, "ID", 2);
    ASSERT_EQ(index.parse(), 0u);
    std::string record = data.record({{"ID", "00000a"}});
    uint8_t key[8] = {};
    EXPECT_EQ(KvlFuncIx4BuildKey(index.get(), record.data(), key), 0u);
    EXPECT_EQ(calls, 0u);
    index.get()->reindex_marker = 'U';
    EXPECT_EQ(KvlFuncIx4BuildKey(index.get(), record.data(), key), 0u);
    EXPECT_EQ(calls, 1u);
    EXPECT_EQ(std::string(reinterpret_cast<char *>(key), 6), "CALLED");
    answer = 4711;
    EXPECT_EQ(KvlFuncIx4BuildKey(index.get(), record.data(), key), 4711u);
    data.get()->record_callback = nullptr;
}

}  // namespace
