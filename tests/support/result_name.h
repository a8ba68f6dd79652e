// result_name.h - engine result codes by name in test output: wrapped in
// Result, a code prints as "ERR_EMPTY_INDEX (8505)", not as a bare number.
//
//   EXPECT_EQ(Result(KvlIx4NextKey(ix, key, &record)), ERR_END_OF_INDEX);
#ifndef KVL_TESTS_SUPPORT_RESULT_NAME_H
#define KVL_TESTS_SUPPORT_RESULT_NAME_H

#include <cstdint>
#include <ostream>
#include <string>

#include "engine/korval32.h"

namespace kvl_test {

// The code's name in KVL_RESULT_CODES, or its number when it has none.
inline std::string result_name(uint32_t code) {
    switch (code) {
#define KVL_TEST_RESULT_NAME(name, value) \
    case value:                           \
        return #name;
        KVL_RESULT_CODES(KVL_TEST_RESULT_NAME)
#undef KVL_TEST_RESULT_NAME
    }
    return std::to_string(code);
}

// A result code that gtest prints by name.  Converts from uint32_t, so it
// compares with the names and with plain numbers alike.
struct Result {
    Result(uint32_t value) : code(value) {}
    uint32_t code;

    friend bool operator==(Result a, Result b) { return a.code == b.code; }
    friend void PrintTo(Result r, std::ostream *out) {
        const std::string name = result_name(r.code);
        *out << name;
        if (name != std::to_string(r.code)) *out << " (" << r.code << ")";
    }
};

}  // namespace kvl_test

#endif  // KVL_TESTS_SUPPORT_RESULT_NAME_H
