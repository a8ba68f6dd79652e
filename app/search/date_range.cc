// date_range.cc - the initial date range and the register's span.
#include "app/search/date_range.h"

#include <algorithm>
#include <array>
#include <ctime>

#include "app/store/register_files.h"

namespace ledgrove {
namespace {

// Keys of the date index start with the stored date.
constexpr std::size_t kDateWidth = sizeof(CheckRecord::CHKDATE);

bool is_date_key(const char *key) {
    for (std::size_t i = 0; i < kDateWidth; ++i)
        if (key[i] < '0' || key[i] > '9') return false;
    return true;
}

// The first (or last) key that holds a date, walking from one end of the
// index with `step`; empty when there is none.  A register holds a few blank
// dates at most, so the walk is short.
template <class Start, class Step>
std::string end_date(IndexHandle index, Start start, Step step) {
    std::array<char, KVL_MAX_KEY_LENGTH> key{};
    std::uint32_t record_number = 0;
    for (std::uint32_t rc = start(index, key.data(), &record_number); rc == ERR_NONE;
         rc = step(index, key.data(), &record_number))
        if (is_date_key(key.data())) return std::string(key.data(), kDateWidth);
    return {};
}

int year_of(const std::string &stored) { return std::stoi(stored.substr(0, 4)); }

}  // namespace

int current_year() {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    if (!localtime_r(&now, &local)) return kDefaultFromYear;
    return local.tm_year + 1900;
}

DialogDate default_from_date() { return {"01", "01", std::to_string(kDefaultFromYear)}; }

DialogDate default_to_date() { return {"12", "31", std::to_string(current_year())}; }

DialogDate dialog_date(const std::string &stored) {
    return {stored.substr(4, 2), stored.substr(6, 2), stored.substr(0, 4)};
}

RegisterSpan register_span(DatabaseSet &set) {
    RegisterSpan span{default_from_date(), default_to_date(), kFirstWholeYear, current_year()};
    if (!set.index_open(RegisterIndex::Date)) return span;
    IndexHandle index = set.index(RegisterIndex::Date);
    const std::string first = end_date(index, KvlIx4FirstKey, KvlIx4NextKey);
    const std::string last = end_date(index, KvlIx4LastKey, KvlIx4PrevKey);
    if (first.empty() || last.empty()) return span;
    span.first = dialog_date(first);
    span.last = dialog_date(last);
    span.first_year = year_of(first);
    span.last_year = std::max(current_year(), year_of(last));
    return span;
}

}  // namespace ledgrove
