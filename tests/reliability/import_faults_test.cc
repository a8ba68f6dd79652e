// The import's block writes under failing and crashing file layers.  A
// register is made on disk, then its files are put on an in-memory layer;
// an import of more than a block (1 MiB) of records runs again and again
// with its 1st, 2nd, 3rd, ... file-layer call failing (a full disk: once,
// or from then on) or the machine crashing there.  Afterwards the register,
// opened on a sound layer, must hold either every record it held before
// and nothing more or those and every imported record, never a part; a
// reported success must have them all, a failure of one call none; and a
// later import must work.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "app/maint/demo_register.h"
#include "app/maint/empty_data_file.h"
#include "app/maint/empty_register.h"
#include "app/maint/import.h"
#include "app/maint/rebuild.h"
#include "app/store/database_set.h"
#include "support/engine_files.h"
#include "support/memory_layer.h"

namespace {

using namespace ledgrove;
using Bytes = std::vector<std::uint8_t>;

constexpr std::size_t kBefore = 200;
constexpr std::size_t kImported = 9000;  // 1.1 MB of records: two blocks
constexpr const char *kCsv = "more.csv";

std::string demo_csv(std::size_t n, std::uint64_t seed) {
    DemoRegister demo(n, seed);
    std::string text, line;
    while (demo.next_line(line)) text += line;
    return text;
}

Bytes read_bytes(const std::string &path) {
    FILE *in = std::fopen(path.c_str(), "rb");
    Bytes bytes;
    if (!in) return bytes;
    for (int c; (c = std::fgetc(in)) != EOF;) bytes.push_back(static_cast<std::uint8_t>(c));
    std::fclose(in);
    return bytes;
}

// The register's files as made on disk, by name, and the import's CSV.
struct Start {
    std::vector<std::pair<std::string, Bytes>> files;
    Bytes csv;
    std::vector<CheckRecord> records;
};

const Start &start() {
    static const Start made = [] {
        Start s;
        kvl_test::TempDir dir;
        EXPECT_EQ(create_empty_data_file(dir.path("empty.dbf")), 0u);
        DatabaseSet set(dir.root());
        EXPECT_TRUE(empty_register(set, dir.path("empty.dbf")).ok());
        FILE *out = std::fopen(dir.path("first.csv").c_str(), "wb");
        const std::string first = demo_csv(kBefore, 3);
        std::fwrite(first.data(), 1, first.size(), out);
        std::fclose(out);
        set.open();
        EXPECT_EQ(import_csv(set, dir.path("first.csv")).imported, kBefore);
        EXPECT_TRUE(rebuild_all_indexes(set).ok());
        for (std::uint32_t n = 1; n <= kBefore; ++n) {
            CheckRecord record{};
            EXPECT_EQ(KvlDataGetRecord(set.data(), n, &record), 0u);
            s.records.push_back(record);
        }
        set.close();
        s.files.emplace_back(kDataFileName, read_bytes(dir.path(kDataFileName)));
        for (const IndexFileInfo &info : kIndexFiles)
            s.files.emplace_back(info.file_name, read_bytes(dir.path(info.file_name)));
        const std::string more = demo_csv(kImported, 5);
        s.csv.assign(more.begin(), more.end());
        return s;
    }();
    return made;
}

// What the register holds, opened on a sound layer: the count, and whether
// the records before the import are unchanged.  Then a second import must
// go through.
void check_register(const FileLayerTable *sound, const std::string &label,
                    std::size_t *count_out) {
    DatabaseSet set("", sound);
    set.open();
    ASSERT_TRUE(set.data_open()) << label;
    const std::size_t count = set.data()->header.record_count;
    ASSERT_TRUE(count == kBefore || count == kBefore + kImported) << label << ": " << count;
    for (std::uint32_t n = 1; n <= count; ++n) {
        CheckRecord record{};
        ASSERT_EQ(KvlDataGetRecord(set.data(), n, &record), 0u) << label << " record " << n;
        if (n <= kBefore)
            ASSERT_EQ(std::memcmp(&record, &start().records[n - 1], sizeof record), 0)
                << label << " record " << n;
        else
            ASSERT_EQ(record.tag, kLiveTag) << label << " record " << n;
    }
    const ImportReport again = import_csv(set, kCsv);
    EXPECT_TRUE(again.ok()) << label << ": " << again.error;
    EXPECT_EQ(set.data()->header.record_count, count + kImported) << label;
    *count_out = count;
}

// Imports on a register of `memory`, armed by `arm` once the register is
// open; calls `check` with the report after the register is checked on the
// sound layer.  Stops when an import runs through without the fault firing.
template <class Arm, class Check>
void import_at_every_call(Arm arm, Check check) {
    bool ran_through = false;
    for (std::uint64_t n = 1; !ran_through && n < 400; ++n) {
        kvl_test::MemoryLayer memory;
        for (const auto &[name, bytes] : start().files) memory.put(name, bytes);
        memory.put(kCsv, start().csv);
        ImportReport report;
        {
            DatabaseSet set("", memory.table());
            set.open();
            ASSERT_TRUE(set.failures().empty());
            arm(memory, n);
            report = import_csv(set, kCsv);
            ran_through = !memory.fired() && !memory.crashed();
            set.close();
        }
        memory.disarm();
        memory.revive();
        const std::string label = "call " + std::to_string(n);
        std::size_t count = 0;
        check_register(memory.table(), label, &count);
        check(report, count, label);
    }
    EXPECT_TRUE(ran_through);
}

TEST(ImportFaults, AFailedBlockWriteFailsTheWholeImport) {
    for (bool sticky : {false, true}) {
        import_at_every_call(
            [&](kvl_test::MemoryLayer &memory, std::uint64_t n) { memory.fail_call(n, KVL_WIN_DISK_FULL, sticky); },
            [&](const ImportReport &report, std::size_t count, const std::string &label) {
                if (report.ok()) {
                    EXPECT_EQ(report.imported, kImported) << label;
                    EXPECT_EQ(count, kBefore + kImported) << label;
                    return;
                }
                EXPECT_EQ(report.imported, 0u) << label;
                // One failing call leaves the taking back free to work; a
                // disk that fails from then on may have taken the count.
                if (!sticky) {
                    EXPECT_EQ(count, kBefore) << label << ": " << report.error;
                }
            });
    }
}

TEST(ImportFaults, ACrashLeavesTheRegisterBeforeOrAfterTheImport) {
    import_at_every_call(
        [](kvl_test::MemoryLayer &memory, std::uint64_t n) {
            memory.crash_at(n, kvl_test::MemoryLayer::Crash::Random, static_cast<std::uint32_t>(n));
        },
        // A reported success was committed and synced before any crash.
        [](const ImportReport &report, std::size_t count, const std::string &label) {
            if (report.ok()) {
                EXPECT_EQ(count, kBefore + kImported) << label;
            }
        });
}

}  // namespace
