// conversion_report.h - what a conversion did, for the clerk who checks it
// against the published register.
//
// The text report:
//   - the notes (which column fed which field, how dates were read);
//   - every skipped row, by the line it starts on, with the reason;
//   - for each kind of changed value, how many written rows had it, and the
//     first few of them with the value before and after; among them the
//     check ids that differ in the file but are one in the register, since
//     a cut id can meet another check's;
//   - last, four lines: rows read, rows written, rows skipped, and the
//     control total of the amounts written, with two decimals and thousands
//     grouped as published totals are.
// rows read = rows written + rows skipped, always.
#ifndef LEDGROVE_APP_MAINT_CONVERT_CONVERSION_REPORT_H
#define LEDGROVE_APP_MAINT_CONVERT_CONVERSION_REPORT_H

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "app/maint/convert/row_convert.h"

namespace ledgrove {

struct SkippedRow {
    std::size_t line;
    std::string reason;
};

struct IssueTally {
    std::size_t rows = 0;        // written rows with this change
    std::size_t characters = 0;  // CharactersReplaced: characters in all
    struct Example {
        std::size_t line;
        std::string detail;
    };
    std::vector<Example> examples;
};

// Examples listed per kind when nothing else is asked for.
inline constexpr std::size_t kDefaultExamples = 10;

class ConversionReport {
public:
    // examples_per_kind 0 lists every changed value.
    explicit ConversionReport(std::size_t examples_per_kind = kDefaultExamples)
        : examples_per_kind_(examples_per_kind) {}

    void add_note(std::string note) { notes_.push_back(std::move(note)); }
    void add(const ConvertedRow &row);

    std::size_t rows_read() const { return rows_written_ + skipped_.size(); }
    std::size_t rows_written() const { return rows_written_; }
    const std::vector<SkippedRow> &skipped() const { return skipped_; }
    std::int64_t total_cents() const { return total_cents_; }
    const IssueTally &tally(IssueKind kind) const {
        return tallies_[static_cast<std::size_t>(kind)];
    }
    const std::vector<std::string> &notes() const { return notes_; }

    std::string text() const;

private:
    void tally_one(const RowIssue &issue, std::size_t line, bool new_row);
    void note_check_id(const ConvertedRow &row);

    std::size_t examples_per_kind_;
    std::vector<std::string> notes_;
    std::size_t rows_written_ = 0;
    std::vector<SkippedRow> skipped_;
    std::int64_t total_cents_ = 0;
    std::array<IssueTally, kIssueKindCount> tallies_;
    // Check id written -> the first id as read that became it.
    std::unordered_map<std::string, std::string> check_id_sources_;
};

}  // namespace ledgrove

#endif  // LEDGROVE_APP_MAINT_CONVERT_CONVERSION_REPORT_H
