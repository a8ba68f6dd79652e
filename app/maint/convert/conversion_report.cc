// conversion_report.cc - collecting converted rows and writing the report.
#include "app/maint/convert/conversion_report.h"

#include "app/store/amount_text.h"
#include "app/store/code_page.h"

namespace ledgrove {
namespace {

std::string count_text(std::size_t n) {
    std::string digits = std::to_string(n), out;
    const std::size_t first = digits.size() % 3 ? digits.size() % 3 : 3;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i >= first && (i - first) % 3 == 0) out += ',';
        out += digits[i];
    }
    return out;
}

std::string plural(std::size_t n, const char *one, const char *many) {
    return count_text(n) + " " + (n == 1 ? one : many);
}

}  // namespace

void ConversionReport::add(const ConvertedRow &row) {
    if (!row.written) {
        skipped_.push_back({row.line, row.reason()});
        return;
    }
    ++rows_written_;
    total_cents_ += row.cents;
    // A kind counts once per row, however many of the row's fields it hit.
    std::array<bool, kIssueKindCount> seen{};
    for (const RowIssue &issue : row.issues) {
        const std::size_t k = static_cast<std::size_t>(issue.kind);
        tally_one(issue, row.line, !seen[k]);
        seen[k] = true;
    }
    note_check_id(row);
}

void ConversionReport::tally_one(const RowIssue &issue, std::size_t line, bool new_row) {
    IssueTally &tally = tallies_[static_cast<std::size_t>(issue.kind)];
    tally.characters += issue.characters;
    if (new_row) ++tally.rows;
    if (examples_per_kind_ == 0 || tally.examples.size() < examples_per_kind_)
        tally.examples.push_back({line, issue.detail});
}

void ConversionReport::note_check_id(const ConvertedRow &row) {
    const std::string written(field_text(row.record.CHKID));
    const auto [at, added] = check_id_sources_.try_emplace(written, row.check_id_read);
    if (added || at->second == row.check_id_read) return;
    tally_one({IssueKind::CheckIdShared,
               from_register_text(row.check_id_read) + " and " +
                   from_register_text(at->second) + " are both " +
                   from_register_text(written)},
              row.line, true);
}

std::string ConversionReport::text() const {
    std::string out;
    for (const std::string &note : notes_) out += note + "\n";
    if (!skipped_.empty()) {
        out += "Skipped rows (numbered by the line they start on):\n";
        for (const SkippedRow &row : skipped_)
            out += "  row " + std::to_string(row.line) + ": " + row.reason + "\n";
    }
    for (std::size_t k = 0; k < kIssueKindCount; ++k) {
        const IssueTally &tally = tallies_[k];
        if (tally.rows == 0) continue;
        out += "Changed: " + std::string(issue_title(static_cast<IssueKind>(k))) + ": " +
               plural(tally.rows, "row", "rows");
        if (tally.characters) out += ", " + plural(tally.characters, "character", "characters");
        out += "\n";
        for (const IssueTally::Example &example : tally.examples)
            out += "  row " + std::to_string(example.line) + ": " + example.detail + "\n";
        if (tally.examples.size() < tally.rows && examples_per_kind_ != 0)
            out += "  (the first " + std::to_string(tally.examples.size()) + " shown)\n";
    }
    out += "Rows read: " + count_text(rows_read()) + "\n";
    out += "Rows written: " + count_text(rows_written_) + "\n";
    out += "Rows skipped: " + count_text(skipped_.size()) + "\n";
    out += "Control total of the amounts written: " + grouped_cents(total_cents_) + "\n";
    return out;
}

}  // namespace ledgrove
