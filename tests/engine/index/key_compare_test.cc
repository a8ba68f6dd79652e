// The built-in key compare (KvlFuncIx4SortCmp): every sort function,
// segments by type, descending segments, doubles, duplicates, the highest
// key, and custom sort functions.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "engine/korval32_control.h"
#include "support/result_name.h"

namespace {

using kvl_test::Result;

using namespace std::string_literals;

struct Seg {
    char type;
    uint8_t length;
    bool descending;
};

// An index control record (no file) with a header for the compare.
class CompareHandle {
public:
    CompareHandle(uint32_t sort, uint32_t key_length, std::vector<Seg> segments = {},
                  bool duplicates = false)
        : control_(512) {
        ix_ = control_.get();
        IndexHeader &h = ix_->header;
        h.key_length = key_length;
        h.flags = sort | (duplicates ? KVL_IX_DUPLICATES : 0);
        h.segment_count = uint32_t(segments.size());
        for (size_t i = 0; i < segments.size(); ++i) {
            h.segments[i].type = uint8_t(segments[i].type);
            h.segments[i].length = segments[i].length;
            h.segments[i].flags = segments[i].descending ? KVL_SEGMENT_DESCEND : 0;
        }
    }
    IndexControlRecord *get() { return ix_; }
    IndexControlRecord *operator->() { return ix_; }
    int sign(const std::string &a, const std::string &b, uint32_t flag = 0) {
        const int32_t r = KvlFuncIx4SortCmp(ix_, a.data(), b.data(), nullptr, flag);
        return r < 0 ? -1 : (r > 0 ? 1 : 0);
    }

private:
    korval32::IndexControl control_;
    IndexControlRecord *ix_;
};

template <class T>
std::string bytes_of(T value) {
    std::string out(sizeof value, '\0');
    std::memcpy(out.data(), &value, sizeof value);
    return out;
}

TEST(KeyCompare, EachSortFunctionOrdersItsValues) {
    struct Case {
        const char *what;
        uint32_t sort;
        std::string lower, higher;
    } cases[] = {
        {"bytes are unsigned", 1, "A\x7F", "A\x80"},
        {"bytes, first difference", 1, "AB\xFF", "AC\x00"},
        {"signed 16", 3, bytes_of<int16_t>(-2), bytes_of<int16_t>(1)},
        {"unsigned 16", 4, bytes_of<uint16_t>(1), bytes_of<uint16_t>(0xFFFE)},
        {"signed 32", 5, bytes_of<int32_t>(-70000), bytes_of<int32_t>(-69999)},
        {"unsigned 32", 6, bytes_of<uint32_t>(0x7FFFFFFF), bytes_of<uint32_t>(0x80000000)},
        {"signed 64, high word signed", 7, bytes_of<int64_t>(-1), bytes_of<int64_t>(0)},
        {"signed 64, low word unsigned", 7, bytes_of<int64_t>(0xFFFFFFFFll), bytes_of<int64_t>(0x100000000ll)},
        {"unsigned 64", 8, bytes_of<uint64_t>(1), bytes_of<uint64_t>(~0ull)},
    };
    for (const Case &c : cases) {
        CompareHandle ix(c.sort, uint32_t(c.lower.size()));
        EXPECT_EQ(ix.sign(c.lower, c.higher), -1) << c.what;
        EXPECT_EQ(ix.sign(c.higher, c.lower), 1) << c.what;
        EXPECT_EQ(ix.sign(c.lower, c.lower), 0) << c.what;
    }
}

TEST(KeyCompare, CollationComparesWeights) {
    CompareHandle ix(KVL_SORT_COLLATED, 3);
    for (int i = 0; i < 256; ++i) ix->header.collation[i] = uint8_t(i);
    for (int c = 'a'; c <= 'z'; ++c) ix->header.collation[c] = uint8_t(c - 32);
    ix->header.collation[0x82] = 'E';  // an accented e weighs as E
    ix->header.collation_size = 256;
    EXPECT_EQ(ix.sign("abc", "ABC"), 0);
    EXPECT_EQ(ix.sign("\x82ZZ", "eAA"), 1);
    EXPECT_EQ(ix.sign("abc", "ABD"), -1);
    EXPECT_EQ(ix.sign("Z\x01\x01", "a\x01\x01"), 1);  // raw bytes would say otherwise
}

TEST(KeyCompare, DoublesCompareByTheirBits) {
    CompareHandle ix(KVL_SORT_BY_TYPE, 8, {{'N', 8, false}});
    const double ordered[] = {-1e300, -2.5, -1.0, -1e-300, -0.0, 0.0, 1e-300, 1.0, 2.5, 1e300};
    for (size_t i = 0; i + 1 < std::size(ordered); ++i) {
        EXPECT_EQ(ix.sign(bytes_of(ordered[i]), bytes_of(ordered[i + 1])), -1) << ordered[i];
        EXPECT_EQ(ix.sign(bytes_of(ordered[i + 1]), bytes_of(ordered[i])), 1) << ordered[i];
    }
    CompareHandle down(KVL_SORT_BY_TYPE, 8, {{'F', 8, true}});
    EXPECT_EQ(down.sign(bytes_of(-1.0), bytes_of(2.0)), 1);
}

TEST(KeyCompare, SortFunction9ComparesEachSegmentByItsType) {
    // int16 ('3') | text ('C', collated) | double ('N', descending) | bytes ('D')
    CompareHandle ix(KVL_SORT_BY_TYPE, 2 + 3 + 8 + 2,
                     {{'3', 2, false}, {'C', 3, false}, {'N', 12, true}, {'D', 2, false}});
    for (int i = 0; i < 256; ++i) ix->header.collation[i] = uint8_t(i >= 'a' && i <= 'z' ? i - 32 : i);
    ix->header.collation_size = 256;
    auto key = [](int16_t a, const char *text, double d, const char *tail) {
        return bytes_of(a) + std::string(text, 3) + bytes_of(d) + std::string(tail, 2);
    };
    EXPECT_EQ(ix.sign(key(-5, "abc", 1, "zz"), key(4, "AAA", 0, "aa")), -1);  // first segment
    EXPECT_EQ(ix.sign(key(4, "abc", 1, "zz"), key(4, "ABD", 0, "aa")), -1);   // collated
    EXPECT_EQ(ix.sign(key(4, "abc", 1, "aa"), key(4, "ABC", 0, "zz")), -1);   // descending double
    EXPECT_EQ(ix.sign(key(4, "abc", 1, "aa"), key(4, "ABC", 1, "ab")), -1);   // last bytes
    EXPECT_EQ(ix.sign(key(4, "abc", 1, "ab"), key(4, "ABC", 1, "ab")), 0);
}

TEST(KeyCompare, DescendingSegmentNegatesOnlyItself) {
    CompareHandle ix(KVL_SORT_BYTES, 4, {{'C', 2, true}, {'C', 2, false}});
    EXPECT_EQ(ix.sign("BAaa", "AAaa"), -1);
    EXPECT_EQ(ix.sign("AAab", "AAaa"), 1);
}

TEST(KeyCompare, RecordNumbersBreakTiesOnlyWithFlagAndDuplicates) {
    const std::string a = "KEY" + bytes_of<uint32_t>(7);
    const std::string b = "KEY" + bytes_of<uint32_t>(0x80000000u);
    CompareHandle dup(KVL_SORT_BYTES, 3, {}, true);
    EXPECT_EQ(dup.sign(a, b, 1), -1);  // unsigned
    EXPECT_EQ(dup.sign(b, a, 1), 1);
    EXPECT_EQ(dup.sign(a, b, 0), 0);
    CompareHandle unique(KVL_SORT_BYTES, 3);
    EXPECT_EQ(unique.sign(a, b, 1), 0);
}

TEST(KeyCompare, HighestKeyPerKindAndDirection) {
    struct Case {
        const char *what;
        uint32_t sort;
        std::vector<Seg> segments;
        uint32_t key_length;
        std::string expected;
    } cases[] = {
        {"bytes", 1, {{'C', 3, false}, {'C', 2, true}}, 5, "\xFF\xFF\xFF\x00\x00"s},
        {"signed 16", 3, {{'N', 5, false}, {'N', 5, true}}, 4, "\xFF\x7F\x00\x80"s},
        {"unsigned 16", 4, {{'N', 5, false}, {'N', 5, true}}, 4, "\xFF\xFF\x00\x00"s},
        {"signed 32", 5, {{'N', 5, false}}, 4, "\xFF\xFF\xFF\x7F"s},
        {"signed 32 down", 5, {{'N', 5, true}}, 4, "\x00\x00\x00\x80"s},
        {"unsigned 32 down", 6, {{'N', 5, true}}, 4, "\x00\x00\x00\x00"s},
        {"signed 64", 7, {{'N', 9, false}}, 8, "\xFF\xFF\xFF\xFF\xFF\xFF\xFF\x7F"s},
        {"unsigned 64", 8, {{'N', 9, false}}, 8, std::string(8, '\xFF')},
        {"double", 9, {{'N', 9, false}}, 8, "\xFF\xFF\xFF\xFF\xFF\xFF\xFF\x7F"s},
        {"double down", 9, {{'Y', 9, true}}, 8, std::string(8, '\xFF')},
        {"other type under 9", 9, {{'D', 3, false}, {'L', 1, true}}, 4, "\xFF\xFF\xFF\x00"s},
    };
    for (const Case &c : cases) {
        CompareHandle ix(c.sort, c.key_length, c.segments);
        std::string out(c.key_length + 4, '\x55');
        EXPECT_EQ(KvlFuncIx4SortCmp(ix.get(), nullptr, "x", out.data(), 0), 0) << c.what;
        EXPECT_EQ(out.substr(0, c.key_length), c.expected) << c.what;
        EXPECT_EQ(out.substr(c.key_length), "\x55\x55\x55\x55") << c.what;
        EXPECT_EQ(KvlFuncIx4SortCmp(ix.get(), "x", nullptr, out.data(), 1), 0) << c.what;
        EXPECT_EQ(out.substr(c.key_length), std::string(4, '\xFF')) << c.what;
    }
}

TEST(KeyCompare, HighestKeySortsAfterEveryKey) {
    std::mt19937 random(7);
    const std::vector<std::vector<Seg>> layouts = {
        {{'3', 2, true}, {'5', 4, false}}, {{'7', 8, true}}, {{'N', 8, false}, {'F', 8, true}},
        {{'C', 5, true}, {'6', 4, true}}};
    for (const auto &segments : layouts) {
        uint32_t length = 0;
        for (const Seg &s : segments) length += s.type == 'C' ? s.length : (s.type == '3' ? 2 : s.type == '5' || s.type == '6' ? 4 : 8);
        CompareHandle ix(KVL_SORT_BY_TYPE, length, segments);
        std::string highest(length + 4, '\0');
        ASSERT_EQ(KvlFuncIx4SortCmp(ix.get(), nullptr, nullptr, highest.data(), 0), 0);
        highest.resize(length);
        for (int i = 0; i < 2000; ++i) {
            std::string key(length, '\0');
            for (char &c : key) c = char(random());
            if (i % 3 == 0) key.assign(length, char(i % 2 ? 0x00 : 0xFF));
            EXPECT_LE(ix.sign(key, highest), 0);
        }
    }
}

TEST(KeyCompare, CollationHighestUsesTheHeaviestCode) {
    CompareHandle ix(KVL_SORT_COLLATED, 2);
    for (int i = 0; i < 256; ++i) ix->header.collation[i] = uint8_t(i / 2);
    ix->header.collation[0x41] = 0xF0;  // the heaviest, and the last weight is neither 0 nor FF
    ix->header.collation_size = 256;
    std::string out(2, '\0');
    ASSERT_EQ(KvlFuncIx4SortCmp(ix.get(), nullptr, nullptr, out.data(), 0), 0);
    EXPECT_EQ(out, "AA");
    ix->header.collation[255] = 0xFF;
    ASSERT_EQ(KvlFuncIx4SortCmp(ix.get(), nullptr, nullptr, out.data(), 0), 0);
    EXPECT_EQ(out, "\xFF\xFF");
}

int32_t by_length_of_text(IndexHandle, const void *a, const void *b, void *, uint32_t) {
    return int32_t(std::strlen(static_cast<const char *>(a))) -
           int32_t(std::strlen(static_cast<const char *>(b)));
}

TEST(KeyCompare, CustomAndUnknownSortFunctions) {
    CompareHandle custom(0x20, 4);
    EXPECT_EQ(KvlFuncIx4SortCmp(custom.get(), "aa", "b", nullptr, 0), 0);  // none installed
    EXPECT_EQ(Result(KvlFuncIx4SortCmp(custom.get(), nullptr, nullptr, nullptr, 0)),
              ERR_SORT_FUNCTION);
    custom->custom_compare = by_length_of_text;
    EXPECT_GT(KvlFuncIx4SortCmp(custom.get(), "aa", "b", nullptr, 0), 0);
    for (uint32_t sort : {0u, 10u, 0x1Fu}) {
        CompareHandle unknown(sort, 4);
        EXPECT_EQ(Result(KvlFuncIx4SortCmp(unknown.get(), "aaaa", "bbbb", nullptr, 0)),
                  ERR_SORT_FUNCTION)
            << sort;
        std::string out(8, '\0');
        EXPECT_EQ(Result(KvlFuncIx4SortCmp(unknown.get(), nullptr, nullptr, out.data(), 0)),
                  ERR_SORT_FUNCTION)
            << sort;
    }
}

TEST(KeyCompare, KeyWithoutSegmentsIsOneRunOfValues) {
    CompareHandle ix(KVL_SORT_INT32, 8);  // an index without data file: no segments
    EXPECT_EQ(ix.sign(bytes_of<int32_t>(1) + bytes_of<int32_t>(-1), bytes_of<int32_t>(1) + bytes_of<int32_t>(0)), -1);
    EXPECT_EQ(ix.sign(bytes_of<int32_t>(-1) + bytes_of<int32_t>(9), bytes_of<int32_t>(0) + bytes_of<int32_t>(0)), -1);
    // Segments never reach past the key length.
    CompareHandle clipped(KVL_SORT_BYTES, 3, {{'C', 200, false}});
    EXPECT_EQ(clipped.sign(std::string("abc") + "X", std::string("abc") + "Y"), 0);
}

// Long keys whose bytes differ only here and there, some of them in bytes
// of equal weight, compare as the rule says: segment by segment, byte
// weight by byte weight, descending segments negated, bytes past the last
// segment ignored, record numbers last.
TEST(KeyCompare, LongKeysAgreeWithTheRuleByteByByte) {
    struct Config {
        uint32_t sort;
        std::vector<Seg> segments;
        bool duplicates;
    };
    const std::vector<Config> configs = {
        {KVL_SORT_COLLATED, {{'C', 35, false}, {'C', 6, false}}, false},
        {KVL_SORT_COLLATED, {{'C', 35, false}, {'C', 6, false}}, true},
        {KVL_SORT_COLLATED, {{'C', 20, false}, {'C', 9, false}}, true},  // 29 of 41 bytes
        {KVL_SORT_COLLATED, {{'C', 30, false}, {'C', 11, true}}, false},
        {KVL_SORT_COLLATED, {{'C', 0, true}, {'C', 41, false}}, false},
        {KVL_SORT_COLLATED, {}, true},
        {KVL_SORT_BYTES, {{'C', 35, false}, {'C', 6, false}}, true},
        {KVL_SORT_BYTES, {{'C', 17, true}, {'C', 24, false}}, false},
    };
    const uint32_t key_length = 41;
    const std::string alphabet = "aAbBeE 0z\x82\x90\xff";
    uint8_t table[256];
    for (int i = 0; i < 256; ++i) table[i] = uint8_t(i >= 'a' && i <= 'z' ? i - 32 : i);
    table[0x82] = 'E';
    table[0x90] = 'E';
    std::mt19937 random(9);
    auto pick = [&] { return alphabet[random() % alphabet.size()]; };

    for (const Config &c : configs) {
        CompareHandle ix(c.sort, key_length, c.segments, c.duplicates);
        std::memcpy(ix->header.collation, table, 256);
        ix->header.collation_size = 256;
        auto weight = [&](char byte) {
            const uint8_t b = uint8_t(byte);
            return c.sort == KVL_SORT_COLLATED ? table[b] : b;
        };
        auto rule = [&](const std::string &a, const std::string &b) {
            std::vector<Seg> segments = c.segments;
            if (segments.empty()) segments.push_back({'C', uint8_t(key_length), false});
            uint32_t at = 0;
            for (const Seg &seg : segments) {
                for (uint32_t i = 0; i < seg.length && at < key_length; ++i, ++at) {
                    if (weight(a[at]) == weight(b[at])) continue;
                    const int order = weight(a[at]) < weight(b[at]) ? -1 : 1;
                    return seg.descending ? -order : order;
                }
            }
            if (!c.duplicates) return 0;
            uint32_t ra, rb;
            std::memcpy(&ra, a.data() + key_length, 4);
            std::memcpy(&rb, b.data() + key_length, 4);
            return ra < rb ? -1 : (ra > rb ? 1 : 0);
        };
        for (int n = 0; n < 4000; ++n) {
            std::string a(key_length + 4, ' ');
            for (uint32_t i = 0; i < key_length; ++i) a[i] = pick();
            uint32_t record = random() % 3;
            std::memcpy(a.data() + key_length, &record, 4);
            std::string b = a;
            for (int changes = int(random() % 3); changes > 0; --changes)
                b[random() % key_length] = pick();
            record = random() % 3;
            std::memcpy(b.data() + key_length, &record, 4);
            ASSERT_EQ(ix.sign(a, b, 1), rule(a, b)) << c.sort << " " << a << " | " << b;
            ASSERT_EQ(ix.sign(b, a, 1), rule(b, a)) << c.sort << " " << b << " | " << a;
        }
    }
}

}  // namespace
