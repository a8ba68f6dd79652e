// The exports as a whole: every one of the 100 answers under each of its
// three names (the plain and underscore ELF symbols, the decorated name of
// KvlProcAddress), and every refusal of a null pointer, of a closed handle
// and of a read-only file, in one table.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <functional>
#include <set>
#include <string>

#include "engine/core/export_list.h"
#include "engine/engine_support.h"

namespace {

using kvl_test::Result;
constexpr uint32_t kNull = ERR_NULL_PARAMETER, kClosed = ERR_FILE_NOT_OPEN,
                   kBadHandle = ERR_BAD_FILE_HANDLE, kReadOnly = ERR_READ_ONLY, kNone = 0xFFFFFFFF;

struct Refusal {
    const char *name;
    // Called through an entry point of the export: a call that only the real
    // function answers so, mostly with a null pointer.
    std::function<uint32_t(void *)> null_call;
    uint32_t null_rc;
    std::function<uint32_t()> closed_call;  // empty: the export takes no handle
    uint32_t closed_rc = kNone;
    std::function<uint32_t()> read_only_call;  // empty: it changes no file
    uint32_t read_only_rc = kNone;
};

// The export under test, called through `entry` as its own type.
#define VIA(name) \
    #name, [=](void *entry) { auto f = reinterpret_cast<decltype(&::name)>(entry); return uint32_t(
#define END ); }

class Exports : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(files_.rc, 0u);
        ASSERT_EQ(files_.insert(1), 0u);
        memo_.store("memo text");
        files_.close();
        // Handles opened and closed again keep their header images.
        ASSERT_EQ(closed_data_.open(), 0u);
        ASSERT_EQ(closed_index_.open(), 0u);
        ASSERT_EQ(KvlIx4CloseFile(closed_index_.get()), 0u);
        ASSERT_EQ(KvlDataCloseFile(closed_data_.rec()), 0u);
        files_.reopen();
        ASSERT_EQ(files_.rc, 0u);
        ASSERT_EQ(ro_data_.open(KVL_STATE_READ_ONLY), 0u);
        ASSERT_EQ(ro_index_.open(KVL_STATE_READ_ONLY), 0u);
        ASSERT_EQ(memo_.close(), 0u);
        ASSERT_EQ(closed_memo_.open(), 0u);  // and its memo file
        ASSERT_EQ(KvlDataCloseFile(closed_memo_.rec()), 0u);
        ASSERT_EQ(memo_.reopen(KVL_STATE_READ_ONLY), 0u);
        kvl_test::write_bytes(dir_.path("plain.bin"), {'0', '1', '2', '3', '4', '5'});
        ASSERT_EQ(KvlOpenFile(dir_.path("plain.bin").c_str(), 2, &handle_, nullptr), 0u);
    }
    void TearDown() override { KvlCloseFile(&handle_, nullptr); }

    std::vector<Refusal> table();

    kvl_test::TempDir dir_;
    kvl_test::MultiFiles files_{dir_.root() + "/", {{"ID.IX4", "ID"}}};
    kvl_test::DataFile closed_data_{files_.data_path(), 5};
    kvl_test::IndexFile closed_index_{files_.index_path(0), kvl_test::kNodeSize, closed_data_.rec()};
    kvl_test::DataFile ro_data_{files_.data_path(), 5};
    kvl_test::IndexFile ro_index_{files_.index_path(0), kvl_test::kNodeSize, ro_data_.rec()};
    kvl_test::MemoTable memo_;
    kvl_test::DataFile closed_memo_{memo_.path(), 2};
    uint32_t handle_ = 0;
    uint8_t key_[KVL_MAX_KEY_LENGTH + 1] = {}, record_[kvl_test::kPersonLength] = {' '};
    uint32_t n_ = 0, state_ = 0;
};

std::vector<Refusal> Exports::table() {
    DataControlRecord *cd = closed_data_.rec(), *rd = ro_data_.rec(), *cm = closed_memo_.rec(),
                      *rm = memo_.rec();
    IndexControlRecord *ci = closed_index_.get(), *ri = ro_index_.get(), *ix = files_.index(0);
    uint8_t *key = key_, *record = record_;
    uint32_t *n = &n_, *state = &state_;
    const uint32_t handle = handle_;
    const std::string copy = dir_.path("copy"), mutex_name = "/kvl-exports-" + std::to_string(getpid());
    auto lock_node = [](void *control, uint32_t mode) {
        return [=] {
            LockRequest node{control, mode, 0, 0, 0, 0, {}, nullptr, nullptr};
            uint32_t failed = 0;
            return KvlLockEx(&node, &failed, 0);
        };
    };
    auto request = [=](IndexHandle index) {
        return [=] {
            IndexRequest q{index, key, record, 0, 0, 0, nullptr, nullptr};
            uint32_t failed = 0;
            return KvlIx4InsertEx(&q, &failed);
        };
    };
    return {
        // data files
        {VIA(KvlDataInfoFile) f(nullptr, 0, record, nullptr, nullptr) END, kNull},
        {VIA(KvlDataCreateFile) f(3, 1, nullptr, nullptr, 0, nullptr) END, kNull},
        {VIA(KvlDataOpenFile) f(nullptr, 0) END, kNull, [=] { return KvlDataOpenFile(rd, 0); }, ERR_ALREADY_OPEN},
        {VIA(KvlDataCloseFile) f(nullptr) END, kNull, [=] { return KvlDataCloseFile(cd); }, kBadHandle},
        {VIA(KvlDataFlushHeader) f(nullptr) END, kNull, [=] { return KvlDataFlushHeader(cd); }, kBadHandle,
         [=] { rd->state |= KVL_STATE_CHANGED; const uint32_t rc = KvlDataFlushHeader(rd); rd->state &= ~KVL_STATE_CHANGED; return rc; }, kReadOnly},
        {VIA(KvlDataCopyHeader) f(nullptr, "x") END, kNull, },
        {VIA(KvlDataReadHeader) f(nullptr) END, kNull, [=] { return KvlDataReadHeader(cd); }, kClosed},
        {VIA(KvlDataZapHeader) f(nullptr) END, kNull, [=] { return KvlDataZapHeader(cd); }, kBadHandle,
         [=] { return KvlDataZapHeader(rd); }, kReadOnly},
        // records
        {VIA(KvlDataAddRecord) f(nullptr, record, n) END, kNull, [=] { return KvlDataAddRecord(cd, record, n); }, kClosed,
         [=] { return KvlDataAddRecord(rd, record, n); }, kReadOnly},
        {VIA(KvlDataDebumpRecord) f(nullptr, 1) END, kNull, [=] { return KvlDataDebumpRecord(cd, 1); }, kBadHandle,
         [=] { return KvlDataDebumpRecord(rd, 1); }, kReadOnly},
        {VIA(KvlDataMarkRecord) f(nullptr, 1, '*') END, kNull, [=] { return KvlDataMarkRecord(cd, 1, '*'); }, kClosed,
         [=] { return KvlDataMarkRecord(rd, 1, '*'); }, kReadOnly},
        {VIA(KvlDataUpdateRecord) f(nullptr, 1, record) END, kNull, [=] { return KvlDataUpdateRecord(cd, 1, record); }, kClosed,
         [=] { return KvlDataUpdateRecord(rd, 1, record); }, kReadOnly},
        {VIA(KvlDataGetRecord) f(nullptr, 1, record) END, kNull, [=] { return KvlDataGetRecord(cd, 1, record); }, kClosed},
        {VIA(KvlDataSort) f(nullptr, nullptr, nullptr, nullptr, nullptr) END, kNull},
        {VIA(KvlDataPack) f(nullptr, nullptr, nullptr, nullptr) END, kNull},
        // memo files
        {VIA(KvlMemoCreateFile) f(nullptr) END, kNull},
        {VIA(KvlMemoOpenFile) f(nullptr) END, kNull, [=] { return KvlMemoOpenFile(rm); }, ERR_ALREADY_OPEN},
        {VIA(KvlMemoCloseFile) f(nullptr) END, kNull, [=] { return KvlMemoCloseFile(cm); }, kBadHandle},
        {VIA(KvlMemoFlushHeader) f(nullptr) END, kNull, [=] { return KvlMemoFlushHeader(cm); }, kBadHandle},
        {VIA(KvlMemoReadHeader) f(nullptr) END, kNull, [=] { return KvlMemoReadHeader(cm); }, kClosed},
        {VIA(KvlMemoAdd) f(nullptr, 8, 8, record, n, 0) END, kNull, [=] { return KvlMemoAdd(cm, 1, 1, record, n, 0); }, kClosed,
         [=] { return KvlMemoAdd(rm, 1, 1, record, n, 0); }, kReadOnly},
        {VIA(KvlMemoDelete) f(nullptr, 1) END, kNull, [=] { return KvlMemoDelete(cm, 1); }, kClosed,
         [=] { return KvlMemoDelete(rm, 1); }, kReadOnly},
        {VIA(KvlMemoGet) f(nullptr, 1, 0, n, record) END, kNull, [=] { *n = 1; return KvlMemoGet(cm, 1, 0, n, record); }, kClosed},
        {VIA(KvlMemoGetSize) f(nullptr, 1, n, state) END, kNull, [=] { return KvlMemoGetSize(cm, 1, n, state); }, kClosed},
        {VIA(KvlMemoUpdate) f(nullptr, n, 0, 1, record) END, kNull, [=] { *n = 1; return KvlMemoUpdate(cm, n, 0, 1, record); }, kClosed,
         [=] { *n = 1; return KvlMemoUpdate(rm, n, 0, 1, record); }, kReadOnly},
        // index files
        {VIA(KvlIx4InfoFile) f(nullptr, 0, record, nullptr) END, kNull},
        {VIA(KvlIx4CreateFile) f(512, 1, 0, 0, nullptr, nullptr, nullptr, nullptr, nullptr, 0, nullptr) END, kNull},
        {VIA(KvlIx4OpenFile) f(nullptr, 0) END, kNull, [=] { return KvlIx4OpenFile(ri, 0); }, ERR_ALREADY_OPEN},
        {VIA(KvlIx4CloseFile) f(nullptr) END, kNull, [=] { return KvlIx4CloseFile(ci); }, kBadHandle},
        {VIA(KvlIx4FlushHeader) f(nullptr) END, kNull, [=] { ci->state |= KVL_STATE_CHANGED; const uint32_t rc = KvlIx4FlushHeader(ci); ci->state &= ~KVL_STATE_CHANGED; return rc; }, kBadHandle,
         [=] { ri->state |= KVL_STATE_CHANGED; const uint32_t rc = KvlIx4FlushHeader(ri); ri->state &= ~KVL_STATE_CHANGED; return rc; }, kReadOnly},
        {VIA(KvlIx4CopyHeader) f(nullptr, "x") END, kNull, [=] { return KvlIx4CopyHeader(ci, copy.c_str()); }, kClosed},
        {VIA(KvlIx4ReadHeader) f(nullptr) END, kNull, [=] { return KvlIx4ReadHeader(ci); }, kClosed},
        {VIA(KvlIx4ZapHeader) f(nullptr) END, kNull, [=] { return KvlIx4ZapHeader(ci); }, kClosed,
         [=] { return KvlIx4ZapHeader(ri); }, kReadOnly},
        // index keys
        {VIA(KvlIx4KeyForRecord) f(nullptr, key, 1, record) END, kNull, [=] { return KvlIx4KeyForRecord(ci, key, 1, record); }, kClosed},
        {VIA(KvlIx4StoreKey) f(nullptr, key, 1) END, kNull, [=] { return KvlIx4StoreKey(ci, "000009", 9); }, kClosed,
         [=] { return KvlIx4StoreKey(ri, "000009", 9); }, kReadOnly},
        {VIA(KvlIx4DeleteKey) f(nullptr, key, 1) END, kNull, [=] { return KvlIx4DeleteKey(ci, "000001", 1); }, kClosed,
         [=] { return KvlIx4DeleteKey(ri, "000001", 1); }, kReadOnly},
        {VIA(KvlIx4EqualKey) f(nullptr, key, n) END, kNull, [=] { return KvlIx4EqualKey(ci, key, n); }, kClosed},
        {VIA(KvlIx4EqualOrGreaterKey) f(nullptr, key, n) END, kNull, [=] { return KvlIx4EqualOrGreaterKey(ci, key, n); }, kClosed},
        {VIA(KvlIx4EqualOrLesserKey) f(nullptr, key, n) END, kNull, [=] { return KvlIx4EqualOrLesserKey(ci, key, n); }, kClosed},
        {VIA(KvlIx4FirstKey) f(nullptr, key, n) END, kNull, [=] { return KvlIx4FirstKey(ci, key, n); }, kClosed},
        {VIA(KvlIx4LastKey) f(nullptr, key, n) END, kNull, [=] { return KvlIx4LastKey(ci, key, n); }, kClosed},
        {VIA(KvlIx4NextKey) f(nullptr, key, n) END, kNull, [=] { return KvlIx4NextKey(ci, key, n); }, kClosed},
        {VIA(KvlIx4PrevKey) f(nullptr, key, n) END, kNull, [=] { return KvlIx4PrevKey(ci, key, n); }, kClosed},
        // index keys with records
        {VIA(KvlIx4GetFirst) f(nullptr, key, n, record) END, kNull, [=] { return KvlIx4GetFirst(ci, key, n, record); }, kClosed},
        {VIA(KvlIx4GetNext) f(nullptr, key, n, record) END, kNull, [=] { return KvlIx4GetNext(ci, key, n, record); }, kClosed},
        {VIA(KvlIx4GetPrev) f(nullptr, key, n, record) END, kNull, [=] { return KvlIx4GetPrev(ci, key, n, record); }, kClosed},
        {VIA(KvlIx4GetLast) f(nullptr, key, n, record) END, kNull, [=] { return KvlIx4GetLast(ci, key, n, record); }, kClosed},
        {VIA(KvlIx4GetEqual) f(nullptr, key, n, record) END, kNull, [=] { return KvlIx4GetEqual(ci, key, n, record); }, kClosed},
        {VIA(KvlIx4GetEqualOrGreater) f(nullptr, key, n, record) END, kNull, [=] { return KvlIx4GetEqualOrGreater(ci, key, n, record); }, kClosed},
        {VIA(KvlIx4GetEqualOrLesser) f(nullptr, key, n, record) END, kNull, [=] { return KvlIx4GetEqualOrLesser(ci, key, n, record); }, kClosed},
        // insert and update
        {VIA(KvlIx4Insert) f(nullptr, key, n, record, state) END, kNull, [=] { return KvlIx4Insert(ci, key, n, record, state); }, kClosed,
         [=] { return KvlIx4Insert(ri, key, n, record, state); }, kReadOnly},
        {VIA(KvlIx4Update) f(nullptr, key, 1, record, state) END, kNull, [=] { return KvlIx4Update(ci, key, 1, record, state); }, kClosed,
         [=] { return KvlIx4Update(ri, key, 1, record, state); }, kReadOnly},
        {VIA(KvlIx4InsertEx) f(nullptr, n) END, kNull, request(ci), kClosed, request(ri), kReadOnly},
        {VIA(KvlIx4UpdateEx) f(nullptr, n, 0) END, kNull},
        // replaceable index functions, on the open index
        {VIA(KvlFuncIx4ParseExp) f(nullptr, n) END, kNull},
        {VIA(KvlFuncIx4BuildKey) f(ix, kvl_test::person_record(kvl_test::numbered_person(42)).data(), key) == 0 && std::string(key, key + 6) == "000042" ? 0 : 1 END, 0},
        {VIA(KvlFuncIx4BTM) f(7, ix, key, 0) END, ERR_BAD_FUNCTION},
        {VIA(KvlFuncIx4SortCmp) f(ix, "000001", "000002", nullptr, 0) < 0 ? 1 : 0 END, 1},
        {VIA(KvlFuncIx4Reindex) f(ix, nullptr, 0, reinterpret_cast<char *>(key), n) END, kNull,
         [=] { return KvlFuncIx4Reindex(ci, copy.c_str(), 0, reinterpret_cast<char *>(key), n); }, kBadHandle,
         [=] { return KvlFuncIx4Reindex(ri, copy.c_str(), 0, reinterpret_cast<char *>(key), n); }, kReadOnly},
        // locks
        {VIA(KvlLockDataHeader) f(nullptr, 0, 0) END, kNull, [=] { return KvlLockDataHeader(cd, 0, 0); }, kClosed},
        {VIA(KvlUnlockDataHeader) f(nullptr) END, kNull},
        {VIA(KvlLockDataRecord) f(nullptr, 0, 1, 1, 0) END, kNull, [=] { return KvlLockDataRecord(cd, 0, 1, 1, 0); }, kClosed},
        {VIA(KvlUnlockDataRecord) f(nullptr, 1, 1) END, kNull, [=] { return KvlUnlockDataRecord(cd, 0, 0); }, kClosed},
        {VIA(KvlLockIx4File) f(nullptr, 0, 0) END, kNull, [=] { return KvlLockIx4File(ci, 0, 0); }, kClosed},
        {VIA(KvlUnlockIx4File) f(nullptr) END, kNull},
        {VIA(KvlLockEx) f(nullptr, n, 0) END, kNull, lock_node(cd, 0), kClosed},
        {VIA(KvlUnlockEx) f(nullptr, n) END, kNull},
        // OS file layer, on a real 6-byte file where a null pointer is not enough
        {VIA(KvlOpenFile) f(nullptr, 0, n, nullptr) END, kNull},
        {VIA(KvlCreateFile) f(nullptr, nullptr) END, kNull},
        {VIA(KvlCloseFile) f(nullptr, nullptr) END, kNull},
        {VIA(KvlDeleteFile) f(nullptr, nullptr) END, kNull},
        {VIA(KvlMoveFile) f(nullptr, nullptr, nullptr) END, kNull},
        {VIA(KvlCreateDir) f(nullptr, nullptr) END, kNull},
        {VIA(KvlReadFile) f(handle, nullptr, key, nullptr) END, kNull},
        {VIA(KvlWriteFile) f(handle, nullptr, key, nullptr) END, kNull},
        {VIA(KvlReadAtFile) f(handle, nullptr, key, nullptr, nullptr) END, kNull},
        {VIA(KvlWriteAtFile) f(handle, nullptr, key, nullptr, nullptr) END, kNull},
        {VIA(KvlSeekFile) f(handle, KVL_SEEK_END, (*n = 0, n), nullptr) == 0 && *n == 6 ? 0 : 1 END, 0},
        {VIA(KvlLengthFile) f(handle, nullptr, nullptr) END, kNull},
        {VIA(KvlUpdateDirEntry) f(handle, nullptr) END, 0},
        {VIA(KvlLockFile) f(handle, 0, nullptr, nullptr, 0, nullptr) END, kNull},
        {VIA(KvlIsRemote) f(0, 0, nullptr, nullptr, nullptr) END, kNull},
        // collation and country
        {VIA(KvlGetSortSequenceTable) f(850, 1, nullptr, 0) END, kNull},
        {VIA(KvlGetCountryInfo) f(nullptr, nullptr, 0) END, kNull},
        {VIA(KvlUpperCaseO) f(nullptr, 3, 0) END, kNull},
        // engine variables, memory, system
        {VIA(KvlGetVar) f(7, n) == 0 ? *n : 1 END, ERR_BAD_VARIABLE},
        {VIA(KvlSetVar) f(nullptr, 1) END, kNull},
        {VIA(KvlMemAlloc) f(0, 0, n, 0) == nullptr ? *n : 1 END, ERR_MEMORY_SIZE},
        {VIA(KvlMemFree) f(0, nullptr) END, KVL_WIN_INVALID_BLOCK},
        {VIA(KvlGetMemoryAvail) f(1) END, 0},
        {VIA(KvlMemSet) f(key, 'x', 3) == key && key[2] == 'x' ? 0 : 1 END, 0},
        {VIA(KvlMemCpy) f(key, "abc", 3) == key && key[2] == 'c' ? 0 : 1 END, 0},
        {VIA(KvlGetVersion) f(nullptr) END, kNull},
        {VIA(KvlGetExtendedError) f(nullptr, nullptr, nullptr, nullptr) END, kNull},
        {VIA(KvlSetHandleCount) f(nullptr) END, kNull},
        {VIA(KvlTestCallBack) f(41) END, 41},
        // mutexes
        {VIA(KvlCreateMutexSem) f(mutex_name.c_str(), nullptr, nullptr, 0) END, kNull},
        {VIA(KvlRequestMutexSem) f(nullptr, 0) END, KVL_WIN_INVALID_HANDLE},
        {VIA(KvlReleaseMutexSem) f(nullptr) END, KVL_WIN_INVALID_HANDLE},
        {VIA(KvlCloseMutexSem) f(nullptr) END, KVL_WIN_INVALID_HANDLE},
    };
}

TEST_F(Exports, EveryExportAnswersUnderItsThreeNamesAndRefusesWhatItMust) {
    struct Named {
        const char *name;
        uint32_t bytes;
    };
#define KVL_TEST_EXPORT(name, bytes) {#name, bytes},
    const Named exports[] = {KVL_EXPORTS(KVL_TEST_EXPORT)};
#undef KVL_TEST_EXPORT
    const std::vector<Refusal> rows = table();
    ASSERT_EQ(rows.size(), std::size(exports));
    // The shared library, as callers load it (this test links the static one).
    void *library = dlopen(KVL_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(library, nullptr) << dlerror();
    auto proc_address = reinterpret_cast<decltype(&KvlProcAddress)>(dlsym(library, "KvlProcAddress"));
    ASSERT_NE(proc_address, nullptr);
    std::set<std::string> seen;
    for (const Named &e : exports) {
        auto row = std::find_if(rows.begin(), rows.end(), [&](const Refusal &r) { return r.name == std::string(e.name); });
        ASSERT_NE(row, rows.end()) << e.name;
        seen.insert(e.name);
        const std::string plain = e.name;
        const std::string names[] = {plain, "_" + plain, plain + "@" + std::to_string(e.bytes)};
        void *entries[] = {dlsym(library, names[0].c_str()), dlsym(library, names[1].c_str()),
                           proc_address(names[2].c_str())};
        for (int i = 0; i < 3; ++i) {
            ASSERT_NE(entries[i], nullptr) << names[i];
            EXPECT_EQ(entries[i], entries[0]) << names[i];
            EXPECT_EQ(Result(row->null_call(entries[i])), Result(row->null_rc)) << names[i];
        }
        EXPECT_EQ(proc_address((plain + "@" + std::to_string(e.bytes + 4)).c_str()), nullptr) << plain;
        if (row->closed_call) {
            EXPECT_EQ(Result(row->closed_call()), Result(row->closed_rc)) << plain << " closed";
        }
        if (row->read_only_call) {
            EXPECT_EQ(Result(row->read_only_call()), Result(row->read_only_rc)) << plain << " read-only";
        }
    }
    EXPECT_EQ(seen.size(), 100u);
    dlclose(library);
    // No refusal touched the files: the record and its key are as stored.
    uint8_t got[kvl_test::kPersonLength];
    EXPECT_EQ(KvlDataGetRecord(files_.data(), 1, got), 0u);
    EXPECT_EQ(kvl_test::Bytes(got, got + sizeof got), kvl_test::person_record(kvl_test::numbered_person(1)));
    EXPECT_EQ(files_.keys(0).size(), 1u);
    EXPECT_EQ(memo_.read(1), "memo text");
}

TEST(ProcAddress, NamesThatAreNoExport) {
    for (const char *name : {"KvlDataOpenFile@12", "KvlDataOpenFile@", "KvlDataOpenFile@08",
                             "KvlDataOpenFile@+8", "_KvlDataOpenFile@8", "__KvlDataOpenFile",
                             "kvldataopenfile", "KvlDataOpenFil", "KvlDataOpenFileX", "_", "", "@8"})
        EXPECT_EQ(KvlProcAddress(name), nullptr) << name;
    EXPECT_EQ(KvlProcAddress(nullptr), nullptr);
    // A failed assertion shows a result's name, Win32 or engine, or its number.
    EXPECT_EQ(testing::PrintToString(Result(ERR_END_OF_INDEX)), "ERR_END_OF_INDEX (8503)");
    EXPECT_EQ(testing::PrintToString(Result(KVL_WIN_DISK_FULL)), "KVL_WIN_DISK_FULL (112)");
    EXPECT_EQ(testing::PrintToString(Result(8500)), "8500");
}

}  // namespace
