// import_line.cc - one register CSV line into a record.
#include "app/maint/import_line.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <string>

#include "app/maint/convert/date_format.h"
#include "app/output/csv_line.h"
#include "app/store/field_text.h"

namespace ledgrove {
namespace {

char comma_for_stand_in(char c) { return c == kCsvCommaStandIn ? ',' : c; }

// The column's text, each stand-in a comma, into a field padded with
// spaces: set_field of the column's text, without a string between.
template <std::size_t N>
void set_column(char (&field)[N], std::string_view line, CsvColumn column) {
    const std::string_view text = line.substr(column.start, column.width);
    const std::size_t n = std::min(text.size(), N);
    std::memcpy(field, text.data(), n);
    std::memset(field + n, ' ', N - n);
    for (std::size_t i = 0; i < n; ++i) field[i] = comma_for_stand_in(field[i]);
}

// The stored date: the year, month and day columns (digits, checked
// before) one after the other, as stored_date joins them.
void set_date(CheckRecord &record, std::string_view line) {
    using namespace csv_columns;
    char joined[kYear.width + kMonth.width + kDay.width];
    std::size_t length = 0;
    for (CsvColumn column : {kYear, kMonth, kDay})
        for (char c : line.substr(column.start, column.width)) joined[length++] = c;
    set_field(record.CHKDATE, std::string_view(joined, length));
}

// The column's digits as a number; -1 when any character is no digit.
int column_number(std::string_view line, CsvColumn column) {
    int value = 0;
    for (char c : line.substr(column.start, column.width)) {
        if (c < '0' || c > '9') return -1;
        value = value * 10 + (c - '0');
    }
    return value;
}

bool has_valid_date(std::string_view line) {
    using namespace csv_columns;
    return is_calendar_date(column_number(line, kYear), column_number(line, kMonth),
                            column_number(line, kDay));
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
        case ImportLineStatus::BadDate: return "the date is not a valid date (MM/DD/YYYY)";
        case ImportLineStatus::NoAmount: return "amount is not a number";
        case ImportLineStatus::AmountTooLarge: return "amount too large";
    }
    return "";
}

ImportLineStatus parse_import_line(std::string_view line, CheckRecord &record) {
    if (is_blank(line)) return ImportLineStatus::Blank;
    if (line.size() < csv_columns::kAmount) return ImportLineStatus::Short;
    if (!has_valid_date(line)) return ImportLineStatus::BadDate;

    std::string_view amount_text = line.substr(csv_columns::kAmount);
    amount_text = amount_text.substr(0, amount_text.find_first_of(std::string_view("]\r\0", 3)));
    // Stand-ins read as commas; a copy is made only where there is one.
    std::string amount_copy;
    if (amount_text.find(kCsvCommaStandIn) != std::string_view::npos) {
        amount_copy.assign(amount_text);
        std::replace(amount_copy.begin(), amount_copy.end(), kCsvCommaStandIn, ',');
        amount_text = amount_copy;
    }
    ParsedNumber amount = scan_number(amount_text);
    if (!amount.has_number || !is_blank(amount_text.substr(amount.used)))
        return ImportLineStatus::NoAmount;
    std::optional<std::string> stored = stored_amount(amount.value);
    if (!stored) return ImportLineStatus::AmountTooLarge;

    using namespace csv_columns;
    record.tag = kLiveTag;
    set_column(record.CHKID, line, kCheckId);
    set_date(record, line);
    set_column(record.VENDORID, line, kVendorId);
    set_column(record.NAME, line, kName);
    set_column(record.POID, line, kPoId);
    set_column(record.DESC, line, kDesc);
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
