// Named mutexes between processes: acquisition, time-out, an owner that
// ends while holding, recursion, initial ownership, concurrent creation.
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <memory>
#include <string>
#include <vector>

#include "engine/korval32.h"
#include "support/child_process.h"
#include "support/result_name.h"

namespace {

using kvl_test::Channel;
using kvl_test::ChildProcess;
using kvl_test::Result;

// A mutex name unique to this test, whose shared-memory object is removed
// afterwards ("/kvl-mutex." + name, the engine's naming).
class MutexName {
public:
    MutexName() {
        static int serial = 0;
        name_ = "kvl-test-" + std::to_string(getpid()) + "-" + std::to_string(++serial);
    }
    ~MutexName() { shm_unlink(("/kvl-mutex." + name_).c_str()); }
    const char *c_str() const { return name_.c_str(); }

private:
    std::string name_;
};

KvlMutexHandle create(const char *name, uint32_t initial_owner = 0) {
    KvlMutexHandle mutex = nullptr;
    EXPECT_EQ(KvlCreateMutexSem(name, &mutex, nullptr, initial_owner), 0u);
    EXPECT_NE(mutex, nullptr);
    return mutex;
}

// Result codes as one letter for the pipe between the processes.
char code_letter(uint32_t rc) {
    switch (rc) {
        case 0: return 'A';
        case 105: return 'D';
        case 640: return 'T';
        case 288: return 'N';
        default: return '?';
    }
}

// A child that opens the mutex, tries to take it with the given wait,
// reports the result and ends without releasing.
std::unique_ptr<ChildProcess> try_in_child(const char *name, uint32_t wait) {
    const std::string n = name;
    return std::make_unique<ChildProcess>([=](Channel &parent) {
        KvlMutexHandle mutex = nullptr;
        if (KvlCreateMutexSem(n.c_str(), &mutex, nullptr, 0) != 0) return 1;
        parent.send(code_letter(KvlRequestMutexSem(mutex, wait)));
        return 0;
    });
}

char outcome_in_child(const char *name, uint32_t wait) {
    auto child = try_in_child(name, wait);
    char c = child->channel().receive();
    child->wait();
    return c;
}

TEST(Mutex, OwnerThatEndsLeavesCode105ForTheNextWaiter) {
    MutexName name;
    KvlMutexHandle mutex = create(name.c_str());
    EXPECT_EQ(outcome_in_child(name.c_str(), 0), 'A');  // took it and _exit()ed
    EXPECT_EQ(Result(KvlRequestMutexSem(mutex, 2000)), KVL_WIN_OWNER_DIED);
    EXPECT_EQ(KvlReleaseMutexSem(mutex), 0u);
    // Made consistent: the next acquisition is an ordinary one.
    EXPECT_EQ(KvlRequestMutexSem(mutex, 0), 0u);
    EXPECT_EQ(KvlReleaseMutexSem(mutex), 0u);
    EXPECT_EQ(KvlCloseMutexSem(mutex), 0u);
}

TEST(Mutex, WaitTimesOutWith640WhileAnotherProcessHoldsIt) {
    MutexName name;
    KvlMutexHandle mutex = create(name.c_str());
    const std::string n = name.c_str();
    ChildProcess holder([=](Channel &parent) {
        KvlMutexHandle m = nullptr;
        if (KvlCreateMutexSem(n.c_str(), &m, nullptr, 0) != 0) return 1;
        parent.send(code_letter(KvlRequestMutexSem(m, KVL_WAIT_FOREVER)));
        parent.receive();
        parent.send(code_letter(KvlReleaseMutexSem(m)));
        parent.receive();
        return 0;
    });
    ASSERT_EQ(holder.channel().receive(), 'A');
    EXPECT_EQ(Result(KvlRequestMutexSem(mutex, 0)), KVL_WIN_TIMEOUT);
    EXPECT_EQ(Result(KvlRequestMutexSem(mutex, 50)), KVL_WIN_TIMEOUT);
    EXPECT_EQ(Result(KvlReleaseMutexSem(mutex)), KVL_WIN_NOT_OWNER);  // not the owner
    holder.channel().send('R');
    ASSERT_EQ(holder.channel().receive(), 'A');
    EXPECT_EQ(KvlRequestMutexSem(mutex, KVL_WAIT_FOREVER), 0u);
    holder.channel().send('Q');
    EXPECT_EQ(holder.wait(), 0);
    EXPECT_EQ(KvlReleaseMutexSem(mutex), 0u);
    EXPECT_EQ(KvlCloseMutexSem(mutex), 0u);
}

TEST(Mutex, OwnerMayTakeItAgainAndReleasesAsOften) {
    MutexName name;
    KvlMutexHandle mutex = create(name.c_str());
    KvlMutexHandle second = create(name.c_str());  // a second handle, same mutex
    EXPECT_EQ(KvlRequestMutexSem(mutex, 0), 0u);
    EXPECT_EQ(KvlRequestMutexSem(second, 0), 0u);
    EXPECT_EQ(KvlReleaseMutexSem(mutex), 0u);
    EXPECT_EQ(outcome_in_child(name.c_str(), 0), 'T');  // still held once
    EXPECT_EQ(KvlReleaseMutexSem(second), 0u);
    EXPECT_EQ(Result(KvlReleaseMutexSem(mutex)), KVL_WIN_NOT_OWNER);
    EXPECT_EQ(KvlCloseMutexSem(second), 0u);
    EXPECT_EQ(outcome_in_child(name.c_str(), 0), 'A');
    EXPECT_EQ(KvlCloseMutexSem(mutex), 0u);
}

TEST(Mutex, InitialOwnerOnlyForTheCreator) {
    MutexName name;
    KvlMutexHandle mutex = create(name.c_str(), 1);
    EXPECT_EQ(outcome_in_child(name.c_str(), 0), 'T');
    // A second opener asking for ownership gets none: it cannot release.
    const std::string n = name.c_str();
    ChildProcess opener([=](Channel &parent) {
        KvlMutexHandle m = nullptr;
        if (KvlCreateMutexSem(n.c_str(), &m, nullptr, 1) != 0) return 1;
        parent.send(code_letter(KvlReleaseMutexSem(m)));
        return 0;
    });
    EXPECT_EQ(opener.channel().receive(), 'N');
    EXPECT_EQ(opener.wait(), 0);
    EXPECT_EQ(KvlReleaseMutexSem(mutex), 0u);
    EXPECT_EQ(outcome_in_child(name.c_str(), 0), 'A');
    EXPECT_EQ(KvlCloseMutexSem(mutex), 0u);
}

// Once every user has gone, the name starts afresh: no stale owner, and the
// initial-owner flag holds again.
TEST(Mutex, NameStartsAfreshWhenNobodyHasItOpen) {
    MutexName name;
    KvlMutexHandle mutex = create(name.c_str());
    EXPECT_EQ(outcome_in_child(name.c_str(), 0), 'A');  // ended holding it
    EXPECT_EQ(KvlCloseMutexSem(mutex), 0u);
    mutex = create(name.c_str(), 1);
    EXPECT_EQ(outcome_in_child(name.c_str(), 0), 'T');
    EXPECT_EQ(KvlReleaseMutexSem(mutex), 0u);
    EXPECT_EQ(KvlRequestMutexSem(mutex, 0), 0u);
    EXPECT_EQ(KvlReleaseMutexSem(mutex), 0u);
    EXPECT_EQ(KvlCloseMutexSem(mutex), 0u);
}

// Several processes create the same new name at the same moment and count
// under it; a lost update would show that they did not share one mutex.
TEST(Mutex, ConcurrentCreatorsShareOneMutex) {
    MutexName name;
    constexpr int kProcesses = 4, kRounds = 200;
    void *shared = mmap(nullptr, sizeof(int), PROT_READ | PROT_WRITE,
                        MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    ASSERT_NE(shared, MAP_FAILED);
    volatile int *count = static_cast<volatile int *>(shared);
    *count = 0;
    const std::string n = name.c_str();
    std::vector<std::unique_ptr<ChildProcess>> children;
    for (int i = 0; i < kProcesses; ++i)
        children.push_back(std::make_unique<ChildProcess>([=](Channel &parent) {
            parent.receive();  // start together
            KvlMutexHandle m = nullptr;
            if (KvlCreateMutexSem(n.c_str(), &m, nullptr, 0) != 0) return 1;
            for (int r = 0; r < kRounds; ++r) {
                if (KvlRequestMutexSem(m, KVL_WAIT_FOREVER) != 0) return 2;
                int seen = *count;
                if (r % 16 == 0) usleep(50);
                *count = seen + 1;
                if (KvlReleaseMutexSem(m) != 0) return 3;
            }
            return KvlCloseMutexSem(m) == 0 ? 0 : 4;
        }));
    for (auto &child : children) child->channel().send('G');
    for (auto &child : children) EXPECT_EQ(child->wait(), 0);
    EXPECT_EQ(*count, kProcesses * kRounds);
    munmap(shared, sizeof(int));
}

TEST(Mutex, UnnamedMutexIsSharedWithForkedChildren) {
    KvlMutexHandle mutex = create("", 1);
    ChildProcess child([=](Channel &parent) {
        parent.send(code_letter(KvlRequestMutexSem(mutex, 0)));
        return 0;
    });
    EXPECT_EQ(child.channel().receive(), 'T');
    EXPECT_EQ(child.wait(), 0);
    EXPECT_EQ(KvlReleaseMutexSem(mutex), 0u);
    EXPECT_EQ(KvlCloseMutexSem(mutex), 0u);
}

TEST(Mutex, ArgumentChecks) {
    KvlMutexHandle mutex = reinterpret_cast<KvlMutexHandle>(1);
    EXPECT_EQ(Result(KvlCreateMutexSem(nullptr, &mutex, nullptr, 0)), ERR_NULL_PARAMETER);
    EXPECT_EQ(Result(KvlCreateMutexSem("x", nullptr, nullptr, 0)), ERR_NULL_PARAMETER);
    EXPECT_EQ(Result(KvlRequestMutexSem(nullptr, 0)), KVL_WIN_INVALID_HANDLE);
    EXPECT_EQ(Result(KvlReleaseMutexSem(nullptr)), KVL_WIN_INVALID_HANDLE);
    EXPECT_EQ(Result(KvlCloseMutexSem(nullptr)), KVL_WIN_INVALID_HANDLE);
    // A name too long for the system fails with its error and a null handle.
    EXPECT_EQ(Result(KvlCreateMutexSem(std::string(300, 'm').c_str(), &mutex, nullptr, 0)),
              KVL_WIN_FILENAME_TOO_LONG);
    EXPECT_EQ(mutex, nullptr);
}

}  // namespace
