// table.cc - the value forms the table writers share.
#include "app/output/table.h"

namespace ledgrove {

std::string iso_date(std::string_view stored) {
    if (stored.size() != 8 || stored.find_first_not_of("0123456789") != std::string_view::npos)
        return std::string(stored);
    std::string date(stored.substr(0, 4));
    date.append("-").append(stored.substr(4, 2)).append("-").append(stored.substr(6, 2));
    return date;
}

}  // namespace ledgrove
