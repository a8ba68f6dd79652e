// test_register.h - a register in a scratch directory, built the way a user
// builds one: empty.dbf made and copied in by emptying, checks added by the
// real import from CSV text, and the eight indexes rebuilt.
#ifndef LEDGROVE_TESTS_APP_SUPPORT_TEST_REGISTER_H
#define LEDGROVE_TESTS_APP_SUPPORT_TEST_REGISTER_H

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "app/maint/empty_data_file.h"
#include "app/maint/empty_register.h"
#include "app/maint/import.h"
#include "app/maint/rebuild.h"
#include "app/output/csv_line.h"
#include "app/store/database_set.h"
#include "support/engine_files.h"

namespace app_test {

inline void write_file(const std::string &path, const std::string &text) {
    std::ofstream out(path, std::ios::binary);
    out << text;
}

inline std::string read_file(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

class TestRegister {
public:
    // An empty register with its eight (empty) indexes, the set open.
    TestRegister() : set_(dir_.root()) {
        EXPECT_EQ(ledgrove::create_empty_data_file(path("empty.dbf")), 0u);
        ledgrove::EmptyReport emptied = ledgrove::empty_register(set_, path("empty.dbf"));
        EXPECT_TRUE(emptied.ok()) << emptied.error;
        set_.open();
        EXPECT_TRUE(set_.failures().empty());
    }

    std::string path(const std::string &name) const { return dir_.path(name); }
    ledgrove::DatabaseSet &set() { return set_; }

    // Imports the text as a CSV file and rebuilds the indexes.
    ledgrove::ImportReport import_text(const std::string &csv) {
        write_file(path("in.csv"), csv);
        ledgrove::ImportReport report = ledgrove::import_csv(set_, path("in.csv"));
        ledgrove::RebuildReport rebuilt = ledgrove::rebuild_all_indexes(set_);
        EXPECT_TRUE(rebuilt.ok());
        return report;
    }

    ledgrove::ImportReport import_records(const std::vector<ledgrove::CheckRecord> &records) {
        std::string csv;
        for (const ledgrove::CheckRecord &r : records) csv += ledgrove::csv_line_from_record(r);
        return import_text(csv);
    }

    std::uint32_t record_count() { return set_.data()->header.record_count; }

private:
    kvl_test::TempDir dir_;
    ledgrove::DatabaseSet set_;
};

}  // namespace app_test

#endif  // LEDGROVE_TESTS_APP_SUPPORT_TEST_REGISTER_H
