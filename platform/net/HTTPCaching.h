#pragma once
// The rules of HTTP caching (RFC 9111) for a private client cache, as pure functions: what the
// Cache-Control fields say, how long a response stays fresh and how old it is, whether it may be
// stored, whether a stored one may answer a request as it is, must be revalidated first or
// cannot be used, and how a 304 refreshes it. No state, no I/O; times are wall seconds.

#include "platform/net/CachedURLResponse.h"
#include "platform/net/HTTPHeaders.h"
#include "platform/net/URLRequest.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace net::caching {

// The directives of a Cache-Control field that a private cache acts on. A max-age or s-maxage
// that is not a number counts as 0 (the response is stale), as the RFC advises.
struct CacheControl {
    bool noStore = false;
    bool noCache = false;
    bool mustRevalidate = false;
    bool isPublic = false;
    bool isPrivate = false;
    std::optional<std::int64_t> maxAge;
    std::optional<std::int64_t> sMaxAge;
};

CacheControl cacheControl(std::string_view field);
// The directives of a message's Cache-Control field; a request with none but "Pragma: no-cache"
// asks for no-cache.
CacheControl requestCacheControl(const HTTPHeaders& request);
CacheControl responseCacheControl(const HTTPHeaders& response);

// An HTTP date (any of its three forms) in wall seconds; nothing when it is not one.
std::optional<double> httpDate(std::string_view text);

// Statuses a response may be stored with without saying so (RFC 9110, 15.1).
bool isCacheableByDefault(int status);

// How long the response stays fresh, in seconds: max-age, else Expires minus Date, else 10% of
// Date minus Last-Modified capped at a day (for statuses cacheable by default), else 0.
double freshnessLifetime(int status, const HTTPHeaders& response, double responseDate);
// The response's age now, counting its Age field and the time the exchange took.
double currentAge(const HTTPHeaders& response, double requestDate, double responseDate, double now);
bool isFresh(const CachedURLResponse& stored, double now);

// Whether a response to a GET request may be stored: not no-store on either side, not "Vary: *",
// an answer to a request with credentials only when public, s-maxage or must-revalidate allows,
// and a status cacheable by default or explicit freshness.
bool mayStore(const HTTPHeaders& request, bool carriesAuthorization, int status, const HTTPHeaders& response);
// Whether a stored response could ever answer a request under the protocol's rules: it has a
// freshness lifetime or a validator to revalidate it with.
bool isReusable(int status, const HTTPHeaders& response, double responseDate);

// The request header fields a response varies on, each with the request's value (nothing when
// the request has no such field); nothing at all for "Vary: *".
using VaryValues = std::vector<std::pair<std::string, std::optional<std::string>>>;
std::optional<VaryValues> varyValues(const HTTPHeaders& response, const HTTPHeaders& request);
bool varyMatches(const VaryValues& stored, const HTTPHeaders& request);

// The fields that make a request conditional on a stored response (If-None-Match from its ETag,
// If-Modified-Since from its Last-Modified); empty when it has no validator.
HTTPHeaders conditionalFields(const HTTPHeaders& stored);
// Whether the request is conditional or ranged already: the caller handles the answer itself.
bool isOwnConditional(const HTTPHeaders& request);

// The stored fields refreshed by a 304's: each field of the 304 replaces or joins the stored
// ones, except those that describe the body or the connection.
HTTPHeaders mergedFields(const HTTPHeaders& stored, const HTTPHeaders& notModified);

// What a request does with the stored response (already matched by URL and Vary) under its
// cache policy.
enum class Use {
    stored,     // the stored response is the answer; nothing is sent
    revalidate, // ask the server whether the stored response still holds
    load,       // ask the server as if nothing were stored
    fail,       // answer with "resource unavailable": nothing usable and loading is not allowed
};
Use decide(CachePolicy policy, const HTTPHeaders& request, const CachedURLResponse* stored, double now);

// Whether a method changes the resource: a success of one makes the stored response stale.
bool isUnsafeMethod(std::string_view method);

} // namespace net::caching
