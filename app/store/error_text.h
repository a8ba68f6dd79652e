// error_text.h - the error numbers that the engine and its file layer return,
// told in words, so that a message can say why a file failed and not only
// which number it failed with.
//
// The file layer hands back Win32 numbers (engine/korval32.h lists which
// errno each stands for); the engine adds numbers of its own from 8295 on,
// which say that a register file is damaged or not in a usable state.
#ifndef LEDGROVE_APP_STORE_ERROR_TEXT_H
#define LEDGROVE_APP_STORE_ERROR_TEXT_H

#include <cstdint>
#include <string>

namespace ledgrove {

// "file not found", "access denied", "the disk is full", ...; for a number
// without words of its own, what kind of failure it is.
std::string error_words(std::uint32_t error);

// The words and the number: "access denied (error 5)".
std::string error_reason(std::uint32_t error);

}  // namespace ledgrove

#endif  // LEDGROVE_APP_STORE_ERROR_TEXT_H
