// import_line_fuzz.cc - any text as a register CSV file, split into lines
// and read line by line into records the way the import does.  A line is a
// record, or blank, or refused with a reason; a record's fields are always
// printable widths of the line's bytes and its amount the stored form.
#include <cstring>
#include <string_view>

#include "app/maint/import_line.h"
#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *bytes, size_t size) {
    using namespace ledgrove;
    const std::string_view text(reinterpret_cast<const char *>(bytes), size);
    std::size_t pos = 0;
    std::string_view line;
    std::size_t lines = 0;
    while (next_import_line(text, &pos, &line)) {
        kvl_fuzz::require(++lines <= size + 1, "one line at least per byte");
        CheckRecord record = blank_record();
        std::memcpy(record.ID, "zzzzzz", 6);
        const ImportLineStatus status = parse_import_line(line, record);
        kvl_fuzz::require(std::memcmp(record.ID, "zzzzzz", 6) == 0, "the id is left alone");
        if (status != ImportLineStatus::Ok) {
            kvl_fuzz::require(status == ImportLineStatus::Blank ||
                                  !import_line_status_text(status).empty(),
                              "a refusal says why");
            continue;
        }
        kvl_fuzz::require(record.tag == kLiveTag, "a live record");
        const std::string_view amount(record.AMOUNT, sizeof record.AMOUNT);
        kvl_fuzz::require(amount.find_first_not_of("-0123456789.") == std::string_view::npos,
                          "the stored amount is digits");
        kvl_fuzz::require(amount[12] == '.', "two decimals");
    }
    return 0;
}

extern "C" void kvl_fuzz_write_seeds(const char *dir) {
    const std::string good =
        "100001,09/30/2007,0000000017,ACME SUPPLY~ INC.                 ,P0001234,"
        "OFFICE PAPER                       ,-1234.50\r\n";
    kvl_fuzz::write_seed(dir, "seed-good", good);
    kvl_fuzz::write_seed(dir, "seed-mixed",
                         good + "short line\n\n" + good.substr(0, 110) + "12.3]\n" +
                             good.substr(0, 110) + "1e300\r\n7 ");
}
