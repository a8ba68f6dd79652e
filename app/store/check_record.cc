// check_record.cc - field access on the register's record image.
#include "app/store/check_record.h"

#include <cstring>

namespace ledgrove {

std::string_view field_text(const CheckRecord &record, Field f) {
    const FieldInfo &info = field_info(f);
    const char *start = reinterpret_cast<const char *>(&record) + info.offset;
    const void *zero = std::memchr(start, '\0', info.width);
    std::size_t n = zero ? static_cast<std::size_t>(static_cast<const char *>(zero) - start)
                         : info.width;
    return std::string_view(start, n);
}

CheckRecord blank_record() {
    CheckRecord record;
    std::memset(&record, ' ', sizeof record);
    record.tag = kLiveTag;
    return record;
}

}  // namespace ledgrove
