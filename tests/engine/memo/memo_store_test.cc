// Storing, reading, resizing and freeing memos: block use and the free
// chain as the file shows them, reads at offsets, growth in place, moves
// and shrinks, round trips of many sizes, and a randomised run against a
// model of what every memo must read back as.
#include <gtest/gtest.h>

#include <map>
#include <random>
#include <string>
#include <vector>

#include "engine/memo/memo_test_util.h"

namespace {

using kvl_test::MemoTable;
using kvl_test::pattern;

TEST(MemoStore, BlocksAndTheFreeChain) {
    MemoTable table;
    // 10 + 8 bytes fit block 1; the next free block is written at once.
    EXPECT_EQ(table.store(pattern(10, 1)), 1u);
    EXPECT_EQ(table->memo_header.next_free, 2u);
    EXPECT_EQ(table.dbt_word(0), 2u);
    EXPECT_EQ(table.dbt_word(512), KVL_MEMO_SIGNATURE);
    EXPECT_EQ(table.dbt_word(516), 18u);
    // 600 + 8 bytes take blocks 2 and 3.
    EXPECT_EQ(table.store(pattern(600, 2)), 2u);
    EXPECT_EQ(table->memo_header.next_free, 4u);
    EXPECT_EQ(table.dbt().size(), 512u * 4);

    ASSERT_EQ(KvlMemoDelete(table.rec(), 2), 0u);
    EXPECT_EQ(table->memo_header.next_free, 2u);
    EXPECT_EQ(table.dbt_word(table.block_at(2)), 4u);      // next
    EXPECT_EQ(table.dbt_word(table.block_at(2) + 4), 2u);  // size in blocks
    auto bytes = table.dbt();
    for (size_t i = table.block_at(2) + 8; i < table.block_at(4); ++i)
        ASSERT_EQ(bytes[i], 0) << "freed byte " << i;

    // 1100 bytes do not fit the 2-block run (1016 bytes): the walk goes on
    // to the end of the file, and the run before links past the new blocks.
    EXPECT_EQ(table.store(pattern(1100, 3)), 4u);
    EXPECT_EQ(table->memo_header.next_free, 2u);
    EXPECT_EQ(table.dbt_word(table.block_at(2)), 7u);
    // 700 bytes fit it (2 x 512 - 8 >= 700); the header takes its next word.
    EXPECT_EQ(table.store(pattern(700, 4)), 2u);
    EXPECT_EQ(table->memo_header.next_free, 7u);
    EXPECT_EQ(table.dbt_word(0), 7u);

    EXPECT_EQ(table.read(1), pattern(10, 1));
    EXPECT_EQ(table.read(2), pattern(700, 4));
    EXPECT_EQ(table.read(4), pattern(1100, 3));
}

TEST(MemoStore, FreedRunsAreReusedLastFreedFirstAndNotMerged) {
    MemoTable table;
    const uint32_t a = table.store(pattern(100, 1));  // block 1
    const uint32_t b = table.store(pattern(100, 2));  // block 2
    table.store(pattern(100, 3));                     // block 3
    ASSERT_EQ(KvlMemoDelete(table.rec(), a), 0u);
    ASSERT_EQ(KvlMemoDelete(table.rec(), b), 0u);
    EXPECT_EQ(table->memo_header.next_free, b);
    EXPECT_EQ(table.dbt_word(table.block_at(b)), a);
    EXPECT_EQ(table.dbt_word(table.block_at(a)), 4u);
    // Blocks 1 and 2 lie side by side but stay two runs of one block: a
    // memo needing two blocks goes to the end of the file.
    EXPECT_EQ(table.store(pattern(600, 4)), 4u);
    EXPECT_EQ(table.store(pattern(5, 5)), b);
    EXPECT_EQ(table.store(pattern(5, 6)), a);
    EXPECT_EQ(table->memo_header.next_free, 6u);
}

TEST(MemoStore, ARunIsTakenWhole) {
    MemoTable table;
    const uint32_t big = table.store(pattern(2000, 1));  // blocks 1-4
    table.store(pattern(10, 2));                         // block 5
    ASSERT_EQ(KvlMemoDelete(table.rec(), big), 0u);
    EXPECT_EQ(table.store(pattern(20, 3)), 1u);
    EXPECT_EQ(table->memo_header.next_free, 6u);  // blocks 2-4 are not offered again
    EXPECT_EQ(table.read(1), pattern(20, 3));
}

TEST(MemoStore, FreeRunSizesInBytes) {
    MemoTable table;
    table->memo_state |= KVL_MEMO_STATE_BYTE_SIZES;
    const uint32_t a = table.store(pattern(600, 1));  // blocks 1-2
    table.store(pattern(10, 2));
    ASSERT_EQ(KvlMemoDelete(table.rec(), a), 0u);
    EXPECT_EQ(table.dbt_word(table.block_at(a) + 4), 1024u);
    EXPECT_EQ(table.store(pattern(1000, 3)), a);
}

TEST(MemoStore, ArgumentChecks) {
    MemoTable table;
    uint32_t block = 0;
    struct Case {
        uint32_t reserved, length, rc;
    };
    const Case cases[] = {
        {0, 0, ERR_MEMO_SIZE}, {5, 0, ERR_MEMO_SIZE}, {0, 5, ERR_MEMO_SIZE},
        {4, 5, ERR_MEMO_SIZE}, {5, 5, 0},           {100, 5, 0},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(KvlMemoAdd(table.rec(), c.reserved, c.length, "12345", &block, 0), c.rc)
            << c.reserved << "/" << c.length;
    }
    EXPECT_EQ(KvlMemoDelete(table.rec(), 0), ERR_MEMO_BLOCK_ZERO);
    uint32_t first = 0, size = 0, count = 1;
    char byte;
    EXPECT_EQ(KvlMemoGet(table.rec(), 0, 0, &count, &byte), ERR_MEMO_BLOCK_ZERO);
    EXPECT_EQ(KvlMemoGetSize(table.rec(), 0, &first, &size), ERR_MEMO_BLOCK_ZERO);
    block = 0;
    EXPECT_EQ(KvlMemoUpdate(table.rec(), &block, 0, 1, "x"), ERR_MEMO_BLOCK_ZERO);
    block = 1;
    EXPECT_EQ(KvlMemoUpdate(table.rec(), &block, 0, 0, "x"), ERR_MEMO_SIZE);
    // The reserved memo reads back its data, then zeros.
    EXPECT_EQ(table.size_of(2), 100u);
    EXPECT_EQ(table.read(2), std::string("12345") + std::string(95, '\0'));
}

TEST(MemoRead, OffsetsAndCounts) {
    MemoTable table;
    const std::string text = pattern(1500, 7);
    const uint32_t block = table.store(text);
    struct Case {
        uint32_t offset, count;
        uint32_t rc, delivered;
    };
    const Case cases[] = {
        {0, 10, 0, 10},          // within the first 512 bytes read
        {400, 200, 0, 200},      // past them: read from the file
        {1490, 100, 0, 10},      // cut at the end
        {1499, 1, 0, 1},
        {1500, 1, ERR_MEMO_OFFSET, 0},  // at the length
        {4000, 1, ERR_MEMO_OFFSET, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.offset << "+" << c.count);
        std::string out(c.count, '?');
        uint32_t count = c.count;
        EXPECT_EQ(KvlMemoGet(table.rec(), block, c.offset, &count, out.data()), c.rc);
        EXPECT_EQ(count, c.delivered);
        if (c.delivered) {
            EXPECT_EQ(out.substr(0, count), text.substr(c.offset, c.delivered));
        }
        EXPECT_EQ(table->memo_current_block, block);
    }
    uint32_t first = 0, size = 0;
    EXPECT_EQ(KvlMemoGetSize(table.rec(), block, &first, &size), 0u);
    EXPECT_EQ(first, KVL_MEMO_SIGNATURE);
    EXPECT_EQ(size, 1500u);
}

// A freed run reads as its bytes with ERR_MEMO_NOT_MEMO: the run size stands
// in for the length word.
TEST(MemoRead, AFreeRunIsNotAMemo) {
    MemoTable table;
    const uint32_t block = table.store(pattern(600));
    table.store("x");
    ASSERT_EQ(KvlMemoDelete(table.rec(), block), 0u);
    uint32_t first = 0, size = 0;
    EXPECT_EQ(KvlMemoGetSize(table.rec(), block, &first, &size), ERR_MEMO_NOT_MEMO);
    EXPECT_EQ(first, 4u);  // its next word
    EXPECT_EQ(size, 1024u);
    std::string out(2000, '?');
    uint32_t count = 2000;
    EXPECT_EQ(KvlMemoGet(table.rec(), block, 0, &count, out.data()), ERR_MEMO_NOT_MEMO);
    EXPECT_EQ(count, 1016u);
    EXPECT_EQ(out.substr(0, count), std::string(1016, '\0'));
    uint32_t moved = block;
    EXPECT_EQ(KvlMemoUpdate(table.rec(), &moved, 0, 1, "y"), ERR_MEMO_NOT_MEMO);
    EXPECT_EQ(KvlMemoDelete(table.rec(), block), ERR_MEMO_NOT_MEMO);
    // A size word of 0 counts as one block, as it does for an add.
    auto bytes = table.dbt();
    bytes[table.block_at(block) + 4] = 0;  // was 2
    kvl_test::write_bytes(table.dbt_path(), bytes);
    EXPECT_EQ(KvlMemoGetSize(table.rec(), block, &first, &size), ERR_MEMO_NOT_MEMO);
    EXPECT_EQ(size, 512u);
    count = 2000;
    EXPECT_EQ(KvlMemoGet(table.rec(), block, 0, &count, out.data()), ERR_MEMO_NOT_MEMO);
    EXPECT_EQ(count, 504u);
}

TEST(MemoUpdate, GrowInPlace) {
    MemoTable table;
    uint32_t block = table.store("0123456789");
    ASSERT_EQ(KvlMemoUpdate(table.rec(), &block, 100, 5, "abcde"), 0u);
    EXPECT_EQ(block, 1u);
    EXPECT_EQ(table.dbt_word(516), 113u);
    EXPECT_EQ(table.read(block), "0123456789" + std::string(90, '\0') + "abcde");
    // Overwriting inside the memo keeps its length.
    ASSERT_EQ(KvlMemoUpdate(table.rec(), &block, 2, 3, "XYZ"), 0u);
    EXPECT_EQ(table.size_of(block), 105u);
    EXPECT_EQ(table.read(block).substr(0, 6), "01XYZ5");
    // Up to the last byte of the block: still in place.
    ASSERT_EQ(KvlMemoUpdate(table.rec(), &block, 503, 1, "!"), 0u);
    EXPECT_EQ(block, 1u);
    EXPECT_EQ(table.size_of(block), 504u);
    EXPECT_EQ(table.dbt().size(), 1024u);
}

TEST(MemoUpdate, GrowingPastTheRunMovesTheMemo) {
    MemoTable table;
    uint32_t block = table.store("0123456789");  // block 1
    table.store("next");                         // block 2
    ASSERT_EQ(KvlMemoUpdate(table.rec(), &block, 600, 5, "abcde"), 0u);
    EXPECT_EQ(block, 3u);  // 605 + 8 bytes: blocks 3 and 4
    EXPECT_EQ(table.read(block), "0123456789" + std::string(590, '\0') + "abcde");
    // The old block heads the free chain.
    EXPECT_EQ(table->memo_header.next_free, 1u);
    EXPECT_EQ(table.dbt_word(table.block_at(1)), 5u);
    EXPECT_EQ(table.dbt_word(table.block_at(1) + 4), 1u);
    EXPECT_EQ(table.read(2), "next");

    // A write that starts before the old end keeps only the bytes before it.
    uint32_t second = 2;
    ASSERT_EQ(KvlMemoUpdate(table.rec(), &second, 2, 700, pattern(700).c_str()), 0u);
    EXPECT_EQ(second, 5u);
    EXPECT_EQ(table.read(second), "ne" + pattern(700));
    EXPECT_EQ(table->memo_header.next_free, 2u);
}

TEST(MemoUpdate, ShrinkFreesTheBlocksNoLongerNeeded) {
    MemoTable table;
    const std::string text = pattern(1000);
    uint32_t block = table.store(text);  // blocks 1 and 2
    table.store("after");                // block 3
    ASSERT_EQ(KvlMemoUpdate(table.rec(), &block, 0, 100, nullptr), 0u);
    EXPECT_EQ(block, 1u);
    EXPECT_EQ(table.read(block), text.substr(0, 100));
    EXPECT_EQ(table->memo_header.next_free, 2u);
    EXPECT_EQ(table.dbt_word(table.block_at(2)), 4u);
    EXPECT_EQ(table.dbt_word(table.block_at(2) + 4), 1u);
    auto bytes = table.dbt();
    for (size_t i = table.block_at(1) + 108; i < table.block_at(3); ++i) {
        if (i == table.block_at(2)) i += 8;  // the free run's next and size
        ASSERT_EQ(bytes[i], 0) << "byte " << i;
    }

    // Within one block nothing is freed; not smaller is refused.
    ASSERT_EQ(KvlMemoUpdate(table.rec(), &block, 0, 50, nullptr), 0u);
    EXPECT_EQ(table->memo_header.next_free, 2u);
    EXPECT_EQ(KvlMemoUpdate(table.rec(), &block, 0, 50, nullptr), ERR_MEMO_SHRINK);
    EXPECT_EQ(KvlMemoUpdate(table.rec(), &block, 0, 60, nullptr), ERR_MEMO_SHRINK);
    EXPECT_EQ(table.read(block), text.substr(0, 50));
    // The freed block is used again.
    EXPECT_EQ(table.store("reuse"), 2u);
}

// Reserve-only adds write the block header alone; an update fills them.
TEST(MemoStore, ReserveOnly) {
    MemoTable table;
    uint32_t block = 0;
    ASSERT_EQ(KvlMemoAdd(table.rec(), 1200, 1, "x", &block, KVL_MEMO_RESERVE_ONLY), 0u);
    EXPECT_EQ(block, 1u);
    EXPECT_EQ(table.dbt().size(), 512u * 4);  // the file still covers the run
    EXPECT_EQ(table.size_of(block), 1200u);
    EXPECT_EQ(table.read(block), std::string(1200, '\0'));
    ASSERT_EQ(KvlMemoUpdate(table.rec(), &block, 1000, 3, "end"), 0u);
    EXPECT_EQ(block, 1u);
    EXPECT_EQ(table.read(block).substr(1000), std::string("end") + std::string(197, '\0'));
}

// Memos of sizes around the block size, with several block sizes, stored,
// grown, shrunk and deleted; all others stay as they were.
TEST(MemoStore, RoundTrips) {
    for (uint32_t block_size : {24u, 100u, 512u, 4096u}) {
        SCOPED_TRACE(testing::Message() << "block size " << block_size);
        MemoTable table(block_size);
        const uint32_t sizes[] = {1,
                                  block_size - 9,  // header and data fill one block
                                  block_size - 8,  // one byte into the next block
                                  block_size - 1,
                                  block_size,
                                  block_size * 7 + 3};
        std::map<uint32_t, std::string> memos;
        uint32_t seed = 1;
        for (uint32_t size : sizes) {
            const std::string text = pattern(size, seed++);
            const uint32_t block = table.store(text);
            ASSERT_EQ(memos.count(block), 0u);
            memos[block] = text;
        }
        uint32_t block = 0;
        EXPECT_EQ(KvlMemoAdd(table.rec(), 0, 0, "", &block, 0), ERR_MEMO_SIZE);  // size 0
        for (auto &[at, text] : memos) ASSERT_EQ(table.read(at), text);

        // Grow each by a block and a half at its end, then shrink it back.
        std::map<uint32_t, std::string> grown;
        for (auto &[at, text] : memos) {
            uint32_t moved = at;
            const std::string more = pattern(block_size + block_size / 2, seed++);
            ASSERT_EQ(KvlMemoUpdate(table.rec(), &moved, static_cast<uint32_t>(text.size()),
                                    static_cast<uint32_t>(more.size()), more.data()),
                      0u);
            grown[moved] = text + more;
        }
        for (auto &[at, text] : grown) ASSERT_EQ(table.read(at), text);
        std::map<uint32_t, std::string> shrunk;
        for (auto &[at, text] : grown) {
            uint32_t same = at;
            const uint32_t size = static_cast<uint32_t>(text.size() - block_size);
            ASSERT_EQ(KvlMemoUpdate(table.rec(), &same, 0, size, nullptr), 0u);
            ASSERT_EQ(same, at);
            shrunk[at] = text.substr(0, size);
        }
        for (auto &[at, text] : shrunk) ASSERT_EQ(table.read(at), text);
        // Closed and opened again, then deleted one by one.
        ASSERT_EQ(table.close(), 0u);
        ASSERT_EQ(table.reopen(), 0u);
        while (!shrunk.empty()) {
            for (auto &[at, text] : shrunk) ASSERT_EQ(table.read(at), text);
            ASSERT_EQ(KvlMemoDelete(table.rec(), shrunk.begin()->first), 0u);
            shrunk.erase(shrunk.begin());
        }
    }
}

// Random adds, updates, shrinks and deletes against a model: every live
// memo reads back as the model says, and no two live memos share a block.
TEST(MemoStore, RandomOperationsAgainstAModel) {
    MemoTable table(64);
    std::mt19937 random(20240611);
    std::map<uint32_t, std::string> model;
    auto blocks_of = [&](const std::string &text) { return (text.size() + 8 + 63) / 64; };
    for (int step = 0; step < 400; ++step) {
        SCOPED_TRACE(step);
        const int op = model.empty() ? 0 : static_cast<int>(random() % 4);
        auto pick = [&] {
            auto it = model.begin();
            std::advance(it, random() % model.size());
            return it;
        };
        if (op == 0) {
            const std::string text = pattern(1 + random() % 300, step);
            const uint32_t block = table.store(text);
            ASSERT_EQ(model.count(block), 0u);
            model[block] = text;
        } else if (op == 1) {
            auto it = pick();
            uint32_t block = it->first;
            std::string text = it->second;
            const uint32_t offset = static_cast<uint32_t>(random() % (text.size() + 100));
            const std::string bytes = pattern(1 + random() % 200, step + 1000);
            ASSERT_EQ(KvlMemoUpdate(table.rec(), &block, offset,
                                    static_cast<uint32_t>(bytes.size()), bytes.data()),
                      0u);
            if (text.size() < offset) text.resize(offset, '\0');
            text.replace(offset, std::min(bytes.size(), text.size() - offset), bytes);
            model.erase(it);
            ASSERT_EQ(model.count(block), 0u);
            model[block] = text;
        } else if (op == 2) {
            auto it = pick();
            if (it->second.size() < 2) continue;
            uint32_t block = it->first;
            const uint32_t size = static_cast<uint32_t>(1 + random() % (it->second.size() - 1));
            ASSERT_EQ(KvlMemoUpdate(table.rec(), &block, 0, size, nullptr), 0u);
            it->second.resize(size);
        } else {
            auto it = pick();
            ASSERT_EQ(KvlMemoDelete(table.rec(), it->first), 0u);
            model.erase(it);
        }
        uint64_t end = 0;
        for (auto &[block, text] : model) {
            ASSERT_GE(block, end) << "memos overlap";
            end = block + blocks_of(text);
        }
        if (step % 50 == 0) {
            for (auto &[block, text] : model) ASSERT_EQ(table.read(block), text);
        }
    }
    for (auto &[block, text] : model) ASSERT_EQ(table.read(block), text);
}

}  // namespace
