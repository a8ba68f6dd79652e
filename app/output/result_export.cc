// result_export.cc - the selected result lines as a CSV file.
#include "app/output/result_export.h"

#include "app/output/csv_file.h"
#include "app/output/csv_line.h"
#include "app/output/messages.h"

namespace ledgrove {
namespace {

constexpr std::size_t kTypicalCsvLine = 128;  // a record's line with its CR LF

}  // namespace

std::string result_export_text(const ResultList &list, const std::vector<std::size_t> &selected) {
    std::string text;
    text.reserve(selected.size() * kTypicalCsvLine);
    for (std::size_t i : selected)
        if (i < list.size()) text += csv_line_from_result_line(list.line(i));
    return text;
}

WriteStatus write_export_file(const std::string &path, std::string_view text, SearchPort &port) {
    CsvFileWriter file;
    const std::uint32_t opened = file.create(path);
    if (opened != 0) {
        port.message_box(messages::file_open_failure(opened), messages::kErrorCaption);
        return WriteStatus::OpenFailed;
    }
    file.write(text);
    const std::uint32_t written = file.finish();
    if (written != 0) {
        port.message_box(messages::file_write_failure(written), messages::kErrorCaption);
        return WriteStatus::WriteFailed;
    }
    return WriteStatus::Written;
}

}  // namespace ledgrove
