#pragma once
// The one delegate of a session manager's URL session.
//
// For every event it consults, in a fixed order, the override closures a caller may have set
// (where a "...WithCompletion" override and a plain one both exist, the first wins and alone
// answers); where none is set it hands the event to the task delegate of the request registered
// for the task; where that does not apply it gives a fixed default answer. It also runs the
// validations and the retrier when a task completes, posts the completion notification, and
// keeps the table of live requests by task identifier.
//
// respondsTo() tells the session which events it wants: with no override set, the background
// events, invalidation, session-level challenge, redirection and response events, and the stream
// events, are reported as not implemented, so the session handles them itself.
//
// Threads: events arrive on the session's serial delegate queue. `lock` guards the request table
// only and is never held while calling out. The override closures and the retrier are set before
// requests run and read without a lock. The delegate holds its session manager weakly and each
// registered request strongly until its task completes.

#include "Libs/HTTPLayer/Error.h"
#include "Libs/HTTPLayer/RequestRetrier.h"

#include "platform/core/Object.h"
#include "platform/net/URLSession.h"

#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <unordered_map>

namespace http {

class Request;
class SessionManager;

class SessionDelegate : public core::Object, public net::URLSessionDelegate {
    QUILLORA_CLASS(SessionDelegate)

    using ChallengeAnswer = std::pair<net::AuthChallengeDisposition, std::optional<net::URLChallengeCredential>>;
    using Response = std::shared_ptr<const net::HTTPURLResponse>;
    using CachedResponse = std::shared_ptr<const net::CachedURLResponse>;

    static std::shared_ptr<SessionDelegate> create() { return core::make<SessionDelegate>(); }
    SessionDelegate() = default;

    // ---- overrides ----
    std::function<void(const Session&, const std::optional<core::Error>&)> sessionDidBecomeInvalidWithError;
    std::function<ChallengeAnswer(const Session&, const net::URLAuthenticationChallenge&)> sessionDidReceiveChallenge;
    std::function<void(const Session&, const net::URLAuthenticationChallenge&, net::ChallengeCompletion)>
        sessionDidReceiveChallengeWithCompletion;
    std::function<void(const Session&)> sessionDidFinishEventsForBackgroundURLSession;
    // Nothing refuses the redirect.
    std::function<std::optional<net::URLRequest>(const Session&, const Task&, Response, const net::URLRequest&)>
        taskWillPerformHTTPRedirection;
    std::function<void(const Session&, const Task&, Response, const net::URLRequest&,
                       std::function<void(std::optional<net::URLRequest>)>)>
        taskWillPerformHTTPRedirectionWithCompletion;
    std::function<ChallengeAnswer(const Session&, const Task&, const net::URLAuthenticationChallenge&)> taskDidReceiveChallenge;
    std::function<void(const Session&, const Task&, const net::URLAuthenticationChallenge&, net::ChallengeCompletion)>
        taskDidReceiveChallengeWithCompletion;
    std::function<std::shared_ptr<core::InputStream>(const Session&, const Task&)> taskNeedNewBodyStream;
    std::function<void(const Session&, const Task&, std::function<void(std::shared_ptr<core::InputStream>)>)>
        taskNeedNewBodyStreamWithCompletion;
    std::function<void(const Session&, const Task&, std::int64_t, std::int64_t, std::int64_t)> taskDidSendBodyData;
    std::function<void(const Session&, const Task&, const std::optional<Error>&)> taskDidComplete;
    std::function<net::ResponseDisposition(const Session&, const DataTask&, Response)> dataTaskDidReceiveResponse;
    std::function<void(const Session&, const DataTask&, Response, std::function<void(net::ResponseDisposition)>)>
        dataTaskDidReceiveResponseWithCompletion;
    std::function<void(const Session&, const DataTask&, const DownloadTask&)> dataTaskDidBecomeDownloadTask;
    std::function<void(const Session&, const DataTask&, const core::Bytes&)> dataTaskDidReceiveData;
    // Nothing stores nothing.
    std::function<CachedResponse(const Session&, const DataTask&, CachedResponse)> dataTaskWillCacheResponse;
    std::function<void(const Session&, const DataTask&, CachedResponse, std::function<void(CachedResponse)>)>
        dataTaskWillCacheResponseWithCompletion;
    std::function<void(const Session&, const DownloadTask&, const net::URL&)> downloadTaskDidFinishDownloadingToURL;
    std::function<void(const Session&, const DownloadTask&, std::int64_t, std::int64_t, std::int64_t)> downloadTaskDidWriteData;
    std::function<void(const Session&, const DownloadTask&, std::int64_t, std::int64_t)> downloadTaskDidResumeAtOffset;
    std::function<void(const Session&, const StreamTask&)> streamTaskReadClosed;
    std::function<void(const Session&, const StreamTask&)> streamTaskWriteClosed;
    std::function<void(const Session&, const StreamTask&)> streamTaskBetterRouteDiscovered;
    std::function<void(const Session&, const StreamTask&, std::shared_ptr<core::InputStream>, std::shared_ptr<core::OutputStream>)>
        streamTaskDidBecomeInputStream;

    std::shared_ptr<RequestRetrier> retrier;
    std::weak_ptr<SessionManager> sessionManager;

    // ---- the request table ----
    std::shared_ptr<Request> requestForTask(const net::URLSessionTask& task) const;
    // Nothing removes the entry.
    void setRequestForTask(const net::URLSessionTask& task, std::shared_ptr<Request> request);

    // The answer to a server-trust challenge by the policy the session's trust-policy manager has
    // for its host: the trust when the policy trusts it, cancel when not; default handling for
    // any other challenge, or when the manager, the policy or the trust is missing.
    static ChallengeAnswer serverTrustAnswer(const Session& session, const net::URLAuthenticationChallenge& challenge);

    // The error an AdaptError wraps; nothing for any other error.
    static std::optional<Error> underlyingAdaptError(const Error& error);

    // ---- net::URLSessionDelegate ----
    bool respondsTo(Callback callback) const override;

    void didBecomeInvalidWithError(const Session&, const std::optional<core::Error>&) override;
    void didReceiveChallenge(const Session&, const net::URLAuthenticationChallenge&, net::ChallengeCompletion) override;
    void didFinishEventsForBackgroundURLSession(const Session&) override;

    void willPerformHTTPRedirection(const Session&, const Task&, Response, net::URLRequest newRequest,
                                    std::function<void(std::optional<net::URLRequest>)> completion) override;
    void didReceiveChallenge(const Session&, const Task&, const net::URLAuthenticationChallenge&,
                             net::ChallengeCompletion completion) override;
    void needNewBodyStream(const Session&, const Task&, std::function<void(std::shared_ptr<core::InputStream>)> completion) override;
    // Yes when a challenge override or the request's own challenge closure is set, or the
    // session's trust-policy manager has a policy for the host.
    bool wantsServerTrustChallenge(const Session&, const Task&, const std::string& host) override;
    void didSendBodyData(const Session&, const Task&, std::int64_t bytesSent, std::int64_t totalBytesSent,
                         std::int64_t totalBytesExpectedToSend) override;
    void didFinishCollectingMetrics(const Session&, const Task&, std::shared_ptr<net::URLSessionTaskMetrics>) override;
    void didCompleteWithError(const Session&, const Task&, const std::optional<core::Error>&) override;

    void didReceiveResponse(const Session&, const DataTask&, Response,
                            std::function<void(net::ResponseDisposition)> completion) override;
    void didBecomeDownloadTask(const Session&, const DataTask&, const DownloadTask&) override;
    void didReceiveData(const Session&, const DataTask&, const core::Bytes&) override;
    void willCacheResponse(const Session&, const DataTask&, CachedResponse proposed,
                           std::function<void(CachedResponse)> completion) override;

    void didFinishDownloadingToURL(const Session&, const DownloadTask&, const net::URL& location) override;
    void didWriteData(const Session&, const DownloadTask&, std::int64_t bytesWritten, std::int64_t totalBytesWritten,
                      std::int64_t totalBytesExpectedToWrite) override;
    void didResumeAtOffset(const Session&, const DownloadTask&, std::int64_t fileOffset, std::int64_t expectedTotalBytes) override;

    void readClosed(const Session&, const StreamTask&) override;
    void writeClosed(const Session&, const StreamTask&) override;
    void betterRouteDiscovered(const Session&, const StreamTask&) override;
    void didBecomeInputStream(const Session&, const StreamTask&, std::shared_ptr<core::InputStream>,
                              std::shared_ptr<core::OutputStream>) override;

private:
    // The end of every task: tells taskDidComplete and the task delegate, posts DidComplete and
    // drops the table entry.
    void finishTask(const Session& session, const Task& task, const std::optional<Error>& error);
    void retryLater(const Session& session, const Task& task, const std::shared_ptr<Request>& request, const Error& error,
                    bool shouldRetry, double delay);

    mutable std::mutex lock_;
    std::unordered_map<std::uint64_t, std::shared_ptr<Request>> requests_;
};

} // namespace http
