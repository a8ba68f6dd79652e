// records.h - check records built field by field for the application
// tests, independently of the code under test; a register's records read
// back in record-number order; and four sample checks with their result
// lines and register CSV lines, written out by hand from the column
// layouts.  Between them the four hold commas in names and descriptions, an
// empty purchase order, a negative amount, a description longer than the 32
// characters a CSV line keeps, and vendor ids that differ only after
// character 8.
#ifndef LEDGROVE_TESTS_APP_SUPPORT_RECORDS_H
#define LEDGROVE_TESTS_APP_SUPPORT_RECORDS_H

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "app/store/check_record.h"
#include "app/store/database_set.h"

namespace app_test {

inline std::string S(std::size_t n) { return std::string(n, ' '); }

// Copies text into a field and fills the rest with spaces.
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

inline std::vector<ledgrove::CheckRecord> records_of(ledgrove::DatabaseSet &set) {
    std::vector<ledgrove::CheckRecord> records;
    for (std::uint32_t n = 1; n <= set.data()->header.record_count; ++n) {
        ledgrove::CheckRecord r;
        EXPECT_EQ(KvlDataGetRecord(set.data(), n, &r), 0u);
        records.push_back(r);
    }
    return records;
}

inline const ledgrove::CheckRecord R1 =
    make_record("100001", "20070930", "0000000017", "ACME SUPPLY, INC.", "07001234",
                "OFFICE SUPPLIES FOR CITY HALL", "000000000100.00", "000001");
inline const ledgrove::CheckRecord R2 =
    make_record("100001", "20070930", "0000000017", "ACME SUPPLY, INC.", "07001234",
                "OFFICE SUPPLIES FOR CITY HALL, RTN", "-00000000012.50", "000002");
inline const ledgrove::CheckRecord R3 = make_record(
    "100002", "20071001", "0000000017", "ACME SUPPLY, INC.", "", "ROAD SALT", "000000000100.00",
    "000003");
inline const ledgrove::CheckRecord R4 =
    make_record("100003", "20071002", "0000000018", "SMITH, JOHN", "", "TRAVEL REIMBURSEMENT",
                "000000001234.50", "000004");

// Result lines.
inline const std::string L1 = "100001 09/30/2007 0000000017 ACME SUPPLY, INC." + S(18) +
                              " 07001234 OFFICE SUPPLIES FOR CITY HALL" + S(6) + " " + S(9) +
                              "100.00";
inline const std::string L2 = "100001 09/30/2007 0000000017 ACME SUPPLY, INC." + S(18) +
                              " 07001234 OFFICE SUPPLIES FOR CITY HALL, RTN" + S(1) + " " +
                              S(9) + "-12.50";
inline const std::string L3 = "100002 10/01/2007 0000000017 ACME SUPPLY, INC." + S(18) + " " +
                              S(8) + " ROAD SALT" + S(26) + " " + S(9) + "100.00";
inline const std::string L4 = "100003 10/02/2007 0000000018 SMITH, JOHN" + S(24) + " " + S(8) +
                              " TRAVEL REIMBURSEMENT" + S(15) + " " + S(7) + "1,234.50";

// Register CSV lines: 32 characters of the description, three spaces.
inline const std::string C1 = "100001,09/30/2007,0000000017,ACME SUPPLY~ INC." + S(18) +
                              ",07001234,OFFICE SUPPLIES FOR CITY HALL" + S(3) + S(3) +
                              ",100.00\r\n";
inline const std::string C2 = "100001,09/30/2007,0000000017,ACME SUPPLY~ INC." + S(18) +
                              ",07001234,OFFICE SUPPLIES FOR CITY HALL~ R" + S(3) +
                              ",-12.50\r\n";
inline const std::string C3 = "100002,10/01/2007,0000000017,ACME SUPPLY~ INC." + S(18) + "," +
                              S(8) + ",ROAD SALT" + S(23) + S(3) + ",100.00\r\n";
inline const std::string C4 = "100003,10/02/2007,0000000018,SMITH~ JOHN" + S(24) + "," + S(8) +
                              ",TRAVEL REIMBURSEMENT" + S(12) + S(3) + ",1234.50\r\n";

}  // namespace app_test

#endif  // LEDGROVE_TESTS_APP_SUPPORT_RECORDS_H
