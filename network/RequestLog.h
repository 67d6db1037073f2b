#pragma once
// One console line for every request of the service client that fails, so a blank page always
// leaves a trace of why: the path, an error code and its description.

#include "Libs/HTTPLayer/Response.h"
#include "platform/core/Value.h"

#include <optional>
#include <string>

namespace network {

// The line for a failed answer, or nothing when the answer is a JSON object from a server that
// did not report an error (HTTP status below 500). The code is the innermost platform error's
// code (transport, time-out, body limit, JSON reading), else the HTTP status.
std::optional<std::string> failedRequestLine(const std::string& path, const http::DataResponse<core::Value>& response);

// Logs the line above, if any.
void logIfFailed(const std::string& path, const http::DataResponse<core::Value>& response);

} // namespace network
