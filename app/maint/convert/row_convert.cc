// row_convert.cc - building a check record from a published row.
#include "app/maint/convert/row_convert.h"

#include <algorithm>
#include <array>

#include "app/store/amount_text.h"
#include "app/store/code_page.h"

namespace ledgrove {
namespace {

struct KindInfo {
    IssueKind kind;
    bool skips;
    std::string_view title;
};

constexpr std::array<KindInfo, kIssueKindCount> kKinds = {{
    {IssueKind::EmptyRow, true, "the row holds nothing"},
    {IssueKind::FieldCount, true, "the row has the wrong number of fields"},
    {IssueKind::UnclosedQuote, true, "a quoted field is never closed"},
    {IssueKind::NoDate, true, "no date"},
    {IssueKind::BadDate, true, "the date is not a date"},
    {IssueKind::NoAmount, true, "no amount"},
    {IssueKind::BadAmount, true, "the amount is not a number"},
    {IssueKind::AmountTooLarge, true, "the amount is too large for the register"},
    {IssueKind::CheckIdCut, false, "check id longer than 6 characters: kept the last 6"},
    {IssueKind::CheckIdShared, false, "different check ids that are one after the cut"},
    {IssueKind::VendorIdCut, false, "vendor id longer than 10 characters: kept the last 10"},
    {IssueKind::PoNumberCut, false, "PO number longer than 8 characters: kept the last 8"},
    {IssueKind::NameCut, false, "vendor name longer than 35 characters: cut to 35"},
    {IssueKind::DescriptionCut, false, "description longer than 32 characters: cut to 32"},
    {IssueKind::AmountRounded, false, "amount with more than 2 decimals: rounded to cents"},
    {IssueKind::CharactersReplaced, false, "characters with no counterpart in the register: '?'"},
    {IssueKind::ControlCharacters, false, "line breaks or control characters: spaces"},
    {IssueKind::TildeReadsAsComma, false, "'~' in a text: the import reads it as ','"},
}};

static_assert(sizeof(CheckRecord::CHKID) == 6 && sizeof(CheckRecord::VENDORID) == 10 &&
              sizeof(CheckRecord::POID) == 8 && sizeof(CheckRecord::NAME) == 35);
static_assert(kDescriptionInLine <= sizeof(CheckRecord::DESC));

const KindInfo &kind_info(IssueKind kind) { return kKinds[static_cast<std::size_t>(kind)]; }

std::string_view trim(std::string_view text) {
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
    return text;
}

// A value quoted for the report, one line whatever the value holds.
std::string quoted(std::string_view text) {
    std::string out = "\"";
    for (char c : text) out += static_cast<unsigned char>(c) < 0x20 ? ' ' : c;
    return out + "\"";
}

// A register text quoted for the report, which is UTF-8 like its input.
std::string shown(std::string_view cp1252) { return quoted(from_register_text(cp1252)); }

// Builds one record from a row whose fields are already in their columns.
class RowBuilder {
public:
    RowBuilder(const std::vector<std::string> &fields, const RowSettings &settings,
               ConvertedRow &out)
        : fields_(fields), settings_(settings), out_(out) {}

    void build();

private:
    std::string_view cell(Target target) const {
        const auto &column = settings_.mapping[target];
        return column && *column < fields_.size() ? trim(fields_[*column]) : std::string_view();
    }
    void issue(IssueKind kind, std::string detail, std::size_t characters = 0) {
        out_.issues.push_back({kind, std::move(detail), characters});
    }

    std::string register_text(Target target);
    std::string identifier(Target target, std::size_t width, IssueKind cut);
    std::string text(Target target, std::size_t width, IssueKind cut);
    std::optional<std::string> date();
    std::optional<std::int64_t> amount();

    const std::vector<std::string> &fields_;
    const RowSettings &settings_;
    ConvertedRow &out_;
};

std::string RowBuilder::register_text(Target target) {
    const std::string_view utf8 = cell(target);
    RegisterText converted = to_register_text(utf8);
    const char *label = target_info(target).label;
    if (converted.replaced)
        issue(IssueKind::CharactersReplaced, std::string(label) + " " + quoted(utf8),
              converted.replaced);
    std::string &text = converted.text;
    bool controls = false;
    for (char &c : text) {
        const unsigned char byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F) c = ' ', controls = true;
    }
    if (controls)
        issue(IssueKind::ControlCharacters, std::string(label) + " " + shown(text));
    return std::string(trim(text));
}

std::string RowBuilder::identifier(Target target, std::size_t width, IssueKind cut) {
    std::string value = register_text(target);
    if (target == Target::CheckId) out_.check_id_read = value;
    if (value.size() <= width) return value;
    const std::string_view dropped = std::string_view(value).substr(0, value.size() - width);
    std::string kept = value.substr(value.size() - width);
    if (dropped.find_first_not_of('0') != std::string_view::npos)
        issue(cut, from_register_text(value) + " -> " + from_register_text(kept));
    return kept;
}

std::string RowBuilder::text(Target target, std::size_t width, IssueKind cut) {
    std::string value = register_text(target);
    if (value.find('~') != std::string::npos)
        issue(IssueKind::TildeReadsAsComma,
              std::string(target_info(target).label) + " " + shown(value));
    if (value.size() <= width) return value;
    issue(cut, shown(value) + " -> " + shown(std::string_view(value).substr(0, width)));
    value.resize(width);
    return value;
}

std::optional<std::string> RowBuilder::date() {
    const std::string_view text = cell(Target::Date);
    if (text.empty()) {
        issue(IssueKind::NoDate, "");
        return std::nullopt;
    }
    std::optional<std::string> stored = settings_.date_format.stored_date(text);
    if (!stored)
        issue(IssueKind::BadDate, quoted(text) + " is no " + settings_.date_format.pattern());
    return stored;
}

std::optional<std::int64_t> RowBuilder::amount() {
    const std::string_view text = cell(Target::Amount);
    const AmountReading reading = read_amount(text);
    switch (reading.status) {
        case AmountStatus::Ok:
            if (reading.rounded)
                issue(IssueKind::AmountRounded, quoted(text) + " -> " + grouped_cents(reading.cents));
            return reading.cents;
        case AmountStatus::Empty: issue(IssueKind::NoAmount, ""); break;
        case AmountStatus::NotANumber: issue(IssueKind::BadAmount, quoted(text)); break;
        case AmountStatus::TooLarge: issue(IssueKind::AmountTooLarge, quoted(text)); break;
    }
    return std::nullopt;
}

void RowBuilder::build() {
    const std::optional<std::string> stored_date = date();
    const std::optional<std::int64_t> cents = amount();
    CheckRecord &r = out_.record;
    r = blank_record();
    set_field(r.CHKID, identifier(Target::CheckId, sizeof r.CHKID, IssueKind::CheckIdCut));
    set_field(r.VENDORID, identifier(Target::VendorId, sizeof r.VENDORID, IssueKind::VendorIdCut));
    set_field(r.POID, identifier(Target::PoNumber, sizeof r.POID, IssueKind::PoNumberCut));
    set_field(r.NAME, text(Target::VendorName, sizeof r.NAME, IssueKind::NameCut));
    set_field(r.DESC, text(Target::Description, kDescriptionInLine, IssueKind::DescriptionCut));
    if (!stored_date || !cents) return;
    set_field(r.CHKDATE, *stored_date);
    set_field(r.AMOUNT, stored_amount_of_cents(*cents));
    out_.cents = *cents;
    out_.written = true;
}

bool holds_nothing(const std::vector<std::string> &fields) {
    return std::all_of(fields.begin(), fields.end(),
                       [](const std::string &f) { return trim(f).empty(); });
}

}  // namespace

bool fit_row_fields(const CsvRow &row, const RowSettings &settings,
                    std::vector<std::string> &fields) {
    const std::size_t have = row.fields.size(), want = settings.field_count;
    if (have == want) {
        fields = row.fields;
        return true;
    }
    if (have < want || !settings.merge_column || *settings.merge_column >= want) return false;
    const std::size_t merge = *settings.merge_column, surplus = have - want;
    fields.assign(row.fields.begin(), row.fields.begin() + static_cast<std::ptrdiff_t>(merge));
    std::string joined = row.fields[merge];
    for (std::size_t i = 1; i <= surplus; ++i) joined += settings.delimiter + row.fields[merge + i];
    fields.push_back(std::move(joined));
    fields.insert(fields.end(), row.fields.begin() + static_cast<std::ptrdiff_t>(merge + surplus + 1),
                  row.fields.end());
    return true;
}

bool skips_row(IssueKind kind) { return kind_info(kind).skips; }

std::string_view issue_title(IssueKind kind) { return kind_info(kind).title; }

std::string ConvertedRow::reason() const {
    std::string out;
    for (const RowIssue &issue : issues) {
        if (!skips_row(issue.kind)) continue;
        if (!out.empty()) out += "; ";
        out += issue_title(issue.kind);
        if (!issue.detail.empty()) out += ": " + issue.detail;
    }
    return out;
}

ConvertedRow convert_row(const CsvRow &row, const RowSettings &settings) {
    ConvertedRow out;
    out.line = row.line;
    out.record = blank_record();
    if (row.unclosed_quote) {
        out.issues.push_back({IssueKind::UnclosedQuote, "it runs to the end of the file"});
        return out;
    }
    if (holds_nothing(row.fields)) {
        out.issues.push_back({IssueKind::EmptyRow, ""});
        return out;
    }
    std::vector<std::string> fields;
    if (!fit_row_fields(row, settings, fields)) {
        out.issues.push_back({IssueKind::FieldCount, std::to_string(row.fields.size()) +
                                                         " instead of " +
                                                         std::to_string(settings.field_count)});
        return out;
    }
    RowBuilder(fields, settings, out).build();
    return out;
}

}  // namespace ledgrove
