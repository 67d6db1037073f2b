#pragma once
// Tracks a set of pending tasks: enter() before each starts, leave() when it ends. Blocks given
// to notify() go to their queues once the count is back to zero (at once if it already is), and
// wait() blocks until then. Safe from any thread. A leave() without a matching enter() is a
// programming error and aborts with a message.

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <utility>
#include <vector>

namespace dispatch {

class Queue;

class Group {
public:
    void enter();
    void leave();
    // Runs `block` on `queue` once every entered task has left; the queue is kept alive until then.
    void notify(std::shared_ptr<Queue> queue, std::function<void()> block);
    // Blocks until every entered task has left, or `timeoutSeconds` of real time have passed
    // (returns false). Waits are safety bounds and so do not follow the virtual clock.
    bool wait(std::optional<double> timeoutSeconds = std::nullopt);

private:
    std::mutex mutex_;
    std::condition_variable empty_;
    long count_ = 0;
    std::vector<std::pair<std::shared_ptr<Queue>, std::function<void()>>> notifications_;
};

} // namespace dispatch
