// empty_data_file.cc - the register's data file with no records.
#include "app/maint/empty_data_file.h"

#include <array>
#include <cstring>

#include "app/store/check_record.h"
#include "engine/korval32.h"

namespace ledgrove {

std::uint32_t create_empty_data_file(const std::string &path) {
    std::array<FieldDescriptor, kFieldCount> fields{};
    for (std::size_t i = 0; i < kFieldCount; ++i) {
        std::strncpy(fields[i].name, kFields[i].name, sizeof fields[i].name - 1);
        fields[i].type = 'C';
        fields[i].length = static_cast<std::uint8_t>(kFields[i].width);
        fields[i].decimals = 0;
    }
    const std::uint32_t removed = KvlDeleteFile(path.c_str(), nullptr);
    if (removed != ERR_NONE && removed != KVL_WIN_FILE_NOT_FOUND) return removed;
    return KvlDataCreateFile(kRegisterDataVersion, kFieldCount, fields.data(), path.c_str(), 0,
                             nullptr);
}

}  // namespace ledgrove
