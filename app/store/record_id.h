// record_id.h - the record id: a counter written in base 36 (0-9, then
// lower-case a-z), right-justified and zero-filled to the six characters of
// the ID field.  1 -> 000001, 35 -> 00000z, 36 -> 000010.
#ifndef LEDGROVE_APP_STORE_RECORD_ID_H
#define LEDGROVE_APP_STORE_RECORD_ID_H

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace ledgrove {

inline constexpr std::uint64_t kMaxRecordId = 2176782335;  // 36^6 - 1, "zzzzzz"

// The id text of a counter, or nothing past kMaxRecordId.
std::optional<std::string> record_id_text(std::uint64_t counter);

// The counter of an id text: optional leading spaces, base-36 digits in
// either case, optional trailing spaces.  Nothing for an empty text, any
// other character, or a value past kMaxRecordId.
std::optional<std::uint64_t> parse_record_id(std::string_view text);

}  // namespace ledgrove

#endif  // LEDGROVE_APP_STORE_RECORD_ID_H
