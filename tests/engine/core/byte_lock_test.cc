// Byte-range locks of the built-in layer against a second process and a
// second handle of the same process.
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <string>

#include "engine/korval32.h"
#include "support/child_process.h"
#include "support/result_name.h"
#include "support/temp_dir.h"

namespace {

using kvl_test::Channel;
using kvl_test::ChildProcess;
using kvl_test::Result;

uint32_t lock(uint32_t handle, uint32_t flags, uint32_t offset, uint32_t length,
              uint32_t budget = 0) {
    return KvlLockFile(handle, flags, &offset, &length, budget, nullptr);
}

class ByteLocks : public ::testing::Test {
protected:
    void SetUp() override {
        path_ = dir_.path("locked.bin");
        std::ofstream(path_, std::ios::binary) << std::string(100, 'x');
        handle_ = open();
    }
    void TearDown() override { KvlCloseFile(&handle_, nullptr); }

    uint32_t open() const {
        uint32_t handle = 0;
        EXPECT_EQ(KvlOpenFile(path_.c_str(), 2, &handle, nullptr), 0u);
        return handle;
    }

    // A child that takes the lock, says 'L' (or 'E' on failure), unlocks on
    // 'U' answering 'u', and ends on anything else.
    void hold_in_child(ChildProcess *&child, uint32_t flags, uint32_t offset, uint32_t length) {
        const std::string path = path_;
        child = new ChildProcess([=](Channel &parent) {
            uint32_t handle = 0;
            if (KvlOpenFile(path.c_str(), 2, &handle, nullptr) != 0) return 1;
            parent.send(lock(handle, flags, offset, length) == 0 ? 'L' : 'E');
            for (char c; (c = parent.receive()) == 'U';)
                parent.send(lock(handle, KVL_LOCK_UNLOCK, offset, length) == 0 ? 'u' : 'e');
            return 0;
        });
        ASSERT_TRUE(child->started());
        ASSERT_EQ(child->channel().receive(), 'L');
    }

    kvl_test::TempDir dir_;
    std::string path_;
    uint32_t handle_ = 0;
};

TEST_F(ByteLocks, ExclusiveHeldElsewhereFailsWith33AfterTheBudget) {
    ChildProcess *raw = nullptr;
    hold_in_child(raw, 0, 10, 10);
    std::unique_ptr<ChildProcess> child(raw);

    EXPECT_EQ(lock(handle_, 0, 15, 1, 0), 33u);
    EXPECT_EQ(lock(handle_, KVL_LOCK_SHARED, 19, 5, 30), 33u);
    // Budget 100 tries at 100, 70, 40 and 10: three waits of 30 ms in between.
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(lock(handle_, 0, 10, 10, 100), 33u);
    const auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_GE(waited, std::chrono::milliseconds(90));
    // Ranges beside the held one are free.
    EXPECT_EQ(lock(handle_, 0, 0, 10), 0u);
    EXPECT_EQ(lock(handle_, 0, 20, 10), 0u);

    uint32_t a = 0, b, c, d;
    KvlGetExtendedError(&a, &b, &c, &d);
    EXPECT_EQ(lock(handle_, 0, 12, 1), 33u);
    KvlGetExtendedError(&a, &b, &c, &d);
    EXPECT_EQ(a, 33u);

    // Once the holder unlocks, the range can be had.
    child->channel().send('U');
    EXPECT_EQ(child->channel().receive(), 'u');
    EXPECT_EQ(lock(handle_, 0, 10, 10), 0u);
    child->channel().send('Q');
    EXPECT_EQ(child->wait(), 0);
}

TEST_F(ByteLocks, SharedAgainstSharedSucceedsAndAgainstExclusiveFails) {
    ChildProcess *raw = nullptr;
    hold_in_child(raw, KVL_LOCK_SHARED, 40, 20);
    std::unique_ptr<ChildProcess> child(raw);
    EXPECT_EQ(lock(handle_, KVL_LOCK_SHARED, 40, 20), 0u);
    EXPECT_EQ(lock(handle_, KVL_LOCK_SHARED, 50, 30), 0u);
    const uint32_t other = open();
    EXPECT_EQ(lock(other, 0, 59, 1), 33u);
    EXPECT_EQ(lock(other, 0, 60, 1), 33u);  // held shared by this process's first handle
    EXPECT_EQ(lock(other, 0, 80, 1), 0u);
    uint32_t copy = other;
    KvlCloseFile(&copy, nullptr);
    child->channel().send('Q');
    EXPECT_EQ(child->wait(), 0);
}

TEST_F(ByteLocks, LocksEndWithTheirProcess) {
    ChildProcess *raw = nullptr;
    hold_in_child(raw, 0, 0, 100);
    std::unique_ptr<ChildProcess> child(raw);
    EXPECT_EQ(lock(handle_, 0, 50, 1), 33u);
    child->channel().send('Q');
    EXPECT_EQ(child->wait(), 0);
    EXPECT_EQ(lock(handle_, 0, 50, 1), 0u);
}

TEST_F(ByteLocks, TwoHandlesOfOneProcessConflict) {
    uint32_t second = open();
    EXPECT_EQ(lock(handle_, 0, 0, 10), 0u);
    EXPECT_EQ(lock(second, 0, 5, 1), 33u);
    EXPECT_EQ(lock(second, KVL_LOCK_SHARED, 9, 4), 33u);
    // Closing a third handle of the file leaves the first handle's lock.
    uint32_t third = open();
    EXPECT_EQ(KvlCloseFile(&third, nullptr), 0u);
    EXPECT_EQ(lock(second, 0, 5, 1), 33u);
    // Unlock, then the other handle locks.
    EXPECT_EQ(lock(handle_, KVL_LOCK_UNLOCK, 0, 10), 0u);
    EXPECT_EQ(lock(second, 0, 5, 1), 0u);
    EXPECT_EQ(lock(handle_, 0, 5, 1), 33u);
    KvlCloseFile(&second, nullptr);
    EXPECT_EQ(lock(handle_, 0, 5, 1), 0u);  // closing drops the handle's locks
}

TEST_F(ByteLocks, SixtyFourBitRangesAboveFourGigabytes) {
    uint32_t second = open();
    uint32_t offset[2] = {0xFFFFFFF0u, 0}, length[2] = {0x20, 0};
    EXPECT_EQ(KvlLockFile(handle_, KVL_LOCK_64, offset, length, 0, nullptr), 0u);
    uint32_t high[2] = {5, 1}, one[2] = {1, 0};  // 4 GiB + 5, inside the range
    EXPECT_EQ(Result(KvlLockFile(second, KVL_LOCK_64, high, one, 0, nullptr)),
              KVL_WIN_LOCK_VIOLATION);
    uint32_t low32 = 5, len32 = 1;  // the 32-bit form reads one word: offset 5
    EXPECT_EQ(KvlLockFile(second, 0, &low32, &len32, 0, nullptr), 0u);
    KvlCloseFile(&second, nullptr);
}

}  // namespace
