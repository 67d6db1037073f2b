#pragma once
// How a URL session behaves: the header fields it adds to every request, its time-outs and
// where it keeps cookies, credentials and responses.
//
// Time-outs follow the platform's meaning and the app's clock: a request times out when no byte
// has moved for the smaller of its own timeoutInterval and timeoutIntervalForRequest, and a task
// when it has not finished within timeoutIntervalForResource.

#include "platform/net/HTTPCookieStorage.h"
#include "platform/net/HTTPHeaders.h"
#include "platform/net/URLCache.h"
#include "platform/net/URLCredentialStorage.h"
#include "platform/net/URLRequest.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace net {

struct URLSessionConfiguration {
    // Shared cookie and credential storage, and the shared URL cache.
    static URLSessionConfiguration defaultConfiguration();
    // Storage private to the session; its URL cache keeps responses in memory only.
    static URLSessionConfiguration ephemeralConfiguration();

    HTTPHeaders httpAdditionalHeaders;
    double timeoutIntervalForRequest = 60.0;
    double timeoutIntervalForResource = 7 * 24 * 3600.0;
    // Data tasks whose decoded body passes this many bytes end with dataLengthExceedsMaximum;
    // -1: no limit. Downloads to a file stream to disk and are not limited.
    std::int64_t maximumBodyLength = -1;
    int httpMaximumConnectionsPerHost = 6;
    // The cache policy of requests that ask for the protocol's rules (a request that names
    // another policy keeps its own).
    CachePolicy requestCachePolicy = CachePolicy::useProtocolCachePolicy;
    std::shared_ptr<URLCache> urlCache; // nothing: responses are neither looked up nor stored
    bool httpShouldSetCookies = true;
    std::shared_ptr<HTTPCookieStorage> httpCookieStorage;       // nothing: no cookies
    std::shared_ptr<URLCredentialStorage> urlCredentialStorage; // nothing: no stored credentials
    // The proxy every request goes through ("http://host:port"); nothing: libcurl's own choice
    // (the environment's proxy variables). A 407 asks the delegate for the proxy's credential.
    std::optional<URL> proxy;
    // The name of a background session; here it only makes multipart bodies go through a file.
    std::optional<std::string> identifier;
};

} // namespace net
