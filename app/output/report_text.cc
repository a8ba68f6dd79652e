// report_text.cc - criteria, sums and dates in words.
#include "app/output/report_text.h"

#include <cstdio>
#include <string_view>

#include "app/output/messages.h"
#include "app/output/result_export.h"
#include "app/search/date_range.h"
#include "app/search/result_lines.h"
#include "app/store/amount_text.h"

namespace ledgrove {
namespace {

void add_line(LinesSum &sum, std::string_view line) {
    if (!is_record_line(line)) return;
    ++sum.checks;
    // A display amount always reads; a line that was tampered with adds 0.
    const AmountReading amount = read_amount(line.substr(kAmountColumn));
    if (amount.status == AmountStatus::Ok) sum.cents += amount.cents;
}

std::string shown_date(const std::string &stored) {
    const DialogDate date = dialog_date(stored);
    return date.month + "/" + date.day + "/" + date.year;
}

// The sentence cut into lines at spaces; a word longer than a line is cut.
void append_wrapped(std::vector<std::string> &lines, std::string_view sentence, std::size_t width) {
    if (width == 0) width = 1;
    while (sentence.size() > width) {
        std::size_t cut = sentence.rfind(' ', width);
        if (cut == std::string_view::npos || cut == 0) cut = width;
        lines.emplace_back(sentence.substr(0, cut));
        sentence.remove_prefix(cut);
        while (!sentence.empty() && sentence.front() == ' ') sentence.remove_prefix(1);
    }
    if (!sentence.empty()) lines.emplace_back(sentence);
}

std::string_view comparison(char op) {
    switch (op) {
        case '<': return "less than";
        case '>': return "greater than";
        case '=': return "equal to";
        default: return "compared by '?' with";
    }
}

}  // namespace

LinesSum sum_record_lines(const ResultList &list, std::span<const std::size_t> rows) {
    LinesSum sum;
    for (std::size_t r : rows)
        if (r < list.size()) add_line(sum, list.line(r));
    return sum;
}

LinesSum sum_record_lines(const ResultList &list) {
    LinesSum sum;
    for (std::size_t r = 0; r < list.size(); ++r) add_line(sum, list.line(r));
    return sum;
}

std::vector<std::string> criteria_lines(const SearchInputs &in, SortOrder order, std::size_t width) {
    const std::string caption(sort_order_caption(order));
    std::vector<std::string> lines;
    append_wrapped(lines,
                   "Checks dated " + shown_date(in.from) + " to " + shown_date(in.to) + ", in " +
                       caption + " order" + (in.reverse ? ", reversed." : "."),
                   width);

    const struct {
        const char *name;
        const std::string &text;
    } matches[] = {
        {"Check ID", in.check_id},       {"Vendor ID", in.vendor_id},
        {"Vendor Name", in.vendor_name}, {"PO Number", in.po_number},
        {"Description", in.description},
    };
    std::string texts;
    for (const auto &m : matches) {
        if (m.text.empty()) continue;
        if (!texts.empty()) texts += ", ";
        texts += std::string(m.name) + " contains \"" + m.text + "\"";
    }
    if (texts.empty())
        texts = "No match texts.";
    else
        texts += in.match_case ? "; letter case counts." : "; letter case ignored.";
    append_wrapped(lines, texts, width);

    if (in.amount.empty()) {
        append_wrapped(lines, "Any amount.", width);
    } else {
        const AmountReading amount = read_amount(in.amount);
        const std::string value =
            amount.status == AmountStatus::Ok ? grouped_cents(amount.cents) : in.amount;
        append_wrapped(lines,
                       "Amount " + std::string(comparison(in.amount_operator)) + " " + value + ".",
                       width);
    }

    std::string subtotals = "No subtotals.";
    if (in.subtotals) {
        subtotals = "Subtotals by " + caption + ".";
        if (order == SortOrder::Date) subtotals = in.dates_by_month ? "Subtotals by month." : "Subtotals by date.";
    }
    append_wrapped(lines, subtotals, width);
    return lines;
}

std::string selection_note(std::size_t selected, std::size_t of) {
    return "The " + messages::count_of(selected, "line", "lines") + " selected of " +
           group_thousands(std::to_string(of)) + ".";
}

std::string summary_text(const LinesSum &sum) {
    return messages::count_of(sum.checks, "check", "checks") + ", total " + grouped_cents(sum.cents);
}

std::string printed_on_text(int year, int month, int day) {
    char text[32];
    std::snprintf(text, sizeof text, "Printed %02d/%02d/%04d", month, day, year);
    return text;
}

}  // namespace ledgrove
