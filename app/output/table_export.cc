// table_export.cc - the search and summary tables into their files.
#include "app/output/table_export.h"

#include <cctype>
#include <functional>
#include <memory>

#include "app/output/check_table.h"
#include "app/output/csv_file.h"
#include "app/output/csv_table.h"
#include "app/output/json_table.h"
#include "app/output/summary_table.h"
#include "app/output/xlsx_table.h"

namespace ledgrove {
namespace {

bool ends_with(std::string_view path, std::string_view extension) {
    if (path.size() < extension.size()) return false;
    const std::string_view tail = path.substr(path.size() - extension.size());
    for (std::size_t i = 0; i < tail.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(tail[i])) != extension[i]) return false;
    return true;
}

// Opens the file in the format, hands the writer to `write` (which returns
// the rows written and the writer's failure) and closes the file.
TableExport export_table(
    const std::string &path, TableFormat format, std::string_view sheet_name,
    const std::function<std::pair<std::size_t, std::optional<std::string>>(TableWriter &)> &write) {
    TableExport done;
    std::optional<std::string> failure;
    if (format == TableFormat::Xlsx) {
        XlsxTableWriter writer(path, std::string(sheet_name));
        auto [rows, write_failure] = write(writer);
        done.rows = rows;
        failure = write_failure;
    } else {
        CsvFileWriter file;
        if (const std::uint32_t created = file.create(path); created != 0) {
            done.notice = {messages::file_create_failure(path, created), messages::kErrorCaption};
            return done;
        }
        std::unique_ptr<TableWriter> writer;
        if (format == TableFormat::Csv) writer = std::make_unique<CsvTableWriter>(file);
        else writer = std::make_unique<JsonTableWriter>(file);
        auto [rows, write_failure] = write(*writer);
        done.rows = rows;
        failure = write_failure;
        if (const std::uint32_t written = file.finish(); written != 0 && !failure)
            failure = messages::file_write_failure(path, written);
    }
    done.ok = !failure;
    done.notice = failure ? messages::Notice{*failure, messages::kErrorCaption}
                          : messages::Notice{messages::count_of(done.rows, "line", "lines") +
                                                 " written to " + path + ".",
                                             messages::kExportedCaption};
    return done;
}

// Hands on the checks at the picked places alone, and ends the walk after
// the last of them.
class PickedChecks : public RecordSink {
public:
    PickedChecks(RecordSink &to, const std::vector<std::size_t> &picked) : to_(to), picked_(picked) {}
    void add(const CheckRecord &record) override {
        if (next_ < picked_.size() && picked_[next_] == place_++) {
            ++next_;
            to_.add(record);
        }
    }
    bool wants_more() const override { return next_ < picked_.size(); }
    std::size_t at_most() const override { return picked_.empty() ? 0 : picked_.back() + 1; }

private:
    RecordSink &to_;
    const std::vector<std::size_t> &picked_;
    std::size_t next_ = 0, place_ = 0;
};

}  // namespace

std::optional<TableFormat> table_format_of(std::string_view path) {
    if (ends_with(path, ".csv")) return TableFormat::Csv;
    if (ends_with(path, ".xlsx")) return TableFormat::Xlsx;
    if (ends_with(path, ".json")) return TableFormat::Json;
    return std::nullopt;
}

TableWriteResult write_search_table(DatabaseSet &set, SortOrder order, const SearchInputs &inputs,
                                    TableWriter &writer) {
    writer.begin(check_columns());
    CheckTableSink sink(writer);
    TableWriteResult result;
    result.search = search_checks(set, order, inputs, sink);
    result.failure = writer.finish();
    if (!result.failure && result.search.stopped_by_error())
        result.failure = "The search stopped early on engine error " +
                         std::to_string(result.search.end_result) +
                         "; rebuilding the indexes makes them anew.";
    return result;
}

std::optional<std::string> write_summary_table(const Summary &summary, TableWriter &writer) {
    writer.begin(summary_columns(summary.options.by));
    for (const TableRow &row : summary_rows(summary)) writer.row(row);
    return writer.finish();
}

TableExport export_search_table(DatabaseSet &set, SortOrder order, const SearchInputs &inputs,
                                const std::string &path, TableFormat format) {
    return export_table(path, format, "Checks", [&](TableWriter &writer) {
        TableWriteResult result = write_search_table(set, order, inputs, writer);
        return std::pair{result.search.line_count, result.failure};
    });
}

TableExport export_search_table(DatabaseSet &set, SortOrder order, const SearchInputs &inputs,
                                const std::string &path, TableFormat format,
                                const std::vector<std::size_t> &picked) {
    return export_table(path, format, "Checks", [&](TableWriter &writer) {
        writer.begin(check_columns());
        CheckTableSink rows(writer);
        PickedChecks sink(rows, picked);
        const SearchResult search = search_checks(set, order, inputs, sink);
        std::optional<std::string> failure = writer.finish();
        if (!failure && search.stopped_by_error())
            failure = "The search stopped early on engine error " + std::to_string(search.end_result) +
                      "; rebuilding the indexes makes them anew.";
        return std::pair{rows.rows(), failure};
    });
}

TableExport export_summary_table(const Summary &summary, const std::string &path,
                                 TableFormat format) {
    return export_table(path, format, "Summary", [&](TableWriter &writer) {
        return std::pair{summary.rows.size(), write_summary_table(summary, writer)};
    });
}

}  // namespace ledgrove
