#pragma once
// A URL to an image: the cache first, the downloader only when needed; what was downloaded is
// stored, URLs that failed for good are remembered, and every load hands back a cancellable
// combined operation. Completions reach callers on the main queue.

#include "image_cache/RIImageCache.h"
#include "image_cache/RIImageCoderHelper.h"
#include "image_cache/RIImageDownloader.h"

#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

namespace image_cache {

enum RIImageLoadOptions : std::uint64_t {
    RIImageRetryFailed = 1u << 0,
    RIImageLowPriority = 1u << 1,
    RIImageCacheMemoryOnly = 1u << 2,
    RIImageProgressiveLoad = 1u << 3,
    RIImageRefreshCached = 1u << 4,
    RIImageContinueInBackground = 1u << 5,
    RIImageHandleCookies = 1u << 6,
    RIImageAllowInvalidCertificates = 1u << 7,
    RIImageHighPriority = 1u << 8,
    RIImageDelayPlaceholder = 1u << 9,
    RIImageTransformAnimatedImage = 1u << 10,
    RIImageAvoidAutoSetImage = 1u << 11,
    RIImageScaleDownLargeImages = 1u << 12,
    RIImageLoadQueryDataInMemory = 1u << 13,
    RIImageLoadQueryDiskSync = 1u << 14,
    RIImageFromCacheOnly = 1u << 15,
    RIImageForceTransition = 1u << 16,
};

using RIExternalCompletionBlock = std::function<void(ImagePtr image, std::optional<core::Error> error, RIImageCacheKind kind,
                                                     std::optional<net::URL> imageURL)>;
using RIInternalCompletionBlock = std::function<void(ImagePtr image, Data data, std::optional<core::Error> error,
                                                     RIImageCacheKind kind, bool finished, std::optional<net::URL> imageURL)>;

class RIImageManager;

// Every method is optional: a delegate says which ones it implements.
class RIImageManagerDelegate {
public:
    virtual ~RIImageManagerDelegate() = default;
    virtual std::optional<bool> shouldDownloadImageForURL(RIImageManager&, const net::URL&) { return std::nullopt; }
    virtual std::optional<bool> shouldBlockFailedURL(RIImageManager&, const net::URL&, const core::Error&) { return std::nullopt; }
    virtual bool implementsTransform() const { return false; }
    virtual ImagePtr transformDownloadedImage(RIImageManager&, ImagePtr image, const net::URL&) { return image; }
};

// Anything a view keeps as its running load and cancels when a new one starts.
class RIImageOperation {
public:
    virtual ~RIImageOperation() = default;
    virtual void cancel() = 0;
};

class RIImageCombinedOperation : public RIImageOperation, public std::enable_shared_from_this<RIImageCombinedOperation> {
public:
    void cancel() override;
    bool isCancelled() const;

private:
    friend class RIImageManager;
    mutable std::mutex lock_;
    bool cancelled_ = false;
    std::shared_ptr<RIImageDownloadToken> downloadToken_;
    std::shared_ptr<RIImageCacheOperation> cacheOperation_;
    std::weak_ptr<RIImageManager> manager_;
};

class RIImageManager : public std::enable_shared_from_this<RIImageManager> {
public:
    static std::shared_ptr<RIImageManager> sharedManager();
    static std::shared_ptr<RIImageManager> create(std::shared_ptr<RIImageCache> cache, std::shared_ptr<RIImageDownloader> downloader);

    std::weak_ptr<RIImageManagerDelegate> delegate;
    std::function<std::string(const net::URL&)> cacheKeyFilter;
    std::function<Data(ImagePtr, const Data&, const net::URL&)> cacheSerializer;

    const std::shared_ptr<RIImageCache>& imageCache() const { return imageCache_; }
    const std::shared_ptr<RIImageDownloader>& imageDownloader() const { return imageDownloader_; }

    std::shared_ptr<RIImageCombinedOperation> loadImageWithURL(const std::optional<net::URL>& url, std::uint64_t options,
                                                               RIImageDownloaderProgressBlock progress, RIInternalCompletionBlock completed);
    std::shared_ptr<RIImageCombinedOperation> loadImageWithURL(const std::string& url, std::uint64_t options,
                                                               RIImageDownloaderProgressBlock progress, RIInternalCompletionBlock completed) {
        return loadImageWithURL(net::URL::parse(url), options, std::move(progress), std::move(completed));
    }
    std::string cacheKeyForURL(const std::optional<net::URL>& url) const;
    ImagePtr scaledImageForKey(const std::string& key, const ImagePtr& image) const { return image_cache::scaledImageForKey(key, image); }
    void saveImageToCache(const ImagePtr& image, const std::optional<net::URL>& url);
    void cachedImageExistsForURL(const std::optional<net::URL>& url, std::function<void(bool)> completion);
    void diskImageExistsForURL(const std::optional<net::URL>& url, std::function<void(bool)> completion);
    void cancelAll();
    bool isRunning() const;
    bool isFailedURL(const net::URL& url) const;

private:
    friend class RIImageCombinedOperation;
    RIImageManager() = default;
    void removeRunning(const std::shared_ptr<RIImageCombinedOperation>& operation);
    void report(const std::shared_ptr<RIImageCombinedOperation>& operation, const RIInternalCompletionBlock& completion, ImagePtr image,
                Data data, std::optional<core::Error> error, RIImageCacheKind kind, bool finished, std::optional<net::URL> url);
    bool shouldBlock(const net::URL& url, const core::Error& error);

    std::shared_ptr<RIImageCache> imageCache_;
    std::shared_ptr<RIImageDownloader> imageDownloader_;
    mutable std::mutex failedURLsLock_;
    std::set<std::string> failedURLs_;
    mutable std::mutex runningOperationsLock_;
    std::vector<std::shared_ptr<RIImageCombinedOperation>> runningOperations_;
};

// Runs at once on the main thread, else queued on the main queue.
void ri_dispatch_main_async_safe(std::function<void()> block);

} // namespace image_cache
