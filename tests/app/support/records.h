// records.h - building check records field by field for the application
// tests, and runs of spaces for writing expected lines by column.
#ifndef LEDGROVE_TESTS_APP_SUPPORT_RECORDS_H
#define LEDGROVE_TESTS_APP_SUPPORT_RECORDS_H

#include <cstring>
#include <string>
#include <string_view>

#include "app/store/check_record.h"

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

}  // namespace app_test

#endif  // LEDGROVE_TESTS_APP_SUPPORT_RECORDS_H
