// check_table.h - the check lines of a search as a table: check id, date,
// vendor id, vendor name, PO number, description and amount, one row per
// check (no subtotal lines).  Texts lose their trailing spaces and leave
// the register's code page for UTF-8; the description is whole, not cut
// as the register CSV line cuts it.
#ifndef LEDGROVE_APP_OUTPUT_CHECK_TABLE_H
#define LEDGROVE_APP_OUTPUT_CHECK_TABLE_H

#include <cstddef>
#include <vector>

#include "app/output/table.h"
#include "app/search/record_sink.h"

namespace ledgrove {

const std::vector<TableColumn> &check_columns();

// Fills `row` with a check's values, in check_columns' order.
void check_row(const CheckRecord &record, TableRow &row);

// A search's checks, written as rows as the search accepts them.
class CheckTableSink : public RecordSink {
public:
    explicit CheckTableSink(TableWriter &writer) : writer_(writer) {}
    void add(const CheckRecord &record) override;
    std::size_t rows() const { return rows_; }

private:
    TableWriter &writer_;
    TableRow row_;
    std::size_t rows_ = 0;
};

}  // namespace ledgrove

#endif  // LEDGROVE_APP_OUTPUT_CHECK_TABLE_H
