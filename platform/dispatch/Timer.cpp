#include "Timer.h"

#include <algorithm>
#include <cmath>

#include "Queue.h"
#include "Scheduler.h"

namespace dispatch {

std::shared_ptr<Timer> Timer::start(std::shared_ptr<Queue> queue, double interval, bool repeats,
                                    std::function<void()> block) {
    std::shared_ptr<Timer> timer(new Timer(std::move(queue), interval, repeats, std::move(block)));
    Scheduler::shared().schedule(timer->interval_, [weak = std::weak_ptr(timer)](double deadline, double now) {
        return fire(weak, deadline, now);
    });
    return timer;
}

Timer::Timer(std::shared_ptr<Queue> queue, double interval, bool repeats, std::function<void()> block)
    : queue_(std::move(queue)),
      interval_(repeats ? std::max(interval, 0.001) : std::max(interval, 0.0)),
      repeats_(repeats),
      block_(std::move(block)) {}

void Timer::cancel() { valid_ = false; }

bool Timer::isValid() const { return valid_; }

// Runs on the scheduler: queues one tick and, for a repeating timer, gives the next deadline after
// now, for which the scheduler fires the same function again.
std::optional<double> Timer::fire(const std::weak_ptr<Timer>& weak, double deadline, double now) {
    auto timer = weak.lock();
    if (!timer || !timer->valid_) return std::nullopt;
    timer->queue_->async([weak] {
        if (auto t = weak.lock()) t->tick();
    });
    if (!timer->repeats_) return std::nullopt;
    const double interval = timer->interval_;
    double next = deadline + interval * (std::floor((now - deadline) / interval) + 1);
    while (next <= now) next += interval;  // guards against rounding landing on `now`
    return next;
}

void Timer::tick() {
    if (repeats_ ? !valid_ : !valid_.exchange(false)) return;
    block_();
}

} // namespace dispatch
