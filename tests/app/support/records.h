// records.h - building check records field by field for the application
// tests, runs of spaces for writing expected lines by column, and reading
// a register's records back.
#ifndef LEDGROVE_TESTS_APP_SUPPORT_RECORDS_H
#define LEDGROVE_TESTS_APP_SUPPORT_RECORDS_H

#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "app/store/check_record.h"
#include "app/store/database_set.h"

namespace app_test {

inline std::string S(std::size_t n) { return std::string(n, ' '); }

// Copies text into a field and fills the rest with spaces, independently of
// the code under test.
template <std::size_t N>
void put(char (&field)[N], std::string_view text) {
    std::memset(field, ' ', N);
    std::memcpy(field, text.data(), text.size() < N ? text.size() : N);
}

inline ledgrove::CheckRecord make_record(std::string_view chkid, std::string_view date,
                                         std::string_view vendorid, std::string_view name,
                                         std::string_view poid, std::string_view desc,
                                         std::string_view amount, std::string_view id = "000001") {
    ledgrove::CheckRecord r;
    r.tag = ' ';
    put(r.ID, id);
    put(r.CHKID, chkid);
    put(r.CHKDATE, date);
    put(r.VENDORID, vendorid);
    put(r.NAME, name);
    put(r.POID, poid);
    put(r.DESC, desc);
    put(r.AMOUNT, amount);
    return r;
}

// The records of the set's data file, in record-number order.
inline std::vector<ledgrove::CheckRecord> records_of(ledgrove::DatabaseSet &set) {
    std::vector<ledgrove::CheckRecord> records;
    for (std::uint32_t n = 1; n <= set.data()->header.record_count; ++n) {
        ledgrove::CheckRecord r;
        EXPECT_EQ(KvlDataGetRecord(set.data(), n, &r), 0u);
        records.push_back(r);
    }
    return records;
}

}  // namespace app_test

#endif  // LEDGROVE_TESTS_APP_SUPPORT_RECORDS_H
