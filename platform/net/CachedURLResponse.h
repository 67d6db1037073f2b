#pragma once
// A response as a URL cache keeps it: the response's head, its whole body, a dictionary of the
// caller's own and where it may be kept. An immutable value, shared between the cache, the
// session and the delegate that is asked whether to keep it.

#include "platform/core/Value.h"
#include "platform/net/HTTPURLResponse.h"

#include <memory>

namespace net {

enum class URLCacheStoragePolicy {
    allowed = 0,             // in memory and on disk
    allowedInMemoryOnly = 1, // in memory only
    notAllowed = 2,          // not kept at all
};

struct CachedURLResponse {
    std::shared_ptr<const HTTPURLResponse> response;
    core::Bytes data;
    core::Dictionary userInfo;
    URLCacheStoragePolicy storagePolicy = URLCacheStoragePolicy::allowed;
    // When the request that brought the response went out and when the response came, in wall
    // seconds (since 1970). The response's age is counted from them; 0 stands for the moment the
    // response is stored.
    double requestDate = 0;
    double responseDate = 0;
};

} // namespace net
