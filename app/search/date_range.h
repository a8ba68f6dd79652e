// date_range.h - the date range a search starts with, and the years the
// dialog offers.
//
// "ALL" spans the register: from the date of its earliest check to that of
// its latest, as the date index's first and last keys hold them, so an old
// check and a post-dated one are both listed.  An empty register (or one
// whose date index cannot be read) gets 01/01/2006 to 12/31 of the current
// year.  The Years list runs from the register's first year to the later of
// its last year and the current one (from 2006 for an empty register).
#ifndef LEDGROVE_APP_SEARCH_DATE_RANGE_H
#define LEDGROVE_APP_SEARCH_DATE_RANGE_H

#include <string>

#include "app/store/database_set.h"

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

// The dialog date of a stored date YYYYMMDD.
DialogDate dialog_date(const std::string &stored);

// The dates and years a register spans.
struct RegisterSpan {
    DialogDate first, last;  // "ALL"
    int first_year = kFirstWholeYear;
    int last_year = kFirstWholeYear;
};

// Reads the first and last dates of the set's date index; keys whose date
// is no date (a blank one) are passed over.  The index's position moves.
RegisterSpan register_span(DatabaseSet &set);

}  // namespace ledgrove

#endif  // LEDGROVE_APP_SEARCH_DATE_RANGE_H
