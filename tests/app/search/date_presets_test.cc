// The named date ranges, against ranges worked out by hand from a calendar.
#include <gtest/gtest.h>

#include "app/search/date_presets.h"

namespace {

using namespace ledgrove;
using P = DatePreset;

TEST(DatePresets, RangesFromAGivenToday) {
    const CalendarDate mar15{2024, 3, 15}, jan10{2024, 1, 10}, jul1{2023, 7, 1};
    const struct {
        P preset;
        CalendarDate today;
        int start, fiscal_year;
        const char *from, *to;
    } cases[] = {
        {P::ThisMonth, mar15, 7, 0, "20240301", "20240331"},
        {P::LastMonth, mar15, 7, 0, "20240201", "20240229"},  // a leap year
        {P::LastMonth, jan10, 7, 0, "20231201", "20231231"},
        {P::ThisFiscalYear, mar15, 7, 0, "20230701", "20240630"},
        {P::ThisFiscalYear, jul1, 7, 0, "20230701", "20240630"},  // its first day
        {P::LastFiscalYear, mar15, 7, 0, "20220701", "20230630"},
        {P::ThisFiscalYear, mar15, 1, 0, "20240101", "20241231"},  // the calendar year
        {P::ThisFiscalYear, mar15, 4, 0, "20230401", "20240331"},  // March ends FY2024
        {P::LastFiscalYear, jan10, 10, 0, "20221001", "20230930"},
        {P::Quarter1, mar15, 7, 2024, "20230701", "20230930"},
        {P::Quarter3, mar15, 7, 2024, "20240101", "20240331"},
        {P::Quarter4, mar15, 7, 2020, "20200401", "20200630"},
        {P::Quarter2, mar15, 1, 2023, "20230401", "20230630"},
        {P::Quarter4, mar15, 11, 2024, "20240801", "20241031"},  // FY2024 from 11/2023
        {P::Last12Months, mar15, 7, 0, "20230401", "20240315"},
        {P::Last12Months, jan10, 7, 0, "20230201", "20240110"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(date_preset_caption(c.preset)) + " start " +
                     std::to_string(c.start));
        const DateSpan span = date_preset_span(c.preset, c.today, c.start, c.fiscal_year);
        EXPECT_EQ(span.from + ".." + span.to, std::string(c.from) + ".." + c.to);
    }
}

}  // namespace
