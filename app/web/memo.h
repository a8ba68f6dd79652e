// memo.h - results worked out once and remembered by key: the count and
// total of a search, a summary.  A search of a million checks takes a
// second to tally; sixteen visitors who ask for it at once wait for the one
// walk instead of making sixteen.
//
// The least recently asked entry goes when the memo is full.  A make() that
// throws is forgotten, so the next ask tries again, and its exception
// reaches everyone who waited for it.
#ifndef LEDGROVE_APP_WEB_MEMO_H
#define LEDGROVE_APP_WEB_MEMO_H

#include <cstddef>
#include <future>
#include <list>
#include <mutex>
#include <string>
#include <unordered_map>
#include <utility>

namespace ledgrove::web {

template <class Value>
class Memo {
public:
    explicit Memo(std::size_t capacity) : capacity_(capacity) {}

    // The value for the key: remembered, being made by another caller
    // (then waited for), or made now by make().
    template <class Make>
    Value get(const std::string &key, Make &&make) {
        std::promise<Value> promise;
        std::shared_future<Value> future;
        bool mine = false;
        {
            std::lock_guard<std::mutex> hold(lock_);
            auto found = entries_.find(key);
            if (found != entries_.end()) {
                order_.splice(order_.begin(), order_, found->second.place);
                future = found->second.value;
            } else {
                future = promise.get_future().share();
                order_.push_front(key);
                entries_.emplace(key, Entry{future, order_.begin()});
                mine = true;
                while (entries_.size() > capacity_) {
                    entries_.erase(order_.back());
                    order_.pop_back();
                }
            }
        }
        if (mine) {
            try {
                promise.set_value(make());
            } catch (...) {
                promise.set_exception(std::current_exception());
                forget(key);
            }
        }
        return future.get();
    }

private:
    struct Entry {
        std::shared_future<Value> value;
        std::list<std::string>::iterator place;
    };

    void forget(const std::string &key) {
        std::lock_guard<std::mutex> hold(lock_);
        auto found = entries_.find(key);
        if (found == entries_.end()) return;
        order_.erase(found->second.place);
        entries_.erase(found);
    }

    std::size_t capacity_;
    std::mutex lock_;
    std::list<std::string> order_;  // most recently asked first
    std::unordered_map<std::string, Entry> entries_;
};

}  // namespace ledgrove::web

#endif  // LEDGROVE_APP_WEB_MEMO_H
