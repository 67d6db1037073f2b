#include "Clock.h"

#include <atomic>
#include <chrono>
#include <vector>

namespace dispatch {
namespace {

std::mutex& clockMutex() {
    static std::mutex m;
    return m;
}

// Deliberately never destroyed: background threads may still read the clock while the
// process exits, after function-local statics would have been torn down.
std::shared_ptr<Clock>& clockSlot() {
    static auto* clock = new std::shared_ptr<Clock>(std::make_shared<RealClock>());
    return *clock;
}

std::mutex& observerMutex() {
    static std::mutex m;
    return m;
}

std::function<void()>& observerSlot() {
    static auto* observer = new std::function<void()>();
    return *observer;
}

void notifyTimeJump() {
    std::function<void()> observer;
    {
        std::lock_guard lock(observerMutex());
        observer = observerSlot();
    }
    if (observer) observer();
}

// Every thread reads the clock all the time (the network thread for every header line it
// receives), so reading it takes no lock and touches no shared count: a plain pointer to the
// current clock. Clocks that setCurrent replaces are kept, never destroyed, because a thread may
// still be reading the one it just took.
std::atomic<Clock*>& currentClock() {
    static std::atomic<Clock*> clock{clockSlot().get()};
    return clock;
}

std::vector<std::shared_ptr<Clock>>& replacedClocks() {
    static auto* clocks = new std::vector<std::shared_ptr<Clock>>();
    return *clocks;
}

} // namespace

Clock& Clock::current() { return *currentClock().load(std::memory_order_acquire); }

std::shared_ptr<Clock> Clock::currentShared() {
    std::lock_guard lock(clockMutex());
    return clockSlot();
}

void Clock::setCurrent(std::shared_ptr<Clock> clock) {
    {
        std::lock_guard lock(clockMutex());
        currentClock(); // made before the first replacement, from the first clock
        replacedClocks().push_back(clockSlot());
        clockSlot() = clock ? std::move(clock) : std::make_shared<RealClock>();
        currentClock().store(clockSlot().get(), std::memory_order_release);
    }
    notifyTimeJump();
}

void Clock::setTimeJumpObserver(std::function<void()> observer) {
    std::lock_guard lock(observerMutex());
    observerSlot() = std::move(observer);
}

double absoluteTime() { return Clock::current().wallTime() - kSecondsFrom1970To2001; }

double RealClock::wallTime() const {
    using namespace std::chrono;
    return duration<double>(system_clock::now().time_since_epoch()).count();
}

double RealClock::monotonicTime() const {
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

VirtualClock::VirtualClock(double wallStart, double monotonicStart) : wall_(wallStart), monotonic_(monotonicStart) {}

double VirtualClock::wallTime() const { return wall_.load(std::memory_order_acquire); }

double VirtualClock::monotonicTime() const { return monotonic_.load(std::memory_order_acquire); }

void VirtualClock::advance(double seconds) {
    if (!(seconds > 0)) return;
    {
        std::lock_guard lock(mutex_);
        wall_.store(wall_.load(std::memory_order_relaxed) + seconds, std::memory_order_release);
        monotonic_.store(monotonic_.load(std::memory_order_relaxed) + seconds, std::memory_order_release);
    }
    notifyTimeJump();
}

void VirtualClock::setWallTime(double seconds) {
    std::lock_guard lock(mutex_);
    wall_.store(seconds, std::memory_order_release);
}

} // namespace dispatch
