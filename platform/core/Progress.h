#pragma once
// How far a piece of work has come: a total and a completed count of units, safe to read and
// write from any thread. A total of 0 or less means the size is not known yet.

#include <atomic>
#include <cstdint>

namespace core {

class Progress {
public:
    explicit Progress(std::int64_t total = 0) : total_(total) {}

    std::int64_t totalUnitCount() const { return total_.load(std::memory_order_relaxed); }
    void setTotalUnitCount(std::int64_t total) { total_.store(total, std::memory_order_relaxed); }
    std::int64_t completedUnitCount() const { return completed_.load(std::memory_order_relaxed); }
    void setCompletedUnitCount(std::int64_t completed) { completed_.store(completed, std::memory_order_relaxed); }

    // completed ÷ total, 0 while the total is unknown.
    double fractionCompleted() const {
        std::int64_t total = totalUnitCount();
        return total > 0 ? static_cast<double>(completedUnitCount()) / static_cast<double>(total) : 0.0;
    }
    bool isFinished() const {
        std::int64_t total = totalUnitCount();
        return total > 0 && completedUnitCount() >= total;
    }

private:
    std::atomic<std::int64_t> total_;
    std::atomic<std::int64_t> completed_{0};
};

} // namespace core
