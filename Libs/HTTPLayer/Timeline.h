#pragma once
// Timeline: when a request started, first heard back, completed and was serialized,
// as absolute times (seconds since 2001-01-01 on the process clock, dispatch::absoluteTime()),
// and the four durations between them. The durations are plain differences: nothing checks that
// the instants are in order, so a duration may be zero or negative.
//
// Also here: after(queue, delay, block), the layer's one timing operation (DispatchQueue.after).

#include "platform/dispatch/Queue.h"

#include <memory>
#include <string>

namespace http {

class Timeline {
public:
    Timeline() = default;
    Timeline(double requestStartTime, double initialResponseTime, double requestCompletedTime,
             double serializationCompletedTime);

    double requestStartTime() const { return requestStartTime_; }
    double initialResponseTime() const { return initialResponseTime_; }
    double requestCompletedTime() const { return requestCompletedTime_; }
    double serializationCompletedTime() const { return serializationCompletedTime_; }
    double latency() const { return latency_; }
    double requestDuration() const { return requestDuration_; }
    double serializationDuration() const { return serializationDuration_; }
    double totalDuration() const { return totalDuration_; }

    // "Timeline: { "Latency": 0.250 secs, "Request Duration": ..., "Serialization Duration": ...,
    // "Total Duration": ... }", every number "%.3f".
    std::string description() const;
    // The four instants (no " secs") and then the four durations, in field order.
    std::string debugDescription() const;

    bool operator==(const Timeline&) const = default;

private:
    double requestStartTime_ = 0;
    double initialResponseTime_ = 0;
    double requestCompletedTime_ = 0;
    double serializationCompletedTime_ = 0;
    double latency_ = 0;
    double requestDuration_ = 0;
    double serializationDuration_ = 0;
    double totalDuration_ = 0;
};

// Runs `block` on `queue` once `delay` seconds have passed on the process clock; returns at once.
// A delay of 0 still runs the block later, never before this call returns.
inline void after(const std::shared_ptr<dispatch::Queue>& queue, double delay, dispatch::Queue::Block block) {
    queue->after(delay, std::move(block));
}

} // namespace http
