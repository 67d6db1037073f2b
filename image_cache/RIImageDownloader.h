#pragma once
// Fetching picture bytes over HTTP(S): at most 6 downloads at once (by default), requests for one
// URL merged into one transfer, progress reported, the bytes decoded on the operation's own coder
// queue and every caller answered on the main queue. Notifications (on the main queue, the
// operation as object): start, receive-response, stop, and finish when a transfer ended without
// error.

#include "image_cache/RIImageCoder.h"

#include "platform/core/Error.h"
#include "platform/dispatch/Operation.h"
#include "platform/dispatch/OperationQueue.h"
#include "platform/dispatch/Queue.h"
#include "platform/net/URLSession.h"
#include "platform/net/URLSessionDelegate.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <type_traits>
#include <vector>

namespace image_cache {

enum RIImageDownloadOptions : std::uint64_t {
    RIImageDownloaderLowPriority = 1u << 0,
    RIImageDownloaderProgressiveLoad = 1u << 1,
    RIImageDownloaderUseURLCache = 1u << 2,
    RIImageDownloaderIgnoreCachedResponse = 1u << 3,
    RIImageDownloaderContinueInBackground = 1u << 4,
    RIImageDownloaderHandleCookies = 1u << 5,
    RIImageDownloaderAllowInvalidCertificates = 1u << 6,
    RIImageDownloaderHighPriority = 1u << 7,
    RIImageDownloaderScaleDownLargeImages = 1u << 8,
};

enum class RIImageExecutionOrder : int { firstInFirstOut = 0, lastInFirstOut = 1 };

inline constexpr const char* kRIImageDownloadStartNotification = "RIImageDownloadStartNotification";
inline constexpr const char* kRIImageDownloadReceiveResponseNotification = "RIImageDownloadReceiveResponseNotification";
inline constexpr const char* kRIImageDownloadStopNotification = "RIImageDownloadStopNotification";
inline constexpr const char* kRIImageDownloadFinishNotification = "RIImageDownloadFinishNotification";
inline constexpr const char* kRIImageErrorDomain = "RIImageErrorDomain";

using RIImageDownloaderProgressBlock = std::function<void(std::int64_t receivedSize, std::int64_t expectedSize, std::optional<net::URL> targetURL)>;
using RIImageDownloaderCompletedBlock = std::function<void(ImagePtr image, Data data, std::optional<core::Error> error, bool finished)>;

// One caller's interest: the record is the cancel token.
struct RIImageDownloaderCallbacks {
    RIImageDownloaderProgressBlock progress;
    RIImageDownloaderCompletedBlock completed;
};

// What the downloader needs of the operations it queues: an operation that takes callers,
// answers the session's events for its data task and carries the per-download settings. The
// downloader forwards each session event to the operation whose data task it concerns, when the
// operation responds to it (respondsTo), and gives the session's default answer otherwise.
// Operation classes other than the default adopt this interface (see RIImageDownloaderOperationClass).
class RIImageDownloaderOperationInterface : public dispatch::Operation, public net::URLSessionDelegate {
public:
    // nullptr once the final answer has gone out: a late caller needs an operation of its own.
    virtual std::shared_ptr<RIImageDownloaderCallbacks> addHandlersForProgress(RIImageDownloaderProgressBlock progress,
                                                                               RIImageDownloaderCompletedBlock completed) = 0;
    // Drops one caller; true when none is left (the whole operation is then cancelled).
    virtual bool cancel(const std::shared_ptr<RIImageDownloaderCallbacks>& token) = 0;
    void cancel() override { dispatch::Operation::cancel(); }
    // False once finished, cancelled or answered: a new caller is not added to it.
    virtual bool canJoin() const = 0;
    // The task the session events of this operation concern; nothing before it starts and after it ends.
    virtual std::shared_ptr<net::URLSessionDataTask> dataTask() const = 0;

    // Set by the downloader before the operation is queued, read while it runs.
    bool shouldDecompressImages = true;
    // The answer to an HTTP authentication challenge (Basic, Digest), when set.
    std::optional<net::URLCredential> credential;
};

// A class of download operations, as the downloader makes them: its factory builds one for a
// request, the downloader's session (nothing when the downloader has none) and the options.
// Made with of<T>(): only a T derived from RIImageDownloaderOperationInterface and constructible
// from (request, session, options) gets a factory; any other T gives a class without one.
struct RIImageDownloaderOperationClass {
    using Factory = std::function<std::shared_ptr<RIImageDownloaderOperationInterface>(
        net::URLRequest request, std::shared_ptr<net::URLSession> session, std::uint64_t options)>;
    Factory make;

    template <class T>
    static RIImageDownloaderOperationClass of() {
        RIImageDownloaderOperationClass c;
        if constexpr (std::is_base_of_v<RIImageDownloaderOperationInterface, T> &&
                      std::is_constructible_v<T, net::URLRequest, std::shared_ptr<net::URLSession>, std::uint64_t>) {
            c.make = [](net::URLRequest request, std::shared_ptr<net::URLSession> session, std::uint64_t options) {
                return std::static_pointer_cast<RIImageDownloaderOperationInterface>(
                    std::make_shared<T>(std::move(request), std::move(session), options));
            };
        }
        return c;
    }
};

// The default download operation: one data task, the callers of one URL, decoding on its own
// coder queue. When the downloader's session is gone it makes a session of its own for the
// transfer and invalidates it when it ends.
class RIImageDownloaderOperation : public RIImageDownloaderOperationInterface {
public:
    // No session: the operation makes its own when it starts.
    RIImageDownloaderOperation(net::URLRequest request, std::shared_ptr<net::URLSession> session, std::uint64_t options);
    ~RIImageDownloaderOperation() override;
    bool isAsynchronous() const override { return true; }

    std::shared_ptr<RIImageDownloaderCallbacks> addHandlersForProgress(RIImageDownloaderProgressBlock progress,
                                                                       RIImageDownloaderCompletedBlock completed) override;
    bool canJoin() const override;
    bool cancel(const std::shared_ptr<RIImageDownloaderCallbacks>& token) override;
    void cancel() override;

    const net::URLRequest& request() const { return request_; }
    std::uint64_t options() const { return options_; }
    std::shared_ptr<net::URLSessionDataTask> dataTask() const override;

    // Session events. Redirections are not answered: they are always followed.
    using net::URLSessionDelegate::didReceiveChallenge;
    bool respondsTo(Callback callback) const override;
    void didReceiveResponse(const Session&, const DataTask&, std::shared_ptr<const net::HTTPURLResponse> response,
                            std::function<void(net::ResponseDisposition)> completion) override;
    void didReceiveData(const Session&, const DataTask&, const core::Bytes& data) override;
    // The session's offer of the response to its URL cache goes on only with useURLCache.
    void willCacheResponse(const Session&, const DataTask&, std::shared_ptr<const net::CachedURLResponse> proposed,
                           std::function<void(std::shared_ptr<const net::CachedURLResponse>)> completion) override;
    void didCompleteWithError(const Session&, const Task&, const std::optional<core::Error>& error) override;
    // Server trust: accepted as presented with allowInvalidCertificates, else checked as usual.
    // Other challenges: the credential, once; a second challenge is cancelled; without a
    // credential the session's default handling.
    void didReceiveChallenge(const Session&, const Task&, const net::URLAuthenticationChallenge& challenge,
                             net::ChallengeCompletion completion) override;
    // Only with allowInvalidCertificates: otherwise the session checks the chain itself.
    bool wantsServerTrustChallenge(const Session&, const Task&, const std::string& host) override;

    // The largest buffer reserved up front, whatever the announced length.
    static constexpr std::size_t kMaxInitialCapacity = 4 * 1024 * 1024;
    // The request time-out of a session the operation makes for itself, unless its request asks longer.
    static constexpr double kOwnedSessionTimeout = 15.0;

protected:
    void main() override;

private:
    std::vector<RIImageDownloaderCallbacks> callbacks() const;
    void callProgress(std::int64_t received, std::int64_t expected);
    // Every caller's completion, through the coder queue and then the main queue.
    void completeCallers(ImagePtr image, Data data, std::optional<core::Error> error, bool finished);
    void post(const char* name);
    void done();
    void reset();

    const net::URLRequest request_;
    const std::weak_ptr<net::URLSession> unownedSession_;
    const std::uint64_t options_;
    mutable std::mutex lock_;
    // Everything below is guarded by lock_, except the coder queue and the progressive coder
    // (used on the coder queue only).
    std::shared_ptr<net::URLSession> ownedSession_;
    std::shared_ptr<net::URLSessionDataTask> dataTask_;
    std::int64_t expectedSize_ = 0;
    int refusedStatus_ = 0;
    std::string imageData_;
    bool receivedData_ = false;
    // With ignoreCachedResponse: the body the URL cache held for the request when it started.
    Data cachedData_;
    std::vector<std::shared_ptr<RIImageDownloaderCallbacks>> callbackBlocks_;
    std::shared_ptr<dispatch::Queue> coderQueue_;
    std::shared_ptr<RIImageProgressiveCoder> progressiveCoder_;
    std::optional<std::string> pendingPartial_;  // the newest bytes waiting for a partial decode
    bool stopPosted_ = false;
    bool answered_ = false;
};

// A network activity indicator the downloader drives: when the object runtime has a class named
// "RINetworkActivityIndicator" (core::ClassRegistry), the object its factory hands out stands for
// the class's sharedActivityIndicator and hears startActivity and stopActivity with the
// downloader's start and stop notifications, on the main queue. An object that does not adopt
// this interface is left alone.
class RINetworkActivityIndicatorInterface {
public:
    virtual ~RINetworkActivityIndicatorInterface() = default;
    virtual void startActivity() = 0;
    virtual void stopActivity() = 0;
};

inline constexpr const char* kRINetworkActivityIndicatorClassName = "RINetworkActivityIndicator";

class RIImageDownloadToken {
public:
    std::optional<net::URL> url;
    std::shared_ptr<RIImageDownloaderCallbacks> downloadOperationCancelToken;
    std::weak_ptr<RIImageDownloaderOperationInterface> downloadOperation;
    void cancel();
};

// Threads: any. The session can be replaced while downloads run (createNewSessionWithConfiguration).
class RIImageDownloader : public std::enable_shared_from_this<RIImageDownloader> {
public:
    static std::shared_ptr<RIImageDownloader> sharedDownloader();
    // The session is made from `configuration` as given (time-outs included); a configuration
    // without a body limit gets kDefaultMaximumBodyLength.
    static std::shared_ptr<RIImageDownloader> create(net::URLSessionConfiguration configuration = net::URLSessionConfiguration::defaultConfiguration());
    ~RIImageDownloader();

    // Runs once, when the first downloader is made: registers the network activity indicator
    // (see RINetworkActivityIndicatorInterface) for the start and stop notifications. Calling it
    // again registers the indicator anew (and no longer one that has gone from the registry).
    static void initialize();

    bool shouldDecompressImages = true;
    // Each request's time-out; 0 stands for 15 s. A session made by createNewSessionWithConfiguration
    // takes it as its request time-out.
    double downloadTimeout = 15.0;
    RIImageExecutionOrder executionOrder = RIImageExecutionOrder::firstInFirstOut;
    // Given to each operation when set; otherwise, when both username and password are set, each
    // operation gets a credential for them.
    std::optional<net::URLCredential> urlCredential;
    std::optional<std::string> username;
    std::optional<std::string> password;
    // Decides the header fields of each request from its URL and the downloader's fields.
    std::function<std::map<std::string, std::string>(const net::URL& url, const std::map<std::string, std::string>& headers)> headersFilter;

    std::shared_ptr<RIImageDownloadToken> downloadImageWithURL(const std::optional<net::URL>& url, std::uint64_t options,
                                                               RIImageDownloaderProgressBlock progress, RIImageDownloaderCompletedBlock completed);
    void cancel(const std::shared_ptr<RIImageDownloadToken>& token);
    void setSuspended(bool suspended) { downloadQueue_->setSuspended(suspended); }
    void cancelAllDownloads() { downloadQueue_->cancelAllOperations(); }

    void setValue(std::optional<std::string> value, const std::string& field);
    std::optional<std::string> valueForHTTPHeaderField(const std::optional<std::string>& field) const;
    std::map<std::string, std::string> allHTTPHeaderFields() const;

    int maxConcurrentDownloads() const { return downloadQueue_->maxConcurrentOperationCount(); }
    void setMaxConcurrentDownloads(int count) { downloadQueue_->setMaxConcurrentOperationCount(count); }
    std::size_t currentDownloadCount() const { return downloadQueue_->operationCount(); }
    // The configuration of the current session (a copy: the session may be replaced meanwhile).
    net::URLSessionConfiguration sessionConfiguration() const;

    // The class of the operations made from now on. A class without a factory (not adopting the
    // operation interface) and nothing at all both mean the default, RIImageDownloaderOperation.
    void setOperationClass(std::optional<RIImageDownloaderOperationClass> operationClass);
    RIImageDownloaderOperationClass operationClass() const;

    // Cancels every download, invalidates and cancels the current session and makes a new one
    // from `configuration` with downloadTimeout as its request time-out.
    void createNewSessionWithConfiguration(net::URLSessionConfiguration configuration);
    // Invalidates the session, cancelling its running transfers or letting them finish; later
    // downloads run in sessions of their own operations. Nothing for the shared downloader.
    void invalidateSessionAndCancel(bool cancelPendingOperations);

    // The operation whose data task has this identifier (the first made, when several).
    std::shared_ptr<RIImageDownloaderOperationInterface> operationWithTask(std::uint64_t taskIdentifier) const;

    // The body limit of a session made from a configuration that sets none.
    static constexpr std::int64_t kDefaultMaximumBodyLength = 32 * 1024 * 1024;

private:
    RIImageDownloader() = default;
    std::shared_ptr<net::URLSession> makeSession(net::URLSessionConfiguration configuration);
    std::shared_ptr<net::URLSession> currentSession() const;
    std::shared_ptr<RIImageDownloaderOperationInterface> makeOperation(const net::URL& url, std::uint64_t options);

    std::shared_ptr<dispatch::OperationQueue> downloadQueue_;
    bool isShared_ = false;  // set once, before the shared downloader is handed out
    mutable std::mutex sessionLock_;
    std::shared_ptr<net::URLSession> session_;       // guarded by sessionLock_; nothing once invalidated
    net::URLSessionConfiguration configuration_;      // guarded by sessionLock_: the current session's
    mutable std::mutex operationsLock_;
    // Guarded by operationsLock_.
    std::weak_ptr<RIImageDownloaderOperationInterface> lastAddedOperation_;
    std::map<std::string, std::shared_ptr<RIImageDownloaderOperationInterface>> URLOperations_;
    std::vector<std::weak_ptr<RIImageDownloaderOperationInterface>> made_;  // in the order made
    std::optional<RIImageDownloaderOperationClass> operationClass_;       // nothing: the default
    mutable std::mutex headersLock_;
    std::map<std::string, std::string> HTTPHeaders_{{"Accept", "image/*;q=0.8"}};  // guarded by headersLock_
};

} // namespace image_cache
