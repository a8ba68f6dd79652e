// chart_queue.h - the summary charts of the server, all drawn on one
// thread.  Qt draws only on the thread of its application object, while
// requests run on the server's workers: a worker hands its summary to the
// queue and waits, and the thread that runs the queue (the program's main
// thread) draws one chart after another.  A worker that asks after the
// queue has stopped gets no chart, and its page says so.
#ifndef LEDGROVE_APP_WEB_CHART_QUEUE_H
#define LEDGROVE_APP_WEB_CHART_QUEUE_H

#include <condition_variable>
#include <deque>
#include <functional>
#include <future>
#include <mutex>
#include <string>

#include "app/search/summary.h"

namespace ledgrove::web {

class ChartQueue {
public:
    // `draw`: the summary as SVG text.
    using Draw = std::function<std::string(const Summary &)>;
    explicit ChartQueue(Draw draw) : draw_(std::move(draw)) {}

    // From any thread: the chart, or "" once the queue has stopped.
    std::string chart(const Summary &summary);

    // Draws what is asked until stop(); then answers what is still waiting
    // with "".
    void run();
    void stop();

private:
    struct Job {
        const Summary *summary;
        std::promise<std::string> done;
    };
    Draw draw_;
    std::mutex lock_;
    std::condition_variable wake_;
    std::deque<Job> jobs_;
    bool stopped_ = false;
};

}  // namespace ledgrove::web

#endif  // LEDGROVE_APP_WEB_CHART_QUEUE_H
