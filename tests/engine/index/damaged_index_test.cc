// Damaged index files: every damage gives a result code, never a crash, an
// endless loop or a read outside a node, and ix4check reports it.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "engine/index/index_support.h"
#include "support/result_name.h"
#include "support/temp_dir.h"
#include "tools/ix4check/ix4_checker.h"

namespace {

using kvl_test::IndexRecord;
using kvl_test::le32;
using kvl_test::numbered_key;
using kvl_test::put_le32;
using kvl_test::Result;

constexpr uint32_t kNode = 512;
constexpr uint32_t kLen = 14;
using Bytes = std::vector<uint8_t>;

std::string key(uint32_t n) { return numbered_key(n, kLen); }
uint8_t *node_of(Bytes &file, uint32_t number) { return kvl_test::node_bytes(file, kNode, number); }

class DamagedIndex : public testing::Test {
protected:
    // Keys 1..24 stored in order: node 3 is the root holding key 13 over
    // node 1 (keys 1-12) and node 2 (keys 14-24).  With freed = true key 24
    // is deleted again: node 1 is then the root with 23 keys and the free
    // list runs 3 -> 2.
    Bytes build(bool freed) {
        const std::string path = dir_.path("base.ix4");
        std::remove(path.c_str());
        EXPECT_EQ(kvl_test::create_keys_index(path, kNode, kLen, KVL_SORT_BYTES), 0u);
        IndexRecord ix(kNode);
        EXPECT_EQ(ix.open(path), 0u);
        for (uint32_t n = 1; n <= 24; ++n) EXPECT_EQ(KvlIx4StoreKey(ix.get(), key(n).data(), n), 0u);
        if (freed) {
            EXPECT_EQ(KvlIx4DeleteKey(ix.get(), key(24).data(), 24), 0u);
        }
        EXPECT_EQ(KvlIx4CloseFile(ix.get()), 0u);
        return kvl_test::read_file(path);
    }
    std::string save(const Bytes &file) {
        const std::string path = dir_.path("damaged" + std::to_string(++files_) + ".ix4");
        kvl_test::write_file(path, file);
        return path;
    }
    ix4check::Report check(const std::string &path) {
        ix4check::Options options;
        options.index_path = path;
        return ix4check::check_index(options);
    }

    kvl_test::TempDir dir_;
    int files_ = 0;
};

// Walks forward and backward, looks up and changes keys, with a bound on
// every loop; returns the first error of each walk.
struct Outcome {
    uint32_t forward = 0, backward = 0, lookup = 0;
};
Outcome exercise(IndexControlRecord *ix) {
    Outcome out;
    std::string k(kLen, '\0');
    uint32_t record = 0;
    uint32_t rc = KvlIx4FirstKey(ix, k.data(), &record);
    for (int i = 0; rc == 0 && i < 1000; ++i) rc = KvlIx4NextKey(ix, k.data(), &record);
    out.forward = rc;
    rc = KvlIx4LastKey(ix, k.data(), &record);
    for (int i = 0; rc == 0 && i < 1000; ++i) rc = KvlIx4PrevKey(ix, k.data(), &record);
    out.backward = rc;
    for (uint32_t n = 1; n <= 30; ++n) {
        k = key(n);
        record = 0;
        rc = KvlIx4EqualKey(ix, k.data(), &record);
        if (rc != 0 && rc != ERR_KEY_NOT_FOUND && out.lookup == 0) out.lookup = rc;
        k = key(n);
        KvlIx4EqualOrGreaterKey(ix, k.data(), &record);
        k = key(n);
        KvlIx4EqualOrLesserKey(ix, k.data(), &record);
    }
    for (uint32_t n = 25; n <= 60; ++n) KvlIx4StoreKey(ix, key(n).data(), n);
    for (uint32_t n = 1; n <= 60; n += 3) KvlIx4DeleteKey(ix, key(n).data(), n);
    return out;
}

TEST_F(DamagedIndex, NodesThatBreakTheTree) {
    struct Case {
        const char *what;
        std::function<void(Bytes &)> damage;
        uint32_t forward, backward, lookup;
        const char *reported;
    } cases[] = {
        {"root child loops back to the root", [](Bytes &f) { put_le32(node_of(f, 3) + 1, 3); },
         ERR_INDEX_TOO_DEEP, ERR_INDEX_TOO_DEEP, ERR_INDEX_TOO_DEEP, "reached twice"},
        {"leaf child points at its own node",
         [](Bytes &f) { put_le32(node_of(f, 2) + 1 + 11 * (kLen + 8), 2); }, ERR_INDEX_TOO_DEEP,
         ERR_INDEX_TOO_DEEP, ERR_INDEX_TOO_DEEP, "reached twice"},
        {"key count above keys per node", [](Bytes &f) { node_of(f, 1)[0] = 24; }, ERR_BAD_NODE,
         ERR_BAD_NODE, ERR_BAD_NODE, "holds 24 keys"},
        {"key count 0 in a tree node", [](Bytes &f) { node_of(f, 2)[0] = 0; }, ERR_BAD_NODE,
         ERR_BAD_NODE, ERR_BAD_NODE, "holds 0 keys"},
        {"child past the end of the file",
         [](Bytes &f) { put_le32(node_of(f, 3) + 1 + (kLen + 8), 999); }, 38, 38, 38,
         "past the end"},
        {"child beyond the 32-bit file range",
         [](Bytes &f) { put_le32(node_of(f, 3) + 1, 0x7FFFFFFF); }, ERR_FILE_LIMIT, ERR_FILE_LIMIT,
         ERR_FILE_LIMIT, "past the end"},
        {"keys out of order",
         [](Bytes &f) { std::memcpy(node_of(f, 1) + 5, key(99).data(), kLen); }, 0,
         ERR_TOP_OF_INDEX, 0, "does not sort after"},
    };
    const Bytes base = build(false);
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        Bytes file = base;
        c.damage(file);
        const std::string path = save(file);
        const ix4check::Report report = check(path);
        EXPECT_FALSE(report.ok());
        EXPECT_NE(report.text().find(c.reported), std::string::npos) << report.text();
        IndexRecord ix(kNode);
        ASSERT_EQ(ix.open(path), 0u);
        const Outcome out = exercise(ix.get());
        if (c.forward) {
            EXPECT_EQ(Result(out.forward), Result(c.forward));
        }
        EXPECT_EQ(Result(out.backward), Result(c.backward));
        EXPECT_EQ(Result(out.lookup), Result(c.lookup));
    }
}

TEST_F(DamagedIndex, FreeListThatLoopsOrLacksItsMarker) {
    const Bytes base = build(true);
    ASSERT_EQ(le32(&base[16]), 3u);  // free head
    struct Case {
        const char *what;
        std::function<void(Bytes &)> damage;
        const char *reported;
    } cases[] = {
        {"free list loops", [](Bytes &f) { put_le32(node_of(f, 2) + 1, 3); },
         "loops back"},
        {"free node without marker",
         [](Bytes &f) { std::memcpy(node_of(f, 3) + 5, "XYZ", 3); }, "marker"},
        {"free node past the end", [](Bytes &f) { put_le32(node_of(f, 2) + 1, 77); },
         "past the end"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        Bytes file = base;
        c.damage(file);
        const std::string path = save(file);
        const ix4check::Report report = check(path);
        EXPECT_FALSE(report.ok());
        EXPECT_NE(report.text().find(c.reported), std::string::npos) << report.text();
        IndexRecord ix(kNode);
        ASSERT_EQ(ix.open(path), 0u);
        uint32_t rc = 0;
        for (uint32_t n = 100; rc == 0 && n < 400; ++n) rc = KvlIx4StoreKey(ix.get(), key(n).data(), n);
        EXPECT_TRUE(rc == ERR_BAD_FREE_LIST || rc == KVL_WIN_HANDLE_EOF)
            << kvl_test::result_name(rc);
    }
}

TEST_F(DamagedIndex, HeadersThatAreRefused) {
    struct Case {
        const char *what;
        uint32_t offset, value, preset, expected;
    } cases[] = {
        {"signature", 0, 0x12345678, kNode, ERR_NOT_INDEX_FILE},
        {"node size not allowed", 4, 100, 100, ERR_NODE_SIZE},
        {"key length 0", 24, 0, kNode, ERR_KEY_TOO_LONG},
        {"key length 197", 24, 197, kNode, ERR_KEY_TOO_LONG},
        {"keys per node too many", 28, 200, kNode, ERR_NODE_SIZE},
        {"keys per node 0", 28, 0, kNode, ERR_NODE_SIZE},
        {"keys counted without a root", 8, 0, kNode, ERR_NO_ROOT},
    };
    const Bytes base = build(false);
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        Bytes file = base;
        put_le32(&file[c.offset], c.value);
        const std::string path = save(file);
        EXPECT_FALSE(check(path).ok());
        IndexRecord ix(c.preset);
        EXPECT_EQ(Result(ix.open(path)), Result(c.expected));
        EXPECT_EQ(ix->os_handle, 0u);
        EXPECT_EQ(ix->header.node_size, c.preset);
        // A refused header cannot be used for tree work even if the caller
        // keeps going.
        std::string k(kLen, '\0');
        uint32_t record = 0;
        EXPECT_NE(KvlIx4FirstKey(ix.get(), k.data(), &record), 0u);
    }
}

TEST_F(DamagedIndex, RootPastTheEndAndShortFile) {
    Bytes file = build(false);
    put_le32(&file[8], 50);
    std::string path = save(file);
    IndexRecord ix(kNode);
    ASSERT_EQ(ix.open(path), 0u);
    std::string k(kLen, '\0');
    uint32_t record = 0;
    EXPECT_EQ(Result(KvlIx4FirstKey(ix.get(), k.data(), &record)), KVL_WIN_HANDLE_EOF);
    EXPECT_EQ(Result(KvlIx4LastKey(ix.get(), k.data(), &record)), KVL_WIN_HANDLE_EOF);

    file.resize(600);  // shorter than a header
    IndexRecord short_file(kNode);
    EXPECT_EQ(Result(short_file.open(save(file))), KVL_WIN_HANDLE_EOF);
    EXPECT_EQ(short_file->os_handle, 0u);
}

TEST_F(DamagedIndex, DamagedPositionInTheHandle) {
    build(false);
    IndexRecord ix(kNode);
    ASSERT_EQ(ix.open(dir_.path("base.ix4")), 0u);
    std::string k = key(5);
    uint32_t record = 0;
    ASSERT_EQ(KvlIx4EqualKey(ix.get(), k.data(), &record), 0u);
    ix->current_slot = -5;
    ix->position_flags |= KVL_POS_GAP;
    EXPECT_EQ(Result(KvlIx4PrevKey(ix.get(), k.data(), &record)), ERR_BAD_POSITION);
    ASSERT_EQ(KvlIx4EqualKey(ix.get(), k.data(), &record), 0u);
    ix->current_slot = 300;
    EXPECT_EQ(Result(KvlIx4NextKey(ix.get(), k.data(), &record)), ERR_BAD_POSITION);
    // The next search starts afresh.
    ASSERT_EQ(KvlIx4EqualKey(ix.get(), k.data(), &record), 0u);
    EXPECT_EQ(record, 5u);
}

TEST_F(DamagedIndex, NodesAtTheLockRegionAreNotRead) {
    build(false);
    IndexRecord ix(kNode);
    ASSERT_EQ(ix.open(dir_.path("base.ix4")), 0u);
    // Nodes 1 and 2 lie below 1024 + 2 * 512; node 3, the root, does not.
    ix->lock_offset = 1024 + 2 * kNode + 131072;
    uint32_t record = 0;
    // The bound applies to reads from the file, not to the buffered node.
    auto find = [&] {
        EXPECT_EQ(KvlFuncIx4BTM(KVL_BTM_RESET, ix.get(), nullptr, 0), 0u);
        std::string k = key(20);
        return KvlIx4EqualKey(ix.get(), k.data(), &record);
    };
    EXPECT_EQ(Result(find()), ERR_FILE_LIMIT);
    ix->lock_offset = 1024 + 3 * kNode + 131072;
    EXPECT_EQ(find(), 0u);
    ix->state |= KVL_STATE_HALVED_BASE;  // the same offset halved
    EXPECT_EQ(Result(find()), ERR_FILE_LIMIT);
    ix->lock_offset = 2 * (1024 + 3 * kNode + 131072);
    EXPECT_EQ(find(), 0u);
    // A new node would go to node 4: refused before anything is written.
    ix->lock_offset = 2 * (1024 + 3 * kNode + 131072);
    uint32_t rc = 0;
    uint32_t n = 30;
    for (; rc == 0 && n < 60; ++n) rc = KvlIx4StoreKey(ix.get(), key(n).data(), n);
    EXPECT_EQ(Result(rc), ERR_FILE_LIMIT);
    EXPECT_EQ(n, 43u);  // node 2 filled up to 23 keys, the 13th key needed node 4
    EXPECT_EQ(ix->header.key_count, 24u + 12u);
    ix->lock_offset = 0;
    ASSERT_EQ(KvlIx4FlushHeader(ix.get()), 0u);
    ix4check::Options options;
    options.index_path = dir_.path("base.ix4");
    EXPECT_TRUE(ix4check::check_index(options).ok()) << "a refused split changes nothing";
}

}  // namespace

namespace {

uint32_t seed_for_test() {
    const char *seed = std::getenv("KVL_DAMAGE_SEED");
    return seed ? uint32_t(std::strtoul(seed, nullptr, 10)) : 2024u;
}
int rounds_for_test() {
    const char *rounds = std::getenv("KVL_DAMAGE_ROUNDS");
    return rounds ? std::atoi(rounds) : 300;
}

// Random damage anywhere in a three-level index: every call still returns,
// within its bounds, whatever the bytes say.
TEST(DamagedIndexRandom, RandomBytesNeverHangOrCrash) {
    kvl_test::TempDir dir;
    const std::string path = dir.path("random.ix4");
    const uint32_t key_length = 150;  // 3 keys per 512-byte node: a deep tree
    ASSERT_EQ(kvl_test::create_keys_index(path, kNode, key_length, KVL_SORT_BYTES), 0u);
    {
        IndexRecord ix(kNode);
        ASSERT_EQ(ix.open(path), 0u);
        for (uint32_t n = 1; n <= 60; ++n)
            ASSERT_EQ(KvlIx4StoreKey(ix.get(), numbered_key(n * 7 % 61, key_length).data(), n), 0u);
        for (uint32_t n = 1; n <= 60; n += 5)
            ASSERT_EQ(KvlIx4DeleteKey(ix.get(), numbered_key(n * 7 % 61, key_length).data(), n), 0u);
    }
    const Bytes good = kvl_test::read_file(path);
    std::mt19937 random(seed_for_test());
    // The key length itself may be damaged: buffers take the largest key.
    std::string k(KVL_MAX_KEY_LENGTH, '\0');
    for (int round = 0; round < rounds_for_test(); ++round) {
        Bytes file = good;
        const int flips = 1 + int(random() % 6);
        for (int i = 0; i < flips; ++i) {
            // Mostly node bytes, sometimes the counted header fields.
            const size_t at = random() % 4 == 0 ? random() % 32 : 1024 + random() % (file.size() - 1024);
            file[at] = random() % 3 == 0 ? uint8_t(random()) : uint8_t(file[at] ^ (1u << (random() % 8)));
        }
        kvl_test::write_file(path, file);
        ix4check::Options options;  // the checker reads the same bytes safely
        options.index_path = path;
        ix4check::check_index(options);
        IndexRecord ix(kNode);
        if (ix.open(path) != 0) continue;
        uint32_t record = 0;
        uint32_t rc = KvlIx4FirstKey(ix.get(), k.data(), &record);
        for (int i = 0; rc == 0 && i < 500; ++i) rc = KvlIx4NextKey(ix.get(), k.data(), &record);
        rc = KvlIx4LastKey(ix.get(), k.data(), &record);
        for (int i = 0; rc == 0 && i < 500; ++i) rc = KvlIx4PrevKey(ix.get(), k.data(), &record);
        for (uint32_t n = 0; n < 70; n += 3) {
            k = numbered_key(n, key_length);
            k.resize(KVL_MAX_KEY_LENGTH, '.');
            KvlIx4EqualOrGreaterKey(ix.get(), k.data(), &record);
            std::string other = numbered_key(100 + n, KVL_MAX_KEY_LENGTH);
            KvlIx4StoreKey(ix.get(), other.data(), 100 + n);
            KvlIx4DeleteKey(ix.get(), k.data(), n / 7 + 1);
        }
    }
}

}  // namespace
