#pragma once
// The front door of the HTTP layer: turns a URL, method, parameters, encoding and header fields
// into a running DataRequest over one URL session.
//
// A manager owns its URL session, its SessionDelegate (which refers back to it weakly) and a
// serial queue labelled "org.httplayer.session-manager.<UUID>" on which tasks are made, one at a
// time. Factories never fail: a URL that does not convert, an encoding failure or an adapter
// failure ends in a request without a task that carries the error, so its response handlers
// report it. Each request is registered with the session delegate before it is resumed.
//
// Threads: factories may be called from any thread except the manager's own queue (making a task
// waits on it). The retrier is asked, and a delayed retry runs, on the global utility queue.
// Closures that outlive a call hold the manager weakly and do nothing once it is gone.
// Releasing a manager cancels its running tasks.

#include "Libs/HTTPLayer/DataRequest.h"
#include "Libs/HTTPLayer/HTTPMethod.h"
#include "Libs/HTTPLayer/ParameterEncoding.h"
#include "Libs/HTTPLayer/RequestAdapter.h"
#include "Libs/HTTPLayer/RequestRetrier.h"
#include "Libs/HTTPLayer/SessionDelegate.h"
#include "Libs/HTTPLayer/URLConvertible.h"
#include "Libs/HTTPLayer/URLEncoding.h"

#include "platform/dispatch/Queue.h"
#include "platform/net/URLSession.h"

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>

namespace http {

class SessionManager : public std::enable_shared_from_this<SessionManager> {
public:
    // The shared manager: the default configuration with defaultHTTPHeaders(). Made on first use
    // and kept for the life of the process.
    static const std::shared_ptr<SessionManager>& default_();
    // "Accept-Encoding", "Accept-Language" and "User-Agent", built once.
    static const HTTPHeaders& defaultHTTPHeaders();
    // Multipart bodies below this size are encoded in memory.
    static constexpr std::uint64_t multipartFormDataEncodingMemoryThreshold = 10'000'000;

    static std::shared_ptr<SessionManager> create(net::URLSessionConfiguration configuration,
                                                  std::shared_ptr<SessionDelegate> delegate = SessionDelegate::create());
    // Nothing when `session`'s delegate is not `delegate`.
    static std::shared_ptr<SessionManager> create(std::shared_ptr<net::URLSession> session,
                                                  std::shared_ptr<SessionDelegate> delegate);
    virtual ~SessionManager();
    SessionManager(const SessionManager&) = delete;
    SessionManager& operator=(const SessionManager&) = delete;

    const std::shared_ptr<net::URLSession>& session() const { return session_; }
    const std::shared_ptr<SessionDelegate>& delegate() const { return delegate_; }
    const std::shared_ptr<dispatch::Queue>& queue() const { return queue_; }

    bool startRequestsImmediately() const { return startRequestsImmediately_.load(); }
    void setStartRequestsImmediately(bool start) { startRequestsImmediately_.store(start); }
    std::shared_ptr<RequestAdapter> adapter() const;
    void setAdapter(std::shared_ptr<RequestAdapter> adapter);
    // The session delegate's retrier.
    std::shared_ptr<RequestRetrier> retrier() const { return delegate_->retrier; }
    void setRetrier(std::shared_ptr<RequestRetrier> retrier) { delegate_->retrier = std::move(retrier); }
    // Called on the main queue when the session has delivered all background events.
    std::function<void()> backgroundCompletionHandler() const;
    void setBackgroundCompletionHandler(std::function<void()> handler);

    // ---- data requests ----
    virtual std::shared_ptr<DataRequest> request(const URLConvertible& url, HTTPMethod method = HTTPMethod::get,
                                                 const std::optional<Parameters>& parameters = std::nullopt,
                                                 const ParameterEncoding& encoding = URLEncoding::default_(),
                                                 const std::optional<HTTPHeaders>& headers = std::nullopt);
    virtual std::shared_ptr<DataRequest> request(const URLRequestConvertible& urlRequest);
    // A request without a task that carries `error` (an AdaptError is unwrapped; with a retrier
    // set, an adapter's error goes to the retrier instead of resuming the request).
    virtual std::shared_ptr<DataRequest> request(const std::optional<net::URLRequest>& urlRequest, const Error& error);

    // ---- retry ----
    // Makes a new task from the request's description, registers it and starts it; false when no
    // new task could be made (the request then carries that failure).
    virtual bool retry(const std::shared_ptr<Request>& request);
    // Asks the retrier on the global utility queue and acts on its answer.
    virtual void passToRetrier(const std::shared_ptr<RequestRetrier>& retrier, const std::shared_ptr<Request>& request,
                               const Error& error);

protected:
    SessionManager(std::shared_ptr<net::URLSession> session, std::shared_ptr<SessionDelegate> delegate);
    void finishInit();

private:
    std::atomic<bool> startRequestsImmediately_{true};
    mutable std::mutex hooksLock_; // guards the adapter and the background handler
    std::shared_ptr<RequestAdapter> adapter_;
    std::function<void()> backgroundCompletionHandler_;
    const std::shared_ptr<dispatch::Queue> queue_;
    const std::shared_ptr<SessionDelegate> delegate_;
    std::shared_ptr<net::URLSession> session_;
};

// The same operations on SessionManager::default_().
std::shared_ptr<DataRequest> request(const URLConvertible& url, HTTPMethod method = HTTPMethod::get,
                                     const std::optional<Parameters>& parameters = std::nullopt,
                                     const ParameterEncoding& encoding = URLEncoding::default_(),
                                     const std::optional<HTTPHeaders>& headers = std::nullopt);
std::shared_ptr<DataRequest> request(const URLRequestConvertible& urlRequest);

} // namespace http
