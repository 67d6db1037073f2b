#pragma once
// A one-shot or repeating timer that runs a block on a queue.
//
// Time is measured on Clock::current().monotonicTime(), and due ticks reach the queue by the same
// rule as Queue::after (on a VirtualClock: during advance(); main-queue ticks then run on the
// next pump). A repeating timer ticks every `interval` seconds; when the clock jumps past several
// ticks at once it ticks once and keeps its phase, so the next tick is at the next multiple of
// the interval. Repeating intervals below 1 ms are raised to 1 ms.
//
// The timer runs only while someone holds it: dropping the last reference cancels it, and the
// timer itself holds its queue. cancel() is safe from any thread, including from the timer's own
// block; once it returns no further tick starts.

#include <atomic>
#include <functional>
#include <memory>
#include <optional>

namespace dispatch {

class Queue;

class Timer : public std::enable_shared_from_this<Timer> {
public:
    static std::shared_ptr<Timer> start(std::shared_ptr<Queue> queue, double interval, bool repeats,
                                        std::function<void()> block);

    void cancel();
    // True until cancelled, or until a one-shot timer has fired.
    bool isValid() const;

private:
    Timer(std::shared_ptr<Queue> queue, double interval, bool repeats, std::function<void()> block);
    // Queues one tick; for a repeating timer, returns when the next one is due.
    static std::optional<double> fire(const std::weak_ptr<Timer>& weak, double deadline, double now);
    void tick();

    const std::shared_ptr<Queue> queue_;
    const double interval_;
    const bool repeats_;
    const std::function<void()> block_;
    std::atomic<bool> valid_{true};
};

} // namespace dispatch
