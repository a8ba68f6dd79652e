// export_register.cc - the check-id index walked into a CSV file.
#include "app/maint/export_register.h"

#include "app/output/csv_file.h"
#include "app/output/csv_line.h"
#include "app/output/messages.h"
#include "app/search/index_walk.h"

namespace ledgrove {

ExportReport export_register(DatabaseSet &set, const std::string &csv_path) {
    ExportReport report;
    CsvFileWriter file;
    report.open_error = file.create(csv_path);
    if (report.open_error != 0) return report;
    const std::uint32_t ended = walk_index(set, kExportIndex, {}, WalkDirection::Forward, [&](const CheckRecord &record) {
        file.write(csv_line_from_record(record));
        ++report.written;
        return file.write_error() == 0;
    });
    if (ended != ERR_NONE && !is_end_of_walk(ended)) report.walk_error = ended;
    report.write_error = file.finish();
    return report;
}

messages::Notice export_notice(const ExportReport &report, const std::string &csv_path) {
    return messages::export_outcome(csv_path, report.written, report.open_error,
                                    report.write_error, report.walk_error);
}

}  // namespace ledgrove
