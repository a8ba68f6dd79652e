// data_format.h - the .DBF data file as korval32 writes and reads it.
//
// A data file is, in this order (integers little-endian):
//
//   offset 0        32-byte header (DbfHeader)
//                     0   version byte; 0x88 both set = the file has a memo file
//                     1   year of last update - 1900 (mod 256), 2 month, 3 day
//                     4   record count (u32)
//                     8   header length (u16) = 32 * fields + 33
//                     10  record length (u16) = 1 + sum of the field lengths
//                     14  unfinished update: bit 0 records added, bit 1 memo
//                         changed, since the last header flush
//                     15  reserved, kept as read
//   offset 32       one 32-byte FieldDescriptor per field (1 to 1024 fields)
//                     0   name, NUL-padded, byte 10 always 0
//                     11  type character
//                     12  offset of the field in the record (u32)
//                     16  length, 17 decimal count, 18..31 reserved
//   32 * n + 32     0x0D, end of the descriptors
//   header length   record 1, record 2, ... each record length bytes: the
//                   delete tag (' ' active, '*' deleted) then the fields
//   after the last  0x1A, end of file
//
// Field length rule, the one place it is decided (create and open agree):
//   types '3' '4'       2 bytes       types '5' '6'   4 bytes
//   types '7' '8' 'Y'   8 bytes       (binary types: bytes 16-17 are ignored)
//   type 'C'            bytes 16-17 as one u16 (so up to 65535), or when that
//                       is 0 the u16 at bytes 18-19
//   any other type      byte 16
//
// Files written elsewhere often differ in harmless ways, and open accepts
// them: no 0x1A at the end, year bytes stored as YY, a header length one
// byte longer than 32 * n + 33 (a 0x00 after the 0x0D), non-zero reserved
// bytes, or a database-container backlink between the 0x0D and the first
// record (the header length then overstates the field count: open counts
// the descriptors up to the 0x0D instead).
#ifndef KVL_DATA_DATA_FORMAT_H
#define KVL_DATA_DATA_FORMAT_H

#include <bit>
#include <cstddef>
#include <cstdint>

#include "engine/korval32.h"

namespace kvl {

static_assert(std::endian::native == std::endian::little,
              "the .DBF structures are read and written as little-endian images");
static_assert(sizeof(DbfHeader) == 32);
static_assert(offsetof(DbfHeader, record_count) == 4);
static_assert(offsetof(DbfHeader, header_length) == 8);
static_assert(offsetof(DbfHeader, record_length) == 10);
static_assert(offsetof(DbfHeader, incomplete) == 14);
static_assert(sizeof(FieldDescriptor) == 32);
static_assert(offsetof(FieldDescriptor, type) == 11);
static_assert(offsetof(FieldDescriptor, offset) == 12);
static_assert(offsetof(FieldDescriptor, length) == 16);
static_assert(offsetof(FieldDescriptor, reserved) == 18);
// The header image and the descriptors are written as one run of bytes.
static_assert(offsetof(DataControlRecord, fields) ==
              offsetof(DataControlRecord, header) + sizeof(DbfHeader));

inline constexpr uint32_t kHeaderSize = 32;
inline constexpr uint32_t kDescriptorSize = 32;
inline constexpr uint32_t kMaxFields = 1024;
inline constexpr uint32_t kMinHeaderLength = kHeaderSize + kDescriptorSize + 1;  // one field
inline constexpr uint32_t kMaxRecordLength = 65535;
inline constexpr uint8_t kDescriptorEnd = 0x0D;
inline constexpr uint8_t kFileEnd = 0x1A;
inline constexpr uint32_t kNameLength = 10;  // characters before the forced NUL

// Header length of a file with the given number of fields.
constexpr uint32_t header_length_for(uint32_t fields) {
    return kHeaderSize + kDescriptorSize * fields + 1;
}

// The field length rule above.
uint32_t field_length(const FieldDescriptor &field);

// Sets byte 10 of each name to 0 and stores each field's offset in the
// record (from 1), summing the lengths into *length_sum.  With
// refuse_empty, stops at the first field of length 0 with ERR_FIELD_LENGTH.
uint32_t assign_offsets(FieldDescriptor *fields, uint32_t count, bool refuse_empty,
                        uint32_t *length_sum);

// Today's date into header bytes 1 to 3.
void stamp_date(DbfHeader &header);

// True when the version byte asks for a memo file.
inline bool has_memo(const DbfHeader &header) {
    return (header.version & KVL_DBF_VERSION_MEMO) == KVL_DBF_VERSION_MEMO;
}

// File position of record r (r from 1), in 64 bits so that a damaged
// header cannot wrap it.
inline uint64_t record_offset(const DbfHeader &header, uint32_t record_number) {
    return header.header_length +
           (static_cast<uint64_t>(record_number) - 1) * header.record_length;
}

// File position just after the last record: the next append, or the 0x1A.
inline uint64_t end_offset(const DbfHeader &header) {
    return header.header_length +
           static_cast<uint64_t>(header.record_count) * header.record_length;
}

}  // namespace kvl

#endif  // KVL_DATA_DATA_FORMAT_H
