// xlsx_table.cc - a table written as a worksheet by libxlsxwriter.
#include "app/output/xlsx_table.h"

#include <xlsxwriter.h>

namespace ledgrove {
namespace {

// "A", "B", ..., "AA": the letters of a column, for the SUM formulas.
std::string column_letters(std::size_t column) {
    std::string letters;
    for (std::size_t n = column + 1; n > 0; n = (n - 1) / 26)
        letters.insert(letters.begin(), static_cast<char>('A' + (n - 1) % 26));
    return letters;
}

bool real_date(std::string_view stored, lxw_datetime *date) {
    if (stored.size() != 8 || stored.find_first_not_of("0123456789") != std::string_view::npos)
        return false;
    auto number = [&](std::size_t at, std::size_t n) {
        int value = 0;
        for (char c : stored.substr(at, n)) value = value * 10 + (c - '0');
        return value;
    };
    *date = {number(0, 4), number(4, 2), number(6, 2), 0, 0, 0.0};
    return date->year >= 1900 && date->month >= 1 && date->month <= 12 && date->day >= 1 &&
           date->day <= 31;
}

lxw_format *format(lxw_workbook *book, const char *number_format, bool bold) {
    lxw_format *f = workbook_add_format(book);
    if (number_format) format_set_num_format(f, number_format);
    if (bold) format_set_bold(f);
    return f;
}

}  // namespace

XlsxTableWriter::XlsxTableWriter(const std::string &path, const std::string &sheet_name)
    : path_(path), sheet_name_(sheet_name) {
    lxw_workbook_options options = {LXW_TRUE, nullptr, LXW_TRUE};
    book_ = workbook_new_opt(path.c_str(), &options);
    if (!book_) {
        note(LXW_ERROR_MEMORY_MALLOC_FAILED);
        return;
    }
    sheet_ = workbook_add_worksheet(book_, sheet_name_.c_str());
    bold_ = format(book_, nullptr, true);
    date_ = format(book_, "yyyy-mm-dd", false);
    amount_ = format(book_, "#,##0.00", false);
    share_ = format(book_, "0.00%", false);
    bold_amount_ = format(book_, "#,##0.00", true);
    bold_share_ = format(book_, "0.00%", true);
}

XlsxTableWriter::~XlsxTableWriter() {
    if (book_) workbook_close(book_);
}

void XlsxTableWriter::note(int error) {
    if (error_ == LXW_NO_ERROR) error_ = error;
}

void XlsxTableWriter::begin(const std::vector<TableColumn> &columns) {
    if (!sheet_) return;
    kinds_.clear();
    for (std::size_t i = 0; i < columns.size(); ++i) {
        const auto col = static_cast<lxw_col_t>(i);
        note(worksheet_set_column(sheet_, col, col, columns[i].width, nullptr));
        note(worksheet_write_string(sheet_, 0, col, columns[i].title.c_str(), bold_));
        kinds_.push_back(columns[i].kind);
    }
    sums_.assign(columns.size(), 0);
    share_sums_.assign(columns.size(), 0.0);
    worksheet_freeze_panes(sheet_, 1, 0);
    next_row_ = 1;
}

void XlsxTableWriter::row(const TableRow &values) {
    if (!sheet_ || error_ != LXW_NO_ERROR) return;
    const lxw_row_t r = next_row_++;
    for (std::size_t i = 0; i < values.size() && i < kinds_.size(); ++i) {
        const auto col = static_cast<lxw_col_t>(i);
        const TableValue &v = values[i];
        lxw_datetime date;
        switch (kinds_[i]) {
            case ColumnKind::Text:
                if (!v.text.empty()) note(worksheet_write_string(sheet_, r, col, v.text.c_str(), nullptr));
                break;
            case ColumnKind::Date:
                if (real_date(v.text, &date))
                    note(worksheet_write_datetime(sheet_, r, col, &date, date_));
                else if (!v.text.empty())
                    note(worksheet_write_string(sheet_, r, col, v.text.c_str(), nullptr));
                break;
            case ColumnKind::Amount:
                note(worksheet_write_number(sheet_, r, col, static_cast<double>(v.number) / 100.0,
                                            amount_));
                sums_[i] += v.number;
                break;
            case ColumnKind::Count:
                note(worksheet_write_number(sheet_, r, col, static_cast<double>(v.number), nullptr));
                sums_[i] += v.number;
                break;
            case ColumnKind::Share:
                note(worksheet_write_number(sheet_, r, col, v.share, share_));
                share_sums_[i] += v.share;
                break;
        }
    }
}

void XlsxTableWriter::write_total_row() {
    const lxw_row_t r = next_row_;
    note(worksheet_write_string(sheet_, r, 0, "Total", bold_));
    for (std::size_t i = 0; i < kinds_.size(); ++i) {
        const ColumnKind kind = kinds_[i];
        if (kind != ColumnKind::Amount && kind != ColumnKind::Count && kind != ColumnKind::Share)
            continue;
        const std::string letters = column_letters(i);
        const std::string formula =
            r > 1 ? "=SUM(" + letters + "2:" + letters + std::to_string(r) + ")" : "=0";
        const double value = kind == ColumnKind::Share    ? share_sums_[i]
                             : kind == ColumnKind::Amount ? static_cast<double>(sums_[i]) / 100.0
                                                          : static_cast<double>(sums_[i]);
        lxw_format *f = kind == ColumnKind::Share    ? bold_share_
                        : kind == ColumnKind::Amount ? bold_amount_
                                                     : bold_;
        note(worksheet_write_formula_num(sheet_, r, static_cast<lxw_col_t>(i), formula.c_str(), f,
                                         value));
    }
}

std::optional<std::string> XlsxTableWriter::finish() {
    if (sheet_ && error_ == LXW_NO_ERROR) write_total_row();
    if (book_) {
        const lxw_error closed = workbook_close(book_);
        book_ = nullptr;
        note(closed);
    }
    if (error_ == LXW_NO_ERROR) return std::nullopt;
    if (error_ == LXW_ERROR_WORKSHEET_INDEX_OUT_OF_RANGE)
        return "Cannot write " + path_ + ": a worksheet holds at most " +
               std::to_string(LXW_ROW_MAX - 2) + " rows and a total.";
    return "Cannot write " + path_ + ": " + lxw_strerror(static_cast<lxw_error>(error_)) + ".";
}

}  // namespace ledgrove
