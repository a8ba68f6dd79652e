// data_file_fuzz.cc - any bytes as a data file: look at its header, open it
// with a small and a fitting field capacity, and read, append, overwrite,
// mark and take back records.  Open must refuse what it cannot trust with
// a result code; what it opens must have a layout every record operation
// can rely on.
#include "fuzz/fuzz_support.h"

namespace {

using namespace kvl_fuzz;

constexpr uint32_t kMostReads = 40;

void check_layout(DataControlRecord *data, uint32_t capacity) {
    require(data->field_count >= 1 && data->field_count <= capacity, "field count in capacity");
    uint32_t sum = 1;
    for (uint32_t i = 0; i < data->field_count; ++i) {
        require(data->fields[i].offset == sum, "field offsets run on from 1");
        const uint32_t next =
            i + 1 < data->field_count ? data->fields[i + 1].offset : data->header.record_length;
        require(next > data->fields[i].offset || next == sum, "fields in order");
        sum = next;
    }
    require(sum == data->header.record_length, "fields fill the record");
}

void read_some(DataControlRecord *data, Bytes &record) {
    const uint32_t count = data->header.record_count;
    const uint32_t numbers[] = {0, 1, 2, 3, count / 2, count - 1, count, count + 1, 0xFFFFFFFFu};
    for (uint32_t n : numbers) KvlDataGetRecord(data, n, record.data());
    for (uint32_t n = 1; n <= count && n <= kMostReads; ++n)
        if (KvlDataGetRecord(data, n, record.data()) != ERR_NONE) break;
}

void change_some(DataControlRecord *data, Bytes &record) {
    uint32_t number = 0;
    if (KvlDataAddRecord(data, record.data(), &number) == ERR_NONE)
        require(number == data->header.record_count, "append gives the new count");
    KvlDataUpdateRecord(data, 1, record.data());
    KvlDataMarkRecord(data, 1, '*');
    KvlDataDebumpRecord(data, data->header.record_count);
    KvlDataReadHeader(data);
    KvlDataFlushHeader(data);
}

void open_and_use(const FileLayerTable *layer, uint32_t capacity) {
    DataFile data("F.DBF", capacity, layer);
    const uint32_t rc = data.open();
    if (!DataFile::usable(rc)) {
        require(data->os_handle == 0, "a refused file is closed");
        return;
    }
    check_layout(data.get(), capacity);
    Bytes record(data->header.record_length, ' ');
    read_some(data.get(), record);
    change_some(data.get(), record);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *bytes, size_t size) {
    kvl_test::MemoryLayer fs;
    fs.file("F.DBF").assign(bytes, bytes + size);
    uint8_t header[32];
    int32_t fields = 0;
    KvlDataInfoFile("F.DBF", 0, header, &fields, fs.table());
    open_and_use(fs.table(), 8);
    const Bytes original(bytes, bytes + size);
    fs.file("F.DBF") = original;
    if (fields > 8 && fields <= 2048) open_and_use(fs.table(), static_cast<uint32_t>(fields));
    return 0;
}

extern "C" void kvl_fuzz_write_seeds(const char *dir) {
    kvl_test::MemoryLayer fs;
    auto fields = descriptors({{"NAME", 'C', 10}, {"QTY", 'N', 5}, {"WHEN", 'D', 8}, {"OK", 'L', 1}});
    KvlDataCreateFile(3, 4, fields.data(), "S.DBF", 0, fs.table());
    write_seed(dir, "seed-empty", fs.file("S.DBF"));
    {
        DataFile data("S.DBF", 4, fs.table());
        data.open();
        for (int k = 0; k < 5; ++k) {
            Bytes record = record_image(25, "record   " + std::to_string(k) + "    1220070101T");
            if (k == 2) record[0] = '*';
            uint32_t number = 0;
            KvlDataAddRecord(data.get(), record.data(), &number);
        }
    }
    write_seed(dir, "seed-five-records", fs.file("S.DBF"));
    auto wide = descriptors({{"TEXT", 'C', 0x2C, 0x01}, {"NOTES", 'M', 10}});
    KvlDataCreateFile(0x8B | (512u << 16), 2, wide.data(), "W.DBF", 0, fs.table());
    write_seed(dir, "seed-long-field-memo", fs.file("W.DBF"));
}
