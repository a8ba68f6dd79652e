// file_replace.cc - sync, rename over, sync the directory.
#include "app/maint/file_replace.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>

namespace ledgrove {
namespace {

std::error_code last_error() { return {errno, std::generic_category()}; }

std::error_code sync_path(const std::string &path, int flags) {
    int fd;
    do fd = ::open(path.c_str(), flags | O_CLOEXEC);
    while (fd < 0 && errno == EINTR);
    if (fd < 0) return last_error();
    std::error_code ec;
    if (::fsync(fd) != 0) ec = last_error();
    ::close(fd);
    return ec;
}

std::string directory_of(const std::string &path) {
    const std::string parent = std::filesystem::path(path).parent_path().string();
    return parent.empty() ? "." : parent;
}

}  // namespace

std::string replacement_path(const std::string &path) { return path + ".new"; }

std::error_code sync_file(const std::string &path) { return sync_path(path, O_RDONLY); }

std::error_code replace_file(const std::string &from, const std::string &to) {
    if (std::error_code ec = sync_file(from)) return ec;
    if (std::rename(from.c_str(), to.c_str()) != 0) return last_error();
    // The rename is done; a directory that will not sync only weakens what
    // a power loss keeps, so it is not reported as a failed replacement.
    sync_path(directory_of(to), O_RDONLY | O_DIRECTORY);
    return {};
}

}  // namespace ledgrove
