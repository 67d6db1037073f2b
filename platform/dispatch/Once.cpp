#include "Once.h"

#include "ThreadPool.h"

namespace dispatch {

void Once::call(const std::function<void()>& block) {
    if (done_.load(std::memory_order_acquire)) return;
    std::lock_guard lock(mutex_);
    if (done_.load(std::memory_order_relaxed)) return;
    detail::invokeGuarded("once", block);
    done_.store(true, std::memory_order_release);
}

} // namespace dispatch
