#pragma once
// Timing of one URL session task, as the session reports it once the task has completed.
//
// All instants are absolute times (seconds since 2001-01-01 UTC on the process clock, the same
// reading as dispatch::absoluteTime()); an instant the transfer never reached is nothing. The
// session fills one object per task from libcurl's timings and hands it over read-only; it is a
// core::Object so that records can hold "any object" in their metrics slot and tell this class
// apart from others.

#include "platform/core/Object.h"
#include "platform/net/URLRequest.h"

#include <string>

#include <optional>
#include <utility>
#include <vector>

namespace net {

// Where a response came from.
enum class ResourceFetchType { unknown = 0, networkLoad = 1, serverPush = 2, localCache = 3 };

// One request/response exchange of the task (a redirect makes a second one). A response the URL
// cache gave without asking the server has only its fetch start and response end dates.
struct URLSessionTaskTransactionMetrics {
    std::optional<URLRequest> request;
    ResourceFetchType resourceFetchType = ResourceFetchType::networkLoad;
    std::optional<double> fetchStartDate;
    std::optional<double> domainLookupStartDate;
    std::optional<double> domainLookupEndDate;
    std::optional<double> connectStartDate;
    std::optional<double> secureConnectionStartDate;
    std::optional<double> connectEndDate;
    std::optional<double> requestStartDate;
    std::optional<double> responseStartDate;
    std::optional<double> responseEndDate;
    std::string networkProtocolName; // "http/1.1", "h2"
    bool reusedConnection = false;
};

// The task's whole interval: when it started and how long it ran.
struct DateInterval {
    double startDate = 0;
    double duration = 0;
    double endDate() const { return startDate + duration; }
};

class URLSessionTaskMetrics : public core::Object {
    QUILLORA_CLASS(URLSessionTaskMetrics)

    URLSessionTaskMetrics() = default;
    URLSessionTaskMetrics(DateInterval interval, std::vector<URLSessionTaskTransactionMetrics> transactions,
                          int redirects = 0)
        : taskInterval(interval), transactionMetrics(std::move(transactions)), redirectCount(redirects) {}

    DateInterval taskInterval;
    std::vector<URLSessionTaskTransactionMetrics> transactionMetrics;
    int redirectCount = 0;
};

} // namespace net
