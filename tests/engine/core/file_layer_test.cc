// Tests of the built-in file layer through the exported calls.
#include <gtest/gtest.h>

#include <string>

#include "engine/korval32.h"
#include "support/temp_dir.h"

namespace {

TEST(FileLayer, CreateWriteReadTruncate) {
    kvl_test::TempDir dir;
    std::string path = dir.path("a.bin");
    ASSERT_EQ(KvlCreateFile(path.c_str(), nullptr), 0u);
    EXPECT_EQ(KvlCreateFile(path.c_str(), nullptr), 80u);
    uint32_t h = 0;
    ASSERT_EQ(KvlOpenFile(path.c_str(), 0x200042, &h, nullptr), 0u);
    char data[500];
    for (int i = 0; i < 500; ++i) data[i] = static_cast<char>(i);
    uint32_t len = 500, pos[2] = {0, 0};
    ASSERT_EQ(KvlWriteAtFile(h, &len, data, pos, nullptr), 0u);
    len = 0; pos[0] = 100;
    ASSERT_EQ(KvlWriteAtFile(h, &len, data, pos, nullptr), 0u);
    uint32_t size[2] = {0, 0};
    ASSERT_EQ(KvlLengthFile(h, size, nullptr), 0u);
    EXPECT_EQ(size[0], 100u);
    char back[32];
    len = 32; pos[0] = 90;
    EXPECT_EQ(KvlReadAtFile(h, &len, back, pos, nullptr), 38u);
    EXPECT_EQ(len, 10u);
    EXPECT_EQ(back[0], static_cast<char>(90));
    EXPECT_EQ(KvlCloseFile(&h, nullptr), 0u);
    EXPECT_EQ(h, 0u);
}

}  // namespace
