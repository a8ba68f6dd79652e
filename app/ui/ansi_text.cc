// ansi_text.cc - the register's code page as a table of UTF-16 characters.
#include "app/ui/ansi_text.h"

#include <array>

#include "app/store/code_page.h"

namespace ledgrove::ui {
namespace {

using UnicodeTable = std::array<char16_t, 256>;

// Every character of the code page is in the Basic Multilingual Plane, so
// one UTF-16 unit stands for each byte.
UnicodeTable make_unicode_table() {
    UnicodeTable table{};
    for (unsigned b = 0; b < table.size(); ++b) {
        const std::string utf8 = from_register_text(std::string(1, static_cast<char>(b)));
        const QString character = QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
        table[b] = character.size() == 1 ? character.at(0).unicode() : u'?';
    }
    return table;
}

const UnicodeTable &unicode_table() {
    static const UnicodeTable table = make_unicode_table();
    return table;
}

}  // namespace

QChar *write_ansi(QChar *to, std::string_view text) {
    const UnicodeTable &unicode = unicode_table();
    for (char c : text) *to++ = QChar(unicode[static_cast<unsigned char>(c)]);
    return to;
}

QString from_ansi(std::string_view text) {
    QString out(static_cast<qsizetype>(text.size()), Qt::Uninitialized);
    write_ansi(out.data(), text);
    return out;
}

std::string to_ansi(const QString &text) { return to_register_text(text.toUtf8().toStdString()).text; }

}  // namespace ledgrove::ui
