#include "image_cache/RIImagePrefetcher.h"

#include <algorithm>
#include <chrono>

namespace image_cache {

std::shared_ptr<RIImagePrefetcher> RIImagePrefetcher::sharedImagePrefetcher() {
    static const auto* prefetcher = new std::shared_ptr<RIImagePrefetcher>(create());  // kept for the whole process
    return *prefetcher;
}

std::shared_ptr<RIImagePrefetcher> RIImagePrefetcher::create() {
    return create(RIImageManager::create(RIImageCache::sharedImageCache(), RIImageDownloader::sharedDownloader()));
}

std::shared_ptr<RIImagePrefetcher> RIImagePrefetcher::create(std::shared_ptr<RIImageManager> manager) {
    std::shared_ptr<RIImagePrefetcher> prefetcher(new RIImagePrefetcher());
    prefetcher->manager_ = std::move(manager);
    // This is the width of the manager's downloader, the shared one included.
    prefetcher->setMaxConcurrentDownloads(3);
    return prefetcher;
}

void RIImagePrefetcher::prefetchURLs(std::vector<std::optional<net::URL>> urls, RIImagePrefetcherProgressBlock progress,
                                     RIImagePrefetcherCompletionBlock completed) {
    cancelPrefetching();
    std::size_t count;
    {
        std::lock_guard lock(lock_);
        startedTime_ = std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
        prefetchURLs_ = std::move(urls);
        completionBlock_ = std::move(completed);
        progressBlock_ = std::move(progress);
        count = prefetchURLs_.size();
    }
    if (count == 0) {
        RIImagePrefetcherCompletionBlock done;
        {
            std::lock_guard lock(lock_);
            done = completionBlock_;
        }
        if (done) done(0, 0);
        return;
    }
    for (std::uint64_t i = 0; i < static_cast<std::uint64_t>(std::max(0, maxConcurrentDownloads())) && requestedCount() < count; ++i)
        startPrefetchingAtIndex(i);
}

void RIImagePrefetcher::startPrefetchingAtIndex(std::uint64_t index) {
    std::optional<net::URL> url;
    {
        std::lock_guard lock(lock_);
        if (index >= prefetchURLs_.size()) return;
        url = prefetchURLs_[index];
        ++requestedCount_;
    }
    std::weak_ptr<RIImagePrefetcher> weakSelf = weak_from_this();
    manager_->loadImageWithURL(url, options, nullptr,
                               [weakSelf, url](ImagePtr image, Data, std::optional<core::Error>, RIImageCacheKind, bool finished,
                                               std::optional<net::URL>) {
                                   auto self = weakSelf.lock();
                                   if (!self || !finished) return;
                                   self->finishedOne(url, image != nullptr);
                               });
}

void RIImagePrefetcher::finishedOne(const std::optional<net::URL>& url, bool hadImage) {
    std::uint64_t finished, total, requested, skipped;
    RIImagePrefetcherProgressBlock progress;
    {
        std::lock_guard lock(lock_);
        ++finishedCount_;
        if (!hadImage) ++skippedCount_;
        finished = finishedCount_;
        total = prefetchURLs_.size();
        progress = progressBlock_;
    }
    if (progress) progress(finished, total);
    auto d = delegate.lock();
    if (d) d->didPrefetchURL(*this, url, finished, total);
    {
        std::lock_guard lock(lock_);
        requested = requestedCount_;
        skipped = skippedCount_;
        finished = finishedCount_;
    }
    if (total > requested) {
        // The index is read when the start runs: two answers before it would otherwise both start
        // the same URL and leave a later one unloaded.
        std::weak_ptr<RIImagePrefetcher> weakSelf = weak_from_this();
        prefetcherQueue->async([weakSelf] {
            if (auto self = weakSelf.lock()) self->startPrefetchingAtIndex(self->requestedCount());
        });
    } else if (finished == requested) {
        if (d) d->didFinishWithTotalCount(*this, total - skipped, skipped);
        RIImagePrefetcherCompletionBlock done;
        {
            std::lock_guard lock(lock_);
            done = std::move(completionBlock_);
            completionBlock_ = nullptr;
            progressBlock_ = nullptr;
        }
        if (done) done(finished, skipped);
    }
}

void RIImagePrefetcher::cancelPrefetching() {
    {
        std::lock_guard lock(lock_);
        prefetchURLs_.clear();
        skippedCount_ = 0;
        requestedCount_ = 0;
        finishedCount_ = 0;
    }
    manager_->cancelAll();
}

std::uint64_t RIImagePrefetcher::requestedCount() const {
    std::lock_guard lock(lock_);
    return requestedCount_;
}
std::uint64_t RIImagePrefetcher::finishedCount() const {
    std::lock_guard lock(lock_);
    return finishedCount_;
}
std::uint64_t RIImagePrefetcher::skippedCount() const {
    std::lock_guard lock(lock_);
    return skippedCount_;
}
double RIImagePrefetcher::startedTime() const {
    std::lock_guard lock(lock_);
    return startedTime_;
}

} // namespace image_cache
