// error_text.cc - words for the file layer's and the engine's error numbers.
#include "app/store/error_text.h"

#include "engine/korval32.h"

namespace ledgrove {
namespace {

struct ErrorWords {
    std::uint32_t error;
    const char *words;
};

// The numbers a file operation of the register can end with.
constexpr ErrorWords kWords[] = {
    {KVL_WIN_FILE_NOT_FOUND, "file not found"},
    {KVL_WIN_PATH_NOT_FOUND, "folder not found"},
    {KVL_WIN_TOO_MANY_OPEN_FILES, "too many files are open"},
    {KVL_WIN_ACCESS_DENIED, "access denied"},
    {KVL_WIN_INVALID_HANDLE, "the file is not open"},
    {KVL_WIN_NOT_ENOUGH_MEMORY, "not enough memory"},
    {KVL_WIN_NOT_SAME_DEVICE, "the file cannot be moved to another disk"},
    {KVL_WIN_WRITE_PROTECT, "the medium is write-protected / read-only"},
    {KVL_WIN_GEN_FAILURE, "the system reported a failure"},
    {KVL_WIN_SHARING_VIOLATION, "the file is in use"},
    {KVL_WIN_LOCK_VIOLATION, "another program has locked part of the file"},
    {KVL_WIN_HANDLE_EOF, "the file ends too soon"},
    {KVL_WIN_HANDLE_DISK_FULL, "not everything could be written: the disk is full"},
    {KVL_WIN_FILE_EXISTS, "the file exists already"},
    {KVL_WIN_INVALID_PARAMETER, "the name or a setting is not valid"},
    {KVL_WIN_DISK_FULL, "the disk is full"},
    {KVL_WIN_FILENAME_TOO_LONG, "the file name is too long"},
    {KVL_WIN_FILE_TOO_LARGE, "the file is too large"},
    {KVL_WIN_IO_DEVICE, "the device reported a read or write error"},
    {ERR_READ_ONLY, "the file is open for reading only"},
    {ERR_FILE_NOT_OPEN, "the file is not open"},
    {ERR_INCOMPLETE_WRITE, "a change to the file did not end"},
};

}  // namespace

std::string error_words(std::uint32_t error) {
    for (const ErrorWords &w : kWords)
        if (w.error == error) return w.words;
    // The engine's own numbers name what it found wrong inside a file.
    if (error >= ERR_COLLATION_SOFT_1) return "the file is damaged or not of its kind";
    return "an unexpected failure";
}

std::string error_reason(std::uint32_t error) {
    return error_words(error) + " (error " + std::to_string(error) + ")";
}

}  // namespace ledgrove
