// xlsx_table.h - a table as an Excel workbook of one worksheet, through
// libxlsxwriter: a bold header row frozen in place, dates as real dates,
// amounts as numbers shown with two decimals, counts as numbers, shares as
// percentages, and a bold total row (SUM formulas that carry their exact
// values, so a reader that does not calculate still sees the totals).
//
// The workbook is written row by row (the library's constant-memory mode),
// so a large export needs no more memory than a small one.  A worksheet
// holds 1,048,576 rows: a table longer than that fails, naming the limit.
#ifndef LEDGROVE_APP_OUTPUT_XLSX_TABLE_H
#define LEDGROVE_APP_OUTPUT_XLSX_TABLE_H

#include <string>

#include "app/output/table.h"

struct lxw_workbook;
struct lxw_worksheet;
struct lxw_format;

namespace ledgrove {

class XlsxTableWriter : public TableWriter {
public:
    XlsxTableWriter(const std::string &path, const std::string &sheet_name);
    ~XlsxTableWriter() override;
    XlsxTableWriter(const XlsxTableWriter &) = delete;
    XlsxTableWriter &operator=(const XlsxTableWriter &) = delete;

    void begin(const std::vector<TableColumn> &columns) override;
    void row(const TableRow &values) override;
    std::optional<std::string> finish() override;

private:
    void note(int error);
    void write_total_row();

    std::string path_;
    std::string sheet_name_;
    lxw_workbook *book_ = nullptr;
    lxw_worksheet *sheet_ = nullptr;
    lxw_format *bold_ = nullptr, *date_ = nullptr, *amount_ = nullptr, *share_ = nullptr;
    lxw_format *bold_amount_ = nullptr, *bold_share_ = nullptr;
    std::vector<ColumnKind> kinds_;
    std::vector<std::int64_t> sums_;  // per column: cents, or counts
    std::vector<double> share_sums_;
    std::uint32_t next_row_ = 0;
    int error_ = 0;  // the first lxw_error
};

}  // namespace ledgrove

#endif  // LEDGROVE_APP_OUTPUT_XLSX_TABLE_H
