#pragma once
// A counting semaphore: wait() takes one unit, blocking while there is none; signal() adds one
// and wakes one waiter. Safe from any thread.

#include <condition_variable>
#include <mutex>
#include <optional>

namespace dispatch {

class Semaphore {
public:
    explicit Semaphore(long value = 0) : value_(value) {}

    void signal();
    // Takes a unit, waiting at most `timeoutSeconds` of real time (returns false if none came).
    // Waits are safety bounds and so do not follow the virtual clock; 0 only tries.
    bool wait(std::optional<double> timeoutSeconds = std::nullopt);

private:
    std::mutex mutex_;
    std::condition_variable available_;
    long value_;
};

} // namespace dispatch
