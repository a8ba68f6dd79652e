// The standard exports, read back by Python's csv, json and openpyxl
// modules and compared with the register's own records.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "app/output/table_export.h"
#include "app/search/summary.h"
#include "app/support/records.h"
#include "app/support/register_sample.h"
#include "app/support/test_register.h"

namespace {

using namespace ledgrove;
using namespace app_test;
using Table = std::vector<std::vector<std::string>>;

// The file as read_table.py prints it.
Table read_back(const std::string &path) {
    const std::string command = std::string("/usr/bin/python3 ") + LEDGROVE_SOURCE_DIR +
                                "/tests/app/output/read_table.py " + path;
    FILE *pipe = ::popen(command.c_str(), "r");
    std::string text;
    char buffer[4096];
    for (std::size_t n; pipe && (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        text.append(buffer, n);
    EXPECT_EQ(pipe ? ::pclose(pipe) : -1, 0) << path;
    Table table;
    for (std::size_t at = 0, end; (end = text.find('\n', at)) != std::string::npos; at = end + 1) {
        table.emplace_back();
        const std::string line = text.substr(at, end - at);
        for (std::size_t from = 0, tab;; from = tab + 1) {
            tab = line.find('\t', from);
            table.back().push_back(line.substr(from, tab == std::string::npos ? tab : tab - from));
            if (tab == std::string::npos) break;
        }
    }
    return table;
}

std::string trimmed(const char *field, std::size_t n) {
    std::string text(field, n);
    return text.erase(text.find_last_not_of(' ') + 1);
}

std::string two_decimals(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", value);
    return text;
}

TEST(TableExport, EveryFormatReadsBackAsTheChecks) {
    TestRegister reg;
    // A quote, a Windows-1252 letter and a cent below zero besides the sample.
    ASSERT_EQ(reg.import_records({R1, R2, R3, R4,
                                  make_record("100009", "20080229", "V\"9", "CAF\xC9 \"LE\" ROYAL",
                                              "", "LUNCH; 2 \"GUESTS\"", "-00000000000.05")})
                  .imported,
              5u);
    // The records as stored, in date order (record ids break ties).
    Table want;
    double sum = 0;
    for (const CheckRecord &r : records_of(reg.set())) {
        std::string name = trimmed(r.NAME, 35);
        if (name[3] == '\xC9') name.replace(3, 1, "\xC3\x89");  // UTF-8 in every file
        const double amount = std::stod(std::string(r.AMOUNT, 15));
        sum += amount;
        const std::string date(r.CHKDATE, 8);
        want.push_back({trimmed(r.CHKID, 6), date.substr(0, 4) + "-" + date.substr(4, 2) + "-" +
                        date.substr(6), trimmed(r.VENDORID, 10), name, trimmed(r.POID, 8),
                        trimmed(r.DESC, 35), two_decimals(amount)});
    }
    SearchInputs in;
    in.from = "20000101";
    in.to = "20991231";
    const std::map<TableFormat, std::vector<std::string>> headers = {
        {TableFormat::Csv, {"Check ID", "Date", "Vendor ID", "Vendor Name", "PO Number", "Description", "Amount"}},
        {TableFormat::Xlsx, {"Check ID", "Date", "Vendor ID", "Vendor Name", "PO Number", "Description", "Amount"}},
        {TableFormat::Json, {"check_id", "date", "vendor_id", "vendor_name", "po_number", "description", "amount"}},
    };
    for (const char *name : {"out.csv", "out.json", "out.XLSX"}) {
        SCOPED_TRACE(name);
        const std::optional<TableFormat> format = table_format_of(name);
        ASSERT_TRUE(format);
        const TableExport done =
            export_search_table(reg.set(), SortOrder::Date, in, reg.path(name), *format);
        EXPECT_TRUE(done.ok) << done.notice.text;
        EXPECT_EQ(done.notice.text, "5 lines written to " + reg.path(name) + ".");
        Table table = read_back(reg.path(name));
        ASSERT_FALSE(table.empty());
        EXPECT_EQ(table.front(), headers.at(*format));
        table.erase(table.begin());
        if (*format == TableFormat::Xlsx) {
            ASSERT_FALSE(table.empty());
            EXPECT_EQ(table.back(), (std::vector<std::string>{"TOTAL", "", "", "", "", "", two_decimals(sum)}));
            table.pop_back();
        }
        EXPECT_EQ(table, want);
    }
    EXPECT_FALSE(table_format_of("out.txt"));

    // A summary: its rows and, in XLSX, a total row that is their sum.
    const Summary summary = summarize(reg.set(), SortOrder::Date, in, {SummaryGroup::Vendor});
    const TableExport done = export_summary_table(summary, reg.path("sum.xlsx"), TableFormat::Xlsx);
    EXPECT_TRUE(done.ok) << done.notice.text;
    const Table table = read_back(reg.path("sum.xlsx"));
    ASSERT_EQ(table.size(), 1 + 3 + 1u);  // three vendor ids
    EXPECT_EQ(table[1], (std::vector<std::string>{"0000000018", "SMITH, JOHN", "1.00", "1234.50",
                                                   two_decimals(1234.50 / sum), "2007-10-02",
                                                   "2007-10-02"}));
    EXPECT_EQ(table.back()[3], two_decimals(sum));

    const TableExport refused = export_search_table(reg.set(), SortOrder::Date, in,
                                                    reg.path("no/such/dir.csv"), TableFormat::Csv);
    EXPECT_FALSE(refused.ok);
    EXPECT_EQ(refused.notice.text.rfind("Cannot create " + reg.path("no/such/dir.csv"), 0), 0u);
}

}  // namespace
