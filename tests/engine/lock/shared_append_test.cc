// Several processes share one data file and its three indexes: writers
// append records with KvlIx4InsertEx under exclusive locks, readers walk the
// files under shared locks.  Afterwards no record or key is lost or doubled
// and every index passes the checker.
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <time.h>

#include <atomic>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "engine/index/multi_support.h"
#include "engine/korval32.h"
#include "support/child_process.h"
#include "support/temp_dir.h"
#include "tools/ix4check/ix4_checker.h"

namespace {

using kvl_test::Channel;
using kvl_test::ChildProcess;
using kvl_test::MultiFiles;

constexpr uint32_t kWriters = 3;
constexpr uint32_t kAppendsEach = 25;
constexpr uint32_t kReaders = 2;
constexpr uint32_t kBudgetMs = 10000;

// Counters the children share with the parent.
struct Shared {
    std::atomic<uint32_t> conflicts;  // lock lists refused at once (budget 0)
    std::atomic<uint32_t> reads;      // consistent snapshots read
    std::atomic<uint32_t> done;       // writers finished
};

std::vector<kvl_test::IndexSpec> specs() {
    return {{"ID.IX4", "ID"}, {"NAME.IX4", "NAME"}, {"CODE.IX4", "CODE", true}};
}

// The first node also locks the whole data file.
std::vector<LockRequest> lock_list(MultiFiles &files, uint32_t mode) {
    std::vector<LockRequest> nodes(files.index_count());
    for (size_t i = 0; i < nodes.size(); ++i) {
        nodes[i] = LockRequest{};
        nodes[i].control = files.index(i);
        nodes[i].mode = mode;
        nodes[i].next = i + 1 < nodes.size() ? &nodes[i + 1] : nullptr;
    }
    nodes[0].flags = KVL_LOCKREQ_WITH_DATA;
    return nodes;
}

// Tries once; when another process holds a lock, counts the conflict and
// waits with the time budget (the layer's retry loop).
uint32_t lock_all(std::vector<LockRequest> &nodes, Shared *shared) {
    uint32_t failed = 0;
    uint32_t rc = KvlLockEx(nodes.data(), &failed, 0);
    if (rc != KVL_WIN_LOCK_VIOLATION) return rc;
    shared->conflicts.fetch_add(1);
    return KvlLockEx(nodes.data(), &failed, kBudgetMs);
}

int writer(const std::string &root, uint32_t number, Shared *shared, Channel &parent) {
    MultiFiles files(root, specs(), nullptr, false);
    if (files.rc != 0) return 2;
    auto nodes = lock_list(files, 0);
    parent.send('r');
    if (parent.receive() != 'g') return 3;
    for (uint32_t i = 1; i <= kAppendsEach; ++i) {
        if (lock_all(nodes, shared) != 0) return 4;
        const uint32_t count = files.data()->header.record_count;
        auto record = kvl_test::person_record(kvl_test::numbered_person(number * 1000 + i));
        auto requests = files.requests(record);
        uint32_t failed = 0;
        if (KvlIx4InsertEx(requests.first(), &failed) != 0) return 5;
        if (requests.list[0].record_number != count + 1) return 6;
        if (KvlUnlockEx(nodes.data(), &failed) != 0) return 7;
    }
    return 0;
}

// Under shared locks: every index holds one key per record, and walking the
// ID index reads every record once, each under its own key.
int check_snapshot(MultiFiles &files) {
    const uint32_t count = files.data()->header.record_count;
    for (size_t i = 0; i < files.index_count(); ++i)
        if (files.index(i)->header.key_count != count) return 20;
    std::vector<uint8_t> key(KVL_MAX_KEY_LENGTH + 1), record(kvl_test::kMultiRecordLength);
    std::set<uint32_t> seen;
    uint32_t number = 0;
    uint32_t rc = KvlIx4GetFirst(files.index(0), key.data(), &number, record.data());
    for (; rc == 0; rc = KvlIx4GetNext(files.index(0), key.data(), &number, record.data())) {
        if (std::memcmp(key.data(), record.data() + 1, 6) != 0) return 21;
        if (!seen.insert(number).second || number > count) return 22;
    }
    if (count != 0 && rc != ERR_END_OF_INDEX) return 23;
    return seen.size() == count ? 0 : 24;
}

int reader(const std::string &root, Shared *shared, Channel &parent) {
    MultiFiles files(root, specs(), nullptr, false);
    if (files.rc != 0) return 2;
    auto nodes = lock_list(files, KVL_LOCKMODE_SHARED);
    parent.send('r');
    if (parent.receive() != 'g') return 3;
    do {
        if (lock_all(nodes, shared) != 0) return 4;
        if (int bad = check_snapshot(files)) return bad;
        uint32_t failed = 0;
        if (KvlUnlockEx(nodes.data(), &failed) != 0) return 7;
        shared->reads.fetch_add(1);
        const timespec pause{0, 2000000};
        nanosleep(&pause, nullptr);
    } while (shared->done.load() == 0);
    return 0;
}

TEST(SharedAppend, WritersAndReadersInSeveralProcesses) {
    kvl_test::TempDir dir;
    const std::string root = dir.root() + "/";
    {
        MultiFiles files(root, specs());
        ASSERT_EQ(files.rc, 0u);
    }
    void *memory = mmap(nullptr, sizeof(Shared), PROT_READ | PROT_WRITE,
                        MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    ASSERT_NE(memory, MAP_FAILED);
    Shared *shared = new (memory) Shared{};

    std::vector<std::unique_ptr<ChildProcess>> writers, readers;
    for (uint32_t w = 1; w <= kWriters; ++w)
        writers.push_back(std::make_unique<ChildProcess>(
            [&, w](Channel &parent) { return writer(root, w, shared, parent); }));
    for (uint32_t r = 0; r < kReaders; ++r)
        readers.push_back(std::make_unique<ChildProcess>(
            [&](Channel &parent) { return reader(root, shared, parent); }));
    // All open their files before anyone writes (an open while another
    // process is between an append and its flush reports
    // ERR_INCOMPLETE_WRITE).
    for (auto *group : {&writers, &readers})
        for (auto &child : *group) ASSERT_EQ(child->channel().receive(), 'r');
    for (auto &child : writers) child->channel().send('g');
    for (auto &child : readers) child->channel().send('g');
    for (auto &child : writers) EXPECT_EQ(child->wait(), 0);
    shared->done.store(1);
    for (auto &child : readers) EXPECT_EQ(child->wait(), 0);
    EXPECT_GT(shared->reads.load(), 0u);
    // Enough contention that processes had to wait for each other.
    EXPECT_GT(shared->conflicts.load(), 0u);
    munmap(memory, sizeof(Shared));

    MultiFiles files(root, specs(), nullptr, false);
    ASSERT_EQ(files.rc, 0u);
    const uint32_t total = kWriters * kAppendsEach;
    EXPECT_EQ(files.data()->header.record_count, total);
    std::set<std::string> expected, stored;
    for (uint32_t w = 1; w <= kWriters; ++w)
        for (uint32_t i = 1; i <= kAppendsEach; ++i)
            expected.insert(kvl_test::numbered_person(w * 1000 + i).id);
    std::vector<uint8_t> record(kvl_test::kMultiRecordLength);
    for (uint32_t n = 1; n <= files.data()->header.record_count; ++n) {
        ASSERT_EQ(KvlDataGetRecord(files.data(), n, record.data()), 0u);
        stored.insert(std::string(record.begin() + 1, record.begin() + 7));
    }
    EXPECT_EQ(stored, expected);
    std::set<std::string> keyed;
    for (const auto &[key, number] : files.keys(0)) keyed.insert(key);
    EXPECT_EQ(keyed, expected);
    for (size_t i = 0; i < files.index_count(); ++i) {
        EXPECT_EQ(files.keys(i).size(), total) << i;
        ix4check::Options options;
        options.index_path = files.index_path(i);
        options.data_path = files.data_path();
        const ix4check::Report report = ix4check::check_index(options);
        EXPECT_TRUE(report.ok()) << options.index_path << "\n" << report.text();
        EXPECT_EQ(report.keys, total);
    }
}

}  // namespace
