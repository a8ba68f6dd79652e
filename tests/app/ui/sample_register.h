// sample_register.h - four checks whose fields rank them differently in
// each of the seven orders, so the order of their check ids tells which
// order a search used, and a fifth from 2005 with code-page characters in
// its name.
//
//   check   date      vendor id  name     PO  description  amount
//   900001  20070104  V2         CHARLIE  P2  C DESC         20.00
//   900002  20070103  V1         DELTA    P4  A DESC        300.00
//   900003  20070102  V4         ALPHA    P3  D DESC          1.00
//   900004  20070101  V3         BRAVO    P1  B DESC       4000.00
#ifndef LEDGROVE_TESTS_APP_UI_SAMPLE_REGISTER_H
#define LEDGROVE_TESTS_APP_UI_SAMPLE_REGISTER_H

#include <vector>

#include "app/support/records.h"

namespace ui_test {

inline std::vector<ledgrove::CheckRecord> ranked_checks() {
    using app_test::make_record;
    return {
        make_record("900001", "20070104", "V2", "CHARLIE", "P2", "C DESC", "000000000020.00"),
        make_record("900002", "20070103", "V1", "DELTA", "P4", "A DESC", "000000000300.00"),
        make_record("900003", "20070102", "V4", "ALPHA", "P3", "D DESC", "000000000001.00"),
        make_record("900004", "20070101", "V3", "BRAVO", "P1", "B DESC", "000000004000.00"),
    };
}

// 0xC9 is E with an acute accent and 0x80 the euro sign in code page 1252.
inline ledgrove::CheckRecord accented_check() {
    return app_test::make_record("900005", "20050101", "V5", "CAF\xC9 \x80 SHOP", "P5",
                                 "COFFEE", "000000000005.00");
}

}  // namespace ui_test

#endif  // LEDGROVE_TESTS_APP_UI_SAMPLE_REGISTER_H
