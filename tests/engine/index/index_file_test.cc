// Index files as files: create, open, information, flush, the
// changes-pending bit, zap and copy.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>

#include "engine/index/index_support.h"
#include "support/result_name.h"
#include "support/temp_dir.h"

namespace {

using kvl_test::create_keys_index;
using kvl_test::IndexRecord;
using kvl_test::le32;
using kvl_test::numbered_key;
using kvl_test::read_file;
using kvl_test::Result;

TEST(IndexCreate, HeaderGeometry) {
    struct Case {
        uint32_t node_size, key_length, keys_per_node;
    } cases[] = {{512, 14, 23}, {2560, 1, 255}, {512, 196, 2}, {1024, 4, 84}, {2048, 150, 12}};
    kvl_test::TempDir dir;
    for (const Case &c : cases) {
        const std::string path = dir.path("g" + std::to_string(c.node_size) + "_" +
                                          std::to_string(c.key_length) + ".ix4");
        ASSERT_EQ(create_keys_index(path, c.node_size, c.key_length,
                                    KVL_SORT_BYTES | KVL_IX_DUPLICATES | 0x40000000u),
                  0u);
        const std::vector<uint8_t> file = read_file(path);
        ASSERT_EQ(file.size(), 1024u);
        EXPECT_EQ(std::memcmp(file.data(), "41qx", 4), 0);
        EXPECT_EQ(le32(&file[4]), c.node_size);
        EXPECT_EQ(le32(&file[8]), 0u);   // root
        EXPECT_EQ(le32(&file[12]), 0u);  // keys
        EXPECT_EQ(le32(&file[20]), 1u);  // next node
        EXPECT_EQ(le32(&file[24]), c.key_length);
        EXPECT_EQ(le32(&file[28]), c.keys_per_node) << c.node_size << "/" << c.key_length;
        // Key length bits dropped, other flag bits kept as given.
        EXPECT_EQ(le32(&file[40]), KVL_SORT_BYTES | KVL_IX_DUPLICATES | 0x40000000u);
        EXPECT_EQ(file[152], 0);
        EXPECT_EQ(std::string(reinterpret_cast<const char *>(&file[384])), "KEY");
        EXPECT_EQ(le32(&file[764]), 0u);  // no collation for sort function 1
    }
}

TEST(IndexCreate, RefusalsInOrder) {
    kvl_test::TempDir dir;
    const std::string path = dir.path("r.ix4");
    char text[] = "KEY";
    struct Case {
        const char *what;
        uint32_t node_size, flags;
        char *expression;
        DataControlRecord *link;
        const char *name;
        uint32_t expected;
    } cases[] = {
        {"no expression", 512, 4u << 8 | 1, nullptr, KVL_NO_DATA_FILE, path.c_str(),
         ERR_NULL_PARAMETER},
        {"no data link", 512, 4u << 8 | 1, text, nullptr, path.c_str(), ERR_NULL_PARAMETER},
        {"no name", 512, 4u << 8 | 1, text, KVL_NO_DATA_FILE, nullptr, ERR_NULL_PARAMETER},
        {"key length 0", 512, 1, text, KVL_NO_DATA_FILE, path.c_str(), ERR_KEY_TOO_LONG},
        {"key length 197", 512, 197u << 8 | 1, text, KVL_NO_DATA_FILE, path.c_str(),
         ERR_KEY_TOO_LONG},
        {"key length before node size", 100, 1, text, KVL_NO_DATA_FILE, path.c_str(),
         ERR_KEY_TOO_LONG},
        {"node size 1000", 1000, 4u << 8 | 1, text, KVL_NO_DATA_FILE, path.c_str(), ERR_NODE_SIZE},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(Result(KvlIx4CreateFile(c.node_size, c.flags, 850, 1, nullptr, c.expression,
                                          c.link, c.name, nullptr, 0, nullptr)),
                  Result(c.expected))
            << c.what;
        EXPECT_FALSE(std::filesystem::exists(path)) << c.what;
    }
    ASSERT_EQ(create_keys_index(path, 512, 4, KVL_SORT_BYTES), 0u);
    EXPECT_EQ(Result(create_keys_index(path, 512, 4, KVL_SORT_BYTES)), KVL_WIN_FILE_EXISTS);
}

TEST(IndexCreate, ExpressionCompactedToAtMost380) {
    kvl_test::TempDir dir;
    struct Case {
        std::string text;
        uint32_t expected;
        std::string stored;
    } cases[] = {
        {std::string(380, 'A'), 0, std::string(380, 'A')},
        {std::string(381, 'A'), ERR_EXPR_TEXT, ""},
        {" \t\n ", ERR_EXPR_TEXT, ""},
        {"", ERR_EXPR_TEXT, ""},
        {std::string(200, ' ') + std::string(380, 'B') + "\t", 0, std::string(380, 'B')},
        {" A + B\t", 0, "A+B"},
    };
    int n = 0;
    for (const Case &c : cases) {
        const std::string path = dir.path("e" + std::to_string(n++) + ".ix4");
        std::vector<char> text(c.text.begin(), c.text.end());
        text.push_back('\0');
        EXPECT_EQ(Result(KvlIx4CreateFile(512, 4u << 8 | 1, 850, 1, nullptr, text.data(),
                                          KVL_NO_DATA_FILE, path.c_str(), nullptr, 0, nullptr)),
                  Result(c.expected))
            << c.text.size();
        if (c.expected != 0) continue;
        EXPECT_EQ(std::string(text.data()), c.stored);  // compacted in the caller's buffer
        const std::vector<uint8_t> file = read_file(path);
        EXPECT_EQ(std::string(reinterpret_cast<const char *>(&file[384]), c.stored.size()), c.stored);
        if (c.stored.size() < 380) {
            EXPECT_EQ(file[384 + c.stored.size()], 0);
        }
    }
}

TEST(IndexCreate, CollationTableTakenForSortFunction2) {
    kvl_test::TempDir dir;
    uint8_t table[256];
    for (int i = 0; i < 256; ++i) table[i] = uint8_t(255 - i);
    ASSERT_EQ(create_keys_index(dir.path("c.ix4"), 512, 4, KVL_SORT_COLLATED, table), 0u);
    const std::vector<uint8_t> file = read_file(dir.path("c.ix4"));
    EXPECT_EQ(le32(&file[764]), 256u);
    EXPECT_EQ(std::memcmp(&file[768], table, 256), 0);
}

TEST(IndexOpen, RefusalsLeaveTheFileClosed) {
    kvl_test::TempDir dir;
    const std::string path = dir.path("o.ix4");
    ASSERT_EQ(create_keys_index(path, 512, 8, KVL_SORT_BYTES), 0u);
    {
        IndexRecord ix(512);
        ix->header.node_size = 0;
        EXPECT_EQ(Result(ix.open(path)), ERR_NODE_SIZE);
        EXPECT_EQ(ix->os_handle, 0u);
        EXPECT_EQ(ix->header.node_size, 0u);
    }
    {
        IndexRecord ix(1024);
        EXPECT_EQ(Result(ix.open(path)), ERR_NODE_SIZE);
        EXPECT_EQ(ix->os_handle, 0u);
        EXPECT_EQ(ix->header.node_size, 1024u);  // still what the record was sized for
    }
    {
        IndexRecord ix(512, nullptr);
        EXPECT_EQ(Result(ix.open(path)), ERR_NULL_PARAMETER);
    }
    {
        IndexRecord ix(512);
        ASSERT_EQ(ix.open(path), 0u);
        EXPECT_EQ(Result(KvlIx4OpenFile(ix.get(), 0)), ERR_ALREADY_OPEN);
    }
    std::vector<uint8_t> file = read_file(path);
    file[0] = 'X';
    kvl_test::write_file(path, file);
    IndexRecord ix(512);
    EXPECT_EQ(Result(ix.open(path)), ERR_NOT_INDEX_FILE);
    EXPECT_EQ(ix->os_handle, 0u);
    EXPECT_EQ(Result(ix.open(dir.path("missing.ix4"))), KVL_WIN_FILE_NOT_FOUND);
}

TEST(IndexOpen, InfoReadsTheFirst44Bytes) {
    kvl_test::TempDir dir;
    const std::string path = dir.path("i.ix4");
    ASSERT_EQ(create_keys_index(path, 1536, 20, KVL_SORT_BYTES | KVL_IX_DUPLICATES), 0u);
    uint8_t buffer[48];
    std::memset(buffer, 0xEE, sizeof buffer);
    ASSERT_EQ(KvlIx4InfoFile(path.c_str(), 0, buffer, nullptr), 0u);
    EXPECT_EQ(le32(buffer + 4), 1536u);
    EXPECT_EQ(le32(buffer + 24), 20u);
    EXPECT_EQ(le32(buffer + 40), KVL_SORT_BYTES | KVL_IX_DUPLICATES);
    EXPECT_EQ(buffer[44], 0xEE);
    EXPECT_EQ(Result(KvlIx4InfoFile(path.c_str(), 0, nullptr, nullptr)), ERR_NULL_PARAMETER);
    EXPECT_EQ(Result(KvlIx4InfoFile(nullptr, 0, buffer, nullptr)), ERR_NULL_PARAMETER);
    EXPECT_EQ(Result(KvlIx4InfoFile(dir.path("none").c_str(), 0, buffer, nullptr)),
              KVL_WIN_FILE_NOT_FOUND);
}

TEST(IndexFlush, ChangesPendingUntilFlushed) {
    kvl_test::TempDir dir;
    const std::string path = dir.path("p.ix4");
    ASSERT_EQ(create_keys_index(path, 512, 8, KVL_SORT_BYTES), 0u);
    IndexRecord writer(512);
    ASSERT_EQ(writer.open(path), 0u);
    EXPECT_EQ(KvlIx4FlushHeader(writer.get()), 0u);  // nothing changed: nothing written
    EXPECT_EQ(read_file(path)[148], 0);

    ASSERT_EQ(KvlIx4StoreKey(writer.get(), "AAAAAAAA", 1), 0u);
    EXPECT_NE(writer->work_buffer, nullptr);
    std::vector<uint8_t> file = read_file(path);
    EXPECT_EQ(file[152] & 1, 1);         // on disk at once
    EXPECT_EQ(le32(&file[12]), 1u);      // with the tree as it was then
    EXPECT_EQ(le32(&file[148]), 0u);     // not a flush
    EXPECT_EQ(Result(KvlIx4ReadHeader(writer.get())), ERR_HEADER_DIRTY);

    ASSERT_EQ(KvlIx4StoreKey(writer.get(), "BBBBBBBB", 2), 0u);
    EXPECT_EQ(le32(&read_file(path)[12]), 1u);  // only the first change writes

    {  // another opener sees the pending bit but can use the index
        IndexRecord reader(512);
        EXPECT_EQ(Result(reader.open(path)), ERR_INCOMPLETE_WRITE);
        EXPECT_NE(reader->os_handle, 0u);
        char key[8];
        uint32_t record = 0;
        EXPECT_EQ(KvlIx4FirstKey(reader.get(), key, &record), 0u);
        EXPECT_EQ(record, 1u);
    }

    ASSERT_EQ(KvlIx4FlushHeader(writer.get()), 0u);
    EXPECT_EQ(writer->work_buffer, nullptr);
    file = read_file(path);
    EXPECT_EQ(file[152] & 1, 0);
    EXPECT_EQ(le32(&file[148]), 1u);
    EXPECT_EQ(le32(&file[12]), 2u);
    EXPECT_EQ(writer->state & KVL_STATE_CHANGED, 0u);
    EXPECT_EQ(KvlIx4ReadHeader(writer.get()), 0u);

    ASSERT_EQ(KvlIx4CloseFile(writer.get()), 0u);
    EXPECT_EQ(writer->os_handle, 0u);
    EXPECT_EQ(Result(KvlIx4FlushHeader(writer.get())), ERR_BAD_FILE_HANDLE);
    IndexRecord again(512);
    EXPECT_EQ(again.open(path), 0u);
    EXPECT_EQ(again->header.key_count, 2u);
}

TEST(IndexFlush, ReadOnlyRefusesChanges) {
    kvl_test::TempDir dir;
    const std::string path = dir.path("ro.ix4");
    ASSERT_EQ(create_keys_index(path, 512, 8, KVL_SORT_BYTES), 0u);
    IndexRecord ix(512);
    ASSERT_EQ(ix.open(path, KVL_STATE_READ_ONLY), 0u);
    EXPECT_EQ(Result(KvlIx4StoreKey(ix.get(), "AAAAAAAA", 1)), ERR_READ_ONLY);
    EXPECT_EQ(Result(KvlIx4DeleteKey(ix.get(), "AAAAAAAA", 1)), ERR_READ_ONLY);
    EXPECT_EQ(Result(KvlIx4ZapHeader(ix.get())), ERR_READ_ONLY);
    ix->state |= KVL_STATE_CHANGED;
    EXPECT_EQ(Result(KvlIx4FlushHeader(ix.get())), ERR_READ_ONLY);
    ix->state &= ~KVL_STATE_CHANGED;
}

TEST(IndexZap, EmptiesToTheHeaderAndStartsAtNodeOne) {
    kvl_test::TempDir dir;
    const std::string path = dir.path("z.ix4");
    ASSERT_EQ(create_keys_index(path, 512, 14, KVL_SORT_BYTES), 0u);
    IndexRecord ix(512);
    ASSERT_EQ(ix.open(path), 0u);
    for (uint32_t n = 1; n <= 300; ++n)
        ASSERT_EQ(KvlIx4StoreKey(ix.get(), numbered_key(n, 14).data(), n), 0u);
    ASSERT_EQ(KvlIx4FlushHeader(ix.get()), 0u);
    ASSERT_GT(std::filesystem::file_size(path), 1024u * 10);

    ASSERT_EQ(KvlIx4ZapHeader(ix.get()), 0u);
    EXPECT_EQ(std::filesystem::file_size(path), 1024u);
    EXPECT_EQ(ix->header.key_count, 0u);
    EXPECT_EQ(ix->header.root, 0u);
    EXPECT_EQ(ix->header.next_node, 1u);
    EXPECT_EQ(std::string(ix->header.expression), "KEY");
    char key[14];
    uint32_t record = 0;
    EXPECT_EQ(Result(KvlIx4FirstKey(ix.get(), key, &record)), ERR_EMPTY_INDEX);
    ASSERT_EQ(KvlIx4StoreKey(ix.get(), numbered_key(7, 14).data(), 7), 0u);
    EXPECT_EQ(ix->header.root, 1u);
    EXPECT_EQ(ix->header.next_node, 2u);
    EXPECT_EQ(KvlIx4FirstKey(ix.get(), key, &record), 0u);
    EXPECT_EQ(record, 7u);
}

TEST(IndexCopy, IndexWithoutDataFileCarriesItsKeyLength) {
    kvl_test::TempDir dir;
    uint8_t table[256];
    for (int i = 0; i < 256; ++i) table[i] = uint8_t(i ^ 0x20);
    const std::string path = dir.path("src.ix4");
    ASSERT_EQ(create_keys_index(path, 2048, 33, KVL_SORT_COLLATED | KVL_IX_DUPLICATES, table), 0u);
    IndexRecord ix(2048);
    ASSERT_EQ(ix.open(path), 0u);
    ASSERT_EQ(KvlIx4StoreKey(ix.get(), std::string(33, 'q').data(), 5), 0u);
    ASSERT_EQ(KvlIx4CopyHeader(ix.get(), dir.path("copy.ix4").c_str()), 0u);
    EXPECT_EQ(Result(KvlIx4CopyHeader(ix.get(), dir.path("copy.ix4").c_str())),
              KVL_WIN_FILE_EXISTS);
    EXPECT_EQ(Result(KvlIx4CopyHeader(ix.get(), nullptr)), ERR_NULL_PARAMETER);

    const std::vector<uint8_t> copy = read_file(dir.path("copy.ix4"));
    ASSERT_EQ(copy.size(), 1024u);
    EXPECT_EQ(le32(&copy[4]), 2048u);
    EXPECT_EQ(le32(&copy[12]), 0u);
    EXPECT_EQ(le32(&copy[24]), 33u);
    EXPECT_EQ(le32(&copy[40]), KVL_SORT_COLLATED | KVL_IX_DUPLICATES);
    EXPECT_EQ(std::memcmp(&copy[768], table, 256), 0);
}

}  // namespace

namespace {

// A closed record has OS handle 0, which is no file of the index: every
// call refuses it instead of reading or writing descriptor 0.
TEST(IndexClosed, CallsOnAClosedRecordTouchNoFile) {
    kvl_test::TempDir dir;
    const std::string path = dir.path("c.ix4");
    ASSERT_EQ(create_keys_index(path, 512, 8, KVL_SORT_BYTES), 0u);
    IndexRecord ix(512);
    ASSERT_EQ(ix.open(path), 0u);
    ASSERT_EQ(KvlIx4StoreKey(ix.get(), "AAAAAAAA", 1), 0u);
    ASSERT_EQ(KvlIx4CloseFile(ix.get()), 0u);
    ASSERT_EQ(ix->os_handle, 0u);
    char key[8];
    uint32_t record = 0;
    EXPECT_EQ(Result(KvlIx4StoreKey(ix.get(), "BBBBBBBB", 2)), ERR_FILE_NOT_OPEN);
    EXPECT_EQ(Result(KvlIx4DeleteKey(ix.get(), "AAAAAAAA", 1)), ERR_FILE_NOT_OPEN);
    EXPECT_EQ(Result(KvlIx4FirstKey(ix.get(), key, &record)), ERR_FILE_NOT_OPEN);
    EXPECT_EQ(Result(KvlIx4ZapHeader(ix.get())), ERR_FILE_NOT_OPEN);
    // The failed store marked the header changed.
    EXPECT_EQ(Result(KvlIx4ReadHeader(ix.get())), ERR_HEADER_DIRTY);
    EXPECT_EQ(Result(KvlIx4FlushHeader(ix.get())), ERR_BAD_FILE_HANDLE);
    ix->state &= ~KVL_STATE_CHANGED;
    EXPECT_EQ(Result(KvlIx4ReadHeader(ix.get())), ERR_FILE_NOT_OPEN);
    EXPECT_EQ(le32(&read_file(path)[12]), 1u);
}

}  // namespace
