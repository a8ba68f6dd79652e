// code_page.cc - Windows-1252 to and from UTF-8.
#include "app/store/code_page.h"

#include <array>
#include <cstdint>

namespace ledgrove {
namespace {

constexpr char32_t kNone = 0;  // a 1252 byte with no character

// The characters of 1252 bytes 0x80-0x9F; the rest of the upper half is
// Latin-1, byte value equal to code point.
constexpr char32_t kHighControls[32] = {
    0x20AC, kNone,  0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 80-87
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, kNone,  0x017D, kNone,   // 88-8F
    kNone,  0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90-97
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, kNone,  0x017E, 0x0178,  // 98-9F
};

constexpr char32_t kReplacementCharacter = 0xFFFD;

// The 1252 byte of a code point, or -1 when it has none.
int byte_of(char32_t code_point) {
    if (code_point < 0x80 || (code_point >= 0xA0 && code_point <= 0xFF))
        return static_cast<int>(code_point);
    for (int i = 0; i < 32; ++i)
        if (kHighControls[i] == code_point && code_point != kNone) return 0x80 + i;
    return -1;
}

char32_t code_point_of(unsigned char byte) {
    if (byte < 0x80 || byte >= 0xA0) return byte;
    char32_t c = kHighControls[byte - 0x80];
    return c == kNone ? kReplacementCharacter : c;
}

bool is_continuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

// Decodes one UTF-8 character at text[pos]; *length gets the bytes it took.
// Returns false for a malformed sequence (then *length is 1): overlong
// forms, surrogates and values past U+10FFFF are malformed too.
bool decode(std::string_view text, std::size_t pos, char32_t *code_point, std::size_t *length) {
    const unsigned char lead = static_cast<unsigned char>(text[pos]);
    std::size_t need;
    char32_t value;
    char32_t minimum;
    if (lead < 0x80) {
        *code_point = lead;
        *length = 1;
        return true;
    } else if ((lead & 0xE0) == 0xC0) {
        need = 1, value = lead & 0x1F, minimum = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        need = 2, value = lead & 0x0F, minimum = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        need = 3, value = lead & 0x07, minimum = 0x10000;
    } else {
        *length = 1;
        return false;
    }
    *length = 1;
    if (pos + need >= text.size()) return false;  // cut short by the end
    for (std::size_t i = 1; i <= need; ++i) {
        const unsigned char next = static_cast<unsigned char>(text[pos + i]);
        if (!is_continuation(next)) return false;
        value = (value << 6) | (next & 0x3F);
    }
    if (value < minimum || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF))
        return false;
    *code_point = value;
    *length = need + 1;
    return true;
}

void append_utf8(std::string &out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}


}  // namespace

std::string register_upper(std::string_view cp1252) {
    std::string out(cp1252);
    for (char &c : out) c = register_upper(c);
    return out;
}

RegisterText to_register_text(std::string_view utf8) {
    RegisterText out{{}, 0};
    out.text.reserve(utf8.size());
    std::size_t pos = 0;
    while (pos < utf8.size()) {
        char32_t c = 0;
        std::size_t length = 1;
        const int byte = decode(utf8, pos, &c, &length) ? byte_of(c) : -1;
        if (byte < 0) {
            out.text += kNoCounterpart;
            ++out.replaced;
        } else {
            out.text += static_cast<char>(byte);
        }
        pos += length;
    }
    return out;
}

std::string from_register_text(std::string_view cp1252) {
    std::string out;
    out.reserve(cp1252.size());
    for (char ch : cp1252) append_utf8(out, code_point_of(static_cast<unsigned char>(ch)));
    return out;
}

}  // namespace ledgrove
