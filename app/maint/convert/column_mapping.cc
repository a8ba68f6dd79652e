// column_mapping.cc - naming, finding and guessing columns.
#include "app/maint/convert/column_mapping.h"

#include <algorithm>
#include <charconv>

namespace ledgrove {
namespace {

// Header names seen in published registers, best first, already normalized.
const std::vector<std::string_view> &names_for(Target target) {
    static const std::array<std::vector<std::string_view>, kTargetCount> names = {{
        {"checkno", "checknumber", "checknum", "check", "chkno", "chknumber", "chk", "checkid",
         "number", "no", "paymentnumber", "documentnumber"},
        {"checkdate", "issuedate", "date", "paymentdate", "paiddate", "datepaid",
         "transactiondate"},
        {"vendorid", "vendornumber", "vendorno", "vendornum", "payeeid", "supplierid",
         "suppliernumber"},
        {"vendorname", "payee", "payeename", "name", "suppliername", "supplier", "paidto",
         "vendor"},
        {"ponumber", "pono", "po", "purchaseorder", "purchaseordernumber", "ponum"},
        {"description", "desc", "memo", "purpose", "invoicedescription", "linedescription",
         "comment"},
        {"amount", "checkamount", "paymentamount", "amountpaid", "netamount", "total"},
    }};
    return names[static_cast<std::size_t>(target)];
}

bool is_used(const ColumnMapping &mapping, std::size_t column) {
    for (const auto &c : mapping.columns)
        if (c == column) return true;
    return false;
}

}  // namespace

std::string normalized_column_name(std::string_view name) {
    std::string out;
    for (char c : name) {
        if (c >= 'A' && c <= 'Z') out += static_cast<char>(c - 'A' + 'a');
        else if ((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')) out += c;
    }
    return out;
}

ColumnMapping guess_mapping(const std::vector<std::string> &header) {
    std::vector<std::string> normalized;
    for (const std::string &name : header) normalized.push_back(normalized_column_name(name));

    // Rank by name first, so that "Vendor" goes to the vendor id only when
    // no better column took it, whatever the column order.
    ColumnMapping mapping;
    std::size_t longest = 0;
    for (const TargetInfo &info : kTargets) longest = std::max(longest, names_for(info.target).size());
    for (std::size_t rank = 0; rank < longest; ++rank) {
        for (const TargetInfo &info : kTargets) {
            const auto &names = names_for(info.target);
            if (mapping[info.target] || rank >= names.size()) continue;
            for (std::size_t column = 0; column < normalized.size(); ++column) {
                if (normalized[column] == names[rank] && !is_used(mapping, column)) {
                    mapping[info.target] = column;
                    break;
                }
            }
        }
    }
    return mapping;
}

std::optional<std::size_t> find_column(std::string_view spec,
                                       const std::vector<std::string> *header,
                                       std::size_t field_count, std::string *error) {
    std::size_t number = 0;
    auto [end, ec] = std::from_chars(spec.data(), spec.data() + spec.size(), number);
    if (ec == std::errc() && end == spec.data() + spec.size() && !spec.empty()) {
        if (number >= 1 && number <= field_count) return number - 1;
        *error = "column " + std::string(spec) + " does not exist: rows have " +
                 std::to_string(field_count) + " columns";
        return std::nullopt;
    }
    if (!header) {
        *error = "column \"" + std::string(spec) + "\": without a header, columns are numbers";
        return std::nullopt;
    }
    const std::string wanted = normalized_column_name(spec);
    std::optional<std::size_t> found;
    for (std::size_t column = 0; column < header->size(); ++column) {
        if (normalized_column_name((*header)[column]) != wanted || wanted.empty()) continue;
        if (found) {
            *error = "the header has two columns named \"" + std::string(spec) +
                     "\" (" + std::to_string(*found + 1) + " and " +
                     std::to_string(column + 1) + "): give the number";
            return std::nullopt;
        }
        found = column;
    }
    if (!found) *error = "the header has no column \"" + std::string(spec) + "\"";
    return found;
}

std::string mapping_problem(const ColumnMapping &mapping, std::size_t field_count,
                            bool name_options) {
    for (const TargetInfo &info : kTargets) {
        const auto &column = mapping[info.target];
        if (!column && info.required && name_options)
            return std::string("no column for the ") + info.label + " (--" + info.option + ")";
        if (!column && info.required)
            return std::string("no column is chosen for the ") + info.label;
        if (column && *column >= field_count)
            return std::string("the ") + info.label + " column " + std::to_string(*column + 1) +
                   " does not exist: rows have " + std::to_string(field_count) + " columns";
    }
    return "";
}

}  // namespace ledgrove
