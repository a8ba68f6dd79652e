// chart_queue.cc - handing charts to the drawing thread and back.
#include "app/web/chart_queue.h"

namespace ledgrove::web {

std::string ChartQueue::chart(const Summary &summary) {
    std::future<std::string> drawn;
    {
        std::lock_guard<std::mutex> hold(lock_);
        if (stopped_) return {};
        jobs_.push_back({&summary, {}});
        drawn = jobs_.back().done.get_future();
    }
    wake_.notify_one();
    return drawn.get();
}

void ChartQueue::run() {
    for (;;) {
        std::unique_lock<std::mutex> hold(lock_);
        wake_.wait(hold, [this] { return stopped_ || !jobs_.empty(); });
        if (stopped_) break;
        Job job = std::move(jobs_.front());
        jobs_.pop_front();
        hold.unlock();
        try {
            job.done.set_value(draw_(*job.summary));
        } catch (...) {
            job.done.set_value({});  // a page without its chart, not a failed page
        }
    }
    std::lock_guard<std::mutex> hold(lock_);
    for (Job &job : jobs_) job.done.set_value({});
    jobs_.clear();
}

void ChartQueue::stop() {
    {
        std::lock_guard<std::mutex> hold(lock_);
        stopped_ = true;
    }
    wake_.notify_all();
}

}  // namespace ledgrove::web
