#include "Libs/HTTPLayer/Response.h"

namespace http::detail {

std::string requestLine(const std::optional<net::URLRequest>& request) {
    if (!request) return "[Request]: nil";
    return "[Request]: " + request->method() + " " + request->description();
}

std::string responseLine(const std::optional<net::HTTPURLResponse>& response) {
    return "[Response]: " + (response ? response->description() : std::string("nil"));
}

std::string fileLine(const char* label, const std::optional<net::URL>& url) {
    return label + (url ? url->path() : std::string("nil"));
}

std::string byteCountLine(const char* label, const std::optional<core::Bytes>& bytes) {
    return label + std::to_string(bytes ? bytes->size() : 0) + " bytes";
}

} // namespace http::detail
