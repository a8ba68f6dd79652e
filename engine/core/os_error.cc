// os_error.cc - errno to Win32 error numbers, in one table.
#include "engine/core/os_error.h"

#include <cerrno>

#include "engine/korval32.h"

namespace kvl {
namespace {

thread_local uint32_t g_last_os_error = 0;

struct ErrnoMapping {
    int error;
    uint32_t win32;
};

// Errors the engine's callers tell apart.  Anything else becomes
// KVL_WIN_GEN_FAILURE (31), which no engine condition uses.
constexpr ErrnoMapping kMappings[] = {
    {ENOENT, KVL_WIN_FILE_NOT_FOUND},
    {ENOTDIR, KVL_WIN_PATH_NOT_FOUND},
    {ELOOP, KVL_WIN_PATH_NOT_FOUND},
    {EMFILE, KVL_WIN_TOO_MANY_OPEN_FILES},
    {ENFILE, KVL_WIN_TOO_MANY_OPEN_FILES},
    {EACCES, KVL_WIN_ACCESS_DENIED},
    {EPERM, KVL_WIN_ACCESS_DENIED},
    {EISDIR, KVL_WIN_ACCESS_DENIED},
    {EBADF, KVL_WIN_INVALID_HANDLE},
    {ENOMEM, KVL_WIN_NOT_ENOUGH_MEMORY},
    {EXDEV, KVL_WIN_NOT_SAME_DEVICE},
    {EROFS, KVL_WIN_WRITE_PROTECT},
    {EBUSY, KVL_WIN_SHARING_VIOLATION},
    {ETXTBSY, KVL_WIN_SHARING_VIOLATION},
    {EAGAIN, KVL_WIN_LOCK_VIOLATION},
    {EEXIST, KVL_WIN_FILE_EXISTS},
    {EINVAL, KVL_WIN_INVALID_PARAMETER},
    {ENOSPC, KVL_WIN_DISK_FULL},
    {EDQUOT, KVL_WIN_DISK_FULL},
    {ENOTEMPTY, KVL_WIN_DIR_NOT_EMPTY},
    {ENAMETOOLONG, KVL_WIN_FILENAME_TOO_LONG},
    {EFBIG, KVL_WIN_FILE_TOO_LARGE},
    {EOVERFLOW, KVL_WIN_FILE_TOO_LARGE},
    {EIO, KVL_WIN_IO_DEVICE},
};

}  // namespace

uint32_t win_error_from_errno(int error) {
    for (const ErrnoMapping &m : kMappings)
        if (m.error == error) return m.win32;
    return KVL_WIN_GEN_FAILURE;
}

uint32_t os_failure(int error) {
    g_last_os_error = win_error_from_errno(error);
    return g_last_os_error;
}

uint32_t os_failure_code(uint32_t win32) {
    g_last_os_error = win32;
    return win32;
}

uint32_t last_os_error() { return g_last_os_error; }

}  // namespace kvl
