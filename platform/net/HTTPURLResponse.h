#pragma once
// The head of an HTTP response, as the URL session reports it.

#include "platform/net/HTTPHeaders.h"
#include "platform/net/URL.h"

#include <cstdint>
#include <optional>
#include <string>

namespace net {

class HTTPURLResponse {
public:
    static constexpr std::int64_t kUnknownLength = -1;

    // Derives the MIME type, text encoding name, expected length and suggested file name from the
    // header fields (Content-Type, Content-Length, Content-Disposition).
    HTTPURLResponse(URL url, int statusCode, std::string httpVersion, HTTPHeaders headers);

    const URL& url() const { return url_; }
    int statusCode() const { return statusCode_; }
    const std::string& httpVersion() const { return httpVersion_; }
    const HTTPHeaders& allHeaderFields() const { return headers_; }
    std::optional<std::string> value(std::string_view headerField) const { return headers_.value(headerField); }

    // "text/html" from "text/html; charset=utf-8", lower-cased; nothing without Content-Type.
    const std::optional<std::string>& mimeType() const { return mimeType_; }
    // The charset parameter of Content-Type, as written (unquoted); nothing when absent.
    const std::optional<std::string>& textEncodingName() const { return textEncodingName_; }
    // Content-Length, or kUnknownLength.
    std::int64_t expectedContentLength() const { return expectedContentLength_; }
    // The file name from Content-Disposition, else the URL's last path component, else "Unknown";
    // with no dot, an extension for the MIME type may be added.
    const std::string& suggestedFilename() const { return suggestedFilename_; }

    // The standard reason phrase for a status code, lower-case as the platform gives it
    // ("not found"); "server error" / "client error" etc. for unknown codes.
    static std::string localizedStringForStatusCode(int statusCode);

    // The response's text form: "<HTTPURLResponse> { URL: u } { Status Code: 200, Headers {" +
    // one line per field, "    Name = value;" + "} }".
    std::string description() const;

private:
    URL url_;
    int statusCode_;
    std::string httpVersion_;
    HTTPHeaders headers_;
    std::optional<std::string> mimeType_;
    std::optional<std::string> textEncodingName_;
    std::int64_t expectedContentLength_ = kUnknownLength;
    std::string suggestedFilename_;
};

} // namespace net
