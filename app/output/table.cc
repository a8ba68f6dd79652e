// table.cc - the value forms the table writers share.
#include "app/output/table.h"

#include <cstdio>

#include "app/store/amount_text.h"

namespace ledgrove {

std::string iso_date(std::string_view stored) {
    if (stored.size() != 8 || stored.find_first_not_of("0123456789") != std::string_view::npos)
        return std::string(stored);
    std::string date(stored.substr(0, 4));
    date.append("-").append(stored.substr(4, 2)).append("-").append(stored.substr(6, 2));
    return date;
}

std::string plain_value(ColumnKind kind, const TableValue &value) {
    switch (kind) {
        case ColumnKind::Text: return value.text;
        case ColumnKind::Date: return iso_date(value.text);
        case ColumnKind::Amount: return plain_cents(value.number);
        case ColumnKind::Count: return std::to_string(value.number);
        case ColumnKind::Share: break;
    }
    char text[32];
    std::snprintf(text, sizeof text, "%.6f", value.share);
    return text;
}

}  // namespace ledgrove
