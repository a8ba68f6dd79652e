// date_presets.cc - named date ranges, by month arithmetic.
#include "app/search/date_presets.h"

#include <cstdio>
#include <ctime>

namespace ledgrove {
namespace {

bool leap(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int days_in(int year, int month) {
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && leap(year) ? 29 : kDays[month - 1];
}

std::string stored(int year, int month, int day) {
    char text[16];
    std::snprintf(text, sizeof text, "%04d%02d%02d", year, month, day);
    return text;
}

// Months counted from year 0, so that adding months is adding numbers.
int month_number(int year, int month) { return year * 12 + (month - 1); }

// From the first day of one month to the last day of another.
DateSpan months(int first, int last) {
    const int last_year = last / 12, last_month = last % 12 + 1;
    return {stored(first / 12, first % 12 + 1, 1),
            stored(last_year, last_month, days_in(last_year, last_month))};
}

int fiscal_first_month(int fiscal_year, int start_month) {
    return month_number(start_month == 1 ? fiscal_year : fiscal_year - 1, start_month);
}

}  // namespace

CalendarDate local_today() {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday};
}

int fiscal_year_of(int year, int month, int start_month) {
    return start_month > 1 && month >= start_month ? year + 1 : year;
}

DateSpan fiscal_year_span(int fiscal_year, int start_month) {
    const int first = fiscal_first_month(fiscal_year, start_month);
    return months(first, first + 11);
}

DateSpan fiscal_quarter_span(int fiscal_year, int quarter, int start_month) {
    const int first = fiscal_first_month(fiscal_year, start_month) + 3 * (quarter - 1);
    return months(first, first + 2);
}

std::string_view date_preset_caption(DatePreset preset) {
    static constexpr std::string_view kCaptions[kDatePresetCount] = {
        "This month",
        "Last month",
        "This fiscal year",
        "Last fiscal year",
        "Q1 of the fiscal year",
        "Q2 of the fiscal year",
        "Q3 of the fiscal year",
        "Q4 of the fiscal year",
        "Last 12 months"};
    return kCaptions[static_cast<int>(preset)];
}

DateSpan date_preset_span(DatePreset preset, const CalendarDate &today, int start_month,
                          int fiscal_year) {
    const int now = month_number(today.year, today.month);
    const int this_fiscal = fiscal_year_of(today.year, today.month, start_month);
    switch (preset) {
        case DatePreset::ThisMonth: return months(now, now);
        case DatePreset::LastMonth: return months(now - 1, now - 1);
        case DatePreset::ThisFiscalYear: return fiscal_year_span(this_fiscal, start_month);
        case DatePreset::LastFiscalYear: return fiscal_year_span(this_fiscal - 1, start_month);
        case DatePreset::Quarter1:
        case DatePreset::Quarter2:
        case DatePreset::Quarter3:
        case DatePreset::Quarter4:
            return fiscal_quarter_span(
                fiscal_year,
                static_cast<int>(preset) - static_cast<int>(DatePreset::Quarter1) + 1,
                start_month);
        case DatePreset::Last12Months:
            return {months(now - 11, now).from, stored(today.year, today.month, today.day)};
    }
    return {};
}

}  // namespace ledgrove
