// code_page.h - the register's 8-bit code page, Windows-1252, and the
// moves between it and UTF-8.
//
// Every text field of the register holds 1252 bytes, one byte a character.
// Text from outside (a published register, the desktop's Unicode controls)
// is UTF-8 and comes in through to_register_text; text going out for display
// goes through from_register_text.  Nothing else in the program knows which
// code page the register uses.
//
// 1252 is ISO 8859-1 except in 0x80-0x9F, where it places curly quotes,
// dashes, the euro sign and a few letters; five of those bytes (0x81, 0x8D,
// 0x8F, 0x90, 0x9D) have no character.
#ifndef LEDGROVE_APP_STORE_CODE_PAGE_H
#define LEDGROVE_APP_STORE_CODE_PAGE_H

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

namespace ledgrove {

// Stands in for a character that has no counterpart: visible, and ASCII in
// both code pages.
inline constexpr char kNoCounterpart = '?';

struct RegisterText {
    std::string text;       // 1252 bytes
    std::size_t replaced;   // characters that became kNoCounterpart
};

// UTF-8 into 1252.  A character with no 1252 counterpart, and each byte of
// a malformed UTF-8 sequence, becomes kNoCounterpart and is counted.  A
// '?' that was already there is not counted.
RegisterText to_register_text(std::string_view utf8);

// 1252 into UTF-8, for display.  The five bytes without a character show
// as U+FFFD, the replacement character.
std::string from_register_text(std::string_view cp1252);

// The upper-case form of a 1252 character, and of a text: a-z, the accented
// small letters (\xE9 -> \xC9), \x9A \x9C \x9E and \xFF.  Letters without a
// capital in 1252 (\xDF, \xB5) and everything else stay as they are, so the
// length never changes.
namespace code_page_detail {
constexpr std::array<char, 256> make_upper_table() {
    std::array<char, 256> table{};
    for (int b = 0; b < 256; ++b) {
        int upper = b;
        if ((b >= 'a' && b <= 'z') || (b >= 0xE0 && b <= 0xFE && b != 0xF7)) upper = b - 0x20;
        // The three letters of 0x80-0x9F that have capitals there, and y
        // with diaeresis, whose capital is there too.
        if (b == 0x9A || b == 0x9C || b == 0x9E) upper = b - 0x10;
        if (b == 0xFF) upper = 0x9F;
        table[static_cast<std::size_t>(b)] = static_cast<char>(upper);
    }
    return table;
}

inline constexpr std::array<char, 256> kUpperCase = make_upper_table();
}  // namespace code_page_detail

// Inline: the searches fold every byte of the fields they look in.
inline char register_upper(char c) {
    return code_page_detail::kUpperCase[static_cast<unsigned char>(c)];
}
std::string register_upper(std::string_view cp1252);

}  // namespace ledgrove

#endif  // LEDGROVE_APP_STORE_CODE_PAGE_H
