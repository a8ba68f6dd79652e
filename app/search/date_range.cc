// date_range.cc - the initial date range.
#include "app/search/date_range.h"

#include <ctime>

namespace ledgrove {

int current_year() {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    if (!localtime_r(&now, &local)) return kDefaultFromYear;
    return local.tm_year + 1900;
}

DialogDate default_from_date() { return {"01", "01", std::to_string(kDefaultFromYear)}; }

DialogDate default_to_date() { return {"12", "31", std::to_string(current_year())}; }

}  // namespace ledgrove
