// Collation tables, the OEM upper-casing and the country query.  Expected
// values are characters of code pages 850 and 1252 (e-acute is 0x82 in 850,
// its capital 0x90; in 1252 they are 0xE9 and 0xC9).
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "engine/core/collation.h"
#include "engine/korval32.h"
#include "support/result_name.h"

namespace {

using kvl_test::Result;

struct Table {
    uint8_t entry[256];
};

Table table_for(uint32_t code_page, uint32_t flags, uint32_t country = 0) {
    Table t;
    std::memset(t.entry, 0xAA, sizeof t.entry);
    EXPECT_EQ(KvlGetSortSequenceTable(code_page, country, t.entry, flags), 0u);
    return t;
}

bool same(const Table &a, const Table &b) { return std::memcmp(a.entry, b.entry, 256) == 0; }

TEST(Collation, BuiltIn850FoldsAccentsToBaseCapitals) {
    const Table t = table_for(850, 0x80, 49);
    struct Case {
        uint8_t code, weight;
    } cases[] = {
        {'a', 'A'},  {'z', 'Z'},  {'A', 'A'},  {'0', '0'},  {0x00, 0x00}, {0x7F, 0x7F},
        {0x82, 'E'},  // e-acute
        {0x8A, 'E'},  // e-grave
        {0x90, 'E'},  // E-acute
        {0x87, 'C'},  // c-cedilla
        {0xA4, 'N'},  {0xA5, 'N'},  // n-tilde, N-tilde
        {0xA8, '?'},  {0xAD, '!'},  // inverted question and exclamation marks
        {0xAE, '"'},  {0xAF, '"'},  // guillemets
        {0x9C, '$'},  {0xBE, '$'},  {0x9F, '$'},  // pound, yen, florin
        {0xE1, 'S'},  // sharp s
        {0x9E, 0x9E}, {0xB0, 0xB0}, {0xFF, 0xFF},
    };
    for (const Case &c : cases) EXPECT_EQ(t.entry[c.code], c.weight) << std::hex << int(c.code);
}

TEST(Collation, BuiltIn1252IsTheAnsiUpperCasing) {
    const Table t = table_for(1252, 0x81);
    struct Case {
        uint8_t code, weight;
    } cases[] = {{'q', 'Q'}, {0x9A, 0x8A}, {0x9C, 0x8C}, {0xE0, 0xC0}, {0xE9, 0xC9}, {0xF6, 0xD6},
                 {0xF7, 0xF7}, {0xF8, 0xD8}, {0xFE, 0xDE}, {0xFF, 0x9F}, {0xDF, 0xDF}, {0xC9, 0xC9},
                 {0x8A, 0x8A}, {0xB5, 0xB5}};
    for (const Case &c : cases) EXPECT_EQ(t.entry[c.code], c.weight) << std::hex << int(c.code);
}

TEST(Collation, OtherRequestsGetTheGeneratedTable) {
    const Table builtin850 = table_for(850, 0x80), builtin1252 = table_for(1252, 0x81);
    const Table oem = table_for(850, 0);
    EXPECT_FALSE(same(oem, builtin850));
    EXPECT_FALSE(same(table_for(850, 0x81), builtin850));
    EXPECT_FALSE(same(table_for(1252, 0x80), builtin1252));
    // Code page and country do not shape the generated table.
    EXPECT_TRUE(same(table_for(437, 0, 49), oem));
    EXPECT_TRUE(same(table_for(1252, 0, 1), oem));
    EXPECT_TRUE(same(table_for(437, 1), table_for(850, 1)));
    EXPECT_EQ(Result(KvlGetSortSequenceTable(850, 0, nullptr, 0x80)), ERR_NULL_PARAMETER);
}

TEST(Collation, GeneratedOemTableUpperCasesWithoutFolding) {
    const Table t = table_for(850, 0);
    struct Case {
        uint8_t code, upper;
    } cases[] = {
        {0x00, 0x00}, {'a', 'A'}, {'M', 'M'}, {'{', '{'},
        {0x82, 0x90},  // e-acute -> E-acute (not plain E)
        {0x81, 0x9A},  // u-diaeresis
        {0x87, 0x80},  // c-cedilla
        {0xA4, 0xA5},  // n-tilde
        {0x91, 0x92},  // ae
        {0x9B, 0x9D},  // o-slash
        {0xEC, 0xED},  // y-acute
        {0x90, 0x90}, {0xE1, 0xE1},  // capitals and sharp s stay
        {0x98, 0x98},  // y-diaeresis: its capital has no code page 850 form
        {0xB0, 0xB0}, {0xD5, 0xD5},  // shading and dotless i: no 1252 form
    };
    for (const Case &c : cases) EXPECT_EQ(t.entry[c.code], c.upper) << std::hex << int(c.code);
    // Upper-casing an upper-case character changes nothing.
    for (int i = 0; i < 256; ++i) EXPECT_EQ(t.entry[t.entry[i]], t.entry[i]) << i;
}

TEST(Collation, GeneratedTableWithFlagsKeepsTheAnsiResult) {
    const Table t = table_for(850, 1);
    EXPECT_EQ(t.entry[0], 0);
    EXPECT_EQ(t.entry['b'], 'B');
    EXPECT_EQ(t.entry[0x82], 0xC9);  // e-acute -> 1252 E-acute
    EXPECT_EQ(t.entry[0x98], 0x9F);  // y-diaeresis -> 1252 Y-diaeresis
    EXPECT_EQ(t.entry[0x9C], 0xA3);  // pound sign
}

TEST(UpperCaseO, Cases) {
    struct Case {
        const char *name;
        std::string before;  // buffer contents, NUL included where wanted
        uint32_t length;
        uint32_t zero_fill;
        std::string after;
    } cases[] = {
        {"fills to length", std::string("name\0xxxxxxxx", 13), 10, 1,
         std::string("NAME\0\0\0\0\0\0xxx", 13)},
        {"no fill", std::string("name\0xxxxxxxx", 13), 10, 0, std::string("NAME\0xxxxxxxx", 13)},
        {"empty string", std::string("\0xxxx", 5), 4, 1, std::string("\0xxxx", 5)},
        {"length 0", std::string("name\0", 5), 0, 1, std::string("name\0", 5)},
        {"shorter length", std::string("name\0", 5), 2, 1, std::string("NAme\0", 5)},
        {"exact length", std::string("abc\0x", 5), 3, 1, std::string("ABC\0x", 5)},
        {"OEM letters", std::string("\x82t\xA4\x98\0", 5), 5, 0, std::string("\x90T\xA5\x98\0", 5)},
    };
    for (const Case &c : cases) {
        std::string buffer = c.before;
        EXPECT_EQ(KvlUpperCaseO(buffer.data(), c.length, c.zero_fill), 0u) << c.name;
        EXPECT_EQ(buffer, c.after) << c.name;
    }
    EXPECT_EQ(Result(KvlUpperCaseO(nullptr, 4, 1)), ERR_NULL_PARAMETER);
}

TEST(UpperCaseO, InternalHelperMatchesAndPassesNuls) {
    uint8_t bytes[] = {'a', 0, 0x82, 'z'};
    kvl::upper_case_oem(bytes, sizeof bytes);
    const uint8_t expected[] = {'A', 0, 0x90, 'Z'};
    EXPECT_EQ(std::memcmp(bytes, expected, sizeof bytes), 0);
    const Table t = table_for(850, 0);
    for (int i = 0; i < 256; ++i) EXPECT_EQ(kvl::upper_oem(static_cast<uint8_t>(i)), t.entry[i]);
}

// Sets the locale variables for one test and puts them back.
class LocaleEnvironment {
public:
    LocaleEnvironment(const char *all, const char *ctype, const char *lang) {
        for (int i = 0; i < 3; ++i) {
            const char *old = std::getenv(kNames[i]);
            saved_[i] = old ? old : "";
            had_[i] = old != nullptr;
        }
        set(0, all);
        set(1, ctype);
        set(2, lang);
    }
    ~LocaleEnvironment() {
        for (int i = 0; i < 3; ++i) set(i, had_[i] ? saved_[i].c_str() : nullptr);
    }

private:
    static void set(int i, const char *value) {
        if (value)
            setenv(kNames[i], value, 1);
        else
            unsetenv(kNames[i]);
    }
    static constexpr const char *kNames[3] = {"LC_ALL", "LC_CTYPE", "LANG"};
    std::string saved_[3];
    bool had_[3];
};

TEST(CountryInfo, ZeroValuesComeFromTheSystem) {
    struct Case {
        const char *all, *ctype, *lang;
        uint32_t country;
    } cases[] = {
        {"de_DE.UTF-8", nullptr, "en_US.UTF-8", 49},
        {nullptr, nullptr, "en_US", 1},
        {"", "fr_FR@euro", "en_US", 33},
        {"C", nullptr, "de_DE", 0},
        {"xx_ZZ.UTF-8", nullptr, nullptr, 0},
        {nullptr, nullptr, nullptr, 0},
        {"en_GB.ISO-8859-1", nullptr, nullptr, 44},
    };
    for (const Case &c : cases) {
        LocaleEnvironment env(c.all, c.ctype, c.lang);
        uint32_t code_page = 0, country = 0;
        EXPECT_EQ(KvlGetCountryInfo(&code_page, &country, 1), 0u);
        EXPECT_EQ(code_page, 850u);
        EXPECT_EQ(country, c.country) << (c.all ? c.all : "-") << (c.lang ? c.lang : "-");
        code_page = 0;
        EXPECT_EQ(KvlGetCountryInfo(&code_page, &country, 0), 0u);
        EXPECT_EQ(code_page, 1252u);
    }
}

TEST(CountryInfo, NonZeroValuesAreLeftAlone) {
    LocaleEnvironment env("en_US", nullptr, nullptr);
    uint32_t code_page = 437, country = 49;
    EXPECT_EQ(KvlGetCountryInfo(&code_page, &country, 1), 0u);
    EXPECT_EQ(code_page, 437u);
    EXPECT_EQ(country, 49u);
    EXPECT_EQ(Result(KvlGetCountryInfo(nullptr, &country, 1)), ERR_NULL_PARAMETER);
    EXPECT_EQ(Result(KvlGetCountryInfo(&code_page, nullptr, 1)), ERR_NULL_PARAMETER);
}

}  // namespace
