// Register CSV lines from records and from result lines.
#include <gtest/gtest.h>

#include <string>

#include "app/output/csv_line.h"
#include "app/search/result_lines.h"
#include "app/support/register_sample.h"

namespace {

using namespace ledgrove;
using namespace app_test;

TEST(CsvLine, FromRecordAndFromResultLineAgree) {
    const struct {
        const CheckRecord &record;
        const std::string &line;
        const std::string &csv;
    } cases[] = {{R1, L1, C1}, {R2, L2, C2}, {R3, L3, C3}, {R4, L4, C4}};
    for (const auto &c : cases) {
        EXPECT_EQ(csv_line_from_record(c.record), c.csv);
        EXPECT_EQ(csv_line_from_result_line(c.line), c.csv);
        EXPECT_EQ(csv_line_from_result_line(record_line(c.record)), csv_line_from_record(c.record));
    }
}

TEST(CsvLine, DateSignAndSmallAmounts) {
    CheckRecord r = make_record("000123", "19990705", "", "", "", "", "-00000001234.50");
    std::string line = csv_line_from_record(r);
    EXPECT_EQ(line.substr(0, 18), "000123,07/05/1999,");
    EXPECT_EQ(line.substr(109), ",-1234.50\r\n");

    put(r.AMOUNT, "000000000000.50");
    EXPECT_EQ(csv_line_from_record(r).substr(109), ",.50\r\n");
    EXPECT_EQ(csv_line_from_result_line(record_line(r)).substr(109), ",.50\r\n");
    put(r.AMOUNT, "000000000000.00");
    EXPECT_EQ(csv_line_from_record(r).substr(109), ",.00\r\n");
}

TEST(CsvLine, OtherListLinesFollowTheColumnRule) {
    const std::string empty_columns = S(6) + "," + S(10) + "," + S(10) + "," + S(35) + "," +
                                      S(8) + "," + S(35) + ",";
    EXPECT_EQ(csv_line_from_result_line(" "), empty_columns + "\r\n");
    EXPECT_EQ(csv_line_from_result_line(""), empty_columns + "\r\n");
    EXPECT_EQ(csv_line_from_result_line(separator_line()), empty_columns + "==============\r\n");

    const std::string subtotal = S(81) + "   Subtotal for 100001 ----->" + S(10) + "87.50";
    EXPECT_EQ(csv_line_from_result_line(subtotal),
              S(6) + "," + S(10) + "," + S(10) + "," + S(35) + "," + S(8) + "," + S(7) +
                  "   Subtotal for 100001 --" + S(3) + ",87.50\r\n");
}

}  // namespace
