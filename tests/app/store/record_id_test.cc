// Base-36 record ids.
#include <gtest/gtest.h>

#include "app/store/record_id.h"

namespace {

using namespace ledgrove;

TEST(RecordId, Text) {
    const struct {
        std::uint64_t counter;
        const char *text;
    } cases[] = {{0, "000000"},       {1, "000001"},       {26, "00000q"},
                 {35, "00000z"},      {36, "000010"},      {1295, "0000zz"},
                 {1296, "000100"},    {2176782335, "zzzzzz"}};
    for (const auto &c : cases) {
        EXPECT_EQ(record_id_text(c.counter).value_or("?"), c.text) << c.counter;
        EXPECT_EQ(parse_record_id(c.text), c.counter) << c.text;
    }
    EXPECT_FALSE(record_id_text(2176782336));
}

TEST(RecordId, Parse) {
    EXPECT_EQ(parse_record_id("00000Q"), 26u);
    EXPECT_EQ(parse_record_id("ZZZZZZ"), kMaxRecordId);
    EXPECT_EQ(parse_record_id("  001 "), 1u);
    EXPECT_EQ(parse_record_id(std::string_view("00a\0\0\0", 6)), 10u);
    EXPECT_EQ(parse_record_id("0000001"), 1u);
    EXPECT_FALSE(parse_record_id("1000000"));  // 36^6
    EXPECT_FALSE(parse_record_id("zzzzzzzzzzzzzzzzzzzz"));
    EXPECT_FALSE(parse_record_id(""));
    EXPECT_FALSE(parse_record_id("      "));
    EXPECT_FALSE(parse_record_id("00-001"));
    EXPECT_FALSE(parse_record_id("00 001"));
}

}  // namespace
