// date_step.h - moving a date of the search window by a number of days.
//
// The three texts are read as numbers the way the C library reads them
// (leading digits, "7 " is 7, no number is 0), and impossible dates are
// carried over as the C calendar functions do: 02/31/2007 is 03/03/2007,
// month 13 is January of the next year, day 0 the last day of the month
// before.  The step counts calendar days, not multiples of 24 hours from
// local midnight, so a change to or from daylight-saving time never lands
// the date a day off.  Qt-free, so it is tested on its own.
#ifndef LEDGROVE_APP_SEARCH_DATE_STEP_H
#define LEDGROVE_APP_SEARCH_DATE_STEP_H

#include <string_view>

#include "app/search/date_range.h"

namespace ledgrove {

// The step box holds at most two digits.
inline constexpr int kStepDigits = 2;

// The number of days in a step box: its leading number, 0 when there is
// none, held within two digits.
int step_days(std::string_view text);

// The date `days` days after `date` (before it when negative), month and
// day as two digits, the year in decimal.
DialogDate step_date(const DialogDate &date, int days);

}  // namespace ledgrove

#endif  // LEDGROVE_APP_SEARCH_DATE_STEP_H
