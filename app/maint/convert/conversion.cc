// conversion.cc - settling a conversion's settings and running it.
#include "app/maint/convert/conversion.h"

#include <map>

#include "app/store/amount_text.h"
#include "app/maint/convert/csv_reader.h"
#include "app/maint/convert/date_format.h"

namespace ledgrove {
namespace {

// What the date and amount columns of the whole file hold.
struct ColumnSurvey {
    std::vector<std::string> dates;
    std::size_t rows = 0;
    std::size_t amounts = 0;  // readable ones
};

ColumnSurvey survey(std::string_view input, const PreparedConversion &prepared) {
    ColumnSurvey out;
    CsvReader reader(input, prepared.settings.delimiter);
    CsvRow row;
    std::vector<std::string> fields;
    if (prepared.has_header) reader.next(row);
    const ColumnMapping &mapping = prepared.settings.mapping;
    while (reader.next(row)) {
        ++out.rows;
        if (!fit_row_fields(row, prepared.settings, fields)) continue;
        out.dates.push_back(fields[*mapping[Target::Date]]);
        out.amounts += read_amount(fields[*mapping[Target::Amount]]).status == AmountStatus::Ok;
    }
    return out;
}

// The field count most rows have; on a tie the smaller, since rows with
// unquoted delimiters come out longer, never shorter.
std::size_t usual_field_count(std::string_view input, char delimiter) {
    std::map<std::size_t, std::size_t> rows_with;
    CsvReader reader(input, delimiter);
    CsvRow row;
    while (reader.next(row)) ++rows_with[row.fields.size()];
    std::size_t best = 0, most = 0;
    for (const auto &[count, rows] : rows_with)
        if (rows > most) best = count, most = rows;
    return best;
}

std::string column_name(const PreparedConversion &prepared, std::size_t column) {
    std::string name = std::to_string(column + 1);
    if (column < prepared.header.size()) name += " \"" + prepared.header[column] + "\"";
    return name;
}

constexpr std::size_t kLabelWidth = 11;  // "vendor name", the longest label

// Fills the mapping from the request, or from the guess where the request
// says nothing; false (error set) on a column that does not exist.
bool settle_mapping(const ConvertRequest &request, PreparedConversion &prepared) {
    const std::vector<std::string> *header = request.has_header ? &prepared.header : nullptr;
    const ColumnMapping guess = header ? guess_mapping(*header) : ColumnMapping{};
    const std::size_t count = prepared.settings.field_count;
    std::string note = "Columns:";
    for (const TargetInfo &info : kTargets) {
        const auto &spec = request.columns[static_cast<std::size_t>(info.target)];
        std::optional<std::size_t> &column = prepared.settings.mapping[info.target];
        bool guessed = false;
        if (!spec) {
            column = guess[info.target];
            guessed = column.has_value();
        } else if (!spec->empty()) {
            column = find_column(*spec, header, count, &prepared.error);
            if (!column) {
                prepared.error = request.name_options
                                     ? "--" + std::string(info.option) + ": " + prepared.error
                                     : "for the " + std::string(info.label) + ", " +
                                           prepared.error;
                return false;
            }
        }
        std::string label = info.label;
        label.resize(kLabelWidth, ' ');
        note += "\n  " + label + " <- " + (column ? column_name(prepared, *column) : "none") +
                (guessed ? " (guessed)" : "");
    }
    prepared.notes.push_back(note);
    prepared.error = mapping_problem(prepared.settings.mapping, count, request.name_options);
    return prepared.ok();
}

bool settle_date_format(const ConvertRequest &request, const ColumnSurvey &columns,
                        PreparedConversion &prepared) {
    if (!request.date_format.empty()) {
        std::optional<DateFormat> format = DateFormat::from_pattern(request.date_format);
        if (!format) {
            prepared.error = (request.name_options ? "--date-format " : "the date format ") +
                             request.date_format +
                             ": a pattern needs YYYY or YY, MM and DD, as in MM/DD/YYYY";
            return false;
        }
        prepared.settings.date_format = *format;
        prepared.notes.push_back("Dates read as " + format->pattern() + ".");
        return true;
    }
    const DateDetection detection = detect_date_format(columns.dates);
    if (!detection.format) {
        if (detection.samples == 0 && columns.rows == 0) return true;  // nothing to read
        prepared.error = "no known date format reads the date column " +
                         column_name(prepared, *prepared.settings.mapping[Target::Date]) +
                         (request.name_options ? ": give --date-format"
                                               : ": choose the column that holds the dates");
        return false;
    }
    prepared.settings.date_format = *detection.format;
    std::string note = "Dates read as " + detection.format->pattern() + " (detected: it reads " +
                       std::to_string(detection.read) + " of " +
                       std::to_string(detection.samples) + ").";
    for (const std::string &other : detection.also_fitting)
        note += " " + other +
                (request.name_options ? " reads them too: give --date-format if that is meant."
                                      : " reads them too: check the dates in the rows below.");
    prepared.notes.push_back(note);
    return true;
}

}  // namespace

std::vector<std::string> read_header(std::string_view input, char delimiter) {
    CsvReader reader(input, delimiter);
    CsvRow row;
    return reader.next(row) ? row.fields : std::vector<std::string>();
}

PreparedConversion prepare_conversion(std::string_view input, const ConvertRequest &request) {
    PreparedConversion prepared;
    RowSettings &settings = prepared.settings;
    settings.delimiter = request.delimiter;
    settings.date_format = *DateFormat::from_pattern(known_date_patterns().front());
    prepared.has_header = request.has_header;
    if (!csv_delimiter_usable(request.delimiter)) {
        prepared.error = "the delimiter cannot be a quote or a line break";
        return prepared;
    }
    CsvReader reader(input, request.delimiter);
    CsvRow first;
    if (!reader.next(first)) {
        prepared.error = "the file holds no rows";
        return prepared;
    }
    if (request.has_header) prepared.header = first.fields;
    if (request.field_count) {
        settings.field_count = request.field_count;
    } else if (request.has_header) {
        settings.field_count = first.fields.size();
    } else {
        settings.field_count = usual_field_count(input, request.delimiter);
        prepared.notes.push_back("Rows have " + std::to_string(settings.field_count) +
                                 " fields, the most common count" +
                                 (request.name_options ? " (--fields to choose)." : "."));
    }

    if (!request.merge_column.empty()) {
        const std::vector<std::string> *header = request.has_header ? &prepared.header : nullptr;
        settings.merge_column =
            find_column(request.merge_column, header, settings.field_count, &prepared.error);
        if (!settings.merge_column) {
            prepared.error = (request.name_options ? "--merge-extra: "
                                                   : "the column for surplus fields: ") +
                             prepared.error;
            return prepared;
        }
        prepared.notes.push_back("Surplus fields are joined into column " +
                                 column_name(prepared, *settings.merge_column) + ".");
    }
    if (!settle_mapping(request, prepared)) return prepared;

    const ColumnSurvey columns = survey(input, prepared);
    if (!settle_date_format(request, columns, prepared)) return prepared;
    if (columns.rows > 0 && columns.amounts == 0) {
        prepared.error = "the amount column " +
                         column_name(prepared, *settings.mapping[Target::Amount]) +
                         " holds no amount";
    }
    return prepared;
}

ConversionReport convert_rows(std::string_view input, const PreparedConversion &prepared,
                              const RowSink &sink, std::size_t row_limit,
                              std::size_t examples_per_kind) {
    ConversionReport report(examples_per_kind);
    for (const std::string &note : prepared.notes) report.add_note(note);
    CsvReader reader(input, prepared.settings.delimiter);
    CsvRow row;
    if (prepared.has_header) reader.next(row);
    while ((row_limit == 0 || report.rows_read() < row_limit) && reader.next(row)) {
        const ConvertedRow converted = convert_row(row, prepared.settings);
        report.add(converted);
        if (sink) sink(converted);
    }
    return report;
}

std::vector<ConvertedRow> preview_rows(std::string_view input,
                                       const PreparedConversion &prepared, std::size_t n) {
    std::vector<ConvertedRow> rows;
    if (n == 0) return rows;
    convert_rows(input, prepared, [&](const ConvertedRow &row) { rows.push_back(row); }, n);
    return rows;
}

}  // namespace ledgrove
