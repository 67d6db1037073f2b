#include "platform/net/URLCache.h"

#include "platform/core/Files.h"
#include "platform/core/Log.h"
#include "platform/core/Paths.h"
#include "platform/core/PropertyList.h"
#include "platform/dispatch/Clock.h"

// The x86 build picks the widest vector unit at run time (the same checksum either way).
#if defined(__x86_64__)
#include <xxh_x86dispatch.h>
#else
#include <xxhash.h>
#endif

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstring>

namespace net {

namespace caching {

namespace {

// The trailer that ends every entry file.
constexpr char kMagic[8] = {'Q', 'U', 'R', 'L', 'C', 'A', 'C', 'H'};
constexpr std::uint32_t kVersion = 1;
constexpr std::size_t kTrailerSize = 8 + 4 + 4 + 8 + 8; // magic, version, head length, body length, checksum

class Writer {
public:
    explicit Writer(core::Bytes& out) : out_(out) {}
    void u8(std::uint8_t v) { out_.push_back(v); }
    void u32(std::uint32_t v) { raw(&v, sizeof v); }
    void u64(std::uint64_t v) { raw(&v, sizeof v); }
    void f64(double v) { raw(&v, sizeof v); }
    void text(std::string_view s) {
        u32(static_cast<std::uint32_t>(s.size()));
        raw(s.data(), s.size());
    }
    void raw(const void* data, std::size_t n) {
        const auto* p = static_cast<const std::uint8_t*>(data);
        out_.insert(out_.end(), p, p + n);
    }

private:
    core::Bytes& out_;
};

// Reads fields in order; once a read runs past the end every later read fails too.
class Reader {
public:
    Reader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    bool ok() const { return ok_; }
    bool atEnd() const { return ok_ && at_ == size_; }
    std::uint8_t u8() { std::uint8_t v = 0; raw(&v, sizeof v); return v; }
    std::uint32_t u32() { std::uint32_t v = 0; raw(&v, sizeof v); return v; }
    std::uint64_t u64() { std::uint64_t v = 0; raw(&v, sizeof v); return v; }
    double f64() { double v = 0; raw(&v, sizeof v); return v; }
    std::string_view text() {
        std::uint32_t n = u32();
        if (!ok_ || n > size_ - at_) return fail();
        std::string_view s(reinterpret_cast<const char*>(data_ + at_), n);
        at_ += n;
        return s;
    }

private:
    std::string_view fail() {
        ok_ = false;
        return {};
    }
    void raw(void* out, std::size_t n) {
        if (!ok_ || n > size_ - at_) {
            ok_ = false;
            return;
        }
        std::memcpy(out, data_ + at_, n);
        at_ += n;
    }
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t at_ = 0;
    bool ok_ = true;
};

} // namespace

core::Bytes encodeEntry(const StoredEntry& entry) {
    const CachedURLResponse& cached = *entry.cached;
    core::Bytes out;
    out.reserve(cached.data.size() + 1024);
    out.insert(out.end(), cached.data.begin(), cached.data.end());
    const std::size_t headStart = out.size();
    Writer w(out);
    w.text(entry.key);
    const HTTPURLResponse& response = *cached.response;
    w.text(response.url().absoluteString());
    w.u32(static_cast<std::uint32_t>(response.statusCode()));
    w.text(response.httpVersion());
    w.u32(static_cast<std::uint32_t>(response.allHeaderFields().size()));
    for (const auto& [name, value] : response.allHeaderFields()) {
        w.text(name);
        w.text(value);
    }
    w.u32(static_cast<std::uint32_t>(entry.vary.size()));
    for (const auto& [name, value] : entry.vary) {
        w.text(name);
        w.u8(value ? 1 : 0);
        w.text(value ? *value : std::string());
    }
    w.f64(cached.requestDate);
    w.f64(cached.responseDate);
    w.u8(static_cast<std::uint8_t>(cached.storagePolicy));
    core::Bytes userInfo;
    if (!cached.userInfo.empty()) {
        // A user-info holding what a property list cannot is kept without it.
        if (auto written = core::plist::write(core::Value(cached.userInfo), core::plist::Format::Binary)) userInfo = std::move(*written);
    }
    w.text(std::string_view(reinterpret_cast<const char*>(userInfo.data()), userInfo.size()));
    const std::size_t headLength = out.size() - headStart;
    const std::uint64_t checksum = XXH3_64bits(out.data(), out.size());
    w.raw(kMagic, sizeof kMagic);
    w.u32(kVersion);
    w.u32(static_cast<std::uint32_t>(headLength));
    w.u64(cached.data.size());
    w.u64(checksum);
    return out;
}

std::optional<StoredEntry> decodeEntry(core::Bytes file) {
    if (file.size() < kTrailerSize) return std::nullopt;
    const std::size_t content = file.size() - kTrailerSize;
    Reader trailer(file.data() + content, kTrailerSize);
    char magic[sizeof kMagic];
    for (char& c : magic) c = static_cast<char>(trailer.u8());
    const std::uint32_t version = trailer.u32();
    const std::uint32_t headLength = trailer.u32();
    const std::uint64_t bodyLength = trailer.u64();
    const std::uint64_t checksum = trailer.u64();
    if (std::memcmp(magic, kMagic, sizeof kMagic) != 0 || version != kVersion) return std::nullopt;
    if (bodyLength > content || headLength != content - bodyLength) return std::nullopt;
    if (XXH3_64bits(file.data(), content) != checksum) return std::nullopt;

    Reader r(file.data() + bodyLength, headLength);
    StoredEntry entry;
    entry.key = std::string(r.text());
    auto url = URL::parse(r.text());
    const std::uint32_t status = r.u32();
    std::string httpVersion(r.text());
    HTTPHeaders fields;
    for (std::uint32_t n = r.u32(); r.ok() && n > 0; --n) {
        auto name = r.text();
        auto value = r.text();
        if (r.ok()) fields.add(name, value);
    }
    for (std::uint32_t n = r.u32(); r.ok() && n > 0; --n) {
        std::string name(r.text());
        const bool present = r.u8() != 0;
        std::string value(r.text());
        entry.vary.emplace_back(std::move(name), present ? std::optional<std::string>(std::move(value)) : std::nullopt);
    }
    auto cached = std::make_shared<CachedURLResponse>();
    cached->requestDate = r.f64();
    cached->responseDate = r.f64();
    const std::uint8_t policy = r.u8();
    const std::string_view userInfo = r.text();
    if (!r.atEnd() || !url || status < 100 || status > 999 || policy > static_cast<std::uint8_t>(URLCacheStoragePolicy::notAllowed))
        return std::nullopt;
    cached->storagePolicy = static_cast<URLCacheStoragePolicy>(policy);
    if (!userInfo.empty()) {
        auto read = core::plist::read(userInfo);
        if (!read || !read->value.isDictionary()) return std::nullopt;
        cached->userInfo = read->value.asDictionary();
    }
    cached->response = std::make_shared<const HTTPURLResponse>(std::move(*url), static_cast<int>(status), std::move(httpVersion), std::move(fields));
    file.resize(bodyLength);
    cached->data = std::move(file);
    entry.cached = std::move(cached);
    return entry;
}

} // namespace caching

namespace {

std::mutex sharedMutex;
std::shared_ptr<URLCache>* sharedCache = nullptr; // guarded by sharedMutex; kept for the process

double wallNow() { return dispatch::Clock::current().wallTime(); }

} // namespace

std::shared_ptr<URLCache> URLCache::shared() {
    std::lock_guard lock(sharedMutex);
    if (!sharedCache) sharedCache = new std::shared_ptr<URLCache>(create(kSharedMemoryCapacity, kSharedDiskCapacity, core::paths::cacheHome() + "/URLCache"));
    return *sharedCache;
}

void URLCache::setShared(std::shared_ptr<URLCache> cache) {
    std::lock_guard lock(sharedMutex);
    if (!sharedCache) sharedCache = new std::shared_ptr<URLCache>();
    *sharedCache = std::move(cache);
}

std::shared_ptr<URLCache> URLCache::create(std::size_t memoryCapacity, std::size_t diskCapacity, std::string diskPath) {
    return std::shared_ptr<URLCache>(new URLCache(memoryCapacity, diskCapacity, std::move(diskPath)));
}

URLCache::URLCache(std::size_t memoryCapacity, std::size_t diskCapacity, std::string diskPath)
    : memoryCapacity_(memoryCapacity), diskCapacity_(diskCapacity), diskPath_(std::move(diskPath)),
      diskQueue_(dispatch::Queue::serial("net.url-cache.disk", dispatch::QoS::utility)) {
    // The folder is made once, here; a write later makes it again but never its parents, so a
    // cache whose home went away stops writing instead of making the home anew.
    if (!diskPath_.empty()) {
        if (auto made = core::files::createDirectories(diskPath_); !made) core::log("URL cache: " + made.error().description);
    }
}

URLCache::~URLCache() = default;

std::string URLCache::keyFor(const URLRequest& request) {
    const std::string& text = request.url->absoluteString();
    return text.substr(0, text.find('#'));
}

std::size_t URLCache::costOf(const caching::StoredEntry& entry) {
    std::size_t cost = entry.cached->data.size() + entry.key.size() + 256;
    for (const auto& [name, value] : entry.cached->response->allHeaderFields()) cost += name.size() + value.size();
    return cost;
}

// A file name per URL: 32 hexadecimal digits of the key's 128-bit hash. Names of two URLs that
// collide only share a file; the key inside tells them apart.
std::string URLCache::fileNameFor(const std::string& key) const {
    const XXH128_hash_t hash = XXH3_128bits(key.data(), key.size());
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string name(32, '0');
    for (int i = 0; i < 16; ++i) {
        name[static_cast<std::size_t>(i)] = kDigits[(hash.high64 >> (60 - 4 * i)) & 0xf];
        name[static_cast<std::size_t>(16 + i)] = kDigits[(hash.low64 >> (60 - 4 * i)) & 0xf];
    }
    return name + ".entry";
}

std::shared_ptr<const CachedURLResponse> URLCache::cachedResponse(const URLRequest& request) {
    if (!request.url || request.method() != "GET") return nullptr;
    const std::string key = keyFor(request);
    std::lock_guard guard(lock_);
    Entry entry;
    if (auto it = memoryIndex_.find(key); it != memoryIndex_.end()) {
        memory_.splice(memory_.begin(), memory_, it->second);
        entry = it->second->entry;
    } else if (hasDisk()) {
        entry = readFromDisk(key, fileNameFor(key));
    }
    if (!entry || !caching::varyMatches(entry->vary, request.allHTTPHeaderFields)) return nullptr;
    return entry->cached;
}

void URLCache::storeCachedResponse(std::shared_ptr<const CachedURLResponse> cached, const URLRequest& request) {
    if (!cached || !cached->response || !request.url || request.method() != "GET") return;
    if (cached->storagePolicy == URLCacheStoragePolicy::notAllowed) return;
    auto vary = caching::varyValues(cached->response->allHeaderFields(), request.allHTTPHeaderFields);
    if (!vary) return;
    if (cached->responseDate == 0) {
        auto dated = std::make_shared<CachedURLResponse>(*cached);
        dated->responseDate = wallNow();
        if (dated->requestDate == 0) dated->requestDate = dated->responseDate;
        cached = std::move(dated);
    }
    auto entry = std::make_shared<const caching::StoredEntry>(caching::StoredEntry{keyFor(request), std::move(cached), std::move(*vary)});
    const std::string fileName = fileNameFor(entry->key);
    std::lock_guard guard(lock_);
    keepInMemory(entry->key, entry);
    if (!hasDisk()) return;
    if (entry->cached->storagePolicy == URLCacheStoragePolicy::allowed && costOf(*entry) <= diskCapacity_) {
        pendingWrites_[fileName] = entry;
        diskQueue_->async([self = shared_from_this(), fileName, entry] { self->writeFile(fileName, entry); });
    } else {
        // What the disk held for the URL must not come back in place of the newer response.
        pendingWrites_.erase(fileName);
        forgetOnDisk(fileName);
    }
}

void URLCache::removeCachedResponse(const URLRequest& request) {
    if (!request.url) return;
    const std::string key = keyFor(request);
    std::lock_guard guard(lock_);
    forgetInMemory(key);
    if (!hasDisk()) return;
    const std::string fileName = fileNameFor(key);
    pendingWrites_.erase(fileName);
    forgetOnDisk(fileName);
}

void URLCache::removeAllCachedResponses() {
    std::lock_guard guard(lock_);
    memory_.clear();
    memoryIndex_.clear();
    memoryUsage_ = 0;
    if (diskPath_.empty()) return;
    loadDiskIndex();
    pendingWrites_.clear();
    std::vector<std::string> names;
    for (const auto& [name, entry] : diskIndex_) names.push_back(name);
    diskIndex_.clear();
    diskUsage_ = 0;
    diskQueue_->async([self = shared_from_this(), names] { self->removeFiles(names); });
}

std::size_t URLCache::memoryCapacity() const {
    std::lock_guard guard(lock_);
    return memoryCapacity_;
}

void URLCache::setMemoryCapacity(std::size_t bytes) {
    std::lock_guard guard(lock_);
    memoryCapacity_ = bytes;
    trimMemory();
}

std::size_t URLCache::diskCapacity() const {
    std::lock_guard guard(lock_);
    return diskCapacity_;
}

void URLCache::setDiskCapacity(std::size_t bytes) {
    std::lock_guard guard(lock_);
    diskCapacity_ = bytes;
    if (diskPath_.empty()) return;
    loadDiskIndex();
    auto evicted = overCapacityFiles();
    if (!evicted.empty()) diskQueue_->async([self = shared_from_this(), evicted] { self->removeFiles(evicted); });
}

std::size_t URLCache::currentMemoryUsage() const {
    std::lock_guard guard(lock_);
    return memoryUsage_;
}

std::size_t URLCache::currentDiskUsage() const {
    std::lock_guard guard(lock_);
    // The folder is read at first need; a question about its size is such a need.
    const_cast<URLCache*>(this)->loadDiskIndex();
    return diskUsage_;
}

void URLCache::waitForQueuedFileWork() const { diskQueue_->sync([] {}); }

// ---- memory ----

void URLCache::keepInMemory(const std::string& key, Entry entry) {
    forgetInMemory(key);
    const std::size_t cost = costOf(*entry);
    if (cost > memoryCapacity_) return;
    memory_.push_front(MemoryEntry{key, std::move(entry), cost});
    memoryIndex_[key] = memory_.begin();
    memoryUsage_ += cost;
    trimMemory();
}

void URLCache::forgetInMemory(const std::string& key) {
    auto it = memoryIndex_.find(key);
    if (it == memoryIndex_.end()) return;
    memoryUsage_ -= it->second->cost;
    memory_.erase(it->second);
    memoryIndex_.erase(it);
}

void URLCache::trimMemory() {
    while (!memory_.empty() && memoryUsage_ > memoryCapacity_) {
        memoryUsage_ -= memory_.back().cost;
        memoryIndex_.erase(memory_.back().key);
        memory_.pop_back();
    }
}

// ---- disk ----

// The files the folder holds, oldest use first by their modification times, read once. Files
// of other names (a temporary file left by a crash mid-write) are removed.
void URLCache::loadDiskIndex() {
    if (diskIndexLoaded_ || diskPath_.empty()) return;
    diskIndexLoaded_ = true;
    DIR* dir = ::opendir(diskPath_.c_str());
    if (!dir) return;
    struct Found {
        std::string name;
        std::size_t size;
        struct timespec modified;
    };
    std::vector<Found> found;
    std::vector<std::string> strays;
    while (dirent* item = ::readdir(dir)) {
        std::string name = item->d_name;
        if (name == "." || name == "..") continue;
        struct stat info{};
        if (::lstat(pathOf(name).c_str(), &info) != 0 || !S_ISREG(info.st_mode)) continue;
        if (name.size() == 32 + 6 && name.ends_with(".entry")) found.push_back({name, static_cast<std::size_t>(info.st_size), info.st_mtim});
        else if (name.find(".entry.tmp-") != std::string::npos) strays.push_back(name);
    }
    ::closedir(dir);
    std::sort(found.begin(), found.end(), [](const Found& a, const Found& b) {
        return a.modified.tv_sec != b.modified.tv_sec ? a.modified.tv_sec < b.modified.tv_sec : a.modified.tv_nsec < b.modified.tv_nsec;
    });
    for (auto& f : found) {
        diskIndex_[f.name] = DiskEntry{f.size, ++useCounter_};
        diskUsage_ += f.size;
    }
    if (!strays.empty()) diskQueue_->async([self = shared_from_this(), strays] { self->removeFiles(strays); });
}

URLCache::Entry URLCache::readFromDisk(const std::string& key, const std::string& fileName) {
    if (auto pending = pendingWrites_.find(fileName); pending != pendingWrites_.end())
        return pending->second->key == key ? pending->second : nullptr;
    loadDiskIndex();
    auto indexed = diskIndex_.find(fileName);
    if (indexed == diskIndex_.end()) return nullptr;
    auto bytes = core::files::read(pathOf(fileName));
    std::optional<caching::StoredEntry> decoded;
    if (bytes) decoded = caching::decodeEntry(std::move(*bytes));
    if (!decoded) {
        core::log("URL cache: dropped the damaged entry " + fileName);
        forgetOnDisk(fileName);
        return nullptr;
    }
    if (decoded->key != key) return nullptr; // another URL with the same digest
    indexed->second.lastUse = ++useCounter_;
    auto entry = std::make_shared<const caching::StoredEntry>(std::move(*decoded));
    // The file's time keeps its place in the order of use for the next process; to the minute is
    // close enough, and spares a hit the hand-off to the disk queue.
    if (const double now = dispatch::Clock::current().monotonicTime(); indexed->second.touched < 0 || now - indexed->second.touched >= 60) {
        indexed->second.touched = now;
        diskQueue_->async([path = pathOf(fileName)] { ::utimensat(AT_FDCWD, path.c_str(), nullptr, 0); });
    }
    if (entry->cached->storagePolicy == URLCacheStoragePolicy::allowed) keepInMemory(key, entry);
    return entry;
}

// A file still being written is removed by its writer, which finds it no longer wanted; so only
// a written file needs the disk queue (most calls, from requests that change a resource the
// cache never held, need nothing).
void URLCache::forgetOnDisk(const std::string& fileName) {
    loadDiskIndex();
    auto it = diskIndex_.find(fileName);
    if (it == diskIndex_.end()) return;
    diskUsage_ -= it->second.size;
    diskIndex_.erase(it);
    diskQueue_->async([self = shared_from_this(), fileName] { self->removeFiles({fileName}); });
}

// Takes the least recently used files out of the index until the rest fit; gives their names.
std::vector<std::string> URLCache::overCapacityFiles() {
    std::vector<std::string> evicted;
    while (diskUsage_ > diskCapacity_ && !diskIndex_.empty()) {
        auto oldest = std::min_element(diskIndex_.begin(), diskIndex_.end(),
                                       [](const auto& a, const auto& b) { return a.second.lastUse < b.second.lastUse; });
        diskUsage_ -= oldest->second.size;
        evicted.push_back(oldest->first);
        diskIndex_.erase(oldest);
    }
    return evicted;
}

void URLCache::writeFile(const std::string& fileName, const Entry& entry) {
    {
        std::lock_guard guard(lock_);
        auto pending = pendingWrites_.find(fileName);
        if (pending == pendingWrites_.end() || pending->second != entry) return; // replaced or removed meanwhile
    }
    const core::Bytes bytes = caching::encodeEntry(*entry);
    const std::string path = pathOf(fileName);
    core::Status written = core::success();
    if (::mkdir(diskPath_.c_str(), 0755) != 0 && errno != EEXIST) {
        written = core::Error{std::string(core::files::kErrorDomain), errno, "cannot create " + diskPath_, {}};
    } else {
        written = core::files::writeAtomically(path, bytes, 0600);
    }
    std::vector<std::string> evicted;
    bool current;
    {
        std::lock_guard guard(lock_);
        auto pending = pendingWrites_.find(fileName);
        current = pending != pendingWrites_.end() && pending->second == entry;
        if (current) pendingWrites_.erase(pending);
        if (current && written.ok()) {
            loadDiskIndex();
            auto& indexed = diskIndex_[fileName];
            diskUsage_ = diskUsage_ - indexed.size + bytes.size();
            indexed = DiskEntry{bytes.size(), ++useCounter_};
            evicted = overCapacityFiles();
        }
    }
    if (!written.ok()) core::log("URL cache: " + written.error().description);
    else if (!current) evicted.push_back(fileName); // removed while it was being written
    removeFiles(evicted);
}

void URLCache::removeFiles(const std::vector<std::string>& fileNames) {
    for (const auto& name : fileNames) {
        {
            // A newer response for the same URL may have been written meanwhile.
            std::lock_guard guard(lock_);
            if (diskIndex_.contains(name) || pendingWrites_.contains(name)) continue;
        }
        ::unlink(pathOf(name).c_str());
    }
}

} // namespace net
