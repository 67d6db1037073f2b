#pragma once
// A URL cache: responses to GET requests kept by URL, in memory and in a folder on disk, each
// part bounded by its capacity in bytes (0: the part keeps nothing). A stored response that
// varies on request fields (Vary) answers only requests whose fields match.
//
// Memory holds the most recently used responses; the disk keeps every response its storage
// policy allows, one file per URL written atomically (a temporary file renamed into place) on
// a queue of the cache's own, never on the caller's thread, and the least recently used files
// go once the folder passes its capacity. A file that is damaged or cut short is dropped and
// logged, never handed out. Files outlive the process: a cache made on the same folder later
// finds them again.
//
// Threads: every call may come from any thread. One lock guards both parts; a caller may hold
// it across several calls (lock()/unlock(), so that std::lock_guard works) to read a consistent
// view. Lookups read the disk under it; writes and removals of files run on the disk queue.
// Several sessions may share one cache.

#include "platform/core/Error.h"
#include "platform/dispatch/Queue.h"
#include "platform/net/CachedURLResponse.h"
#include "platform/net/HTTPCaching.h"
#include "platform/net/URLRequest.h"

#include <cstddef>
#include <list>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>

namespace net {

namespace caching {

// One stored response with what it was stored for.
struct StoredEntry {
    std::string key; // the URL without its fragment
    std::shared_ptr<const CachedURLResponse> cached;
    VaryValues vary;
};

// An entry as its file holds it: the body, then the head and the other fields, then a fixed
// trailer (lengths, version and a checksum of all before it).
core::Bytes encodeEntry(const StoredEntry& entry);
// The entry a file's bytes hold; nothing when they are damaged, cut short or of another
// version. The body is taken out of `file` without a copy.
std::optional<StoredEntry> decodeEntry(core::Bytes file);

} // namespace caching

class URLCache : public std::enable_shared_from_this<URLCache> {
public:
    static constexpr std::size_t kSharedMemoryCapacity = 4 * 1024 * 1024;
    static constexpr std::size_t kSharedDiskCapacity = 20 * 1024 * 1024;

    // The process's cache, made at first use in the folder "URLCache" of the user's cache
    // folder for the app, with the capacities above. Sessions of the default configuration
    // use it.
    static std::shared_ptr<URLCache> shared();
    static void setShared(std::shared_ptr<URLCache> cache);

    // An empty `diskPath` (or a disk capacity of 0) makes a cache of memory alone.
    static std::shared_ptr<URLCache> create(std::size_t memoryCapacity, std::size_t diskCapacity, std::string diskPath = {});
    ~URLCache();
    URLCache(const URLCache&) = delete;
    URLCache& operator=(const URLCache&) = delete;

    // The response stored for a GET request whose stored Vary fields match; nothing otherwise.
    std::shared_ptr<const CachedURLResponse> cachedResponse(const URLRequest& request);
    // Stores a response for a GET request (other requests, a response without a head, the
    // storage policy notAllowed and "Vary: *" store nothing), replacing what the URL had.
    void storeCachedResponse(std::shared_ptr<const CachedURLResponse> cached, const URLRequest& request);
    void removeCachedResponse(const URLRequest& request);
    void removeAllCachedResponses();

    std::size_t memoryCapacity() const;
    void setMemoryCapacity(std::size_t bytes);
    std::size_t diskCapacity() const;
    void setDiskCapacity(std::size_t bytes);
    std::size_t currentMemoryUsage() const;
    // Bytes of the files written so far (not those still queued).
    std::size_t currentDiskUsage() const;
    const std::string& diskPath() const { return diskPath_; }

    void lock() const { lock_.lock(); }
    void unlock() const { lock_.unlock(); }

    // Waits until the file work queued so far is done.
    void waitForQueuedFileWork() const;

private:
    URLCache(std::size_t memoryCapacity, std::size_t diskCapacity, std::string diskPath);

    using Entry = std::shared_ptr<const caching::StoredEntry>;
    struct MemoryEntry {
        std::string key;
        Entry entry;
        std::size_t cost;
    };
    struct DiskEntry {
        std::size_t size = 0;
        std::uint64_t lastUse = 0;
        double touched = -1; // when its file's time was last set (monotonic seconds)
    };

    static std::string keyFor(const URLRequest& request);
    static std::size_t costOf(const caching::StoredEntry& entry);
    std::string fileNameFor(const std::string& key) const;
    std::string pathOf(const std::string& fileName) const { return diskPath_ + "/" + fileName; }
    bool hasDisk() const { return !diskPath_.empty() && diskCapacity_ > 0; }

    // All under lock_.
    void keepInMemory(const std::string& key, Entry entry);
    void forgetInMemory(const std::string& key);
    void trimMemory();
    void loadDiskIndex();
    Entry readFromDisk(const std::string& key, const std::string& fileName);
    void forgetOnDisk(const std::string& fileName);
    std::vector<std::string> overCapacityFiles();

    // On the disk queue.
    void writeFile(const std::string& fileName, const Entry& entry);
    void removeFiles(const std::vector<std::string>& fileNames);

    mutable std::recursive_mutex lock_;
    std::size_t memoryCapacity_;            // guarded by lock_
    std::size_t diskCapacity_;              // guarded by lock_
    const std::string diskPath_;
    std::list<MemoryEntry> memory_;         // most recently used first; guarded by lock_
    std::unordered_map<std::string, std::list<MemoryEntry>::iterator> memoryIndex_; // guarded by lock_
    std::size_t memoryUsage_ = 0;           // guarded by lock_
    bool diskIndexLoaded_ = false;          // guarded by lock_
    std::unordered_map<std::string, DiskEntry> diskIndex_; // by file name; guarded by lock_
    std::unordered_map<std::string, Entry> pendingWrites_; // queued, not yet written; guarded by lock_
    std::size_t diskUsage_ = 0;             // guarded by lock_
    std::uint64_t useCounter_ = 0;          // guarded by lock_
    const std::shared_ptr<dispatch::Queue> diskQueue_;
};

} // namespace net
