// record_id.cc - base-36 record ids.
#include "app/store/record_id.h"

namespace ledgrove {
namespace {

constexpr std::string_view kDigits = "0123456789abcdefghijklmnopqrstuvwxyz";
constexpr std::size_t kIdWidth = 6;

int digit_value(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'z') return c - 'a' + 10;
    if (c >= 'A' && c <= 'Z') return c - 'A' + 10;
    return -1;
}

}  // namespace

std::optional<std::string> record_id_text(std::uint64_t counter) {
    if (counter > kMaxRecordId) return std::nullopt;
    // Six base-36 digits, leading zeros included: below 36^6 the counter
    // never needs more, and never fewer are written.
    char digits[kIdWidth];
    for (std::size_t i = kIdWidth; i-- > 0; counter /= 36) digits[i] = kDigits[counter % 36];
    return std::string(digits, kIdWidth);
}

std::optional<std::uint64_t> parse_record_id(std::string_view text) {
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\0')) text.remove_suffix(1);
    if (text.empty()) return std::nullopt;
    std::uint64_t value = 0;
    for (char c : text) {
        int digit = digit_value(c);
        if (digit < 0) return std::nullopt;
        value = value * 36 + static_cast<std::uint64_t>(digit);
        if (value > kMaxRecordId) return std::nullopt;
    }
    return value;
}

}  // namespace ledgrove
