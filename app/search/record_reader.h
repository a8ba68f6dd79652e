// record_reader.h - reading many records of the data file by number, in
// record-number order and in large reads, through the file's own layer.
#ifndef LEDGROVE_APP_SEARCH_RECORD_READER_H
#define LEDGROVE_APP_SEARCH_RECORD_READER_H

#include <cstddef>
#include <cstdint>
#include <vector>

#include "app/store/check_record.h"
#include "engine/korval32.h"

namespace ledgrove::plan {

inline constexpr std::uint32_t kRunGap = 32;       // records: a gap this short is read through
inline constexpr std::uint32_t kRunRecords = 8192;  // records in one read (1 MiB)

// Reads the records of `numbers` (any order, repeats allowed) into `slots`
// (slot i for numbers[i]) and each one's engine result into `results`:
// sorted by record number, neighbours no more than kRunGap apart read in one
// read of up to kRunRecords, a lone record by the engine's record read.  A
// run whose read fails or comes back short is read again record by record,
// so that each record gets the result the engine's own read gives it.
class RecordReader {
public:
    explicit RecordReader(DataControlRecord *data) : data_(data) {}

    void read(const std::uint32_t *numbers, std::size_t count, CheckRecord *slots,
              std::uint32_t *results);

    // Records first..last in one read into the run buffer; false when that
    // read does not give them all.
    bool read_run(std::uint32_t first, std::uint32_t last);

    const char *run_data() const { return run_.data(); }
    std::size_t bytes() const { return order_.capacity() * 8 + run_.capacity(); }

private:
    DataControlRecord *data_;
    std::vector<std::uint64_t> order_;  // record number << 32 | slot
    std::vector<char> run_;
};

}  // namespace ledgrove::plan

#endif  // LEDGROVE_APP_SEARCH_RECORD_READER_H
