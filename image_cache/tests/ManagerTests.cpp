// The image manager: cache first, downloads when needed, failed URLs, refreshes and cancels.

#include "image_cache/RIImageManager.h"
#include "image_cache/RIImagePrefetcher.h"

#include "platform/core/testing/TempHome.h"
#include "platform/dispatch/RunLoop.h"
#include "platform/net/URLError.h"
#include "platform/net/testing/LoopbackServer.h"

#include <gtest/gtest.h>

namespace image_cache {
namespace {

using net::testkit::LoopbackServer;
using net::testkit::RecordedRequest;
using net::testkit::Reply;

std::string png(uint32_t pixel) {
    return *gfx::Image(2, 2, 1, std::vector<uint32_t>(4, pixel), false).pngData();
}

struct Report {
    ImagePtr image;
    std::optional<core::Error> error;
    RIImageCacheKind kind;
    bool finished;
};

class image_cache_Manager : public ::testing::Test {
protected:
    void SetUp() override { dispatch::RunLoop::setMainThread(); }
    core::testkit::TempHome home;
    std::shared_ptr<RIImageCache> cache = std::make_shared<RIImageCache>("test");
    std::shared_ptr<RIImageManager> manager =
        RIImageManager::create(cache, RIImageDownloader::create(net::URLSessionConfiguration::ephemeralConfiguration()));
    std::vector<Report> reports;

    RIInternalCompletionBlock record() {
        return [this](ImagePtr image, Data, std::optional<core::Error> error, RIImageCacheKind kind, bool finished, std::optional<net::URL>) {
            reports.push_back({image, error, kind, finished});
        };
    }
    bool waitForReports(std::size_t n) { return dispatch::RunLoop::main().runUntil([&] { return reports.size() >= n && !manager->isRunning(); }, 20); }
};

TEST_F(image_cache_Manager, FailedURLsAreBlockedUnlessTheFailureMayPass) {
    LoopbackServer server([](const RecordedRequest& r) {
        Reply reply;
        if (r.target == "/empty") reply.body = "";
        else if (r.target == "/404") reply.status = 404;
        else if (r.target == "/503") reply.status = 503;
        else if (r.target == "/429") reply.status = 429;
        else if (r.target == "/slow") reply.mode = Reply::Mode::stallBeforeHead;
        return reply;
    });
    manager->imageDownloader()->downloadTimeout = 0.3;
    struct Case {
        const char* path;
        bool blocked;
    };
    const Case cases[] = {{"/empty", true}, {"/404", true}, {"/503", false}, {"/429", false}, {"/slow", false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        auto url = net::URL::parse(server.url(c.path));
        const std::size_t before = server.requestCount();
        reports.clear();
        manager->loadImageWithURL(url, 0, nullptr, record());
        ASSERT_TRUE(waitForReports(1));
        ASSERT_TRUE(reports[0].error);
        reports.clear();
        manager->loadImageWithURL(url, 0, nullptr, record());
        ASSERT_TRUE(waitForReports(1));
        ASSERT_TRUE(reports[0].error);
        EXPECT_EQ(reports[0].error->code == -1100, c.blocked);
        EXPECT_EQ(server.requestCount() - before, c.blocked ? 1u : 2u);
        EXPECT_EQ(manager->isFailedURL(*url), c.blocked);
        if (c.blocked) {
            // Asked to retry, the manager downloads again.
            reports.clear();
            manager->loadImageWithURL(url, RIImageRetryFailed, nullptr, record());
            ASSERT_TRUE(waitForReports(1));
            EXPECT_EQ(server.requestCount() - before, 2u);
        }
    }
    reports.clear();
    manager->loadImageWithURL(std::nullopt, 0, nullptr, record());
    ASSERT_TRUE(waitForReports(1));
    EXPECT_EQ(reports[0].error->code, -1100);
    EXPECT_EQ(manager->cacheKeyForURL(std::nullopt), "");
}

TEST_F(image_cache_Manager, DownloadsOnceThenAnswersFromTheCache) {
    LoopbackServer server([](const RecordedRequest&) {
        Reply reply;
        reply.body = png(0xff112233);
        return reply;
    });
    auto url = net::URL::parse(server.url("/a.png"));
    // Only from the cache: a miss answers empty and downloads nothing.
    manager->loadImageWithURL(url, RIImageFromCacheOnly, nullptr, record());
    ASSERT_TRUE(waitForReports(1));
    EXPECT_FALSE(reports[0].image);
    EXPECT_FALSE(reports[0].error);
    EXPECT_EQ(reports[0].kind, RIImageCacheKind::none);
    EXPECT_EQ(server.requestCount(), 0u);

    reports.clear();
    manager->loadImageWithURL(url, 0, nullptr, record());
    ASSERT_TRUE(waitForReports(1));
    ASSERT_TRUE(reports[0].image);
    EXPECT_EQ(reports[0].kind, RIImageCacheKind::none);
    EXPECT_TRUE(cache->imageFromMemoryCacheForKey(url->absoluteString()));

    reports.clear();
    manager->loadImageWithURL(url, 0, nullptr, record());
    ASSERT_TRUE(waitForReports(1));
    EXPECT_EQ(reports[0].kind, RIImageCacheKind::memory);
    EXPECT_EQ(server.requestCount(), 1u);

    // A refresh answers with the cached picture first, then the downloaded one.
    reports.clear();
    manager->loadImageWithURL(url, RIImageRefreshCached, nullptr, record());
    ASSERT_TRUE(waitForReports(2));
    EXPECT_EQ(reports[0].kind, RIImageCacheKind::memory);
    EXPECT_EQ(reports[1].kind, RIImageCacheKind::none);
    EXPECT_EQ(server.requestCount(), 2u);
}

TEST_F(image_cache_Manager, CancellingBeforeTheCacheAnswersReportsNothing) {
    LoopbackServer server([](const RecordedRequest&) {
        Reply reply;
        reply.body = png(0xff445566);
        return reply;
    });
    auto operation = manager->loadImageWithURL(net::URL::parse(server.url("/b.png")), 0, nullptr, record());
    EXPECT_TRUE(manager->isRunning());
    operation->cancel();
    EXPECT_TRUE(operation->isCancelled());
    EXPECT_FALSE(manager->isRunning());
    (void)cache->diskImageDataExistsWithKey(std::string("flush"));
    dispatch::RunLoop::main().pump();
    EXPECT_TRUE(reports.empty());
    EXPECT_EQ(server.requestCount(), 0u);
}

struct CountingDelegate : RIImagePrefetcherDelegate {
    std::vector<std::uint64_t> finishedCounts;
    std::uint64_t total = 0, skipped = 0;
    int finishes = 0;
    void didPrefetchURL(RIImagePrefetcher&, const std::optional<net::URL>&, std::uint64_t finished, std::uint64_t) override {
        finishedCounts.push_back(finished);
    }
    void didFinishWithTotalCount(RIImagePrefetcher&, std::uint64_t t, std::uint64_t s) override {
        total = t;
        skipped = s;
        ++finishes;
    }
};

TEST_F(image_cache_Manager, ThePrefetcherLoadsAListThreeAtATime) {
    LoopbackServer server([](const RecordedRequest& r) {
        Reply reply;
        if (r.target == "/missing.png") reply.status = 404;
        else reply.body = png(0xff000000u | static_cast<uint32_t>(r.target.size()));
        return reply;
    });
    auto prefetcher = RIImagePrefetcher::create(manager);
    EXPECT_EQ(prefetcher->maxConcurrentDownloads(), 3);
    EXPECT_EQ(manager->imageDownloader()->maxConcurrentDownloads(), 3);
    EXPECT_EQ(prefetcher->options, RIImageLowPriority);
    auto delegate = std::make_shared<CountingDelegate>();
    prefetcher->delegate = delegate;

    std::vector<std::optional<net::URL>> urls;
    for (const char* path : {"/1.png", "/22.png", "/missing.png", "/333.png", "/4444.png"}) urls.push_back(net::URL::parse(server.url(path)));
    std::vector<std::pair<std::uint64_t, std::uint64_t>> progress;
    std::optional<std::pair<std::uint64_t, std::uint64_t>> done;
    prefetcher->prefetchURLs(
        urls, [&](std::uint64_t f, std::uint64_t t) { progress.emplace_back(f, t); },
        [&](std::uint64_t f, std::uint64_t s) { done.emplace(f, s); });
    EXPECT_EQ(prefetcher->requestedCount(), 3u);
    ASSERT_TRUE(dispatch::RunLoop::main().runUntil([&] { return done.has_value(); }, 20));
    EXPECT_EQ(*done, std::make_pair(std::uint64_t{5}, std::uint64_t{1}));
    ASSERT_EQ(progress.size(), 5u);
    EXPECT_EQ(progress.back(), std::make_pair(std::uint64_t{5}, std::uint64_t{5}));
    EXPECT_EQ(delegate->finishedCounts, (std::vector<std::uint64_t>{1, 2, 3, 4, 5}));
    EXPECT_EQ(delegate->finishes, 1);
    EXPECT_EQ(delegate->total, 4u);
    EXPECT_EQ(delegate->skipped, 1u);
    EXPECT_EQ(server.requestCount(), 5u);
    for (std::size_t i : {0u, 1u, 3u, 4u}) EXPECT_TRUE(cache->imageFromMemoryCacheForKey(urls[i]->absoluteString()));

    // An empty list finishes at once; cancelling clears the counters.
    done.reset();
    prefetcher->prefetchURLs({}, nullptr, [&](std::uint64_t f, std::uint64_t s) { done.emplace(f, s); });
    EXPECT_EQ(*done, std::make_pair(std::uint64_t{0}, std::uint64_t{0}));
    prefetcher->cancelPrefetching();
    EXPECT_EQ(prefetcher->finishedCount(), 0u);
    EXPECT_EQ(prefetcher->requestedCount(), 0u);
}

} // namespace
} // namespace image_cache
