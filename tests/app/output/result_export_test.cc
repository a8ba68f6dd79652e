// The result export: the selected check lines of a search, converted and
// written, and read back by the import; what the user is told.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/output/messages.h"
#include "app/output/result_export.h"
#include "app/search/result_lines.h"
#include "app/search/result_list.h"
#include "app/search/search.h"
#include "app/support/register_sample.h"
#include "app/support/test_register.h"

namespace {

using namespace ledgrove;
using namespace app_test;
using kvl_test::TempDir;

TEST(ResultExport, SelectedLinesInTheGivenOrder) {
    ResultList list;
    for (const std::string *line : {&L1, &L2, &L3, &L4}) list.append(*line);
    EXPECT_EQ(result_export_text(list, {0, 2, 3}), C1 + C3 + C4);
    EXPECT_EQ(result_export_text(list, {3}), C4);
    EXPECT_EQ(result_export_text(list, {1, 9}), C2);  // past the end: passed over
    EXPECT_EQ(result_export_text(list, {}), "");
}

TEST(ResultExport, WrittenFileImportsAgain) {
    TestRegister reg;
    ASSERT_EQ(reg.import_records({R1, R2, R3, R4}).imported, 4u);
    SearchInputs in;
    in.from = "20000101";
    in.to = "20991231";
    in.subtotals = true;
    ResultList list;
    search_records(reg.set(), SortOrder::VendorName, in, list);
    // Every line selected: the separator, subtotal and blank lines too.
    std::vector<std::size_t> selected(list.size());
    for (std::size_t i = 0; i < list.size(); ++i) selected[i] = i;
    ASSERT_GT(selected.size(), 4u);

    const std::string text = result_export_text(list, selected);
    const WriteOutcome written = write_export_file(reg.path("sel.csv"), text);
    ASSERT_EQ(written.status, WriteStatus::Written);
    EXPECT_EQ(written.notice.text, "4 lines written to " + reg.path("sel.csv") + ".");
    EXPECT_EQ(read_file(reg.path("sel.csv")), text);

    TestRegister again;
    ImportReport report = again.import_text(read_file(reg.path("sel.csv")));
    EXPECT_EQ(report.imported, 4u);
    EXPECT_TRUE(report.skipped.empty());
    EXPECT_EQ(report.blank_lines, 0u);
    ResultList relisted;
    in.subtotals = false;
    search_records(again.set(), SortOrder::VendorName, in, relisted);
    ASSERT_EQ(relisted.size(), 4u);
    EXPECT_EQ(result_export_text(relisted, {0, 1, 2, 3}), text);
}

TEST(ResultExport, FailuresShowTheirMessages) {
    TempDir dir;
    const struct {
        std::string path;
        WriteStatus status;
        std::string text;
    } cases[] = {
        {dir.path("missing/out.csv"), WriteStatus::OpenFailed,
         "Cannot create " + dir.path("missing/out.csv") + ": file not found (error 2)."},
        {dir.root(), WriteStatus::OpenFailed,
         "Cannot create " + dir.root() + ": access denied (error 5)."},
        {"/dev/full", WriteStatus::WriteFailed,
         "Cannot write /dev/full: the disk is full (error 112)."},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.path);
        const WriteOutcome written = write_export_file(c.path, C1);
        EXPECT_EQ(written.status, c.status);
        EXPECT_EQ(written.notice.text, c.text);
        EXPECT_EQ(written.notice.caption, "Error");
    }
}

}  // namespace
