#include "Semaphore.h"

#include <chrono>

namespace dispatch {

// Notifies while holding the lock: a waiter commonly owns the semaphore on its stack and may
// destroy it as soon as wait() returns, which must not happen while signal() still touches it.
void Semaphore::signal() {
    std::lock_guard lock(mutex_);
    ++value_;
    available_.notify_one();
}

bool Semaphore::wait(std::optional<double> timeoutSeconds) {
    std::unique_lock lock(mutex_);
    const auto available = [this] { return value_ > 0; };
    if (!timeoutSeconds || !(*timeoutSeconds < 1e9)) {
        available_.wait(lock, available);
    } else if (!available_.wait_for(lock, std::chrono::duration<double>(*timeoutSeconds), available)) {
        return false;
    }
    --value_;
    return true;
}

} // namespace dispatch
