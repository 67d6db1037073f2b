#pragma once
// A hook that decides whether a failed request is sent again, and after what delay.
//
// The session manager asks it on the global utility queue; the session delegate asks it on the
// URL session's delegate queue. It answers by calling `completion` exactly once, at any time and
// on any thread, with whether to retry and the delay in seconds.

#include "Libs/HTTPLayer/Error.h"

#include <functional>
#include <memory>

namespace http {

class Request;
class SessionManager;

class RequestRetrier {
public:
    using RequestRetryCompletion = std::function<void(bool shouldRetry, double timeDelay)>;

    virtual ~RequestRetrier() = default;
    virtual void shouldRetryRequest(const std::shared_ptr<SessionManager>& manager, const std::shared_ptr<Request>& request,
                                    const Error& error, RequestRetryCompletion completion) = 0;
};

} // namespace http
