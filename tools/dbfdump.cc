// dbfdump - prints a .DBF data file's header, field descriptors and records,
// reading it through the engine (KvlDataInfoFile to size the control record,
// KvlDataOpenFile read-only, KvlDataGetRecord for each record).
//
// Usage: dbfdump FILE.DBF
//
// Output (every line ends with LF; bytes of names and values are printed
// as stored, without any character set conversion):
//
//   version: 0x03                  header byte 0, two hex digits
//   date: 2024-01-05               1900 + byte 1, byte 2, byte 3
//   records: 3                     record count of the header
//   header length: 289
//   record length: 124
//   fields: 8
//   field: ID C 6 0 1              name (as stored), type, length,
//   field: CHKID C 6 0 7           decimal count, offset in the record
//   ...
//                                  one empty line, then one CSV line per record:
//   ,000001,100234,20240105,...    first column "*" when the record is tagged
//   *,000002,...                   deleted, empty otherwise; then each field
//                                  with trailing blanks removed, quoted as in
//                                  RFC 4180 when it holds a comma, a double
//                                  quote, CR or LF (quotes doubled inside)
//
// Exit status 0 on success.  A file the engine cannot open or read gives
// exit status 1 and one line on stderr, "dbfdump: FILE: result N"; a file
// that opens with a warning (ERR_INCOMPLETE_WRITE unfinished update,
// ERR_MEMO_OPEN memo file not opened) is dumped and the warning goes to
// stderr.  Wrong usage exits 2.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "engine/korval32_control.h"

namespace {

constexpr uint32_t kReadOnlyShareAll = 0x40;  // read access, others read and write

int fail(const char *path, uint32_t rc) {
    std::fprintf(stderr, "dbfdump: %s: result %u\n", path, rc);
    return 1;
}

uint32_t field_length(const DataControlRecord *data, uint32_t i) {
    const uint32_t end = i + 1 < data->field_count ? data->fields[i + 1].offset
                                                   : data->header.record_length;
    return end - data->fields[i].offset;
}

void print_header(const DataControlRecord *data) {
    const DbfHeader &h = data->header;
    std::printf("version: 0x%02X\n", h.version);
    std::printf("date: %04d-%02d-%02d\n", 1900 + h.year, h.month, h.day);
    std::printf("records: %u\n", h.record_count);
    std::printf("header length: %u\n", h.header_length);
    std::printf("record length: %u\n", h.record_length);
    std::printf("fields: %u\n", data->field_count);
    for (uint32_t i = 0; i < data->field_count; ++i) {
        const FieldDescriptor &f = data->fields[i];
        std::printf("field: %s %c %u %u %u\n", f.name, f.type, field_length(data, i),
                    f.decimals, f.offset);
    }
}

std::string csv_value(const char *bytes, uint32_t length) {
    while (length > 0 && bytes[length - 1] == ' ') --length;
    std::string value(bytes, length);
    if (value.find_first_of(",\"\r\n") == std::string::npos) return value;
    std::string quoted = "\"";
    for (char c : value) {
        if (c == '"') quoted += '"';
        quoted += c;
    }
    return quoted + "\"";
}

void print_record(const DataControlRecord *data, const std::vector<char> &record) {
    std::string line = record[0] == '*' ? "*" : "";
    for (uint32_t i = 0; i < data->field_count; ++i) {
        line += ',';
        line += csv_value(record.data() + data->fields[i].offset, field_length(data, i));
    }
    line += '\n';
    std::fwrite(line.data(), 1, line.size(), stdout);
}

int dump(const char *path) {
    DbfHeader probe{};
    int32_t declared = 0;
    uint32_t rc = KvlDataInfoFile(path, kReadOnlyShareAll, &probe, &declared, nullptr);
    if (rc != ERR_NONE) return fail(path, rc);

    korval32::DataControl control(declared > 0 ? static_cast<uint32_t>(declared) : 1);
    DataControlRecord *data = control.get();
    data->file_name = path;
    data->open_mode = kReadOnlyShareAll | KVL_OPEN_KEEP_NAMES;
    rc = KvlDataOpenFile(data, KVL_STATE_READ_ONLY);
    if (rc == ERR_INCOMPLETE_WRITE || rc == ERR_MEMO_OPEN)
        std::fprintf(stderr, "dbfdump: %s: opened with result %u\n", path, rc);
    else if (rc != ERR_NONE)
        return fail(path, rc);

    print_header(data);
    std::printf("\n");
    std::vector<char> record(data->header.record_length);
    int status = 0;
    for (uint32_t n = 1; n <= data->header.record_count; ++n) {
        rc = KvlDataGetRecord(data, n, record.data());
        if (rc != ERR_NONE) {
            std::fflush(stdout);
            status = fail(path, rc);
            break;
        }
        print_record(data, record);
    }
    control.close();
    return status;
}

}  // namespace

int main(int argc, char **argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: dbfdump FILE.DBF\n");
        return 2;
    }
    return dump(argv[1]);
}
