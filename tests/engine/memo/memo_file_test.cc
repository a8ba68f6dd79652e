// The memo file as a whole: creation and its block sizes, the memo file
// name and its limits, and the data file operations that open, flush,
// re-read, empty and close the memo file with the data file.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/korval32_control.h"
#include "engine/memo/memo_test_util.h"

namespace {

namespace fs = std::filesystem;
using kvl_test::DataFile;
using kvl_test::MemoTable;
using kvl_test::TempDir;
using kvl_test::u32_at;

// A zeroed control record that only names a data file, for calling the
// memo exports directly.
struct BareRecord {
    explicit BareRecord(const std::string &name) : file_name(name) {
        rec()->file_name = file_name.c_str();
        rec()->kind = KVL_KIND_DATA;
    }
    DataControlRecord *rec() { return control.get(); }
    DataControlRecord *operator->() { return rec(); }
    std::string file_name;
    korval32::DataControl control{1};
};

TEST(MemoCreate, BlockSizesAndTheHeaderBlock) {
    struct Case {
        uint32_t block_size, first_block_size;
        uint32_t rc;
        size_t file_length;  // 0: no file
        uint32_t stored_size;
    };
    const Case cases[] = {
        {0, 0, 0, 512, 512},  // 0 chooses 512
        {24, 0, 0, 24, 24},   // the smallest block holds just the header
        {23, 0, ERR_MEMO_BLOCK_SIZE, 0, 0},
        {65535, 0, 0, 65535, 65535},
        {65536, 0, ERR_MEMO_BLOCK_SIZE, 0, 0},
        {100, 1024, 0, 1024, 100},  // a first block of its own size
        {512, 16, ERR_MEMO_BLOCK_SIZE, 0, 0},  // a first block smaller than the header
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << "block size " << c.block_size << ", first block "
                                        << c.first_block_size);
        TempDir dir;
        BareRecord data(dir.path("LEDGER.DBF"));
        data->memo_header.block_size = c.block_size;
        data->memo_first_block_size = c.first_block_size;
        EXPECT_EQ(KvlMemoCreateFile(data.rec()), c.rc);
        const std::string memo = dir.path("LEDGER.DBT");
        if (c.file_length == 0) {
            EXPECT_FALSE(fs::exists(memo));
            EXPECT_EQ(data->header.version & KVL_DBF_VERSION_MEMO, 0u);
            continue;
        }
        const auto bytes = kvl_test::read_bytes(memo);
        ASSERT_EQ(bytes.size(), c.file_length);
        EXPECT_EQ(u32_at(bytes, 0), 1u);  // next free block
        EXPECT_EQ(u32_at(bytes, 4), 0u);
        EXPECT_EQ(std::string(reinterpret_cast<const char *>(&bytes[8]), 8), "LEDGER.D");
        EXPECT_EQ(u32_at(bytes, 16), 0u);
        EXPECT_EQ(u32_at(bytes, 20), c.stored_size);
        for (size_t i = 24; i < bytes.size(); ++i) ASSERT_EQ(bytes[i], 0) << "byte " << i;
        EXPECT_EQ(data->header.version & KVL_DBF_VERSION_MEMO, KVL_DBF_VERSION_MEMO);
        EXPECT_TRUE(data->state & KVL_STATE_CHANGED);
    }
}

TEST(MemoCreate, AnExistingFileIsLeftAlone) {
    TempDir dir;
    const std::string memo = dir.path("LEDGER.DBT");
    kvl_test::write_bytes(memo, {1, 2, 3});
    BareRecord data(dir.path("LEDGER.DBF"));
    EXPECT_EQ(KvlMemoCreateFile(data.rec()), KVL_WIN_FILE_EXISTS);
    EXPECT_EQ(kvl_test::read_bytes(memo), (std::vector<uint8_t>{1, 2, 3}));
}

TEST(MemoName, DerivedFromTheDataFileName) {
    struct Case {
        const char *data_name;  // within the scratch directory
        const char *extension;  // the control record's, "" = default
        const char *memo_name;
        const char *header_name;  // header bytes 8 to 15
    };
    const Case cases[] = {
        {"ChkREG.DBF", "", "ChkREG.DBT", "ChkREG.D"},
        {"ledger.dbf", "", "ledger.dbt", "ledger.d"},  // the extension's case is followed
        {"Ledger.Dbf", "", "Ledger.DBT", "Ledger.D"},
        {"register", "", "register.DBT", "register"},
        {"a.b.c", "", "a.b.dbt", "a.b.c"},
        {".hidden", "", ".hidden.DBT", ".hidden"},  // a leading point is no extension
        {"reg.d/ledger", "", "reg.d/ledger.DBT", "ledger"},  // nor one in a folder
        {"reg.d/x.DBF", "", "reg.d/x.DBT", "x.DBF"},
        {"LEDGER.DBF", "MEM", "LEDGER.MEM", "LEDGER.D"},
        {"LEDGER.DBF", "TEXT", "LEDGER.TEXT", "LEDGER.D"},  // four characters, no NUL
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.data_name);
        TempDir dir;
        fs::create_directory(dir.path("reg.d"));
        BareRecord data(dir.path(c.data_name));
        std::memcpy(data->memo_extension, c.extension, strnlen(c.extension, 4));
        ASSERT_EQ(KvlMemoCreateFile(data.rec()), 0u);
        EXPECT_TRUE(fs::exists(dir.path(c.memo_name)));
        int files = 0;
        for (const auto &entry : fs::recursive_directory_iterator(dir.root()))
            files += entry.is_regular_file();
        EXPECT_EQ(files, 1);
        EXPECT_EQ(std::string(data->memo_header.data_name,
                              strnlen(data->memo_header.data_name, 8)),
                  c.header_name);
    }
}

TEST(MemoName, LimitsOnTheNameAndExtension) {
    TempDir dir;
    const std::string name = dir.path("LEDGER.DBF");
    const uint32_t length = static_cast<uint32_t>(name.size());
    struct Case {
        const char *what;
        uint32_t max_path, max_name;
        const char *extension;
        uint32_t rc;
    };
    const Case cases[] = {
        {"name as long as the longest path", length, 0, "", ERR_MEMO_NAME},
        {"name + extension + 2 reaches the longest path", length + 5, 0, "", ERR_MEMO_NAME},
        {"one more character of room", length + 6, 0, "", 0},
        {"extension as long as the longest name", 0, 3, "", ERR_MEMO_NAME},
        {"extension one shorter", 0, 4, "", 0},
        {"a longer extension", 0, 4, "TEXT", ERR_MEMO_NAME},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove(dir.path("LEDGER.DBT"));
        fs::remove(dir.path("LEDGER.TEXT"));
        BareRecord data(name);
        data->memo_max_path = c.max_path;
        data->memo_max_name = c.max_name;
        std::memcpy(data->memo_extension, c.extension, strnlen(c.extension, 4));
        EXPECT_EQ(KvlMemoCreateFile(data.rec()), c.rc);
        if (c.rc != 0) {
            EXPECT_EQ(KvlMemoOpenFile(data.rec()), c.rc);
        }
    }
    BareRecord unnamed("");
    EXPECT_EQ(KvlMemoCreateFile(unnamed.rec()), ERR_MEMO_NAME);
}

TEST(MemoCreate, EngineVariableOneIsTheDefaultLongestPath) {
    TempDir dir;
    BareRecord data(dir.path("LEDGER.DBF"));
    uint32_t value = static_cast<uint32_t>(data.file_name.size());
    ASSERT_EQ(KvlSetVar(&value, KVL_VAR_MEMO_MAX_PATH), 0u);
    EXPECT_EQ(KvlMemoCreateFile(data.rec()), ERR_MEMO_NAME);
    ASSERT_EQ(KvlSetVar(&value, KVL_VAR_MEMO_MAX_PATH), 0u);  // back to 260
    EXPECT_EQ(KvlMemoCreateFile(data.rec()), 0u);
}

TEST(MemoCalls, ClosedAndReadOnly) {
    uint32_t block = 1, first = 0, size = 0, count = 1;
    char byte = 'x';
    // A record without an open memo file never reaches the file layer with
    // handle 0.
    BareRecord closed("LEDGER.DBF");
    closed->memo_header.block_size = 512;
    EXPECT_EQ(KvlMemoAdd(closed.rec(), 1, 1, &byte, &block, 0), ERR_FILE_NOT_OPEN);
    EXPECT_EQ(KvlMemoGet(closed.rec(), 1, 0, &count, &byte), ERR_FILE_NOT_OPEN);
    EXPECT_EQ(KvlMemoGetSize(closed.rec(), 1, &first, &size), ERR_FILE_NOT_OPEN);
    EXPECT_EQ(KvlMemoUpdate(closed.rec(), &block, 0, 1, &byte), ERR_FILE_NOT_OPEN);
    EXPECT_EQ(KvlMemoDelete(closed.rec(), 1), ERR_FILE_NOT_OPEN);
    EXPECT_EQ(KvlMemoReadHeader(closed.rec()), ERR_FILE_NOT_OPEN);
    EXPECT_EQ(KvlMemoFlushHeader(closed.rec()), ERR_BAD_FILE_HANDLE);
    EXPECT_EQ(KvlMemoCloseFile(closed.rec()), ERR_BAD_FILE_HANDLE);

    MemoTable table;
    const uint32_t stored = table.store("text");
    ASSERT_EQ(table.close(), 0u);
    ASSERT_EQ(table.reopen(KVL_STATE_READ_ONLY), 0u);
    EXPECT_EQ(KvlMemoAdd(table.rec(), 1, 1, &byte, &block, 0), ERR_READ_ONLY);
    EXPECT_EQ(KvlMemoDelete(table.rec(), stored), ERR_READ_ONLY);
    block = stored;
    EXPECT_EQ(KvlMemoUpdate(table.rec(), &block, 0, 1, &byte), ERR_READ_ONLY);
    EXPECT_EQ(table.read(stored), "text");
    EXPECT_EQ(KvlMemoOpenFile(table.rec()), ERR_ALREADY_OPEN);
    table->state &= ~KVL_STATE_READ_ONLY;
}

// A data file whose version byte asks for a memo file opens with 0 once the
// memo file is there, and with ERR_MEMO_OPEN (open all the same) when it is
// not.
TEST(MemoDataFile, OpeningWithTheDataFile) {
    MemoTable table;
    EXPECT_NE(table->memo_os_handle, 0u);
    EXPECT_EQ(table->memo_header.block_size, 512u);
    ASSERT_EQ(table.close(), 0u);
    EXPECT_EQ(table->memo_os_handle, 0u);
    // "ledger.dbf" finds "ledger.DBT" when there is no "ledger.dbt".
    const std::string upper = table.dbt_path().substr(0, table.dbt_path().size() - 3) + "DBT";
    fs::rename(table.dbt_path(), upper);
    EXPECT_EQ(table.reopen(), 0u);
    ASSERT_EQ(table.close(), 0u);

    fs::remove(upper);
    EXPECT_EQ(table.reopen(), ERR_MEMO_OPEN);
    EXPECT_NE(table->os_handle, 0u);
    EXPECT_EQ(table->memo_os_handle, 0u);
    // A memo file too short for its header does not open either.
    ASSERT_EQ(table.close(), 0u);
    kvl_test::write_bytes(table.dbt_path(), std::vector<uint8_t>(20, 0));
    EXPECT_EQ(table.reopen(), ERR_MEMO_OPEN);
}

// The first memo change writes bit 1 of data header byte 14 at once; the
// close clears it on disk, so the next open is clean.
TEST(MemoDataFile, UnfinishedUpdateBit) {
    MemoTable table;
    auto byte14 = [&] { return kvl_test::read_bytes(table.path())[14]; };
    ASSERT_EQ(byte14(), 0);
    const uint32_t block = table.store("first");
    EXPECT_EQ(byte14() & KVL_DBF_MEMO_UNFLUSHED, KVL_DBF_MEMO_UNFLUSHED);
    EXPECT_EQ(table->memo_state & KVL_MEMO_STATE_CHANGED, KVL_MEMO_STATE_CHANGED);
    ASSERT_EQ(table.close(), 0u);
    EXPECT_EQ(byte14(), 0);
    EXPECT_EQ(table.reopen(), 0u);

    // Memo changes alone (no record written) are enough to need the flush;
    // an update in place does not set the bit.
    uint32_t moved = block;
    ASSERT_EQ(KvlMemoUpdate(table.rec(), &moved, 0, 3, "FIR"), 0u);
    EXPECT_EQ(byte14(), 0);
    ASSERT_EQ(KvlMemoDelete(table.rec(), block), 0u);
    EXPECT_EQ(byte14() & KVL_DBF_MEMO_UNFLUSHED, KVL_DBF_MEMO_UNFLUSHED);
    ASSERT_EQ(table.close(), 0u);
    EXPECT_EQ(byte14(), 0);
    EXPECT_EQ(table.reopen(), 0u);

    // A crash before the flush leaves the bit: the next open reports
    // ERR_INCOMPLETE_WRITE.
    table.store("second");
    std::vector<uint8_t> crashed = kvl_test::read_bytes(table.path());
    ASSERT_EQ(table.close(), 0u);
    kvl_test::write_bytes(table.path(), crashed);
    EXPECT_EQ(table.reopen(), ERR_INCOMPLETE_WRITE);
}

TEST(MemoDataFile, FlushReReadZapAndClose) {
    MemoTable table;
    const uint32_t a = table.store(kvl_test::pattern(10));
    table.store(kvl_test::pattern(600));
    ASSERT_EQ(KvlMemoDelete(table.rec(), a), 0u);
    EXPECT_EQ(table->memo_header.next_free, 1u);
    EXPECT_EQ(table.dbt_word(0), 4u);  // a delete leaves the header to the flush

    ASSERT_EQ(KvlDataFlushHeader(table.rec()), 0u);
    EXPECT_EQ(table.dbt_word(0), 1u);
    EXPECT_EQ(table->memo_state & KVL_MEMO_STATE_CHANGED, 0u);
    EXPECT_EQ(kvl_test::read_bytes(table.path())[14], 0);

    // Another writer changes the header: a re-read brings it in; a changed
    // header refuses the re-read.
    auto bytes = table.dbt();
    bytes[0] = 9;
    kvl_test::write_bytes(table.dbt_path(), bytes);
    ASSERT_EQ(KvlDataReadHeader(table.rec()), 0u);
    EXPECT_EQ(table->memo_header.next_free, 9u);
    table->memo_state |= KVL_MEMO_STATE_CHANGED;
    EXPECT_EQ(KvlMemoReadHeader(table.rec()), ERR_HEADER_DIRTY);
    EXPECT_EQ(KvlDataReadHeader(table.rec()), ERR_HEADER_DIRTY);
    ASSERT_EQ(KvlMemoFlushHeader(table.rec()), 0u);
    EXPECT_EQ(KvlMemoReadHeader(table.rec()), 0u);

    // Zap empties the memo file down to its header block.
    ASSERT_EQ(KvlDataZapHeader(table.rec()), 0u);
    EXPECT_EQ(table.dbt().size(), 512u);
    EXPECT_EQ(table.dbt_word(0), 1u);
    EXPECT_EQ(table.store("again"), 1u);

    // Close writes the changed memo header and closes the memo file.
    table.store(kvl_test::pattern(30));
    EXPECT_EQ(table.dbt_word(0), 3u);  // the add's own write of the next-free word
    ASSERT_EQ(KvlMemoDelete(table.rec(), 1), 0u);
    ASSERT_EQ(table.close(), 0u);
    EXPECT_EQ(table.dbt_word(0), 1u);
    EXPECT_EQ(table->memo_os_handle, 0u);
    EXPECT_EQ(table->memo_state, 0u);
}

}  // namespace
