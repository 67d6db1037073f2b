#pragma once
// Errors of the URL session: the domain, the codes the app may meet, and their fixed texts.

#include "platform/core/Error.h"
#include "platform/net/URL.h"

#include <optional>
#include <string_view>

namespace net {

inline constexpr std::string_view kURLErrorDomain = "URLErrorDomain";
// User-info keys of URL errors.
inline constexpr const char* kFailingURLStringErrorKey = "failingURLString";
inline constexpr const char* kDownloadTaskResumeDataKey = "downloadTaskResumeData";

enum class URLErrorCode : long {
    unknown = -1,
    cancelled = -999,
    badURL = -1000,
    timedOut = -1001,
    unsupportedURL = -1002,
    cannotFindHost = -1003,
    cannotConnectToHost = -1004,
    networkConnectionLost = -1005,
    httpTooManyRedirects = -1007,
    resourceUnavailable = -1008,
    badServerResponse = -1011,
    cannotDecodeContentData = -1016,
    cannotParseResponse = -1017,
    requestBodyStreamExhausted = -1021,
    dataLengthExceedsMaximum = -1103,
    secureConnectionFailed = -1200,
    serverCertificateHasBadDate = -1201,
    serverCertificateUntrusted = -1202,
    serverCertificateHasUnknownRoot = -1203,
    serverCertificateNotYetValid = -1204,
    clientCertificateRejected = -1205,
    cannotCreateFile = -3000,
    cannotWriteToFile = -3003,
};

// The error for a code, with the failing URL (when known) and any further user info.
core::Error makeURLError(URLErrorCode code, const std::optional<URL>& failingURL = std::nullopt,
                         core::Dictionary extraUserInfo = {});

// True for an error of this domain with this code.
bool isURLError(const core::Error& error, URLErrorCode code);

} // namespace net
