// check_record.h - the register's record: one check, 124 bytes, laid out
// exactly as the data file stores it, so a record moves between the engine
// and the program with no conversion.  Also the seven result orders.
//
// Record image (offsets in bytes):
//     0  1  delete tag: ' ' live, '*' marked deleted
//     1  6  ID        record id, base 36, zero-filled (000001, 00000q)
//     7  6  CHKID     check number
//    13  8  CHKDATE   stored date YYYYMMDD
//    21 10  VENDORID  vendor number
//    31 35  NAME      vendor name, space padded
//    66  8  POID      purchase-order number
//    74 35  DESC      description, space padded
//   109 15  AMOUNT    stored amount, 000000001234.50 / -00000001234.50
//
// Fields carry no terminator: one ends where the next begins.  A field that
// was copied in short may end in zero bytes; text code sees only what stands
// before the first zero byte (field_text below).
#ifndef LEDGROVE_APP_STORE_CHECK_RECORD_H
#define LEDGROVE_APP_STORE_CHECK_RECORD_H

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

namespace ledgrove {

inline constexpr char kLiveTag = ' ';
inline constexpr char kDeletedTag = '*';

struct CheckRecord {
    char tag;
    char ID[6];
    char CHKID[6];
    char CHKDATE[8];
    char VENDORID[10];
    char NAME[35];
    char POID[8];
    char DESC[35];
    char AMOUNT[15];
};

inline constexpr std::size_t kCheckRecordSize = 124;

static_assert(sizeof(CheckRecord) == kCheckRecordSize);
static_assert(offsetof(CheckRecord, ID) == 1);
static_assert(offsetof(CheckRecord, CHKID) == 7);
static_assert(offsetof(CheckRecord, CHKDATE) == 13);
static_assert(offsetof(CheckRecord, VENDORID) == 21);
static_assert(offsetof(CheckRecord, NAME) == 31);
static_assert(offsetof(CheckRecord, POID) == 66);
static_assert(offsetof(CheckRecord, DESC) == 74);
static_assert(offsetof(CheckRecord, AMOUNT) == 109);

// The eight data fields, in file order.  All are character fields with no
// decimals; the table is what a data file of the register is created from.
enum class Field { ID, CHKID, CHKDATE, VENDORID, NAME, POID, DESC, AMOUNT };
inline constexpr std::size_t kFieldCount = 8;

struct FieldInfo {
    Field field;
    const char *name;  // upper-case, as stored in the file header
    std::size_t offset;
    std::size_t width;
};

#define LEDGROVE_FIELD(F) FieldInfo{Field::F, #F, offsetof(CheckRecord, F), sizeof(CheckRecord::F)}
inline constexpr std::array<FieldInfo, kFieldCount> kFields = {
    LEDGROVE_FIELD(ID),   LEDGROVE_FIELD(CHKID), LEDGROVE_FIELD(CHKDATE), LEDGROVE_FIELD(VENDORID),
    LEDGROVE_FIELD(NAME), LEDGROVE_FIELD(POID),  LEDGROVE_FIELD(DESC),    LEDGROVE_FIELD(AMOUNT),
};
#undef LEDGROVE_FIELD

constexpr const FieldInfo &field_info(Field f) { return kFields[static_cast<std::size_t>(f)]; }

// The text of a fixed field: its characters up to the first zero byte.
template <std::size_t N>
constexpr std::string_view field_text(const char (&field)[N]) {
    // char_traits::find is memchr at run time: searches read every field
    // of every record they pass.
    const char *zero = std::char_traits<char>::find(field, N, '\0');
    return std::string_view(field, zero ? static_cast<std::size_t>(zero - field) : N);
}

std::string_view field_text(const CheckRecord &record, Field f);

// Copies text into a fixed field: cut at the width, the rest filled with
// spaces.
template <std::size_t N>
void set_field(char (&field)[N], std::string_view text) {
    std::size_t n = text.size() < N ? text.size() : N;
    for (std::size_t i = 0; i < N; ++i) field[i] = i < n ? text[i] : ' ';
}

// A live record with every field blank.
CheckRecord blank_record();

// The seven result orders.  The number is the one the search window keeps as
// its current order.
enum class SortOrder { Date = 0, VendorName, PONumber, Description, Amount, VendorID, CheckID };
inline constexpr int kSortOrderCount = 7;

// The text shown after "Sort by " while a search in the order runs.
constexpr std::string_view sort_order_caption(SortOrder order) {
    constexpr std::string_view captions[kSortOrderCount] = {
        "Date", "Vendor Name", "PO Number", "Description", "Amount", "Vendor ID", "Check ID"};
    return captions[static_cast<int>(order)];
}

// The order with the given number; false for numbers outside 0..6.
constexpr bool sort_order_from_number(int number, SortOrder *order) {
    if (number < 0 || number >= kSortOrderCount) return false;
    *order = static_cast<SortOrder>(number);
    return true;
}

}  // namespace ledgrove

#endif  // LEDGROVE_APP_STORE_CHECK_RECORD_H
