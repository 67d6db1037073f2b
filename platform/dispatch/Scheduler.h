#pragma once
// Holds every piece of delayed work (Queue::after, Timer) until it is due on the current clock,
// then hands it out. Internal to the dispatch library.
//
// Invariants: entries are handed out in (deadline, submission) order, so ties keep submission
// order. Deadlines are in the time base of the clock the scheduler last read; when the current
// clock is replaced, pending deadlines move to the new clock keeping their remaining delay.
// Threads: fireDue() runs on whichever thread calls it: the scheduler's own thread (which sleeps
// until the next deadline on a real clock and only on news on a virtual one), the thread that
// advances a VirtualClock or replaces the clock (through the clock's time-jump observer), and
// the main run loop's pump(). Firing is serialised, so hand-out order holds across threads.
// The scheduler thread is woken only when its sleep would miss something: an entry due before
// the moment it sleeps until on a real clock, an entry already due on a virtual one (whose later
// deadlines are handed out by the thread that advances it), or a replaced clock. A timer re-armed
// for later than the next deadline therefore costs no system call.

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "platform/dispatch/Clock.h"

namespace dispatch {

class Scheduler {
public:
    // Called once the deadline has passed, with that deadline and the time now, both in the
    // scheduler's time base. It must only hand work on (e.g. Queue::async), never block. It
    // returns the deadline to be fired at again (a repeating timer's next tick), or nothing.
    using Fire = std::function<std::optional<double>(double deadline, double now)>;

    static Scheduler& shared();

    // Fires `fire` once `delay` seconds have passed on the current clock.
    void schedule(double delay, Fire fire);
    // Fires `fire` at `deadline`, in the scheduler's time base (as passed to a Fire).
    void scheduleAt(double deadline, Fire fire);
    // Hands out everything that is due now.
    void fireDue();

private:
    struct Entry {
        double deadline;
        std::uint64_t sequence;
        Fire fire;
    };

    Scheduler();
    void run();
    void followCurrentClock();  // requires mutex_
    bool sleepMissesSomething() const;  // requires mutex_
    void noteChange(std::unique_lock<std::mutex>& lock);  // requires mutex_, releases it

    std::mutex firing_;  // serialises fireDue(); taken before mutex_
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<Entry> heap_;  // min-heap on (deadline, sequence)
    std::uint64_t nextSequence_ = 0;
    std::uint64_t generation_ = 0;  // bumped on every change the scheduler thread must see
    std::shared_ptr<Clock> clock_;
    // What the scheduler thread sleeps for, valid while sleeping_: the clock it read and the
    // deadline it wakes at by itself (infinity: only when told), and whether that clock is
    // virtual (then only an entry already due needs the thread).
    bool sleeping_ = false;
    bool sleepVirtual_ = false;
    const Clock* sleepClock_ = nullptr;
    double sleepUntil_ = 0;
};

} // namespace dispatch
