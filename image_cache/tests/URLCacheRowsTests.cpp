// The downloader and the manager with the URL session's URL cache: a response is kept only with
// useURLCache, ignoreCachedResponse turns a body equal to the kept one into "nothing new", a 304
// stands for the kept body, and so a refresh of an unchanged picture is reported once.

#include "image_cache/RIImageManager.h"

#include "platform/core/testing/TempHome.h"
#include "platform/dispatch/RunLoop.h"
#include "platform/net/testing/LoopbackServer.h"

#include <gtest/gtest.h>

namespace image_cache {
namespace {

using net::testkit::LoopbackServer;
using net::testkit::RecordedRequest;
using net::testkit::Reply;

std::string urlCachePicture(uint32_t pixel) { return *gfx::Image(2, 2, 1, std::vector<uint32_t>(4, pixel), false).pngData(); }

// A picture whose every use is revalidated: 304 when the request names its current version.
struct VersionedPicture {
    std::atomic<int> version{1};
    Reply operator()(const RecordedRequest& r) const {
        const std::string etag = "\"v" + std::to_string(version.load()) + "\"";
        Reply reply;
        reply.headers = {{"Cache-Control", "no-cache"}, {"ETag", etag}, {"Content-Type", "image/png"}};
        if (r.headers.value("If-None-Match") == etag) {
            reply.status = 304;
            reply.reason = "Not Modified";
        } else {
            reply.body = urlCachePicture(version == 1 ? 0xff112233 : 0xff445566);
        }
        return reply;
    }
};

struct URLCacheRowsAnswer {
    ImagePtr image;
    Data data;
    std::optional<core::Error> error;
    int calls = 0;
};

class image_cache_URLCacheRows : public ::testing::Test {
protected:
    void SetUp() override { dispatch::RunLoop::setMainThread(); }
    core::testkit::TempHome home;
    std::shared_ptr<net::URLCache> urlCache = net::URLCache::create(1 << 20, 0);
    std::shared_ptr<RIImageDownloader> downloader = [this] {
        auto configuration = net::URLSessionConfiguration::ephemeralConfiguration();
        configuration.urlCache = urlCache;
        return RIImageDownloader::create(configuration);
    }();
    VersionedPicture picture;
    LoopbackServer server{[this](const RecordedRequest& r) { return picture(r); }};

    URLCacheRowsAnswer download(const std::string& path, std::uint64_t options) {
        URLCacheRowsAnswer answer;
        downloader->downloadImageWithURL(net::URL::parse(server.url(path)), options, nullptr,
                                         [&answer](ImagePtr image, Data data, std::optional<core::Error> error, bool finished) {
                                             if (!finished) return;
                                             answer.image = image;
                                             answer.data = std::move(data);
                                             answer.error = std::move(error);
                                             ++answer.calls;
                                         });
        EXPECT_TRUE(dispatch::RunLoop::main().runUntil([&] { return answer.calls > 0; }, 20));
        return answer;
    }
};

TEST_F(image_cache_URLCacheRows, OnlyUseURLCacheKeepsTheResponse) {
    struct Case {
        const char* path;
        std::uint64_t options;
        bool kept;
    };
    const Case cases[] = {{"/without", 0, false}, {"/with", RIImageDownloaderUseURLCache, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        auto answer = download(c.path, c.options);
        ASSERT_TRUE(answer.image);
        EXPECT_EQ(urlCache->cachedResponse(net::URLRequest(net::URL::parse(server.url(c.path)))) != nullptr, c.kept);
    }
}

TEST_F(image_cache_URLCacheRows, IgnoreCachedResponseReportsNothingNewForTheSameBody) {
    const std::uint64_t refresh = RIImageDownloaderUseURLCache | RIImageDownloaderIgnoreCachedResponse;
    ASSERT_TRUE(download("/p", RIImageDownloaderUseURLCache).image);
    // Revalidated: the 304 stands for the kept body, which is what the caller has already.
    auto same = download("/p", refresh);
    EXPECT_FALSE(same.image);
    EXPECT_FALSE(same.data);
    EXPECT_FALSE(same.error);
    EXPECT_EQ(server.requests().back().headers.value("If-None-Match"), "\"v1\"");
    // Without the option the same answer is a picture again.
    EXPECT_TRUE(download("/p", RIImageDownloaderUseURLCache).image);
    // A changed picture is a picture.
    picture.version = 2;
    auto changed = download("/p", refresh);
    EXPECT_TRUE(changed.image);
    EXPECT_FALSE(changed.error);
}

TEST_F(image_cache_URLCacheRows, A304WithoutAKeptBodyIsRefused) {
    // The request names a version the cache never kept (its own header), so the 304 stands for
    // nothing the downloader has.
    downloader->setValue("\"v1\"", "If-None-Match");
    auto answer = download("/q", RIImageDownloaderUseURLCache | RIImageDownloaderIgnoreCachedResponse);
    EXPECT_FALSE(answer.image);
    EXPECT_TRUE(answer.error);
}

TEST_F(image_cache_URLCacheRows, ARefreshOfAnUnchangedPictureIsReportedOnceAndOfAChangedOneTwice) {
    auto manager = RIImageManager::create(std::make_shared<RIImageCache>("url-cache-rows"), downloader);
    auto url = net::URL::parse(server.url("/r"));
    auto load = [&] {
        std::vector<ImagePtr> reports;
        manager->loadImageWithURL(url, RIImageRefreshCached, nullptr,
                                  [&](ImagePtr image, Data, std::optional<core::Error> error, RIImageCacheKind, bool, std::optional<net::URL>) {
                                      EXPECT_FALSE(error);
                                      reports.push_back(image);
                                  });
        EXPECT_TRUE(dispatch::RunLoop::main().runUntil([&] { return !reports.empty() && !manager->isRunning(); }, 20));
        return reports;
    };
    for (int round = 1; round <= 3; ++round) {
        SCOPED_TRACE(round);
        EXPECT_EQ(load().size(), 1u);
        EXPECT_EQ(server.requestCount(), static_cast<std::size_t>(round));
    }
    picture.version = 2;
    auto reports = load();
    ASSERT_EQ(reports.size(), 2u);
    EXPECT_NE(reports[0], reports[1]);
    EXPECT_EQ(server.requestCount(), 4u);
}

} // namespace
} // namespace image_cache
