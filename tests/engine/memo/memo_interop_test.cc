// Interoperability of memo files: a dBASE IV memo file written by other
// software reads the same in the engine as in python3-dbfread, and a memo
// file the engine writes reads the same in python3-dbfread.  The Python
// side is memo_oracle.py beside this file; both sides print one line per
// record with each memo field's bytes in hex.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/memo/memo_test_util.h"
#include "engine/korval32.h"

namespace {

namespace fs = std::filesystem;
using kvl_test::DataFile;
using kvl_test::pattern;

std::string source_dir() {
    const char *dir = std::getenv("LEDGROVE_SOURCE_DIR");
    return dir ? dir : LEDGROVE_SOURCE_DIR;
}

// The shared real files: LEDGROVE_SHARED_DIR, or shared/ beside the
// repository or beside the folder of work trees.
fs::path real_dbf_dir() {
    if (const char *shared = std::getenv("LEDGROVE_SHARED_DIR"))
        return fs::path(shared) / "realdata" / "dbf";
    for (const char *up : {"..", "../.."}) {
        const fs::path dir = fs::path(source_dir()) / up / "shared" / "realdata" / "dbf";
        if (fs::is_directory(dir)) return dir;
    }
    return {};
}

std::string oracle(const std::string &path) {
    const std::string script = source_dir() + "/tests/engine/memo/memo_oracle.py";
    const std::string line = "/usr/bin/python3 '" + script + "' '" + path + "'";
    FILE *pipe = ::popen(line.c_str(), "r");
    if (!pipe) {
        ADD_FAILURE() << "cannot run " << line;
        return {};
    }
    std::string out;
    char buffer[65536];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
    EXPECT_EQ(::pclose(pipe), 0) << line << " (python3-dbfread comes from scripts/deps)";
    return out;
}

std::string hex(const std::string &bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (unsigned char c : bytes) {
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out;
}

bool is_memo_field(const FieldDescriptor &f) {
    return f.type == 'M' || f.type == 'B' || f.type == 'G';
}

// Block number held in a memo field's text (blanks: none).
uint32_t block_number(const char *text, uint32_t length) {
    uint32_t value = 0;
    for (uint32_t i = 0; i < length; ++i)
        if (text[i] >= '0' && text[i] <= '9') value = value * 10 + (text[i] - '0');
    return value;
}

// The oracle's dump, built from what the engine reads.
std::string engine_dump(const std::string &path, uint32_t *open_rc) {
    DbfHeader header{};
    int32_t declared = 0;
    *open_rc = KvlDataInfoFile(path.c_str(), 0x40, &header, &declared, nullptr);
    if (*open_rc != 0) return {};
    DataFile data(path, declared > 0 ? static_cast<uint32_t>(declared) : 1, nullptr, 0x40);
    *open_rc = data.open(KVL_STATE_READ_ONLY);
    if (*open_rc != 0) return {};
    std::string live, deleted;
    std::vector<char> record(data->header.record_length);
    for (uint32_t n = 1; n <= data->header.record_count; ++n) {
        EXPECT_EQ(KvlDataGetRecord(data.rec(), n, record.data()), 0u);
        std::string line = record[0] == '*' ? "D" : "L";
        for (uint32_t i = 0; i < data->field_count; ++i) {
            if (!is_memo_field(data->fields[i])) continue;
            const uint32_t block =
                block_number(record.data() + data->fields[i].offset, data.field_length(i));
            if (block == 0) {
                line += "|-";
                continue;
            }
            uint32_t first = 0, size = 0;
            EXPECT_EQ(KvlMemoGetSize(data.rec(), block, &first, &size), 0u) << "block " << block;
            std::string text(size, '\0');
            uint32_t count = size;
            EXPECT_EQ(KvlMemoGet(data.rec(), block, 0, &count, text.data()), 0u);
            text.resize(count);
            line += "|" + hex(text);
        }
        (record[0] == '*' ? deleted : live) += line + "\n";
    }
    return live + deleted;
}

std::vector<std::string> lines_of(const std::string &text) {
    std::vector<std::string> lines;
    for (size_t at = 0; at < text.size();) {
        const size_t end = text.find('\n', at);
        lines.push_back(text.substr(at, end - at));
        at = end == std::string::npos ? text.size() : end + 1;
    }
    return lines;
}

// The two readers end a memo differently: the engine where its length word
// says (length - 8 bytes, the 8-byte block header being counted), dbfread
// after length-word bytes, cut at the first 0x1F.  This file's memos are
// followed by 0x1F fill, but most of its length words stop a byte or two
// before the text's last characters (0x13 for "Second memo\n" gives
// "Second memo"), left, it seems, from editing.  So each engine text must
// be what dbfread reads, or the start of it at most 8 bytes shorter; the
// first memo, whose length word covers "First memo\r\n" exactly, is equal.
TEST(MemoInterop, DbaseIvMemoFileReadsLikeDbfread) {
    const fs::path dir = real_dbf_dir();
    const fs::path dbf = dir / "infused-dbf" / "dbase_8b.dbf";
    if (dir.empty() || !fs::exists(dbf)) GTEST_SKIP() << "the shared real files are not there";
    uint32_t rc = 1;
    const auto ours = lines_of(engine_dump(dbf.string(), &rc));
    ASSERT_EQ(rc, 0u) << "the data file and its memo file open";
    const auto theirs = lines_of(oracle(dbf.string()));
    ASSERT_EQ(ours.size(), 10u);
    ASSERT_EQ(ours.size(), theirs.size());
    EXPECT_EQ(ours[0], "L|" + hex("First memo\r\n"));
    EXPECT_EQ(ours[0], theirs[0]);
    EXPECT_EQ(ours[1], "L|" + hex("Second memo"));
    for (size_t i = 0; i < ours.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(theirs[i].compare(0, ours[i].size(), ours[i]), 0) << ours[i] << " / " << theirs[i];
        EXPECT_LE(theirs[i].size(), ours[i].size() + 2 * 8);
    }
    EXPECT_EQ(ours[9], "L|-");
}

// dBASE III memo files (version byte 0x83) have no block headers and no
// block size: the version byte does not ask for a memo file here, and the
// memo file, opened by hand, refuses its block size of 0.
TEST(MemoInterop, DbaseIiiMemoFileIsNotThisFormat) {
    const fs::path dir = real_dbf_dir();
    const fs::path dbf = dir / "infused-dbf" / "dbase_83.dbf";
    if (dir.empty() || !fs::exists(dbf)) GTEST_SKIP() << "the shared real files are not there";
    DbfHeader header{};
    int32_t declared = 0;
    ASSERT_EQ(KvlDataInfoFile(dbf.c_str(), 0x40, &header, &declared, nullptr), 0u);
    DataFile data(dbf.string(), static_cast<uint32_t>(declared), nullptr, 0x40);
    ASSERT_EQ(data.open(KVL_STATE_READ_ONLY), 0u);
    EXPECT_EQ(data->memo_os_handle, 0u);
    ASSERT_EQ(KvlMemoOpenFile(data.rec()), 0u);
    EXPECT_EQ(data->memo_header.block_size, 0u);
    uint32_t first = 0, size = 0;
    EXPECT_EQ(KvlMemoGetSize(data.rec(), 1, &first, &size), ERR_MEMO_BLOCK_SIZE);
    EXPECT_EQ(KvlMemoCloseFile(data.rec()), 0u);
}

// A file the engine writes, with memos stored, grown, moved, shrunk and
// deleted, reads the same in dbfread.
TEST(MemoInterop, EngineMemoFileReadsTheSameInDbfread) {
    kvl_test::MemoTable table;
    // Texts without zero bytes or 0x1F, each leaving 8 bytes of its run free
    // (see memo_oracle.py).
    std::vector<std::string> texts = {"x", pattern(490, 1), pattern(1000, 2), pattern(3000, 3),
                                      "line one\r\nline two\r\n"};
    std::vector<uint32_t> blocks;
    for (const std::string &t : texts) blocks.push_back(table.store(t));
    // Grow the first in place, move the second, shrink the fourth, delete
    // the third (its record keeps blanks).
    ASSERT_EQ(KvlMemoUpdate(table.rec(), &blocks[0], 1, 4, "yzzy"), 0u);
    texts[0] = "xyzzy";
    const std::string more = pattern(600, 4);
    ASSERT_EQ(KvlMemoUpdate(table.rec(), &blocks[1], 490, 600, more.data()), 0u);
    texts[1] += more;
    ASSERT_EQ(KvlMemoUpdate(table.rec(), &blocks[3], 0, 700, nullptr), 0u);
    texts[3].resize(700);
    ASSERT_EQ(KvlMemoDelete(table.rec(), blocks[2]), 0u);
    blocks[2] = 0;
    blocks.push_back(table.store(pattern(200, 5)));  // reuses a freed run
    texts.push_back(pattern(200, 5));

    std::string expected;
    for (size_t i = 0; i < blocks.size(); ++i) {
        char field[11];
        std::snprintf(field, sizeof field, "%10u", blocks[i]);
        std::string text = "NAME" + std::to_string(i);
        text.resize(10, ' ');
        text += blocks[i] ? std::string(field, 10) : std::string(10, ' ');
        auto record = kvl_test::record_image(21, text);
        uint32_t number = 0;
        ASSERT_EQ(KvlDataAddRecord(table.rec(), record.data(), &number), 0u);
        expected += blocks[i] ? "L|" + hex(texts[i]) + "\n" : "L|-\n";
    }
    ASSERT_EQ(table.close(), 0u);
    EXPECT_EQ(oracle(table.path()), expected);
    uint32_t rc = 1;
    EXPECT_EQ(engine_dump(table.path(), &rc), expected);
    EXPECT_EQ(rc, 0u);
}

}  // namespace
