#include "platform/net/URLSessionHelpers.h"

#include "platform/core/Ascii.h"
#include "platform/net/URLSessionDelegate.h"

#include <openssl/x509_vfy.h>

#include <cctype>
#include <vector>

namespace net::session {

using core::ascii::equalsIgnoringCase;

URLErrorCode errorCodeFor(CURLcode code, long verifyResult) {
    switch (code) {
    case CURLE_OPERATION_TIMEDOUT: return URLErrorCode::timedOut;
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY: return URLErrorCode::cannotFindHost;
    case CURLE_COULDNT_CONNECT: return URLErrorCode::cannotConnectToHost;
    case CURLE_SEND_ERROR:
    case CURLE_RECV_ERROR:
    case CURLE_PARTIAL_FILE:
    case CURLE_GOT_NOTHING:
    case CURLE_HTTP2:
    case CURLE_HTTP2_STREAM: return URLErrorCode::networkConnectionLost;
    case CURLE_UNSUPPORTED_PROTOCOL: return URLErrorCode::unsupportedURL;
    case CURLE_URL_MALFORMAT: return URLErrorCode::badURL;
    case CURLE_TOO_MANY_REDIRECTS: return URLErrorCode::httpTooManyRedirects;
    case CURLE_WEIRD_SERVER_REPLY: return URLErrorCode::badServerResponse;
    case CURLE_BAD_CONTENT_ENCODING: return URLErrorCode::cannotDecodeContentData;
    case CURLE_ABORTED_BY_CALLBACK: return URLErrorCode::cancelled;
    case CURLE_SSL_CERTPROBLEM: return URLErrorCode::clientCertificateRejected;
    case CURLE_PEER_FAILED_VERIFICATION:
        switch (verifyResult) {
        case X509_V_ERR_CERT_HAS_EXPIRED: return URLErrorCode::serverCertificateHasBadDate;
        case X509_V_ERR_CERT_NOT_YET_VALID: return URLErrorCode::serverCertificateNotYetValid;
        case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT_LOCALLY:
        case X509_V_ERR_SELF_SIGNED_CERT_IN_CHAIN:
        case X509_V_ERR_DEPTH_ZERO_SELF_SIGNED_CERT: return URLErrorCode::serverCertificateHasUnknownRoot;
        default: return URLErrorCode::serverCertificateUntrusted;
        }
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_SSL_CIPHER:
    case CURLE_SSL_ENGINE_NOTFOUND: return URLErrorCode::secureConnectionFailed;
    case CURLE_WRITE_ERROR: return URLErrorCode::cannotWriteToFile;
    default: return URLErrorCode::unknown;
    }
}

bool headerTooLarge(CURLcode code, std::string_view curlMessage) {
    // libcurl refuses an oversized line as out of memory without a message (from 8.6 as too
    // large), and an oversized head as a receive error whose message names the headers.
#if LIBCURL_VERSION_NUM >= 0x080600
    if (code == CURLE_TOO_LARGE) return true;
#endif
    if (code == CURLE_OUT_OF_MEMORY) return true;
    if (code != CURLE_RECV_ERROR) return false;
    const std::string message = core::ascii::lowered(curlMessage);
    return message.find("header") != std::string::npos && message.find("too large") != std::string::npos;
}

bool isRedirectStatus(int status) {
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

std::optional<URLRequest> redirectedRequest(const URLRequest& current, int status, const std::string& location) {
    if (!current.url) return std::nullopt;
    auto target = current.url->resolve(location);
    if (!target) return std::nullopt;
    URLRequest next = current;
    next.url = *target;
    std::string method = current.method();
    bool toGet = (status == 303 && method != "HEAD") || ((status == 301 || status == 302) && method == "POST");
    if (toGet) {
        next.httpMethod = "GET";
        next.httpBody.reset();
        next.allHTTPHeaderFields.remove("Content-Type");
        next.allHTTPHeaderFields.remove("Content-Length");
    }
    return next;
}

std::optional<AuthOffer> authOffer(const std::string& field) {
    const auto isTokenChar = [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) || std::string_view("!#$%&'*+-.^_`|~").find(c) != std::string_view::npos;
    };
    std::vector<AuthOffer> offers;
    std::size_t i = 0;
    const std::size_t n = field.size();
    while (i < n) {
        if (field[i] == ' ' || field[i] == '\t' || field[i] == ',') {
            ++i;
            continue;
        }
        std::size_t start = i;
        while (i < n && isTokenChar(field[i])) ++i;
        if (i == start) { // not a token: skip a stray character
            ++i;
            continue;
        }
        std::string token = core::ascii::lowered(field.substr(start, i - start));
        std::size_t j = i;
        while (j < n && (field[j] == ' ' || field[j] == '\t')) ++j;
        if (j < n && field[j] == '=') {
            // A parameter of the scheme before it: a quoted string or a token.
            i = j + 1;
            while (i < n && (field[i] == ' ' || field[i] == '\t')) ++i;
            std::string value;
            if (i < n && field[i] == '"') {
                for (++i; i < n && field[i] != '"'; ++i) {
                    if (field[i] == '\\' && i + 1 < n) ++i;
                    value += field[i];
                }
                ++i;
            } else {
                std::size_t v = i;
                while (i < n && field[i] != ',' && field[i] != ' ' && field[i] != '\t') ++i;
                value = field.substr(v, i - v);
            }
            if (token == "realm" && !offers.empty() && !offers.back().realm) offers.back().realm = std::move(value);
            continue;
        }
        offers.push_back({std::move(token), std::nullopt});
    }
    for (const char* method : {kAuthenticationMethodNegotiate, kAuthenticationMethodHTTPDigest, kAuthenticationMethodHTTPBasic}) {
        for (auto& offer : offers) {
            if (offer.method == method) return offer;
        }
    }
    return std::nullopt;
}

long curlAuthScheme(const std::string& method) {
    if (method == kAuthenticationMethodNegotiate) return static_cast<long>(CURLAUTH_NEGOTIATE);
    if (method == kAuthenticationMethodHTTPDigest) return static_cast<long>(CURLAUTH_DIGEST);
    return static_cast<long>(CURLAUTH_BASIC);
}

Origin originOf(const URL& url) {
    Origin origin{core::ascii::lowered(*url.scheme()), core::ascii::lowered(*url.host()), 0};
    origin.port = url.port().value_or(origin.scheme == "https" ? 443 : 80);
    return origin;
}

std::string hostKey(const URL& url) {
    const Origin origin = originOf(url);
    return origin.scheme + "://" + origin.host + ":" + std::to_string(origin.port);
}

void headerLines(const HTTPHeaders& session, const HTTPHeaders& own, const std::string& defaultUserAgent, std::string& lines,
                 const std::string*& acceptEncoding) {
    lines.clear();
    bool userAgent = false, accept = false, contentType = false;
    const auto line = [&](const std::string& name, const std::string& value) {
        if (equalsIgnoringCase(name, "Accept-Encoding")) {
            acceptEncoding = &value;
            return;
        }
        userAgent = userAgent || equalsIgnoringCase(name, "User-Agent");
        accept = accept || equalsIgnoringCase(name, "Accept");
        contentType = contentType || equalsIgnoringCase(name, "Content-Type");
        // Each text ends at its first NUL, as libcurl would read it: what follows a NUL never
        // becomes a line of its own.
        const std::string_view text(value.c_str());
        lines += std::string_view(name.c_str());
        lines += text.empty() ? ";" : ": "; // "Name;" is libcurl's way of sending an empty field
        lines += text;
        lines += '\0';
    };
    for (const auto& [name, value] : session) {
        const std::string* mine = own.find(name);
        line(name, mine ? *mine : value);
    }
    for (const auto& [name, value] : own) {
        if (!session.contains(name)) line(name, value);
    }
    static const std::string kUserAgent = "User-Agent", kAccept = "Accept", kAnyType = "*/*";
    if (!userAgent) line(kUserAgent, defaultUserAgent);
    if (!accept) line(kAccept, kAnyType);
    lines += "Expect:";
    lines += '\0';
    if (!contentType) {
        lines += "Content-Type:";
        lines += '\0';
    }
}

bool isOwnPartialFileName(const std::string& path, const std::string& folder) {
    if (path.rfind(folder, 0) != 0) return false;
    const std::string name = path.substr(folder.size());
    const std::size_t uuidLength = 36;
    return name.size() == kPartialPrefix.size() + uuidLength + 4 && name.rfind(kPartialPrefix, 0) == 0 &&
           name.compare(name.size() - 4, 4, ".tmp") == 0 &&
           name.find_first_not_of("0123456789ABCDEF-", kPartialPrefix.size()) == name.size() - 4;
}

std::optional<std::string> resumeValidator(const HTTPHeaders& responseFields) {
    auto etag = responseFields.value("ETag");
    if (etag && etag->rfind("W/", 0) != 0) return etag;
    return responseFields.value("Last-Modified");
}

} // namespace net::session
