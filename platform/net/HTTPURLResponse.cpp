#include "platform/net/HTTPURLResponse.h"

#include "platform/core/Ascii.h"

#include <utility>

namespace net {

namespace {

// A parameter value: a quoted string (backslash escapes undone) or a token, trimmed.
std::string unquote(std::string_view value) {
    value = core::ascii::trimmed(value);
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"') {
        std::string out;
        for (std::size_t i = 1; i + 1 < value.size(); ++i) {
            if (value[i] == '\\' && i + 2 < value.size()) ++i;
            out += value[i];
        }
        return out;
    }
    return std::string(value);
}

// Splits "a; b=c; d="e;f"" at the semicolons outside quotes.
std::vector<std::string_view> splitParameters(std::string_view header) {
    std::vector<std::string_view> parts;
    bool quoted = false;
    std::size_t start = 0;
    for (std::size_t i = 0; i < header.size(); ++i) {
        if (header[i] == '"' && (i == 0 || header[i - 1] != '\\')) quoted = !quoted;
        if (header[i] == ';' && !quoted) {
            parts.push_back(header.substr(start, i - start));
            start = i + 1;
        }
    }
    parts.push_back(header.substr(start));
    return parts;
}

// The value of parameter `name` (case-insensitive), or nothing.
std::optional<std::string> parameter(std::string_view header, std::string_view name) {
    auto parts = splitParameters(header);
    for (std::size_t i = 1; i < parts.size(); ++i) {
        auto eq = parts[i].find('=');
        if (eq == std::string_view::npos) continue;
        if (core::ascii::lowered(core::ascii::trimmed(parts[i].substr(0, eq))) == name) return unquote(parts[i].substr(eq + 1));
    }
    return std::nullopt;
}

// Only the last component of a suggested name is kept, so that it never names another folder.
std::string safeFileName(std::string name) {
    auto slash = name.find_last_of("/\\");
    if (slash != std::string::npos) name = name.substr(slash + 1);
    if (name == "." || name == "..") name.clear();
    return name;
}

std::string extensionForMIMEType(std::string_view mime) {
    static const std::pair<std::string_view, std::string_view> kTable[] = {
        {"text/html", "html"},         {"text/plain", "txt"},        {"text/css", "css"},
        {"text/xml", "xml"},           {"application/xml", "xml"},   {"application/json", "json"},
        {"application/pdf", "pdf"},    {"application/zip", "zip"},   {"image/png", "png"},
        {"image/jpeg", "jpeg"},        {"image/gif", "gif"},         {"image/webp", "webp"},
        {"application/javascript", "js"}, {"text/javascript", "js"}, {"application/x-plist", "plist"},
    };
    for (const auto& [type, ext] : kTable) {
        if (type == mime) return std::string(ext);
    }
    return "";
}

// RFC 8187 ext-value: charset'language'percent-encoded; only UTF-8 (and ASCII) are understood.
std::optional<std::string> decodeExtValue(std::string_view value) {
    auto first = value.find('\'');
    if (first == std::string_view::npos) return std::nullopt;
    auto second = value.find('\'', first + 1);
    if (second == std::string_view::npos) return std::nullopt;
    std::string charset = core::ascii::lowered(value.substr(0, first));
    if (charset != "utf-8" && charset != "us-ascii") return std::nullopt;
    return percentDecode(value.substr(second + 1));
}

} // namespace

HTTPURLResponse::HTTPURLResponse(URL url, int statusCode, std::string httpVersion, HTTPHeaders headers)
    : url_(std::move(url)), statusCode_(statusCode), httpVersion_(std::move(httpVersion)), headers_(std::move(headers)) {
    if (auto contentType = headers_.value("Content-Type")) {
        std::string_view type = core::ascii::trimmed(splitParameters(*contentType).front());
        if (!type.empty()) mimeType_ = core::ascii::lowered(type);
        textEncodingName_ = parameter(*contentType, "charset");
        if (textEncodingName_ && textEncodingName_->empty()) textEncodingName_.reset();
    }
    if (auto length = headers_.value("Content-Length")) {
        std::string_view digits = core::ascii::trimmed(*length);
        std::int64_t value = 0;
        bool valid = !digits.empty() && digits.size() <= 18;
        for (std::size_t i = 0; valid && i < digits.size(); ++i) { // at most 18 digits: no overflow
            const char c = digits[i];
            if (c < '0' || c > '9') {
                valid = false;
                break;
            }
            value = value * 10 + (c - '0');
        }
        if (valid) expectedContentLength_ = value;
    }
    std::string name;
    if (auto disposition = headers_.value("Content-Disposition")) {
        if (auto extended = parameter(*disposition, "filename*")) {
            if (auto decoded = decodeExtValue(*extended)) name = safeFileName(*decoded);
        }
        if (name.empty()) {
            if (auto plain = parameter(*disposition, "filename")) name = safeFileName(*plain);
        }
    }
    if (name.empty()) name = safeFileName(url_.lastPathComponent());
    if (name.empty()) name = "Unknown";
    if (name.find('.') == std::string::npos && mimeType_) {
        std::string ext = extensionForMIMEType(*mimeType_);
        if (!ext.empty()) name += "." + ext;
    }
    suggestedFilename_ = std::move(name);
}

std::string HTTPURLResponse::localizedStringForStatusCode(int statusCode) {
    switch (statusCode) {
    case 100: return "continue";
    case 101: return "switching protocols";
    case 200: return "no error";
    case 201: return "created";
    case 202: return "accepted";
    case 203: return "non-authoritative information";
    case 204: return "no content";
    case 205: return "reset content";
    case 206: return "partial content";
    case 300: return "multiple choices";
    case 301: return "moved permanently";
    case 302: return "found";
    case 303: return "see other";
    case 304: return "not modified";
    case 305: return "needs proxy";
    case 307: return "temporarily redirected";
    case 308: return "permanent redirect";
    case 400: return "bad request";
    case 401: return "unauthorized";
    case 402: return "payment required";
    case 403: return "forbidden";
    case 404: return "not found";
    case 405: return "method not allowed";
    case 406: return "unacceptable";
    case 407: return "proxy authentication required";
    case 408: return "request timed out";
    case 409: return "conflict";
    case 410: return "no longer exists";
    case 411: return "length required";
    case 412: return "precondition failed";
    case 413: return "request too large";
    case 414: return "requested URL too long";
    case 415: return "unsupported media type";
    case 416: return "requested range not satisfiable";
    case 417: return "expectation failed";
    case 429: return "too many requests";
    case 500: return "internal server error";
    case 501: return "unimplemented";
    case 502: return "bad gateway";
    case 503: return "service unavailable";
    case 504: return "gateway timed out";
    case 505: return "unsupported version";
    default: break;
    }
    if (statusCode >= 100 && statusCode < 200) return "informational";
    if (statusCode >= 200 && statusCode < 300) return "success";
    if (statusCode >= 300 && statusCode < 400) return "redirected";
    if (statusCode >= 400 && statusCode < 500) return "client error";
    return "server error";
}

std::string HTTPURLResponse::description() const {
    std::string text = "<HTTPURLResponse> { URL: " + url_.absoluteString() + " } { Status Code: " +
                       std::to_string(statusCode_) + ", Headers {\n";
    for (const auto& [name, value] : headers_) text += "    " + name + " = " + value + ";\n";
    text += "} }";
    return text;
}

} // namespace net
