// The register's file set: opening and closing any number of times, and
// what a missing file does to the searches.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "app/search/result_list.h"
#include "app/search/search.h"
#include "app/store/database_set.h"
#include "app/support/records.h"
#include "app/support/test_register.h"

namespace {

using namespace ledgrove;
using app_test::make_record;

const std::vector<CheckRecord> kChecks = {
    make_record("000001", "20070105", "V1", "ALPHA", "P1", "ONE", "000000000001.00"),
    make_record("000002", "20070106", "V2", "BETA", "P2", "TWO", "000000000002.00"),
};

constexpr SortOrder kOrders[] = {SortOrder::Date,     SortOrder::VendorName, SortOrder::PONumber,
                                 SortOrder::Description, SortOrder::Amount, SortOrder::VendorID,
                                 SortOrder::CheckID};

std::size_t count(DatabaseSet &set, SortOrder order) {
    SearchInputs in;
    in.from = "20000101";
    in.to = "20991231";
    ResultList list;
    return search_records(set, order, in, list).line_count;
}

TEST(DatabaseSet, OpenAndCloseMayBeRepeated) {
    app_test::TestRegister reg;
    ASSERT_EQ(reg.import_records(kChecks).imported, 2u);
    DatabaseSet set(reg.path(""));
    set.close();  // closed: nothing to do
    EXPECT_FALSE(set.is_open());
    for (int i = 0; i < 3; ++i) {
        set.open();  // over an open set: closes it first
        EXPECT_TRUE(set.is_open());
        EXPECT_TRUE(set.failures().empty());
        EXPECT_EQ(set.last_result(), 0u);
        EXPECT_EQ(set.data()->header.record_count, 2u);
        for (const IndexFileInfo &info : kIndexFiles) EXPECT_TRUE(set.index_open(info.index));
        EXPECT_EQ(count(set, SortOrder::Date), 2u);
    }
    set.close();
    set.close();
    EXPECT_FALSE(set.is_open());
    EXPECT_FALSE(set.data_open());
}

TEST(DatabaseSet, AMissingFileFailsOnlyWhatNeedsIt) {
    const struct {
        const char *missing;
        std::size_t working_orders;  // orders that still list both checks
    } cases[] = {
        {"ChkRNAM.IX4", 6},
        {"ChkRAMT.IX4", 6},
        {"ChkRIDS.IX4", 7},  // serves no order
        {"ChkREG.DBF", 0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.missing);
        app_test::TestRegister reg;
        ASSERT_EQ(reg.import_records(kChecks).imported, 2u);
        reg.set().close();
        std::filesystem::remove(reg.path(c.missing));

        DatabaseSet set(reg.path(""));
        set.open();
        ASSERT_FALSE(set.failures().empty());
        EXPECT_EQ(set.failures().front().file_name, c.missing);
        EXPECT_EQ(set.failures().front().result, static_cast<std::uint32_t>(KVL_WIN_FILE_NOT_FOUND));
        std::size_t working = 0;
        for (SortOrder order : kOrders) {
            const std::size_t n = count(set, order);
            EXPECT_TRUE(n == 0 || n == 2) << sort_order_caption(order);
            if (n == 2) {
                ++working;
            } else {
                EXPECT_NE(set.last_result(), 0u);
            }
        }
        EXPECT_EQ(working, c.working_orders);
        if (std::string(c.missing) == "ChkRNAM.IX4") {
            EXPECT_EQ(count(set, SortOrder::VendorName), 0u);
        }
    }
}

}  // namespace
