#include "network/RequestLog.h"

#include "Libs/HTTPLayer/HTTPError.h"
#include "platform/core/Log.h"

namespace network {

namespace {

// The platform error at the bottom of the layer's error, if there is one.
std::optional<core::Error> innermost(const http::Error& error) {
    if (const auto* platform = error.as<core::Error>()) return *platform;
    if (const auto* layer = error.as<http::HTTPError>()) {
        if (auto underlying = layer->underlyingError()) return innermost(*underlying);
    }
    return std::nullopt;
}

} // namespace

std::optional<std::string> failedRequestLine(const std::string& path, const http::DataResponse<core::Value>& response) {
    const int status = response.response() ? response.response()->statusCode() : 0;
    const auto& result = response.result();
    std::string code;
    std::string description;
    if (!result.isSuccess()) {
        const http::Error& error = result.failureError();
        auto platform = innermost(error);
        code = platform ? std::to_string(platform->code) : std::to_string(status);
        description = platform ? platform->description : error.localizedDescription();
    } else if (!result.successValue().dictionary()) {
        code = std::to_string(status);
        description = "the answer is not a JSON object";
    } else if (status >= 500) {
        code = std::to_string(status);
        description = "server error";
    } else {
        return std::nullopt;
    }
    std::string line = "request " + path + " failed: " + code + " " + core::logValue(description);
    if (status != 0 && code != std::to_string(status)) line += " (HTTP " + std::to_string(status) + ")";
    return line;
}

void logIfFailed(const std::string& path, const http::DataResponse<core::Value>& response) {
    if (auto line = failedRequestLine(path, response)) core::log(*line);
}

} // namespace network
