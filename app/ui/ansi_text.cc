// ansi_text.cc - code page 1252 <-> UTF-16.
#include "app/ui/ansi_text.h"

#include <array>

namespace ledgrove::ui {
namespace {

// 0x80-0x9F; the rest of the code page is the same number in Unicode.
constexpr std::array<char16_t, 32> kHighControls = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

constexpr std::array<char16_t, 256> make_unicode_table() {
    std::array<char16_t, 256> table{};
    for (unsigned b = 0; b < 256; ++b)
        table[b] = b >= 0x80 && b <= 0x9F ? kHighControls[b - 0x80] : char16_t(b);
    return table;
}
constexpr std::array<char16_t, 256> kUnicode = make_unicode_table();

char ansi_of(char16_t c) {
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return static_cast<char>(c);
    for (std::size_t i = 0; i < kHighControls.size(); ++i)
        if (kHighControls[i] == c) return static_cast<char>(0x80 + i);
    return '?';
}

}  // namespace

QChar *write_ansi(QChar *to, std::string_view text) {
    for (char c : text) *to++ = QChar(kUnicode[static_cast<unsigned char>(c)]);
    return to;
}

QString from_ansi(std::string_view text) {
    QString out(static_cast<qsizetype>(text.size()), Qt::Uninitialized);
    write_ansi(out.data(), text);
    return out;
}

std::string to_ansi(const QString &text) {
    std::string out;
    out.reserve(static_cast<std::size_t>(text.size()));
    for (QChar c : text) out.push_back(ansi_of(c.unicode()));
    return out;
}

}  // namespace ledgrove::ui
