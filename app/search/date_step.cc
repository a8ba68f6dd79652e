// date_step.cc - calendar arithmetic for the date step buttons.
#include "app/search/date_step.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>

namespace ledgrove {
namespace {

namespace chr = std::chrono;

// The C library's atoi without its undefined overflow: spaces, a sign and
// digits; the value is held within +-99999999.
long leading_number(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
    long value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
        value = std::min(value * 10 + (text[i] - '0'), 99999999L);
    return negative ? -value : value;
}

long floor_div(long a, long b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }

// Years the calendar types hold with room to step.
constexpr long kLowestYear = -30000, kHighestYear = 30000;

std::string two_digits(unsigned value) {
    char text[4];
    std::snprintf(text, sizeof text, "%02u", value % 100);
    return text;
}

}  // namespace

int step_days(std::string_view text) {
    return static_cast<int>(std::clamp(leading_number(text), -99L, 99L));
}

DialogDate step_date(const DialogDate &date, int days) {
    // Month and year first (month 13 is January of the next year), then the
    // day counted from the first of that month.
    const long months = leading_number(date.year) * 12 + leading_number(date.month) - 1;
    const long year = std::clamp(floor_div(months, 12), kLowestYear, kHighestYear);
    const unsigned month = static_cast<unsigned>(months - floor_div(months, 12) * 12) + 1;
    const long day = std::clamp(leading_number(date.day), -400000L, 400000L);

    const chr::sys_days first = chr::year{static_cast<int>(year)} / chr::month{month} / 1;
    const chr::year_month_day moved{first + chr::days{day - 1 + days}};
    return {two_digits(static_cast<unsigned>(moved.month())),
            two_digits(static_cast<unsigned>(moved.day())),
            std::to_string(static_cast<int>(moved.year()))};
}

}  // namespace ledgrove
