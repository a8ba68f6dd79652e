// os_error.h - translation of POSIX errno values into the Win32 error
// numbers that the engine's callers expect, and the thread's last OS error
// (what KvlGetExtendedError reports).  Every OS failure of the engine goes
// through os_failure() so that one number means one thing everywhere.
#ifndef KVL_CORE_OS_ERROR_H
#define KVL_CORE_OS_ERROR_H

#include <cstdint>

namespace kvl {

// The Win32 number for an errno value (KVL_WIN_GEN_FAILURE when none fits).
uint32_t win_error_from_errno(int error);

// Records errno as the thread's last OS error and returns its Win32 number.
uint32_t os_failure(int error);

// Records a Win32 number chosen without an errno (a mutex released by a
// thread that does not own it, for example) and returns it.
uint32_t os_failure_code(uint32_t win32);

// The thread's last OS error, as recorded by os_failure (0 when none yet).
uint32_t last_os_error();

}  // namespace kvl

#endif  // KVL_CORE_OS_ERROR_H
