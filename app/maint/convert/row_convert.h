// row_convert.h - one row of a published register into a check record,
// with every change to a value written down.
//
// What happens to each value:
//   - Every field is taken without its leading and trailing spaces.
//   - Text is moved from UTF-8 into the register's code page; characters
//     without a counterpart become '?' and are counted.  Line breaks, tabs
//     and other control characters inside a field become spaces.
//   - Identifiers that are too long keep their last characters, where check
//     and invoice numbers differ from their neighbours (2101282 -> 101282,
//     W22-214 -> 22-214): the check id 6, the vendor id 10, the PO number 8.
//     Dropping nothing but leading zeros is no change worth a warning.
//   - Texts that are too long keep their first characters: the vendor name
//     35, the description 32, as many as a register CSV line carries.
//   - A '~' in a text is written as it stands but reads back as ',': the
//     register CSV line uses '~' for ','.  It is counted.
//   - The date must be a date in the chosen format, the amount a number
//     that fits the stored amount; otherwise the row is skipped.  A row is
//     skipped also when it has the wrong number of fields, holds nothing, or
//     ends in a quoted field that was never closed.
#ifndef LEDGROVE_APP_MAINT_CONVERT_ROW_CONVERT_H
#define LEDGROVE_APP_MAINT_CONVERT_ROW_CONVERT_H

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/maint/convert/column_mapping.h"
#include "app/maint/convert/csv_reader.h"
#include "app/maint/convert/date_format.h"
#include "app/store/check_record.h"

namespace ledgrove {

// The description characters a register CSV line carries (then 3 spaces).
inline constexpr std::size_t kDescriptionInLine = 32;

enum class IssueKind {
    // The row is skipped.
    EmptyRow,
    FieldCount,
    UnclosedQuote,
    NoDate,
    BadDate,
    NoAmount,
    BadAmount,
    AmountTooLarge,
    // The row is written with a changed value.
    CheckIdCut,
    CheckIdShared,  // found by the report, which sees every row
    VendorIdCut,
    PoNumberCut,
    NameCut,
    DescriptionCut,
    AmountRounded,
    CharactersReplaced,
    ControlCharacters,
    TildeReadsAsComma,
};
inline constexpr std::size_t kIssueKindCount = 18;

bool skips_row(IssueKind kind);

// What the report says about a kind: "the date is not a date", "check id
// longer than 6 characters: kept the last 6", ...
std::string_view issue_title(IssueKind kind);

struct RowIssue {
    IssueKind kind;
    std::string detail;          // the value as read, or what became of it
    std::size_t characters = 0;  // CharactersReplaced: how many
};

struct RowSettings {
    ColumnMapping mapping;
    DateFormat date_format;
    std::size_t field_count = 0;                // fields a row must have
    std::optional<std::size_t> merge_column;  // takes a longer row's surplus fields
    char delimiter = ',';                       // rejoins merged fields
};

struct ConvertedRow {
    std::size_t line = 0;  // where the row starts in the file
    bool written = false;
    CheckRecord record;        // when written: every field but ID, which is blank
    std::string check_id_read;  // the check id before any cut, in the code page
    std::int64_t cents = 0;    // when written
    std::vector<RowIssue> issues;

    // Why a skipped row was skipped: its row-skipping issues, "; " between.
    std::string reason() const;
};

ConvertedRow convert_row(const CsvRow &row, const RowSettings &settings);

// The row's fields with a longer row's surplus fields joined back, with the
// delimiter, into the merge column: so a row whose name holds unquoted
// commas comes out with the name whole.  False when the row cannot be made
// to have field_count fields.
bool fit_row_fields(const CsvRow &row, const RowSettings &settings,
                    std::vector<std::string> &fields);

}  // namespace ledgrove

#endif  // LEDGROVE_APP_MAINT_CONVERT_ROW_CONVERT_H
