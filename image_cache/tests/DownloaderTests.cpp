// The downloader against a loopback server: shared transfers, cancelling, refused statuses, bodies
// that are no picture, progress, notifications and the last-in-first-out order.

#include "image_cache/RIImageDownloader.h"
#include "image_cache/tests/DownloaderTestSupport.h"

#include "platform/core/NotificationCenter.h"
#include "platform/dispatch/RunLoop.h"
#include "platform/net/URLError.h"
#include "platform/net/testing/LoopbackServer.h"

#include <gtest/gtest.h>

#include <atomic>

namespace image_cache {
namespace {

using namespace testsupport;
using image_cache_Downloader = testsupport::DownloaderFixture;

TEST_F(image_cache_Downloader, TwoCallersShareOneTransfer) {
    LoopbackServer server([](const RecordedRequest&) { return pictureReply(); });
    downloader->setSuspended(true);
    Answer a, b;
    auto url = net::URL::parse(server.url("/p.png"));
    auto first = downloader->downloadImageWithURL(url, 0, nullptr, into(a));
    auto second = downloader->downloadImageWithURL(url, 0, nullptr, into(b));
    EXPECT_EQ(first->downloadOperation.lock(), second->downloadOperation.lock());
    EXPECT_EQ(downloader->currentDownloadCount(), 1u);
    downloader->setSuspended(false);
    ASSERT_TRUE(waitFor([&] { return a.calls && b.calls; }));
    ASSERT_TRUE(a.image);
    EXPECT_EQ(a.image, b.image);
    EXPECT_EQ(a.image->pixelWidth(), 3);
    EXPECT_EQ(*a.data, pngBytes());
    EXPECT_EQ(server.requestCount(), 1u);
    auto request = server.requests().front();
    EXPECT_EQ(request.headers.value("Accept"), "image/*;q=0.8");

    Answer none;
    none.calls = -1;
    EXPECT_EQ(downloader->downloadImageWithURL(std::nullopt, 0, nullptr, [&](ImagePtr i, Data, std::optional<core::Error> e, bool f) {
        none.calls = (i || e || f) ? 2 : 1;
    }), nullptr);
    EXPECT_EQ(none.calls, 1);
}

TEST_F(image_cache_Downloader, TheLastTokenCancelsTheTransferAndACancelledOperationIsReplaced) {
    LoopbackServer server([](const RecordedRequest&) { return pictureReply(); });
    downloader->setSuspended(true);
    auto url = net::URL::parse(server.url("/p.png"));
    Answer a, b;
    auto first = downloader->downloadImageWithURL(url, 0, nullptr, into(a));
    auto second = downloader->downloadImageWithURL(url, 0, nullptr, into(b));
    auto operation = first->downloadOperation.lock();
    downloader->cancel(first);
    EXPECT_FALSE(operation->isCancelled());
    downloader->cancel(second);
    EXPECT_TRUE(operation->isCancelled());
    // A cancelled operation still waiting in the queue is not joined: a new request gets its own.
    downloader->cancelAllDownloads();
    Answer c;
    auto third = downloader->downloadImageWithURL(url, 0, nullptr, into(c));
    EXPECT_NE(third->downloadOperation.lock(), operation);
    downloader->setSuspended(false);
    ASSERT_TRUE(waitFor([&] { return c.calls > 0; }));
    EXPECT_TRUE(c.image);
    dispatch::RunLoop::main().pump();
    EXPECT_EQ(a.calls + b.calls, 0);
}

TEST_F(image_cache_Downloader, RefusedAndUselessBodiesReportTheirErrors) {
    LoopbackServer server([](const RecordedRequest& r) {
        Reply reply;
        if (r.target == "/404") reply.status = 404, reply.body = "missing";
        else if (r.target == "/503") reply.status = 503, reply.body = "busy";
        else if (r.target == "/304") reply.status = 304;
        else if (r.target == "/empty") reply.body = "";
        else reply.body = "not a picture at all";
        return reply;
    });
    struct Case {
        const char* path;
        std::string domain;
        long long code;
        std::string description;
        long long status;
    };
    const Case cases[] = {
        {"/404", std::string(net::kURLErrorDomain), -1011, "", 404},
        {"/503", std::string(net::kURLErrorDomain), -1011, "", 503},
        {"/304", std::string(net::kURLErrorDomain), -1011, "", 304},
        {"/empty", kRIImageErrorDomain, 0, "Image data is nil", 0},
        {"/text", kRIImageErrorDomain, 0, "Downloaded image has 0 pixels", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        Answer a;
        downloader->downloadImageWithURL(net::URL::parse(server.url(c.path)), 0, nullptr, into(a));
        ASSERT_TRUE(waitFor([&] { return a.calls > 0; }));
        ASSERT_TRUE(a.error);
        EXPECT_EQ(a.error->domain, c.domain);
        EXPECT_EQ(a.error->code, c.code);
        if (!c.description.empty()) {
            EXPECT_EQ(a.error->description, c.description);
        }
        if (c.status) {
            const core::Value* status = a.error->userInfo.find("statusCode");
            ASSERT_TRUE(status);
            EXPECT_EQ(status->asInt(), c.status);
        }
        EXPECT_FALSE(a.image);
    }
}

TEST_F(image_cache_Downloader, ProgressAndNotificationsInOrder) {
    LoopbackServer server([](const RecordedRequest&) { return pictureReply(); });
    std::vector<std::string> heard;
    auto& center = core::NotificationCenter::defaultCenter();
    std::vector<core::NotificationCenter::Token> tokens;
    for (const char* name : {kRIImageDownloadStartNotification, kRIImageDownloadReceiveResponseNotification,
                             kRIImageDownloadStopNotification, kRIImageDownloadFinishNotification})
        tokens.push_back(center.addObserver(name, [&](const core::Notification& n) { heard.push_back(n.name); }));
    std::mutex mutex;
    std::vector<std::pair<std::int64_t, std::int64_t>> progress;
    Answer a;
    downloader->downloadImageWithURL(net::URL::parse(server.url("/p.png")), 0,
                                     [&](std::int64_t received, std::int64_t expected, std::optional<net::URL> url) {
                                         std::lock_guard lock(mutex);
                                         EXPECT_TRUE(url);
                                         progress.emplace_back(received, expected);
                                     },
                                     into(a));
    ASSERT_TRUE(waitFor([&] { return a.calls > 0 && heard.size() >= 4; }));
    EXPECT_EQ(heard, (std::vector<std::string>{kRIImageDownloadStartNotification, kRIImageDownloadReceiveResponseNotification,
                                               kRIImageDownloadStopNotification, kRIImageDownloadFinishNotification}));
    std::lock_guard lock(mutex);
    const auto size = static_cast<std::int64_t>(pngBytes().size());
    ASSERT_GE(progress.size(), 3u);
    EXPECT_EQ(progress[0], std::make_pair(std::int64_t{0}, std::int64_t{-1}));
    EXPECT_EQ(progress[1], std::make_pair(std::int64_t{0}, size));
    EXPECT_EQ(progress.back(), std::make_pair(size, size));
}

TEST_F(image_cache_Downloader, TheNewestDownloadStartsFirstInLastInFirstOutOrder) {
    std::mutex mutex;
    std::vector<std::string> order;
    LoopbackServer server([&](const RecordedRequest& r) {
        std::lock_guard lock(mutex);
        order.push_back(r.target);
        return pictureReply();
    });
    downloader->executionOrder = RIImageExecutionOrder::lastInFirstOut;
    downloader->setMaxConcurrentDownloads(1);
    downloader->setSuspended(true);
    Answer answers[3];
    for (int i = 0; i < 3; ++i)
        downloader->downloadImageWithURL(net::URL::parse(server.url("/" + std::to_string(i))), 0, nullptr, into(answers[i]));
    downloader->setSuspended(false);
    ASSERT_TRUE(waitFor([&] { return answers[0].calls && answers[1].calls && answers[2].calls; }));
    std::lock_guard lock(mutex);
    EXPECT_EQ(order, (std::vector<std::string>{"/2", "/1", "/0"}));
}

// Read while the server holds the reply back: the operation lets its task go once done.
TEST_F(image_cache_Downloader, PriorityOptionsSetTheTransfersPriority) {
    const struct {
        std::uint64_t options;
        float priority;
    } cases[] = {
        {0, net::URLSessionTask::kPriorityDefault},
        {RIImageDownloaderLowPriority, net::URLSessionTask::kPriorityLow},
        {RIImageDownloaderHighPriority, net::URLSessionTask::kPriorityHigh},
        {RIImageDownloaderHighPriority | RIImageDownloaderLowPriority, net::URLSessionTask::kPriorityHigh},
    };
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(i);
        LoopbackServer server([](const RecordedRequest&) {
            Reply reply = pictureReply();
            reply.mode = Reply::Mode::stallBeforeHead;
            return reply;
        });
        Answer a;
        auto token = downloader->downloadImageWithURL(net::URL::parse(server.url("/p.png")), cases[i].options, nullptr, into(a));
        auto operation = token->downloadOperation.lock();
        ASSERT_TRUE(waitFor([&] { return server.requestCount() == 1; }));
        ASSERT_TRUE(operation->dataTask());
        EXPECT_EQ(operation->dataTask()->priority(), cases[i].priority);
        server.releaseStalls();
        ASSERT_TRUE(waitFor([&] { return a.calls > 0; }));
        EXPECT_TRUE(a.image);
    }
}

TEST_F(image_cache_Downloader, AHugeAnnouncedLengthReservesNothingUpFront) {
    LoopbackServer server([](const RecordedRequest&) {
        Reply reply = pictureReply();
        reply.mode = Reply::Mode::truncateBody;
        reply.headers.emplace_back("Content-Length", "1000000000000");
        return reply;
    });
    Answer a;
    downloader->downloadImageWithURL(net::URL::parse(server.url("/huge.png")), 0, nullptr, into(a));
    ASSERT_TRUE(waitFor([&] { return a.calls > 0; }));
    EXPECT_TRUE(a.error);  // the body ends long before its announced length
}

} // namespace
} // namespace image_cache
