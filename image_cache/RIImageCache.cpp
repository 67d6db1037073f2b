#include "image_cache/RIImageCache.h"

#include "image_cache/RIImageCoderHelper.h"
#include "image_cache/RIImageCoders.h"

#include "platform/core/Digest.h"
#include "platform/core/Files.h"
#include "platform/core/Paths.h"
#include "platform/dispatch/Clock.h"
#include "platform/ui/Application.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <dirent.h>
#include <filesystem>
#include <future>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace image_cache {
namespace {

const char* const kNamespacePrefix = "com.tarnwick.RIImageCache.";
thread_local const RIImageCache* currentIOCache = nullptr;

// The extension of the key read as a URL (its path) or else as a plain path.
std::string pathExtension(const std::string& key) {
    std::string path = key;
    if (auto scheme = key.find("://"); scheme != std::string::npos) {
        auto slash = key.find('/', scheme + 3);
        path = slash == std::string::npos ? std::string() : key.substr(slash);
        path = path.substr(0, path.find_first_of("?#"));
    }
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    std::string last = path.substr(path.rfind('/') == std::string::npos ? 0 : path.rfind('/') + 1);
    auto dot = last.rfind('.');
    if (dot == std::string::npos || dot == 0) return {};
    return last.substr(dot + 1);
}

std::string withoutExtension(const std::string& path) {
    auto slash = path.rfind('/');
    auto dot = path.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return path;
    return path.substr(0, dot);
}

bool existsNoFollow(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

// Reads a regular file, never through a symbolic link, as the reading options say.
Data readFile(const std::string& path, uint64_t options) {
    int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return std::nullopt;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return std::nullopt;
    }
    std::string out(static_cast<size_t>(st.st_size), '\0');
    size_t done = 0;
    void* mapped = MAP_FAILED;
    if ((options & (RIImageCacheReadingMappedIfSafe | RIImageCacheReadingMappedAlways)) && !out.empty())
        mapped = ::mmap(nullptr, out.size(), PROT_READ, MAP_PRIVATE, fd, 0);
    if (mapped != MAP_FAILED) {
        // A file cut short meanwhile would fault past its end: copy only what it still holds.
        struct stat now {};
        done = ::fstat(fd, &now) == 0 ? std::min(out.size(), static_cast<size_t>(std::max<off_t>(0, now.st_size))) : 0;
        std::memcpy(out.data(), mapped, done);
        ::munmap(mapped, out.size());
    } else {
        while (done < out.size()) {
            ssize_t n = ::read(fd, out.data() + done, out.size() - done);
            if (n <= 0) break;
            done += static_cast<size_t>(n);
        }
    }
    if (options & RIImageCacheReadingUncached) (void)::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
    ::close(fd);
    out.resize(done);
    return out;
}

// Writes a cache file as the writing options say; false when nothing was written.
bool writeFile(const std::string& path, const std::string& bytes, uint64_t options) {
    if ((options & RIImageCacheWritingWithoutOverwriting) && existsNoFollow(path)) return false;
    if (options & RIImageCacheWritingAtomic) return static_cast<bool>(core::files::writeAtomically(path, bytes));
    // In place: a reader may see the file half written, as the option asks.
    int flags = O_WRONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC | ((options & RIImageCacheWritingWithoutOverwriting) ? O_EXCL : O_TRUNC);
    int fd = ::open(path.c_str(), flags, 0644);
    if (fd < 0) return false;
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += static_cast<size_t>(n);
    }
    return ::close(fd) == 0 && done == bytes.size();
}

struct FileEntry {
    std::string path;
    double modified;
    uint64_t allocated;
    uint64_t size;
};

// Every regular file under `root`, skipping hidden entries and never following links.
void listFiles(const std::string& root, std::vector<FileEntry>& out, std::size_t* entries = nullptr) {
    DIR* dir = ::opendir(root.c_str());
    if (!dir) return;
    while (dirent* e = ::readdir(dir)) {
        std::string name = e->d_name;
        if (name == "." || name == "..") continue;
        if (entries) ++*entries;
        if (name[0] == '.') continue;
        std::string path = root + "/" + name;
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0) continue;
        if (S_ISDIR(st.st_mode)) {
            listFiles(path, out, entries);
            continue;
        }
        double modified = static_cast<double>(st.st_mtim.tv_sec) + st.st_mtim.tv_nsec / 1e9;
        out.push_back({path, modified, static_cast<uint64_t>(st.st_blocks) * 512, static_cast<uint64_t>(st.st_size)});
    }
    ::closedir(dir);
}

} // namespace

std::shared_ptr<RIImageCache> RIImageCache::sharedImageCache() {
    // Never destroyed: destroyed at exit it would wait for its I/O queue after the queues'
    // per-thread state is gone. Instead an exit handler waits for the queued file work. It is
    // registered after the digest library and the queue threads are up, so it runs before they
    // are torn down (exit handlers run in reverse order).
    static const auto* cache = [] {
        auto* shared = new std::shared_ptr<RIImageCache>(std::make_shared<RIImageCache>());
        (void)(*shared)->cachedFileNameForKey("");
        (*shared)->syncIO([] {});
        std::atexit([] { (void)sharedImageCache()->waitForQueuedFileWork(5); });
        return shared;
    }();
    return *cache;
}

RIImageCache::RIImageCache(const std::string& ns) : RIImageCache(ns, makeDiskCachePath(ns)) {}

RIImageCache::RIImageCache(const std::string& ns, const std::string& diskCacheDirectory)
    : diskCachePath_((diskCacheDirectory.empty() ? makeDiskCachePath(ns) : diskCacheDirectory) + "/" + kNamespacePrefix + ns),
      ioQueue_(dispatch::Queue::serial("com.tarnwick.RIImageCache")) {
    memCache_.setName(kNamespacePrefix + ns);
    auto& center = core::NotificationCenter::defaultCenter();
    willTerminate_ = center.addObserver(ui::Application::kWillTerminateNotification, [this](const core::Notification&) { deleteOldFiles(); });
    didEnterBackground_ = center.addObserver(ui::Application::kDidEnterBackgroundNotification,
                                             [this](const core::Notification&) { backgroundDeleteOldFiles(); });
}

RIImageCache::~RIImageCache() {
    willTerminate_.reset();
    didEnterBackground_.reset();
    // Work already queued refers to this cache: let it finish.
    syncIO([] {});
}

bool RIImageCache::waitForQueuedFileWork(double seconds) {
    auto done = std::make_shared<std::promise<void>>();
    auto ran = done->get_future();
    ioQueue_->async([done] { done->set_value(); });
    return ran.wait_for(std::chrono::duration<double>(seconds)) == std::future_status::ready;
}

void RIImageCache::syncIO(const std::function<void()>& block) {
    if (currentIOCache == this) {
        block();
        return;
    }
    ioQueue_->sync([this, &block] {
        const RIImageCache* outer = currentIOCache;
        currentIOCache = this;
        block();
        currentIOCache = outer;
    });
}

void RIImageCache::asyncIO(std::function<void()> block) {
    ioQueue_->async([this, block = std::move(block)] {
        const RIImageCache* outer = currentIOCache;
        currentIOCache = this;
        block();
        currentIOCache = outer;
    });
}

std::string RIImageCache::makeDiskCachePath(const std::string& ns) { return core::paths::cacheHome() + "/" + ns; }

void RIImageCache::addReadOnlyCachePath(const std::string& path) {
    std::lock_guard lock(customPathsMutex_);
    if (std::find(customPaths_.begin(), customPaths_.end(), path) == customPaths_.end()) customPaths_.push_back(path);
}

std::vector<std::string> RIImageCache::customPathsCopy() const {
    std::lock_guard lock(customPathsMutex_);
    return customPaths_;
}

std::string RIImageCache::cachedFileNameForKey(const std::string& key) {
    std::string name = core::md5Hex(key);
    std::string ext = pathExtension(key);
    // A name longer than a file system allows could never be written.
    if (!ext.empty() && ext.find('\0') == std::string::npos && name.size() + 1 + ext.size() <= 255) name += "." + ext;
    return name;
}

std::string RIImageCache::cachePathForKey(const std::string& key, const std::string& path) const {
    return path + "/" + cachedFileNameForKey(key);
}

std::string RIImageCache::defaultCachePathForKey(const std::string& key) const { return cachePathForKey(key, diskCachePath_); }

void RIImageCache::storeImage(ImagePtr image, Data imageData, const std::string& key, bool toDisk, NoParamsBlock completion) {
    if (!image || key.empty()) {
        if (completion) completion();
        return;
    }
    if (config_.shouldCacheImagesInMemory) memCache_.setObject(key, image, RIMemoryCache::costForImage(image));
    if (!toDisk) {
        if (completion) completion();
        return;
    }
    asyncIO([this, image, data = std::move(imageData), key, completion = std::move(completion)]() mutable {
        if (!data) {
            RIImageFormat format = image->hasAlpha() ? RIImageFormat::PNG : RIImageFormat::JPEG;
            data = RIImageCodersManager::sharedInstance()->encodedDataWithImage(image, format);
        }
        storeImageDataToDiskOnIOQueue(data, key);
        if (completion) dispatch::Queue::main()->async(std::move(completion));
    });
}

void RIImageCache::storeImageDataToDisk(const Data& imageData, const std::string& key) {
    if (!imageData || key.empty()) return;
    syncIO([&] { storeImageDataToDiskOnIOQueue(imageData, key); });
}

void RIImageCache::storeImageDataToDiskOnIOQueue(const Data& imageData, const std::string& key) {
    if (!imageData || key.empty()) return;
    (void)core::files::createDirectories(diskCachePath_);
    // Errors are ignored: a failed write leaves no file and the next load downloads again.
    (void)writeFile(defaultCachePathForKey(key), *imageData, config_.diskCacheWritingOptions);
}

std::shared_ptr<RIImageCacheOperation> RIImageCache::queryCacheOperationForKey(const std::optional<std::string>& key, unsigned options, QueryDone done) {
    if (!key) {
        if (done) done(nullptr, std::nullopt, RIImageCacheKind::none);
        return nullptr;
    }
    ImagePtr memory = imageFromMemoryCacheForKey(*key);
    if (memory && !(options & RIImageQueryDataInMemory)) {
        if (done) done(memory, std::nullopt, RIImageCacheKind::memory);
        return nullptr;
    }
    auto operation = std::make_shared<RIImageCacheOperation>();
    const bool sync = options & RIImageQueryDiskSync;
    auto step = [this, operation, memory, key = *key, done, sync] {
        if (operation->isCancelled()) return;
        Data data = diskImageDataBySearchingAllPathsForKey(key);
        ImagePtr image = memory;
        RIImageCacheKind kind = RIImageCacheKind::disk;
        if (memory) {
            kind = RIImageCacheKind::memory;
        } else if (data) {
            image = diskImageForKey(key, data);
            if (image && config_.shouldCacheImagesInMemory) memCache_.setObject(key, image, RIMemoryCache::costForImage(image));
        }
        if (!done) return;
        if (sync) done(image, data, kind);
        // Cancelled after the disk step ran but before the answer is delivered: still silent.
        else dispatch::Queue::main()->async([operation, done, image, data = std::move(data), kind] {
            if (!operation->isCancelled()) done(image, data, kind);
        });
    };
    if (sync) step();
    else asyncIO(std::move(step));
    return operation;
}

ImagePtr RIImageCache::imageFromMemoryCacheForKey(const std::string& key) { return memCache_.objectForKey(key); }

ImagePtr RIImageCache::imageFromDiskCacheForKey(const std::string& key) {
    ImagePtr image = diskImageForKey(key);
    if (image && config_.shouldCacheImagesInMemory) memCache_.setObject(key, image, RIMemoryCache::costForImage(image));
    return image;
}

ImagePtr RIImageCache::imageFromCacheForKey(const std::string& key) {
    if (ImagePtr image = imageFromMemoryCacheForKey(key)) return image;
    return imageFromDiskCacheForKey(key);
}

Data RIImageCache::diskImageDataBySearchingAllPathsForKey(const std::string& key) const {
    const std::string path = defaultCachePathForKey(key);
    const uint64_t options = config_.diskCacheReadingOptions;
    if (Data data = readFile(path, options)) return data;
    if (Data data = readFile(withoutExtension(path), options)) return data;
    for (const auto& custom : customPathsCopy()) {
        const std::string p = cachePathForKey(key, custom);
        if (Data data = readFile(p, options)) return data;
        if (Data data = readFile(withoutExtension(p), options)) return data;
    }
    return std::nullopt;
}

ImagePtr RIImageCache::diskImageForKey(const std::string& key) { return diskImageForKey(key, diskImageDataBySearchingAllPathsForKey(key)); }

ImagePtr RIImageCache::diskImageForKey(const std::string& key, const Data& data) {
    if (!data) return nullptr;
    ImagePtr image = RIImageCodersManager::sharedInstance()->decodedImageWithData(data);
    image = scaledImageForKey(key, image);
    if (config_.shouldDecompressImages) {
        Data copy = data;
        image = RIImageCodersManager::sharedInstance()->decompressedImageWithImage(image, copy, {false});
    }
    return image;
}

bool RIImageCache::diskImageDataExistsOnIOQueue(const std::string& key) const {
    const std::string path = defaultCachePathForKey(key);
    return existsNoFollow(path) || existsNoFollow(withoutExtension(path));
}

void RIImageCache::diskImageExistsWithKey(const std::optional<std::string>& key, CheckCompletion completion) {
    asyncIO([this, key, completion = std::move(completion)] {
        bool exists = key && diskImageDataExistsOnIOQueue(*key);
        if (completion) dispatch::Queue::main()->async([completion, exists] { completion(exists); });
    });
}

bool RIImageCache::diskImageDataExistsWithKey(const std::optional<std::string>& key) {
    if (!key) return false;
    bool exists = false;
    syncIO([&] { exists = diskImageDataExistsOnIOQueue(*key); });
    return exists;
}

void RIImageCache::removeImageForKey(const std::optional<std::string>& key, bool fromDisk, NoParamsBlock completion) {
    if (!key) return;
    if (config_.shouldCacheImagesInMemory) memCache_.removeObjectForKey(*key);
    if (!fromDisk) {
        if (completion) completion();
        return;
    }
    asyncIO([this, key = *key, completion = std::move(completion)] {
        ::unlink(defaultCachePathForKey(key).c_str());
        if (completion) dispatch::Queue::main()->async(completion);
    });
}

void RIImageCache::clearDiskOnCompletion(NoParamsBlock completion) {
    asyncIO([this, completion = std::move(completion)] {
        std::error_code ignored;
        std::filesystem::remove_all(diskCachePath_, ignored);  // removes links, never what they point to
        (void)core::files::createDirectories(diskCachePath_);
        if (completion) dispatch::Queue::main()->async(completion);
    });
}

void RIImageCache::deleteOldFilesWithCompletionBlock(NoParamsBlock completion) {
    asyncIO([this, completion = std::move(completion)] {
        deleteOldFilesOnIOQueue();
        if (completion) dispatch::Queue::main()->async(completion);
    });
}

void RIImageCache::deleteOldFilesOnIOQueue() {
    std::vector<FileEntry> files;
    listFiles(diskCachePath_, files);
    const double expiration = dispatch::Clock::current().wallTime() - static_cast<double>(config_.maxCacheAge);
    uint64_t total = 0;
    std::vector<FileEntry> kept;
    for (const auto& f : files) {
        if (std::max(f.modified, expiration) == expiration) {
            ::unlink(f.path.c_str());
        } else {
            total += f.allocated;
            kept.push_back(f);
        }
    }
    if (config_.maxCacheSize > 0 && total > config_.maxCacheSize) {
        const uint64_t target = config_.maxCacheSize / 2;
        std::sort(kept.begin(), kept.end(), [](const FileEntry& a, const FileEntry& b) { return a.modified < b.modified; });
        for (const auto& f : kept) {
            if (::unlink(f.path.c_str()) == 0) {
                total -= f.allocated;
                if (total < target) break;
            }
        }
    }
}

void RIImageCache::backgroundDeleteOldFiles() {
    auto& app = ui::Application::shared();
    // The task ends from its completion or, if time runs out first, from its expiry handler.
    auto task = std::make_shared<std::atomic<ui::Application::BackgroundTaskIdentifier>>(ui::Application::kBackgroundTaskInvalid);
    auto end = [task] {
        auto id = task->exchange(ui::Application::kBackgroundTaskInvalid);
        if (id != ui::Application::kBackgroundTaskInvalid) ui::Application::shared().endBackgroundTask(id);
    };
    task->store(app.beginBackgroundTask(end));
    deleteOldFilesWithCompletionBlock(end);
}

std::size_t RIImageCache::getSize() {
    std::size_t size = 0;
    syncIO([&] {
        std::vector<FileEntry> files;
        listFiles(diskCachePath_, files);
        for (const auto& f : files) size += f.size;
    });
    return size;
}

std::size_t RIImageCache::getDiskCount() {
    std::size_t count = 0;
    syncIO([&] {
        std::vector<FileEntry> files;
        listFiles(diskCachePath_, files, &count);
    });
    return count;
}

void RIImageCache::calculateSizeWithCompletionBlock(CalculateSizeBlock completion) {
    asyncIO([this, completion = std::move(completion)] {
        std::vector<FileEntry> files;
        listFiles(diskCachePath_, files);
        std::size_t size = 0;
        for (const auto& f : files) size += f.size;
        if (completion) dispatch::Queue::main()->async([completion, count = files.size(), size] { completion(count, size); });
    });
}

} // namespace image_cache
