#pragma once
// Runs a block once per Once object, whichever thread gets there first. Callers that arrive
// while it runs wait until it has finished, so after call() returns its effects are visible.
// A block that throws is logged and counts as run. Calling the same Once from inside its own
// block deadlocks.

#include <atomic>
#include <functional>
#include <mutex>

namespace dispatch {

class Once {
public:
    void call(const std::function<void()>& block);

private:
    std::atomic<bool> done_{false};
    std::mutex mutex_;
};

} // namespace dispatch
