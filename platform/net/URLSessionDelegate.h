#pragma once
// What a URL session tells its delegate, on the session's delegate queue (one event at a time).
//
// Every callback is optional: the session first asks respondsTo() and, when the delegate does
// not implement a callback, gives the platform's default answer itself (follow redirects, allow
// the response, default handling of authentication challenges). Callbacks that take a completion
// must call it exactly once, on any thread; the session waits for it.
//
// Order for one task: redirections, the response, data, whether to cache the response, metrics,
// completion.

#include "platform/core/Error.h"
#include "platform/core/Stream.h"
#include "platform/net/CachedURLResponse.h"
#include "platform/net/HTTPURLResponse.h"
#include "platform/net/URLCredentialStorage.h"
#include "platform/net/URLRequest.h"
#include "platform/net/URLSessionTaskMetrics.h"

#include <functional>
#include <memory>
#include <optional>

namespace net {

class URLSession;
class URLSessionTask;
class URLSessionDataTask;
class URLSessionDownloadTask;
class URLSessionStreamTask;
class ServerTrust;

enum class ResponseDisposition { cancel = 0, allow = 1, becomeDownload = 2, becomeStream = 3 };
enum class AuthChallengeDisposition {
    useCredential = 0,
    performDefaultHandling = 1,
    cancelAuthenticationChallenge = 2,
    rejectProtectionSpace = 3,
};

inline constexpr const char* kAuthenticationMethodServerTrust = "servertrust";
inline constexpr const char* kAuthenticationMethodHTTPBasic = "basic";
inline constexpr const char* kAuthenticationMethodHTTPDigest = "digest";
inline constexpr const char* kAuthenticationMethodNegotiate = "negotiate";

struct URLAuthenticationChallenge {
    URLProtectionSpace protectionSpace;
    int previousFailureCount = 0;
    std::shared_ptr<const HTTPURLResponse> failureResponse; // the response that caused the challenge, if any
    std::shared_ptr<ServerTrust> serverTrust;           // for server-trust challenges
};

// A credential answer: a user and password, or acceptance of a server's trust. A trust is accepted
// only when it holds the very chain the challenge presented; any other answer to a server-trust
// challenge gets the default check.
struct URLChallengeCredential {
    std::optional<URLCredential> userCredential;
    std::shared_ptr<ServerTrust> trust;
};

using ChallengeCompletion = std::function<void(AuthChallengeDisposition, std::optional<URLChallengeCredential>)>;

class URLSessionDelegate {
public:
    enum class Callback {
        sessionDidBecomeInvalid,
        sessionDidReceiveChallenge,
        sessionDidFinishEventsForBackgroundURLSession,
        taskWillPerformHTTPRedirection,
        taskDidReceiveChallenge,
        taskNeedNewBodyStream,
        taskDidSendBodyData,
        taskDidFinishCollectingMetrics,
        taskDidComplete,
        dataTaskDidReceiveResponse,
        dataTaskDidBecomeDownloadTask,
        dataTaskDidReceiveData,
        dataTaskWillCacheResponse,
        downloadTaskDidFinishDownloading,
        downloadTaskDidWriteData,
        downloadTaskDidResume,
        streamTaskReadClosed,
        streamTaskWriteClosed,
        streamTaskBetterRouteDiscovered,
        streamTaskDidBecomeStreams,
    };

    virtual ~URLSessionDelegate() = default;

    // Whether this delegate implements a callback. By default it implements every one.
    virtual bool respondsTo(Callback) const { return true; }

    using Session = std::shared_ptr<URLSession>;
    using Task = std::shared_ptr<URLSessionTask>;
    using DataTask = std::shared_ptr<URLSessionDataTask>;
    using DownloadTask = std::shared_ptr<URLSessionDownloadTask>;
    using StreamTask = std::shared_ptr<URLSessionStreamTask>;

    // Session events.
    virtual void didBecomeInvalidWithError(const Session&, const std::optional<core::Error>&) {}
    virtual void didReceiveChallenge(const Session&, const URLAuthenticationChallenge&, ChallengeCompletion completion) {
        completion(AuthChallengeDisposition::performDefaultHandling, std::nullopt);
    }
    virtual void didFinishEventsForBackgroundURLSession(const Session&) {}

    // Task events.
    virtual void willPerformHTTPRedirection(const Session&, const Task&, std::shared_ptr<const HTTPURLResponse>,
                                            URLRequest newRequest,
                                            std::function<void(std::optional<URLRequest>)> completion) {
        completion(std::move(newRequest));
    }
    virtual void didReceiveChallenge(const Session&, const Task&, const URLAuthenticationChallenge&,
                                     ChallengeCompletion completion) {
        completion(AuthChallengeDisposition::performDefaultHandling, std::nullopt);
    }
    // Asked on the network thread before each https leg of a task: whether the server's chain
    // goes to didReceiveChallenge ("servertrust") before any request byte is sent. When not, the
    // session checks the chain itself. An answer for a chain holds for the session's later
    // connections presenting the same chain to the same host and port.
    virtual bool wantsServerTrustChallenge(const Session&, const Task&, const std::string& host) {
        (void)host;
        return false;
    }
    // Asks a streamed upload for its body before each leg that sends it (the first one, a 307 or
    // 308 redirect, an authentication retry). No stream fails the task.
    virtual void needNewBodyStream(const Session&, const Task&,
                                   std::function<void(std::shared_ptr<core::InputStream>)> completion) {
        completion(nullptr);
    }
    virtual void didSendBodyData(const Session&, const Task&, std::int64_t bytesSent, std::int64_t totalBytesSent,
                                 std::int64_t totalBytesExpectedToSend) {
        (void)bytesSent, (void)totalBytesSent, (void)totalBytesExpectedToSend;
    }
    virtual void didFinishCollectingMetrics(const Session&, const Task&, std::shared_ptr<URLSessionTaskMetrics>) {}
    virtual void didCompleteWithError(const Session&, const Task&, const std::optional<core::Error>&) {}

    // Data task events.
    virtual void didReceiveResponse(const Session&, const DataTask&, std::shared_ptr<const HTTPURLResponse>,
                                    std::function<void(ResponseDisposition)> completion) {
        completion(ResponseDisposition::allow);
    }
    virtual void didBecomeDownloadTask(const Session&, const DataTask&, const DownloadTask&) {}
    virtual void didReceiveData(const Session&, const DataTask&, const core::Bytes&) {}
    // Asked, once a data task has its whole answer, with the response the session proposes to
    // store in its URL cache; what the completion hands back is stored (nothing: nothing is).
    // The task completes once it has answered. Not asked of answers the cache itself gave.
    virtual void willCacheResponse(const Session&, const DataTask&, std::shared_ptr<const CachedURLResponse> proposed,
                                   std::function<void(std::shared_ptr<const CachedURLResponse>)> completion) {
        completion(std::move(proposed));
    }

    // Download task events. The file at `location` is removed when the callback returns, unless
    // the callback calls the task's keepDownloadedFile().
    virtual void didFinishDownloadingToURL(const Session&, const DownloadTask&, const URL& location) { (void)location; }
    virtual void didWriteData(const Session&, const DownloadTask&, std::int64_t bytesWritten, std::int64_t totalBytesWritten,
                              std::int64_t totalBytesExpectedToWrite) {
        (void)bytesWritten, (void)totalBytesWritten, (void)totalBytesExpectedToWrite;
    }
    virtual void didResumeAtOffset(const Session&, const DownloadTask&, std::int64_t fileOffset,
                                   std::int64_t expectedTotalBytes) {
        (void)fileOffset, (void)expectedTotalBytes;
    }

    // Stream task events.
    virtual void readClosed(const Session&, const StreamTask&) {}
    virtual void writeClosed(const Session&, const StreamTask&) {}
    virtual void betterRouteDiscovered(const Session&, const StreamTask&) {}
    // The task's connection as a pair of streams (after captureStreams()); the task then completes.
    // Streams the delegate does not keep are closed when let go.
    virtual void didBecomeInputStream(const Session&, const StreamTask&, std::shared_ptr<core::InputStream>,
                                      std::shared_ptr<core::OutputStream>) {}
};

} // namespace net
