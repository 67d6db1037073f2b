// The URL cache: memory and disk parts, storage policies, Vary, eviction past each capacity,
// damaged files, entries that survive the process, and sharing between threads.
#include "platform/core/Files.h"
#include "platform/core/Log.h"
#include "platform/core/Paths.h"
#include "platform/core/testing/TempHome.h"
#include "platform/net/URLCache.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <thread>

using namespace net;
namespace fs = std::filesystem;

namespace {

URLRequest getRequest(const std::string& url, HTTPHeaders fields = {}) {
    URLRequest request(URL::parse(url));
    request.allHTTPHeaderFields = std::move(fields);
    return request;
}

std::shared_ptr<const CachedURLResponse> cachedBody(const std::string& url, const std::string& body, HTTPHeaders fields = {},
                                                    URLCacheStoragePolicy policy = URLCacheStoragePolicy::allowed) {
    auto cached = std::make_shared<CachedURLResponse>();
    fields.set("Cache-Control", "max-age=600");
    cached->response = std::make_shared<HTTPURLResponse>(*URL::parse(url), 200, "HTTP/1.1", std::move(fields));
    cached->data.assign(body.begin(), body.end());
    cached->storagePolicy = policy;
    cached->userInfo.set("note", std::string("kept"));
    return cached;
}

std::string bodyOf(const std::shared_ptr<const CachedURLResponse>& cached) {
    return cached ? std::string(cached->data.begin(), cached->data.end()) : "<none>";
}

std::vector<fs::path> entryFiles(const std::string& folder) {
    std::vector<fs::path> files;
    if (!fs::exists(folder)) return files;
    for (const auto& item : fs::directory_iterator(folder))
        if (item.path().extension() == ".entry") files.push_back(item.path());
    return files;
}

TEST(URLCacheMemory, StoresLooksUpAndRemovesByURL) {
    auto cache = URLCache::create(1 << 20, 0);
    cache->storeCachedResponse(cachedBody("http://h/a", "A"), getRequest("http://h/a#top"));
    EXPECT_EQ(bodyOf(cache->cachedResponse(getRequest("http://h/a"))), "A");
    EXPECT_EQ(bodyOf(cache->cachedResponse(getRequest("http://h/b"))), "<none>");
    EXPECT_EQ(cache->cachedResponse(getRequest("http://h/a"))->userInfo.find("note")->asString(), "kept");
    // Only GET requests are looked up or stored.
    auto post = getRequest("http://h/a");
    post.httpMethod = "POST";
    EXPECT_FALSE(cache->cachedResponse(post));
    cache->storeCachedResponse(cachedBody("http://h/p", "P"), [] { auto r = getRequest("http://h/p"); r.httpMethod = "PUT"; return r; }());
    EXPECT_FALSE(cache->cachedResponse(getRequest("http://h/p")));
    // A newer response replaces the older one.
    cache->storeCachedResponse(cachedBody("http://h/a", "A2"), getRequest("http://h/a"));
    EXPECT_EQ(bodyOf(cache->cachedResponse(getRequest("http://h/a"))), "A2");
    EXPECT_GT(cache->currentMemoryUsage(), 0u);
    cache->removeCachedResponse(getRequest("http://h/a"));
    EXPECT_FALSE(cache->cachedResponse(getRequest("http://h/a")));
    EXPECT_EQ(cache->currentMemoryUsage(), 0u);
}

TEST(URLCacheMemory, VaryNamesTheFieldsThatMustMatch) {
    auto cache = URLCache::create(1 << 20, 0);
    cache->storeCachedResponse(cachedBody("http://h/v", "zh", {{"Vary", "Accept-Language"}}),
                               getRequest("http://h/v", {{"Accept-Language", "zh"}}));
    EXPECT_EQ(bodyOf(cache->cachedResponse(getRequest("http://h/v", {{"Accept-Language", "zh"}}))), "zh");
    EXPECT_FALSE(cache->cachedResponse(getRequest("http://h/v", {{"Accept-Language", "en"}})));
    EXPECT_FALSE(cache->cachedResponse(getRequest("http://h/v")));
    cache->storeCachedResponse(cachedBody("http://h/star", "s", {{"Vary", "*"}}), getRequest("http://h/star"));
    EXPECT_FALSE(cache->cachedResponse(getRequest("http://h/star")));
}

TEST(URLCacheMemory, LeastRecentlyUsedGoFirstPastTheCapacity) {
    auto cache = URLCache::create(3 * 1024, 0);
    const std::string body(600, 'b');
    for (const char* path : {"/1", "/2", "/3"}) cache->storeCachedResponse(cachedBody(std::string("http://h") + path, body), getRequest(std::string("http://h") + path));
    EXPECT_TRUE(cache->cachedResponse(getRequest("http://h/1"))); // now the most recently used
    cache->storeCachedResponse(cachedBody("http://h/4", body), getRequest("http://h/4"));
    EXPECT_TRUE(cache->cachedResponse(getRequest("http://h/1")));
    EXPECT_FALSE(cache->cachedResponse(getRequest("http://h/2")));
    EXPECT_LE(cache->currentMemoryUsage(), 3 * 1024u);
    // Larger than the whole part: not kept.
    cache->storeCachedResponse(cachedBody("http://h/big", std::string(4096, 'x')), getRequest("http://h/big"));
    EXPECT_FALSE(cache->cachedResponse(getRequest("http://h/big")));
    cache->setMemoryCapacity(0);
    EXPECT_EQ(cache->currentMemoryUsage(), 0u);
}

TEST(URLCacheDisk, StoragePolicies) {
    core::testkit::TempHome home;
    struct Case {
        URLCacheStoragePolicy policy;
        bool inMemory;
        bool onDisk;
    };
    const Case cases[] = {
        {URLCacheStoragePolicy::allowed, true, true},
        {URLCacheStoragePolicy::allowedInMemoryOnly, true, false},
        {URLCacheStoragePolicy::notAllowed, false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.policy));
        const std::string folder = home.path() + "/cache" + std::to_string(static_cast<int>(c.policy));
        auto cache = URLCache::create(1 << 20, 1 << 20, folder);
        cache->storeCachedResponse(cachedBody("http://h/a", "A", {}, c.policy), getRequest("http://h/a"));
        cache->waitForQueuedFileWork();
        EXPECT_EQ(cache->cachedResponse(getRequest("http://h/a")) != nullptr, c.inMemory);
        EXPECT_EQ(entryFiles(folder).size(), c.onDisk ? 1u : 0u);
        EXPECT_EQ(cache->currentDiskUsage() > 0, c.onDisk);
    }
}

TEST(URLCacheDisk, ADiskOnlyCacheReadsItsFilesAndReplacesThem) {
    core::testkit::TempHome home;
    const std::string folder = home.path() + "/c";
    auto cache = URLCache::create(0, 1 << 20, folder);
    cache->storeCachedResponse(cachedBody("http://h/a", "first"), getRequest("http://h/a"));
    // Seen at once, while its file is still being written.
    EXPECT_EQ(bodyOf(cache->cachedResponse(getRequest("http://h/a"))), "first");
    cache->storeCachedResponse(cachedBody("http://h/a", "second"), getRequest("http://h/a"));
    cache->waitForQueuedFileWork();
    EXPECT_EQ(bodyOf(cache->cachedResponse(getRequest("http://h/a"))), "second");
    EXPECT_EQ(entryFiles(folder).size(), 1u);
    cache->removeCachedResponse(getRequest("http://h/a"));
    cache->waitForQueuedFileWork();
    EXPECT_TRUE(entryFiles(folder).empty());
    EXPECT_EQ(cache->currentDiskUsage(), 0u);
    // A memory-only answer to the URL takes the place of what the disk held.
    cache->storeCachedResponse(cachedBody("http://h/b", "disk"), getRequest("http://h/b"));
    cache->storeCachedResponse(cachedBody("http://h/b", "mem", {}, URLCacheStoragePolicy::allowedInMemoryOnly), getRequest("http://h/b"));
    cache->waitForQueuedFileWork();
    EXPECT_TRUE(entryFiles(folder).empty());
    cache->storeCachedResponse(cachedBody("http://h/c", "C"), getRequest("http://h/c"));
    cache->removeAllCachedResponses();
    cache->waitForQueuedFileWork();
    EXPECT_TRUE(entryFiles(folder).empty());
}

TEST(URLCacheDisk, EntriesSurviveTheProcess) {
    core::testkit::TempHome home;
    const std::string folder = core::paths::cacheHome() + "/restart";
    auto cache = URLCache::create(1 << 20, 1 << 20, folder);
    cache->storeCachedResponse(cachedBody("http://h/kept", "across processes", {{"Vary", "Accept"}}), getRequest("http://h/kept", {{"Accept", "image/*"}}));
    cache->waitForQueuedFileWork();
    EXPECT_EQ(core::testkit::runTestInChildProcess("URLCacheDisk.DISABLED_SecondProcessFindsTheEntry"), 0);
}

TEST(URLCacheDisk, DISABLED_SecondProcessFindsTheEntry) {
    auto cache = URLCache::create(1 << 20, 1 << 20, core::paths::cacheHome() + "/restart");
    EXPECT_GT(cache->currentDiskUsage(), 0u);
    auto found = cache->cachedResponse(getRequest("http://h/kept", {{"Accept", "image/*"}}));
    ASSERT_TRUE(found);
    EXPECT_EQ(bodyOf(found), "across processes");
    EXPECT_EQ(found->response->statusCode(), 200);
    EXPECT_EQ(found->response->value("Cache-Control"), "max-age=600");
    EXPECT_EQ(found->userInfo.find("note")->asString(), "kept");
    EXPECT_GT(found->responseDate, 0);
    EXPECT_FALSE(cache->cachedResponse(getRequest("http://h/kept", {{"Accept", "text/html"}})));
}

TEST(URLCacheDisk, ADamagedEntryIsDroppedAndLogged) {
    core::testkit::TempHome home;
    struct Case {
        const char* name;
        std::function<void(std::string&)> damage;
    };
    const Case cases[] = {
        {"cut short", [](std::string& bytes) { bytes.resize(bytes.size() / 2); }},
        {"one byte of the body flipped", [](std::string& bytes) { bytes[1] ^= 0x40; }},
        {"one byte of the head flipped", [](std::string& bytes) { bytes[bytes.size() - 60] ^= 0x01; }},
        {"emptied", [](std::string& bytes) { bytes.clear(); }},
        {"garbage", [](std::string& bytes) { bytes = std::string(bytes.size(), 'g'); }},
        {"another version", [](std::string& bytes) { bytes[bytes.size() - 24] = 9; }},
    };
    int round = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string folder = home.path() + "/damaged" + std::to_string(round++);
        {
            auto writer = URLCache::create(0, 1 << 20, folder);
            writer->storeCachedResponse(cachedBody("http://h/d", "the picture's bytes"), getRequest("http://h/d"));
            writer->waitForQueuedFileWork();
        }
        auto files = entryFiles(folder);
        ASSERT_EQ(files.size(), 1u);
        auto read = core::files::read(files[0]);
        std::string bytes(read->begin(), read->end());
        c.damage(bytes);
        ASSERT_TRUE(core::files::writeAtomically(files[0], bytes));

        core::LogCapture log;
        auto cache = URLCache::create(0, 1 << 20, folder);
        EXPECT_FALSE(cache->cachedResponse(getRequest("http://h/d")));
        cache->waitForQueuedFileWork();
        EXPECT_EQ(log.lines().size(), 1u);
        EXPECT_TRUE(entryFiles(folder).empty());
        EXPECT_EQ(cache->currentDiskUsage(), 0u);
    }
}

TEST(URLCacheDisk, LeastRecentlyUsedFilesGoPastTheCapacity) {
    core::testkit::TempHome home;
    const std::string folder = home.path() + "/lru";
    auto cache = URLCache::create(0, 10 * 1024, folder);
    const std::string body(3000, 'z');
    for (const char* path : {"/1", "/2", "/3"}) {
        cache->storeCachedResponse(cachedBody(std::string("http://h") + path, body), getRequest(std::string("http://h") + path));
        cache->waitForQueuedFileWork();
    }
    EXPECT_TRUE(cache->cachedResponse(getRequest("http://h/1")));
    cache->storeCachedResponse(cachedBody("http://h/4", body), getRequest("http://h/4"));
    cache->waitForQueuedFileWork();
    EXPECT_TRUE(cache->cachedResponse(getRequest("http://h/1")));
    EXPECT_FALSE(cache->cachedResponse(getRequest("http://h/2")));
    EXPECT_TRUE(cache->cachedResponse(getRequest("http://h/4")));
    EXPECT_EQ(entryFiles(folder).size(), 3u);
    EXPECT_LE(cache->currentDiskUsage(), 10 * 1024u);
    // A smaller capacity evicts at once, and a new cache on the folder counts what is left.
    cache->setDiskCapacity(4000);
    cache->waitForQueuedFileWork();
    EXPECT_EQ(entryFiles(folder).size(), 1u);
    EXPECT_EQ(URLCache::create(0, 10 * 1024, folder)->currentDiskUsage(), cache->currentDiskUsage());
    // A temporary file left by a crash mid-write is cleared away.
    ASSERT_TRUE(core::files::writeAtomically(folder + "/" + std::string(32, 'a') + ".entry.tmp-XYZabc", std::string("partial")));
    auto later = URLCache::create(0, 10 * 1024, folder);
    EXPECT_EQ(later->currentDiskUsage(), cache->currentDiskUsage());
    later->waitForQueuedFileWork();
    EXPECT_FALSE(fs::exists(folder + "/" + std::string(32, 'a') + ".entry.tmp-XYZabc"));
}

TEST(URLCacheShared, ThreadsStoreAndReadOneCache) {
    core::testkit::TempHome home;
    auto cache = URLCache::create(64 * 1024, 256 * 1024, home.path() + "/shared");
    std::vector<std::thread> threads;
    std::atomic<int> wrong{0};
    for (int n = 0; n < 4; ++n) {
        threads.emplace_back([&, n] {
            for (int i = 0; i < 200; ++i) {
                const std::string url = "http://h/" + std::to_string(i % 16);
                const std::string body = std::to_string(i % 16) + std::string(static_cast<std::size_t>(100 * n), '.');
                if (i % 3 == 0) cache->storeCachedResponse(cachedBody(url, body), getRequest(url));
                if (auto found = cache->cachedResponse(getRequest(url)); found && bodyOf(found).rfind(std::to_string(i % 16), 0) != 0) ++wrong;
                if (i % 50 == 0) cache->removeCachedResponse(getRequest(url));
                std::lock_guard hold(*cache); // a reader may hold the lock across calls
                (void)cache->cachedResponse(getRequest(url));
            }
        });
    }
    for (auto& t : threads) t.join();
    cache->waitForQueuedFileWork();
    EXPECT_EQ(wrong, 0);
    EXPECT_LE(cache->currentDiskUsage(), 256 * 1024u);
    EXPECT_LE(entryFiles(home.path() + "/shared").size(), 16u);
}

} // namespace
