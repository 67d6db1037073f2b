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

// A wrapper so the downloader's operation can carry its payload into dispatch::Operation.
class RIImageDownloaderOperation : public dispatch::Operation {
public:
    RIImageDownloaderOperation(net::URLRequest request, std::shared_ptr<net::URLSession> session, std::uint64_t options);
    bool isAsynchronous() const override { return true; }

    // nullptr once the final answer has gone out: a late caller needs an operation of its own.
    std::shared_ptr<RIImageDownloaderCallbacks> addHandlersForProgress(RIImageDownloaderProgressBlock progress, RIImageDownloaderCompletedBlock completed);
    // False once finished, cancelled or answered.
    bool canJoin() const;
    // Drops one caller; true when none is left (the whole operation is then cancelled).
    bool cancel(const std::shared_ptr<RIImageDownloaderCallbacks>& token);
    void cancel() override;

    const net::URLRequest& request() const { return request_; }
    std::uint64_t options() const { return options_; }
    bool shouldDecompressImages = true;
    std::shared_ptr<net::URLSessionDataTask> dataTask() const;

    // Session events, forwarded by the downloader.
    void didReceiveResponse(std::shared_ptr<const net::HTTPURLResponse> response, std::function<void(net::ResponseDisposition)> completion);
    void didReceiveData(const core::Bytes& data);
    // The session's offer of the response to its URL cache goes on only with useURLCache.
    void willCacheResponse(std::shared_ptr<const net::CachedURLResponse> proposed,
                           std::function<void(std::shared_ptr<const net::CachedURLResponse>)> completion);
    void didCompleteWithError(const std::optional<core::Error>& error);

    // The largest buffer reserved up front, whatever the announced length.
    static constexpr std::size_t kMaxInitialCapacity = 4 * 1024 * 1024;

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
    std::weak_ptr<net::URLSession> unownedSession_;
    const std::uint64_t options_;
    mutable std::mutex lock_;
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

class RIImageDownloadToken {
public:
    std::optional<net::URL> url;
    std::shared_ptr<RIImageDownloaderCallbacks> downloadOperationCancelToken;
    std::weak_ptr<RIImageDownloaderOperation> downloadOperation;
    void cancel();
};

class RIImageDownloader : public std::enable_shared_from_this<RIImageDownloader> {
public:
    static std::shared_ptr<RIImageDownloader> sharedDownloader();
    static std::shared_ptr<RIImageDownloader> create(net::URLSessionConfiguration configuration = net::URLSessionConfiguration::defaultConfiguration());
    ~RIImageDownloader();

    bool shouldDecompressImages = true;
    double downloadTimeout = 15.0;
    RIImageExecutionOrder executionOrder = RIImageExecutionOrder::firstInFirstOut;

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
    const net::URLSessionConfiguration& sessionConfiguration() const { return session_->configuration(); }

    // The operation whose data task has this identifier (the first made, when several).
    std::shared_ptr<RIImageDownloaderOperation> operationWithTask(std::uint64_t taskIdentifier) const;

private:
    RIImageDownloader() = default;

    std::shared_ptr<net::URLSession> session_;
    std::shared_ptr<dispatch::OperationQueue> downloadQueue_;
    std::weak_ptr<RIImageDownloaderOperation> lastAddedOperation_;
    mutable std::mutex operationsLock_;
    std::map<std::string, std::shared_ptr<RIImageDownloaderOperation>> URLOperations_;
    std::vector<std::weak_ptr<RIImageDownloaderOperation>> made_;  // in the order made
    mutable std::mutex headersLock_;
    std::map<std::string, std::string> HTTPHeaders_{{"Accept", "image/*;q=0.8"}};
};

} // namespace image_cache
