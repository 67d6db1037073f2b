#pragma once
// The main run loop: the one loop that drains the main queue on the main thread.
//
// The main thread is the thread that first calls RunLoop::main(), or the one that calls
// setMainThread() (the app does so first thing). Only the main thread may pump or run the loop;
// wake() and stop() are safe from any thread.
//
// Waiting and waking are delegated to a RunLoopDriver so that a GUI host can drive the loop from
// its own event loop; headless, the driver is a condition variable. The loop's own waits are in
// real time: they are safety bounds and idle waits, never app time. Delayed work follows
// Clock::current() and reaches the main queue through the scheduler (see Queue::after), and
// pump() also hands out whatever became due, so pump() after VirtualClock::advance() runs it.

#include <atomic>
#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

namespace dispatch {

class RunLoopDriver {
public:
    virtual ~RunLoopDriver() = default;
    // Makes a current or next waitUntil() return soon. Any thread.
    virtual void wake() = 0;
    // Blocks the main thread until woken or `deadline` passes (time_point::max() means no
    // deadline). A wake that came before the call must make it return at once.
    virtual void waitUntil(std::chrono::steady_clock::time_point deadline) = 0;
};

class RunLoop {
public:
    static RunLoop& main();
    static void setMainThread();
    static bool isMainThread();

    // Replaces how the loop waits and wakes; nullptr restores the condition-variable driver.
    void setDriver(std::shared_ptr<RunLoopDriver> driver);
    void wake();

    // Runs everything ready now, including delayed work that became due, without waiting;
    // blocks posted by the blocks it runs also run. Returns the number of blocks run.
    std::size_t pump();
    // Pumps, then waits for new work, until `predicate` holds (true) or `timeoutSeconds` of real
    // time have passed (false). The predicate is checked after every pump, on the main thread.
    bool runUntil(const std::function<bool()>& predicate, double timeoutSeconds = 10.0);
    // Runs the loop for `seconds` of real time, or until stop(). Only for the app's own loop;
    // tests use pump() and runUntil() instead.
    void runFor(double seconds);
    // Makes the current runFor() return once its pump in progress is done. Any thread.
    void stop();

private:
    RunLoop();
    static RunLoop& instance();  // like main(), without claiming the main thread
    friend class Queue;
    void requireMainThread(const char* what) const;
    RunLoopDriver& driver() const { return *driver_.load(std::memory_order_acquire); }

    // Every post that finds the main queue empty wakes the loop, from any thread, so the driver
    // is read without a lock or a shared count: a plain pointer to the current one. Drivers that
    // setDriver replaces are kept, never destroyed, since a thread may still be waking the one
    // it just read (and a GUI host's driver may still have a wake-up pending in its event loop).
    std::mutex mutex_;  // serialises setDriver
    std::vector<std::shared_ptr<RunLoopDriver>> drivers_;
    std::atomic<RunLoopDriver*> driver_{nullptr};
    std::atomic<bool> stopRequested_{false};
};

} // namespace dispatch
