// register_sample.h - four checks, their result lines and their register CSV
// lines, written out by hand from the column layouts.  Between them they
// hold commas in names and descriptions, an empty purchase order, a
// negative amount, a description longer than the 32 characters a CSV line
// keeps, and vendor ids that differ only after character 8.
#ifndef LEDGROVE_TESTS_APP_SUPPORT_REGISTER_SAMPLE_H
#define LEDGROVE_TESTS_APP_SUPPORT_REGISTER_SAMPLE_H

#include <string>

#include "app/support/records.h"

namespace app_test {

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

#endif  // LEDGROVE_TESTS_APP_SUPPORT_REGISTER_SAMPLE_H
