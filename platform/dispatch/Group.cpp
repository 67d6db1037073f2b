#include "Group.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "Queue.h"

namespace dispatch {

void Group::enter() {
    std::lock_guard lock(mutex_);
    ++count_;
}

void Group::leave() {
    decltype(notifications_) due;
    {
        std::lock_guard lock(mutex_);
        if (count_ == 0) {
            std::fprintf(stderr, "dispatch: Group::leave() without a matching enter()\n");
            std::abort();
        }
        if (--count_ > 0) return;
        due.swap(notifications_);
        // Under the lock, because a waiter may destroy the group as soon as wait() returns.
        empty_.notify_all();
    }
    for (auto& [queue, block] : due) queue->async(std::move(block));
}

void Group::notify(std::shared_ptr<Queue> queue, std::function<void()> block) {
    {
        std::lock_guard lock(mutex_);
        if (count_ > 0) {
            notifications_.emplace_back(std::move(queue), std::move(block));
            return;
        }
    }
    queue->async(std::move(block));
}

bool Group::wait(std::optional<double> timeoutSeconds) {
    std::unique_lock lock(mutex_);
    const auto empty = [this] { return count_ == 0; };
    if (!timeoutSeconds || !(*timeoutSeconds < 1e9)) {
        empty_.wait(lock, empty);
        return true;
    }
    return empty_.wait_for(lock, std::chrono::duration<double>(*timeoutSeconds), empty);
}

} // namespace dispatch
