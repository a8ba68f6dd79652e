// Keeping the register: register CSV lines read back into records, the
// import (bad lines skipped by line number, record ids), the whole-register
// export and its round trip through emptying, emptying's backup copy, the
// index rebuild, and a read-only register that refuses every change.
#include <gtest/gtest.h>

#include <cstddef>
#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "app/maint/demo_register.h"
#include "app/maint/empty_register.h"
#include "app/maint/export_register.h"
#include "app/maint/import.h"
#include "app/maint/import_line.h"
#include "app/maint/rebuild.h"
#include "app/output/messages.h"
#include "app/search/result_list.h"
#include "app/search/search.h"
#include "app/support/records.h"
#include "app/support/test_register.h"
#include "support/memory_layer.h"

namespace {

using namespace ledgrove;
using namespace app_test;
namespace fs = std::filesystem;

// A line in the register CSV layout, built column by column.
std::string csv(const std::string &chkid, const std::string &name, const std::string &amount,
                const char *end = "\r\n", const std::string &date = "07/05/1999") {
    return chkid + S(6 - chkid.size()) + "," + date + ",0000004512," + name + S(35 - name.size()) + ",PO000001,REFUND" +
           S(29) + "," + amount + end;
}

std::size_t listed(DatabaseSet &set, SortOrder order = SortOrder::Date) {
    SearchInputs in;
    in.from = "20000101";
    in.to = "20991231";
    ResultList list;
    return search_records(set, order, in, list).line_count;
}

TEST(ImportLine, ReadsTheColumnsAndRefusesByReason) {
    const std::string full = csv("000123", "SMITH~ JOHN", "1", "");
    std::string odd = full;  // any character may stand in the separator columns
    for (std::size_t column : {6, 9, 12, 17, 28, 64, 73, 109}) odd[column] = '|';
    const struct {
        const char *what;
        std::string line;
        ImportLineStatus status;
        const char *amount;  // the stored amount when Ok
    } cases[] = {
        {"any separators", odd, ImportLineStatus::Ok, "000000000001.00"},
        {"two decimals added", csv("1", "A", "-1234.5", ""), ImportLineStatus::Ok, "-00000001234.50"},
        {"ends at ]", csv("1", "A", "12.3]junk", ""), ImportLineStatus::Ok, "000000000012.30"},
        {"widest positive", csv("1", "A", "999999999999.99", ""), ImportLineStatus::Ok, "999999999999.99"},
        {"widest negative", csv("1", "A", "-99999999999.99", ""), ImportLineStatus::Ok, "-99999999999.99"},
        {"spaces only", "   \t ", ImportLineStatus::Blank, ""},
        {"one column short", full.substr(0, 109), ImportLineStatus::Short, ""},
        {"ends where the amount starts", full.substr(0, 110), ImportLineStatus::NoAmount, ""},
        {"month with a space", std::string(full).replace(7, 2, "7 "), ImportLineStatus::BadDate, ""},
        {"February 29 of 1999", std::string(full).replace(7, 10, "02/29/1999"), ImportLineStatus::BadDate, ""},
        {"a subtotal line", S(110) + "12.00", ImportLineStatus::BadDate, ""},
        {"grouped amount", csv("1", "A", "1,234.50", ""), ImportLineStatus::NoAmount, ""},
        {"amount with text", csv("1", "A", "12.30 USD", ""), ImportLineStatus::NoAmount, ""},
        {"too large", csv("1", "A", "1000000000000", ""), ImportLineStatus::AmountTooLarge, ""},
        {"rounds up past the width", csv("1", "A", "999999999999.999", ""), ImportLineStatus::AmountTooLarge, ""},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        CheckRecord r, untouched;
        std::memset(&r, 'X', sizeof r);
        std::memset(&untouched, 'X', sizeof untouched);
        ASSERT_EQ(parse_import_line(c.line, r), c.status);
        if (c.status != ImportLineStatus::Ok) {
            EXPECT_EQ(std::memcmp(&r, &untouched, sizeof r), 0) << "record changed";
            continue;
        }
        EXPECT_EQ(std::string(r.AMOUNT, 15), c.amount);
        EXPECT_EQ(std::string(r.ID, 6), "XXXXXX");  // the import gives the id
        EXPECT_EQ(std::string(r.CHKDATE, 8), "19990705");
        EXPECT_EQ(std::string(r.DESC, 35), "REFUND" + S(29));
    }
    std::vector<std::string> lines;  // a file's lines end at LF or CR LF
    std::size_t pos = 0;
    std::string_view line;
    while (next_import_line("a\r\nb\n\nc\rd", &pos, &line)) lines.emplace_back(line);
    EXPECT_EQ(lines, (std::vector<std::string>{"a", "b", "", "c\rd"}));
    CheckRecord r;
    ASSERT_EQ(parse_import_line(full, r), ImportLineStatus::Ok);
    EXPECT_EQ(std::string(r.NAME, 35), "SMITH, JOHN" + S(24));
    EXPECT_EQ(std::string(r.VENDORID, 10), "0000004512");
}

TEST(Import, BadLinesAreSkippedAndNamedByNumber) {
    const struct {
        const char *what;
        std::string text;
        std::vector<std::string> imported;  // check ids, in file order
        std::vector<std::size_t> skipped;   // line numbers
        std::int64_t cents;                 // of the lines imported
        std::size_t blank_lines = 0;
    } cases[] = {
        {"a short line", csv("000001", "A", "1.00") + "000002,01/02/2007,SHORT\r\n" + csv("000003", "C", "3.00"),
         {"000001", "000003"}, {2}, 400},
        {"LF, CR LF and no end on the last line",
         csv("000001", "A", "1.00", "\n") + csv("000002", "B", "2.00") + csv("000003", "C", "3.00", ""),
         {"000001", "000002", "000003"}, {}, 600},
        {"blank lines are passed over", "\r\n" + csv("000001", "A", "1.00") + "\n   \r\n" + csv("000002", "B", "x"),
         {"000001"}, {5}, 100, 3},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        TestRegister reg;
        const ImportReport report = reg.import_text(c.text);
        EXPECT_EQ(report.ok(), !c.imported.empty()) << report.error;
        std::vector<std::size_t> skipped;
        for (const SkippedLine &line : report.skipped) skipped.push_back(line.line_number);
        EXPECT_EQ(skipped, c.skipped);
        EXPECT_EQ(report.blank_lines, c.blank_lines);
        std::vector<std::string> imported;
        for (const CheckRecord &r : records_of(reg.set())) imported.emplace_back(r.CHKID, 6);
        EXPECT_EQ(imported, c.imported);
        EXPECT_EQ(report.imported, c.imported.size());
        EXPECT_EQ(report.imported_cents, c.cents);
    }
}

TEST(Import, IdsContinueFromTheLastAndStopAtZzzzzz) {
    TestRegister reg;
    std::string first;
    for (int i = 0; i < 35; ++i) first += csv("000001", "A", "1.00");
    ImportReport report = reg.import_text(first);
    EXPECT_EQ(report.first_id + ".." + report.last_id, "000001..00000z");
    report = reg.import_text(csv("000002", "B", "2.00") + csv("000003", "C", "3.00"));
    EXPECT_EQ(report.first_id + ".." + report.last_id, "000010..000011");
    // Imports before the indexes are rebuilt still give new ids: the record
    // count is a floor under the stale id index.
    write_file(reg.path("more.csv"), csv("000004", "D", "4.00"));
    EXPECT_EQ(import_csv(reg.set(), reg.path("more.csv")).last_id, "000012");
    EXPECT_EQ(import_csv(reg.set(), reg.path("more.csv")).last_id, "000013");
    EXPECT_EQ(std::string(records_of(reg.set()).back().ID, 6), "000013");

    TestRegister full;  // one record whose id is the last but one
    CheckRecord r = make_record("000001", "20070102", "V", "A", "P", "D", "000000000001.00", "zzzzzy");
    std::uint32_t number = 0;
    ASSERT_EQ(KvlDataAddRecord(full.set().data(), &r, &number), 0u);
    ASSERT_TRUE(rebuild_all_indexes(full.set()).ok());
    report = full.import_text(csv("000002", "B", "2.00") + csv("000003", "C", "3.00") + csv("000004", "D", "4.00"));
    EXPECT_EQ(report.imported, 1u);
    EXPECT_EQ(report.last_id, "zzzzzz");
    EXPECT_EQ(report.refused_past_id_limit, 2u);
    EXPECT_NE(report.error.find("ids are used up"), std::string::npos) << report.error;
    EXPECT_EQ(full.record_count(), 2u);
}

TEST(RegisterExport, CheckIdOrderAndARoundTripThroughEmptying) {
    TestRegister reg;
    // Imported in another order; the export follows check id, then record
    // id, and replaces a longer file.
    ASSERT_EQ(reg.import_records({R4, R3, R1, R2}).imported, 4u);
    write_file(reg.path("out.csv"), std::string(100000, 'x'));
    EXPECT_EQ(export_register(reg.set(), reg.path("out.csv")).written, 4u);
    EXPECT_EQ(read_file(reg.path("out.csv")), C1 + C2 + C3 + C4);

    ASSERT_EQ(reg.import_text(demo_register_csv(400)).imported, 400u);
    auto contents = [&] {  // every field but the id, sorted
        std::multiset<std::string> all;
        for (const CheckRecord &r : records_of(reg.set()))
            all.insert(std::string(reinterpret_cast<const char *>(&r) + 7, sizeof r - 7));
        return all;
    };
    const std::multiset<std::string> before = contents();
    ASSERT_TRUE(export_register(reg.set(), reg.path("first.csv")).ok());
    // Emptying writes every check to a register CSV file beside the register.
    const EmptyReport emptied = empty_register(reg.set(), reg.path("empty.dbf"));
    ASSERT_TRUE(emptied.ok()) << emptied.error;
    EXPECT_EQ(reg.record_count(), 0u);
    EXPECT_EQ(listed(reg.set()), 0u);
    EXPECT_EQ(emptied.backup_path.rfind(reg.path(""), 0), 0u) << emptied.backup_path;
    EXPECT_TRUE(std::regex_match(fs::path(emptied.backup_path).filename().string(),
                                 std::regex("ChkREG-before-empty-[0-9]{8}-[0-9]{6}\\.csv")));
    EXPECT_EQ(emptied.backed_up, 404u);
    EXPECT_EQ(read_file(emptied.backup_path), read_file(reg.path("first.csv")));
    const ImportReport imported = reg.import_text(read_file(emptied.backup_path));
    EXPECT_EQ(imported.imported, 404u);
    EXPECT_TRUE(imported.skipped.empty());
    ASSERT_TRUE(export_register(reg.set(), reg.path("second.csv")).ok());
    EXPECT_EQ(read_file(reg.path("second.csv")), read_file(reg.path("first.csv")));
    EXPECT_EQ(contents(), before);
}

TEST(RegisterEmpty, AWrongEmptyFileChangesNothingAndDamageIsCopiedAsItIs) {
    TestRegister reg;
    ASSERT_EQ(reg.import_records({R1, R2}).imported, 2u);
    write_file(reg.path("not-a-dbf"), "hello");
    fs::copy_file(reg.path("ChkREG.DBF"), reg.path("full.dbf"));
    for (const char *source : {"missing.dbf", "not-a-dbf", "full.dbf"}) {
        EXPECT_NE(empty_register(reg.set(), reg.path(source)).error, "") << source;
        EXPECT_EQ(listed(reg.set()), 2u) << source;
    }
    // Without the check-id index the checks cannot be walked: the data file
    // is kept as a byte copy and the register empties.
    reg.set().close();
    const std::string data_before = read_file(reg.path("ChkREG.DBF"));
    fs::remove(reg.path("ChkRCID.IX4"));
    reg.set().open();
    const EmptyReport report = empty_register(reg.set(), reg.path("empty.dbf"));
    EXPECT_TRUE(report.ok()) << report.error;
    EXPECT_TRUE(report.data_file_copied);
    EXPECT_EQ(read_file(report.backup_path), data_before);
    EXPECT_EQ(reg.record_count(), 0u);
}

TEST(RegisterRebuild, EveryIndexAnewEvenOverAnUnfinishedUpdate) {
    TestRegister reg;
    ASSERT_EQ(reg.import_records({R1, R2, R3}).imported, 3u);
    DatabaseSet &set = reg.set();
    // Records added while the set is open are in no index until the rebuild.
    write_file(reg.path("more.csv"), csv_line_from_record(R4));
    ASSERT_EQ(import_csv(set, reg.path("more.csv")).imported, 1u);
    EXPECT_EQ(listed(set), 3u);
    // A data file that carries the unfinished-update mark of a broken run,
    // and that run's work file.
    set.close();
    {
        std::fstream data(reg.path("ChkREG.DBF"), std::ios::in | std::ios::out | std::ios::binary);
        data.seekp(offsetof(DbfHeader, incomplete));
        data.put(static_cast<char>(KVL_DBF_ADDED_UNFLUSHED));
    }
    write_file(reg.path("chkr.TMP"), "left over from a broken run");
    set.open();
    std::set<std::string> reported;
    const RebuildReport report = rebuild_all_indexes(set, [&](const RebuildProgress &p) {
        EXPECT_LE(p.percent, 100u);
        reported.insert(p.file_name);
    });
    ASSERT_TRUE(report.ok()) << (report.failures.empty() ? report.error : report.failures[0].stage);
    EXPECT_FALSE(fs::exists(reg.path("chkr.TMP")));
    EXPECT_TRUE(set.is_open());
    for (const IndexFileInfo &info : kIndexFiles) {
        EXPECT_EQ(set.index(info.index)->header.key_count, 4u) << info.file_name;
        EXPECT_EQ(reported.count(info.file_name), 1u) << info.file_name;
        if (info.serves) { EXPECT_EQ(listed(set, *info.serves), 4u) << info.file_name; }
    }
    // Without a data file no index is deleted.
    set.close();
    fs::rename(reg.path("ChkREG.DBF"), reg.path("aside.dbf"));
    EXPECT_EQ(rebuild_all_indexes(set).failures.size(), kIndexCount);
    for (const IndexFileInfo &info : kIndexFiles) EXPECT_TRUE(fs::exists(reg.path(info.file_name)));
}

TEST(ReadOnlyRegister, SearchesAndExportsButChangesNothing) {
    for (std::uint32_t refusal : {KVL_WIN_WRITE_PROTECT, KVL_WIN_ACCESS_DENIED}) {
        SCOPED_TRACE(refusal);
        TestRegister reg;
        ASSERT_EQ(reg.import_records({R1, R2}).imported, 2u);
        reg.set().close();
        std::vector<std::string> files = {kDataFileName}, before;
        for (const IndexFileInfo &info : kIndexFiles) files.push_back(info.file_name);
        for (const std::string &f : files) before.push_back(read_file(reg.path(f)));
        write_file(reg.path("more.csv"), C3);

        kvl_test::MemoryLayer faults(kvl_test::MemoryLayer::kBuiltIn);
        faults.refuse_writable_opens(refusal);
        DatabaseSet set(reg.path(""), faults.table());
        set.open();
        EXPECT_TRUE(set.failures().empty());
        EXPECT_TRUE(set.read_only());
        EXPECT_EQ(listed(set, SortOrder::VendorName), 2u);
        EXPECT_EQ(export_register(set, reg.path("out.csv")).written, 2u);
        EXPECT_EQ(read_file(reg.path("out.csv")), C1 + C2);
        EXPECT_EQ(import_csv(set, reg.path("more.csv")).error, messages::kReadOnlyRegister);
        EXPECT_EQ(empty_register(set, reg.path("empty.dbf")).error, messages::kReadOnlyRegister);
        EXPECT_EQ(rebuild_all_indexes(set).error, messages::kReadOnlyRegister);
        set.close();
        for (std::size_t i = 0; i < files.size(); ++i)
            EXPECT_EQ(read_file(reg.path(files[i])), before[i]) << files[i];
    }
}

}  // namespace
