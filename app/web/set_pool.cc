// set_pool.cc - lending read-only register sets, one request at a time.
#include "app/web/set_pool.h"

#include <sys/stat.h>

#include "app/store/register_files.h"

namespace ledgrove::web {

std::string SetPool::stamp() const {
    struct stat info {};
    if (::stat(register_path(directory_, kDataFileName).c_str(), &info) != 0) return {};
    return std::to_string(info.st_dev) + ":" + std::to_string(info.st_ino) + ":" +
           std::to_string(info.st_size) + ":" + std::to_string(info.st_mtim.tv_sec) + "." +
           std::to_string(info.st_mtim.tv_nsec);
}

SetPool::Lease SetPool::lease() {
    const std::string now = stamp();
    {
        std::lock_guard<std::mutex> hold(lock_);
        while (!idle_.empty()) {
            Idle idle = std::move(idle_.back());
            idle_.pop_back();
            if (idle.stamp == now) return Lease(*this, std::move(idle.set), now);
            // Older than the register: closed as it goes out of scope.
        }
        ++opened_;
    }
    auto set = std::make_unique<DatabaseSet>(directory_);
    set->open(true);
    return Lease(*this, std::move(set), now);
}

void SetPool::give_back(std::unique_ptr<DatabaseSet> set, const std::string &stamp) {
    if (stamp != this->stamp()) return;
    std::lock_guard<std::mutex> hold(lock_);
    idle_.push_back({std::move(set), stamp});
}

std::size_t SetPool::sets_opened() const {
    std::lock_guard<std::mutex> hold(lock_);
    return opened_;
}

}  // namespace ledgrove::web
