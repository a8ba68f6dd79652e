// The engine's frame and its OS services: engine variables, memory,
// collation tables and upper-casing, the number readers behind numeric
// keys, the built-in file layer and replacement tables, byte-range locks
// and named mutexes between processes.
#include <gtest/gtest.h>
#include <malloc.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <string>

#include "engine/core/collation.h"
#include "engine/core/number_text.h"
#include "engine/korval32.h"
#include "support/child_process.h"
#include "support/engine_files.h"
#include "support/result_name.h"

namespace {

using kvl_test::Channel;
using kvl_test::ChildProcess;
using kvl_test::Result;

TEST(EngineVariables, SettableNumbersSwapAndOthersAreRefused) {
    for (int32_t number : {1, 2, 3, 4, 10, 11, 12, 13, 14}) {
        const uint32_t before = KvlGetVar(number, nullptr);
        uint32_t value = 0;  // 0 is accepted unchecked
        ASSERT_EQ(Result(KvlSetVar(&value, number)), ERR_NONE) << number;
        EXPECT_EQ(value, before) << number;
        EXPECT_EQ(KvlGetVar(number, nullptr), 0u) << number;
        ASSERT_EQ(Result(KvlSetVar(&value, number)), ERR_NONE);  // the old value back
        EXPECT_EQ(KvlGetVar(number, nullptr), before);
    }
    const struct {
        int32_t number;
        uint32_t set_rc;
    } refused[] = {{0, ERR_BAD_VARIABLE},  {5, ERR_BAD_VARIABLE},  {9, ERR_BAD_VARIABLE},
                   {15, ERR_BAD_VARIABLE}, {-1, ERR_BAD_VARIABLE}, {-3, ERR_BAD_VARIABLE},
                   {INT32_MIN, ERR_BAD_VARIABLE}, {-4, KVL_WIN_INVALID_FUNCTION}};
    for (const auto &c : refused) {
        uint32_t value = 99;
        EXPECT_EQ(Result(KvlSetVar(&value, c.number)), Result(c.set_rc)) << c.number;
        EXPECT_EQ(value, 99u) << c.number;
        uint32_t error = 0;
        if (c.number >= 0 || c.number == INT32_MIN) {
            EXPECT_EQ(KvlGetVar(c.number, &error), 0u);
            EXPECT_EQ(Result(error), ERR_BAD_VARIABLE) << c.number;
        }
    }
    // Variable -4 fills a table, and only one with room for twelve slots.
    FileLayerTable small{}, full{};
    small.count = 11;
    full.count = 12;
    EXPECT_EQ(Result(KvlGetVar(-4, reinterpret_cast<uint32_t *>(&small))), KVL_WIN_INVALID_FUNCTION);
    EXPECT_EQ(small.open, nullptr);
    EXPECT_EQ(KvlGetVar(-4, reinterpret_cast<uint32_t *>(&full)), 0u);
    kvl_test::TempDir dir;
    const std::string path = dir.path("t.bin");
    ASSERT_EQ(full.create_file(path.c_str()), 0u);
    uint32_t handle = 0, length = 3;
    ASSERT_EQ(full.open(path.c_str(), 2, &handle), 0u);
    EXPECT_EQ(full.write(handle, &length, "abc"), 0u);
    EXPECT_EQ(full.close(&handle), 0u);
    EXPECT_EQ(kvl_test::read_bytes(path), (kvl_test::Bytes{'a', 'b', 'c'}));
}

TEST(Memory, AllocationSizesCeilingAndCounters) {
    const struct {
        uint32_t heap_kind, size, error;
        size_t rounded;
    } cases[] = {{0, 1, 0, 4096}, {0, 4097, 0, 8192}, {0, 131072, 0, 131072},
                 {0, 131073, ERR_MEMORY_SIZE, 0}, {0, 0, ERR_MEMORY_SIZE, 0},
                 {0, 0xFFFFFFFFu, ERR_MEMORY_SIZE, 0}, {1, 16, KVL_WIN_INVALID_FUNCTION, 0}};
    for (const auto &c : cases) {
        const uint32_t held = kvl_test::blocks_held();
        uint32_t error = 12345;
        void *block = KvlMemAlloc(c.heap_kind, c.size, &error, 1);
        EXPECT_EQ(Result(error), Result(c.error)) << c.size;
        if (c.error) {
            EXPECT_EQ(block, nullptr);
            continue;
        }
        ASSERT_NE(block, nullptr);
        EXPECT_EQ(kvl_test::blocks_held(), held + 1);
        EXPECT_GE(malloc_usable_size(block), c.rounded);
        const auto *bytes = static_cast<const uint8_t *>(block);
        EXPECT_EQ(std::count(bytes, bytes + c.rounded, 0), long(c.rounded)) << "zero-filled";
        EXPECT_EQ(Result(KvlMemFree(1, block)), KVL_WIN_INVALID_FUNCTION);
        EXPECT_EQ(KvlMemFree(0, block), 0u);
        EXPECT_EQ(kvl_test::blocks_held(), held);
    }
    uint32_t ceiling = 8192, error = 0;
    ASSERT_EQ(KvlSetVar(&ceiling, KVL_VAR_ALLOC_CEILING), 0u);
    EXPECT_EQ(KvlMemAlloc(0, 8193, &error, 0), nullptr);
    EXPECT_EQ(Result(error), ERR_MEMORY_SIZE);
    void *block = KvlMemAlloc(0, 8192, &error, 0);
    EXPECT_NE(block, nullptr);
    KvlMemFree(0, block);
    KvlSetVar(&ceiling, KVL_VAR_ALLOC_CEILING);
}

// Code page 850: e-acute 0x82, its capital 0x90; in 1252 they are 0xE9, 0xC9.
TEST(Collation, BuiltInAndGeneratedTables) {
    auto table_for = [](uint32_t code_page, uint32_t flags) {
        std::string t(256, '\xAA');
        EXPECT_EQ(KvlGetSortSequenceTable(code_page, 0, reinterpret_cast<uint8_t *>(t.data()), flags), 0u);
        return t;
    };
    const struct {
        uint32_t code_page, flags;
        uint8_t code, weight;
    } cases[] = {
        // the built-in 850 table folds accents to base capitals
        {850, 0x80, 'a', 'A'}, {850, 0x80, 0x82, 'E'}, {850, 0x80, 0x90, 'E'},
        {850, 0x80, 0x87, 'C'}, {850, 0x80, 0xA5, 'N'}, {850, 0x80, 0x9C, '$'}, {850, 0x80, 0xB0, 0xB0},
        // the built-in 1252 table is the ANSI upper-casing
        {1252, 0x81, 0xE9, 0xC9}, {1252, 0x81, 0xFF, 0x9F}, {1252, 0x81, 0xF7, 0xF7}, {1252, 0x81, 0xDF, 0xDF},
        // the generated OEM table upper-cases without folding
        {850, 0, 'a', 'A'}, {850, 0, 0x82, 0x90}, {850, 0, 0x81, 0x9A}, {850, 0, 0x87, 0x80},
        {850, 0, 0x98, 0x98}, {850, 0, 0xE1, 0xE1}, {437, 0, 0xA4, 0xA5},
        // with other flags it keeps the ANSI result
        {850, 1, 'b', 'B'}, {850, 1, 0x82, 0xC9}, {850, 1, 0x98, 0x9F}, {850, 1, 0x9C, 0xA3},
        {1252, 0x80, 0x82, 0xC9},
    };
    for (const auto &c : cases)
        EXPECT_EQ(uint8_t(table_for(c.code_page, c.flags)[c.code]), c.weight)
            << c.code_page << "/" << c.flags << " " << std::hex << int(c.code);
    const std::string oem = table_for(850, 0);
    for (int i = 0; i < 256; ++i) {
        EXPECT_EQ(oem[uint8_t(oem[i])], oem[i]) << i;  // upper-casing twice changes nothing
        EXPECT_EQ(kvl::upper_oem(uint8_t(i)), uint8_t(oem[i])) << i;
    }
    std::string text("n\x82t\xA4\0xx", 7);
    EXPECT_EQ(KvlUpperCaseO(text.data(), 6, 1), 0u);
    EXPECT_EQ(text, std::string("N\x90T\xA5\0\0x", 7));  // zero-filled to the length
    text = std::string("ab\0cd", 5);
    EXPECT_EQ(KvlUpperCaseO(text.data(), 5, 0), 0u);
    EXPECT_EQ(text, std::string("AB\0cd", 5));
}

TEST(NumberText, TheThreeReaders) {
    const struct {
        std::string text;
        size_t limit;
        int32_t value;
        size_t consumed;
    } bounded[] = {{"  -345", 6, -345, 6}, {"12345678", 5, 12345, 5}, {"   7", 3, 0, 0},
                   {"-x5", 3, 0, 0},      {"+42,", 4, 42, 3},        {"4294967297", 10, 1, 10},
                   {"-2147483648", 11, INT32_MIN, 11}};
    for (const auto &c : bounded) {
        size_t consumed = 99;
        EXPECT_EQ(kvl::read_bounded_number(c.text.data(), c.limit, &consumed), c.value) << c.text;
        EXPECT_EQ(consumed, c.consumed) << c.text;
    }
    constexpr int64_t kMax = std::numeric_limits<int64_t>::max(), kMin = std::numeric_limits<int64_t>::min();
    const struct {
        std::string text;
        int64_t value;
    } integers[] = {{"", 0}, {"      123.45", 123}, {"        -345", -345}, {"1,234.50", 1},
                    {"12-", 0}, {"123   ", 0}, {"12a34", 34}, {"1234567890123456789", 1234567890123456789},
                    {"9223372036854775808", kMax}, {"-9223372036854775809", kMin}};
    for (const auto &c : integers)
        EXPECT_EQ(kvl::decimal_text_to_int64(c.text.data(), c.text.size()), c.value) << c.text;
    const struct {
        std::string text;
        double value;
    } doubles[] = {{"      123.45", 123.45}, {"   -0.50", -0.5}, {"12-", -12.0}, {"1,234.50", 1.2345},
                   {".25", 0.25}, {"12 34", 34.0}, {"0.12345678901234567890123", 0.12345678901234567890123}};
    for (const auto &c : doubles)
        EXPECT_EQ(kvl::decimal_text_to_double(c.text.data(), c.text.size()), c.value) << c.text;
    EXPECT_FALSE(std::signbit(kvl::decimal_text_to_double("  -0.00", 7)));
    EXPECT_EQ(kvl::decimal_text_to_int64("12345" + 1, 2), 23);  // only the given length
}

// ---- the built-in file layer -------------------------------------------------

class FileLayer : public testing::Test {
protected:
    void SetUp() override {
        kvl_test::write_bytes(path_, kvl_test::Bytes{'0', '1', '2', '3', '4', '5', '6', '7', '8', '9'});
        ASSERT_EQ(KvlOpenFile(path_.c_str(), 2, &handle_, nullptr), 0u);
    }
    void TearDown() override {
        if (handle_) KvlCloseFile(&handle_, nullptr);
    }
    uint32_t seek(uint32_t method, int32_t distance) {
        uint32_t position = uint32_t(distance);
        EXPECT_EQ(KvlSeekFile(handle_, method, &position, nullptr), 0u);
        return position;
    }
    kvl_test::TempDir dir_;
    std::string path_ = dir_.path("f.bin");
    uint32_t handle_ = 0;
};

TEST_F(FileLayer, ReadsWritesSeeksAndErrors) {
    EXPECT_EQ(seek(KVL_SEEK_END, -3), 7u);
    EXPECT_EQ(seek(KVL_SEEK_CUR, -2), 5u);
    char buffer[8] = {};
    uint32_t length = 8;
    EXPECT_EQ(Result(KvlReadFile(handle_, &length, buffer, nullptr)), KVL_WIN_HANDLE_EOF);
    EXPECT_EQ(length, 5u);  // the short count comes back with 38
    EXPECT_EQ(std::string(buffer, 5), "56789");
    seek(KVL_SEEK_SET, 4);
    length = 0;  // a zero-length write cuts the file at the position
    EXPECT_EQ(KvlWriteFile(handle_, &length, "", nullptr), 0u);
    uint32_t size[2] = {};
    EXPECT_EQ(KvlLengthFile(handle_, size, nullptr), 0u);
    EXPECT_EQ(size[0], 4u);
    EXPECT_EQ(Result(KvlCreateFile(path_.c_str(), nullptr)), KVL_WIN_FILE_EXISTS);
    EXPECT_EQ(kvl_test::read_bytes(path_).size(), 4u);
    const std::string other = dir_.path("g.bin");
    kvl_test::write_bytes(other, {'g'});
    EXPECT_EQ(Result(KvlMoveFile(other.c_str(), path_.c_str(), nullptr)), KVL_WIN_FILE_EXISTS);
    uint32_t handle = 0;
    EXPECT_EQ(Result(KvlOpenFile(dir_.path("none").c_str(), 0, &handle, nullptr)), KVL_WIN_FILE_NOT_FOUND);
    uint32_t a = 0, b, c, d;
    EXPECT_EQ(KvlGetExtendedError(&a, &b, &c, &d), 0u);
    EXPECT_EQ(a, KVL_WIN_FILE_NOT_FOUND);
    EXPECT_EQ(Result(KvlOpenFile((other + "/x").c_str(), 0, &handle, nullptr)), KVL_WIN_PATH_NOT_FOUND);
    EXPECT_EQ(Result(KvlOpenFile(path_.c_str(), 3, &handle, nullptr)), KVL_WIN_INVALID_ACCESS);
    ASSERT_EQ(KvlOpenFile(path_.c_str(), 0, &handle, nullptr), 0u);  // read only
    length = 1;
    EXPECT_EQ(Result(KvlWriteFile(handle, &length, "x", nullptr)), KVL_WIN_ACCESS_DENIED);
    EXPECT_EQ(KvlCloseFile(&handle, nullptr), 0u);
    uint32_t low = 2;
    EXPECT_EQ(Result(KvlCloseFile(&low, nullptr)), ERR_BAD_FILE_HANDLE);  // never 0, 1 or 2
    uint32_t offset = 0, count = 4;
    EXPECT_EQ(Result(KvlLockFile(handle_, KVL_LOCK_ATOMIC, &offset, &count, 0, nullptr)), KVL_WIN_ATOMIC_LOCKS);
}

// A replacement table with 64-bit positions gets bit 7 and word pairs; a
// table's missing slots fall back to the built-in ones.
uint32_t g_method = 0, g_words[2] = {};
uint32_t wide_seek(uint32_t handle, uint32_t method, uint32_t *position) {
    g_method = method;
    g_words[0] = position[0];
    g_words[1] = position[1];
    const off_t at = lseek(int(handle), off_t(position[0] | uint64_t(position[1]) << 32), int(method & 0x7F));
    position[0] = uint32_t(at);
    position[1] = uint32_t(uint64_t(at) >> 32);
    return 0;
}

TEST_F(FileLayer, ReplacementTablesTakeTheirSlots) {
    FileLayerTable table{};
    table.count = KVL_FILE_LAYER_ENTRIES;
    table.flags = KVL_LAYER_64BIT;
    table.seek = wide_seek;
    uint32_t position[2] = {3, 0};
    EXPECT_EQ(KvlSeekFile(handle_, KVL_SEEK_SET, position, &table), 0u);
    EXPECT_EQ(g_method, KVL_SEEK_SET | KVL_SEEK_64);
    EXPECT_EQ(g_words[0], 3u);
    char byte = 0;
    uint32_t length = 1;
    EXPECT_EQ(KvlReadFile(handle_, &length, &byte, &table), 0u);  // the built-in read
    EXPECT_EQ(byte, '3');
}

// ---- locks and mutexes between processes ------------------------------------

uint32_t lock(uint32_t handle, uint32_t flags, uint32_t offset, uint32_t length, uint32_t budget = 0) {
    return KvlLockFile(handle, flags, &offset, &length, budget, nullptr);
}

TEST_F(FileLayer, ByteLocksConflictBetweenProcessesAndHandles) {
    const std::string path = path_;
    ChildProcess child([=](Channel &parent) {
        uint32_t handle = 0;
        if (KvlOpenFile(path.c_str(), 2, &handle, nullptr) != 0) return 1;
        parent.send(lock(handle, 0, 2, 2) == 0 && lock(handle, KVL_LOCK_SHARED, 6, 2) == 0 ? 'L' : 'E');
        while (parent.receive() == 'U') parent.send(lock(handle, KVL_LOCK_UNLOCK, 2, 2) == 0 ? 'u' : 'e');
        return 0;
    });
    ASSERT_EQ(child.channel().receive(), 'L');
    EXPECT_EQ(lock(handle_, 0, 3, 1), 33u);
    EXPECT_EQ(lock(handle_, KVL_LOCK_SHARED, 3, 1, 60), 33u);  // after its budget
    EXPECT_EQ(lock(handle_, 0, 4, 2), 0u);                     // the range beside it is free
    EXPECT_EQ(lock(handle_, KVL_LOCK_SHARED, 6, 1), 0u);       // shared with shared
    EXPECT_EQ(lock(handle_, 0, 7, 1), 33u);                    // exclusive against shared
    child.channel().send('U');
    EXPECT_EQ(child.channel().receive(), 'u');
    EXPECT_EQ(lock(handle_, 0, 2, 2), 0u);
    child.channel().send('Q');
    EXPECT_EQ(child.wait(), 0);
    EXPECT_EQ(lock(handle_, 0, 6, 2), 0u);  // the child's locks ended with it
    // Two handles of one process conflict; a close drops its handle's locks.
    uint32_t second = 0;
    ASSERT_EQ(KvlOpenFile(path_.c_str(), 2, &second, nullptr), 0u);
    EXPECT_EQ(lock(second, 0, 3, 1), 33u);
    uint32_t high[2] = {5, 1}, one[2] = {1, 0}, wide_at[2] = {0xFFFFFFF0u, 0}, wide_length[2] = {0x20, 0};
    EXPECT_EQ(KvlLockFile(second, KVL_LOCK_64, wide_at, wide_length, 0, nullptr), 0u);
    EXPECT_EQ(Result(KvlLockFile(handle_, KVL_LOCK_64, high, one, 0, nullptr)), KVL_WIN_LOCK_VIOLATION);
    EXPECT_EQ(KvlCloseFile(&second, nullptr), 0u);
    EXPECT_EQ(Result(KvlLockFile(handle_, KVL_LOCK_64, high, one, 0, nullptr)), ERR_NONE);
}

TEST(Mutex, OwnersTimeoutsAndAnOwnerThatDied) {
    const std::string name = "kvl-test-" + std::to_string(getpid());
    KvlMutexHandle mutex = nullptr;
    ASSERT_EQ(KvlCreateMutexSem(name.c_str(), &mutex, nullptr, 0), 0u);
    auto in_child = [&](bool release) {
        ChildProcess child([=](Channel &parent) {
            KvlMutexHandle m = nullptr;
            if (KvlCreateMutexSem(name.c_str(), &m, nullptr, 0) != 0) return 1;
            const uint32_t rc = KvlRequestMutexSem(m, 0);
            parent.send(rc == 0 ? 'A' : rc == KVL_WIN_TIMEOUT ? 'T' : '?');
            if (release) parent.send(KvlReleaseMutexSem(m) == 0 ? 'R' : '?');
            return 0;  // ends, holding it unless released
        });
        std::string said(1, child.channel().receive());
        if (release) said += child.channel().receive();
        child.wait();
        return said;
    };
    EXPECT_EQ(KvlRequestMutexSem(mutex, 0), 0u);
    EXPECT_EQ(KvlRequestMutexSem(mutex, 0), 0u);  // the owner takes it again
    EXPECT_EQ(KvlReleaseMutexSem(mutex), 0u);
    EXPECT_EQ(in_child(false), "T");              // still held once
    EXPECT_EQ(KvlReleaseMutexSem(mutex), 0u);
    EXPECT_EQ(Result(KvlReleaseMutexSem(mutex)), KVL_WIN_NOT_OWNER);
    EXPECT_EQ(in_child(true), "AR");
    EXPECT_EQ(in_child(false), "A");  // took it and ended
    EXPECT_EQ(Result(KvlRequestMutexSem(mutex, 2000)), KVL_WIN_OWNER_DIED);
    EXPECT_EQ(KvlReleaseMutexSem(mutex), 0u);
    EXPECT_EQ(KvlRequestMutexSem(mutex, 0), 0u);  // made consistent again
    EXPECT_EQ(KvlReleaseMutexSem(mutex), 0u);
    EXPECT_EQ(KvlCloseMutexSem(mutex), 0u);
    shm_unlink(("/kvl-mutex." + name).c_str());
}

}  // namespace
