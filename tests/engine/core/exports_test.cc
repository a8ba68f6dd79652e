// Every export under its three names: the plain and underscore ELF symbols
// of the loaded library meet at one address, and KvlProcAddress resolves
// the plain, underscore and decorated names to it.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <string>

#include "engine/core/export_list.h"
#include "engine/korval32.h"
#include "support/result_name.h"

namespace {

struct Export {
    const char *name;
    int bytes;
};

#define KVL_TEST_EXPORT(name, bytes) {#name, bytes},
const Export kExports[] = {KVL_EXPORTS(KVL_TEST_EXPORT)};
#undef KVL_TEST_EXPORT

TEST(Exports, AllNamesMeetAtOneEntryPoint) {
    ASSERT_EQ(std::size(kExports), 100u);
    void *library = dlopen("libkorval32.so", RTLD_NOW | RTLD_NOLOAD);
    ASSERT_NE(library, nullptr) << dlerror();
    for (const Export &e : kExports) {
        const std::string plain = e.name, underscore = "_" + plain,
                          decorated = plain + "@" + std::to_string(e.bytes);
        void *address = dlsym(library, plain.c_str());
        ASSERT_NE(address, nullptr) << plain;
        EXPECT_EQ(dlsym(library, underscore.c_str()), address) << underscore;
        EXPECT_EQ(KvlProcAddress(plain.c_str()), address) << plain;
        EXPECT_EQ(KvlProcAddress(underscore.c_str()), address) << underscore;
        EXPECT_EQ(KvlProcAddress(decorated.c_str()), address) << decorated;
        const std::string wrong = plain + "@" + std::to_string(e.bytes + 4);
        EXPECT_EQ(KvlProcAddress(wrong.c_str()), nullptr) << wrong;
    }
    dlclose(library);
}

TEST(Exports, UnknownNamesGiveNull) {
    const char *names[] = {"KvlDataOpenFile@12", "KvlDataOpenFile@", "KvlDataOpenFile@08",
                           "KvlDataOpenFile@+8", "_KvlDataOpenFile@8", "__KvlDataOpenFile",
                           "kvldataopenfile", "KvlDataOpenFil", "KvlDataOpenFileX", "_", "",
                           "@8", "KvlNothing"};
    for (const char *name : names) EXPECT_EQ(KvlProcAddress(name), nullptr) << name;
    EXPECT_EQ(KvlProcAddress(nullptr), nullptr);
}

TEST(Exports, ResolvedEntryPointsWork) {
    using TestCallBack = uint32_t (*)(uint32_t);
    auto call = reinterpret_cast<TestCallBack>(KvlProcAddress("KvlTestCallBack@4"));
    ASSERT_NE(call, nullptr);
    EXPECT_EQ(call(41), 41u);
}

// What a failed assertion on a result shows: the name the header gives the
// code, whether engine or Win32, and the number alone for one without.
TEST(Exports, ResultCodesPrintByName) {
    const struct {
        uint32_t code;
        const char *printed;
    } cases[] = {{ERR_END_OF_INDEX, "ERR_END_OF_INDEX (8503)"},
                 {KVL_WIN_DISK_FULL, "KVL_WIN_DISK_FULL (112)"},
                 {ERR_NONE, "ERR_NONE (0)"},
                 {8500, "8500"}};
    for (const auto &c : cases)
        EXPECT_EQ(testing::PrintToString(kvl_test::Result(c.code)), c.printed);
}

}  // namespace
