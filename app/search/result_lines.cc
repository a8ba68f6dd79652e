// result_lines.cc - record, separator and subtotal lines, and the grouping
// that places the subtotals.
#include "app/search/result_lines.h"

#include <cstring>

#include "app/store/amount_text.h"
#include "app/store/field_text.h"

namespace ledgrove {
namespace {

constexpr std::string_view kSubtotalFor = "   Subtotal for ";

// Where a subtotal line puts its parts.  The widths add up to the record
// line's, so the subtotal stands in the amount column.
struct SubtotalLayout {
    std::size_t leading_spaces;
    std::size_t label_width;
    std::string_view arrow;
};

constexpr SubtotalLayout kDayLayout = {76, 10, ": ----->"};
constexpr SubtotalLayout kMonthLayout = {79, 7, ": ----->"};
constexpr SubtotalLayout kFieldLayouts[kSortOrderCount] = {
    kDayLayout,          // Date
    {52, 35, " ----->"},  // Vendor Name
    {79, 8, " ----->"},   // PO Number
    {58, 29, " ----->"},  // Description: the label shows 29 of 35
    {72, 15, " ----->"},  // Amount: the stored amount
    {79, 8, " ----->"},   // Vendor ID: the label shows 8 of 10
    {81, 6, " ----->"},   // Check ID
};

constexpr bool fills_line(const SubtotalLayout &l) {
    return l.leading_spaces + kSubtotalFor.size() + l.label_width + l.arrow.size() + kAmountWidth ==
           kResultLineWidth;
}
static_assert(fills_line(kDayLayout) && fills_line(kMonthLayout));
static_assert(fills_line(kFieldLayouts[1]) && fills_line(kFieldLayouts[2]) &&
              fills_line(kFieldLayouts[3]) && fills_line(kFieldLayouts[4]) &&
              fills_line(kFieldLayouts[5]) && fills_line(kFieldLayouts[6]));

const SubtotalLayout &layout_of(SortOrder order, bool dates_by_month) {
    if (order == SortOrder::Date) return dates_by_month ? kMonthLayout : kDayLayout;
    return kFieldLayouts[static_cast<int>(order)];
}

// The field's text cut or padded to exactly width.
void append_fixed(std::string &line, std::string_view text, std::size_t width) {
    text = text.substr(0, width);
    line.append(text);
    line.append(width - text.size(), ' ');
}

// The label of a group that never started, used by a closing subtotal after
// an empty scan.
std::string_view empty_group_label(SortOrder order) {
    switch (order) {
        case SortOrder::Date: return "00/01/0000";
        case SortOrder::Amount: return "               ";
        default: return "";
    }
}

Field group_field(SortOrder order) {
    switch (order) {
        case SortOrder::Date: return Field::CHKDATE;
        case SortOrder::VendorName: return Field::NAME;
        case SortOrder::PONumber: return Field::POID;
        case SortOrder::Description: return Field::DESC;
        case SortOrder::Amount: return Field::AMOUNT;
        case SortOrder::VendorID: return Field::VENDORID;
        case SortOrder::CheckID: return Field::CHKID;
    }
    return Field::CHKDATE;
}

// Copies at most width characters of text into out (field_text already
// stops at a zero byte); with pad, spaces fill the field to width.  Returns
// the end.
char *put_field(char *out, std::string_view text, std::size_t width, bool pad) {
    const std::size_t n = text.size() < width ? text.size() : width;
    std::memcpy(out, text.data(), n);
    if (!pad) return out + n;
    std::memset(out + n, ' ', width - n);
    return out + width;
}

// Fills line with the record's line; the caller's buffer is reused so a long
// scan does not allocate a string per record.  The columns before the amount
// are laid out in a buffer of at most their fixed width, then the amount
// follows.
void build_record_line(const CheckRecord &record, double amount, bool pad, std::string &line) {
    char columns[kAmountColumn];
    char *at = columns;
    at = put_field(at, field_text(record.CHKID), sizeof record.CHKID, pad);
    *at++ = ' ';
    at = put_field(at, display_date(field_text(record.CHKDATE)), kDisplayDateWidth, pad);
    *at++ = ' ';
    at = put_field(at, field_text(record.VENDORID), sizeof record.VENDORID, pad);
    *at++ = ' ';
    at = put_field(at, field_text(record.NAME), sizeof record.NAME, pad);
    *at++ = ' ';
    at = put_field(at, field_text(record.POID), sizeof record.POID, pad);
    *at++ = ' ';
    at = put_field(at, field_text(record.DESC), sizeof record.DESC, pad);
    *at++ = ' ';
    line.assign(columns, static_cast<std::size_t>(at - columns));
    line += display_amount(amount);
}

static_assert(sizeof(CheckRecord::CHKID) + sizeof(CheckRecord::VENDORID) +
                  sizeof(CheckRecord::NAME) + sizeof(CheckRecord::POID) +
                  sizeof(CheckRecord::DESC) + kDisplayDateWidth + 6 ==
              kAmountColumn);

}  // namespace

std::string record_line(const CheckRecord &record) {
    std::string line;
    build_record_line(record, stored_value(field_text(record.AMOUNT)), false, line);
    return line;
}

std::string padded_record_line(const CheckRecord &record) {
    std::string line;
    build_record_line(record, stored_value(field_text(record.AMOUNT)), true, line);
    return line;
}

std::string separator_line() {
    return std::string(kAmountColumn + 1, ' ') + std::string(kAmountWidth - 1, '=');
}

GroupKey group_key(const CheckRecord &record, SortOrder order, bool dates_by_month) {
    GroupKey key;
    std::string_view text = field_text(record, group_field(order));
    if (order == SortOrder::Date) {
        key.text = dates_by_month ? display_month(text) : display_date(text);
    } else {
        key.text = std::string(text);
        if (order == SortOrder::Amount) key.value = stored_value(text);
    }
    return key;
}

bool same_group(SortOrder order, const GroupKey &a, const GroupKey &b) {
    if (order == SortOrder::Amount) return a.value == b.value;
    return a.text == b.text;
}

std::string subtotal_line(SortOrder order, bool dates_by_month, const GroupKey *key,
                          double subtotal) {
    const SubtotalLayout &layout = layout_of(order, dates_by_month);
    std::string line(layout.leading_spaces, ' ');
    line += kSubtotalFor;
    if (key)
        append_fixed(line, key->text, layout.label_width);
    else
        line += empty_group_label(order);
    line += layout.arrow;
    line += display_amount(subtotal);
    return line;
}

std::string total_text(double total) { return group_thousands(format_amount(total)); }

void ResultBuilder::add(const CheckRecord &record) {
    const double amount = stored_value(field_text(record.AMOUNT));
    total_ += amount;
    ++line_count_;
    if (options_.subtotals) {
        GroupKey key = group_key(record, options_.order, options_.dates_by_month);
        if (!group_started_) {
            group_started_ = true;
            group_ = std::move(key);
            subtotal_ = amount;
        } else if (same_group(options_.order, key, group_)) {
            subtotal_ += amount;
        } else {
            emit_subtotal();
            sink_.append(kBlankLine);
            group_ = std::move(key);
            subtotal_ = amount;
        }
    }
    build_record_line(record, amount, false, line_);
    sink_.append(line_);
}

void ResultBuilder::close() {
    if (closed_ || !options_.subtotals) return;
    closed_ = true;
    emit_subtotal();
    if (options_.order == SortOrder::VendorName || options_.order == SortOrder::CheckID)
        sink_.append(kBlankLine);
}

void ResultBuilder::emit_subtotal() {
    sink_.append(separator_line());
    sink_.append(subtotal_line(options_.order, options_.dates_by_month,
                               group_started_ ? &group_ : nullptr, subtotal_));
}

}  // namespace ledgrove
