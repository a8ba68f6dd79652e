// column_mapping.h - which column of a published register feeds which
// field of the check record.
//
// A column is named by its header text (compared without regard to case,
// spaces and punctuation: "Check No", "check_no" and "CHECK NO." are one
// name) or by its 1-based number.  The date, the vendor name and the amount
// must be mapped; the other four may be absent and then stay blank.
//
// The guesser maps a header's columns by the names registers commonly use
// ("Check No", "Issue Date", "Payee", "Amount", ...), each column at most
// once; a dialog shows the guess and lets the user change it.
#ifndef LEDGROVE_APP_MAINT_CONVERT_COLUMN_MAPPING_H
#define LEDGROVE_APP_MAINT_CONVERT_COLUMN_MAPPING_H

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ledgrove {

// The record fields a column can feed, in the record's order.
enum class Target { CheckId, Date, VendorId, VendorName, PoNumber, Description, Amount };
inline constexpr std::size_t kTargetCount = 7;

struct TargetInfo {
    Target target;
    const char *option;  // the command-line option without "--"
    const char *label;   // how the report names it
    bool required;
};

inline constexpr std::array<TargetInfo, kTargetCount> kTargets = {{
    {Target::CheckId, "check-id", "check id", false},
    {Target::Date, "date", "date", true},
    {Target::VendorId, "vendor-id", "vendor id", false},
    {Target::VendorName, "vendor-name", "vendor name", true},
    {Target::PoNumber, "po-number", "PO number", false},
    {Target::Description, "description", "description", false},
    {Target::Amount, "amount", "amount", true},
}};

constexpr const TargetInfo &target_info(Target t) { return kTargets[static_cast<std::size_t>(t)]; }

// Columns by 0-based position; nothing for a field left blank.
struct ColumnMapping {
    std::array<std::optional<std::size_t>, kTargetCount> columns;

    std::optional<std::size_t> &operator[](Target t) {
        return columns[static_cast<std::size_t>(t)];
    }
    const std::optional<std::size_t> &operator[](Target t) const {
        return columns[static_cast<std::size_t>(t)];
    }
};

// A header name reduced to lower-case letters and digits.
std::string normalized_column_name(std::string_view name);

// The mapping guessed from a header's names.
ColumnMapping guess_mapping(const std::vector<std::string> &header);

// The column a user named: a 1-based number up to field_count, or a header
// name (not when there is no header).  On failure, error gets a sentence.
std::optional<std::size_t> find_column(std::string_view spec,
                                       const std::vector<std::string> *header,
                                       std::size_t field_count, std::string *error);

// "" when the mapping is usable for rows of field_count fields, else why
// not: a required field unmapped (naming its command-line option when
// name_options is set), or a column past the last.
std::string mapping_problem(const ColumnMapping &mapping, std::size_t field_count,
                            bool name_options = true);

}  // namespace ledgrove

#endif  // LEDGROVE_APP_MAINT_CONVERT_COLUMN_MAPPING_H
