// demo_register.h - a sample check register for demonstrations and
// benchmarks: N checks of a made-up public body from 2006 to 2020, in the
// register CSV line format that the import reads.
//
// The same count and seed always give the same checks, byte for byte: the
// generator uses its own random numbers and integer arithmetic only.
// What makes it look real: a few hundred to a few thousand vendors of which
// some are paid far more often than others, companies and persons whose
// names hold commas, electronic payments with their own id series, checks
// written by hand and dated before their neighbours, voids and refunds with
// negative amounts, purchase orders that are often missing, and amounts that
// range from a few dollars to a few million.
#ifndef LEDGROVE_APP_MAINT_DEMO_REGISTER_H
#define LEDGROVE_APP_MAINT_DEMO_REGISTER_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "app/store/check_record.h"

namespace ledgrove {

inline constexpr std::uint64_t kDemoSeed = 20061231;

class DemoRegister {
public:
    explicit DemoRegister(std::size_t checks, std::uint64_t seed = kDemoSeed);

    // The next check, its ID left blank (the import assigns ids).  False when
    // all checks have been given.
    bool next(CheckRecord &record);

    // The next check's register CSV line.
    bool next_line(std::string &line);

    std::size_t remaining() const { return checks_ - issued_; }

    struct Vendor {
        std::string id;
        std::string name;
        int kind;       // which descriptions and amounts suit it
        int decade;     // typical amount: 10^decade cents and up
    };

private:
    std::uint64_t random();
    std::uint64_t below(std::uint64_t bound);
    bool chance(unsigned percent) { return below(100) < percent; }
    const Vendor &pick_vendor();

    std::size_t checks_;
    std::size_t issued_ = 0;
    std::uint64_t state_;
    std::uint64_t check_number_ = 100000;
    std::uint64_t eft_number_ = 0;
    std::vector<Vendor> vendors_;
};

// The whole sample as one text, for small counts.
std::string demo_register_csv(std::size_t checks, std::uint64_t seed = kDemoSeed);

}  // namespace ledgrove

#endif  // LEDGROVE_APP_MAINT_DEMO_REGISTER_H
