// index_fuzz.cc - any bytes as an index file over a sound data file: open
// it, walk it both ways, search it, and store and delete keys in it.  Every
// call must come back with a result code: no crash, no endless walk, no
// read outside a node.
#include "fuzz/fuzz_support.h"

namespace {

using namespace kvl_fuzz;

constexpr uint32_t kRecords = 30;
constexpr uint32_t kMostSteps = 400;

// The data file every input is an index of, made once.
const Bytes &data_file() {
    static const Bytes bytes = [] {
        kvl_test::MemoryLayer fs;
        auto fields = descriptors({{"ID", 'C', 6}, {"NAME", 'C', 12}, {"AMOUNT", 'N', 8, 2}});
        KvlDataCreateFile(3, 3, fields.data(), "D.DBF", 0, fs.table());
        DataFile data("D.DBF", 3, fs.table());
        data.open();
        for (uint32_t k = 1; k <= kRecords; ++k) {
            char text[40];
            std::snprintf(text, sizeof text, "%06u%-12s%8.2f", k * 37 % 1000, k % 3 ? "name" : "other",
                          k * 1.25);
            Bytes record = record_image(27, text);
            if (k % 7 == 0) record[0] = '*';
            uint32_t number = 0;
            KvlDataAddRecord(data.get(), record.data(), &number);
        }
        KvlDataCloseFile(data.get());
        return fs.file("D.DBF");
    }();
    return bytes;
}

uint32_t preset_node_size(const uint8_t *bytes, size_t size) {
    if (size < 8) return 512;
    const uint32_t n = bytes[4] | bytes[5] << 8 | bytes[6] << 16 | uint32_t(bytes[7]) << 24;
    return n == 512 || n == 1024 || n == 1536 || n == 2048 || n == 2560 ? n : 512;
}

void walk(IndexControlRecord *ix, Bytes &record) {
    uint8_t key[KVL_MAX_KEY_LENGTH + 4] = {};
    uint32_t number = 0;
    uint32_t rc = KvlIx4GetFirst(ix, key, &number, record.data());
    for (uint32_t i = 0; rc == ERR_NONE && i < kMostSteps; ++i)
        rc = KvlIx4GetNext(ix, key, &number, record.data());
    rc = KvlIx4LastKey(ix, key, &number);
    for (uint32_t i = 0; rc == ERR_NONE && i < kMostSteps; ++i) rc = KvlIx4PrevKey(ix, key, &number);
}

void search(IndexControlRecord *ix, Bytes &record, const uint8_t *bytes, size_t size) {
    uint8_t key[KVL_MAX_KEY_LENGTH + 4] = {};
    uint32_t number = 0;
    for (size_t at = 0; at + 8 <= size && at < 64; at += 16) {
        std::memcpy(key, bytes + at, 8);
        KvlIx4GetEqualOrGreater(ix, key, &number, record.data());
        KvlIx4GetEqualOrLesser(ix, key, &number, record.data());
        number = 3;
        KvlIx4EqualKey(ix, key, &number);
    }
    std::memset(key, 0, sizeof key);
    KvlIx4KeyForRecord(ix, key, 5, record.data());
}

void change(IndexControlRecord *ix) {
    uint8_t key[KVL_MAX_KEY_LENGTH + 4];
    std::memset(key, 'k', sizeof key);
    KvlIx4StoreKey(ix, key, 4);
    KvlIx4StoreKey(ix, key, 9);
    KvlIx4DeleteKey(ix, key, 4);
    std::memset(key, '0', sizeof key);
    KvlIx4DeleteKey(ix, key, 1);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *bytes, size_t size) {
    const Bytes &data_bytes = data_file();  // before the layer: it uses one of its own
    kvl_test::MemoryLayer fs;
    fs.file("D.DBF") = data_bytes;
    fs.file("I.IX4").assign(bytes, bytes + size);
    DataFile data("D.DBF", 3, fs.table());
    if (data.open(KVL_STATE_SKIP_DELETED) != ERR_NONE) broken("the data file opens");
    IndexFile index("I.IX4", preset_node_size(bytes, size), data.get(), fs.table());
    const uint32_t rc = index.open(KVL_STATE_RESEEK);
    if (rc != ERR_NONE && rc != ERR_INCOMPLETE_WRITE) {
        require(index->os_handle == 0, "a refused index is closed");
        return 0;
    }
    Bytes record(data->header.record_length);
    walk(index.get(), record);
    search(index.get(), record, bytes, size);
    change(index.get());
    walk(index.get(), record);
    KvlIx4FlushHeader(index.get());
    return 0;
}

extern "C" void kvl_fuzz_write_seeds(const char *dir) {
    const Bytes &data_bytes = data_file();
    struct Seed {
        const char *name;
        const char *expression;
        uint32_t node;
        uint32_t flags;
        bool rebuild;
    } seeds[] = {
        {"seed-id-rebuilt", "ID", 512, KVL_SORT_BYTES, true},
        {"seed-name-id-stored", "NAME+ID", 512, KVL_SORT_COLLATED, false},
        {"seed-amount-dups", "AMOUNT", 512, KVL_SORT_BY_TYPE | KVL_IX_DUPLICATES, false},
        {"seed-descend-2560", "DESCEND(NAME)+ID", 2560, KVL_SORT_BYTES, true},
    };
    for (const Seed &seed : seeds) {
        kvl_test::MemoryLayer fs;
        fs.file("D.DBF") = data_bytes;
        DataFile data("D.DBF", 3, fs.table());
        data.open();
        std::string expression = seed.expression;
        KvlIx4CreateFile(seed.node, seed.flags, 850, 1, nullptr, expression.data(), data.get(),
                         "I.IX4", nullptr, 0, fs.table());
        {
            IndexFile index("I.IX4", seed.node, data.get(), fs.table());
            index.open();
            char key[KVL_MAX_KEY_LENGTH + 4];
            uint32_t number = 0;
            if (seed.rebuild) {
                KvlFuncIx4Reindex(index.get(), "W.TMP", 60, key, &number);
            } else {
                // Key by key, then some deleted: splits, merges and free nodes.
                Bytes record(data->header.record_length);
                for (uint32_t n = 1; n <= kRecords; ++n) {
                    KvlDataGetRecord(data.get(), n, record.data());
                    KvlIx4KeyForRecord(index.get(), key, 0, record.data());
                    KvlIx4StoreKey(index.get(), key, n);
                }
                for (uint32_t n = 2; n <= kRecords; n += 3) {
                    KvlDataGetRecord(data.get(), n, record.data());
                    KvlIx4KeyForRecord(index.get(), key, 0, record.data());
                    KvlIx4DeleteKey(index.get(), key, n);
                }
            }
        }
        write_seed(dir, seed.name, fs.file("I.IX4"));
    }
}
