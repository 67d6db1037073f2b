#pragma once
// A description of how to make one URL session task, kept by its request so that a retry can make
// the task again and a request without a task can still tell what it was meant to send.
//
// makeTask() runs the adapter (where one applies) on the calling thread, then makes the task in a
// synchronous block on `queue`, the session manager's serial queue; so it must never be called on
// that queue. The adapter's failure comes back wrapped in AdaptError and no task is made.

#include "Libs/HTTPLayer/RequestAdapter.h"
#include "Libs/HTTPLayer/Result.h"

#include "platform/dispatch/Queue.h"
#include "platform/net/URLSession.h"

#include <memory>

namespace http {

class TaskConvertible {
public:
    virtual ~TaskConvertible() = default;
    virtual Result<std::shared_ptr<net::URLSessionTask>> makeTask(const std::shared_ptr<net::URLSession>& session,
                                                                  const std::shared_ptr<RequestAdapter>& adapter,
                                                                  const std::shared_ptr<dispatch::Queue>& queue) const = 0;
};

namespace detail {
// The request after the adapter, or the adapter's failure wrapped in AdaptError.
Result<net::URLRequest> adapt(const net::URLRequest& urlRequest, const std::shared_ptr<RequestAdapter>& adapter);
// Makes a task with `make` inside a synchronous block on `queue`.
template <class Make>
std::shared_ptr<net::URLSessionTask> makeOnQueue(const std::shared_ptr<dispatch::Queue>& queue, Make&& make) {
    std::shared_ptr<net::URLSessionTask> task;
    queue->sync([&] { task = make(); });
    return task;
}
} // namespace detail

} // namespace http
