#pragma once
// The one clock that every timer, delayed dispatch, animation and time-out of the app reads.
//
// The process has exactly one current clock. By default it is the real clock; tests install a
// VirtualClock and move time forward explicitly instead of sleeping. Two readings are offered:
// wall time (seconds since 1970-01-01 UTC, for timestamps shown to or sent by the app) and
// monotonic time (seconds since an arbitrary origin, for durations, timers and media time).
// Both are safe to read from any thread.

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>

namespace dispatch {

class Clock {
public:
    virtual ~Clock() = default;

    // Seconds since 1970-01-01 00:00:00 UTC, with a fraction.
    virtual double wallTime() const = 0;
    // Seconds on a clock that never goes backwards; only differences are meaningful.
    virtual double monotonicTime() const = 0;

    // The process-wide clock (the real clock unless a test replaced it).
    static Clock& current();
    static std::shared_ptr<Clock> currentShared();
    // Replaces the process-wide clock; passing nullptr restores the real clock. The clock
    // replaced stays alive for the process's life, so a reference from current() never dangles.
    static void setCurrent(std::shared_ptr<Clock> clock);

    // Registers the one function told that time jumped: a VirtualClock moved forward or the
    // current clock was replaced. It runs on the thread that did so, after the change, with no
    // clock lock held. The timer scheduler uses it so that work due at the new time is already
    // on its queue when advance() returns. Passing nullptr removes it.
    static void setTimeJumpObserver(std::function<void()> observer);
};

// Seconds since 2001-01-01 00:00:00 UTC on the current clock, the reference date of the
// absolute-time readings used by request timelines.
double absoluteTime();

constexpr double kSecondsFrom1970To2001 = 978307200.0;

class RealClock final : public Clock {
public:
    double wallTime() const override;
    double monotonicTime() const override;
};

// A clock that stands still until advanced. Wall and monotonic time move together.
class VirtualClock final : public Clock {
public:
    explicit VirtualClock(double wallStart = 1.7e9, double monotonicStart = 1000.0);

    double wallTime() const override;
    double monotonicTime() const override;

    // Moves both readings forward by `seconds` (negative values are ignored), then tells the
    // time-jump observer, so delayed work that became due is on its queue when this returns.
    void advance(double seconds);
    // Sets the wall reading without moving monotonic time (for timestamp tests).
    void setWallTime(double seconds);

private:
    std::mutex mutex_;  // writers take turns; readers read each value without it
    std::atomic<double> wall_;
    std::atomic<double> monotonic_;
};

} // namespace dispatch
