// Damaged memo files: wrong block sizes, block numbers past the end, free
// chains that loop, stop at 0 or point far away, length words larger than
// the file.  Every call returns a result code; none loops, reads outside a
// buffer or writes far beyond the end of the file.
#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <string>
#include <vector>

#include "engine/memo/memo_test_util.h"

namespace {

using kvl_test::MemoTable;
using kvl_test::pattern;

void put_u32(std::vector<uint8_t> &bytes, size_t at, uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<uint8_t>(value >> (8 * i));
}

// Blocks 1 (10 bytes), 2-3 (600 bytes, then freed), 4 (20 bytes); next
// free 2, whose run goes on to 5, the end of the file.
struct Damaged {
    MemoTable table;
    std::vector<uint8_t> bytes;
    Damaged() {
        table.store(pattern(10, 1));
        table.store(pattern(600, 2));
        table.store(pattern(20, 3));
        EXPECT_EQ(KvlMemoDelete(table.rec(), 2), 0u);
        EXPECT_EQ(table.close(), 0u);
        bytes = table.dbt();
    }
    // Writes the damaged bytes and opens the data file again.
    void apply(const std::function<void(std::vector<uint8_t> &)> &damage) {
        damage(bytes);
        kvl_test::write_bytes(table.dbt_path(), bytes);
        EXPECT_EQ(table.reopen(), 0u);
    }
};

TEST(MemoDamage, BlockSizeOutOfRange) {
    for (uint32_t size : {0u, 23u, 65536u, 0xFFFFFFFFu}) {
        SCOPED_TRACE(size);
        Damaged file;
        file.apply([&](auto &b) { put_u32(b, 20, size); });
        uint32_t block = 0, first = 0, got = 0, count = 5;
        char out[5];
        MemoTable &t = file.table;
        EXPECT_EQ(KvlMemoAdd(t.rec(), 5, 5, "12345", &block, 0), ERR_MEMO_BLOCK_SIZE);
        EXPECT_EQ(KvlMemoGet(t.rec(), 1, 0, &count, out), ERR_MEMO_BLOCK_SIZE);
        EXPECT_EQ(KvlMemoGetSize(t.rec(), 1, &first, &got), ERR_MEMO_BLOCK_SIZE);
        block = 1;
        EXPECT_EQ(KvlMemoUpdate(t.rec(), &block, 0, 5, "12345"), ERR_MEMO_BLOCK_SIZE);
        EXPECT_EQ(KvlMemoDelete(t.rec(), 1), ERR_MEMO_BLOCK_SIZE);
        EXPECT_EQ(t.dbt(), file.bytes);
    }
}

// Free chains that cannot be followed: every add fails with
// ERR_MEMO_FREE_CHAIN and the file is not changed.
TEST(MemoDamage, BrokenFreeChains) {
    struct Case {
        const char *what;
        std::function<void(std::vector<uint8_t> &)> damage;
        uint32_t size;  // of the add
    };
    const size_t block2 = 1024, block1 = 512;
    const Case cases[] = {
        {"next free far past the end", [](auto &b) { put_u32(b, 0, 1000); }, 10},
        {"next free 0", [](auto &b) { put_u32(b, 0, 0); }, 10},
        {"run's next word past the end", [&](auto &b) { put_u32(b, block2, 77777); }, 2000},
        {"run's next word 0", [&](auto &b) { put_u32(b, block2, 0); }, 2000},
        {"run's size past the end", [&](auto &b) { put_u32(b, block2 + 4, 4000); }, 10},
        {"run's size far past 4 GB",
         [&](auto &b) { put_u32(b, block2 + 4, 0xFFFFFFFF); }, 10},
        {"chain loops", [&](auto &b) { put_u32(b, block2, 2); }, 2000},
        {"two runs loop",
         [&](auto &b) {
             put_u32(b, block2, 1);
             put_u32(b, block1, 2);
             put_u32(b, block1 + 4, 1);
         },
         2000},
        {"chain into a stored memo", [&](auto &b) { put_u32(b, 0, 4); }, 10},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        Damaged file;
        file.apply(c.damage);
        uint32_t block = 0;
        const std::string text = pattern(c.size);
        EXPECT_EQ(KvlMemoAdd(file.table.rec(), c.size, c.size, text.data(), &block, 0),
                  ERR_MEMO_FREE_CHAIN);
        EXPECT_EQ(file.table.dbt(), file.bytes);
    }
}

TEST(MemoDamage, BlockNumbersAndLengthWords) {
    Damaged file;
    const size_t block4 = 2048;
    file.apply([&](auto &b) {
        put_u32(b, 512 + 4, 0x7FFFFFF0);  // block 1's length word, far past the end
        put_u32(b, block4 + 4, 3);        // block 4's, shorter than its own header
    });
    MemoTable &t = file.table;
    uint32_t first = 0, size = 0;
    std::string out(100, '?');
    uint32_t count = 100;

    EXPECT_EQ(KvlMemoGetSize(t.rec(), 1, &first, &size), 0u);
    EXPECT_EQ(size, 0x7FFFFFE8u);
    EXPECT_EQ(KvlMemoGet(t.rec(), 1, 0, &count, out.data()), 0u);  // from the first read
    EXPECT_EQ(count, 100u);
    count = 100;
    EXPECT_EQ(KvlMemoGet(t.rec(), 1, 5000, &count, out.data()), KVL_WIN_HANDLE_EOF);
    EXPECT_EQ(count, 0u);
    uint32_t block = 1;
    EXPECT_EQ(KvlMemoUpdate(t.rec(), &block, 0, 5, "12345"), KVL_WIN_HANDLE_EOF);
    EXPECT_EQ(KvlMemoUpdate(t.rec(), &block, 0, 5, nullptr), KVL_WIN_HANDLE_EOF);
    EXPECT_EQ(KvlMemoDelete(t.rec(), 1), KVL_WIN_HANDLE_EOF);

    EXPECT_EQ(KvlMemoGetSize(t.rec(), 4, &first, &size), 0u);
    EXPECT_EQ(size, 0u);
    count = 100;
    EXPECT_EQ(KvlMemoGet(t.rec(), 4, 0, &count, out.data()), ERR_MEMO_OFFSET);
    EXPECT_EQ(count, 0u);

    // Blocks past the end of the file, and past what 32-bit positions reach.
    for (uint32_t far : {6u, 100000u}) {
        count = 100;
        block = far;
        EXPECT_EQ(KvlMemoGet(t.rec(), far, 0, &count, out.data()), KVL_WIN_HANDLE_EOF) << far;
        EXPECT_EQ(KvlMemoGetSize(t.rec(), far, &first, &size), KVL_WIN_HANDLE_EOF) << far;
        EXPECT_EQ(KvlMemoDelete(t.rec(), far), KVL_WIN_HANDLE_EOF) << far;
        EXPECT_EQ(KvlMemoUpdate(t.rec(), &block, 0, 1, "x"), KVL_WIN_HANDLE_EOF) << far;
    }
    for (uint32_t wild : {0xFFFFFFFFu, 0x00900000u}) {
        count = 100;
        block = wild;
        EXPECT_EQ(KvlMemoGet(t.rec(), wild, 0, &count, out.data()), ERR_FILE_LIMIT) << wild;
        EXPECT_EQ(KvlMemoDelete(t.rec(), wild), ERR_FILE_LIMIT) << wild;
        EXPECT_EQ(KvlMemoUpdate(t.rec(), &block, 0, 1, "x"), ERR_FILE_LIMIT) << wild;
    }
    t->state &= ~KVL_STATE_CHANGED;  // nothing to write back
    EXPECT_EQ(t.close(), 0u);
    EXPECT_EQ(t.dbt(), file.bytes);
}

// With a lock base, no block may start at or beyond the lock base minus B.
TEST(MemoDamage, LockBaseLimit) {
    MemoTable table;
    table.store(pattern(10));                   // block 1 at 512
    table->lock_base = 512 * 3;                 // limit 1024: block 2 is refused
    uint32_t block = 0;
    EXPECT_EQ(table.add(pattern(10), &block), ERR_FILE_LIMIT);
    EXPECT_EQ(table.read(1), pattern(10));
    table->lock_base = 512 * 3 + 1;
    EXPECT_EQ(table.add(pattern(10), &block), 0u);
    EXPECT_EQ(block, 2u);
}

// Random words in the header and the blocks: every call returns, and the
// file grows by no more than the runs the calls could rightly take.
TEST(MemoDamage, RandomDamage) {
    std::mt19937 random(7);
    for (int round = 0; round < 150; ++round) {
        SCOPED_TRACE(round);
        Damaged file;
        file.apply([&](auto &b) {
            for (int n = 1 + random() % 4; n > 0; --n) {
                const size_t at = (random() % (b.size() / 4)) * 4;
                const uint32_t choices[] = {0u, 1u, 2u, 5u, 24u, 512u, 0x0008FFFFu,
                                            static_cast<uint32_t>(random()),
                                            static_cast<uint32_t>(random() % 4096)};
                put_u32(b, at < 512 ? (random() % 2 ? 0 : 20) : at, choices[random() % 9]);
            }
        });
        MemoTable &t = file.table;
        const uint64_t before = t.dbt().size();
        uint32_t block = 0, first = 0, size = 0, count = 0;
        std::string out(700, '?');
        const std::string text = pattern(600);
        KvlMemoAdd(t.rec(), 600, 600, text.data(), &block, 0);
        for (uint32_t n = 1; n <= 6; ++n) {
            count = 700;
            KvlMemoGet(t.rec(), n, 0, &count, out.data());
            ASSERT_LE(count, 700u);
            KvlMemoGetSize(t.rec(), n, &first, &size);
            block = n;
            KvlMemoUpdate(t.rec(), &block, 0, 10, text.data());
            block = n;
            KvlMemoUpdate(t.rec(), &block, 0, 10, nullptr);
            KvlMemoDelete(t.rec(), n);
        }
        const uint32_t block_size = t->memo_header.block_size;
        if (block_size >= 24 && block_size <= 65535)
            // The add's run, and one block for each of six moved memos.
            EXPECT_LE(t.dbt().size(),
                      before + ((600 + 8 + block_size - 1) / block_size + 6) * block_size);
        else
            EXPECT_EQ(t.dbt().size(), before);
    }
}

}  // namespace
