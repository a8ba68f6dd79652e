// Engine variables, memory services and system queries, through the
// exported interface.
#include <gtest/gtest.h>
#include <malloc.h>
#include <sys/utsname.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "engine/korval32.h"
#include "support/result_name.h"
#include "support/temp_dir.h"

namespace {

using kvl_test::Result;

uint32_t counter(int32_t number) { return KvlGetVar(number, nullptr); }

TEST(EngineVariables, DefaultsAndUnknownNumbers) {
    struct Case {
        int32_t number;
        uint32_t value;
        uint32_t error;
    } cases[] = {
        {1, 260, 0},      {2, 255, 0},      {3, 255, 0},      {4, 131072, 0},  {10, 65536, 0},
        {11, 294912, 0},  {12, 131072, 0},  {13, 4096, 0},    {14, 0, 0},
        {0, 0, ERR_BAD_VARIABLE},  {5, 0, ERR_BAD_VARIABLE},  {7, 0, ERR_BAD_VARIABLE},
        {9, 0, ERR_BAD_VARIABLE},  {15, 0, ERR_BAD_VARIABLE}, {-5, 0, ERR_BAD_VARIABLE},
        {INT32_MIN, 0, ERR_BAD_VARIABLE},
    };
    for (const Case &c : cases) {
        uint32_t error = 12345;
        EXPECT_EQ(KvlGetVar(c.number, &error), c.value) << c.number;
        EXPECT_EQ(Result(error), Result(c.error)) << c.number;
    }
    EXPECT_EQ(KvlGetVar(1, nullptr), 260u);  // the error word is optional
}

TEST(EngineVariables, SetSwapsOldAndNewValue) {
    for (int32_t number : {1, 2, 3, 4, 10, 11, 12, 13, 14}) {
        const uint32_t before = KvlGetVar(number, nullptr);
        uint32_t value = 0;  // 0 is accepted unchecked, even for the lock reserve
        ASSERT_EQ(KvlSetVar(&value, number), 0u) << number;
        EXPECT_EQ(value, before) << number;
        EXPECT_EQ(KvlGetVar(number, nullptr), 0u) << number;
        ASSERT_EQ(KvlSetVar(&value, number), 0u);  // puts the old value back
        EXPECT_EQ(value, 0u);
        EXPECT_EQ(KvlGetVar(number, nullptr), before);
    }
}

TEST(EngineVariables, SetRefusesUnknownAndReadOnlyNumbers) {
    struct Case {
        int32_t number;
        uint32_t result;
    } cases[] = {{7, ERR_BAD_VARIABLE},  {0, ERR_BAD_VARIABLE},  {15, ERR_BAD_VARIABLE},
                 {-1, ERR_BAD_VARIABLE}, {-2, ERR_BAD_VARIABLE}, {-3, ERR_BAD_VARIABLE},
                 {-4, KVL_WIN_INVALID_FUNCTION}};
    for (const Case &c : cases) {
        const uint32_t before = KvlGetVar(c.number, nullptr);
        uint32_t value = 99;
        EXPECT_EQ(Result(KvlSetVar(&value, c.number)), Result(c.result)) << c.number;
        EXPECT_EQ(value, 99u) << c.number;
        if (c.number != -4) {
            EXPECT_EQ(KvlGetVar(c.number, nullptr), before) << c.number;
        }
    }
    EXPECT_EQ(Result(KvlSetVar(nullptr, 1)), ERR_NULL_PARAMETER);
}

TEST(EngineVariables, FileLayerTableIsFilledOnlyWithRoomForTwelveSlots) {
    FileLayerTable small = {};
    small.count = 11;
    EXPECT_EQ(Result(KvlGetVar(-4, reinterpret_cast<uint32_t *>(&small))),
              KVL_WIN_INVALID_FUNCTION);
    EXPECT_EQ(small.count, 1u);
    EXPECT_EQ(small.open, nullptr);
    EXPECT_EQ(Result(KvlGetVar(-4, nullptr)), KVL_WIN_INVALID_FUNCTION);

    FileLayerTable full = {};
    full.count = 12;
    full.flags = 0;
    EXPECT_EQ(KvlGetVar(-4, reinterpret_cast<uint32_t *>(&full)), 0u);
    EXPECT_EQ(full.count, 12u);
    const void *slots[] = {(void *)full.close,  (void *)full.create_dir, (void *)full.create_file,
                           (void *)full.delete_file, (void *)full.move_file, (void *)full.open,
                           (void *)full.read,   (void *)full.seek,       (void *)full.update_dir,
                           (void *)full.write,  (void *)full.lock,       (void *)full.remote};
    for (const void *slot : slots) EXPECT_NE(slot, nullptr);

    // The filled slots are working entry points.
    kvl_test::TempDir dir;
    const std::string path = dir.path("t.bin");
    ASSERT_EQ(full.create_file(path.c_str()), 0u);
    uint32_t handle = 0;
    ASSERT_EQ(full.open(path.c_str(), 2, &handle), 0u);
    uint32_t length = 3;
    EXPECT_EQ(full.write(handle, &length, "abc"), 0u);
    uint32_t size[2] = {};
    EXPECT_EQ(KvlLengthFile(handle, size, &full), 0u);
    EXPECT_EQ(size[0], 3u);
    EXPECT_EQ(full.close(&handle), 0u);
}

TEST(Memory, AllocationSizeRulesAndCounters) {
    struct Case {
        uint32_t heap_kind;
        uint32_t size;
        uint32_t error;
        size_t rounded;
    } cases[] = {
        {0, 1, 0, 4096},          {0, 4096, 0, 4096},       {0, 4097, 0, 8192},
        {0, 131072, 0, 131072},
        {0, 131073, ERR_MEMORY_SIZE, 0},
        {0, 0, ERR_MEMORY_SIZE, 0},
        {0, 0xFFFFF001u, ERR_MEMORY_SIZE, 0},
        {0, 0xFFFFFFFFu, ERR_MEMORY_SIZE, 0},
        {1, 16, KVL_WIN_INVALID_FUNCTION, 0},
        {7, 0x1000, KVL_WIN_INVALID_FUNCTION, 0},
    };
    for (const Case &c : cases) {
        const uint32_t allocs = counter(-1), frees = counter(-2);
        uint32_t error = 12345;
        void *block = KvlMemAlloc(c.heap_kind, c.size, &error, 1);
        EXPECT_EQ(Result(error), Result(c.error)) << c.size;
        if (c.error != 0) {
            EXPECT_EQ(block, nullptr) << c.size;
            EXPECT_EQ(counter(-1), allocs) << c.size;
            continue;
        }
        ASSERT_NE(block, nullptr) << c.size;
        EXPECT_EQ(counter(-1), allocs + 1);
        EXPECT_GE(malloc_usable_size(block), c.rounded) << c.size;
        const auto *bytes = static_cast<const uint8_t *>(block);
        size_t nonzero = 0;
        for (size_t i = 0; i < c.rounded; ++i) nonzero += bytes[i] != 0;
        EXPECT_EQ(nonzero, 0u) << c.size;
        EXPECT_EQ(Result(KvlMemFree(1, block)), KVL_WIN_INVALID_FUNCTION);
        EXPECT_EQ(counter(-2), frees);
        EXPECT_EQ(KvlMemFree(0, block), 0u);
        EXPECT_EQ(counter(-2), frees + 1);
    }
    EXPECT_EQ(Result(KvlMemFree(0, nullptr)), KVL_WIN_INVALID_BLOCK);
}

TEST(Memory, CeilingFollowsVariableTwelve) {
    uint32_t ceiling = 8192;
    ASSERT_EQ(KvlSetVar(&ceiling, 12), 0u);
    uint32_t error = 0;
    EXPECT_EQ(KvlMemAlloc(0, 8193, &error, 0), nullptr);
    EXPECT_EQ(Result(error), ERR_MEMORY_SIZE);
    void *block = KvlMemAlloc(0, 8192, &error, 0);
    EXPECT_NE(block, nullptr);
    EXPECT_EQ(error, 0u);
    KvlMemFree(0, block);
    KvlSetVar(&ceiling, 12);
    EXPECT_EQ(KvlGetVar(12, nullptr), 131072u);
}

TEST(Memory, SetAndCopy) {
    char buffer[8];
    std::memcpy(buffer, "abcdefgh", 8);
    EXPECT_EQ(KvlMemSet(buffer + 1, 0x1FF, 3), buffer + 1);  // the low byte only
    EXPECT_EQ(std::memcmp(buffer, "a\xFF\xFF\xFF" "efgh", 8), 0);
    EXPECT_EQ(KvlMemSet(buffer, 'z', 0), buffer);
    EXPECT_EQ(buffer[0], 'a');
    EXPECT_EQ(KvlMemSet(nullptr, 'z', 4), nullptr);

    std::memcpy(buffer, "abcdefgh", 8);
    EXPECT_EQ(KvlMemCpy(buffer, "XYZ", 0), buffer);
    EXPECT_EQ(KvlMemCpy(buffer, nullptr, 3), buffer);
    EXPECT_EQ(KvlMemCpy(nullptr, "XYZ", 3), nullptr);
    EXPECT_EQ(std::memcmp(buffer, "abcdefgh", 8), 0);
    EXPECT_EQ(KvlMemCpy(buffer + 2, "XYZ", 3), buffer + 2);
    EXPECT_EQ(std::memcmp(buffer, "abXYZfgh", 8), 0);
    // Copying upward lets the destination sit below an overlapping source.
    KvlMemCpy(buffer, buffer + 1, 7);
    EXPECT_EQ(std::memcmp(buffer, "bXYZfghh", 8), 0);
}

TEST(System, VersionIsPlatformTwoWithKernelVersion) {
    struct utsname name;
    ASSERT_EQ(uname(&name), 0);
    unsigned major = 0, minor = 0;
    ASSERT_EQ(std::sscanf(name.release, "%u.%u", &major, &minor), 2);
    uint32_t version = 0;
    EXPECT_EQ(KvlGetVersion(&version), 0u);
    EXPECT_EQ(version, 2u * 65536 + major * 100 + minor);
    EXPECT_EQ(Result(KvlGetVersion(nullptr)), ERR_NULL_PARAMETER);
}

TEST(System, ExtendedErrorReportsTheLastOsError) {
    kvl_test::TempDir dir;
    uint32_t handle = 0;
    EXPECT_EQ(Result(KvlOpenFile(dir.path("missing").c_str(), 0, &handle, nullptr)),
              KVL_WIN_FILE_NOT_FOUND);
    uint32_t a = 0, b = 9, c = 9, d = 9;
    EXPECT_EQ(KvlGetExtendedError(&a, &b, &c, &d), 0u);
    EXPECT_EQ(a, 2u);
    EXPECT_EQ(b + c + d, 0u);
    EXPECT_EQ(Result(KvlGetExtendedError(&a, &b, nullptr, &d)), ERR_NULL_PARAMETER);
}

}  // namespace
