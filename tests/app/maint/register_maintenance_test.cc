// Keeping the register: the whole-register export, emptying (with its copy
// of the checks), rebuilding the indexes, an export imported again, and a
// read-only register that searches but refuses every change.
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include "app/maint/demo_register.h"
#include "app/maint/empty_register.h"
#include "app/maint/export_register.h"
#include "app/maint/import.h"
#include "app/maint/rebuild.h"
#include "app/output/messages.h"
#include "app/search/result_list.h"
#include "app/search/search.h"
#include "app/support/records.h"
#include "app/support/register_sample.h"
#include "app/support/test_register.h"
#include "support/memory_layer.h"

namespace {

using namespace ledgrove;
namespace fs = std::filesystem;
using app_test::records_of;

std::size_t listed(DatabaseSet &set, SortOrder order = SortOrder::Date) {
    SearchInputs in;
    in.from = "20000101";
    in.to = "20991231";
    ResultList list;
    return search_records(set, order, in, list).line_count;
}

TEST(RegisterExport, WritesCheckIdOrderInTheImportForm) {
    using namespace app_test;
    TestRegister reg;
    // Imported in another order; the export follows check id, then record id.
    ASSERT_EQ(reg.import_records({R4, R3, R1, R2}).imported, 4u);
    ExportReport report = export_register(reg.set(), reg.path("out.csv"));
    EXPECT_TRUE(report.ok());
    EXPECT_EQ(report.written, 4u);
    // R1 and R2 share check id 100001; R1 was imported first.
    EXPECT_EQ(read_file(reg.path("out.csv")), C1 + C2 + C3 + C4);

    // An existing file is replaced, not appended to or left longer.
    write_file(reg.path("old.csv"), std::string(100000, 'x'));
    EXPECT_TRUE(export_register(reg.set(), reg.path("old.csv")).ok());
    EXPECT_EQ(read_file(reg.path("old.csv")), C1 + C2 + C3 + C4);
}

TEST(RegisterExport, EmptyRegisterGivesAnEmptyFile) {
    app_test::TestRegister reg;
    ExportReport report = export_register(reg.set(), reg.path("out.csv"));
    EXPECT_TRUE(report.ok()) << report.walk_error;
    EXPECT_EQ(report.written, 0u);
    EXPECT_TRUE(fs::exists(reg.path("out.csv")));
    EXPECT_EQ(fs::file_size(reg.path("out.csv")), 0u);
}

TEST(RegisterExport, TellsWhatHappened) {
    app_test::TestRegister reg;
    ASSERT_EQ(reg.import_records({app_test::R1}).imported, 1u);
    const struct {
        std::string path;
        std::string text;
        std::string caption;
    } cases[] = {
        {reg.path("out.csv"), "1 line written to " + reg.path("out.csv") + ".", "Export Done"},
        {reg.path("no-such-folder/out.csv"),
         "Cannot create " + reg.path("no-such-folder/out.csv") + ": file not found (error 2).",
         "Error"},
        {"/dev/full", "Cannot write /dev/full: the disk is full (error 112).", "Error"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.path);
        const ExportReport report = export_register(reg.set(), c.path);
        EXPECT_EQ(report.ok(), c.caption != "Error");
        const messages::Notice notice = export_notice(report, c.path);
        EXPECT_EQ(notice.text, c.text);
        EXPECT_EQ(notice.caption, c.caption);
    }
}

TEST(RegisterRoundTrip, ExportEmptyImportGivesTheRegisterBack) {
    app_test::TestRegister reg;
    ASSERT_EQ(reg.import_text(demo_register_csv(600)).imported, 600u);
    const std::vector<CheckRecord> before = records_of(reg.set());
    ASSERT_TRUE(export_register(reg.set(), reg.path("first.csv")).ok());

    // Emptying keeps the checks in a register CSV file beside the register.
    EmptyReport emptied = empty_register(reg.set(), reg.path("empty.dbf"));
    ASSERT_TRUE(emptied.ok()) << emptied.error;
    EXPECT_EQ(reg.record_count(), 0u);
    EXPECT_EQ(listed(reg.set()), 0u);
    EXPECT_EQ(emptied.backup_path.rfind(reg.path(""), 0), 0u) << emptied.backup_path;
    EXPECT_TRUE(std::regex_match(fs::path(emptied.backup_path).filename().string(),
                                 std::regex("ChkREG-before-empty-[0-9]{8}-[0-9]{6}\\.csv")))
        << emptied.backup_path;
    EXPECT_EQ(emptied.backed_up, 600u);

    ImportReport imported = reg.import_text(app_test::read_file(emptied.backup_path));
    ASSERT_EQ(imported.imported, 600u);
    ASSERT_TRUE(imported.skipped.empty());
    ASSERT_TRUE(export_register(reg.set(), reg.path("second.csv")).ok());
    EXPECT_EQ(app_test::read_file(reg.path("second.csv")),
              app_test::read_file(reg.path("first.csv")));

    // The records come back in check-id order with new ids; match them by
    // content: every field but the id and the description's cut tail.
    auto content = [](const CheckRecord &r) {
        return std::string(r.CHKID, 6) + std::string(r.CHKDATE, 8) + std::string(r.VENDORID, 10) +
               std::string(r.NAME, 35) + std::string(r.POID, 8) + std::string(r.DESC, 32) +
               std::string(r.AMOUNT, 15);
    };
    std::vector<std::string> a, b;
    for (const CheckRecord &r : before) a.push_back(content(r));
    for (const CheckRecord &r : records_of(reg.set())) b.push_back(content(r));
    std::sort(a.begin(), a.end());
    std::sort(b.begin(), b.end());
    EXPECT_EQ(a, b);
    for (const CheckRecord &r : records_of(reg.set()))
        EXPECT_EQ(std::string(r.DESC + 32, 3), "   ");
}

TEST(RegisterEmpty, AMissingOrWrongEmptyFileLeavesTheRegisterAlone) {
    app_test::TestRegister reg;
    ASSERT_EQ(reg.import_records({app_test::R1, app_test::R2}).imported, 2u);
    app_test::write_file(reg.path("not-a-dbf"), "hello");
    fs::copy_file(reg.path("ChkREG.DBF"), reg.path("full.dbf"));
    for (const char *source : {"missing.dbf", "not-a-dbf", "full.dbf"}) {
        SCOPED_TRACE(source);
        EmptyReport report = empty_register(reg.set(), reg.path(source));
        EXPECT_FALSE(report.ok());
        EXPECT_FALSE(report.error.empty());
        EXPECT_TRUE(reg.set().is_open());
        EXPECT_EQ(listed(reg.set()), 2u);
        EXPECT_FALSE(fs::exists(reg.path("ChkREG.DBF.new")));
    }
    // Without the check-id index the checks cannot be walked: the data file
    // is kept as a byte copy and the register empties, as its notice of
    // damage advises.
    reg.set().close();
    const std::string data_before = app_test::read_file(reg.path("ChkREG.DBF"));
    fs::remove(reg.path("ChkRCID.IX4"));
    reg.set().open();
    EmptyReport report = empty_register(reg.set(), reg.path("empty.dbf"));
    EXPECT_TRUE(report.ok()) << report.error;
    EXPECT_TRUE(report.data_file_copied);
    EXPECT_NE(report.backup_path.find("ChkREG-before-empty-"), std::string::npos);
    EXPECT_EQ(app_test::read_file(report.backup_path), data_before);
    EXPECT_EQ(reg.record_count(), 0u);
}

TEST(RegisterRebuild, RebuildsEveryIndexAndReopensTheSet) {
    app_test::TestRegister reg;
    ASSERT_EQ(reg.import_records({app_test::R1, app_test::R2, app_test::R3}).imported, 3u);
    DatabaseSet &set = reg.set();
    // Records added while the set is open are in no index until the rebuild.
    app_test::write_file(reg.path("more.csv"), csv_line_from_record(app_test::R4));
    ASSERT_EQ(import_csv(set, reg.path("more.csv")).imported, 1u);
    EXPECT_EQ(listed(set), 3u);

    app_test::write_file(reg.path("chkr.TMP"), "left over from a broken run");
    std::vector<RebuildProgress> seen;
    RebuildReport report =
        rebuild_all_indexes(set, [&](const RebuildProgress &p) { seen.push_back(p); });
    ASSERT_TRUE(report.ok());
    EXPECT_FALSE(fs::exists(reg.path("chkr.TMP")));
    EXPECT_TRUE(set.is_open());
    for (SortOrder order : {SortOrder::Date, SortOrder::VendorName, SortOrder::PONumber,
                            SortOrder::Description, SortOrder::Amount, SortOrder::VendorID,
                            SortOrder::CheckID})
        EXPECT_EQ(listed(set, order), 4u) << sort_order_caption(order);
    for (const IndexFileInfo &info : kIndexFiles)
        EXPECT_EQ(set.index(info.index)->header.key_count, 4u) << info.file_name;

    // Progress: every index reports, in the rebuild order.
    ASSERT_FALSE(seen.empty());
    std::vector<std::string> files;
    for (const RebuildProgress &p : seen) {
        EXPECT_EQ(p.steps, kIndexCount);
        EXPECT_LE(p.percent, 100u);
        if (files.empty() || files.back() != p.file_name) files.push_back(p.file_name);
    }
    std::vector<std::string> order;
    for (RegisterIndex which : kRebuildOrder) order.push_back(index_info(which).file_name);
    EXPECT_EQ(files, order);
}

TEST(RegisterRebuild, WithoutADataFileNoIndexIsDeleted) {
    app_test::TestRegister reg;
    ASSERT_EQ(reg.import_records({app_test::R1}).imported, 1u);
    reg.set().close();
    fs::rename(reg.path("ChkREG.DBF"), reg.path("aside.dbf"));
    RebuildReport report = rebuild_all_indexes(reg.set());
    EXPECT_EQ(report.failures.size(), kIndexCount);
    EXPECT_EQ(report.failures.front().result, static_cast<std::uint32_t>(KVL_WIN_FILE_NOT_FOUND));
    for (const IndexFileInfo &info : kIndexFiles) EXPECT_TRUE(fs::exists(reg.path(info.file_name)));
    EXPECT_FALSE(reg.set().is_open());  // it was closed, and stays so
}

}  // namespace

namespace {

TEST(ReadOnlyRegister, SearchesAndExportsButChangesNothing) {
    using app_test::read_file;
    for (std::uint32_t refusal : {KVL_WIN_WRITE_PROTECT, KVL_WIN_ACCESS_DENIED}) {
        SCOPED_TRACE(refusal);
        app_test::TestRegister reg;
        ASSERT_EQ(reg.import_records({app_test::R1, app_test::R2}).imported, 2u);
        reg.set().close();
        std::vector<std::string> files = {kDataFileName};
        for (const IndexFileInfo &info : kIndexFiles) files.push_back(info.file_name);
        std::vector<std::string> before;
        for (const std::string &f : files) before.push_back(read_file(reg.path(f)));
        app_test::write_file(reg.path("more.csv"), csv_line_from_record(app_test::R3));

        kvl_test::MemoryLayer faults(kvl_test::MemoryLayer::kBuiltIn);
        faults.refuse_writable_opens(refusal);
        DatabaseSet set(reg.path(""), faults.table());
        set.open();
        EXPECT_TRUE(set.failures().empty());
        EXPECT_TRUE(set.read_only());
        EXPECT_EQ(listed(set, SortOrder::VendorName), 2u);
        EXPECT_EQ(export_register(set, reg.path("out.csv")).written, 2u);

        EXPECT_EQ(import_csv(set, reg.path("more.csv")).error, messages::kReadOnlyRegister);
        EXPECT_EQ(empty_register(set, reg.path("empty.dbf")).error, messages::kReadOnlyRegister);
        EXPECT_EQ(rebuild_all_indexes(set).error, messages::kReadOnlyRegister);
        EXPECT_EQ(listed(set), 2u);
        set.close();
        for (std::size_t i = 0; i < files.size(); ++i)
            EXPECT_EQ(read_file(reg.path(files[i])), before[i]) << files[i];
    }
}

}  // namespace
