// date_presets.h - the date ranges a user picks by name instead of typing
// two dates: this and last month, this and last fiscal year, the quarters
// of a fiscal year, the last twelve months.  Each is worked out from a
// given "today", so the same day always gives the same range.
//
// A fiscal year starts on the first day of a month the user sets (July by
// default) and is named by the calendar year in which it ends: with a July
// start, fiscal year 2024 runs from 07/01/2023 to 06/30/2024 and its third
// quarter from 01/01/2024 to 03/31/2024.  With a January start it is the
// calendar year.  The last twelve months are whole calendar months, the
// current one up to today: on 03/15/2024, from 04/01/2023 to 03/15/2024.
#ifndef LEDGROVE_APP_SEARCH_DATE_PRESETS_H
#define LEDGROVE_APP_SEARCH_DATE_PRESETS_H

#include <string>
#include <string_view>

namespace ledgrove {

inline constexpr int kDefaultFiscalStart = 7;  // July

struct CalendarDate {
    int year = 0, month = 0, day = 0;
};

// Today by the local calendar.
CalendarDate local_today();

// A date range as the search takes it: stored dates YYYYMMDD.
struct DateSpan {
    std::string from, to;
};

// The fiscal year a month falls in, named by the year in which it ends.
int fiscal_year_of(int year, int month, int start_month);

DateSpan fiscal_year_span(int fiscal_year, int start_month);
// Quarter 1 to 4 of a fiscal year; quarter 1 starts with the fiscal year.
DateSpan fiscal_quarter_span(int fiscal_year, int quarter, int start_month);

enum class DatePreset {
    ThisMonth,
    LastMonth,
    ThisFiscalYear,
    LastFiscalYear,
    Quarter1,  // the quarters of a chosen fiscal year
    Quarter2,
    Quarter3,
    Quarter4,
    Last12Months,
};
inline constexpr int kDatePresetCount = 9;

// What a list of presets shows: "This month", "Q3 of the fiscal year", ...
std::string_view date_preset_caption(DatePreset preset);

// The range of a preset.  `fiscal_year` is the chosen fiscal year of the
// quarter presets; the others do not read it.
DateSpan date_preset_span(DatePreset preset, const CalendarDate &today, int start_month,
                          int fiscal_year = 0);

}  // namespace ledgrove

#endif  // LEDGROVE_APP_SEARCH_DATE_PRESETS_H
