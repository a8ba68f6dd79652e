// mutex.cc - named mutexes that processes sharing files may use.
//
// A mutex is a pthread mutex that is process-shared, robust (a waiter learns
// that the owner ended without releasing it: 105) and recursive (its owner
// may take it again and releases it as often as it took it).  It lives in a
// POSIX shared-memory object named "/kvl-mutex." followed by the mutex name,
// with '%' and '/' escaped as "%25" and "%2F".  An empty name gives an
// unnamed mutex in anonymous shared memory, which forked children share.
//
// Object lifetime.  Every process that has the object open holds a shared
// flock() on its descriptor.  The first opener that finds no other holder
// (an exclusive flock succeeds) initialises the object afresh, so a mutex
// whose every user has gone starts new and unowned, and the initial-owner
// flag takes effect just for that opener; later openers join what is there
// and the flag is ignored.  Openers serialise on an exclusive
// open-file-description lock of byte 0 (independent of flock), so two
// processes creating one name at once cannot both initialise it, and a
// creator that dies half-way leaves no holder behind for the next one.  The
// objects are never unlinked: a name is a small file in /dev/shm that the
// next opener reuses.
//
// One process keeps one mapping per name, shared by all its handles: a
// robust mutex's owner list holds the mutex's address, so the mutex must not
// be reached through a second mapping nor unmapped while this process holds
// it.  A small registry (with its own lock, the only lock inside the engine)
// counts handles and outstanding acquisitions per mapping.
//
// The security-attributes argument of KvlCreateMutexSem is ignored: the
// object is created with mode 0666 less the process umask.
#include <fcntl.h>
#include <pthread.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <climits>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <map>
#include <mutex>
#include <new>
#include <string>

#include "engine/core/internal.h"
#include "engine/core/os_error.h"

namespace kvl {
namespace {

constexpr uint32_t kSharedMagic = 0x4D4C564B;  // "KVLM"

// The shared-memory object's contents.
struct SharedMutex {
    uint32_t magic;
    uint32_t size;
    pthread_mutex_t mutex;
};

struct Mapping {
    std::string object;  // shared-memory name; empty for an unnamed mutex
    int fd = -1;
    SharedMutex *shared = nullptr;
    uint32_t handles = 0;            // open handles in this process
    std::atomic<uint32_t> held{0};   // acquisitions not yet released, this process
};

std::mutex g_registry_lock;
std::map<std::string, Mapping *> g_registry;

std::string object_name(const char *name) {
    std::string object = "/kvl-mutex.";
    for (const char *p = name; *p; ++p) {
        if (*p == '%')
            object += "%25";
        else if (*p == '/')
            object += "%2F";
        else
            object += *p;
    }
    return object;
}

// ---- the object ------------------------------------------------------------

// Takes (F_WRLCK) or drops (F_UNLCK) the openers' lock on byte 0.
bool opener_lock(int fd, short type) {
    struct flock fl = {};
    fl.l_type = type;
    fl.l_whence = SEEK_SET;
    fl.l_start = 0;
    fl.l_len = 1;
    while (::fcntl(fd, F_OFD_SETLKW, &fl) != 0)
        if (errno != EINTR) return false;
    return true;
}

bool take_flock(int fd, int operation) {
    while (::flock(fd, operation) != 0)
        if (errno != EINTR) return false;
    return true;
}

SharedMutex *map_object(int fd) {
    void *address = ::mmap(nullptr, sizeof(SharedMutex), PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    return address == MAP_FAILED ? nullptr : static_cast<SharedMutex *>(address);
}

uint32_t init_mutex(SharedMutex *shared) {
    std::memset(shared, 0, sizeof *shared);
    pthread_mutexattr_t attr;
    pthread_mutexattr_init(&attr);
    pthread_mutexattr_setpshared(&attr, PTHREAD_PROCESS_SHARED);
    pthread_mutexattr_setrobust(&attr, PTHREAD_MUTEX_ROBUST);
    pthread_mutexattr_settype(&attr, PTHREAD_MUTEX_RECURSIVE);
    int rc = pthread_mutex_init(&shared->mutex, &attr);
    pthread_mutexattr_destroy(&attr);
    if (rc != 0) return os_failure(rc);
    shared->size = sizeof *shared;
    shared->magic = kSharedMagic;
    return ERR_NONE;
}

// No other process has the object open: size it and initialise it afresh.
uint32_t start_fresh(int fd, SharedMutex **shared) {
    struct stat st;
    if (::fstat(fd, &st) != 0) return os_failure(errno);
    if (st.st_size < static_cast<off_t>(sizeof(SharedMutex)) &&
        ::ftruncate(fd, sizeof(SharedMutex)) != 0)
        return os_failure(errno);
    if (!(*shared = map_object(fd))) return os_failure(errno);
    uint32_t rc = init_mutex(*shared);
    if (rc != ERR_NONE) ::munmap(*shared, sizeof(SharedMutex));
    return rc;
}

// Others have it open, so it was initialised under the openers' lock; an
// object that is not one of ours (wrong size or marker) is refused.
uint32_t join_existing(int fd, SharedMutex **shared) {
    struct stat st;
    if (::fstat(fd, &st) != 0) return os_failure(errno);
    if (st.st_size < static_cast<off_t>(sizeof(SharedMutex)))
        return os_failure_code(KVL_WIN_INVALID_HANDLE);
    if (!(*shared = map_object(fd))) return os_failure(errno);
    if ((*shared)->magic != kSharedMagic || (*shared)->size != sizeof(SharedMutex)) {
        ::munmap(*shared, sizeof(SharedMutex));
        return os_failure_code(KVL_WIN_INVALID_HANDLE);
    }
    return ERR_NONE;
}

// Under the openers' lock: initialise or join, then become a holder.
uint32_t attach(Mapping &m, bool initial_owner) {
    const bool alone = ::flock(m.fd, LOCK_EX | LOCK_NB) == 0;
    uint32_t rc = alone ? start_fresh(m.fd, &m.shared) : join_existing(m.fd, &m.shared);
    if (rc != ERR_NONE) return rc;
    if (!take_flock(m.fd, LOCK_SH)) {
        rc = os_failure(errno);
        ::munmap(m.shared, sizeof(SharedMutex));
        m.shared = nullptr;
        return rc;
    }
    if (alone && initial_owner && pthread_mutex_trylock(&m.shared->mutex) == 0) ++m.held;
    return ERR_NONE;
}

uint32_t open_object(Mapping &m, bool initial_owner) {
    // The C library calls an over-long name invalid; it is too long.
    if (m.object.size() - 1 > NAME_MAX) return os_failure(ENAMETOOLONG);
    m.fd = ::shm_open(m.object.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (m.fd < 0) return os_failure(errno);
    uint32_t rc = opener_lock(m.fd, F_WRLCK) ? attach(m, initial_owner) : os_failure(errno);
    opener_lock(m.fd, F_UNLCK);
    if (rc != ERR_NONE) {
        ::close(m.fd);
        m.fd = -1;
    }
    return rc;
}

uint32_t open_unnamed(Mapping &m, bool initial_owner) {
    void *address = ::mmap(nullptr, sizeof(SharedMutex), PROT_READ | PROT_WRITE,
                           MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    if (address == MAP_FAILED) return os_failure(errno);
    m.shared = static_cast<SharedMutex *>(address);
    uint32_t rc = init_mutex(m.shared);
    if (rc != ERR_NONE) {
        ::munmap(address, sizeof(SharedMutex));
        m.shared = nullptr;
        return rc;
    }
    if (initial_owner && pthread_mutex_trylock(&m.shared->mutex) == 0) ++m.held;
    return ERR_NONE;
}

// Unmaps and closes (closing the descriptor drops this process's flock).
void detach(Mapping *m) {
    ::munmap(m->shared, sizeof(SharedMutex));
    if (m->fd >= 0) ::close(m->fd);
    delete m;
}

// ---- the registry ------------------------------------------------------------

void guard_registry_across_fork() {
    static std::once_flag once;
    std::call_once(once, [] {
        // The child's one thread is the copy of the thread that took the
        // lock before the fork, so it may unlock it.
        auto unlock = [] { g_registry_lock.unlock(); };
        pthread_atfork([] { g_registry_lock.lock(); }, unlock, unlock);
    });
}

uint32_t acquire_mapping(const char *name, bool initial_owner, Mapping **out) {
    guard_registry_across_fork();
    std::lock_guard<std::mutex> lock(g_registry_lock);
    std::string object = *name ? object_name(name) : std::string();
    if (!object.empty()) {
        auto found = g_registry.find(object);
        if (found != g_registry.end()) {
            ++found->second->handles;
            *out = found->second;
            return ERR_NONE;
        }
    }
    Mapping *m = new (std::nothrow) Mapping;
    if (!m) return KVL_WIN_NOT_ENOUGH_MEMORY;
    m->object = object;
    uint32_t rc = object.empty() ? open_unnamed(*m, initial_owner) : open_object(*m, initial_owner);
    if (rc != ERR_NONE) {
        delete m;
        return rc;
    }
    m->handles = 1;
    if (!object.empty()) g_registry.emplace(object, m);
    *out = m;
    return ERR_NONE;
}

// A mapping goes when no handle refers to it and this process holds the
// mutex no more; otherwise it stays (a named one stays in the registry, so
// that a later open of the name reaches the same mapping).
void release_mapping(Mapping *m) {
    std::lock_guard<std::mutex> lock(g_registry_lock);
    if (--m->handles != 0 || m->held.load() != 0) return;
    if (!m->object.empty()) g_registry.erase(m->object);
    detach(m);
}

// ---- waiting -------------------------------------------------------------------

timespec deadline_after(uint32_t milliseconds) {
    timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    t.tv_sec += milliseconds / 1000;
    t.tv_nsec += static_cast<long>(milliseconds % 1000) * 1000000L;
    if (t.tv_nsec >= 1000000000L) {
        ++t.tv_sec;
        t.tv_nsec -= 1000000000L;
    }
    return t;
}

int wait_for(pthread_mutex_t *mutex, uint32_t milliseconds) {
    if (milliseconds == KVL_WAIT_FOREVER) return pthread_mutex_lock(mutex);
    if (milliseconds == 0) return pthread_mutex_trylock(mutex);
    timespec deadline = deadline_after(milliseconds);
    return pthread_mutex_clocklock(mutex, CLOCK_MONOTONIC, &deadline);
}

uint32_t request(Mapping &m, uint32_t milliseconds) {
    pthread_mutex_t *mutex = &m.shared->mutex;
    switch (int rc = wait_for(mutex, milliseconds)) {
        case 0:
            ++m.held;
            return ERR_NONE;
        case EOWNERDEAD:
            // The previous owner ended holding it: the mutex is ours, and
            // made usable again for everyone after us.
            pthread_mutex_consistent(mutex);
            ++m.held;
            return KVL_WIN_OWNER_DIED;
        case EBUSY:
        case ETIMEDOUT:
            return KVL_WIN_TIMEOUT;
        default:
            return os_failure(rc);
    }
}

uint32_t release(Mapping &m) {
    int rc = pthread_mutex_unlock(&m.shared->mutex);
    if (rc == EPERM) return os_failure_code(KVL_WIN_NOT_OWNER);
    if (rc != 0) return os_failure(rc);
    --m.held;
    return ERR_NONE;
}

}  // namespace
}  // namespace kvl

// The handle a caller holds: one per successful create.
struct KvlMutex {
    kvl::Mapping *mapping;
};

extern "C" {

KVL_API uint32_t KvlCreateMutexSem(const char *name, KvlMutexHandle *mutex,
                                   const void * /*security_attributes*/, uint32_t initial_owner) {
    if (!name || !mutex) return ERR_NULL_PARAMETER;
    *mutex = nullptr;
    return kvl::guarded([&]() -> uint32_t {
        kvl::Mapping *mapping = nullptr;
        uint32_t rc = kvl::acquire_mapping(name, initial_owner != 0, &mapping);
        if (rc != ERR_NONE) return rc;
        KvlMutex *handle = new (std::nothrow) KvlMutex{mapping};
        if (!handle) {
            kvl::release_mapping(mapping);
            return KVL_WIN_NOT_ENOUGH_MEMORY;
        }
        *mutex = handle;
        return ERR_NONE;
    });
}
KVL_ALIAS(KvlCreateMutexSem)

KVL_API uint32_t KvlRequestMutexSem(KvlMutexHandle mutex, uint32_t milliseconds) {
    if (!mutex) return kvl::os_failure_code(KVL_WIN_INVALID_HANDLE);
    return kvl::request(*mutex->mapping, milliseconds);
}
KVL_ALIAS(KvlRequestMutexSem)

KVL_API uint32_t KvlReleaseMutexSem(KvlMutexHandle mutex) {
    if (!mutex) return kvl::os_failure_code(KVL_WIN_INVALID_HANDLE);
    return kvl::release(*mutex->mapping);
}
KVL_ALIAS(KvlReleaseMutexSem)

// Closing does not release: a mutex closed while held stays held (its
// mapping stays too) until the owner releases it or ends.
KVL_API uint32_t KvlCloseMutexSem(KvlMutexHandle mutex) {
    if (!mutex) return kvl::os_failure_code(KVL_WIN_INVALID_HANDLE);
    kvl::Mapping *mapping = mutex->mapping;
    delete mutex;
    kvl::release_mapping(mapping);
    return ERR_NONE;
}
KVL_ALIAS(KvlCloseMutexSem)

}  // extern "C"
