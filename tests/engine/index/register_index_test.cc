// Indexes over a register data file with real key expressions, used the way
// the program uses the engine: create with the system's collation, add
// records with KvlIx4Insert, search from a date with GetEqualOrGreater and
// GetNext, find the highest key with GetLast.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/data/data_test_util.h"
#include "engine/index/index_support.h"
#include "engine/korval32_control.h"
#include "support/result_name.h"
#include "support/temp_dir.h"
#include "tools/ix4check/ix4_checker.h"

namespace {

using kvl_test::DataFile;
using kvl_test::IndexRecord;
using kvl_test::le32;
using kvl_test::Result;

constexpr uint32_t kRecord = 124;

// A register record: ID, CHKID, CHKDATE, VENDORID, NAME, POID, DESC, AMOUNT.
std::vector<uint8_t> check_record(uint32_t id, const std::string &date, const std::string &name,
                                  char tag = ' ') {
    char text[200];
    std::snprintf(text, sizeof text, "%06u%06u%-8s%-10s%-35s%-8s%-35s%15s", id, id + 500,
                  date.c_str(), "V1", name.c_str(), "PO", "DESC", "12.50");
    return kvl_test::record_image(kRecord, text, tag);
}

class RegisterIndex : public testing::Test {
protected:
    void SetUp() override {
        std::vector<FieldDescriptor> fields = kvl_test::register_fields();
        data_path_ = dir_.path("ChkREG.DBF");
        ASSERT_EQ(KvlDataCreateFile(0x03, 8, fields.data(), data_path_.c_str(), 0, nullptr), 0u);
        data_ = std::make_unique<DataFile>(data_path_, 8);
        ASSERT_EQ(data_->open(KVL_STATE_SKIP_DELETED), 0u);
        ASSERT_EQ(data_->rec()->header.record_length, kRecord);
    }
    // Creates an index as the program does: node size 512, sort function 2,
    // the system's code page, country and collation table.
    uint32_t create(const std::string &name, const char *expression, uint32_t flags = 2) {
        std::string text = expression;
        return KvlIx4CreateFile(512, flags, 0, 0, nullptr, text.data(), data_->rec(),
                                dir_.path(name).c_str(), nullptr, 0, nullptr);
    }
    std::unique_ptr<IndexRecord> open(const std::string &name) {
        auto ix = std::make_unique<IndexRecord>(512, data_->rec());
        EXPECT_EQ(ix->open(dir_.path(name)), 0u);
        return ix;
    }
    uint32_t insert(IndexRecord &ix, const std::vector<uint8_t> &record) {
        std::vector<uint8_t> copy = record;
        char key[200];
        uint32_t number = 0, state = 0;
        return KvlIx4Insert(ix.get(), key, &number, copy.data(), &state);
    }

    kvl_test::TempDir dir_;
    std::string data_path_;
    std::unique_ptr<DataFile> data_;
};

TEST_F(RegisterIndex, CreateCompilesTheExpressionIntoTheHeader) {
    const uint32_t allocated = KvlGetVar(-1, nullptr), freed = KvlGetVar(-2, nullptr);
    ASSERT_EQ(create("date.ix4", " substr(chkdate,1,8) + substr(id,1,6) "), 0u);
    EXPECT_EQ(KvlGetVar(-1, nullptr) - allocated, KvlGetVar(-2, nullptr) - freed);
    const std::vector<uint8_t> file = kvl_test::read_file(dir_.path("date.ix4"));
    ASSERT_EQ(file.size(), 1024u);
    EXPECT_EQ(le32(&file[24]), 14u);  // key length
    EXPECT_EQ(le32(&file[28]), 23u);
    EXPECT_NE(le32(&file[32]), 0u);   // the system's code page
    EXPECT_EQ(le32(&file[40]), 2u);
    EXPECT_EQ(le32(&file[44]), 2u);   // segments
    EXPECT_EQ(file[48], 'C');
    EXPECT_EQ(file[49], 8);
    EXPECT_EQ(file[50] | file[51] << 8, 13);  // CHKDATE's offset
    EXPECT_EQ(std::string(reinterpret_cast<const char *>(&file[384])),
              "SUBSTR(CHKDATE,1,8)+SUBSTR(ID,1,6)");
    EXPECT_EQ(le32(&file[764]), 256u);
    EXPECT_EQ(file[768 + 'a'], file[768 + 'A']);  // the table folds case
}

TEST_F(RegisterIndex, CreateRefusalsWithADataFile) {
    const uint32_t allocated = KvlGetVar(-1, nullptr), freed = KvlGetVar(-2, nullptr);
    EXPECT_EQ(Result(create("bad.ix4", "NOFIELD")), ERR_EXPR_UNKNOWN_NAME);
    EXPECT_EQ(Result(create("bad.ix4", "SUBSTR(NAME,1,40)")), ERR_EXPR_RANGE);
    EXPECT_EQ(KvlGetVar(-1, nullptr) - allocated, KvlGetVar(-2, nullptr) - freed);
    EXPECT_FALSE(std::filesystem::exists(dir_.path("bad.ix4")));

    korval32::DataControl not_data(8);
    DataControlRecord *fake = not_data.get();
    char text[] = "NAME";
    EXPECT_EQ(Result(KvlIx4CreateFile(512, 2, 850, 1, nullptr, text, fake,
                                      dir_.path("x.ix4").c_str(), nullptr, 0, nullptr)),
              ERR_FILE_NOT_OPEN);
    fake->os_handle = data_->rec()->os_handle;
    EXPECT_EQ(Result(KvlIx4CreateFile(512, 2, 850, 1, nullptr, text, fake,
                                      dir_.path("x.ix4").c_str(), nullptr, 0, nullptr)),
              ERR_WRONG_FILE_KIND);
    fake->os_handle = 0;  // borrowed: the data file's own record closes it
}

TEST_F(RegisterIndex, DateSearchAsTheProgramRunsIt) {
    ASSERT_EQ(create("date.ix4", "SUBSTR(CHKDATE,1,8)+SUBSTR(ID,1,6)"), 0u);
    ASSERT_EQ(create("name.ix4", "UPPER(NAME)+SUBSTR(ID,1,6)"), 0u);
    auto by_date = open("date.ix4");
    auto by_name = open("name.ix4");
    const char *dates[] = {"20240105", "20231231", "20240301", "20240105", "20240220"};
    const char *vendors[] = {"acme", "Zeta", "beta", "Acme", "delta"};
    for (uint32_t i = 0; i < 5; ++i) {
        const std::vector<uint8_t> record = check_record(i + 1, dates[i], vendors[i]);
        // The program adds to the data file and indexes it: one owning
        // insert, the other key stored for the same record.
        ASSERT_EQ(insert(*by_date, record), 0u);
        char key[200];
        std::vector<uint8_t> copy = record;
        ASSERT_EQ(KvlIx4KeyForRecord(by_name->get(), key, 0, copy.data()), 0u);
        ASSERT_EQ(KvlIx4StoreKey(by_name->get(), key, i + 1), 0u);
    }
    ASSERT_EQ(KvlDataMarkRecord(data_->rec(), 4, '*'), 0u);

    // From 20240101 to 20240228: records 1 and 5 (4 is deleted).
    std::vector<uint32_t> found;
    char key[200] = "20240101";
    std::memset(key + 8, ' ', 6);
    uint32_t number = 0;
    std::vector<uint8_t> record(kRecord);
    uint32_t rc = KvlIx4GetEqualOrGreater(by_date->get(), key, &number, record.data());
    for (; rc == 0 && std::string(key, 8) <= "20240228";
         rc = KvlIx4GetNext(by_date->get(), key, &number, record.data()))
        found.push_back(number);
    EXPECT_EQ(found, (std::vector<uint32_t>{1, 5}));

    ASSERT_EQ(KvlIx4GetLast(by_date->get(), key, &number, record.data()), 0u);
    EXPECT_EQ(number, 3u);

    // Under the collation, upper-cased names order ACME(1), ACME(4, deleted),
    // BETA, DELTA, ZETA.
    found.clear();
    for (rc = KvlIx4GetFirst(by_name->get(), key, &number, record.data()); rc == 0;
         rc = KvlIx4GetNext(by_name->get(), key, &number, record.data()))
        found.push_back(number);
    EXPECT_EQ(Result(rc), ERR_END_OF_INDEX);
    EXPECT_EQ(found, (std::vector<uint32_t>{1, 3, 5, 2}));

    // The indexes agree with the records, once the deleted record is
    // excluded; ix4check says so, and finds the deleted record's key.
    ASSERT_EQ(KvlIx4FlushHeader(by_date->get()), 0u);
    ASSERT_EQ(KvlDataFlushHeader(data_->rec()), 0u);
    ix4check::Options options;
    options.index_path = dir_.path("date.ix4");
    options.data_path = data_path_;
    EXPECT_TRUE(ix4check::check_index(options).ok()) << ix4check::check_index(options).text();
    options.tag_filter = '*';
    const ix4check::Report report = ix4check::check_index(options);
    EXPECT_NE(report.text().find("record 4 is excluded"), std::string::npos) << report.text();
    std::vector<uint8_t> key4(14);
    std::memcpy(key4.data(), "20240105000004", 14);
    ASSERT_EQ(KvlIx4DeleteKey(by_date->get(), key4.data(), 4), 0u);
    ASSERT_EQ(KvlIx4FlushHeader(by_date->get()), 0u);
    const std::string command = std::string(IX4CHECK_PATH) + " " + options.index_path + " " +
                                data_path_ + " --deleted >/dev/null";
    const int status = std::system(command.c_str());
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

TEST_F(RegisterIndex, CopyMakesAnEmptyIndexLikeTheOpenOne) {
    ASSERT_EQ(create("date.ix4", "SUBSTR(CHKDATE,1,8)+SUBSTR(ID,1,6)", 2 | KVL_IX_DUPLICATES), 0u);
    auto ix = open("date.ix4");
    ASSERT_EQ(insert(*ix, check_record(1, "20240101", "x")), 0u);
    ASSERT_EQ(KvlIx4CopyHeader(ix->get(), dir_.path("copy.ix4").c_str()), 0u);
    const std::vector<uint8_t> original = kvl_test::read_file(dir_.path("date.ix4"));
    const std::vector<uint8_t> copy = kvl_test::read_file(dir_.path("copy.ix4"));
    ASSERT_EQ(copy.size(), 1024u);
    EXPECT_EQ(le32(&copy[12]), 0u);
    EXPECT_EQ(le32(&copy[40]), 2u | KVL_IX_DUPLICATES);
    // Geometry, segments, expression and collation are the original's.
    EXPECT_EQ(std::memcmp(&copy[24], &original[24], 144 - 24), 0);
    EXPECT_EQ(std::memcmp(&copy[384], &original[384], 1024 - 384), 0);
}

}  // namespace
