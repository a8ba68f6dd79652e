// lock_support.h - a data file with header length 289 and record length 94
// (eight character fields, 93 bytes) on disk, for the lock tests.
#ifndef KVL_TESTS_ENGINE_LOCK_LOCK_SUPPORT_H
#define KVL_TESTS_ENGINE_LOCK_LOCK_SUPPORT_H

#include <gtest/gtest.h>

#include <string>

#include "engine/data/data_test_util.h"
#include "engine/korval32.h"

namespace kvl_test {

constexpr uint32_t kLockHeaderLength = 289;
constexpr uint32_t kLockRecordLength = 94;

inline void create_lock_file(const std::string &path) {
    auto fields = descriptors({{"A", 'C', 10}, {"B", 'C', 10}, {"C", 'C', 10}, {"D", 'C', 10},
                               {"E", 'C', 10}, {"F", 'C', 10}, {"G", 'C', 10}, {"H", 'C', 23}});
    ASSERT_EQ(KvlDataCreateFile(3, 8, fields.data(), path.c_str(), 0, nullptr), 0u);
}

inline uint32_t append(DataFile &data, const std::string &text) {
    auto record = record_image(kLockRecordLength, text);
    uint32_t number = 0;
    const uint32_t rc = KvlDataAddRecord(data.rec(), record.data(), &number);
    return rc == 0 ? number : 0;
}

}  // namespace kvl_test

#endif  // KVL_TESTS_ENGINE_LOCK_LOCK_SUPPORT_H
