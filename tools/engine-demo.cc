// engine-demo - shows the engine at work on a check register: creates
// ChkREG.DBF in the working directory (replacing one that is there) with
// the register's eight character fields, adds a handful of checks, tags
// one as deleted, then opens the file again read-only and prints every
// record.  Exit status 0 on success, 1 with the failing call's result code.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "engine/korval32_control.h"

namespace {

constexpr const char *kFileName = "ChkREG.DBF";
constexpr uint32_t kRecordLength = 124;

struct Field {
    const char *name;
    uint8_t length;
};
constexpr Field kFields[] = {{"ID", 6},       {"CHKID", 6}, {"CHKDATE", 8}, {"VENDORID", 10},
                             {"NAME", 35},    {"POID", 8},  {"DESC", 35},   {"AMOUNT", 15}};
constexpr uint32_t kFieldCount = sizeof kFields / sizeof kFields[0];

struct Check {
    const char *id, *check, *date, *vendor, *name, *po, *desc, *amount;
};
constexpr Check kChecks[] = {
    {"000001", "210128", "20240105", "25866", "LAKESIDE OFFICE SUPPLY", "P24-0012",
     "TONER AND PAPER, ROOM 114", "000000000255.36"},
    {"000002", "210129", "20240105", "26492", "NORTHERN BUS SERVICE INC", "P24-0031",
     "FIELD TRIP TRANSPORT", "000000001675.00"},
    {"000003", "210130", "20240112", "11034", "CITY WATER DEPARTMENT", "",
     "WATER AND SEWER, DECEMBER", "000000004120.88"},
    {"000004", "210131", "20240112", "30118", "GREENFIELD LAWN CARE", "P24-0044",
     "SNOW REMOVAL - VOIDED", "-00000000980.00"},
    {"000005", "210132", "20240119", "20457", "MIDWEST SCIENCE MATERIALS", "P24-0050",
     "LAB SUPPLIES \"GRADE 7\"", "000000000612.40"},
    {"000006", "210133", "20240126", "18820", "TRI-COUNTY ELECTRIC CO-OP", "",
     "ELECTRIC SERVICE, JANUARY", "000000012890.15"},
};
constexpr uint32_t kDeletedRecord = 4;

// A control record for the register with room for `capacity` fields.
korval32::DataControl register_control(uint32_t capacity) {
    korval32::DataControl control(capacity);
    control->file_name = kFileName;
    return control;
}

bool failed(const char *call, uint32_t rc) {
    if (rc == ERR_NONE) return false;
    std::fprintf(stderr, "engine-demo: %s returned %u\n", call, rc);
    return true;
}

void put(char *record, uint32_t &at, const char *text, uint32_t width) {
    const size_t n = std::min<size_t>(std::strlen(text), width);
    std::memcpy(record + at, text, n);
    at += width;
}

std::vector<char> record_of(const Check &c) {
    std::vector<char> record(kRecordLength, ' ');
    uint32_t at = 1;
    const char *values[] = {c.id, c.check, c.date, c.vendor, c.name, c.po, c.desc, c.amount};
    for (uint32_t i = 0; i < kFieldCount; ++i) put(record.data(), at, values[i], kFields[i].length);
    return record;
}

bool create_register() {
    KvlDeleteFile(kFileName, nullptr);  // replace a register left from an earlier run
    FieldDescriptor descriptors[kFieldCount] = {};
    for (uint32_t i = 0; i < kFieldCount; ++i) {
        std::strcpy(descriptors[i].name, kFields[i].name);
        descriptors[i].type = 'C';
        descriptors[i].length = kFields[i].length;
    }
    return !failed("KvlDataCreateFile",
                   KvlDataCreateFile(3, kFieldCount, descriptors, kFileName, 0, nullptr));
}

bool fill_register() {
    korval32::DataControl control = register_control(kFieldCount);
    DataControlRecord *data = control.get();
    data->open_mode = 0x42;  // read and write, others may read and write
    if (failed("KvlDataOpenFile", KvlDataOpenFile(data, 0))) return false;
    for (const Check &c : kChecks) {
        std::vector<char> record = record_of(c);
        uint32_t number = 0;
        if (failed("KvlDataAddRecord", KvlDataAddRecord(data, record.data(), &number)))
            return false;
    }
    if (failed("KvlDataMarkRecord", KvlDataMarkRecord(data, kDeletedRecord, '*'))) return false;
    return !failed("KvlDataCloseFile", control.close());
}

bool print_register() {
    DbfHeader header{};
    int32_t fields = 0;
    if (failed("KvlDataInfoFile", KvlDataInfoFile(kFileName, 0x40, &header, &fields, nullptr)))
        return false;
    korval32::DataControl control =
        register_control(fields > 0 ? static_cast<uint32_t>(fields) : 1);
    DataControlRecord *data = control.get();
    data->open_mode = 0x40;  // read
    if (failed("KvlDataOpenFile", KvlDataOpenFile(data, KVL_STATE_READ_ONLY))) return false;

    std::printf("%s: %u fields, %u records of %u bytes\n\n", kFileName, data->field_count,
                data->header.record_count, data->header.record_length);
    std::vector<char> record(data->header.record_length);
    for (uint32_t n = 1; n <= data->header.record_count; ++n) {
        if (failed("KvlDataGetRecord", KvlDataGetRecord(data, n, record.data()))) return false;
        std::printf("%2u %c |", n, record[0] == '*' ? '*' : ' ');
        std::fwrite(record.data() + 1, 1, record.size() - 1, stdout);
        std::printf("|\n");
    }
    std::printf("\n(* = tagged deleted)\n");
    return !failed("KvlDataCloseFile", control.close());
}

}  // namespace

int main() {
    if (!create_register() || !fill_register() || !print_register()) return 1;
    return 0;
}
