#include "Libs/HTTPLayer/HTTPMethod.h"

#include <array>
#include <utility>

namespace http {

namespace {

constexpr std::array<std::pair<HTTPMethod, std::string_view>, 9> kMethods{{
    {HTTPMethod::options, "OPTIONS"},
    {HTTPMethod::get, "GET"},
    {HTTPMethod::head, "HEAD"},
    {HTTPMethod::post, "POST"},
    {HTTPMethod::put, "PUT"},
    {HTTPMethod::patch, "PATCH"},
    {HTTPMethod::delete_, "DELETE"},
    {HTTPMethod::trace, "TRACE"},
    {HTTPMethod::connect, "CONNECT"},
}};

} // namespace

std::string_view rawValue(HTTPMethod method) { return kMethods[static_cast<std::size_t>(method)].second; }

std::optional<HTTPMethod> methodForName(std::string_view name) {
    for (const auto& [method, token] : kMethods) {
        if (token == name) return method;
    }
    return std::nullopt;
}

} // namespace http
