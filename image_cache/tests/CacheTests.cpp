// The image cache: file names, queries and their kinds, lookups, memory warnings, cleanup and
// the application events that start it.

#include "image_cache/RIImageCache.h"

#include "platform/core/Digest.h"
#include "platform/core/Files.h"
#include "platform/core/Paths.h"
#include "platform/core/NotificationCenter.h"
#include "platform/core/testing/TempHome.h"
#include "platform/dispatch/RunLoop.h"
#include "platform/ui/Application.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/time.h>

namespace image_cache {
namespace {

ImagePtr opaque(int w, int h, uint32_t pixel = 0xff204060) {
    return std::make_shared<gfx::Image>(w, h, 1, std::vector<uint32_t>(static_cast<size_t>(w) * h, pixel), false);
}

class image_cache_Cache : public ::testing::Test {
protected:
    void SetUp() override { dispatch::RunLoop::setMainThread(); }
    // Waits for every queued disk step and its main-queue completion.
    void drain(RIImageCache& cache) {
        (void)cache.diskImageDataExistsWithKey(std::string("flush"));
        dispatch::RunLoop::main().pump();
    }
    core::testkit::TempHome home;
};

TEST(image_cache_FileNames, DigestOfTheKeyAndItsExtensionWhenItFits) {
    const std::string url = "http://example.com/icons/tag.png";
    struct Case {
        std::string key;
        std::string suffix;
    };
    const Case cases[] = {
        {url, ".png"},
        {"http://example.com/icons/tag", ""},
        {"http://example.com/a/archive.tar.gz?x=1#top", ".gz"},
        {"plain/path/photo.jpeg", ".jpeg"},
        {"http://example.com/.hidden", ""},
        {"http://example.com/a." + std::string(300, 'x'), ""},  // would pass 255 bytes
        {"http://example.com/a." + std::string(222, 'x'), "." + std::string(222, 'x')},
        {std::string("http://example.com/a.p\0g", 24), ""},
    };
    for (const auto& c : cases) {
        std::string name = RIImageCache::cachedFileNameForKey(c.key);
        EXPECT_EQ(name, core::md5Hex(c.key) + c.suffix) << c.key.substr(0, 40);
        EXPECT_LE(name.size(), 255u);
    }
}

TEST_F(image_cache_Cache, StoreThenQueryReportsWhereTheImageCameFrom) {
    RIImageCache cache("test");
    EXPECT_EQ(cache.diskCachePath(), core::paths::cacheHome() + "/test/com.tarnwick.RIImageCache.test");
    const std::string key = "http://example.com/a.jpg";
    bool stored = false;
    cache.storeImage(opaque(4, 4), key, [&] { stored = true; });
    ASSERT_TRUE(dispatch::RunLoop::main().runUntil([&] { return stored; }));
    EXPECT_TRUE(core::files::exists(cache.defaultCachePathForKey(key)));

    struct Query {
        const char* name;
        std::optional<std::string> key;
        unsigned options;
        bool clearMemory;
        RIImageCacheKind kind;
        bool image, data, operation;
    };
    const Query queries[] = {
        {"nil key", std::nullopt, 0, false, RIImageCacheKind::none, false, false, false},
        {"memory", key, 0, false, RIImageCacheKind::memory, true, false, false},
        {"memory with its data", key, RIImageQueryDataInMemory, false, RIImageCacheKind::memory, true, true, true},
        {"disk", key, 0, true, RIImageCacheKind::disk, true, true, true},
        {"disk, synchronously", key, RIImageQueryDiskSync, true, RIImageCacheKind::disk, true, true, true},
        {"missing", std::string("http://example.com/none.png"), 0, false, RIImageCacheKind::disk, false, false, true},
    };
    for (const auto& q : queries) {
        SCOPED_TRACE(q.name);
        if (q.clearMemory) cache.clearMemory();
        bool called = false;
        auto op = cache.queryCacheOperationForKey(q.key, q.options, [&](ImagePtr image, Data data, RIImageCacheKind kind) {
            called = true;
            EXPECT_EQ(kind, q.kind);
            EXPECT_EQ(image != nullptr, q.image);
            EXPECT_EQ(data.has_value(), q.data);
        });
        EXPECT_EQ(op != nullptr, q.operation);
        ASSERT_TRUE(dispatch::RunLoop::main().runUntil([&] { return called; }));
    }
    // A disk hit is in memory afterwards.
    EXPECT_NE(cache.imageFromMemoryCacheForKey(key), nullptr);
}

TEST_F(image_cache_Cache, ACancelledQueryStaysSilent) {
    RIImageCache cache("test");
    cache.storeImageDataToDisk(*opaque(2, 2)->jpegData(), "k.jpg");
    bool called = false;
    auto op = cache.queryCacheOperationForKey(std::string("k.jpg"), [&](ImagePtr, Data, RIImageCacheKind) { called = true; });
    ASSERT_TRUE(op);
    op->cancel();
    drain(cache);
    EXPECT_FALSE(called);
}

TEST_F(image_cache_Cache, FilesWithoutExtensionAndInReadOnlyFoldersAreFound) {
    RIImageCache cache("test");
    const std::string key = "http://example.com/b.png";
    const std::string bare = cache.diskCachePath() + "/" + core::md5Hex(key);
    ASSERT_TRUE(core::files::createDirectories(cache.diskCachePath()).ok());
    ASSERT_TRUE(core::files::writeAtomically(bare, *opaque(3, 3)->pngData()).ok());
    EXPECT_TRUE(cache.diskImageDataExistsWithKey(key));
    EXPECT_NE(cache.imageFromDiskCacheForKey(key), nullptr);

    const std::string custom = home.path() + "/bundled";
    const std::string other = "http://example.com/c.png";
    ASSERT_TRUE(core::files::createDirectories(custom).ok());
    ASSERT_TRUE(core::files::writeAtomically(cache.cachePathForKey(other, custom), *opaque(5, 5)->pngData()).ok());
    EXPECT_EQ(cache.diskImageForKey(other), nullptr);
    cache.addReadOnlyCachePath(custom);
    cache.addReadOnlyCachePath(custom);
    auto found = cache.diskImageForKey(other);
    ASSERT_TRUE(found);
    EXPECT_EQ(found->pixelWidth(), 5);
    EXPECT_FALSE(cache.diskImageDataExistsWithKey(other));  // the existence check looks only in its own folder
    bool exists = true;
    cache.diskImageExistsWithKey(other, [&](bool e) { exists = e; });
    drain(cache);
    EXPECT_FALSE(exists);

    int removed = 0;
    cache.removeImageForKey(std::nullopt, [&] { ++removed; });
    cache.removeImageForKey(key, [&] { ++removed; });
    drain(cache);
    EXPECT_EQ(removed, 1);
}

TEST_F(image_cache_Cache, FilesAreReadAndWrittenAsTheOptionsSay) {
    RIImageCache cache("test");
    const std::string key = "http://example.com/options.png";
    const std::string first = *opaque(4, 3)->pngData();
    const std::string second = *opaque(5, 2, 0xff102030)->pngData();
    const std::string path = cache.defaultCachePathForKey(key);
    const auto inode = [&path] {
        struct stat st {};
        return ::stat(path.c_str(), &st) == 0 ? st.st_ino : 0;
    };
    struct Case {
        const char* name;
        uint64_t writing;
        bool replaced;       // the second write lands
        bool sameFile;       // ... in the file that was there (in place, not renamed over it)
    };
    const Case writes[] = {
        {"atomic", RIImageCacheWritingAtomic, true, false},
        {"in place", 0, true, true},
        {"never over a file", RIImageCacheWritingWithoutOverwriting, false, true},
        {"atomic, never over a file", RIImageCacheWritingAtomic | RIImageCacheWritingWithoutOverwriting, false, true},
    };
    for (const auto& c : writes) {
        SCOPED_TRACE(c.name);
        cache.config().diskCacheWritingOptions = RIImageCacheWritingAtomic;
        cache.storeImageDataToDisk(first, key);
        const auto before = inode();
        cache.config().diskCacheWritingOptions = c.writing;
        cache.storeImageDataToDisk(second, key);
        EXPECT_EQ(cache.diskImageDataBySearchingAllPathsForKey(key), c.replaced ? second : first);
        EXPECT_EQ(inode() == before, c.sameFile);
    }
    const uint64_t reads[] = {0, RIImageCacheReadingMappedIfSafe, RIImageCacheReadingMappedAlways, RIImageCacheReadingUncached,
                              RIImageCacheReadingMappedAlways | RIImageCacheReadingUncached};
    for (uint64_t options : reads) {
        SCOPED_TRACE(options);
        cache.config().diskCacheReadingOptions = options;
        EXPECT_EQ(cache.diskImageDataBySearchingAllPathsForKey(key), first);
        ImagePtr image = cache.imageFromDiskCacheForKey(key);
        ASSERT_TRUE(image);
        EXPECT_EQ(image->pixelWidth(), 4);
    }
    // An empty file reads as empty bytes whichever way.
    ASSERT_TRUE(core::files::writeAtomically(path, std::string()));
    cache.config().diskCacheReadingOptions = RIImageCacheReadingMappedAlways;
    EXPECT_EQ(cache.diskImageDataBySearchingAllPathsForKey(key), std::string());
}

TEST_F(image_cache_Cache, AMemoryWarningKeepsImagesThatAreStillHeld) {
    RIImageCache cache("test");
    auto held = opaque(2, 2);
    cache.storeImage(held, "held", false, nullptr);
    cache.storeImage(opaque(2, 2), "dropped", false, nullptr);
    ui::Application::shared().didReceiveMemoryWarning();
    EXPECT_EQ(cache.memCache().count(), 0u);
    EXPECT_EQ(cache.imageFromMemoryCacheForKey("held"), held);
    EXPECT_EQ(cache.imageFromMemoryCacheForKey("dropped"), nullptr);
    // Limits forward to the memory layer.
    cache.setMaxMemoryCountLimit(1);
    cache.storeImage(opaque(2, 2), "another", false, nullptr);
    EXPECT_EQ(cache.memCache().count(), 1u);
    EXPECT_EQ(cache.maxMemoryCountLimit(), 1u);
}

void setAge(const std::string& path, double secondsAgo) {
    timeval now{};
    gettimeofday(&now, nullptr);
    timeval times[2] = {now, now};
    times[1].tv_sec -= static_cast<time_t>(secondsAgo);
    times[0] = times[1];
    utimes(path.c_str(), times);
}

TEST_F(image_cache_Cache, CleanupDeletesExpiredFilesThenTheOldestUntilBelowHalfTheLimit) {
    RIImageCache cache("test");
    std::vector<std::string> paths;
    for (int i = 0; i < 5; ++i) {
        std::string key = "k" + std::to_string(i);
        cache.storeImageDataToDisk(std::string(500, 'x'), key);
        paths.push_back(cache.defaultCachePathForKey(key));
    }
    setAge(paths[0], 8 * 24 * 3600);  // past the seven days
    for (int i = 1; i < 5; ++i) setAge(paths[static_cast<size_t>(i)], 100 - i * 10);
    struct stat st {};
    ASSERT_EQ(stat(paths[1].c_str(), &st), 0);
    const uint64_t allocated = static_cast<uint64_t>(st.st_blocks) * 512;
    EXPECT_EQ(cache.getSize(), 2500u);  // file sizes
    EXPECT_EQ(cache.getDiskCount(), 5u);
    // Four fresh files pass the limit; the oldest go until the total is below half of it.
    cache.config().maxCacheSize = 3 * allocated + 1;
    bool done = false;
    cache.deleteOldFilesWithCompletionBlock([&] { done = true; });
    ASSERT_TRUE(dispatch::RunLoop::main().runUntil([&] { return done; }));
    std::vector<bool> left;
    for (const auto& p : paths) left.push_back(core::files::exists(p));
    EXPECT_EQ(left, (std::vector<bool>{false, false, false, false, true}));

    std::size_t count = 99, size = 99;
    cache.calculateSizeWithCompletionBlock([&](std::size_t c, std::size_t s) { count = c; size = s; });
    drain(cache);
    EXPECT_EQ(count, 1u);
    EXPECT_EQ(size, 500u);
}

TEST_F(image_cache_Cache, TheAppEndingOrLeavingStartsCleanup) {
    RIImageCache cache("test");
    auto& app = ui::Application::shared();
    for (bool background : {false, true}) {
        SCOPED_TRACE(background);
        cache.storeImageDataToDisk(std::string(10, 'x'), "old");
        const std::string path = cache.defaultCachePathForKey("old");
        setAge(path, 8 * 24 * 3600);
        if (background) {
            app.didEnterBackground();
            EXPECT_GE(app.backgroundTaskCount(), 1u);
        } else {
            app.willTerminate();
        }
        drain(cache);
        EXPECT_FALSE(core::files::exists(path));
        EXPECT_TRUE(dispatch::RunLoop::main().runUntil([&] { return app.backgroundTaskCount() == 0; }));
    }
    // Clearing the disk leaves an empty folder.
    cache.storeImageDataToDisk(std::string(10, 'x'), "a");
    bool cleared = false;
    cache.clearDiskOnCompletion([&] { cleared = true; });
    ASSERT_TRUE(dispatch::RunLoop::main().runUntil([&] { return cleared; }));
    EXPECT_EQ(cache.getDiskCount(), 0u);
}

} // namespace
} // namespace image_cache
