#include "Scheduler.h"

#include <algorithm>
#include <chrono>
#include <limits>
#include <thread>

namespace dispatch {
namespace {

bool later(const auto& a, const auto& b) {
    return a.deadline != b.deadline ? a.deadline > b.deadline : a.sequence > b.sequence;
}

} // namespace

Scheduler& Scheduler::shared() {
    // Never destroyed: delayed work may still be handed out while the process exits.
    static auto* scheduler = new Scheduler();
    return *scheduler;
}

Scheduler::Scheduler() : clock_(Clock::currentShared()) {
    Clock::setTimeJumpObserver([this] {
        fireDue();
        std::unique_lock lock(mutex_);
        noteChange(lock);
    });
    std::thread([this] { run(); }).detach();
}

void Scheduler::schedule(double delay, Fire fire) {
    double now;
    {
        std::lock_guard lock(mutex_);
        now = clock_->monotonicTime();
    }
    scheduleAt(now + std::max(0.0, delay), std::move(fire));
}

void Scheduler::scheduleAt(double deadline, Fire fire) {
    std::unique_lock lock(mutex_);
    heap_.push_back({deadline, nextSequence_++, std::move(fire)});
    std::push_heap(heap_.begin(), heap_.end(), later<Entry, Entry>);
    noteChange(lock);
}

bool Scheduler::sleepMissesSomething() const {
    if (!sleeping_) return false;  // it looks at the heap again before sleeping
    if (clock_.get() != sleepClock_) return true;
    if (heap_.empty()) return false;
    const double front = heap_.front().deadline;
    if (sleepVirtual_) return front <= clock_->monotonicTime();
    return front < sleepUntil_;
}

void Scheduler::noteChange(std::unique_lock<std::mutex>& lock) {
    ++generation_;
    const bool wake = sleepMissesSomething();
    lock.unlock();
    if (wake) changed_.notify_all();
}

void Scheduler::followCurrentClock() {
    // Replaced clocks are never destroyed, so the same address is the same clock.
    if (&Clock::current() == clock_.get()) return;
    auto current = Clock::currentShared();
    if (current == clock_) return;
    const double shift = current->monotonicTime() - clock_->monotonicTime();
    for (auto& entry : heap_) entry.deadline += shift;
    clock_ = std::move(current);
}

void Scheduler::fireDue() {
    std::lock_guard firing(firing_);
    for (;;) {
        Entry entry;
        double now;
        {
            std::lock_guard lock(mutex_);
            followCurrentClock();
            now = clock_->monotonicTime();
            if (heap_.empty() || heap_.front().deadline > now) return;
            std::pop_heap(heap_.begin(), heap_.end(), later<Entry, Entry>);
            entry = std::move(heap_.back());
            heap_.pop_back();
        }
        // The same function again, for the deadline it asks for (no new one to make and hold).
        if (std::optional<double> again = entry.fire(entry.deadline, now)) scheduleAt(*again, std::move(entry.fire));
    }
}

void Scheduler::run() {
    for (;;) {
        fireDue();
        std::unique_lock lock(mutex_);
        const auto seen = generation_;
        const auto news = [&] { return generation_ != seen; };
        sleeping_ = true;
        sleepClock_ = clock_.get();
        // A virtual clock only moves when told to, and the thread that moves it hands out what
        // became due; sleeping on real time for a virtual deadline would only wake us for nothing.
        sleepVirtual_ = dynamic_cast<VirtualClock*>(clock_.get()) != nullptr;
        if (heap_.empty() || sleepVirtual_) {
            sleepUntil_ = std::numeric_limits<double>::infinity();
            changed_.wait(lock, news);
        } else {
            const double now = clock_->monotonicTime();
            const double delay = std::min(heap_.front().deadline - now, 3600.0);
            sleepUntil_ = std::min(heap_.front().deadline, now + 3600.0);
            changed_.wait_for(lock, std::chrono::duration<double>(std::max(0.0, delay)), news);
        }
        sleeping_ = false;
    }
}

} // namespace dispatch

