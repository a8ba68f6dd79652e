// summary_table.cc - a summary's rows as table values.
#include "app/output/summary_table.h"

#include <cstdio>

#include "app/store/code_page.h"

namespace ledgrove {

std::vector<TableColumn> summary_columns(SummaryGroup by) {
    std::vector<TableColumn> columns;
    switch (by) {
        case SummaryGroup::Vendor:
            columns.push_back({"Vendor ID", "vendor_id", ColumnKind::Text, 12});
            columns.push_back({"Vendor Name", "vendor_name", ColumnKind::Text, 36});
            break;
        case SummaryGroup::Month: columns.push_back({"Month", "month", ColumnKind::Text, 10}); break;
        case SummaryGroup::FiscalYear:
            columns.push_back({"Fiscal Year", "fiscal_year", ColumnKind::Text, 12});
            break;
        case SummaryGroup::Description:
            columns.push_back({"Description", "description", ColumnKind::Text, 36});
            break;
    }
    columns.push_back({"Checks", "checks", ColumnKind::Count, 10});
    columns.push_back({"Total", "total", ColumnKind::Amount, 18});
    columns.push_back({"Share", "share", ColumnKind::Share, 10});
    columns.push_back({"First Date", "first_date", ColumnKind::Date, 12});
    columns.push_back({"Last Date", "last_date", ColumnKind::Date, 12});
    return columns;
}

std::string share_text(double share) {
    char text[32];
    const double shown = share * 100.0;
    std::snprintf(text, sizeof text, "%.2f%%", shown > -0.005 && shown < 0.005 ? 0.0 : shown);
    return text;
}

std::vector<TableRow> summary_rows(const Summary &summary) {
    std::vector<TableRow> rows;
    rows.reserve(summary.rows.size());
    for (const SummaryRow &r : summary.rows) {
        TableRow row;
        if (summary.options.by == SummaryGroup::Vendor)
            row.push_back({from_register_text(r.vendor_id)});
        row.push_back({from_register_text(r.label)});
        row.push_back({"", static_cast<std::int64_t>(r.checks)});
        row.push_back({"", r.total_cents});
        row.push_back({"", 0, r.share});
        row.push_back({r.first_date});
        row.push_back({r.last_date});
        rows.push_back(std::move(row));
    }
    return rows;
}

}  // namespace ledgrove
