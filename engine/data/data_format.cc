// data_format.cc - the field length rule, field offsets and the header's
// date stamp, shared by create, open and flush.
#include "engine/data/data_format.h"

#include "engine/core/internal.h"

namespace kvl {
namespace {

uint32_t u16_at(const uint8_t *bytes) {
    return static_cast<uint32_t>(bytes[0]) | (static_cast<uint32_t>(bytes[1]) << 8);
}

}  // namespace

uint32_t field_length(const FieldDescriptor &field) {
    switch (field.type) {
    case '3': case '4':
        return 2;
    case '5': case '6':
        return 4;
    case '7': case '8': case 'Y':
        return 8;
    case 'C': {
        // Length and decimal count read together give lengths above 255;
        // some writers keep the length in the first reserved word instead.
        const uint8_t *bytes = reinterpret_cast<const uint8_t *>(&field);
        const uint32_t length = u16_at(bytes + offsetof(FieldDescriptor, length));
        return length ? length : u16_at(bytes + offsetof(FieldDescriptor, reserved));
    }
    default:
        return field.length;
    }
}

uint32_t assign_offsets(FieldDescriptor *fields, uint32_t count, bool refuse_empty,
                        uint32_t *length_sum) {
    uint32_t offset = 1;  // the delete tag is byte 0
    *length_sum = 0;
    for (uint32_t i = 0; i < count; ++i) {
        fields[i].name[kNameLength] = 0;
        const uint32_t length = field_length(fields[i]);
        if (length == 0 && refuse_empty) return ERR_FIELD_LENGTH;
        fields[i].offset = offset;
        offset += length;  // at most 1024 * 65535: no wrap
        *length_sum += length;
    }
    return ERR_NONE;
}

void stamp_date(DbfHeader &header) {
    const DateTimeRecord today = local_date_time();
    header.year = static_cast<uint8_t>((today.year - 1900) & 0xFF);
    header.month = today.month;
    header.day = today.day;
}

}  // namespace kvl
