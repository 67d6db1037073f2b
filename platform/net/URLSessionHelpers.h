#pragma once
// Pure helpers of the URL session's engine (an internal part of the session): what a libcurl
// result means, where a redirect leads, what a challenge offers, where a URL's requests go, the
// header lines a transfer sends and the checks on a download's partial file. No state, no I/O.

#include "platform/net/HTTPHeaders.h"
#include "platform/net/URL.h"
#include "platform/net/URLError.h"
#include "platform/net/URLRequest.h"

#include <curl/curl.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace net::session {

// The URL error a finished transfer's libcurl result stands for; `verifyResult` is the TLS
// chain's verification result (an X509_V_ value), read for a failed peer verification.
URLErrorCode errorCodeFor(CURLcode code, long verifyResult);

// Whether a transfer that failed with `code` and libcurl's message `curlMessage` before its
// response head was complete did so because a header line, or the whole head, passed libcurl's
// size limits (100 KB a line, 300 KB a head); such a failure is reported as the header being too
// large rather than as a lost connection or an unknown error.
bool headerTooLarge(CURLcode code, std::string_view curlMessage);
inline constexpr const char* kHeaderTooLargeDescription = "The response's header is too large.";

// ---- redirects ----

inline constexpr int kMaximumRedirects = 16;

bool isRedirectStatus(int status);

// The request a redirect leads to, with the usual method rules: 303 turns anything but HEAD
// into a GET without body; 301 and 302 do so for POST; 307 and 308 keep method and body.
// Nothing when the current request has no URL or the location does not resolve against it.
std::optional<URLRequest> redirectedRequest(const URLRequest& current, int status, const std::string& location);

// ---- authentication ----

// The authentication a 401 or 407 response asks for, read from its WWW-Authenticate or
// Proxy-Authenticate field (repeated fields arrive joined with ", "): the strongest scheme the
// session answers (Negotiate, then Digest, then Basic) and that scheme's realm; nothing when it
// offers none of them.
struct AuthOffer {
    std::string method; // kAuthenticationMethodNegotiate, ...HTTPDigest or ...HTTPBasic
    std::optional<std::string> realm;
};

std::optional<AuthOffer> authOffer(const std::string& field);

// The CURLAUTH_ value of an authentication method (Basic for any other).
long curlAuthScheme(const std::string& method);

// ---- hosts ----

// Where a URL's requests go: its scheme and host in lower case, and its port (the scheme's
// default when it names none). The URL has a scheme and a host.
struct Origin {
    std::string scheme;
    std::string host;
    int port;
};

Origin originOf(const URL& url);

// The key of the host whose connections a URL's transfers share: "scheme://host:port".
std::string hostKey(const URL& url);

// ---- header lines ----

// The header lines of a transfer, one after another, each ended by a NUL: the session's fields,
// then the request's (which win; a field of both keeps the session's place and spelling),
// User-Agent and Accept where neither names them, and nothing the request did not ask for (no
// Expect, no default form Content-Type). Accept-Encoding is not a line: `acceptEncoding` points
// at its value when either names it (the request's when both do) and is left alone otherwise.
void headerLines(const HTTPHeaders& session, const HTTPHeaders& own, const std::string& defaultUserAgent, std::string& lines,
                 const std::string*& acceptEncoding);

// ---- downloads ----

inline constexpr std::string_view kPartialPrefix = "quillora-download-";

// Whether `path` names a partial download file as the session names them, directly in `folder`
// (which ends with "/"): the prefix, an upper-case UUID and ".tmp".
bool isOwnPartialFileName(const std::string& path, const std::string& folder);

// The validator resume data keeps for If-Range: the response's strong ETag, else its
// Last-Modified date; nothing without either.
std::optional<std::string> resumeValidator(const HTTPHeaders& responseFields);

} // namespace net::session
