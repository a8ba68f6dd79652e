// check_table.cc - a check's fields as table values.
#include "app/output/check_table.h"

#include "app/store/amount_text.h"
#include "app/store/code_page.h"
#include "app/store/field_text.h"

namespace ledgrove {
namespace {

template <std::size_t N>
void put_text(const char (&field)[N], TableValue &value) {
    std::string_view text = field_text(field);
    while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
    // Most register text is ASCII, which needs no conversion.
    bool ascii = true;
    for (char c : text) ascii = ascii && static_cast<unsigned char>(c) < 0x80;
    if (ascii) value.text.assign(text);
    else value.text = from_register_text(text);
}

}  // namespace

const std::vector<TableColumn> &check_columns() {
    static const std::vector<TableColumn> columns = {
        {"Check ID", "check_id", ColumnKind::Text, 10},
        {"Date", "date", ColumnKind::Date, 12},
        {"Vendor ID", "vendor_id", ColumnKind::Text, 12},
        {"Vendor Name", "vendor_name", ColumnKind::Text, 36},
        {"PO Number", "po_number", ColumnKind::Text, 11},
        {"Description", "description", ColumnKind::Text, 36},
        {"Amount", "amount", ColumnKind::Amount, 15},
    };
    return columns;
}

void check_row(const CheckRecord &record, TableRow &row) {
    row.resize(check_columns().size());
    put_text(record.CHKID, row[0]);
    row[1].text.assign(field_text(record.CHKDATE));
    put_text(record.VENDORID, row[2]);
    put_text(record.NAME, row[3]);
    put_text(record.POID, row[4]);
    put_text(record.DESC, row[5]);
    row[6].number = stored_cents(field_text(record.AMOUNT));
}

void CheckTableSink::add(const CheckRecord &record) {
    check_row(record, row_);
    writer_.row(row_);
    ++rows_;
}

}  // namespace ledgrove
