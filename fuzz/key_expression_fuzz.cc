// key_expression_fuzz.cc - any text as a key expression over a data file
// with fields of every kind: the first byte picks the sort function and
// the duplicates flag, the rest is the expression.  Creating the index
// parses it; an index that is made is opened, rebuilt and given keys, so
// the key builder and the parser must agree on every segment's size.
#include "fuzz/fuzz_support.h"

namespace {

using namespace kvl_fuzz;

constexpr uint32_t kRecordLength = 1 + 6 + 20 + 10 + 8 + 8 + 1 + 2 + 4 + 8;

const Bytes &data_file() {
    static const Bytes bytes = [] {
        kvl_test::MemoryLayer fs;
        auto fields = descriptors({{"ID", 'C', 6},
                                   {"NAME", 'C', 20},
                                   {"AMOUNT", 'N', 10, 2},
                                   {"PRICE", 'F', 8, 3},
                                   {"WHEN", 'D', 8},
                                   {"DONE", 'L', 1},
                                   {"SMALL", '3', 2},
                                   {"COUNT", '5', 4},
                                   {"RATE", '8', 8}});
        if (KvlDataCreateFile(3, 9, fields.data(), "K.DBF", 0, fs.table()) != ERR_NONE)
            broken("the data file is made");
        DataFile data("K.DBF", 9, fs.table());
        data.open();
        for (uint32_t k = 1; k <= 12; ++k) {
            Bytes record(kRecordLength, ' ');
            char text[80];
            std::snprintf(text, sizeof text, "%06u%-20s%10.2f%8.3f2007%02u%02uT", k, "vendor name",
                          k * -3.5, k / 7.0, k % 12 + 1, k + 3);
            std::memcpy(record.data() + 1, text, std::strlen(text));
            for (uint32_t i = 0; i < 14; ++i) record[kRecordLength - 14 + i] = uint8_t(k * 31 + i);
            uint32_t number = 0;
            KvlDataAddRecord(data.get(), record.data(), &number);
        }
        KvlDataCloseFile(data.get());
        return fs.file("K.DBF");
    }();
    return bytes;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *bytes, size_t size) {
    if (size == 0 || size > 600) return 0;
    const Bytes &data_bytes = data_file();
    kvl_test::MemoryLayer fs;
    fs.file("K.DBF") = data_bytes;
    DataFile data("K.DBF", 9, fs.table());
    if (data.open() != ERR_NONE) broken("the data file opens");

    const uint32_t flags = (bytes[0] % 10) | ((bytes[0] & 0x10) ? KVL_IX_DUPLICATES : 0) |
                           ((bytes[0] & 0x20) ? KVL_IX_OEM : 0);
    std::string expression(reinterpret_cast<const char *>(bytes) + 1, size - 1);
    expression.resize(std::strlen(expression.c_str()));  // the engine reads up to a NUL
    const uint32_t node = (bytes[0] & 0x40) ? 2560 : 512;
    const uint32_t rc = KvlIx4CreateFile(node, flags, 850, 1, nullptr, expression.data(), data.get(),
                                         "K.IX4", nullptr, 0, fs.table());
    if (rc != ERR_NONE) return 0;

    IndexFile index("K.IX4", node, data.get(), fs.table());
    if (index.open() != ERR_NONE) broken("a created index opens");
    const uint32_t key_length = index->header.key_length;
    require(key_length >= 1 && key_length <= KVL_MAX_KEY_LENGTH, "key length in range");
    char key[KVL_MAX_KEY_LENGTH + 8];
    uint32_t record_number = 0;
    KvlFuncIx4Reindex(index.get(), "K.TMP", 80, key, &record_number);
    Bytes record(kRecordLength);
    for (uint32_t n = 1; n <= 12; ++n) {
        if (KvlDataGetRecord(data.get(), n, record.data()) != ERR_NONE) broken("records read");
        uint8_t built[KVL_MAX_KEY_LENGTH + 8];
        std::memset(built, 0xEE, sizeof built);
        const uint32_t made = KvlFuncIx4BuildKey(index.get(), record.data(), built);
        if (made == ERR_NONE)
            for (uint32_t i = key_length; i < sizeof built; ++i)
                require(built[i] == 0xEE || i == key_length, "the key stays in its length");
        KvlIx4StoreKey(index.get(), built, 100 + n);
    }
    uint32_t number = 0;
    uint32_t step = KvlIx4FirstKey(index.get(), key, &number);
    for (int i = 0; step == ERR_NONE && i < 100; ++i) step = KvlIx4NextKey(index.get(), key, &number);
    return 0;
}

extern "C" void kvl_fuzz_write_seeds(const char *dir) {
    const char *seeds[] = {
        "\x02" "ID",
        "\x01" "SUBSTR(NAME,1,5)+ID",
        "\x09" "AMOUNT+PRICE",
        "\x19" "UPPER(NAME)+DESCEND(WHEN)+",
        "\x05" "COUNT",
        "\x03" "SMALL+RATE",
        "\x48" "DESCEND(SUBSTR(NAME,3,10)+DONE)",
        "\x22" "UPPER(SUBSTR(NAME,1,8)+ID)",
    };
    int n = 0;
    for (const char *seed : seeds) write_seed(dir, "seed-" + std::to_string(n++), std::string(seed));
}
