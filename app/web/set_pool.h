// set_pool.h - the register sets the server's requests search with.  The
// engine keeps a file's position and the record just read in the caller's
// control records, and a DatabaseSet has one shared record buffer: two
// requests must never walk through one set at once.  So each request
// borrows a set of its own for as long as it runs and gives it back after;
// sets are opened only when none is free, so there are never more than
// requests running at once (the server's workers), each opened read-only.
//
// The register may change under a running server (a clerk imports the next
// month).  Each set is stamped with the data file's identity (device,
// inode, size, modification time) when opened; a set whose stamp is no
// longer the file's is closed when it comes back, and the next borrower
// gets one opened anew.  The stamp also keys the remembered counts and
// totals, so none outlives the register it was counted on.
#ifndef LEDGROVE_APP_WEB_SET_POOL_H
#define LEDGROVE_APP_WEB_SET_POOL_H

#include <cstddef>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "app/store/database_set.h"

namespace ledgrove::web {

class SetPool {
public:
    explicit SetPool(std::string directory) : directory_(std::move(directory)) {}

    class Lease {
    public:
        Lease(SetPool &pool, std::unique_ptr<DatabaseSet> set, std::string stamp)
            : pool_(&pool), set_(std::move(set)), stamp_(std::move(stamp)) {}
        Lease(Lease &&) = default;
        ~Lease() {
            if (set_) pool_->give_back(std::move(set_), stamp_);
        }
        DatabaseSet &set() { return *set_; }
        // The data file's identity when the set was opened.
        const std::string &stamp() const { return stamp_; }

    private:
        SetPool *pool_;
        std::unique_ptr<DatabaseSet> set_;
        std::string stamp_;
    };

    // An open read-only set of the register as it is now.
    Lease lease();

    // The data file's identity now: "device:inode:size:mtime"; "" when the
    // file cannot be looked at.
    std::string stamp() const;

    std::size_t sets_opened() const;

private:
    void give_back(std::unique_ptr<DatabaseSet> set, const std::string &stamp);

    struct Idle {
        std::unique_ptr<DatabaseSet> set;
        std::string stamp;
    };
    std::string directory_;
    mutable std::mutex lock_;
    std::vector<Idle> idle_;
    std::size_t opened_ = 0;
};

}  // namespace ledgrove::web

#endif  // LEDGROVE_APP_WEB_SET_POOL_H
