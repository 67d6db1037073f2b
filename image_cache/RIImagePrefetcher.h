#pragma once
// Loads a list of URLs ahead of use through an image manager, a few at a time, and reports how
// many arrived and how many brought no picture.

#include "image_cache/RIImageManager.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

namespace image_cache {

class RIImagePrefetcher;

// Both methods are optional.
class RIImagePrefetcherDelegate {
public:
    virtual ~RIImagePrefetcherDelegate() = default;
    virtual void didPrefetchURL(RIImagePrefetcher&, const std::optional<net::URL>&, std::uint64_t /*finishedCount*/,
                                std::uint64_t /*totalCount*/) {}
    virtual void didFinishWithTotalCount(RIImagePrefetcher&, std::uint64_t /*totalCount*/, std::uint64_t /*skippedCount*/) {}
};

using RIImagePrefetcherProgressBlock = std::function<void(std::uint64_t finishedCount, std::uint64_t totalCount)>;
using RIImagePrefetcherCompletionBlock = std::function<void(std::uint64_t finishedCount, std::uint64_t skippedCount)>;

class RIImagePrefetcher : public std::enable_shared_from_this<RIImagePrefetcher> {
public:
    static std::shared_ptr<RIImagePrefetcher> sharedImagePrefetcher();
    // With a new manager over the shared cache and the shared downloader.
    static std::shared_ptr<RIImagePrefetcher> create();
    // Low priority, answers on the main queue, and sets the manager's downloader to 3 at a time.
    static std::shared_ptr<RIImagePrefetcher> create(std::shared_ptr<RIImageManager> manager);

    std::uint64_t options = RIImageLowPriority;
    std::shared_ptr<dispatch::Queue> prefetcherQueue = dispatch::Queue::main();
    std::weak_ptr<RIImagePrefetcherDelegate> delegate;

    const std::shared_ptr<RIImageManager>& manager() const { return manager_; }
    int maxConcurrentDownloads() const { return manager_->imageDownloader()->maxConcurrentDownloads(); }
    void setMaxConcurrentDownloads(int count) { manager_->imageDownloader()->setMaxConcurrentDownloads(count); }

    void prefetchURLs(std::vector<std::optional<net::URL>> urls) { prefetchURLs(std::move(urls), nullptr, nullptr); }
    void prefetchURLs(std::vector<std::optional<net::URL>> urls, RIImagePrefetcherProgressBlock progress,
                      RIImagePrefetcherCompletionBlock completed);
    void cancelPrefetching();

    std::uint64_t requestedCount() const;
    std::uint64_t finishedCount() const;
    std::uint64_t skippedCount() const;
    double startedTime() const;

private:
    RIImagePrefetcher() = default;
    void startPrefetchingAtIndex(std::uint64_t index);
    void finishedOne(const std::optional<net::URL>& url, bool hadImage);

    std::shared_ptr<RIImageManager> manager_;
    mutable std::mutex lock_;
    std::vector<std::optional<net::URL>> prefetchURLs_;
    std::uint64_t requestedCount_ = 0;
    std::uint64_t skippedCount_ = 0;
    std::uint64_t finishedCount_ = 0;
    double startedTime_ = 0;
    RIImagePrefetcherCompletionBlock completionBlock_;
    RIImagePrefetcherProgressBlock progressBlock_;
};

} // namespace image_cache
