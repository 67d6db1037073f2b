#pragma once
// A hook that may change every URL request just before its task is made (to add a token, say).
//
// It runs on the thread that asked for the request. Like every fallible closure of the layer it
// returns its outcome instead of throwing; task creation wraps a failure in AdaptError.

#include "Libs/HTTPLayer/Result.h"

#include "platform/net/URLRequest.h"

namespace http {

class RequestAdapter {
public:
    virtual ~RequestAdapter() = default;
    virtual Result<net::URLRequest> adaptRequest(const net::URLRequest& urlRequest) = 0;
};

} // namespace http
