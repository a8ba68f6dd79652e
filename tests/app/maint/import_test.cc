// The import: bad lines skip only themselves and are reported by number,
// every good line comes in, an import that adds nothing fails, a file of
// any size is read whole, and record ids continue from the register's last
// id and stop at zzzzzz; the report sums the amounts it added.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "app/maint/import.h"
#include "app/search/result_list.h"
#include "app/search/search.h"
#include "app/support/records.h"
#include "app/support/test_register.h"

namespace {

using namespace ledgrove;
using app_test::records_of;
using app_test::S;

// A good line in the register CSV layout, built column by column.
std::string csv(const std::string &chkid, const std::string &date, const std::string &name,
                const std::string &amount, const char *end = "\r\n") {
    std::string line = chkid + "," + date + "," + "V000000001" + "," + name + S(35 - name.size()) +
                       "," + "PO000001" + "," + "DESCRIPTION" + S(24) + "," + amount;
    return line + end;
}

std::string id_of(const CheckRecord &r) { return std::string(r.ID, sizeof r.ID); }
std::string chkid_of(const CheckRecord &r) { return std::string(r.CHKID, sizeof r.CHKID); }

TEST(Import, BadLinesSpoilOnlyThemselves) {
    const struct {
        const char *what;
        std::string text;
        std::vector<std::string> imported;  // check ids, in file order
        std::vector<std::size_t> skipped;   // line numbers
        std::int64_t cents;                 // the imported amounts' sum
        std::size_t blank_lines = 0;
    } cases[] = {
        {"a short line", csv("000001", "01/02/2007", "A", "1.00") + "000002,01/02/2007,SHORT\r\n" +
                             csv("000003", "01/02/2007", "C", "3.00"),
         {"000001", "000003"}, {2}, 400},
        {"LF-only line ends", csv("000001", "01/02/2007", "A", "1.00", "\n") +
                                  csv("000002", "01/02/2007", "B", "2.00", "\n") +
                                  csv("000003", "01/02/2007", "C", "3.00", "\n"),
         {"000001", "000002", "000003"}, {}, 600},
        {"mixed line ends and no end on the last line",
         csv("000001", "01/02/2007", "A", "1.00", "\n") + csv("000002", "01/02/2007", "B", "2.00") +
             csv("000003", "01/02/2007", "C", "3.00", ""),
         {"000001", "000002", "000003"}, {}, 600},
        {"an amount with no number", csv("000001", "01/02/2007", "A", "abc") +
                                         csv("000002", "01/02/2007", "B", "") +
                                         csv("000003", "01/02/2007", "C", "-"),
         {}, {1, 2, 3}, 0},
        {"an amount too large", csv("000001", "01/02/2007", "A", "1000000000000.00") +
                                    csv("000002", "01/02/2007", "B", "-100000000000.00") +
                                    csv("000003", "01/02/2007", "C", "999999999999.99"),
         {"000003"}, {1, 2}, 99999999999999},
        {"blank lines are passed over", "\r\n" + csv("000001", "01/02/2007", "A", "1.00") + "\n   \r\n",
         {"000001"}, {}, 100, 3},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        app_test::TestRegister reg;
        ImportReport report = reg.import_text(c.text);
        EXPECT_EQ(report.ok(), !c.imported.empty()) << report.error;
        std::vector<std::size_t> skipped;
        for (const SkippedLine &line : report.skipped) skipped.push_back(line.line_number);
        EXPECT_EQ(skipped, c.skipped);
        EXPECT_EQ(report.blank_lines, c.blank_lines);
        std::vector<std::string> imported;
        for (const CheckRecord &r : records_of(reg.set())) imported.push_back(chkid_of(r));
        EXPECT_EQ(imported, c.imported);
        EXPECT_EQ(report.imported, c.imported.size());
        EXPECT_EQ(report.imported_cents, c.cents);
    }
}

TEST(Import, FieldsComeInAsTheColumnsHoldThem) {
    app_test::TestRegister reg;
    // Any separator character, "~" for a comma, an amount cut at "]".
    std::string line = csv("000123", "07/05/1999", "SMITH~ JOHN", "-1234.5]junk");
    line[17] = ';';
    line[9] = '-';
    ImportReport report = reg.import_text(line);
    ASSERT_EQ(report.imported, 1u) << (report.skipped.empty() ? "" : report.skipped[0].reason);
    CheckRecord r = records_of(reg.set()).at(0);
    EXPECT_EQ(std::string(r.CHKDATE, 8), "19990705");
    EXPECT_EQ(std::string(r.NAME, 35), "SMITH, JOHN" + S(24));
    EXPECT_EQ(std::string(r.AMOUNT, 15), "-00000001234.50");
    EXPECT_EQ(report.imported_cents, -123450);
    EXPECT_EQ(r.tag, ' ');
}

TEST(Import, AFileOfAnySizeIsReadWhole) {
    app_test::TestRegister reg;
    std::string text;
    const std::size_t lines = 70000;  // about 118 bytes a line: past 8,000,000 bytes
    for (std::size_t i = 0; i < lines; ++i) {
        std::string id = std::to_string(100000 + i % 900000);
        text += csv(id, "03/04/2010", "VENDOR " + std::to_string(i), std::to_string(i % 1000) + ".25");
    }
    ASSERT_GT(text.size(), 8000000u);
    app_test::write_file(reg.path("big.csv"), text);
    std::vector<ImportProgress> seen;
    ImportReport report = import_csv(reg.set(), reg.path("big.csv"),
                                     [&](const ImportProgress &p) { seen.push_back(p); });
    ASSERT_GT(seen.size(), 2u);
    EXPECT_EQ(seen.back().lines, lines);
    EXPECT_EQ(seen.back().bytes_read, text.size());
    EXPECT_EQ(seen.back().file_size, text.size());
    EXPECT_LT(seen.front().bytes_read, seen.back().bytes_read);
    EXPECT_TRUE(report.ok());
    EXPECT_TRUE(report.skipped.empty());
    EXPECT_EQ(report.imported, lines);
    EXPECT_EQ(reg.record_count(), lines);
    CheckRecord last;
    ASSERT_EQ(KvlDataGetRecord(reg.set().data(), lines, &last), 0u);
    EXPECT_EQ(std::string(last.NAME, 12), "VENDOR 69999");
}

TEST(Import, IdsContinueFromTheLastId) {
    app_test::TestRegister reg;
    std::string first;
    for (int i = 0; i < 35; ++i) first += csv("000001", "01/02/2007", "A", "1.00");
    ImportReport report = reg.import_text(first);
    EXPECT_EQ(report.first_id, "000001");
    EXPECT_EQ(report.last_id, "00000z");
    report = reg.import_text(csv("000002", "01/02/2007", "B", "2.00") +
                             csv("000003", "01/02/2007", "C", "3.00"));
    EXPECT_EQ(report.first_id, "000010");
    EXPECT_EQ(report.last_id, "000011");
    std::vector<CheckRecord> records = records_of(reg.set());
    EXPECT_EQ(id_of(records.at(35)), "000010");

    // A second import before the indexes are rebuilt still gives new ids:
    // the record count is a floor under the stale id index.
    app_test::write_file(reg.path("more.csv"), csv("000004", "01/02/2007", "D", "4.00"));
    ASSERT_EQ(import_csv(reg.set(), reg.path("more.csv")).last_id, "000012");
    ASSERT_EQ(import_csv(reg.set(), reg.path("more.csv")).last_id, "000013");
}

TEST(Import, IdsPastTheLimitAreRefused) {
    app_test::TestRegister reg;
    // One record whose id is the last but one that six base-36 digits hold.
    CheckRecord r = app_test::make_record("000001", "20070102", "V", "A", "P", "D",
                                          "000000000001.00", "zzzzzy");
    std::uint32_t number = 0;
    ASSERT_EQ(KvlDataAddRecord(reg.set().data(), &r, &number), 0u);
    ASSERT_TRUE(rebuild_all_indexes(reg.set()).ok());

    ImportReport report = reg.import_text(csv("000002", "01/02/2007", "B", "2.00") +
                                          csv("000003", "01/02/2007", "C", "3.00") +
                                          csv("000004", "01/02/2007", "D", "4.00"));
    EXPECT_EQ(report.imported, 1u);
    EXPECT_EQ(report.last_id, "zzzzzz");
    EXPECT_EQ(report.refused_past_id_limit, 2u);
    EXPECT_FALSE(report.ok());
    EXPECT_NE(report.error.find("ids are used up"), std::string::npos);
    EXPECT_EQ(reg.record_count(), 2u);
}

TEST(Import, AFileThatCannotBeOpenedAddsNothing) {
    app_test::TestRegister reg;
    ImportReport report = import_csv(reg.set(), reg.path("missing.csv"));
    EXPECT_EQ(report.file_error, static_cast<std::uint32_t>(KVL_WIN_FILE_NOT_FOUND));
    EXPECT_FALSE(report.ok());
    EXPECT_EQ(report.imported, 0u);
    EXPECT_EQ(reg.record_count(), 0u);
}

}  // namespace
