#pragma once
// HTTPMethod: the nine HTTP methods, each with its token as raw value. Equality and
// hashing are the enum's own, which is the same as comparing the raw values.

#include <optional>
#include <string>
#include <string_view>

namespace http {

enum class HTTPMethod { options, get, head, post, put, patch, delete_, trace, connect };

// "OPTIONS", "GET", ..., "CONNECT".
std::string_view rawValue(HTTPMethod method);
// The method whose token is exactly `name` (case-sensitive); nothing for any other text.
std::optional<HTTPMethod> methodForName(std::string_view name);

} // namespace http
