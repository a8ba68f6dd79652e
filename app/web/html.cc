// html.cc - escaping, cells and base64.
#include "app/web/html.h"

#include <cstdio>

#include "app/store/amount_text.h"
#include "app/store/field_text.h"

namespace ledgrove::web {

std::string escape(std::string_view text) {
    std::string out;
    out.reserve(text.size() + text.size() / 8);
    for (char c : text) {
        switch (c) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            case '\'': out += "&#39;"; break;
            default:
                if ((static_cast<unsigned char>(c) < 0x20 && c != '\t' && c != '\n' && c != '\r') ||
                    c == 0x7F)
                    out += "&#xFFFD;";
                else
                    out.push_back(c);
        }
    }
    return out;
}

std::string cell_html(ColumnKind kind, const TableValue &value) {
    switch (kind) {
        case ColumnKind::Text: return escape(value.text);
        case ColumnKind::Date: return escape(display_date(value.text));
        case ColumnKind::Amount: return grouped_cents(value.number);
        case ColumnKind::Count: return group_thousands(std::to_string(value.number));
        case ColumnKind::Share: {
            char text[32];
            const double shown = value.share * 100.0;
            std::snprintf(text, sizeof text, "%.2f%%", shown > -0.005 && shown < 0.005 ? 0.0 : shown);
            return text;
        }
    }
    return {};
}

std::string base64(std::string_view bytes) {
    static const char digits[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    std::size_t i = 0;
    for (; i + 2 < bytes.size(); i += 3) {
        const unsigned n = static_cast<unsigned char>(bytes[i]) << 16 |
                           static_cast<unsigned char>(bytes[i + 1]) << 8 |
                           static_cast<unsigned char>(bytes[i + 2]);
        for (int shift : {18, 12, 6, 0}) out.push_back(digits[(n >> shift) & 63]);
    }
    if (i < bytes.size()) {
        unsigned n = static_cast<unsigned char>(bytes[i]) << 16;
        if (i + 1 < bytes.size()) n |= static_cast<unsigned char>(bytes[i + 1]) << 8;
        out.push_back(digits[(n >> 18) & 63]);
        out.push_back(digits[(n >> 12) & 63]);
        out.push_back(i + 1 < bytes.size() ? digits[(n >> 6) & 63] : '=');
        out.push_back('=');
    }
    return out;
}

}  // namespace ledgrove::web
