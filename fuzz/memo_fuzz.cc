// memo_fuzz.cc - any bytes as the memo file of a sound data file: open it,
// read the memos that block numbers taken from the input name, and add,
// grow, shrink and delete memos over whatever free chain it has.
#include "fuzz/fuzz_support.h"

namespace {

using namespace kvl_fuzz;

constexpr uint32_t kMostBytes = 1 << 16;

const Bytes &data_file() {
    static const Bytes bytes = [] {
        kvl_test::MemoryLayer fs;
        auto fields = descriptors({{"NAME", 'C', 10}, {"NOTES", 'M', 10}});
        KvlDataCreateFile(0x8B | (512u << 16), 2, fields.data(), "M.DBF", 0, fs.table());
        return fs.file("M.DBF");
    }();
    return bytes;
}

uint32_t word_at(const uint8_t *bytes, size_t size, size_t at) {
    if (at + 4 > size) return 0;
    return bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16 | uint32_t(bytes[at + 3]) << 24;
}

void read_memo(DataControlRecord *data, uint32_t block, Bytes &buffer) {
    uint32_t first = 0, size = 0;
    if (KvlMemoGetSize(data, block, &first, &size) != ERR_NONE) return;
    uint32_t count = size < kMostBytes ? size : kMostBytes;
    if (count == 0) return;
    buffer.resize(count);
    KvlMemoGet(data, block, 0, &count, buffer.data());
    require(count <= buffer.size(), "a read stays in its buffer");
    count = 16;
    buffer.resize(16);
    KvlMemoGet(data, block, size > 8 ? size - 8 : 0, &count, buffer.data());
    require(count <= 16, "a read at an offset stays in its buffer");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *bytes, size_t size) {
    const Bytes &data_bytes = data_file();
    kvl_test::MemoryLayer fs;
    fs.file("M.DBF") = data_bytes;
    fs.file("M.DBT").assign(bytes, bytes + size);
    DataFile data("M.DBF", 2, fs.table());
    const uint32_t rc = data.open();
    if (rc != ERR_NONE) return 0;  // ERR_MEMO_OPEN: the memo file did not open
    Bytes buffer;
    // Block numbers: the first ones, and those the file's own words name.
    for (uint32_t block = 1; block <= 6; ++block) read_memo(data.get(), block, buffer);
    for (size_t at = 0; at < 64; at += 4) read_memo(data.get(), word_at(bytes, size, at), buffer);
    read_memo(data.get(), 0xFFFFFFFFu, buffer);

    const std::string text(700, 'x');
    uint32_t block = 0;
    if (KvlMemoAdd(data.get(), 700, 700, text.data(), &block, 0) == ERR_NONE) {
        read_memo(data.get(), block, buffer);
        KvlMemoUpdate(data.get(), &block, 600, 500, text.data());  // moves it
        KvlMemoUpdate(data.get(), &block, 0, 10, nullptr);         // shrinks it
        KvlMemoDelete(data.get(), block);
    }
    for (uint32_t b = 1; b <= 3; ++b) {
        uint32_t moved = b;
        KvlMemoUpdate(data.get(), &moved, 4, 4, "grow");
        KvlMemoDelete(data.get(), b);
    }
    KvlMemoAdd(data.get(), 100, 5, "again", &block, 0);
    KvlMemoFlushHeader(data.get());
    KvlMemoReadHeader(data.get());
    return 0;
}

extern "C" void kvl_fuzz_write_seeds(const char *dir) {
    const Bytes &data_bytes = data_file();
    kvl_test::MemoryLayer fs;
    fs.file("M.DBF") = data_bytes;
    {
        DataFile data("M.DBF", 2, fs.table());
        data.open();
        KvlMemoCreateFile(data.get());
    }
    write_seed(dir, "seed-empty", fs.file("M.DBT"));
    {
        DataFile data("M.DBF", 2, fs.table());
        data.open();
        uint32_t blocks[6] = {};
        for (uint32_t k = 0; k < 6; ++k) {
            const std::string text((k + 1) * 300, char('a' + k));
            KvlMemoAdd(data.get(), uint32_t(text.size()), uint32_t(text.size()), text.data(),
                       &blocks[k], 0);
        }
        KvlMemoDelete(data.get(), blocks[1]);
        KvlMemoDelete(data.get(), blocks[4]);
    }
    write_seed(dir, "seed-memos-and-free-runs", fs.file("M.DBT"));
}
