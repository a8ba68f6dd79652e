// A data file made, filled, changed and read back entirely through a
// caller's FileLayerTable: nothing may reach the real file system.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "engine/data/data_test_util.h"
#include "engine/korval32_control.h"
#include "support/memory_layer.h"
#include "support/temp_dir.h"

namespace {

using kvl_test::DataFile;
using kvl_test::MemoryLayer;
using kvl_test::record_image;

void round_trip(bool wide) {
    kvl_test::TempDir dir;
    const std::string path = dir.path("ChkREG.DBF");  // a real, writable place
    MemoryLayer fs(wide);
    auto fields = kvl_test::register_fields();
    ASSERT_EQ(KvlDataCreateFile(3, 8, fields.data(), path.c_str(), 0, fs.table()), 0u);

    DbfHeader header{};
    int32_t count = 0;
    ASSERT_EQ(KvlDataInfoFile(path.c_str(), 0, &header, &count, fs.table()), 0u);
    ASSERT_EQ(count, 8);

    {
        DataFile data(path, static_cast<uint32_t>(count), fs.table());
        ASSERT_EQ(data.open(), 0u);
        for (int i = 1; i <= 40; ++i) {
            auto rec = record_image(124, std::to_string(i));
            uint32_t number = 0;
            ASSERT_EQ(KvlDataAddRecord(data.rec(), rec.data(), &number), 0u);
        }
        auto changed = record_image(124, "changed");
        ASSERT_EQ(KvlDataUpdateRecord(data.rec(), 7, changed.data()), 0u);
        ASSERT_EQ(KvlDataMarkRecord(data.rec(), 9, '*'), 0u);
        ASSERT_EQ(KvlDataFlushHeader(data.rec()), 0u);
        ASSERT_EQ(KvlDataDebumpRecord(data.rec(), 40), 0u);
        ASSERT_EQ(KvlDataCopyHeader(data.rec(), (path + ".copy").c_str()), 0u);
        ASSERT_EQ(KvlDataCloseFile(data.rec()), 0u);
    }
    {
        DataFile data(path, 8, fs.table(), 0);
        ASSERT_EQ(data.open(0x80), 0u);
        ASSERT_EQ(data->header.record_count, 39u);
        std::vector<uint8_t> rec(124);
        for (uint32_t i = 1; i <= 39; ++i) {
            ASSERT_EQ(KvlDataGetRecord(data.rec(), i, rec.data()), 0u);
            std::string text = i == 7 ? "changed" : std::to_string(i);
            EXPECT_EQ(rec, record_image(124, text, i == 9 ? '*' : ' ')) << i;
        }
        ASSERT_EQ(KvlDataReadHeader(data.rec()), 0u);
        ASSERT_EQ(KvlDataCloseFile(data.rec()), 0u);
    }
    EXPECT_EQ(fs.file(path).size(), 289u + 39 * 124 + 1);
    EXPECT_EQ(fs.open_handles(), 0u);
    EXPECT_TRUE(fs.exists(path + ".copy"));
    EXPECT_FALSE(std::filesystem::exists(path));
    EXPECT_FALSE(std::filesystem::exists(path + ".copy"));
    EXPECT_TRUE(std::filesystem::is_empty(dir.root()));
}

TEST(DataMemoryLayer, RoundTripWith32BitPositions) { round_trip(false); }
TEST(DataMemoryLayer, RoundTripWith64BitPositions) { round_trip(true); }

// The owners of control records close what is still open when they go, and
// a move hands the record itself on without closing it.
TEST(DataMemoryLayer, ControlOwnersCloseWhatIsOpen) {
    MemoryLayer fs;
    auto fields = kvl_test::register_fields();
    ASSERT_EQ(KvlDataCreateFile(3, 8, fields.data(), "R.DBF", 0, fs.table()), ERR_NONE);
    korval32::DataControl data(8);
    data->file_name = "R.DBF";
    data->file_layer = fs.table();
    ASSERT_EQ(KvlDataOpenFile(data.get(), 0), ERR_NONE);
    char expression[] = "NAME";
    ASSERT_EQ(KvlIx4CreateFile(512, KVL_SORT_BYTES, 850, 1, nullptr, expression, data.get(),
                               "R.IX4", nullptr, 0, fs.table()),
              ERR_NONE);
    {
        korval32::IndexControl index(512);
        index->file_name = "R.IX4";
        index->data_link = data.get();
        index->file_layer = fs.table();
        ASSERT_EQ(KvlIx4OpenFile(index.get(), 0), ERR_NONE);
        const IndexHandle handle = index.get();
        korval32::IndexControl moved = std::move(index);
        EXPECT_EQ(moved.get(), handle);
        EXPECT_EQ(fs.open_handles(), 2u);
    }
    EXPECT_EQ(fs.open_handles(), 1u);
    EXPECT_EQ(data.close(), ERR_NONE);
    EXPECT_TRUE(data.empty());
    EXPECT_EQ(fs.open_handles(), 0u);
}

}  // namespace
