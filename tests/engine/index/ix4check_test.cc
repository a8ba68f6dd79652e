// ix4check: the checker finds each kind of broken rule between an index and
// its data file, and the command reports and exits accordingly.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <string>
#include <vector>

#include "engine/index/record_index_support.h"
#include "support/temp_dir.h"
#include "tools/ix4check/ix4_checker.h"

namespace {

using kvl_test::kNameLength;
using kvl_test::name_key;
using kvl_test::name_record;
using kvl_test::NamesIndex;

ix4check::Report check(NamesIndex &names, uint32_t tag_filter = 0) {
    EXPECT_EQ(KvlIx4FlushHeader(names.index()), 0u);
    EXPECT_EQ(KvlDataFlushHeader(names.data()), 0u);
    ix4check::Options options;
    options.index_path = names.index_path();
    options.data_path = names.data_path();
    options.build_key = kvl_test::build_name;
    options.tag_filter = tag_filter;
    return ix4check::check_index(options);
}

class Ix4Check : public testing::Test {
public:
    void SetUp() override {
        names_.reset();
        std::remove(dir_.path("names.dbf").c_str());
        std::remove(dir_.path("names.ix4").c_str());
        names_ = std::make_unique<NamesIndex>(dir_.root());
        ASSERT_EQ(names_->open_rc, 0u);
        for (uint32_t n = 0; n < 40; ++n)
            ASSERT_EQ(names_->insert("NAME" + std::to_string(100 + n), n), 0u);
        const ix4check::Report report = check(*names_);
        ASSERT_TRUE(report.ok()) << report.text();
        ASSERT_EQ(report.keys, 40u);
        ASSERT_EQ(report.records, 40u);
    }
    IndexControlRecord *index() { return names_->index(); }
    std::string text_after(void (*damage)(Ix4Check &), uint32_t tag_filter = 0) {
        damage(*this);
        const ix4check::Report report = check(*names_, tag_filter);
        EXPECT_FALSE(report.ok());
        return report.text();
    }
    kvl_test::TempDir dir_;
    std::unique_ptr<NamesIndex> names_;
};

TEST_F(Ix4Check, FindsRecordsAndKeysOutOfStep) {
    struct Case {
        const char *what;
        void (*damage)(Ix4Check &);
        uint32_t tag_filter;
        const char *reported;
    } cases[] = {
        {"a record without key",
         [](Ix4Check &t) { ASSERT_EQ(KvlIx4DeleteKey(t.index(), name_key("NAME105").data(), 6), 0u); },
         0, "record 6 has no key"},
        {"a key that is not its record's",
         [](Ix4Check &t) {
             std::vector<uint8_t> r = name_record("OTHER", 1);
             ASSERT_EQ(KvlDataUpdateRecord(t.names_->data(), 7, r.data()), 0u);
         },
         0, "differs from the key of record 7"},
        {"a deleted record that kept its key",
         [](Ix4Check &t) { ASSERT_EQ(KvlDataMarkRecord(t.names_->data(), 8, '*'), 0u); }, '*',
         "record 8 is excluded by the tag filter"},
        {"two keys for one record",
         [](Ix4Check &t) { ASSERT_EQ(KvlIx4StoreKey(t.index(), name_key("ZZZ").data(), 9), 0u); }, 0,
         "record 9 has more than one key"},
        {"a key for a record that does not exist",
         [](Ix4Check &t) { ASSERT_EQ(KvlIx4StoreKey(t.index(), name_key("ZZZ").data(), 41), 0u); },
         0, "points to record 41 of 40"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        SetUp();
        const std::string text = text_after(c.damage, c.tag_filter);
        EXPECT_NE(text.find(c.reported), std::string::npos) << text;
    }
}

TEST_F(Ix4Check, TagFilterExcludesRecordsFromTheIndex) {
    // A deleted record without key is right under the '*' filter and wrong
    // without it.
    ASSERT_EQ(KvlIx4DeleteKey(index(), name_key("NAME110").data(), 11), 0u);
    ASSERT_EQ(KvlDataMarkRecord(names_->data(), 11, '*'), 0u);
    EXPECT_TRUE(check(*names_, '*').ok());
    const ix4check::Report without = check(*names_);
    EXPECT_FALSE(without.ok());
    // A required tag of ' ' says the same for this file.
    EXPECT_TRUE(check(*names_, uint32_t(' ') << 8).ok());
}

TEST_F(Ix4Check, FindsHeaderAndNodeFaults) {
    ASSERT_EQ(KvlIx4FlushHeader(index()), 0u);
    const std::string path = names_->index_path();
    const std::vector<uint8_t> good = kvl_test::read_file(path);
    struct Case {
        const char *what;
        size_t offset;
        uint8_t value;
        const char *reported;
    } cases[] = {
        {"key count", 12, 41, "header counts 41 keys"},
        {"pending bit", 152, 1, "changes pending"},
        {"key length bits in the flags", 41, 10, "bits 8-15"},
        {"bytes after the keys of a node", 1024 + 510, 0x33, "non-zero bytes past"},
        {"next node", 20, 99, "next node is 99"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<uint8_t> file = good;
        file[c.offset] = c.value;
        kvl_test::write_file(path, file);
        ix4check::Options options;
        options.index_path = path;
        const ix4check::Report report = ix4check::check_index(options);
        EXPECT_FALSE(report.ok());
        EXPECT_NE(report.text().find(c.reported), std::string::npos) << report.text();
    }
    kvl_test::write_file(path, good);
}

// Runs the ix4check command; returns its exit status and output.
std::pair<int, std::string> run_tool(const std::string &arguments) {
    const std::string command = std::string(IX4CHECK_PATH) + " " + arguments + " 2>&1";
    FILE *pipe = popen(command.c_str(), "r");
    std::string out;
    char buffer[256];
    while (pipe && fgets(buffer, sizeof buffer, pipe)) out += buffer;
    const int status = pipe ? pclose(pipe) : -1;
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, out};
}

TEST_F(Ix4Check, CommandExitsNonZeroOnAnyProblem) {
    ASSERT_EQ(KvlIx4FlushHeader(index()), 0u);
    ASSERT_EQ(KvlDataFlushHeader(names_->data()), 0u);
    auto [status, out] = run_tool(names_->index_path() + " -");
    EXPECT_EQ(status, 0) << out;
    EXPECT_EQ(out, "ok: 40 keys, 3 tree nodes, 0 free nodes, 0 unused nodes, depth 2\n");

    EXPECT_EQ(run_tool("").first, 2);
    EXPECT_EQ(run_tool(names_->index_path() + " - --bogus").first, 2);
    EXPECT_EQ(run_tool(dir_.path("missing.ix4") + " -").first, 1);

    std::vector<uint8_t> file = kvl_test::read_file(names_->index_path());
    file[12] = 7;
    kvl_test::write_file(dir_.path("bad.ix4"), file);
    std::tie(status, out) = run_tool(dir_.path("bad.ix4") + " - --deleted");
    EXPECT_EQ(status, 1);
    EXPECT_NE(out.find("header counts 7 keys, the tree holds 40"), std::string::npos) << out;
}

}  // namespace
