// date_range.h - the date range a search starts with, and the years the
// dialog offers.  The range runs from 01/01/2006 to 12/31 of the current
// year, so a register of this year's checks shows them all without the
// user touching the dates; "ALL" sets the same range.
#ifndef LEDGROVE_APP_SEARCH_DATE_RANGE_H
#define LEDGROVE_APP_SEARCH_DATE_RANGE_H

#include <string>

namespace ledgrove {

inline constexpr int kFirstListedYear = 2000;    // the From and To year lists
inline constexpr int kFirstWholeYear = 2006;     // the years box
inline constexpr int kDefaultFromYear = 2006;

// A date as the dialog's three combo boxes hold it.
struct DialogDate {
    std::string month;  // "01".."12"
    std::string day;    // "01".."31"
    std::string year;   // "2006"
};

// The current year by the local calendar.
int current_year();

DialogDate default_from_date();  // 01/01/2006
DialogDate default_to_date();    // 12/31 of the current year

}  // namespace ledgrove

#endif  // LEDGROVE_APP_SEARCH_DATE_RANGE_H
