// result_export.cc - the selected result lines as a CSV file.
#include "app/output/result_export.h"

#include <algorithm>

#include "app/output/csv_file.h"
#include "app/output/csv_line.h"
#include "app/output/messages.h"

namespace ledgrove {
namespace {

constexpr std::size_t kTypicalCsvLine = 128;  // a record's line with its CR LF

}  // namespace

bool is_record_line(std::string_view line) {
    // A record line holds the display date MM/DD/YYYY in the CSV line's date
    // columns; separator and subtotal lines are blank there.
    using namespace csv_columns;
    const std::size_t first_slash = kMonth.start + kMonth.width;
    const std::size_t second_slash = kDay.start + kDay.width;
    return line.size() > kAmount && line[first_slash] == '/' && line[second_slash] == '/';
}

std::string result_export_text(const ResultList &list, const std::vector<std::size_t> &selected) {
    std::string text;
    text.reserve(selected.size() * kTypicalCsvLine);
    for (std::size_t i : selected)
        if (i < list.size() && is_record_line(list.line(i)))
            text += csv_line_from_result_line(list.line(i));
    return text;
}

WriteOutcome write_export_file(const std::string &path, std::string_view text) {
    CsvFileWriter file;
    const std::uint32_t created = file.create(path);
    std::uint32_t written = 0;
    if (created == 0) {
        file.write(text);
        written = file.finish();
    }
    const std::size_t lines = static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
    const WriteStatus status = created != 0   ? WriteStatus::OpenFailed
                               : written != 0 ? WriteStatus::WriteFailed
                                              : WriteStatus::Written;
    return {status, messages::export_outcome(path, lines, created, written)};
}

}  // namespace ledgrove
