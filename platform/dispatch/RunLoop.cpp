#include "RunLoop.h"

#include <algorithm>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "Queue.h"
#include "Scheduler.h"

namespace dispatch {
namespace {

std::atomic<std::thread::id> mainThreadId{};

class ConditionDriver final : public RunLoopDriver {
public:
    // A wake-up that is still pending (no wait has taken it) needs no other: only the first
    // one takes the lock and signals. (Headless, no one waits between pumps, so that is nearly
    // every wake-up.)
    void wake() override {
        if (woken_.exchange(true)) return;
        {
            // Taken between the flag and the signal, so that a waiter that found the flag clear
            // is already waiting when the signal comes.
            std::lock_guard lock(mutex_);
        }
        cv_.notify_one();
    }

    void waitUntil(std::chrono::steady_clock::time_point deadline) override {
        std::unique_lock lock(mutex_);
        const auto woken = [this] { return woken_.load(); };
        if (deadline == std::chrono::steady_clock::time_point::max()) {
            cv_.wait(lock, woken);
        } else {
            cv_.wait_until(lock, deadline, woken);
        }
        // Read as well as cleared: a wake-up that came after this one and returned at once (the
        // flag was still set) then happens before the pump that follows, which sees its work.
        woken_.exchange(false);
    }

private:
    std::mutex mutex_;
    std::condition_variable cv_;
    std::atomic<bool> woken_{false};
};

std::chrono::steady_clock::time_point deadlineAfter(double seconds) {
    using namespace std::chrono;
    const auto now = steady_clock::now();
    if (!(seconds < 1e9)) return steady_clock::time_point::max();
    return now + duration_cast<steady_clock::duration>(duration<double>(std::max(0.0, seconds)));
}

} // namespace

RunLoop::RunLoop() { setDriver(nullptr); }

RunLoop& RunLoop::instance() {
    // Never destroyed: other threads may still post to the main queue while the process exits.
    static auto* loop = new RunLoop();
    return *loop;
}

RunLoop& RunLoop::main() {
    std::thread::id none{};
    mainThreadId.compare_exchange_strong(none, std::this_thread::get_id());
    return instance();
}

void RunLoop::setMainThread() { mainThreadId = std::this_thread::get_id(); }

bool RunLoop::isMainThread() { return mainThreadId.load() == std::this_thread::get_id(); }

void RunLoop::setDriver(std::shared_ptr<RunLoopDriver> driver) {
    std::lock_guard lock(mutex_);
    drivers_.push_back(driver ? std::move(driver) : std::make_shared<ConditionDriver>());
    driver_.store(drivers_.back().get(), std::memory_order_release);
}

void RunLoop::wake() { driver().wake(); }

void RunLoop::requireMainThread(const char* what) const {
    if (isMainThread()) return;
    std::fprintf(stderr, "dispatch: RunLoop::%s called off the main thread\n", what);
    std::abort();
}

std::size_t RunLoop::pump() {
    requireMainThread("pump");
    Scheduler::shared().fireDue();
    return Queue::main()->drainMain();
}

bool RunLoop::runUntil(const std::function<bool()>& predicate, double timeoutSeconds) {
    requireMainThread("runUntil");
    const auto bound = deadlineAfter(timeoutSeconds);
    // The predicate may become true on another thread without any main-queue work arriving, so
    // it is looked at again every few milliseconds as well as whenever the loop is woken.
    constexpr auto kRecheck = std::chrono::milliseconds(2);
    for (;;) {
        pump();
        if (predicate()) return true;
        const auto now = std::chrono::steady_clock::now();
        if (now >= bound) return false;
        driver().waitUntil(std::min(bound, now + kRecheck));
    }
}

void RunLoop::runFor(double seconds) {
    requireMainThread("runFor");
    const auto bound = deadlineAfter(seconds);
    stopRequested_ = false;
    for (;;) {
        pump();
        if (stopRequested_.exchange(false) || std::chrono::steady_clock::now() >= bound) return;
        driver().waitUntil(bound);
    }
}

void RunLoop::stop() {
    stopRequested_ = true;
    wake();
}

} // namespace dispatch
