// file_posix.cc - the built-in file layer on POSIX.
//
// Each slot is one small function around one system call (or a short loop
// of them); every failure goes through os_failure(), which records the
// thread's last error and translates errno into the Win32 number callers
// expect.  Handles are file descriptors held in 32-bit words.
//
// Byte-range locks are open-file-description locks (F_OFD_SETLK): like the
// locks the engine was designed for they belong to the handle, so two
// handles of one process conflict, and closing one descriptor leaves the
// locks of another alone.  They are advisory.  Sharing bits of the open
// mode are ignored: POSIX has no sharing modes to enforce them with.
#include "engine/core/file_posix.h"

#include <fcntl.h>
#include <linux/magic.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <ctime>

#include "engine/core/os_error.h"

namespace kvl {
namespace {

constexpr uint32_t kLockRetryMs = 30;
constexpr uint32_t kMaxPosition32 = 0xFFFFFFFFu;

// Win32 file and drive types reported by the remote test.
constexpr uint32_t kFileTypeDisk = 1, kFileTypeChar = 2, kFileTypePipe = 3;
constexpr uint32_t kRemoteFlag = 0x8000;
constexpr uint32_t kDriveNoRoot = 1, kDriveFixed = 3, kDriveRemote = 4;

int fd_of(uint32_t handle) { return static_cast<int>(handle); }

uint64_t pair_value(const uint32_t *words) {
    return words[0] | (static_cast<uint64_t>(words[1]) << 32);
}

void set_pair(uint32_t *words, uint64_t value) {
    words[0] = static_cast<uint32_t>(value);
    words[1] = static_cast<uint32_t>(value >> 32);
}

// open(2) flags for the folded mode; false for a refused access value.
bool open_flags(uint32_t folded, int *flags) {
    switch (folded & KVL_OPEN_ACCESS_MASK) {
        case 0: *flags = O_RDONLY; break;
        case 1: *flags = O_WRONLY; break;
        case 2:
        case 4: *flags = O_RDWR; break;
        default: return false;
    }
    *flags |= O_CLOEXEC;
    if (folded & KVL_OPEN_WRITE_THROUGH) *flags |= O_DSYNC;
    return true;
}

void advise(int fd, uint32_t folded) {
    switch ((folded & KVL_OPEN_HINT_MASK) >> 8) {
        case 1: posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL); break;
        case 2: posix_fadvise(fd, 0, 0, POSIX_FADV_RANDOM); break;
        default: break;
    }
}

uint32_t posix_open(const char *path, uint32_t folded_mode, uint32_t *handle) {
    if (!path || !handle) return ERR_NULL_PARAMETER;
    int flags = 0;
    if (!open_flags(folded_mode, &flags)) return KVL_WIN_INVALID_ACCESS;
    int fd;
    do fd = ::open(path, flags);
    while (fd < 0 && errno == EINTR);
    if (fd < 0) return os_failure(errno);
    advise(fd, folded_mode);
    *handle = static_cast<uint32_t>(fd);
    return fd < 3 ? ERR_BAD_FILE_HANDLE : ERR_NONE;
}

uint32_t posix_create_file(const char *path) {
    if (!path) return ERR_NULL_PARAMETER;
    int fd = ::open(path, O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) return os_failure(errno);
    ::close(fd);
    return ERR_NONE;
}

uint32_t posix_close(uint32_t *handle) {
    if (!handle) return ERR_NULL_PARAMETER;
    if (*handle < 3) return ERR_BAD_FILE_HANDLE;
    // On Linux the descriptor is released whatever close() answers, except
    // for EBADF (it was not open), so only then does the word stay: a retry
    // with a released number could close a file opened since.  An I/O error
    // at close (data that never reached the disk) is still reported.
    if (::close(fd_of(*handle)) == 0) {
        *handle = 0;
        return ERR_NONE;
    }
    const int error = errno;
    if (error == EBADF) return os_failure(error);
    *handle = 0;
    return error == EINTR ? ERR_NONE : os_failure(error);
}

uint32_t posix_delete_file(const char *path) {
    if (!path) return ERR_NULL_PARAMETER;
    return ::unlink(path) == 0 ? ERR_NONE : os_failure(errno);
}

// Rename without replacing an existing file.  renameat2 refuses on file
// systems that lack the flag; a hard link and unlink does the same there.
uint32_t posix_move_file(const char *old_path, const char *new_path) {
    if (!old_path || !new_path) return ERR_NULL_PARAMETER;
    if (::renameat2(AT_FDCWD, old_path, AT_FDCWD, new_path, RENAME_NOREPLACE) == 0)
        return ERR_NONE;
    if (errno != EINVAL && errno != ENOSYS) return os_failure(errno);
    if (::link(old_path, new_path) != 0) return os_failure(errno);
    return ::unlink(old_path) == 0 ? ERR_NONE : os_failure(errno);
}

uint32_t posix_create_dir(const char *path) {
    if (!path) return ERR_NULL_PARAMETER;
    return ::mkdir(path, 0777) == 0 ? ERR_NONE : os_failure(errno);
}

// A transfer refused on a descriptor that is open but lacks the access (a
// write through a read-only handle) is "access denied", as callers know it,
// rather than "invalid handle" (EBADF) or "invalid parameter" (EINVAL from
// ftruncate).
uint32_t transfer_failure(int fd, int error, bool writing) {
    const int flags = ::fcntl(fd, F_GETFL);
    const int access = flags & O_ACCMODE;
    if (flags >= 0 && (writing ? access == O_RDONLY : access == O_WRONLY))
        return os_failure(EACCES);
    return os_failure(error);
}

uint32_t posix_read(uint32_t handle, uint32_t *length, void *buffer) {
    if (!length || (!buffer && *length)) return ERR_NULL_PARAMETER;
    uint32_t wanted = *length, done = 0;
    auto *out = static_cast<char *>(buffer);
    while (done < wanted) {
        ssize_t n = ::read(fd_of(handle), out + done, wanted - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            *length = 0;
            return transfer_failure(fd_of(handle), errno, false);
        }
        if (n == 0) break;
        done += static_cast<uint32_t>(n);
    }
    *length = done;
    return done == wanted ? ERR_NONE : KVL_WIN_HANDLE_EOF;
}

// A write of zero bytes cuts the file at the current position.
uint32_t posix_write(uint32_t handle, uint32_t *length, const void *buffer) {
    if (!length) return ERR_NULL_PARAMETER;
    int fd = fd_of(handle);
    if (*length == 0) {
        off_t here = ::lseek(fd, 0, SEEK_CUR);
        if (here < 0) return os_failure(errno);
        if (::ftruncate(fd, here) != 0) return transfer_failure(fd, errno, true);
        return ERR_NONE;
    }
    if (!buffer) return ERR_NULL_PARAMETER;
    uint32_t wanted = *length, done = 0;
    const auto *in = static_cast<const char *>(buffer);
    while (done < wanted) {
        ssize_t n = ::write(fd, in + done, wanted - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return transfer_failure(fd, errno, true);
        }
        if (n == 0) break;
        done += static_cast<uint32_t>(n);
    }
    return done == wanted ? ERR_NONE : KVL_WIN_HANDLE_DISK_FULL;
}

// In the 32-bit form a distance from the start is unsigned (files up to
// 4 GiB) and one from the current position or the end is signed.
uint32_t posix_seek(uint32_t handle, uint32_t method, uint32_t *position) {
    if (!position) return ERR_NULL_PARAMETER;
    const bool wide = (method & KVL_SEEK_64) != 0;
    const uint32_t how = method & 0x7F;
    int whence;
    switch (how) {
        case KVL_SEEK_SET: whence = SEEK_SET; break;
        case KVL_SEEK_CUR: whence = SEEK_CUR; break;
        case KVL_SEEK_END: whence = SEEK_END; break;
        default: return KVL_WIN_INVALID_PARAMETER;
    }
    off_t distance;
    if (wide)
        distance = static_cast<off_t>(pair_value(position));
    else if (how == KVL_SEEK_SET)
        distance = static_cast<off_t>(*position);
    else
        distance = static_cast<int32_t>(*position);
    off_t result = ::lseek(fd_of(handle), distance, whence);
    if (result < 0) {
        uint32_t rc = os_failure(errno);
        if (wide) set_pair(position, ~0ull);
        return rc;
    }
    if (wide) {
        set_pair(position, static_cast<uint64_t>(result));
    } else {
        if (static_cast<uint64_t>(result) > kMaxPosition32) return KVL_WIN_FILE_TOO_LARGE;
        *position = static_cast<uint32_t>(result);
    }
    return ERR_NONE;
}

uint32_t posix_update_dir(uint32_t handle) {
    return ::fsync(fd_of(handle)) == 0 ? ERR_NONE : os_failure(errno);
}

// One attempt at an OFD lock; a range held by another handle is 33.
uint32_t try_lock(int fd, short type, uint64_t offset, uint64_t length) {
    struct flock fl = {};
    fl.l_type = type;
    fl.l_whence = SEEK_SET;
    fl.l_start = static_cast<off_t>(offset);
    fl.l_len = static_cast<off_t>(length);
    fl.l_pid = 0;
    if (::fcntl(fd, F_OFD_SETLK, &fl) == 0) return ERR_NONE;
    if (errno == EAGAIN || errno == EACCES) return os_failure_code(KVL_WIN_LOCK_VIOLATION);
    return os_failure(errno);
}

void sleep_ms(uint32_t ms) {
    struct timespec ts = {static_cast<time_t>(ms / 1000),
                          static_cast<long>(ms % 1000) * 1000000L};
    while (::nanosleep(&ts, &ts) != 0 && errno == EINTR) {
    }
}

// Locks (or unlocks) a byte range, retrying a conflict every 30 ms while the
// time budget lasts: a budget below 31 is a single attempt.
uint32_t posix_lock(uint32_t handle, uint32_t flags, uint32_t *offset, uint32_t *length,
                    uint32_t time_budget) {
    if (!offset || !length) return ERR_NULL_PARAMETER;
    if (flags & KVL_LOCK_ATOMIC) return KVL_WIN_ATOMIC_LOCKS;
    const bool wide = (flags & KVL_LOCK_64) != 0;
    const uint64_t start = wide ? pair_value(offset) : *offset;
    const uint64_t count = wide ? pair_value(length) : *length;
    // A range of no bytes locks nothing (POSIX would read 0 as "to the end").
    if (count == 0) return ERR_NONE;
    const int fd = fd_of(handle);
    if (flags & KVL_LOCK_UNLOCK) return try_lock(fd, F_UNLCK, start, count);
    const short type = (flags & KVL_LOCK_SHARED) ? F_RDLCK : F_WRLCK;
    uint32_t budget = time_budget;
    for (;;) {
        uint32_t rc = try_lock(fd, type, start, count);
        if (rc != KVL_WIN_LOCK_VIOLATION || budget < kLockRetryMs + 1) return rc;
        sleep_ms(kLockRetryMs);
        budget -= kLockRetryMs;
    }
}

bool is_network_fs(long type) {
    switch (static_cast<unsigned long>(type)) {
        case NFS_SUPER_MAGIC:
        case SMB_SUPER_MAGIC:
        case 0xFF534D42:  // CIFS
        case 0xFE534D42:  // SMB2
        case CODA_SUPER_MAGIC:
        case 0x65735546:  // FUSE (sshfs and friends)
        case 0x6B414653:  // AFS
            return true;
        default:
            return false;
    }
}

// With a handle: the file's type, bit 15 set on a network file system.  With
// handle 0: drive 0 is the current directory's file system; Linux has no
// drive letters, so drives 1 to 26 have no root directory.
uint32_t posix_remote(uint32_t handle, uint32_t drive, uint32_t *remote, uint32_t *kind) {
    if (!remote || !kind) return ERR_NULL_PARAMETER;
    struct statfs fs;
    if (handle != 0) {
        struct stat st;
        if (::fstat(fd_of(handle), &st) != 0) return os_failure(errno);
        uint32_t type = S_ISCHR(st.st_mode) ? kFileTypeChar
                        : (S_ISFIFO(st.st_mode) || S_ISSOCK(st.st_mode)) ? kFileTypePipe
                                                                         : kFileTypeDisk;
        if (::fstatfs(fd_of(handle), &fs) == 0 && is_network_fs(fs.f_type)) type |= kRemoteFlag;
        *kind = type;
        *remote = (type & kRemoteFlag) ? 1u : 0u;
        return ERR_NONE;
    }
    if (drive > 26) return KVL_WIN_INVALID_DRIVE;
    if (drive != 0) {
        *kind = kDriveNoRoot;
        return KVL_WIN_PATH_NOT_FOUND;
    }
    if (::statfs(".", &fs) != 0) return os_failure(errno);
    if (is_network_fs(fs.f_type)) {
        *kind = kDriveRemote;
        *remote = 1;
    } else {
        *kind = kDriveFixed;
    }
    return ERR_NONE;
}

const FileLayerTable kBuiltin = {
    KVL_FILE_LAYER_ENTRIES,
    0,
    posix_close,
    posix_create_dir,
    posix_create_file,
    posix_delete_file,
    posix_move_file,
    posix_open,
    posix_read,
    posix_seek,
    posix_update_dir,
    posix_write,
    posix_lock,
    posix_remote,
};

}  // namespace

const FileLayerTable &builtin_layer() { return kBuiltin; }

uint32_t posix_read_at(uint32_t handle, void *buffer, uint32_t length, uint64_t position,
                       uint32_t *got) {
    const int fd = fd_of(handle);
    auto *out = static_cast<char *>(buffer);
    uint32_t done = 0;
    while (done < length) {
        ssize_t n = ::pread(fd, out + done, length - done, static_cast<off_t>(position + done));
        if (n < 0) {
            if (errno == EINTR) continue;
            // Where the seek of a seek-and-read would have failed first, the
            // count stays as asked, as it does after a failed seek.
            const int error = errno;
            const bool seek_fails = error == ESPIPE || ::fcntl(fd, F_GETFL) < 0;
            *got = seek_fails && done == 0 ? length : 0;
            return transfer_failure(fd, error, false);
        }
        if (n == 0) break;
        done += static_cast<uint32_t>(n);
    }
    *got = done;
    return done == length ? ERR_NONE : KVL_WIN_HANDLE_EOF;
}

uint32_t posix_write_at(uint32_t handle, const void *buffer, uint32_t length, uint64_t position) {
    const int fd = fd_of(handle);
    if (length == 0) {
        if (::ftruncate(fd, static_cast<off_t>(position)) != 0)
            return transfer_failure(fd, errno, true);
        return ERR_NONE;
    }
    const auto *in = static_cast<const char *>(buffer);
    uint32_t done = 0;
    while (done < length) {
        ssize_t n = ::pwrite(fd, in + done, length - done, static_cast<off_t>(position + done));
        if (n < 0) {
            if (errno == EINTR) continue;
            return transfer_failure(fd, errno, true);
        }
        if (n == 0) break;
        done += static_cast<uint32_t>(n);
    }
    return done == length ? ERR_NONE : KVL_WIN_HANDLE_DISK_FULL;
}

uint32_t fold_open_mode(uint32_t mode) {
    return (mode & 0xFFFFu) | ((mode >> 8) & 0xFF00u);
}

}  // namespace kvl
