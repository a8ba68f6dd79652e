// bench_register.h - the sample register the register benchmarks share:
// the demo generator's LEDGROVE_BENCH_CHECKS checks (1,000,000 by default)
// written as a register CSV file beside an emptied register.
#ifndef LEDGROVE_BENCH_BENCH_REGISTER_H
#define LEDGROVE_BENCH_BENCH_REGISTER_H

#include <cstdlib>
#include <string>

#include "app/maint/demo_register.h"
#include "app/maint/empty_data_file.h"
#include "app/maint/empty_register.h"
#include "app/output/csv_file.h"
#include "app/store/database_set.h"
#include "support/engine_files.h"

namespace ledgrove::bench {

inline std::size_t check_count() {
    const char *text = std::getenv("LEDGROVE_BENCH_CHECKS");
    return text ? std::strtoull(text, nullptr, 10) : 1000000;
}

// Writes the sample as dir/sample.csv, empties the register in `dir` from a
// fresh empty.dbf and opens `set` on it; returns the CSV's path.  Any
// failure ends the program: a benchmark of a half-made register means
// nothing.
inline std::string prepare_sample_register(const kvl_test::TempDir &dir, DatabaseSet &set) {
    const std::string csv = dir.path("sample.csv");
    CsvFileWriter file;
    if (file.create(csv) != 0) std::abort();
    DemoRegister demo(check_count());
    std::string line;
    while (demo.next_line(line)) file.write(line);
    if (file.finish() != 0) std::abort();
    if (create_empty_data_file(dir.path("empty.dbf")) != 0) std::abort();
    if (!empty_register(set, dir.path("empty.dbf")).ok()) std::abort();
    set.open();
    return csv;
}

}  // namespace ledgrove::bench

#endif  // LEDGROVE_BENCH_BENCH_REGISTER_H
