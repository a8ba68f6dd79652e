// The dbfdump tool: its documented output for a file made by the engine,
// and its one-line failure for a file it cannot read.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <sys/wait.h>

#include "engine/data/data_test_util.h"
#include "engine/korval32.h"
#include "support/temp_dir.h"

namespace {

struct ToolRun {
    int status;
    std::string out;
};

ToolRun dbfdump(const std::string &args) {
    const std::string line = std::string(DBFDUMP_PATH) + " " + args;
    ToolRun run{-1, {}};
    FILE *pipe = ::popen(line.c_str(), "r");
    if (!pipe) return run;
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) run.out.append(buffer, n);
    const int status = ::pclose(pipe);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

TEST(Dbfdump, HeaderFieldsAndCsvRecords) {
    kvl_test::TempDir dir;
    const std::string path = dir.path("D.DBF");
    auto fields = kvl_test::descriptors({{"CODE", 'C', 4}, {"NOTE", 'C', 12}, {"QTY", 'N', 5, 1}});
    ASSERT_EQ(KvlDataCreateFile(3, 3, fields.data(), path.c_str(), 0, nullptr), 0u);
    {
        kvl_test::DataFile data(path, 3);
        ASSERT_EQ(data.open(), 0u);
        for (const char *text : {"A1  plain         1.5", "B2  a, b          2.0",
                                 "C3  say \"hi\"      3.0", "    ", "E5  line\nbreak   10.0"}) {
            auto rec = kvl_test::record_image(22, text);
            uint32_t number = 0;
            ASSERT_EQ(KvlDataAddRecord(data.rec(), rec.data(), &number), 0u);
        }
        ASSERT_EQ(KvlDataMarkRecord(data.rec(), 2, '*'), 0u);
        ASSERT_EQ(KvlDataCloseFile(data.rec()), 0u);
    }
    const auto bytes = kvl_test::read_bytes(path);
    char date[32];
    std::snprintf(date, sizeof date, "date: %04d-%02d-%02d\n", 1900 + bytes[1], bytes[2],
                  bytes[3]);
    const std::string expected = std::string("version: 0x03\n") + date +
                                 "records: 5\n"
                                 "header length: 129\n"
                                 "record length: 22\n"
                                 "fields: 3\n"
                                 "field: CODE C 4 0 1\n"
                                 "field: NOTE C 12 0 5\n"
                                 "field: QTY N 5 1 17\n"
                                 "\n"
                                 ",A1,plain,  1.5\n"
                                 "*,B2,\"a, b\",  2.0\n"
                                 ",C3,\"say \"\"hi\"\"\",  3.0\n"
                                 ",,,\n"
                                 ",E5,\"line\nbreak\", 10.0\n";
    const ToolRun run = dbfdump("'" + path + "'");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, expected);
}

TEST(Dbfdump, UnreadableFileExitsNonZeroNamingTheResult) {
    kvl_test::TempDir dir;
    const std::string path = dir.path("text.dbf");
    const std::string text = "no table here, just forty-odd bytes of text\n";
    kvl_test::write_bytes(path, std::vector<uint8_t>(text.begin(), text.end()));
    ToolRun run = dbfdump("'" + path + "' 2>&1");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out,
              "dbfdump: " + path + ": result " + std::to_string(KVL_WIN_HANDLE_EOF) + "\n");

    run = dbfdump("'" + dir.path("missing.dbf") + "' 2>&1");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "dbfdump: " + dir.path("missing.dbf") + ": result 2\n");
    EXPECT_EQ(dbfdump("2>/dev/null").status, 2);
}

}  // namespace
