#pragma once
// RequestVerifier: the checks every POST to the service passes before it is answered, as the real
// service makes them: the five headers the app sends, a timestamp close to the service's clock,
// and the signature over all other parameters made with the app's signer and the given salt.

#include "platform/core/Value.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace service {

struct Rejection {
    std::int64_t errcode = 0;
    std::string message; // shown to the user by the app, so in Chinese
};

class RequestVerifier {
public:
    RequestVerifier() = delete;

    // How far random_time may lie from the service's clock, either way. Phones' clocks drift and
    // requests wait in queues, so a few minutes pass; an old captured request does not.
    static constexpr std::int64_t kTimestampWindowSeconds = 300;

    // Returns a header's value, or nothing when the request does not carry it.
    using HeaderLookup = std::function<std::optional<std::string>(std::string_view name)>;

    // Nothing when the request passes; otherwise why it is refused. `now` is the service's wall
    // time in seconds since 1970.
    static std::optional<Rejection> verify(const HeaderLookup& header, const core::Dictionary& params,
                                           std::string_view salt, double now);
};

} // namespace service
