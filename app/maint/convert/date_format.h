// date_format.h - reading the dates of a published register into the stored
// date YYYYMMDD, by a pattern that is given or detected.
//
// A pattern is written with YYYY (four-digit year), YY (two-digit year), MM
// or M (month), DD or D (day), and any other character standing for itself:
// "YYYY-MM-DD", "MM/DD/YYYY", "DD.MM.YYYY", "YYYYMMDD" (lower case y, m and d
// mean the same).  A month or day
// followed by a separator or the end takes one or two digits, so
// "MM/DD/YYYY" reads 3/5/2024 as well as 03/05/2024; one followed directly
// by another number takes exactly two.
//
// A two-digit year YY means 20YY up to 49 and 19YY from 50.  A time after
// the date ("2024-03-15 00:00:00", "3/15/2024 12:00 AM", "2024-03-15T08:30")
// is passed over, as spreadsheets add one.  A date must exist: 02/30/2024
// is not a date, 02/29/2024 is.
#ifndef LEDGROVE_APP_MAINT_CONVERT_DATE_FORMAT_H
#define LEDGROVE_APP_MAINT_CONVERT_DATE_FORMAT_H

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ledgrove {

class DateFormat {
public:
    // The format of a pattern, or nothing when the pattern lacks a year, a
    // month or a day, or names one twice.
    static std::optional<DateFormat> from_pattern(std::string_view pattern);

    // The stored date YYYYMMDD of a text, or nothing when the text is not a
    // date in this format.  Leading and trailing spaces are allowed.
    std::optional<std::string> stored_date(std::string_view text) const;

    const std::string &pattern() const { return pattern_; }

private:
    enum class Kind { Year4, Year2, Month, Day, Literal };
    struct Part {
        Kind kind;
        char literal;
    };
    std::string pattern_;
    std::vector<Part> parts_;
};

// Whether the day exists in the calendar: month 1-12, day 1 to the
// month's last (February 29 in leap years), year 1 and later.
bool is_calendar_date(int year, int month, int day);

// The patterns that detection tries, most likely first for registers
// published in the United States.
const std::vector<std::string> &known_date_patterns();

struct DateDetection {
    std::optional<DateFormat> format;  // none when no known pattern reads any sample
    std::size_t read = 0;              // samples the chosen format reads
    std::size_t samples = 0;           // non-empty samples looked at
    std::vector<std::string> also_fitting;  // other patterns that read as many
};

// The known pattern that reads the most of the samples (empty ones are not
// counted); on a tie the one listed first.  Which others tie is reported,
// so a caller can tell 03/04/2024 read as March 4 from April 3.
DateDetection detect_date_format(const std::vector<std::string> &samples);

}  // namespace ledgrove

#endif  // LEDGROVE_APP_MAINT_CONVERT_DATE_FORMAT_H
