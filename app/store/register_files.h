// register_files.h - the files that make up a register in the working
// directory: the data file, its eight index files with their key
// expressions, and the companions that maintenance uses.  Every name and
// expression is written here once; open, close and rebuild orders are lists
// of positions in the one index table.
//
// Every key expression ends in the record id, so each key is unique and
// records that agree in the leading field come out in record-id order.
#ifndef LEDGROVE_APP_STORE_REGISTER_FILES_H
#define LEDGROVE_APP_STORE_REGISTER_FILES_H

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

#include "app/store/check_record.h"

namespace ledgrove {

inline constexpr const char *kDataFileName = "ChkREG.DBF";
inline constexpr const char *kEmptyDataFileName = "empty.dbf";  // reset source of "empty"
inline constexpr const char *kRebuildWorkFileName = "chkr.TMP";  // work file of every rebuild
inline constexpr const char *kReadMeFileName = "ReadMe.txt";
// Emptying first writes the register to a register CSV file beside it, named
// this, then the local date and time YYYYMMDD-HHMMSS, then ".csv".
inline constexpr const char *kEmptyBackupPrefix = "ChkREG-before-empty-";

// How the program opens every register file: read and write, others may
// read and write.
inline constexpr std::uint32_t kRegisterOpenMode = 0x00200042;
// A register that may not be written (a read-only medium or folder, files
// without write permission) is opened for reading alone.
inline constexpr std::uint32_t kRegisterReadOnlyMode = 0x00200040;
inline constexpr std::uint32_t kRegisterNodeSize = 512;
// Index tag filter: records whose tag is '*' get no key.
inline constexpr std::uint32_t kRegisterTagFilter = static_cast<unsigned char>(kDeletedTag);

// The eight index files, in the order the program opens them.
enum class RegisterIndex { Date, Ids, Name, CheckId, VendorId, PoId, Desc, Amount };
inline constexpr std::size_t kIndexCount = 8;

struct IndexFileInfo {
    RegisterIndex index;
    const char *file_name;
    const char *key_expression;
    Field leading_field;            // the field before the record id
    std::optional<SortOrder> serves;  // none: the id index, used by the import
};

inline constexpr std::array<IndexFileInfo, kIndexCount> kIndexFiles = {{
    {RegisterIndex::Date, "ChkREG.IX4", "SUBSTR(CHKDATE,1,8)+SUBSTR(ID,1,6)", Field::CHKDATE,
     SortOrder::Date},
    {RegisterIndex::Ids, "ChkRIDS.IX4", "SUBSTR(ID,1,6)", Field::ID, std::nullopt},
    {RegisterIndex::Name, "ChkRNAM.IX4", "SUBSTR(NAME,1,35)+SUBSTR(ID,1,6)", Field::NAME,
     SortOrder::VendorName},
    {RegisterIndex::CheckId, "ChkRCID.IX4", "SUBSTR(CHKID,1,6)+SUBSTR(ID,1,6)", Field::CHKID,
     SortOrder::CheckID},
    {RegisterIndex::VendorId, "ChkRVND.IX4", "SUBSTR(VENDORID,1,10)+SUBSTR(ID,1,6)",
     Field::VENDORID, SortOrder::VendorID},
    {RegisterIndex::PoId, "ChkRPO.IX4", "SUBSTR(POID,1,8)+SUBSTR(ID,1,6)", Field::POID,
     SortOrder::PONumber},
    {RegisterIndex::Desc, "ChkRDSC.IX4", "SUBSTR(DESC,1,35)+SUBSTR(ID,1,6)", Field::DESC,
     SortOrder::Description},
    {RegisterIndex::Amount, "ChkRAMT.IX4", "SUBSTR(AMOUNT,1,15)+SUBSTR(ID,1,6)", Field::AMOUNT,
     SortOrder::Amount},
}};

constexpr const IndexFileInfo &index_info(RegisterIndex index) {
    return kIndexFiles[static_cast<std::size_t>(index)];
}

// Key length in bytes: the leading field, then the id (the id index has the
// id alone).
constexpr std::size_t key_length(RegisterIndex index) {
    const IndexFileInfo &info = index_info(index);
    std::size_t id = field_info(Field::ID).width;
    return info.leading_field == Field::ID ? id : field_info(info.leading_field).width + id;
}

// The index that serves a result order.
constexpr RegisterIndex index_for(SortOrder order) {
    for (const IndexFileInfo &info : kIndexFiles)
        if (info.serves == order) return info.index;
    return RegisterIndex::Date;  // unreachable: every order has its index
}

// The whole-register export walks the check-id index; the import reads the
// highest id from the id index.
inline constexpr RegisterIndex kExportIndex = RegisterIndex::CheckId;
inline constexpr RegisterIndex kLastIdIndex = RegisterIndex::Ids;

using IndexOrder = std::array<RegisterIndex, kIndexCount>;

inline constexpr IndexOrder kOpenOrder = {
    RegisterIndex::Date, RegisterIndex::Ids,  RegisterIndex::Name, RegisterIndex::CheckId,
    RegisterIndex::VendorId, RegisterIndex::PoId, RegisterIndex::Desc, RegisterIndex::Amount};

inline constexpr IndexOrder kCloseOrder = {
    RegisterIndex::CheckId, RegisterIndex::VendorId, RegisterIndex::PoId, RegisterIndex::Desc,
    RegisterIndex::Name,    RegisterIndex::Amount,   RegisterIndex::Ids,  RegisterIndex::Date};

inline constexpr IndexOrder kRebuildOrder = {
    RegisterIndex::Date,     RegisterIndex::Ids,  RegisterIndex::CheckId, RegisterIndex::VendorId,
    RegisterIndex::PoId,     RegisterIndex::Desc, RegisterIndex::Name,    RegisterIndex::Amount};

static_assert(key_length(RegisterIndex::Date) == 14);
static_assert(key_length(RegisterIndex::Ids) == 6);
static_assert(key_length(RegisterIndex::Name) == 41);
static_assert(key_length(RegisterIndex::Amount) == 21);

}  // namespace ledgrove

#endif  // LEDGROVE_APP_STORE_REGISTER_FILES_H
