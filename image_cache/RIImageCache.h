#pragma once
// Decoded images in memory and their encoded bytes in files, keyed by the cache key of their URL.
// File work runs on one serial I/O queue; completions arrive on the main queue unless said
// otherwise. The shared cache lives in <cache home>/default/com.tarnwick.RIImageCache.default.
// Files older than maxCacheAge go when the app ends or goes to the background.

#include "image_cache/RIImageCoder.h"
#include "image_cache/RIMemoryCache.h"

#include "platform/core/NotificationCenter.h"
#include "platform/dispatch/Queue.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace image_cache {

// How cache files are read: mapped into memory (when safe, or always; both map here, the cache
// reading only regular files of its own), and without keeping them in the system's file cache.
enum RIImageCacheReadingOptions : uint64_t {
    RIImageCacheReadingMappedIfSafe = 1u << 0,
    RIImageCacheReadingUncached = 1u << 1,
    RIImageCacheReadingMappedAlways = 1u << 3,
};
// How cache files are written: atomically (a new file renamed over the old), and never over an
// existing file.
enum RIImageCacheWritingOptions : uint64_t {
    RIImageCacheWritingAtomic = 1u << 0,
    RIImageCacheWritingWithoutOverwriting = 1u << 1,
};

struct RIImageCacheConfig {
    bool shouldDecompressImages = true;
    bool shouldDisableiCloud = true;  // nothing to exclude from on this system
    bool shouldCacheImagesInMemory = true;
    uint64_t diskCacheReadingOptions = 0;                          // RIImageCacheReadingOptions
    uint64_t diskCacheWritingOptions = RIImageCacheWritingAtomic;  // RIImageCacheWritingOptions
    int64_t maxCacheAge = 60 * 60 * 24 * 7;  // seconds
    uint64_t maxCacheSize = 0;               // bytes; 0 = no limit
};

enum class RIImageCacheKind : int { none = 0, disk = 1, memory = 2 };

// Query options: bit 0 queryDataInMemory, bit 1 queryDiskSync.
enum RIImageQueryOptions : unsigned { RIImageQueryNone = 0, RIImageQueryDataInMemory = 1, RIImageQueryDiskSync = 2 };

// What a query returns for cancelling its disk step.
class RIImageCacheOperation {
public:
    void cancel() { cancelled_.store(true); }
    bool isCancelled() const { return cancelled_.load(); }

private:
    std::atomic<bool> cancelled_{false};
};

class RIImageCache {
public:
    using NoParamsBlock = std::function<void()>;
    using QueryDone = std::function<void(ImagePtr image, Data data, RIImageCacheKind kind)>;
    using CheckCompletion = std::function<void(bool exists)>;
    using CalculateSizeBlock = std::function<void(std::size_t fileCount, std::size_t totalSize)>;

    // Kept for the whole process; at exit the file work already queued finishes (for at most 5
    // seconds) before the libraries it uses are torn down.
    static std::shared_ptr<RIImageCache> sharedImageCache();
    // Waits without the dispatch layer's per-thread state (so also while the process exits) until
    // the file work queued so far has run; false after `seconds`.
    bool waitForQueuedFileWork(double seconds);
    explicit RIImageCache(const std::string& ns = "default");
    RIImageCache(const std::string& ns, const std::string& diskCacheDirectory);
    ~RIImageCache();
    RIImageCache(const RIImageCache&) = delete;
    RIImageCache& operator=(const RIImageCache&) = delete;

    RIImageCacheConfig& config() { return config_; }
    const std::string& diskCachePath() const { return diskCachePath_; }
    RIMemoryCache& memCache() { return memCache_; }

    static std::string makeDiskCachePath(const std::string& ns);
    void addReadOnlyCachePath(const std::string& path);
    static std::string cachedFileNameForKey(const std::string& key);
    std::string cachePathForKey(const std::string& key, const std::string& path) const;
    std::string defaultCachePathForKey(const std::string& key) const;

    void storeImage(ImagePtr image, const std::string& key, NoParamsBlock completion) { storeImage(std::move(image), key, true, std::move(completion)); }
    void storeImage(ImagePtr image, const std::string& key, bool toDisk, NoParamsBlock completion) {
        storeImage(std::move(image), std::nullopt, key, toDisk, std::move(completion));
    }
    void storeImage(ImagePtr image, Data imageData, const std::string& key, bool toDisk, NoParamsBlock completion);
    // Writes at once (on the I/O queue, waiting for it).
    void storeImageDataToDisk(const Data& imageData, const std::string& key);

    std::shared_ptr<RIImageCacheOperation> queryCacheOperationForKey(const std::optional<std::string>& key, QueryDone done) {
        return queryCacheOperationForKey(key, RIImageQueryNone, std::move(done));
    }
    std::shared_ptr<RIImageCacheOperation> queryCacheOperationForKey(const std::optional<std::string>& key, unsigned options, QueryDone done);

    ImagePtr imageFromMemoryCacheForKey(const std::string& key);
    ImagePtr imageFromDiskCacheForKey(const std::string& key);
    ImagePtr imageFromCacheForKey(const std::string& key);
    Data diskImageDataBySearchingAllPathsForKey(const std::string& key) const;
    ImagePtr diskImageForKey(const std::string& key);
    ImagePtr diskImageForKey(const std::string& key, const Data& data);

    void diskImageExistsWithKey(const std::optional<std::string>& key, CheckCompletion completion);
    bool diskImageDataExistsWithKey(const std::optional<std::string>& key);

    void removeImageForKey(const std::optional<std::string>& key, NoParamsBlock completion) { removeImageForKey(key, true, std::move(completion)); }
    void removeImageForKey(const std::optional<std::string>& key, bool fromDisk, NoParamsBlock completion);

    std::size_t maxMemoryCost() const { return memCache_.totalCostLimit(); }
    void setMaxMemoryCost(std::size_t cost) { memCache_.setTotalCostLimit(cost); }
    std::size_t maxMemoryCountLimit() const { return memCache_.countLimit(); }
    void setMaxMemoryCountLimit(std::size_t count) { memCache_.setCountLimit(count); }
    void clearMemory() { memCache_.removeAllObjects(); }

    void clearDiskOnCompletion(NoParamsBlock completion);
    void deleteOldFiles() { deleteOldFilesWithCompletionBlock(nullptr); }
    void deleteOldFilesWithCompletionBlock(NoParamsBlock completion);
    void backgroundDeleteOldFiles();
    // Sums of file sizes (not allocated sizes).
    std::size_t getSize();
    std::size_t getDiskCount();
    void calculateSizeWithCompletionBlock(CalculateSizeBlock completion);

private:
    void storeImageDataToDiskOnIOQueue(const Data& imageData, const std::string& key);
    bool diskImageDataExistsOnIOQueue(const std::string& key) const;
    void deleteOldFilesOnIOQueue();
    // Runs on the I/O queue and waits; inline when already there.
    void syncIO(const std::function<void()>& block);
    void asyncIO(std::function<void()> block);
    std::vector<std::string> customPathsCopy() const;

    RIImageCacheConfig config_;
    RIMemoryCache memCache_;
    std::string diskCachePath_;
    mutable std::mutex customPathsMutex_;
    std::vector<std::string> customPaths_;
    std::shared_ptr<dispatch::Queue> ioQueue_;
    core::NotificationCenter::Token willTerminate_;
    core::NotificationCenter::Token didEnterBackground_;
};

} // namespace image_cache
