#pragma once
// A URL request as a value: URL, method, header fields, body, time-out and cache policy.

#include "platform/core/Value.h"
#include "platform/net/HTTPHeaders.h"
#include "platform/net/URL.h"

#include <optional>
#include <string>

namespace net {

enum class CachePolicy {
    useProtocolCachePolicy = 0,
    reloadIgnoringLocalCacheData = 1,
    returnCacheDataElseLoad = 2,
    returnCacheDataDontLoad = 3,
};

struct URLRequest {
    static constexpr double kDefaultTimeoutInterval = 60.0;

    URLRequest() = default;
    explicit URLRequest(std::optional<URL> u, CachePolicy policy = CachePolicy::useProtocolCachePolicy,
                        double timeout = kDefaultTimeoutInterval)
        : url(std::move(u)), cachePolicy(policy), timeoutInterval(timeout) {}

    std::optional<URL> url;
    // Nothing means the default, "GET".
    std::optional<std::string> httpMethod;
    HTTPHeaders allHTTPHeaderFields;
    std::optional<core::Bytes> httpBody;
    CachePolicy cachePolicy = CachePolicy::useProtocolCachePolicy;
    double timeoutInterval = kDefaultTimeoutInterval;
    // False: the request neither sends stored cookies nor stores the ones its answer sets.
    bool httpShouldHandleCookies = true;

    std::string method() const { return httpMethod.value_or("GET"); }
    std::optional<std::string> value(std::string_view headerField) const { return allHTTPHeaderFields.value(headerField); }
    void setValue(std::optional<std::string> value, std::string_view headerField) {
        allHTTPHeaderFields.set(headerField, std::move(value));
    }
    // The request's text form, as the platform prints a request: "<URLRequest> { URL: u }",
    // with "(null)" for a request without a URL.
    std::string description() const {
        return "<URLRequest> { URL: " + (url ? url->absoluteString() : std::string("(null)")) + " }";
    }
};

} // namespace net
