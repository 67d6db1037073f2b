#pragma once
// ParameterEncoding: turns a parameter dictionary into part of a URL request.
// Implemented by URLEncoding, JSONEncoding and PropertyListEncoding, all immutable values that
// may be used from any thread.

#include "Libs/HTTPLayer/Result.h"
#include "Libs/HTTPLayer/URLConvertible.h"

#include "platform/core/Value.h"
#include "platform/net/URLRequest.h"

#include <optional>

namespace http {

// Request parameters: text keys, values of any kind. Nested dictionaries keep their own
// (insertion) order; only the top level is sorted when URL-encoded.
using Parameters = core::Dictionary;

class ParameterEncoding {
public:
    virtual ~ParameterEncoding() = default;
    // The request with the parameters encoded into it; absent parameters leave it unchanged.
    // Fails with the request conversion's error or an HTTPError::parameterEncodingFailed.
    virtual Result<net::URLRequest> encode(const URLRequestConvertible& request,
                                           const std::optional<Parameters>& parameters) const = 0;
};

} // namespace http
