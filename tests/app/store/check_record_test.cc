// The record layout, the register's file set and the result orders.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "app/store/check_record.h"
#include "app/store/register_files.h"

namespace {

using namespace ledgrove;

TEST(CheckRecord, FieldTableMatchesTheDataFileLayout) {
    const struct {
        const char *name;
        std::size_t offset, width;
    } expected[] = {{"ID", 1, 6},    {"CHKID", 7, 6}, {"CHKDATE", 13, 8}, {"VENDORID", 21, 10},
                    {"NAME", 31, 35}, {"POID", 66, 8}, {"DESC", 74, 35},   {"AMOUNT", 109, 15}};
    ASSERT_EQ(kFields.size(), std::size(expected));
    std::size_t end = 1;  // after the delete tag
    for (std::size_t i = 0; i < kFields.size(); ++i) {
        EXPECT_STREQ(kFields[i].name, expected[i].name);
        EXPECT_EQ(kFields[i].offset, expected[i].offset) << expected[i].name;
        EXPECT_EQ(kFields[i].width, expected[i].width) << expected[i].name;
        EXPECT_EQ(kFields[i].offset, end) << "fields follow each other";
        end = kFields[i].offset + kFields[i].width;
    }
    EXPECT_EQ(end, sizeof(CheckRecord));
}

TEST(CheckRecord, FieldTextStopsAtZeroByteAndSetFieldPadsOrCuts) {
    CheckRecord r = blank_record();
    EXPECT_EQ(r.tag, ' ');
    set_field(r.NAME, "ACME");
    EXPECT_EQ(std::string(r.NAME, 35), "ACME" + std::string(31, ' '));
    set_field(r.CHKID, "12345678");
    EXPECT_EQ(std::string(r.CHKID, 6), "123456");
    EXPECT_EQ(std::string(r.CHKDATE, 8), std::string(8, ' ')) << "the cut wrote past its field";

    std::memset(r.NAME, 0, sizeof r.NAME);
    std::memcpy(r.NAME, "ACME", 4);
    EXPECT_EQ(field_text(r.NAME), "ACME");
    EXPECT_EQ(field_text(r, Field::NAME), "ACME");
    EXPECT_EQ(field_text(r, Field::CHKID), "123456");
    EXPECT_EQ(field_text(r, Field::AMOUNT), std::string(15, ' '));
}

TEST(RegisterFiles, EachOrderHasItsIndexAndCaption) {
    const struct {
        int number;
        const char *caption;
        const char *file;
        const char *expression;
        std::size_t key_length;
    } orders[] = {
        {0, "Date", "ChkREG.IX4", "SUBSTR(CHKDATE,1,8)+SUBSTR(ID,1,6)", 14},
        {1, "Vendor Name", "ChkRNAM.IX4", "SUBSTR(NAME,1,35)+SUBSTR(ID,1,6)", 41},
        {2, "PO Number", "ChkRPO.IX4", "SUBSTR(POID,1,8)+SUBSTR(ID,1,6)", 14},
        {3, "Description", "ChkRDSC.IX4", "SUBSTR(DESC,1,35)+SUBSTR(ID,1,6)", 41},
        {4, "Amount", "ChkRAMT.IX4", "SUBSTR(AMOUNT,1,15)+SUBSTR(ID,1,6)", 21},
        {5, "Vendor ID", "ChkRVND.IX4", "SUBSTR(VENDORID,1,10)+SUBSTR(ID,1,6)", 16},
        {6, "Check ID", "ChkRCID.IX4", "SUBSTR(CHKID,1,6)+SUBSTR(ID,1,6)", 12},
    };
    for (const auto &o : orders) {
        SortOrder order;
        ASSERT_TRUE(sort_order_from_number(o.number, &order));
        EXPECT_EQ(sort_order_caption(order), o.caption);
        const IndexFileInfo &info = index_info(index_for(order));
        EXPECT_STREQ(info.file_name, o.file);
        EXPECT_STREQ(info.key_expression, o.expression);
        EXPECT_EQ(key_length(info.index), o.key_length) << o.file;
    }
    SortOrder order;
    EXPECT_FALSE(sort_order_from_number(-1, &order));
    EXPECT_FALSE(sort_order_from_number(7, &order));
    EXPECT_STREQ(index_info(kLastIdIndex).key_expression, "SUBSTR(ID,1,6)");
    EXPECT_FALSE(index_info(kLastIdIndex).serves);
    EXPECT_STREQ(index_info(kExportIndex).file_name, "ChkRCID.IX4");
}

std::string names(const IndexOrder &order) {
    std::string out;
    for (RegisterIndex i : order) out += std::string(index_info(i).file_name) + " ";
    return out;
}

TEST(RegisterFiles, OpenCloseAndRebuildOrders) {
    EXPECT_EQ(names(kOpenOrder),
              "ChkREG.IX4 ChkRIDS.IX4 ChkRNAM.IX4 ChkRCID.IX4 ChkRVND.IX4 ChkRPO.IX4 "
              "ChkRDSC.IX4 ChkRAMT.IX4 ");
    EXPECT_EQ(names(kCloseOrder),
              "ChkRCID.IX4 ChkRVND.IX4 ChkRPO.IX4 ChkRDSC.IX4 ChkRNAM.IX4 ChkRAMT.IX4 "
              "ChkRIDS.IX4 ChkREG.IX4 ");
    EXPECT_EQ(names(kRebuildOrder),
              "ChkREG.IX4 ChkRIDS.IX4 ChkRCID.IX4 ChkRVND.IX4 ChkRPO.IX4 ChkRDSC.IX4 "
              "ChkRNAM.IX4 ChkRAMT.IX4 ");
    for (std::size_t i = 0; i < kIndexCount; ++i)
        EXPECT_EQ(static_cast<std::size_t>(kIndexFiles[i].index), i) << "table out of order";
}

}  // namespace
