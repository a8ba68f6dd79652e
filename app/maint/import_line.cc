// import_line.cc - one register CSV line into a record.
#include "app/maint/import_line.h"

#include <algorithm>
#include <optional>
#include <string>

#include "app/output/csv_line.h"
#include "app/store/field_text.h"

namespace ledgrove {
namespace {

std::string column_text(std::string_view line, CsvColumn column) {
    std::string text(line.substr(column.start, column.width));
    std::replace(text.begin(), text.end(), kCsvCommaStandIn, ',');
    return text;
}

bool is_blank(std::string_view line) {
    return line.find_first_not_of(" \t\r\f\v") == std::string_view::npos;
}

}  // namespace

std::string_view import_line_status_text(ImportLineStatus status) {
    switch (status) {
        case ImportLineStatus::Ok: return "";
        case ImportLineStatus::Blank: return "blank line";
        case ImportLineStatus::Short: return "line too short";
        case ImportLineStatus::NoAmount: return "amount is not a number";
        case ImportLineStatus::AmountTooLarge: return "amount too large";
    }
    return "";
}

ImportLineStatus parse_import_line(std::string_view line, CheckRecord &record) {
    if (is_blank(line)) return ImportLineStatus::Blank;
    if (line.size() < csv_columns::kAmount) return ImportLineStatus::Short;

    std::string_view amount_text = line.substr(csv_columns::kAmount);
    amount_text = amount_text.substr(0, amount_text.find_first_of(std::string_view("]\r\0", 3)));
    std::string amount_copy(amount_text);
    std::replace(amount_copy.begin(), amount_copy.end(), kCsvCommaStandIn, ',');
    ParsedNumber amount = scan_number(amount_copy);
    if (!amount.has_number || !is_blank(std::string_view(amount_copy).substr(amount.used)))
        return ImportLineStatus::NoAmount;
    std::optional<std::string> stored = stored_amount(amount.value);
    if (!stored) return ImportLineStatus::AmountTooLarge;

    using namespace csv_columns;
    record.tag = kLiveTag;
    set_field(record.CHKID, column_text(line, kCheckId));
    set_field(record.CHKDATE, stored_date(column_text(line, kYear), column_text(line, kMonth),
                                          column_text(line, kDay)));
    set_field(record.VENDORID, column_text(line, kVendorId));
    set_field(record.NAME, pad_right(column_text(line, kName), sizeof record.NAME));
    set_field(record.POID, column_text(line, kPoId));
    set_field(record.DESC, pad_right(column_text(line, kDesc), sizeof record.DESC));
    set_field(record.AMOUNT, *stored);
    return ImportLineStatus::Ok;
}

bool next_import_line(std::string_view text, std::size_t *pos, std::string_view *line) {
    if (*pos >= text.size()) return false;
    std::size_t end = text.find('\n', *pos);
    std::size_t next = end == std::string_view::npos ? text.size() : end + 1;
    if (end == std::string_view::npos) end = text.size();
    std::string_view found = text.substr(*pos, end - *pos);
    if (!found.empty() && found.back() == '\r') found.remove_suffix(1);
    *line = found;
    *pos = next;
    return true;
}

}  // namespace ledgrove
