// messages.h - the texts of the message boxes that the output and
// maintenance steps show, each written once.
#ifndef LEDGROVE_APP_OUTPUT_MESSAGES_H
#define LEDGROVE_APP_OUTPUT_MESSAGES_H

#include <cstdint>
#include <string>
#include <string_view>

namespace ledgrove::messages {

inline constexpr std::string_view kErrorCaption = "Error";
inline constexpr std::string_view kNoSelection = "You must select at least one line!";
inline constexpr std::string_view kNoSelectionCaption = "No Selection!";

inline constexpr std::string_view kEmptyQuestion = "Database will be Emptied! ";
inline constexpr std::string_view kEmptyQuestionCaption = "Are you sure?";
inline constexpr std::string_view kEmptied = "Database Emptied! ";
inline constexpr std::string_view kEmptiedCaption = "Success!";
inline constexpr std::string_view kImported = "Data Imported! ";
inline constexpr std::string_view kImportedCaption = "Exit and ReStart!";

// "Fail in file open! Error N\n" and "Fail in file write! Error N\n", N the
// error number of the failed call.
inline std::string file_open_failure(std::uint32_t error) {
    return "Fail in file open! Error " + std::to_string(error) + "\n";
}
inline std::string file_write_failure(std::uint32_t error) {
    return "Fail in file write! Error " + std::to_string(error) + "\n";
}

}  // namespace ledgrove::messages

#endif  // LEDGROVE_APP_OUTPUT_MESSAGES_H
