// Memo files: block use and the free chain as the file shows them, reuse of
// freed runs (one that fits exactly included), reads at offsets, the memo
// file's name derived from the data file's, and a random run of adds,
// updates, shrinks and deletes against a model of what every memo reads.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <random>
#include <string>

#include "engine/engine_support.h"

namespace {

namespace fs = std::filesystem;
using kvl_test::MemoTable;
using kvl_test::pattern;
using kvl_test::Result;

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

// A freed run is taken by the first memo that fits it, exactly fitting
// included; a run is taken whole and runs side by side are not merged.
TEST(MemoStore, FreedRunsAreReusedWhenTheMemoFits) {
    const struct {
        const char *what;
        uint32_t freed_size;  // the memo whose run is freed
        uint32_t new_size;    // the memo stored after
        bool reused;
    } cases[] = {
        {"one block, exactly full", 10, 512 - 8, true},
        {"one block, a byte too many", 10, 512 - 7, false},
        {"two blocks, exactly full", 600, 1024 - 8, true},
        {"two blocks, a small memo takes them whole", 600, 5, true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        MemoTable table;
        const uint32_t freed = table.store(pattern(c.freed_size, 1));
        const uint32_t after = table.store(pattern(10, 2));
        ASSERT_EQ(KvlMemoDelete(table.rec(), freed), 0u);
        const uint32_t block = table.store(pattern(c.new_size, 3));
        EXPECT_EQ(block == freed, c.reused) << block;
        if (!c.reused) {
            EXPECT_GT(block, after);
        }
        EXPECT_EQ(table.read(block), pattern(c.new_size, 3));
        EXPECT_EQ(table.read(after), pattern(10, 2));
    }
    MemoTable table;
    const uint32_t a = table.store(pattern(100, 1)), b = table.store(pattern(100, 2));
    table.store(pattern(100, 3));
    ASSERT_EQ(KvlMemoDelete(table.rec(), a), 0u);
    ASSERT_EQ(KvlMemoDelete(table.rec(), b), 0u);
    EXPECT_EQ(table.store(pattern(600, 4)), 4u);  // blocks 1 and 2 stay two runs
    EXPECT_EQ(table.store(pattern(5, 5)), b);     // the last freed first
    EXPECT_EQ(table.store(pattern(5, 6)), a);
}

TEST(MemoRead, OffsetsCountsAndWhatIsNoMemo) {
    MemoTable table;
    const std::string text = pattern(1500, 7);
    const uint32_t block = table.store(text);
    const struct {
        uint32_t offset, count, rc, delivered;
    } cases[] = {{0, 10, 0, 10}, {400, 200, 0, 200}, {1490, 100, 0, 10}, {1499, 1, 0, 1},
                 {1500, 1, ERR_MEMO_OFFSET, 0}, {4000, 1, ERR_MEMO_OFFSET, 0}};
    for (const auto &c : cases) {
        std::string out(c.count, '?');
        uint32_t count = c.count;
        EXPECT_EQ(Result(KvlMemoGet(table.rec(), block, c.offset, &count, out.data())), Result(c.rc)) << c.offset;
        EXPECT_EQ(count, c.delivered) << c.offset;
        if (c.delivered) {
            EXPECT_EQ(out.substr(0, count), text.substr(c.offset, c.delivered)) << c.offset;
        }
    }
    uint32_t first = 0, size = 0;
    EXPECT_EQ(KvlMemoGetSize(table.rec(), block, &first, &size), 0u);
    EXPECT_EQ(first, KVL_MEMO_SIGNATURE);
    EXPECT_EQ(size, 1500u);
    const uint32_t freed = table.store(pattern(600));
    table.store("x");
    ASSERT_EQ(KvlMemoDelete(table.rec(), freed), 0u);
    EXPECT_EQ(Result(KvlMemoGetSize(table.rec(), freed, &first, &size)), ERR_MEMO_NOT_MEMO);
    const struct {
        uint32_t reserved, length, rc;
    } sizes[] = {{0, 0, ERR_MEMO_SIZE}, {4, 5, ERR_MEMO_SIZE}, {5, 5, 0}, {100, 5, 0}};
    for (const auto &c : sizes) {
        uint32_t at = 0;
        EXPECT_EQ(Result(KvlMemoAdd(table.rec(), c.reserved, c.length, "12345", &at, 0)), Result(c.rc)) << c.reserved;
        if (c.reserved == 100) {
            EXPECT_EQ(table.read(at), "12345" + std::string(95, '\0'));
        }
    }
}

TEST(MemoName, DerivedFromTheDataFileName) {
    const struct {
        const char *data_name, *extension, *memo_name, *header_name;
    } cases[] = {
        {"ChkREG.DBF", "", "ChkREG.DBT", "ChkREG.D"},
        {"ledger.dbf", "", "ledger.dbt", "ledger.d"},  // the extension's case is followed
        {"register", "", "register.DBT", "register"},
        {"a.b.c", "", "a.b.dbt", "a.b.c"},
        {".hidden", "", ".hidden.DBT", ".hidden"},  // a leading point is no extension
        {"reg.d/ledger", "", "reg.d/ledger.DBT", "ledger"},  // nor one in a folder
        {"LEDGER.DBF", "TEXT", "LEDGER.TEXT", "LEDGER.D"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.data_name);
        kvl_test::TempDir dir;
        fs::create_directory(dir.path("reg.d"));
        const std::string path = dir.path(c.data_name);
        korval32::DataControl data(1);
        data->file_name = path.c_str();
        data->kind = KVL_KIND_DATA;
        std::memcpy(data->memo_extension, c.extension, strnlen(c.extension, 4));
        ASSERT_EQ(KvlMemoCreateFile(data.get()), 0u);
        EXPECT_TRUE(fs::exists(dir.path(c.memo_name)));
        EXPECT_EQ(std::string(data->memo_header.data_name, strnlen(data->memo_header.data_name, 8)), c.header_name);
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
