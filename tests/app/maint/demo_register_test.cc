// The sample register: deterministic, importable, and varied like a real one.
#include <gtest/gtest.h>

#include <string>

#include "app/maint/demo_register.h"
#include "app/maint/import_line.h"
#include "app/store/field_text.h"

namespace {

using namespace ledgrove;

TEST(DemoRegister, SameSeedSameText) {
    std::string a = demo_register_csv(500, 7);
    EXPECT_EQ(a, demo_register_csv(500, 7));
    EXPECT_NE(a, demo_register_csv(500, 8));
    EXPECT_EQ(demo_register_csv(0), "");
    // A prefix of a longer run is not required to match: checks spread over
    // the same years whatever their number.
}

TEST(DemoRegister, EveryLineImportsAndTheRegisterLooksReal) {
    const std::size_t checks = 3000;
    std::string text = demo_register_csv(checks);
    std::size_t pos = 0, lines = 0, commas = 0, negatives = 0, empty_po = 0, backwards = 0;
    std::string_view line;
    std::string previous_date, first_year = "9999", last_year = "0000";
    while (next_import_line(text, &pos, &line)) {
        ++lines;
        CheckRecord r;
        ASSERT_EQ(parse_import_line(line, r), ImportLineStatus::Ok) << line;
        std::string date(r.CHKDATE, 8);
        first_year = std::min(first_year, date.substr(0, 4));
        last_year = std::max(last_year, date.substr(0, 4));
        if (!previous_date.empty() && date < previous_date) ++backwards;
        previous_date = date;
        if (std::string(r.NAME, 35).find(',') != std::string::npos) ++commas;
        if (parse_number(std::string(r.AMOUNT, 15)) < 0) ++negatives;
        if (std::string(r.POID, 8) == std::string(8, ' ')) ++empty_po;
        EXPECT_NE(parse_number(std::string(r.AMOUNT, 15)), 0.0);
    }
    EXPECT_EQ(lines, checks);
    EXPECT_EQ(first_year, "2006");
    EXPECT_EQ(last_year, "2020");
    EXPECT_GT(commas, checks / 20);
    EXPECT_GT(negatives, 0u);
    EXPECT_GT(empty_po, checks / 10);
    EXPECT_GT(backwards, 0u);
    EXPECT_LT(backwards, checks / 5);
}

TEST(DemoRegister, RecordsLeaveTheIdBlank) {
    DemoRegister demo(3);
    CheckRecord r;
    int n = 0;
    while (demo.next(r)) {
        EXPECT_EQ(std::string(r.ID, 6), "      ");
        EXPECT_EQ(r.tag, ' ');
        ++n;
    }
    EXPECT_EQ(n, 3);
    EXPECT_EQ(demo.remaining(), 0u);
}

}  // namespace
