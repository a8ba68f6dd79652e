// The contiguous line storage of the result list.
#include <gtest/gtest.h>

#include <string>

#include "app/search/result_list.h"

namespace {

using ledgrove::ResultList;

TEST(ResultList, AppendReadClear) {
    ResultList list;
    EXPECT_TRUE(list.empty());
    const std::string odd("a\0b\xff", 4);
    list.append("first");
    list.append("");
    list.append(odd);
    list.append(" ");
    ASSERT_EQ(list.size(), 4u);
    EXPECT_EQ(list.line(0), "first");
    EXPECT_EQ(list.line(1), "");
    EXPECT_EQ(list.line(2), odd);
    EXPECT_EQ(list.line(3), " ");
    EXPECT_EQ(list.line(4), "") << "past the end";
    EXPECT_EQ(list.text_bytes(), 5u + 0 + 4 + 1);
    list.clear();
    EXPECT_EQ(list.size(), 0u);
    EXPECT_EQ(list.line(0), "");
    list.append("again");
    EXPECT_EQ(list.line(0), "again");
}

TEST(ResultList, ManyLinesKeepTheirText) {
    ResultList list;
    const std::size_t count = 200000;
    list.reserve(count, count * 12);
    for (std::size_t i = 0; i < count; ++i) list.append("line " + std::to_string(i));
    ASSERT_EQ(list.size(), count);
    for (std::size_t i = 0; i < count; i += 997) EXPECT_EQ(list.line(i), "line " + std::to_string(i));
    EXPECT_EQ(list.line(count - 1), "line " + std::to_string(count - 1));
}

}  // namespace
