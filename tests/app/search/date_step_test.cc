// date_step_test.cc - the date step buttons' arithmetic: calendar days
// across month, year and leap-day ends and daylight-saving changes, and
// impossible dates carried over as the C calendar carries them.
#include "app/search/date_step.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>

namespace {

using ledgrove::DialogDate;

std::string shown(const DialogDate &d) { return d.month + "/" + d.day + "/" + d.year; }

DialogDate date(const std::string &mmddyyyy) {
    return {mmddyyyy.substr(0, 2), mmddyyyy.substr(3, 2), mmddyyyy.substr(6)};
}

TEST(DateStep, CalendarDays) {
    // Local time with daylight-saving changes: a step of 24 hours back from
    // local midnight would land 03/12/2007 on 03/10.
    setenv("TZ", "America/New_York", 1);
    tzset();
    const struct {
        const char *step, *start;
        int sign;
        const char *expected;
    } cases[] = {
        {"1", "12/31/2007", 1, "01/01/2008"},  {"1", "03/01/2008", -1, "02/29/2008"},
        {"7", "01/28/2007", 1, "02/04/2007"},  {"2", "01/01/2008", -1, "12/30/2007"},
        {"45", "01/01/2007", 1, "02/15/2007"}, {"0", "02/31/2007", 1, "03/03/2007"},
        {"x", "04/31/2007", -1, "05/01/2007"}, {"1", "13/01/2007", 1, "01/02/2008"},
        {"1", "03/00/2008", -1, "02/28/2008"}, {"1", "03/12/2007", -1, "03/11/2007"},
        {"1", "11/04/2007", 1, "11/05/2007"},  {"123", "01/01/2007", 1, "04/10/2007"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.step) + " from " + c.start);
        const int days = ledgrove::step_days(c.step);
        EXPECT_EQ(shown(ledgrove::step_date(date(c.start), c.sign * days)), c.expected);
    }
    unsetenv("TZ");
    tzset();
}

}  // namespace
