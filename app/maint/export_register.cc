// export_register.cc - the check-id index walked into a CSV file.
#include "app/maint/export_register.h"

#include <array>

#include "app/output/csv_file.h"
#include "app/output/csv_line.h"
#include "app/output/messages.h"
#include "app/search/search.h"

namespace ledgrove {

ExportReport export_register(DatabaseSet &set, const std::string &csv_path) {
    ExportReport report;
    CsvFileWriter file;
    report.open_error = file.create(csv_path);
    if (report.open_error != 0) return report;

    std::array<char, KVL_MAX_KEY_LENGTH> key{};
    std::uint32_t record_number = 0;
    CheckRecord &record = set.record();
    if (!set.index_open(kExportIndex) || !set.data_open())
        set.note(ERR_FILE_NOT_OPEN);
    else
        set.note(KvlIx4GetEqualOrGreater(set.index(kExportIndex), key.data(), &record_number,
                                         &record));
    while (set.last_result() == ERR_NONE && file.write_error() == 0) {
        file.write(csv_line_from_record(record));
        ++report.written;
        set.note(KvlIx4GetNext(set.index(kExportIndex), key.data(), &record_number, &record));
    }
    if (!is_end_of_walk(set.last_result()) && set.last_result() != ERR_NONE)
        report.walk_error = set.last_result();
    report.write_error = file.finish();
    return report;
}

messages::Notice export_notice(const ExportReport &report, const std::string &csv_path) {
    return messages::export_outcome(csv_path, report.written, report.open_error,
                                    report.write_error, report.walk_error);
}

ExportReport export_register(DatabaseSet &set, const std::string &csv_path, SearchPort &port) {
    ExportReport report = export_register(set, csv_path);
    const messages::Notice notice = export_notice(report, csv_path);
    port.message_box(notice.text, notice.caption);
    return report;
}

}  // namespace ledgrove
