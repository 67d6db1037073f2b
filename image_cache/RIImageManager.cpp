#include "image_cache/RIImageManager.h"

#include "platform/dispatch/RunLoop.h"
#include "platform/net/URLError.h"

#include <algorithm>
#include <atomic>

namespace image_cache {

void ri_dispatch_main_async_safe(std::function<void()> block) {
    if (dispatch::RunLoop::isMainThread()) block();
    else dispatch::Queue::main()->async(std::move(block));
}

void RIImageCombinedOperation::cancel() {
    std::shared_ptr<RIImageDownloadToken> token;
    std::shared_ptr<RIImageCacheOperation> cacheOperation;
    {
        std::lock_guard lock(lock_);
        cancelled_ = true;
        cacheOperation = std::move(cacheOperation_);
        cacheOperation_.reset();
        token = downloadToken_;
    }
    if (cacheOperation) cacheOperation->cancel();
    auto manager = manager_.lock();
    if (!manager) return;
    if (token) manager->imageDownloader()->cancel(token);
    manager->removeRunning(shared_from_this());
}

bool RIImageCombinedOperation::isCancelled() const {
    std::lock_guard lock(lock_);
    return cancelled_;
}

namespace {
// Which manager is the shared one, known without making it.
std::atomic<const RIImageManager*> sharedInstance{nullptr};
} // namespace

std::shared_ptr<RIImageManager> RIImageManager::sharedManager() {
    static const auto* manager = [] {
        auto m = create(RIImageCache::sharedImageCache(), RIImageDownloader::sharedDownloader());
        sharedInstance.store(m.get());
        return new std::shared_ptr<RIImageManager>(std::move(m));  // kept for the whole process
    }();
    return *manager;
}

std::shared_ptr<RIImageManager> RIImageManager::create(std::shared_ptr<RIImageCache> cache, std::shared_ptr<RIImageDownloader> downloader) {
    std::shared_ptr<RIImageManager> manager(new RIImageManager());
    manager->imageCache_ = std::move(cache);
    manager->imageDownloader_ = std::move(downloader);
    return manager;
}

std::string RIImageManager::cacheKeyForURL(const std::optional<net::URL>& url) const {
    if (!url) return {};
    if (cacheKeyFilter) return cacheKeyFilter(*url);
    return url->absoluteString();
}

void RIImageManager::saveImageToCache(const ImagePtr& image, const std::optional<net::URL>& url) {
    if (image && url) imageCache_->storeImage(image, cacheKeyForURL(url), true, nullptr);
}

void RIImageManager::cachedImageExistsForURL(const std::optional<net::URL>& url, std::function<void(bool)> completion) {
    const std::string key = cacheKeyForURL(url);
    if (imageCache_->imageFromMemoryCacheForKey(key)) {
        if (completion) dispatch::Queue::main()->async([completion] { completion(true); });
        return;
    }
    imageCache_->diskImageExistsWithKey(key, [completion](bool exists) {
        if (completion) completion(exists);
    });
}

void RIImageManager::diskImageExistsForURL(const std::optional<net::URL>& url, std::function<void(bool)> completion) {
    imageCache_->diskImageExistsWithKey(cacheKeyForURL(url), [completion](bool exists) {
        if (completion) completion(exists);
    });
}

void RIImageManager::cancelAll() {
    std::vector<std::shared_ptr<RIImageCombinedOperation>> copy;
    {
        std::lock_guard lock(runningOperationsLock_);
        copy = runningOperations_;
    }
    for (auto& operation : copy) operation->cancel();
    std::lock_guard lock(runningOperationsLock_);
    std::erase_if(runningOperations_, [&](const auto& o) { return std::find(copy.begin(), copy.end(), o) != copy.end(); });
}

bool RIImageManager::isRunning() const {
    std::lock_guard lock(runningOperationsLock_);
    return !runningOperations_.empty();
}

bool RIImageManager::isFailedURL(const net::URL& url) const {
    std::lock_guard lock(failedURLsLock_);
    return failedURLs_.count(url.absoluteString()) > 0;
}

void RIImageManager::removeRunning(const std::shared_ptr<RIImageCombinedOperation>& operation) {
    std::lock_guard lock(runningOperationsLock_);
    std::erase(runningOperations_, operation);
}

void RIImageManager::report(const std::shared_ptr<RIImageCombinedOperation>& operation, const RIInternalCompletionBlock& completion,
                            ImagePtr image, Data data, std::optional<core::Error> error, RIImageCacheKind kind, bool finished,
                            std::optional<net::URL> url) {
    ri_dispatch_main_async_safe([operation, completion, image, data = std::move(data), error = std::move(error), kind, finished, url] {
        if (operation && !operation->isCancelled() && completion) completion(image, data, error, kind, finished, url);
    });
}

bool RIImageManager::shouldBlock(const net::URL& url, const core::Error& error) {
    if (auto d = delegate.lock())
        if (auto answer = d->shouldBlockFailedURL(*this, url, error)) return *answer;
    if (error.domain == net::kURLErrorDomain) {
        switch (error.code) {
        case -1009: case -999: case -1001: case -1018: case -1020: case -1003: case -1004: case -1005: return false;
        case -1011: {
            // A server that refused for a passing reason (timeout, too many requests, any 5xx) may
            // serve the picture later.
            const core::Value* status = error.userInfo.find("statusCode");
            std::int64_t code = status ? status->asInt() : 0;
            return !(code == 408 || code == 429 || (code >= 500 && code < 600));
        }
        default: return true;
        }
    }
    return true;
}

std::shared_ptr<RIImageCombinedOperation> RIImageManager::loadImageWithURL(const std::optional<net::URL>& url, std::uint64_t options,
                                                                           RIImageDownloaderProgressBlock progress,
                                                                           RIInternalCompletionBlock completed) {
    auto operation = std::make_shared<RIImageCombinedOperation>();
    operation->manager_ = weak_from_this();
    bool failed = url && isFailedURL(*url);
    if (!url || url->absoluteString().empty() || (failed && !(options & RIImageRetryFailed))) {
        report(operation, completed, nullptr, std::nullopt, core::Error{std::string(net::kURLErrorDomain), -1100, "", {}},
               RIImageCacheKind::none, true, url);
        return operation;
    }
    {
        std::lock_guard lock(runningOperationsLock_);
        runningOperations_.push_back(operation);
    }
    const std::string key = cacheKeyForURL(url);
    std::weak_ptr<RIImageManager> weakSelf = weak_from_this();
    std::weak_ptr<RIImageCombinedOperation> weakOp = operation;
    auto cacheOperation = imageCache_->queryCacheOperationForKey(
        key, static_cast<unsigned>((options >> 13) & 3),
        [weakSelf, weakOp, url, options, progress, completed, key](ImagePtr cachedImage, Data cachedData, RIImageCacheKind kind) {
            auto self = weakSelf.lock();
            auto op = weakOp.lock();
            if (!self) return;
            if (!op || op->isCancelled()) {
                if (op) self->removeRunning(op);
                return;
            }
            bool shouldDownload = !(options & RIImageFromCacheOnly) && (!cachedImage || (options & RIImageRefreshCached));
            if (shouldDownload)
                if (auto d = self->delegate.lock())
                    if (auto answer = d->shouldDownloadImageForURL(*self, *url)) shouldDownload = *answer;
            if (!shouldDownload) {
                if (cachedImage) self->report(op, completed, cachedImage, cachedData, std::nullopt, kind, true, url);
                else self->report(op, completed, nullptr, std::nullopt, std::nullopt, RIImageCacheKind::none, true, url);
                self->removeRunning(op);
                return;
            }
            if (cachedImage && (options & RIImageRefreshCached))
                self->report(op, completed, cachedImage, cachedData, std::nullopt, kind, true, url);
            std::uint64_t download = 0;
            if (options & RIImageLowPriority) download |= RIImageDownloaderLowPriority;
            if (options & RIImageProgressiveLoad) download |= RIImageDownloaderProgressiveLoad;
            if (options & RIImageRefreshCached) download |= RIImageDownloaderUseURLCache;
            if (options & RIImageContinueInBackground) download |= RIImageDownloaderContinueInBackground;
            if (options & RIImageHandleCookies) download |= RIImageDownloaderHandleCookies;
            if (options & RIImageAllowInvalidCertificates) download |= RIImageDownloaderAllowInvalidCertificates;
            if (options & RIImageHighPriority) download |= RIImageDownloaderHighPriority;
            if (options & RIImageScaleDownLargeImages) download |= RIImageDownloaderScaleDownLargeImages;
            if (cachedImage && (options & RIImageRefreshCached)) {
                download &= ~static_cast<std::uint64_t>(RIImageDownloaderProgressiveLoad);
                download |= RIImageDownloaderIgnoreCachedResponse;
            }
            const bool hadCached = cachedImage != nullptr;
            auto token = self->imageDownloader_->downloadImageWithURL(
                url, download, progress,
                [weakSelf, weakOp, url, options, completed, key, hadCached](ImagePtr image, Data data, std::optional<core::Error> error, bool finished) {
                    auto self2 = weakSelf.lock();
                    auto op2 = weakOp.lock();
                    if (!self2 || !op2 || op2->isCancelled()) {
                        if (self2 && op2 && finished) self2->removeRunning(op2);
                        return;
                    }
                    if (error) {
                        self2->report(op2, completed, nullptr, std::nullopt, error, RIImageCacheKind::none, true, url);
                        if (self2->shouldBlock(*url, *error)) {
                            std::lock_guard lock(self2->failedURLsLock_);
                            self2->failedURLs_.insert(url->absoluteString());
                        }
                    } else {
                        if (options & RIImageRetryFailed) {
                            std::lock_guard lock(self2->failedURLsLock_);
                            self2->failedURLs_.erase(url->absoluteString());
                        }
                        const bool toDisk = !(options & RIImageCacheMemoryOnly);
                        if (image && self2.get() != sharedInstance.load() && self2->cacheKeyFilter)
                            image = self2->scaledImageForKey(key, image);
                        auto d = self2->delegate.lock();
                        if ((options & RIImageRefreshCached) && hadCached && !image) {
                            // A refresh that brought nothing new adds no second answer.
                        } else if (image && (image->images().empty() || (options & RIImageTransformAnimatedImage)) && d && d->implementsTransform()) {
                            std::weak_ptr<RIImageManagerDelegate> weakDelegate = d;
                            dispatch::Queue::global(dispatch::QoS::userInitiated)->async([self2, op2, completed, image, data, url, key, toDisk, finished, weakDelegate] {
                                auto delegateNow = weakDelegate.lock();
                                ImagePtr transformed = delegateNow ? delegateNow->transformDownloadedImage(*self2, image, *url) : image;
                                if (transformed && finished) {
                                    Data stored = transformed == image ? data : Data{};
                                    if (self2->cacheSerializer) stored = self2->cacheSerializer(transformed, stored, *url);
                                    self2->imageCache_->storeImage(transformed, stored, key, toDisk, nullptr);
                                }
                                self2->report(op2, completed, transformed, data, std::nullopt, RIImageCacheKind::none, finished, url);
                            });
                        } else {
                            if (image && finished) {
                                if (self2->cacheSerializer) {
                                    dispatch::Queue::global(dispatch::QoS::userInitiated)->async([self2, image, data, url, key, toDisk] {
                                        self2->imageCache_->storeImage(image, self2->cacheSerializer(image, data, *url), key, toDisk, nullptr);
                                    });
                                } else {
                                    self2->imageCache_->storeImage(image, data, key, toDisk, nullptr);
                                }
                            }
                            self2->report(op2, completed, image, data, std::nullopt, RIImageCacheKind::none, finished, url);
                        }
                    }
                    if (finished) self2->removeRunning(op2);
                });
            bool cancelledMeanwhile;
            {
                std::lock_guard lock(op->lock_);
                op->downloadToken_ = token;
                cancelledMeanwhile = op->cancelled_;
            }
            // Cancelled from another thread while the download was being set up: stop it too.
            if (cancelledMeanwhile) self->imageDownloader_->cancel(token);
        });
    std::lock_guard lock(operation->lock_);
    operation->cacheOperation_ = cacheOperation;
    return operation;
}

} // namespace image_cache
