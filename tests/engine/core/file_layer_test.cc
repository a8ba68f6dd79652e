// The built-in file layer through the exported calls, and how the calls
// route to a caller's replacement FileLayerTable.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "engine/korval32.h"
#include "support/result_name.h"
#include "support/temp_dir.h"

namespace {

using kvl_test::Result;

std::string read_whole(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void write_whole(const std::string &path, const std::string &bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

// A scratch file of n bytes 0, 1, 2, ... opened read and write.
class OpenFile {
public:
    explicit OpenFile(uint32_t size, const char *name = "f.bin") : path_(dir_.path(name)) {
        std::string bytes(size, '\0');
        for (uint32_t i = 0; i < size; ++i) bytes[i] = static_cast<char>(i);
        write_whole(path_, bytes);
        EXPECT_EQ(KvlOpenFile(path_.c_str(), 2, &handle_, nullptr), 0u);
    }
    ~OpenFile() {
        if (handle_) KvlCloseFile(&handle_, nullptr);
    }
    uint32_t handle() const { return handle_; }
    const std::string &path() const { return path_; }
    const kvl_test::TempDir &dir() const { return dir_; }

private:
    kvl_test::TempDir dir_;
    std::string path_;
    uint32_t handle_ = 0;
};

uint32_t position_of(uint32_t handle) {
    uint32_t position = 0;
    EXPECT_EQ(KvlSeekFile(handle, KVL_SEEK_CUR, &position, nullptr), 0u);
    return position;
}

TEST(FileLayer, ZeroLengthWriteTruncatesAtThePosition) {
    OpenFile file(500);
    uint32_t length = 0, position = 100;
    const char none = 0;
    ASSERT_EQ(KvlWriteAtFile(file.handle(), &length, &none, &position, nullptr), 0u);
    uint32_t size = 0;
    ASSERT_EQ(KvlLengthFile(file.handle(), &size, nullptr), 0u);
    EXPECT_EQ(size, 100u);
    // The unpositioned form cuts at the current position.
    position = 40;
    ASSERT_EQ(KvlSeekFile(file.handle(), KVL_SEEK_SET, &position, nullptr), 0u);
    ASSERT_EQ(KvlWriteFile(file.handle(), &length, &none, nullptr), 0u);
    EXPECT_EQ(read_whole(file.path()).size(), 40u);
}

TEST(FileLayer, ShortReadReportsTheCountWith38) {
    OpenFile file(10);
    char buffer[32];
    uint32_t length = 32, position = 0;
    EXPECT_EQ(Result(KvlReadAtFile(file.handle(), &length, buffer, &position, nullptr)),
              KVL_WIN_HANDLE_EOF);
    EXPECT_EQ(length, 10u);
    EXPECT_EQ(buffer[9], 9);
    EXPECT_EQ(position_of(file.handle()), 10u);  // left after the bytes read
    length = 4;
    EXPECT_EQ(Result(KvlReadFile(file.handle(), &length, buffer, nullptr)), KVL_WIN_HANDLE_EOF);
    EXPECT_EQ(length, 0u);
}

TEST(FileLayer, CreateRefusesAnExistingFileAndLeavesIt) {
    kvl_test::TempDir dir;
    const std::string path = dir.path("exists.bin");
    write_whole(path, "keep me");
    EXPECT_EQ(Result(KvlCreateFile(path.c_str(), nullptr)), KVL_WIN_FILE_EXISTS);
    EXPECT_EQ(read_whole(path), "keep me");
    const std::string fresh = dir.path("fresh.bin");
    EXPECT_EQ(KvlCreateFile(fresh.c_str(), nullptr), 0u);
    EXPECT_EQ(read_whole(fresh), "");
}

TEST(FileLayer, LengthKeepsThePosition) {
    OpenFile file(500);
    uint32_t position = 123;
    ASSERT_EQ(KvlSeekFile(file.handle(), KVL_SEEK_SET, &position, nullptr), 0u);
    uint32_t size = 7;
    EXPECT_EQ(KvlLengthFile(file.handle(), &size, nullptr), 0u);
    EXPECT_EQ(size, 500u);
    EXPECT_EQ(position_of(file.handle()), 123u);
    EXPECT_EQ(Result(KvlLengthFile(file.handle(), nullptr, nullptr)), ERR_NULL_PARAMETER);
}

TEST(FileLayer, SeekMethodsReportThePositionFromTheStart) {
    OpenFile file(500);
    struct Case {
        uint32_t method;
        uint32_t distance;
        uint32_t result;
    } cases[] = {{KVL_SEEK_SET, 200, 200}, {KVL_SEEK_CUR, 50, 250},
                 {KVL_SEEK_CUR, static_cast<uint32_t>(-100), 150}, {KVL_SEEK_END, 0, 500},
                 {KVL_SEEK_END, static_cast<uint32_t>(-10), 490}};
    for (const Case &c : cases) {
        uint32_t position = c.distance;
        EXPECT_EQ(KvlSeekFile(file.handle(), c.method, &position, nullptr), 0u);
        EXPECT_EQ(position, c.result) << c.method << " " << c.distance;
    }
}

TEST(FileLayer, AccessValuesOfTheOpenMode) {
    OpenFile file(16);
    struct Case {
        uint32_t mode;
        uint32_t result;
        bool writable;
    } cases[] = {
        {0, 0, false},        {1, 0, true},         {2, 0, true},      {4, 0, true},
        {3, 12, false},       {5, 12, false},       {6, 12, false},    {7, 12, false},
        {0x200042, 0, true},  {0x600012, 0, true},  {0x200012, 0, true},
        {0x01000003, 12, false},  // bits 24-31 dropped, access 3 stays refused
    };
    for (const Case &c : cases) {
        uint32_t handle = 0;
        EXPECT_EQ(KvlOpenFile(file.path().c_str(), c.mode, &handle, nullptr), c.result) << c.mode;
        if (c.result != 0) {
            EXPECT_EQ(handle, 0u) << c.mode;
            continue;
        }
        uint32_t length = 1, position = 0;
        EXPECT_EQ(KvlWriteAtFile(handle, &length, "x", &position, nullptr), c.writable ? 0u : 5u)
            << c.mode;
        EXPECT_EQ(KvlCloseFile(&handle, nullptr), 0u);
    }
}

TEST(FileLayer, CloseOfHandleBelowThreeIsRefused) {
    for (uint32_t low : {0u, 1u, 2u}) {
        uint32_t handle = low;
        EXPECT_EQ(Result(KvlCloseFile(&handle, nullptr)), ERR_BAD_FILE_HANDLE);
        EXPECT_EQ(handle, low);
    }
    EXPECT_NE(fcntl(1, F_GETFD), -1);  // stdout still open
    EXPECT_EQ(Result(KvlCloseFile(nullptr, nullptr)), ERR_NULL_PARAMETER);
}

TEST(FileLayer, OsFailuresComeBackAsWin32Numbers) {
    kvl_test::TempDir dir;
    const std::string missing = dir.path("missing"), file = dir.path("file");
    write_whole(file, "x");
    uint32_t handle = 0;
    EXPECT_EQ(Result(KvlOpenFile(missing.c_str(), 2, &handle, nullptr)), KVL_WIN_FILE_NOT_FOUND);
    EXPECT_EQ(Result(KvlOpenFile((file + "/below").c_str(), 2, &handle, nullptr)),
              KVL_WIN_PATH_NOT_FOUND);
    EXPECT_EQ(Result(KvlOpenFile(dir.root().c_str(), 2, &handle, nullptr)), KVL_WIN_ACCESS_DENIED);
    EXPECT_EQ(Result(KvlDeleteFile(missing.c_str(), nullptr)), KVL_WIN_FILE_NOT_FOUND);
    EXPECT_EQ(Result(KvlCreateDir(dir.root().c_str(), nullptr)), KVL_WIN_FILE_EXISTS);
    EXPECT_EQ(Result(KvlOpenFile(std::string(300, 'n').c_str(), 0, &handle, nullptr)),
              KVL_WIN_FILENAME_TOO_LONG);
    EXPECT_EQ(handle, 0u);
}

TEST(FileLayer, MoveDoesNotReplace) {
    kvl_test::TempDir dir;
    const std::string a = dir.path("a"), b = dir.path("b"), c = dir.path("c");
    write_whole(a, "A");
    write_whole(b, "B");
    EXPECT_EQ(Result(KvlMoveFile(a.c_str(), b.c_str(), nullptr)), KVL_WIN_FILE_EXISTS);
    EXPECT_EQ(read_whole(b), "B");
    EXPECT_EQ(KvlMoveFile(a.c_str(), c.c_str(), nullptr), 0u);
    EXPECT_EQ(read_whole(c), "A");
    EXPECT_EQ(KvlDeleteFile(c.c_str(), nullptr), 0u);
    EXPECT_EQ(Result(KvlMoveFile(nullptr, c.c_str(), nullptr)), ERR_NULL_PARAMETER);
}

TEST(FileLayer, NullPointersOnTheBuiltInPath) {
    OpenFile file(16);
    uint32_t length = 4, position = 0, word = 0;
    char buffer[4];
    EXPECT_EQ(Result(KvlReadAtFile(file.handle(), nullptr, buffer, &position, nullptr)),
              ERR_NULL_PARAMETER);
    EXPECT_EQ(Result(KvlReadAtFile(file.handle(), &length, nullptr, &position, nullptr)),
              ERR_NULL_PARAMETER);
    EXPECT_EQ(Result(KvlReadAtFile(file.handle(), &length, buffer, nullptr, nullptr)),
              ERR_NULL_PARAMETER);
    EXPECT_EQ(Result(KvlWriteAtFile(file.handle(), &length, nullptr, &position, nullptr)),
              ERR_NULL_PARAMETER);
    EXPECT_EQ(Result(KvlOpenFile(nullptr, 0, &word, nullptr)), ERR_NULL_PARAMETER);
    EXPECT_EQ(Result(KvlOpenFile(file.path().c_str(), 0, nullptr, nullptr)), ERR_NULL_PARAMETER);
    EXPECT_EQ(Result(KvlCreateFile(nullptr, nullptr)), ERR_NULL_PARAMETER);
    EXPECT_EQ(Result(KvlIsRemote(0, 0, nullptr, &word, nullptr)), ERR_NULL_PARAMETER);
    EXPECT_EQ(Result(KvlLockFile(file.handle(), 0, nullptr, &word, 0, nullptr)),
              ERR_NULL_PARAMETER);
}

TEST(FileLayer, RemoteTest) {
    uint32_t remote = 7, kind = 0;
    EXPECT_EQ(Result(KvlIsRemote(0, 27, &remote, &kind, nullptr)), KVL_WIN_INVALID_DRIVE);
    // Drive 0 is the current directory's file system: a fixed or network
    // drive, with the remote word written only for the latter.
    EXPECT_EQ(KvlIsRemote(0, 0, &remote, &kind, nullptr), 0u);
    EXPECT_TRUE(kind == 3 || kind == 4) << kind;
    EXPECT_EQ(remote, kind == 4 ? 1u : 7u);
    // No drive letters here: drives 1 to 26 have no root directory.
    EXPECT_EQ(Result(KvlIsRemote(0, 3, &remote, &kind, nullptr)), KVL_WIN_PATH_NOT_FOUND);
    EXPECT_EQ(kind, 1u);

    OpenFile file(1);
    remote = 7;
    EXPECT_EQ(KvlIsRemote(file.handle(), 0, &remote, &kind, nullptr), 0u);
    EXPECT_EQ(kind & 0x7FFF, 1u);  // a disk file
    EXPECT_EQ(remote, (kind & 0x8000) ? 1u : 0u);
}

TEST(FileLayer, FlushAndAtomicLockFlag) {
    OpenFile file(16);
    EXPECT_EQ(KvlUpdateDirEntry(file.handle(), nullptr), 0u);
    uint32_t offset = 0, length = 4;
    EXPECT_EQ(Result(KvlLockFile(file.handle(), KVL_LOCK_ATOMIC, &offset, &length, 0, nullptr)),
              KVL_WIN_ATOMIC_LOCKS);
    EXPECT_EQ(KvlLockFile(file.handle(), KVL_LOCK_ATOMIC | KVL_LOCK_SHARED, &offset, &length, 0,
                          nullptr),
              174u);
}

// ---- replacement tables --------------------------------------------------------
//
// The fake slots record what they receive; seek, read and open also do the
// work on the real descriptor so that composed calls can be followed.

struct Log {
    std::vector<std::string> calls;
    std::vector<uint32_t> methods;
    std::vector<std::vector<uint32_t>> positions;
    uint32_t lock_flags = 0;
    uint32_t lock_words[4] = {};
    uint32_t folded_mode = 0;
} g_log;

uint32_t fake_seek(uint32_t handle, uint32_t method, uint32_t *position) {
    g_log.calls.push_back("seek");
    g_log.methods.push_back(method);
    const bool wide = method & KVL_SEEK_64;
    g_log.positions.push_back(wide ? std::vector<uint32_t>{position[0], position[1]}
                                   : std::vector<uint32_t>{position[0]});
    off_t distance = wide ? static_cast<off_t>(position[0] | (uint64_t(position[1]) << 32))
                          : static_cast<off_t>(position[0]);
    off_t at = lseek(static_cast<int>(handle), distance, static_cast<int>(method & 0x7F));
    position[0] = static_cast<uint32_t>(at);
    if (wide) position[1] = static_cast<uint32_t>(uint64_t(at) >> 32);
    return 0;
}

uint32_t fake_read(uint32_t handle, uint32_t *length, void *buffer) {
    g_log.calls.push_back("read");
    ssize_t n = read(static_cast<int>(handle), buffer, *length);
    *length = n < 0 ? 0 : static_cast<uint32_t>(n);
    return 0;
}

uint32_t fake_write(uint32_t, uint32_t *, const void *) {
    g_log.calls.push_back("write");
    return 0;
}

uint32_t fake_lock(uint32_t, uint32_t flags, uint32_t *offset, uint32_t *length, uint32_t) {
    g_log.calls.push_back("lock");
    g_log.lock_flags = flags;
    const bool wide = flags & KVL_LOCK_64;
    g_log.lock_words[0] = offset[0];
    g_log.lock_words[1] = wide ? offset[1] : 0;
    g_log.lock_words[2] = length[0];
    g_log.lock_words[3] = wide ? length[1] : 0;
    return 0;
}

uint32_t fake_open(const char *path, uint32_t folded_mode, uint32_t *handle) {
    g_log.calls.push_back("open");
    g_log.folded_mode = folded_mode;
    return KvlOpenFile(path, folded_mode, handle, nullptr);
}

FileLayerTable table_with(uint32_t flags) {
    g_log = Log();
    FileLayerTable table = {};
    table.count = KVL_FILE_LAYER_ENTRIES;
    table.flags = flags;
    return table;
}

TEST(ReplacementLayer, SixtyFourBitTableGetsBitSevenAndWordPairs) {
    OpenFile file(64);
    for (uint32_t flags : {0u, KVL_LAYER_64BIT}) {
        FileLayerTable table = table_with(flags);
        table.seek = fake_seek;
        table.lock = fake_lock;
        const uint32_t bit7 = flags ? 0x80 : 0;

        uint32_t position[2] = {10, 0};
        EXPECT_EQ(KvlSeekFile(file.handle(), KVL_SEEK_CUR, position, &table), 0u);
        ASSERT_EQ(g_log.methods.size(), 1u);
        EXPECT_EQ(g_log.methods[0], KVL_SEEK_CUR | bit7);

        uint32_t offset[2] = {0xFFFFFFF0u, 1}, length[2] = {16, 2};
        EXPECT_EQ(KvlLockFile(file.handle(), KVL_LOCK_SHARED, offset, length, 0, &table), 0u);
        EXPECT_EQ(g_log.lock_flags, KVL_LOCK_SHARED | bit7);
        EXPECT_EQ(g_log.lock_words[0], 0xFFFFFFF0u);
        EXPECT_EQ(g_log.lock_words[2], 16u);
        if (flags) {
            EXPECT_EQ(g_log.lock_words[1], 1u);
            EXPECT_EQ(g_log.lock_words[3], 2u);
        }
    }
}

TEST(ReplacementLayer, PositionedReadUsesTheTableOnlyWithSeekAndRead) {
    OpenFile file(64);
    struct Case {
        bool seek, read;
        std::vector<std::string> calls;
    } cases[] = {
        {true, true, {"seek", "read"}},
        {true, false, {}},
        {false, true, {}},
    };
    for (const Case &c : cases) {
        FileLayerTable table = table_with(KVL_LAYER_64BIT);
        if (c.seek) table.seek = fake_seek;
        if (c.read) table.read = fake_read;
        uint8_t buffer[4] = {};
        uint32_t length = 4, position[2] = {20, 0};
        EXPECT_EQ(KvlReadAtFile(file.handle(), &length, buffer, position, &table), 0u);
        EXPECT_EQ(g_log.calls, c.calls) << c.seek << c.read;
        EXPECT_EQ(buffer[0], 20) << c.seek << c.read;  // either way the bytes at 20
        if (c.seek && c.read) {
            EXPECT_EQ(g_log.methods[0], KVL_SEEK_SET | KVL_SEEK_64);
            EXPECT_EQ(g_log.positions[0], (std::vector<uint32_t>{20, 0}));
        }
    }
}

TEST(ReplacementLayer, PositionedWriteNeedsSeekAndWrite) {
    OpenFile file(64);
    FileLayerTable table = table_with(0);
    table.write = fake_write;  // no seek slot: both steps built in
    uint32_t length = 2, position = 5;
    EXPECT_EQ(KvlWriteAtFile(file.handle(), &length, "zz", &position, &table), 0u);
    EXPECT_TRUE(g_log.calls.empty());
    EXPECT_EQ(read_whole(file.path()).substr(5, 2), "zz");
    table.seek = fake_seek;
    EXPECT_EQ(KvlWriteAtFile(file.handle(), &length, "yy", &position, &table), 0u);
    EXPECT_EQ(g_log.calls, (std::vector<std::string>{"seek", "write"}));
}

// A 64-bit table without the slots still has its positions read as pairs:
// the high word is not dropped on the built-in path.
TEST(ReplacementLayer, BuiltInPathHonoursTheHighWordOfAWideTable) {
    OpenFile file(64);
    FileLayerTable table = table_with(KVL_LAYER_64BIT);
    uint8_t buffer[4] = {};
    uint32_t length = 4, position[2] = {20, 1};  // 4 GiB + 20: past the end
    EXPECT_EQ(Result(KvlReadAtFile(file.handle(), &length, buffer, position, &table)),
              KVL_WIN_HANDLE_EOF);
    EXPECT_EQ(length, 0u);
}

TEST(ReplacementLayer, LengthSeeksThroughTheTableAndRestores) {
    OpenFile file(300);
    FileLayerTable table = table_with(KVL_LAYER_64BIT);
    table.seek = fake_seek;
    uint32_t here[2] = {77, 0};
    ASSERT_EQ(KvlSeekFile(file.handle(), KVL_SEEK_SET, here, &table), 0u);
    g_log = Log();
    uint32_t size[2] = {9, 9};
    EXPECT_EQ(KvlLengthFile(file.handle(), size, &table), 0u);
    EXPECT_EQ(size[0], 300u);
    EXPECT_EQ(size[1], 0u);
    EXPECT_EQ(g_log.methods, (std::vector<uint32_t>{0x81, 0x82, 0x80}));
    EXPECT_EQ(g_log.positions[2], (std::vector<uint32_t>{77, 0}));
    EXPECT_EQ(position_of(file.handle()), 77u);
}

TEST(ReplacementLayer, OpenSlotGetsTheFoldedModeAndMissingSlotsFallBack) {
    OpenFile file(8);
    struct Case {
        uint32_t mode, folded;
    } cases[] = {{0x200042, 0x2042}, {0x600012, 0x6012}, {0xFF010002, 0x0102}, {0x0000C002, 0xC002}};
    for (const Case &c : cases) {
        FileLayerTable table = table_with(0);
        table.open = fake_open;
        uint32_t handle = 0;
        EXPECT_EQ(KvlOpenFile(file.path().c_str(), c.mode, &handle, &table), 0u);
        EXPECT_EQ(g_log.folded_mode, c.folded) << std::hex << c.mode;
        // No close slot: the built-in close really closes the descriptor.
        const int fd = static_cast<int>(handle);
        EXPECT_EQ(KvlCloseFile(&handle, &table), 0u);
        EXPECT_EQ(handle, 0u);
        EXPECT_EQ(fcntl(fd, F_GETFD), -1);
        EXPECT_EQ(g_log.calls, (std::vector<std::string>{"open"}));
    }
}

}  // namespace
