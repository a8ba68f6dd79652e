// A register with a missing or damaged file: the set still opens and the
// other files still search, the notice for the program names the file and
// what it costs, and ledgrove-cli says the same in one line on standard
// error with a non-zero exit (a search in an order that does not need the
// file still works).
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "app/maint/demo_register.h"
#include "app/maint/empty_data_file.h"
#include "app/maint/empty_register.h"
#include "app/maint/import.h"
#include "app/maint/rebuild.h"
#include "app/store/database_set.h"
#include "app/store/open_notice.h"
#include "support/engine_files.h"

namespace {

using namespace ledgrove;
namespace fs = std::filesystem;
using Bytes = std::vector<char>;

Bytes read_all(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}
void write_all(const std::string &path, const Bytes &bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// A register of 300 demo checks in a scratch directory.
class SoundRegister {
public:
    SoundRegister() {
        EXPECT_EQ(create_empty_data_file(path("empty.dbf")), 0u);
        DatabaseSet set(dir_.root());
        EXPECT_TRUE(empty_register(set, path("empty.dbf")).ok());
        std::ofstream csv(path("in.csv"), std::ios::binary);
        DemoRegister demo(300, 5);
        std::string line;
        while (demo.next_line(line)) csv << line;
        csv.close();
        set.open();
        EXPECT_EQ(import_csv(set, path("in.csv")).imported, 300u);
        EXPECT_TRUE(rebuild_all_indexes(set).ok());
    }
    std::string path(const std::string &name) const { return dir_.path(name); }
    const std::string &root() const { return dir_.root(); }

private:
    kvl_test::TempDir dir_;
};

struct CliRun {
    int status;
    std::string err;
};

CliRun run_cli(const std::string &dir, const std::string &args) {
    const std::string err_path = dir + "/.err";
    const std::string command = std::string(LEDGROVE_BINARY_DIR) + "/bin/ledgrove-cli -C '" + dir +
                                "' " + args + " >/dev/null 2>'" + err_path + "'";
    const int raw = std::system(command.c_str());
    const Bytes err = read_all(err_path);
    fs::remove(err_path);
    return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, std::string(err.begin(), err.end())};
}

struct Damage {
    const char *what;
    const char *file;
    std::function<void(Bytes &)> apply;  // null: the file is removed
    std::uint32_t result;                // what failures() reports; 0: no failure
    const char *says;                    // in the notice and the CLI's message
    const char *needs_it;                // a CLI search order that needs the file
    const char *other;                   // one that does not ("" when none)
};

void put32(Bytes &b, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<char>(v >> (8 * i));
}

TEST(DamagedRegister, TheUserIsToldWhichFileAndTheRestWorks) {
    const Damage damages[] = {
        {"data file missing", "ChkREG.DBF", nullptr, KVL_WIN_FILE_NOT_FOUND,
         "ChkREG.DBF is missing", "date", ""},
        {"data file cut short", "ChkREG.DBF", [](Bytes &b) { b.resize(b.size() / 2); },
         KVL_WIN_HANDLE_EOF, "ChkREG.DBF is damaged (error 38)", "date", ""},
        {"data file header zeroed", "ChkREG.DBF",
         [](Bytes &b) { std::fill(b.begin(), b.begin() + 32, 0); }, ERR_NOT_DATA_FILE,
         "ChkREG.DBF is damaged (error 8606)", "amount", ""},
        {"vendor name index missing", "ChkRNAM.IX4", nullptr, KVL_WIN_FILE_NOT_FOUND,
         "ChkRNAM.IX4 is missing", "vendor-name", "amount"},
        {"amount index not an index", "ChkRAMT.IX4", [](Bytes &b) { put32(b, 0, 0x12345678); },
         ERR_NOT_INDEX_FILE, "ChkRAMT.IX4 is damaged (error 8522)", "amount", "date"},
        {"date index cut inside its header", "ChkREG.IX4", [](Bytes &b) { b.resize(300); },
         KVL_WIN_HANDLE_EOF, "ChkREG.IX4 is damaged (error 38)", "date", "check-id"},
        {"check id index left mid-change", "ChkRCID.IX4", [](Bytes &b) { b[152] |= 1; },
         ERR_INCOMPLETE_WRITE, "ChkRCID.IX4 was left unfinished", "check-id", "vendor-id"},
        {"id index missing", "ChkRIDS.IX4", nullptr, KVL_WIN_FILE_NOT_FOUND,
         "ChkRIDS.IX4 is missing", "", "date"},
        // Records appended and never counted: an import cut short.  Sound.
        {"data file with uncounted records", "ChkREG.DBF",
         [](Bytes &b) {
             b[14] = 1;
             b.insert(b.end(), 124 * 3, 'x');
         },
         0, "", "", "date"},
    };
    for (const Damage &damage : damages) {
        SCOPED_TRACE(damage.what);
        SoundRegister reg;
        const std::string target = reg.path(damage.file);
        if (damage.apply) {
            Bytes bytes = read_all(target);
            damage.apply(bytes);
            write_all(target, bytes);
        } else {
            fs::remove(target);
        }

        DatabaseSet set(reg.root());
        set.open();
        const std::string notice = register_open_notice(set.failures());
        if (damage.result == 0) {
            EXPECT_TRUE(set.failures().empty());
            EXPECT_EQ(notice, "");
        } else {
            ASSERT_EQ(set.failures().size(), 1u);
            EXPECT_EQ(set.failures()[0].file_name, damage.file);
            EXPECT_EQ(set.failures()[0].result, damage.result);
            EXPECT_NE(notice.find(damage.says), std::string::npos) << notice;
        }
        set.close();

        if (*damage.needs_it) {
            const CliRun run = run_cli(reg.root(), std::string("search --order ") + damage.needs_it);
            EXPECT_EQ(run.status, 1);
            EXPECT_NE(run.err.find(damage.says), std::string::npos) << run.err;
            EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
        }
        if (*damage.other) {
            const CliRun run = run_cli(reg.root(), std::string("search --order ") + damage.other);
            EXPECT_EQ(run.status, 0) << run.err;
        }
    }
}

// A tree that opens but breaks during the walk: the search stops with a
// code, and the CLI names the index and the way to mend it.
TEST(DamagedRegister, ABrokenTreeStopsTheSearchWithAMessage) {
    SoundRegister reg;
    Bytes bytes = read_all(reg.path("ChkRPO.IX4"));
    const std::uint32_t root = static_cast<unsigned char>(bytes[8]) |
                               static_cast<unsigned char>(bytes[9]) << 8;
    ASSERT_GT(root, 1u);
    bytes[1024 + (root - 1) * 512 + 1] = static_cast<char>(root);  // child 0 is the root
    bytes[1024 + (root - 1) * 512 + 2] = static_cast<char>(root >> 8);
    bytes[1024 + (root - 1) * 512 + 3] = 0;
    bytes[1024 + (root - 1) * 512 + 4] = 0;
    write_all(reg.path("ChkRPO.IX4"), bytes);
    const CliRun run = run_cli(reg.root(), "search --order po-number");
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("ChkRPO.IX4"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("reindex"), std::string::npos) << run.err;
    // The rebuild mends it.
    EXPECT_EQ(run_cli(reg.root(), "reindex").status, 0);
    EXPECT_EQ(run_cli(reg.root(), "search --order po-number").status, 0);
}

TEST(DamagedRegister, FailuresAreSortedIntoKinds) {
    const struct {
        std::uint32_t result;
        OpenProblem problem;
    } cases[] = {
        {KVL_WIN_FILE_NOT_FOUND, OpenProblem::Missing},
        {KVL_WIN_PATH_NOT_FOUND, OpenProblem::Missing},
        {KVL_WIN_HANDLE_EOF, OpenProblem::Damaged},
        {ERR_NOT_DATA_FILE, OpenProblem::Damaged},
        {ERR_FIELD_COUNT, OpenProblem::Damaged},
        {ERR_NODE_SIZE, OpenProblem::Damaged},
        {ERR_INCOMPLETE_WRITE, OpenProblem::Unfinished},
        {KVL_WIN_ACCESS_DENIED, OpenProblem::Unreadable},
        {KVL_WIN_TOO_MANY_OPEN_FILES, OpenProblem::Unreadable},
    };
    for (const auto &c : cases) EXPECT_EQ(classify_open_failure(c.result), c.problem) << c.result;
    const std::string two = register_open_notice(
        {{"ChkRNAM.IX4", KVL_WIN_FILE_NOT_FOUND}, {"ChkRAMT.IX4", ERR_NOT_INDEX_FILE}});
    EXPECT_NE(two.find("Vendor Name searches list nothing"), std::string::npos) << two;
    EXPECT_NE(two.find("Amount searches list nothing"), std::string::npos) << two;
    EXPECT_NE(two.find("Rebuild Indexes"), std::string::npos) << two;
    EXPECT_EQ(std::count(two.begin(), two.end(), '\n'), 3);
}

}  // namespace
