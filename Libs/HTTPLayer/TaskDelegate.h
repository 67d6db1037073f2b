#pragma once
// The state of one request's URL session task and its reactions to the task's events.
//
// Every request owns one task delegate. Its operation queue is serial, runs at utility quality of
// service and is created suspended: the request's end-time stamp and its response handlers wait
// on it and run, in the order they were added, once the task has completed (or, for a request
// that never got a task, once the request is resumed). It is never suspended again.
//
// Threads: the event handlers run on the URL session's delegate queue, called by the session
// delegate. `task` is guarded by its own lock, and setting it resets the per-attempt state under
// that lock. The other fields are written on the delegate queue (or before the task starts) and
// read by the response handlers on `queue()`, which is released after the last event of the task.
// Released on the delegate queue, its operations run on the delegate queue's worker right after
// the event that completed the task (and before the next event), still serialised on `queue()`;
// so nothing they do may wait for the delegate queue.
// No other lock of the layer is held while the task lock is taken.

#include "Libs/HTTPLayer/Error.h"

#include "platform/core/Object.h"
#include "platform/dispatch/OperationQueue.h"
#include "platform/net/URLSession.h"

#include <functional>
#include <memory>
#include <mutex>
#include <optional>

namespace http {

class TaskDelegate : public std::enable_shared_from_this<TaskDelegate> {
public:
    using Session = net::URLSessionDelegate::Session;
    using Task = net::URLSessionDelegate::Task;

    explicit TaskDelegate(std::shared_ptr<net::URLSessionTask> task);
    virtual ~TaskDelegate() = default;
    TaskDelegate(const TaskDelegate&) = delete;
    TaskDelegate& operator=(const TaskDelegate&) = delete;

    const std::shared_ptr<dispatch::OperationQueue>& queue() const { return queue_; }

    std::shared_ptr<net::URLSessionTask> task() const;
    // Replaces the task (a retry) and resets the per-attempt state.
    void setTask(std::shared_ptr<net::URLSessionTask> task);

    // What the request received: nothing here; the collected body for data tasks, the resume data
    // for downloads.
    virtual std::optional<core::Bytes> data() const { return std::nullopt; }

    // The task's first error; also set by request creation, validation, a failed retry and a
    // failed file move.
    std::optional<Error> error;
    // When the first body bytes arrived, were written or were sent (absolute time).
    std::optional<double> initialResponseTime;
    // The request's own credential. A caller may set it after the task has started, while a
    // challenge reads it on the delegate queue, so it has a lock of its own.
    std::optional<net::URLCredential> credential() const;
    void setCredential(net::URLCredential credential);
    void clearCredential();
    // The task's metrics as the session reported them (any object; records keep task metrics only).
    std::shared_ptr<core::Object> metrics;

    std::function<std::optional<net::URLRequest>(const Session&, const Task&, std::shared_ptr<const net::HTTPURLResponse>,
                                                 const net::URLRequest&)>
        taskWillPerformHTTPRedirection;
    std::function<std::pair<net::AuthChallengeDisposition, std::optional<net::URLChallengeCredential>>(
        const Session&, const Task&, const net::URLAuthenticationChallenge&)>
        taskDidReceiveChallenge;
    std::function<std::shared_ptr<core::InputStream>(const Session&, const Task&)> taskNeedNewBodyStream;
    std::function<void(const Session&, const Task&, const std::optional<Error>&)> taskDidCompleteWithError;

    // Clears what belongs to one attempt of the task.
    virtual void reset();

    // Events of the task, forwarded by the session delegate.
    virtual void willPerformHTTPRedirection(const Session& session, const Task& task,
                                            std::shared_ptr<const net::HTTPURLResponse> response, net::URLRequest newRequest,
                                            std::function<void(std::optional<net::URLRequest>)> completion);
    virtual void didReceiveChallenge(const Session& session, const Task& task, const net::URLAuthenticationChallenge& challenge,
                                     net::ChallengeCompletion completion);
    virtual void needNewBodyStream(const Session& session, const Task& task,
                                   std::function<void(std::shared_ptr<core::InputStream>)> completion);
    // Records the error (the first one wins), keeps resume data and releases the queue.
    virtual void didCompleteWithError(const Session& session, const Task& task, const std::optional<Error>& error);

protected:
    // Called by didCompleteWithError() with the error that ended the task, before the queue is
    // released; downloads take their resume data from it.
    virtual void takeCompletionError(const Error&) {}

private:
    const std::shared_ptr<dispatch::OperationQueue> queue_;
    mutable std::mutex taskLock_;
    mutable std::mutex credentialLock_;
    std::optional<net::URLCredential> credential_; // guarded by credentialLock_
    std::shared_ptr<net::URLSessionTask> task_;
};

// The current absolute time, the clock of every stamp of a request.
double now();

} // namespace http
