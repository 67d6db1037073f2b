#include "platform/net/URLError.h"

namespace net {

namespace {

const char* textFor(URLErrorCode code) {
    switch (code) {
    case URLErrorCode::cancelled: return "cancelled";
    case URLErrorCode::badURL: return "bad URL";
    case URLErrorCode::timedOut: return "The request timed out.";
    case URLErrorCode::unsupportedURL: return "unsupported URL";
    case URLErrorCode::cannotFindHost: return "A server with the specified hostname could not be found.";
    case URLErrorCode::cannotConnectToHost: return "Could not connect to the server.";
    case URLErrorCode::networkConnectionLost: return "The network connection was lost.";
    case URLErrorCode::httpTooManyRedirects: return "too many HTTP redirects";
    case URLErrorCode::resourceUnavailable: return "resource unavailable";
    case URLErrorCode::badServerResponse: return "bad server response";
    case URLErrorCode::cannotDecodeContentData: return "cannot decode content data";
    case URLErrorCode::cannotParseResponse: return "cannot parse response";
    case URLErrorCode::requestBodyStreamExhausted: return "request body stream exhausted";
    case URLErrorCode::dataLengthExceedsMaximum: return "resource exceeds maximum size";
    case URLErrorCode::secureConnectionFailed:
        return "An SSL error has occurred and a secure connection to the server cannot be made.";
    case URLErrorCode::serverCertificateHasBadDate:
        return "The certificate for this server has expired.";
    case URLErrorCode::serverCertificateUntrusted:
        return "The certificate for this server is invalid.";
    case URLErrorCode::serverCertificateHasUnknownRoot:
        return "The certificate for this server was signed by an unknown certifying authority.";
    case URLErrorCode::serverCertificateNotYetValid:
        return "The certificate for this server is not yet valid.";
    case URLErrorCode::clientCertificateRejected: return "The server did not accept the certificate.";
    case URLErrorCode::cannotCreateFile: return "cannot create file";
    case URLErrorCode::cannotWriteToFile: return "cannot write to file";
    case URLErrorCode::unknown: break;
    }
    return "unknown error";
}

} // namespace

core::Error makeURLError(URLErrorCode code, const std::optional<URL>& failingURL, core::Dictionary extraUserInfo) {
    core::Error error{std::string(kURLErrorDomain), static_cast<long long>(code), textFor(code), std::move(extraUserInfo)};
    if (failingURL) error.userInfo.set(kFailingURLStringErrorKey, failingURL->absoluteString());
    return error;
}

bool isURLError(const core::Error& error, URLErrorCode code) {
    return error.domain == kURLErrorDomain && error.code == static_cast<long long>(code);
}

} // namespace net
