// date_format.cc - date patterns: parsing them, reading dates by them,
// choosing one for a column.
#include "app/maint/convert/date_format.h"


namespace ledgrove {
namespace {

bool is_digit(char c) { return c >= '0' && c <= '9'; }

bool is_leap(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int days_in_month(int year, int month) {
    static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && is_leap(year) ? 29 : kDays[month - 1];
}

std::string_view trim(std::string_view text) {
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
    return text;
}

// A time of day after a date: a space or 'T', a digit, then digits, ':',
// '.', spaces and an AM or PM mark.
bool is_time_suffix(std::string_view rest) {
    if (rest.size() < 2 || (rest[0] != ' ' && rest[0] != 'T')) return false;
    rest = trim(rest.substr(1));
    if (rest.empty() || !is_digit(rest[0])) return false;
    for (std::string_view mark : {"AM", "PM", "am", "pm"})
        if (rest.ends_with(mark)) rest = trim(rest.substr(0, rest.size() - 2));
    for (char c : rest)
        if (!is_digit(c) && c != ':' && c != '.') return false;
    return true;
}

// A value known to fit, zero-filled to width.
std::string digits(int value, std::size_t width) {
    std::string text = std::to_string(value);
    return std::string(width - text.size(), '0') + text;
}

}  // namespace

std::optional<DateFormat> DateFormat::from_pattern(std::string_view given) {
    DateFormat format;
    format.pattern_ = std::string(given);
    for (char &c : format.pattern_)
        if (c == 'y' || c == 'm' || c == 'd') c = static_cast<char>(c - 'a' + 'A');
    const std::string_view pattern = format.pattern_;
    int years = 0, months = 0, days = 0;
    for (std::size_t i = 0; i < pattern.size();) {
        std::string_view rest = pattern.substr(i);
        if (rest.starts_with("YYYY")) {
            format.parts_.push_back({Kind::Year4, 0}), ++years, i += 4;
        } else if (rest.starts_with("YY")) {
            format.parts_.push_back({Kind::Year2, 0}), ++years, i += 2;
        } else if (rest[0] == 'M') {
            format.parts_.push_back({Kind::Month, 0}), ++months;
            i += rest.starts_with("MM") ? 2 : 1;
        } else if (rest[0] == 'D') {
            format.parts_.push_back({Kind::Day, 0}), ++days;
            i += rest.starts_with("DD") ? 2 : 1;
        } else if (rest[0] == 'Y' || is_digit(rest[0])) {
            return std::nullopt;  // a lone Y, or a digit that would read as a number
        } else {
            format.parts_.push_back({Kind::Literal, rest[0]}), ++i;
        }
    }
    if (years != 1 || months != 1 || days != 1) return std::nullopt;
    return format;
}

std::optional<std::string> DateFormat::stored_date(std::string_view text) const {
    text = trim(text);
    int year = 0, month = 0, day = 0;
    std::size_t pos = 0;
    for (std::size_t p = 0; p < parts_.size(); ++p) {
        const Part &part = parts_[p];
        if (part.kind == Kind::Literal) {
            if (pos >= text.size() || text[pos] != part.literal) return std::nullopt;
            ++pos;
            continue;
        }
        const bool separated = p + 1 == parts_.size() || parts_[p + 1].kind == Kind::Literal;
        std::size_t most = part.kind == Kind::Year4 ? 4 : 2;
        std::size_t least = (part.kind == Kind::Month || part.kind == Kind::Day) && separated
                                ? 1 : most;
        std::size_t n = 0;
        int value = 0;
        while (n < most && pos < text.size() && is_digit(text[pos]))
            value = value * 10 + (text[pos++] - '0'), ++n;
        if (n < least) return std::nullopt;
        switch (part.kind) {
            case Kind::Year4: year = value; break;
            case Kind::Year2: year = value < 50 ? 2000 + value : 1900 + value; break;
            case Kind::Month: month = value; break;
            case Kind::Day: day = value; break;
            case Kind::Literal: break;
        }
    }
    if (pos < text.size() && (is_digit(text[pos]) || !is_time_suffix(text.substr(pos))))
        return std::nullopt;
    if (!is_calendar_date(year, month, day)) return std::nullopt;
    return digits(year, 4) + digits(month, 2) + digits(day, 2);
}

bool is_calendar_date(int year, int month, int day) {
    return year >= 1 && month >= 1 && month <= 12 && day >= 1 && day <= days_in_month(year, month);
}

const std::vector<std::string> &known_date_patterns() {
    static const std::vector<std::string> patterns = {
        "YYYY-MM-DD", "MM/DD/YYYY", "DD/MM/YYYY", "YYYY/MM/DD", "MM-DD-YYYY",
        "DD.MM.YYYY", "YYYYMMDD",   "MM/DD/YY",   "DD-MM-YYYY",
    };
    return patterns;
}

DateDetection detect_date_format(const std::vector<std::string> &samples) {
    DateDetection best;
    for (const std::string &pattern : known_date_patterns()) {
        const DateFormat format = *DateFormat::from_pattern(pattern);
        std::size_t read = 0, looked = 0;
        for (const std::string &sample : samples) {
            if (trim(sample).empty()) continue;
            ++looked;
            read += format.stored_date(sample).has_value();
        }
        best.samples = looked;
        if (read == 0) continue;
        if (!best.format || read > best.read) {
            best.format = format;
            best.read = read;
            best.also_fitting.clear();
        } else if (read == best.read) {
            best.also_fitting.push_back(pattern);
        }
    }
    return best;
}

}  // namespace ledgrove
