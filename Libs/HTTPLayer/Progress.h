#pragma once
// How far a transfer has come: a total and a completed count of units (bytes here).
//
// A task delegate updates its progress objects on the URL session's delegate queue while progress
// handlers read them on queues of their own, so both counts are atomic. A total of -1 means the
// size is not known yet.

#include <atomic>
#include <cstdint>

namespace http {

class Progress {
public:
    explicit Progress(std::int64_t totalUnitCount = 0) : total_(totalUnitCount) {}

    std::int64_t totalUnitCount() const { return total_.load(); }
    void setTotalUnitCount(std::int64_t count) { total_.store(count); }
    std::int64_t completedUnitCount() const { return completed_.load(); }
    void setCompletedUnitCount(std::int64_t count) { completed_.store(count); }

    // The completed share of the total; 0 while the total is unknown or zero.
    double fractionCompleted() const {
        auto total = totalUnitCount();
        return total > 0 ? static_cast<double>(completedUnitCount()) / static_cast<double>(total) : 0.0;
    }

private:
    std::atomic<std::int64_t> total_;
    std::atomic<std::int64_t> completed_{0};
};

} // namespace http
