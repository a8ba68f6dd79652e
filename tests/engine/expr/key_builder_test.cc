// Tests of KvlFuncIx4BuildKey: key bytes for each field type and sort
// function, agreement with the parser's key length, the register's eight
// indexes, the tag filter, the re-index record callback and the bounds.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "expr_fixture.h"

namespace {

using kvl_test::FakeDataFile;
using kvl_test::FakeIndex;
using Bytes = std::vector<uint8_t>;
using Values = std::vector<std::pair<const char *, std::string>>;

Bytes le(uint64_t value, int size) {
    Bytes out;
    for (int i = 0; i < size; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
    return out;
}

Bytes le_double(double value) {
    uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return le(bits, 8);
}

Bytes text(const std::string &s) { return Bytes(s.begin(), s.end()); }

Bytes concat(Bytes a, const Bytes &b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

std::string padded(const std::string &s, size_t width) {
    return s + std::string(width - s.size(), ' ');
}

struct BuildCase {
    const char *expression;
    uint32_t sort;
    Values values;
    Bytes key;
};

void check_build(const FakeDataFile &data, const BuildCase &c) {
    SCOPED_TRACE(std::string(c.expression) + " sort " + std::to_string(c.sort));
    FakeIndex index(data, c.expression, c.sort);
    ASSERT_EQ(index.parse(), 0u);
    ASSERT_EQ(index.header().key_length, c.key.size());
    Bytes key;
    ASSERT_EQ(index.build(data.record(c.values), &key), 0u);
    EXPECT_EQ(Bytes(key.begin(), key.begin() + c.key.size()), c.key);
    EXPECT_EQ(key[c.key.size()], 0xEE) << "wrote past the key";
}

TEST(KeyBuilder, RegisterIndexes) {
    FakeDataFile data(kvl_test::register_fields());
    ASSERT_EQ(data.record_length(), 124u);
    const std::string name = padded("Acme Office Supply", 35);
    const std::string desc = padded("Toner cartridges, 12 boxes", 35);
    const Values sample = {{"ID", "00000q"},        {"CHKID", "104233"},
                           {"CHKDATE", "20230915"}, {"VENDORID", "V000001234"},
                           {"NAME", name},          {"POID", "PO778812"},
                           {"DESC", desc},          {"AMOUNT", "000000001234.50"}};
    const std::string record = data.record(sample);
    ASSERT_EQ(record.substr(13, 8), "20230915");  // the record layout of the register
    ASSERT_EQ(record.substr(109, 15), "000000001234.50");

    const std::vector<BuildCase> cases = {
        {"SUBSTR(CHKDATE,1,8)+SUBSTR(ID,1,6)", 2, sample, text("2023091500000q")},
        {"SUBSTR(ID,1,6)", 2, sample, text("00000q")},
        {"SUBSTR(NAME,1,35)+SUBSTR(ID,1,6)", 2, sample, text(name + "00000q")},
        {"SUBSTR(CHKID,1,6)+SUBSTR(ID,1,6)", 2, sample, text("10423300000q")},
        {"SUBSTR(VENDORID,1,10)+SUBSTR(ID,1,6)", 2, sample, text("V00000123400000q")},
        {"SUBSTR(POID,1,8)+SUBSTR(ID,1,6)", 2, sample, text("PO77881200000q")},
        {"SUBSTR(DESC,1,35)+SUBSTR(ID,1,6)", 2, sample, text(desc + "00000q")},
        {"SUBSTR(AMOUNT,1,15)+SUBSTR(ID,1,6)", 2, sample, text("000000001234.5000000q")},
        {"SUBSTR(CHKDATE,1,8)+SUBSTR(ID,1,6)", 1, sample, text("2023091500000q")},
    };
    for (const BuildCase &c : cases) check_build(data, c);
}

TEST(KeyBuilder, KeyBytesByTypeAndSortFunction) {
    FakeDataFile data(kvl_test::mixed_fields());
    const std::string raw2("\x34\x12", 2);
    const std::string raw4("\x78\x56\x34\x12", 4);
    const std::string raw8("\x01\x02\x03\x04\x05\x06\x07\x88", 8);
    const std::vector<BuildCase> cases = {
        {"NUM", 5, {{"NUM", "        -345"}}, le(static_cast<uint32_t>(-345), 4)},
        {"NUM", 6, {{"NUM", "        -345"}}, le(static_cast<uint32_t>(-345), 4)},
        {"NUM", 5, {{"NUM", "  1234.99   "}}, le(1234, 4)},
        {"NUM", 3, {{"NUM", "       70000"}}, le(70000 & 0xFFFF, 2)},
        {"NUM", 4, {{"NUM", "          -2"}}, le(0xFFFE, 2)},
        {"NUM", 9, {{"NUM", "      123.45"}}, le_double(123.45)},
        {"NUM", 7, {{"NUM", "      123.45"}}, le(123, 8)},
        {"NUM", 8, {{"NUM", "     -123.45"}}, le(static_cast<uint64_t>(-123), 8)},
        {"SMALL", 7, {{"SMALL", "123"}}, le(123, 8)},
        {"SMALL", 9, {{"SMALL", "  7"}}, le_double(7.0)},
        {"FLT", 9, {{"FLT", "     -0.50"}}, le_double(-0.5)},
        {"NUM", 9, {}, le_double(0.0)},
        // Numeric text is the same double under 0 and from 10 up as under 9.
        {"NUM", 0, {{"NUM", "      123.45"}}, le_double(123.45)},
        {"NUM", 12, {{"NUM", "      123.45"}}, le_double(123.45)},
        {"NUM", 32, {{"NUM", "      123.45"}}, le_double(123.45)},
        {"NUM", 1, {{"NUM", "      123.45"}}, text("      123.45")},
        {"SUBSTR(NUM,7,3)", 2, {{"NUM", "      123.45"}}, text("123")},
        // Binary fields keep their stored bytes.
        {"I2", 3, {{"I2", raw2}}, text(raw2)},
        {"U4", 6, {{"U4", raw4}}, text(raw4)},
        {"I8", 7, {{"I8", raw8}}, text(raw8)},
        {"CUR", 8, {{"CUR", raw8}}, text(raw8)},
        {"I4", 9, {{"I4", raw4}}, text(raw4)},
        {"I2", 0, {{"I2", raw2}}, text(raw2)},
        {"U8", 40, {{"U8", raw8}}, text(raw8)},
        // Other types are characters under every sort function.
        {"DAT", 5, {{"DAT", "20240131"}}, text("20240131")},
        {"UPPER(DAT)", 1, {{"DAT", "2024abcd"}}, text("2024abcd")},
        {"SUBSTR(NAME14,5,10)", 1, {{"NAME14", "abcdefghijklmn"}}, text("efghijklmn")},
        {"DESCEND(NAME)", 2, {{"NAME", "acme"}}, text(padded("acme", 35))},
        {"NUM+I4", 5, {{"NUM", "           9"}, {"I4", raw4}}, concat(le(9, 4), text(raw4))},
        {"I4+SUBSTR(NAME,2,2)", 9, {{"I4", raw4}, {"NAME", "xyz"}}, concat(text(raw4), text("yz"))},
    };
    for (const BuildCase &c : cases) check_build(data, c);
}

TEST(KeyBuilder, UpperCaseFlag) {
    FakeDataFile data(kvl_test::mixed_fields());
    const std::vector<BuildCase> cases = {
        {"UPPER(NAME)", 2, {{"NAME", "acme supply"}}, text(padded("ACME SUPPLY", 35))},
        {"UPPER(SUBSTR(NAME,1,5))+NAME12", 1, {{"NAME", "ab cd"}, {"NAME12", "lower"}},
         text("AB CD" + padded("lower", 12))},
        // Upper-casing stops at a NUL byte inside the segment.
        {"UPPER(SUBSTR(NAME,1,6))", 2, {{"NAME", std::string("ab\0cd!", 6)}},
         text(std::string("AB\0cd!", 6))},
    };
    for (const BuildCase &c : cases) check_build(data, c);
}

// For every expression the parser accepts, the builder writes exactly the
// key length the parser reported: it fits a key buffer of that length and
// not one byte less.
TEST(KeyBuilder, AgreesWithParserOnKeyLength) {
    FakeDataFile data(kvl_test::mixed_fields());
    const std::string record = data.record({{"NUM", "      -12.50"}, {"NAME", "acme"}});
    const uint32_t sorts[] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 20, 31, 32, 200, 255};
    std::vector<std::string> expressions;
    for (uint32_t i = 0; i < data.get()->field_count; ++i)
        expressions.push_back(data.get()->fields[i].name);
    for (const char *e : {"SUBSTR(NUM,1,5)", "SUBSTR(NAME,2,7)+NUM", "I2+NUM+SUBSTR(NAME,1,1)",
                          "UPPER(DESCEND(NAME)+ID)", "DAT+LOG+FLT", "CUR+U8+I4"})
        expressions.push_back(e);

    int accepted = 0;
    for (uint32_t sort : sorts) {
        for (const std::string &expression : expressions) {
            SCOPED_TRACE(expression + " sort " + std::to_string(sort));
            FakeIndex index(data, expression, sort);
            uint32_t rc = index.parse();
            if (rc != 0) {
                EXPECT_TRUE(rc == ERR_EXPR_FIELD_TYPE || rc == ERR_EXPR_TYPE ||
                            rc == ERR_FIELD_LENGTH || rc == ERR_KEY_TOO_LONG)
                    << rc;
                continue;
            }
            ++accepted;
            uint32_t length = index.header().key_length;
            Bytes key;
            EXPECT_EQ(index.build(record, &key), 0u);
            EXPECT_EQ(key[length], 0xEE);
            index.header().key_length = length - 1;
            if (length > 1) {
                EXPECT_EQ(index.build(record, &key), ERR_KEY_TOO_LONG);
            }
        }
    }
    EXPECT_GT(accepted, 150);
}

// Random texts made of the grammar's pieces: every parse ends in one of the
// parser's codes, and every accepted expression builds a key of exactly the
// reported length.
TEST(KeyBuilder, RandomExpressionsStayInBounds) {
    FakeDataFile data(kvl_test::mixed_fields());
    const std::string record = data.record({{"NUM", "     -1234.5"}, {"NAME", "mixed Case"}});
    static const char *pieces[] = {"NAME", "ID", "NUM", "I2", "U8", "CUR", "DAT", "LONGC",
                                   "EMPTYN", "SUBSTR(", "UPPER(", "DESCEND(", "+", ")",
                                   ",", "1", "5", "35", "0", "-", "XYZ", "ABCDEFGHIJKL", " "};
    std::mt19937 random(12345);
    int accepted = 0;
    for (int round = 0; round < 20000; ++round) {
        std::string expression;
        int count = 1 + static_cast<int>(random() % 12);
        for (int i = 0; i < count; ++i) expression += pieces[random() % std::size(pieces)];
        uint32_t sort = random() % 40;
        SCOPED_TRACE(expression + " sort " + std::to_string(sort));
        FakeIndex index(data, expression, sort);
        uint32_t rc = index.parse();
        if (rc != 0) {
            ASSERT_TRUE(rc == ERR_EXPR_EMPTY || (rc >= ERR_EXPR_NAME_LONG && rc <= ERR_EXPR_FIELD_TYPE) ||
                        rc == ERR_FIELD_LENGTH || rc == ERR_KEY_TOO_LONG)
                << rc;
            continue;
        }
        ++accepted;
        uint32_t length = index.header().key_length;
        ASSERT_GE(length, 1u);
        ASSERT_LE(length, 196u);
        Bytes key;
        ASSERT_EQ(index.build(record, &key), 0u);
        ASSERT_EQ(key[length], 0xEE);
    }
    EXPECT_GT(accepted, 200);
}

TEST(KeyBuilder, TagFilter) {
    FakeDataFile data(kvl_test::register_fields());
    struct Case {
        uint32_t filter;
        char tag;
        uint32_t result;
    };
    const Case cases[] = {
        {0, ' ', 0},
        {0, '*', 0},
        {'*', '*', ERR_RECORD_FILTERED},
        {'*', ' ', 0},
        {' ' << 8, '*', ERR_RECORD_FILTERED},
        {' ' << 8, ' ', 0},
        {'*' | (' ' << 8), ' ', 0},
        {'*' | ('*' << 8), '*', ERR_RECORD_FILTERED},
        {'X' << 8, 'X', 0},
        {0xFFFF0000u, '*', 0},  // only the two low bytes count
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::to_string(c.filter) + " tag " + c.tag);
        FakeIndex index(data, "SUBSTR(ID,1,6)", 2);
        ASSERT_EQ(index.parse(), 0u);
        index.get()->tag_filter = c.filter;
        Bytes key;
        EXPECT_EQ(index.build(data.record({{"ID", "00000a"}}, c.tag), &key), c.result);
    }
}

struct CallbackLog {
    static inline int calls = 0;
    static inline uint32_t event = 0;
    static inline DataHandle data = nullptr;
    static inline void *record = nullptr;
    static inline uint32_t number = 99;
    static inline uint32_t answer = 0;
    static uint32_t callback(uint32_t e, DataHandle d, void *r, uint32_t n) {
        ++calls;
        event = e;
        data = d;
        record = r;
        number = n;
        if (!answer) std::memcpy(static_cast<char *>(r) + 1, "CALLED", 6);
        return answer;
    }
};

TEST(KeyBuilder, RecordCallbackDuringRebuild) {
    FakeDataFile data(kvl_test::register_fields());
    data.get()->record_callback = &CallbackLog::callback;
    FakeIndex index(data, "SUBSTR(ID,1,6)", 2);
    ASSERT_EQ(index.parse(), 0u);
    std::string record = data.record({{"ID", "00000a"}});
    uint8_t key[8] = {};

    // Without the marker the callback is left alone.
    EXPECT_EQ(KvlFuncIx4BuildKey(index.get(), record.data(), key), 0u);
    EXPECT_EQ(CallbackLog::calls, 0);

    // With it the callback sees the record first (and may change it).
    index.get()->reindex_marker = 'U';
    EXPECT_EQ(KvlFuncIx4BuildKey(index.get(), record.data(), key), 0u);
    EXPECT_EQ(CallbackLog::calls, 1);
    EXPECT_EQ(CallbackLog::event, 1u);
    EXPECT_EQ(CallbackLog::data, data.get());
    EXPECT_EQ(CallbackLog::record, record.data());
    EXPECT_EQ(CallbackLog::number, 0u);
    EXPECT_EQ(std::string(reinterpret_cast<char *>(key), 6), "CALLED");

    // A refusal ends the build with the callback's result.
    CallbackLog::answer = 4711;
    std::memset(key, 0, sizeof key);
    EXPECT_EQ(KvlFuncIx4BuildKey(index.get(), record.data(), key), 4711u);
    EXPECT_EQ(key[0], 0);
}

TEST(KeyBuilder, RefusesBadHandles) {
    FakeDataFile data(kvl_test::register_fields());
    FakeIndex index(data, "SUBSTR(ID,1,6)", 2);
    ASSERT_EQ(index.parse(), 0u);
    std::string record = data.record({});
    uint8_t key[8];
    EXPECT_EQ(KvlFuncIx4BuildKey(nullptr, record.data(), key), ERR_NULL_PARAMETER);
    EXPECT_EQ(KvlFuncIx4BuildKey(index.get(), nullptr, key), ERR_NULL_PARAMETER);
    EXPECT_EQ(KvlFuncIx4BuildKey(index.get(), record.data(), nullptr), ERR_NULL_PARAMETER);
    index.get()->data_link = nullptr;
    EXPECT_EQ(KvlFuncIx4BuildKey(index.get(), record.data(), key), ERR_DATA_LINK_INVALID);
    index.get()->data_link = KVL_NO_DATA_FILE;
    EXPECT_EQ(KvlFuncIx4BuildKey(index.get(), record.data(), key), ERR_DATA_LINK_INVALID);
}

// Segment tables read from a damaged file: the builder must neither read
// outside the record nor write past 196 bytes or the key length.
TEST(KeyBuilder, DamagedSegmentTables) {
    FakeDataFile data(kvl_test::mixed_fields());
    const uint32_t record_length = data.record_length();
    const uint16_t longc = static_cast<uint16_t>(data.field("LONGC").offset);
    struct Case {
        const char *what;
        uint32_t sort;
        uint32_t key_length;
        std::vector<KeySegment> segments;
        uint32_t segment_count;
        uint32_t result;
        size_t untouched_from;  // key bytes from here on must stay 0xEE
    };
    const std::vector<Case> cases = {
        {"segment past the record", 1, 0,
         {{'C', 10, static_cast<uint16_t>(record_length - 9), 0}}, 1, ERR_FIELD_BOUNDS, 0},
        {"binary read past the record", 7, 0,
         {{'7', 2, static_cast<uint16_t>(record_length - 2), 0}}, 1, ERR_FIELD_BOUNDS, 0},
        {"segment at the record's end", 1, 0,
         {{'C', 9, static_cast<uint16_t>(record_length - 9), 0}}, 1, 0, 9},
        {"two long segments", 1, 0,
         {{'C', 150, longc, 0}, {'C', 150, longc, 0}}, 2, ERR_KEY_TOO_LONG, 150},
        {"longer than the key length", 1, 10, {{'C', 35, 1, 0}}, 1, ERR_KEY_TOO_LONG, 0},
        {"empty segment after 196 bytes", 1, 0,
         {{'C', 196, longc, 0}, {'C', 0, 1, 0}}, 2, ERR_KEY_TOO_LONG, 196},
        {"no segments", 1, 0, {}, 0, ERR_KEY_TOO_LONG, 0},
        {"only empty segments", 1, 0, {{'C', 0, 1, 0}}, 1, ERR_KEY_TOO_LONG, 0},
        {"segment count above 16", 1, 0, {{'C', 1, 1, 0}}, 17, ERR_KEY_TOO_LONG, 0},
        {"empty numeric segment", 5, 0, {{'N', 0, 1, 0}}, 1, 0, 4},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        FakeIndex index(data, "", c.sort);
        index.header().key_length = c.key_length;
        index.header().segment_count = c.segment_count;
        for (size_t i = 0; i < c.segments.size(); ++i) index.header().segments[i] = c.segments[i];
        Bytes key;
        EXPECT_EQ(index.build(data.record({}), &key), c.result);
        for (size_t i = c.untouched_from; i < key.size(); ++i)
            ASSERT_EQ(key[i], 0xEE) << "byte " << i;
    }
}

}  // namespace
