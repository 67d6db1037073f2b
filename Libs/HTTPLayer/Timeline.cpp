#include "Libs/HTTPLayer/Timeline.h"

#include <cstdio>
#include <initializer_list>
#include <utility>

namespace http {

namespace {

struct Entry {
    const char* label;
    double value;
    bool seconds;
};

std::string format(std::initializer_list<Entry> entries) {
    std::string text = "Timeline: { ";
    bool first = true;
    for (const auto& entry : entries) {
        char number[64];
        std::snprintf(number, sizeof number, "%.3f", entry.value);
        if (!first) text += ", ";
        first = false;
        text += "\"";
        text += entry.label;
        text += "\": ";
        text += number;
        if (entry.seconds) text += " secs";
    }
    return text + " }";
}

} // namespace

Timeline::Timeline(double requestStartTime, double initialResponseTime, double requestCompletedTime,
                   double serializationCompletedTime)
    : requestStartTime_(requestStartTime),
      initialResponseTime_(initialResponseTime),
      requestCompletedTime_(requestCompletedTime),
      serializationCompletedTime_(serializationCompletedTime),
      latency_(initialResponseTime - requestStartTime),
      requestDuration_(requestCompletedTime - requestStartTime),
      serializationDuration_(serializationCompletedTime - requestCompletedTime),
      totalDuration_(serializationCompletedTime - requestStartTime) {}

std::string Timeline::description() const {
    return format({{"Latency", latency_, true},
                   {"Request Duration", requestDuration_, true},
                   {"Serialization Duration", serializationDuration_, true},
                   {"Total Duration", totalDuration_, true}});
}

std::string Timeline::debugDescription() const {
    return format({{"Request Start Time", requestStartTime_, false},
                   {"Initial Response Time", initialResponseTime_, false},
                   {"Request Completed Time", requestCompletedTime_, false},
                   {"Serialization Completed Time", serializationCompletedTime_, false},
                   {"Latency", latency_, true},
                   {"Request Duration", requestDuration_, true},
                   {"Serialization Duration", serializationDuration_, true},
                   {"Total Duration", totalDuration_, true}});
}

} // namespace http
