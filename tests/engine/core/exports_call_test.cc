// Every one of the 100 exports called through each of its three names: the
// plain and underscore ELF symbols (dlsym) and the decorated name
// (KvlProcAddress).  Each call uses harmless arguments and checks an answer
// that only the real function gives (a placeholder answers 1).
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <functional>
#include <set>
#include <string>
#include <vector>

#include "engine/core/export_list.h"
#include "engine/index/multi_support.h"
#include "engine/korval32.h"
#include "support/temp_dir.h"

namespace {

// The entry point as the export's own type.
#define AS(name) reinterpret_cast<decltype(&::name)>(entry)
constexpr uint32_t kNull = ERR_NULL_PARAMETER;

struct Bytes {
    const char *name;
    uint32_t bytes;
};
#define KVL_TEST_EXPORT(name, bytes) {#name, bytes},
const Bytes kExports[] = {KVL_EXPORTS(KVL_TEST_EXPORT)};
#undef KVL_TEST_EXPORT

class ExportCalls : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(files_.rc, 0u);
        auto record = kvl_test::person_record(kvl_test::numbered_person(1));
        auto r = files_.requests(record);
        uint32_t failed = 0;
        ASSERT_EQ(KvlIx4InsertEx(r.first(), &failed), 0u);
        const std::string plain = dir_.path("plain.bin");
        FILE *f = fopen(plain.c_str(), "wb");
        ASSERT_NE(f, nullptr);
        fputs("0123456789abcdefghij", f);
        fclose(f);
        ASSERT_EQ(KvlOpenFile(plain.c_str(), 2, &handle_, nullptr), 0u);
    }
    void TearDown() override { KvlCloseFile(&handle_, nullptr); }

    // One call per export: true when the answer is the real function's.
    using Check = std::function<bool(void *entry)>;
    std::vector<std::pair<std::string, Check>> checks();

    kvl_test::TempDir dir_;
    kvl_test::MultiFiles files_{dir_.root() + "/", {{"ID.IX4", "ID"}}};
    uint32_t handle_ = 0;
    uint8_t key_[KVL_MAX_KEY_LENGTH + 1] = {};
    uint8_t record_[kvl_test::kMultiRecordLength] = {};
    uint32_t number_ = 0, state_ = 0, a_ = 0, b_ = 0, c_ = 0, d_ = 0;
};

std::vector<std::pair<std::string, ExportCalls::Check>> ExportCalls::checks() {
    IndexControlRecord *ix = files_.index(0);
    uint8_t *key = key_, *record = record_;
    uint32_t *n = &number_, *state = &state_;
    const uint32_t handle = handle_;
    std::string mutex_name = "/kvl-exports-" + std::to_string(getpid());
    return {
        // data files
        {"KvlDataInfoFile", [=](void *entry) { return AS(KvlDataInfoFile)(nullptr, 0, record, nullptr, nullptr) == kNull; }},
        {"KvlDataCreateFile", [=](void *entry) { return AS(KvlDataCreateFile)(3, 1, nullptr, nullptr, 0, nullptr) == kNull; }},
        {"KvlDataOpenFile", [=](void *entry) { return AS(KvlDataOpenFile)(nullptr, 0) == kNull; }},
        {"KvlDataCloseFile", [=](void *entry) { return AS(KvlDataCloseFile)(nullptr) == kNull; }},
        {"KvlDataFlushHeader", [=](void *entry) { return AS(KvlDataFlushHeader)(nullptr) == kNull; }},
        {"KvlDataCopyHeader", [=](void *entry) { return AS(KvlDataCopyHeader)(nullptr, "x") == kNull; }},
        {"KvlDataReadHeader", [=](void *entry) { return AS(KvlDataReadHeader)(nullptr) == kNull; }},
        {"KvlDataZapHeader", [=](void *entry) { return AS(KvlDataZapHeader)(nullptr) == kNull; }},
        // records
        {"KvlDataAddRecord", [=](void *entry) { return AS(KvlDataAddRecord)(nullptr, record, n) == kNull; }},
        {"KvlDataDebumpRecord", [=](void *entry) { return AS(KvlDataDebumpRecord)(nullptr, 1) == kNull; }},
        {"KvlDataMarkRecord", [=](void *entry) { return AS(KvlDataMarkRecord)(nullptr, 1, '*') == kNull; }},
        {"KvlDataUpdateRecord", [=](void *entry) { return AS(KvlDataUpdateRecord)(nullptr, 1, record) == kNull; }},
        {"KvlDataGetRecord", [=](void *entry) { return AS(KvlDataGetRecord)(nullptr, 1, record) == kNull; }},
        // sort and pack
        {"KvlDataSort", [=](void *entry) { return AS(KvlDataSort)(nullptr, nullptr, nullptr, nullptr, nullptr) == kNull; }},
        {"KvlDataPack", [=](void *entry) { return AS(KvlDataPack)(nullptr, nullptr, nullptr, nullptr) == kNull; }},
        // memo files
        {"KvlMemoCreateFile", [=](void *entry) { return AS(KvlMemoCreateFile)(nullptr) == kNull; }},
        {"KvlMemoOpenFile", [=](void *entry) { return AS(KvlMemoOpenFile)(nullptr) == kNull; }},
        {"KvlMemoCloseFile", [=](void *entry) { return AS(KvlMemoCloseFile)(nullptr) == kNull; }},
        {"KvlMemoFlushHeader", [=](void *entry) { return AS(KvlMemoFlushHeader)(nullptr) == kNull; }},
        {"KvlMemoReadHeader", [=](void *entry) { return AS(KvlMemoReadHeader)(nullptr) == kNull; }},
        {"KvlMemoAdd", [=](void *entry) { return AS(KvlMemoAdd)(nullptr, 8, 8, record, n, 0) == kNull; }},
        {"KvlMemoDelete", [=](void *entry) { return AS(KvlMemoDelete)(nullptr, 1) == kNull; }},
        {"KvlMemoGet", [=](void *entry) { return AS(KvlMemoGet)(nullptr, 1, 0, n, record) == kNull; }},
        {"KvlMemoGetSize", [=](void *entry) { return AS(KvlMemoGetSize)(nullptr, 1, n, state) == kNull; }},
        {"KvlMemoUpdate", [=](void *entry) { return AS(KvlMemoUpdate)(nullptr, n, 0, 1, record) == kNull; }},
        // index files
        {"KvlIx4InfoFile", [=](void *entry) { return AS(KvlIx4InfoFile)(nullptr, 0, record, nullptr) == kNull; }},
        {"KvlIx4CreateFile", [=](void *entry) { return AS(KvlIx4CreateFile)(512, 1, 0, 0, nullptr, nullptr, nullptr, nullptr, nullptr, 0, nullptr) == kNull; }},
        {"KvlIx4OpenFile", [=](void *entry) { return AS(KvlIx4OpenFile)(nullptr, 0) == kNull; }},
        {"KvlIx4CloseFile", [=](void *entry) { return AS(KvlIx4CloseFile)(nullptr) == kNull; }},
        {"KvlIx4FlushHeader", [=](void *entry) { return AS(KvlIx4FlushHeader)(nullptr) == kNull; }},
        {"KvlIx4CopyHeader", [=](void *entry) { return AS(KvlIx4CopyHeader)(nullptr, "x") == kNull; }},
        {"KvlIx4ReadHeader", [=](void *entry) { return AS(KvlIx4ReadHeader)(nullptr) == kNull; }},
        {"KvlIx4ZapHeader", [=](void *entry) { return AS(KvlIx4ZapHeader)(nullptr) == kNull; }},
        // index keys
        {"KvlIx4KeyForRecord", [=](void *entry) { return AS(KvlIx4KeyForRecord)(nullptr, key, 1, record) == kNull; }},
        {"KvlIx4StoreKey", [=](void *entry) { return AS(KvlIx4StoreKey)(nullptr, key, 1) == kNull; }},
        {"KvlIx4DeleteKey", [=](void *entry) { return AS(KvlIx4DeleteKey)(nullptr, key, 1) == kNull; }},
        {"KvlIx4EqualKey", [=](void *entry) { return AS(KvlIx4EqualKey)(nullptr, key, n) == kNull; }},
        {"KvlIx4EqualOrGreaterKey", [=](void *entry) { return AS(KvlIx4EqualOrGreaterKey)(nullptr, key, n) == kNull; }},
        {"KvlIx4EqualOrLesserKey", [=](void *entry) { return AS(KvlIx4EqualOrLesserKey)(nullptr, key, n) == kNull; }},
        {"KvlIx4FirstKey", [=](void *entry) { return AS(KvlIx4FirstKey)(nullptr, key, n) == kNull; }},
        {"KvlIx4LastKey", [=](void *entry) { return AS(KvlIx4LastKey)(nullptr, key, n) == kNull; }},
        {"KvlIx4NextKey", [=](void *entry) { return AS(KvlIx4NextKey)(nullptr, key, n) == kNull; }},
        {"KvlIx4PrevKey", [=](void *entry) { return AS(KvlIx4PrevKey)(nullptr, key, n) == kNull; }},
        // index keys with records
        {"KvlIx4GetFirst", [=](void *entry) { return AS(KvlIx4GetFirst)(nullptr, key, n, record) == kNull; }},
        {"KvlIx4GetNext", [=](void *entry) { return AS(KvlIx4GetNext)(nullptr, key, n, record) == kNull; }},
        {"KvlIx4GetPrev", [=](void *entry) { return AS(KvlIx4GetPrev)(nullptr, key, n, record) == kNull; }},
        {"KvlIx4GetLast", [=](void *entry) { return AS(KvlIx4GetLast)(nullptr, key, n, record) == kNull; }},
        {"KvlIx4GetEqual", [=](void *entry) { return AS(KvlIx4GetEqual)(nullptr, key, n, record) == kNull; }},
        {"KvlIx4GetEqualOrGreater", [=](void *entry) { return AS(KvlIx4GetEqualOrGreater)(nullptr, key, n, record) == kNull; }},
        {"KvlIx4GetEqualOrLesser", [=](void *entry) { return AS(KvlIx4GetEqualOrLesser)(nullptr, key, n, record) == kNull; }},
        // insert and update
        {"KvlIx4Insert", [=](void *entry) { return AS(KvlIx4Insert)(nullptr, key, n, record, state) == kNull; }},
        {"KvlIx4Update", [=](void *entry) { return AS(KvlIx4Update)(nullptr, key, 1, record, state) == kNull; }},
        {"KvlIx4InsertEx", [=](void *entry) { return AS(KvlIx4InsertEx)(nullptr, n) == kNull; }},
        {"KvlIx4UpdateEx", [=](void *entry) { return AS(KvlIx4UpdateEx)(nullptr, n, 0) == kNull; }},
        // replaceable index functions, on a real index
        {"KvlFuncIx4ParseExp", [=](void *entry) { return AS(KvlFuncIx4ParseExp)(nullptr, n) == kNull; }},
        {"KvlFuncIx4BuildKey", [=](void *entry) {
             auto person = kvl_test::person_record(kvl_test::numbered_person(42));
             return AS(KvlFuncIx4BuildKey)(ix, person.data(), key) == 0 &&
                    std::string(key, key + 6) == "000042";
         }},
        {"KvlFuncIx4BTM", [=](void *entry) {
             std::memcpy(key, "000001", 6);
             return AS(KvlFuncIx4BTM)(KVL_BTM_FIND, ix, key, 0) == 0 && ix->current_record == 1 &&
                    AS(KvlFuncIx4BTM)(7, ix, key, 0) == ERR_BAD_FUNCTION;
         }},
        {"KvlFuncIx4SortCmp", [=](void *entry) {
             return AS(KvlFuncIx4SortCmp)(ix, "000001", "000002", nullptr, 0) < 0 &&
                    AS(KvlFuncIx4SortCmp)(ix, "000002", "000001", nullptr, 0) > 0;
         }},
        {"KvlFuncIx4Reindex", [=](void *entry) { return AS(KvlFuncIx4Reindex)(ix, nullptr, 0, reinterpret_cast<char *>(key), n) == kNull; }},
        // locks
        {"KvlLockDataHeader", [=](void *entry) { return AS(KvlLockDataHeader)(nullptr, 0, 0) == kNull; }},
        {"KvlUnlockDataHeader", [=](void *entry) { return AS(KvlUnlockDataHeader)(nullptr) == kNull; }},
        {"KvlLockDataRecord", [=](void *entry) { return AS(KvlLockDataRecord)(nullptr, 0, 1, 1, 0) == kNull; }},
        {"KvlUnlockDataRecord", [=](void *entry) { return AS(KvlUnlockDataRecord)(nullptr, 1, 1) == kNull; }},
        {"KvlLockIx4File", [=](void *entry) { return AS(KvlLockIx4File)(nullptr, 0, 0) == kNull; }},
        {"KvlUnlockIx4File", [=](void *entry) { return AS(KvlUnlockIx4File)(nullptr) == kNull; }},
        {"KvlLockEx", [=](void *entry) { return AS(KvlLockEx)(nullptr, n, 0) == kNull; }},
        {"KvlUnlockEx", [=](void *entry) { return AS(KvlUnlockEx)(nullptr, n) == kNull; }},
        // OS file layer, on a real 20-byte file where a null pointer is not enough
        {"KvlOpenFile", [=](void *entry) { return AS(KvlOpenFile)(nullptr, 0, n, nullptr) == kNull; }},
        {"KvlCreateFile", [=](void *entry) { return AS(KvlCreateFile)(nullptr, nullptr) == kNull; }},
        {"KvlCloseFile", [=](void *entry) { return AS(KvlCloseFile)(nullptr, nullptr) == kNull; }},
        {"KvlDeleteFile", [=](void *entry) { return AS(KvlDeleteFile)(nullptr, nullptr) == kNull; }},
        {"KvlMoveFile", [=](void *entry) { return AS(KvlMoveFile)(nullptr, nullptr, nullptr) == kNull; }},
        {"KvlCreateDir", [=](void *entry) { return AS(KvlCreateDir)(nullptr, nullptr) == kNull; }},
        {"KvlReadFile", [=](void *entry) {
             uint32_t position = 2, length = 3;
             char got[4] = {};
             return KvlSeekFile(handle, KVL_SEEK_SET, &position, nullptr) == 0 &&
                    AS(KvlReadFile)(handle, &length, got, nullptr) == 0 && std::string(got) == "234";
         }},
        {"KvlWriteFile", [=](void *entry) {
             uint32_t position = 20, length = 1;
             return KvlSeekFile(handle, KVL_SEEK_SET, &position, nullptr) == 0 &&
                    AS(KvlWriteFile)(handle, &length, "!", nullptr) == 0 && length == 1;
         }},
        {"KvlReadAtFile", [=](void *entry) { return AS(KvlReadAtFile)(handle, nullptr, key, nullptr, nullptr) == kNull; }},
        {"KvlWriteAtFile", [=](void *entry) { return AS(KvlWriteAtFile)(handle, nullptr, key, nullptr, nullptr) == kNull; }},
        {"KvlSeekFile", [=](void *entry) {
             uint32_t position = 5;
             return AS(KvlSeekFile)(handle, KVL_SEEK_SET, &position, nullptr) == 0 && position == 5;
         }},
        {"KvlLengthFile", [=](void *entry) { return AS(KvlLengthFile)(handle, nullptr, nullptr) == kNull; }},
        {"KvlUpdateDirEntry", [=](void *entry) { return AS(KvlUpdateDirEntry)(handle, nullptr) == 0; }},
        {"KvlLockFile", [=](void *entry) { return AS(KvlLockFile)(handle, 0, nullptr, nullptr, 0, nullptr) == kNull; }},
        {"KvlIsRemote", [=](void *entry) { return AS(KvlIsRemote)(0, 0, nullptr, nullptr, nullptr) == kNull; }},
        // collation and country
        {"KvlGetSortSequenceTable", [=](void *entry) { return AS(KvlGetSortSequenceTable)(850, 1, nullptr, 0) == kNull; }},
        {"KvlGetCountryInfo", [=](void *entry) { return AS(KvlGetCountryInfo)(nullptr, nullptr, 0) == kNull; }},
        {"KvlUpperCaseO", [=](void *entry) {
             char text[] = "abc";
             return AS(KvlUpperCaseO)(text, 3, 0) == 0 && std::string(text) == "ABC";
         }},
        // engine variables
        {"KvlGetVar", [=](void *entry) {
             uint32_t error = 0;
             return AS(KvlGetVar)(7, &error) == 0 && error == ERR_BAD_VARIABLE;
         }},
        {"KvlSetVar", [=](void *entry) { return AS(KvlSetVar)(nullptr, 1) == kNull; }},
        // memory
        {"KvlMemAlloc", [=](void *entry) {
             uint32_t error = 0;
             return AS(KvlMemAlloc)(0, 0, &error, 0) == nullptr && error == ERR_MEMORY_SIZE;
         }},
        {"KvlMemFree", [=](void *entry) {
             uint32_t error = 0;
             void *block = KvlMemAlloc(0, 16, &error, 1);
             return block && AS(KvlMemFree)(0, block) == 0;
         }},
        {"KvlGetMemoryAvail", [=](void *entry) { return AS(KvlGetMemoryAvail)(1) == 0; }},
        {"KvlMemSet", [=](void *entry) {
             char text[4] = {};
             return AS(KvlMemSet)(text, 'x', 3) == text && std::string(text) == "xxx";
         }},
        {"KvlMemCpy", [=](void *entry) {
             char text[4] = {};
             return AS(KvlMemCpy)(text, "abc", 3) == text && std::string(text) == "abc";
         }},
        // system
        {"KvlGetVersion", [=](void *entry) {
             uint32_t version = 0;
             return AS(KvlGetVersion)(&version) == 0 && version >> 16 == 2;
         }},
        {"KvlGetExtendedError", [=](void *entry) { return AS(KvlGetExtendedError)(nullptr, nullptr, nullptr, nullptr) == kNull; }},
        {"KvlSetHandleCount", [=](void *entry) {
             uint32_t count = 20;
             return AS(KvlSetHandleCount)(&count) == 0 && count >= 20;
         }},
        {"KvlTestCallBack", [=](void *entry) { return AS(KvlTestCallBack)(41) == 41; }},
        // mutexes
        {"KvlCreateMutexSem", [=](void *entry) {
             KvlMutexHandle mutex = nullptr;
             const bool ok = AS(KvlCreateMutexSem)(mutex_name.c_str(), &mutex, nullptr, 0) == 0 &&
                             mutex != nullptr;
             if (mutex) KvlCloseMutexSem(mutex);
             return ok;
         }},
        {"KvlRequestMutexSem", [=](void *entry) { return AS(KvlRequestMutexSem)(nullptr, 0) == KVL_WIN_INVALID_HANDLE; }},
        {"KvlReleaseMutexSem", [=](void *entry) { return AS(KvlReleaseMutexSem)(nullptr) == KVL_WIN_INVALID_HANDLE; }},
        {"KvlCloseMutexSem", [=](void *entry) { return AS(KvlCloseMutexSem)(nullptr) == KVL_WIN_INVALID_HANDLE; }},
    };
}

TEST_F(ExportCalls, EveryExportAnswersThroughEachOfItsNames) {
    const auto all = checks();
    ASSERT_EQ(all.size(), std::size(kExports));
    std::set<std::string> named;
    void *library = dlopen("libkorval32.so", RTLD_NOW | RTLD_NOLOAD);
    ASSERT_NE(library, nullptr) << dlerror();
    for (const Bytes &e : kExports) {
        auto it = std::find_if(all.begin(), all.end(), [&](const auto &c) { return c.first == e.name; });
        ASSERT_NE(it, all.end()) << e.name;
        named.insert(e.name);
        const std::string plain = e.name;
        const std::string names[] = {plain, "_" + plain, plain + "@" + std::to_string(e.bytes)};
        void *entries[] = {dlsym(library, names[0].c_str()), dlsym(library, names[1].c_str()),
                           KvlProcAddress(names[2].c_str())};
        for (int i = 0; i < 3; ++i) {
            ASSERT_NE(entries[i], nullptr) << names[i];
            EXPECT_TRUE(it->second(entries[i])) << names[i];
        }
    }
    EXPECT_EQ(named.size(), 100u);
    dlclose(library);
}

}  // namespace
