#pragma once
// For the downloader's tests: a small picture, a reply that serves it, and a slot that keeps the
// final answer a download gives.

#include "image_cache/RIImageDownloader.h"

#include "platform/dispatch/RunLoop.h"
#include "platform/net/testing/LoopbackServer.h"

#include <gtest/gtest.h>

namespace image_cache::testsupport {

using net::testkit::LoopbackServer;
using net::testkit::RecordedRequest;
using net::testkit::Reply;

inline std::string pngBytes() {
    auto image = std::make_shared<gfx::Image>(3, 2, 1, std::vector<uint32_t>(6, 0xff336699), false);
    return *image->pngData();
}

inline net::testkit::Reply pictureReply() {
    net::testkit::Reply reply;
    reply.body = pngBytes();
    reply.headers.emplace_back("Content-Type", "image/png");
    return reply;
}

struct Answer {
    ImagePtr image;
    Data data;
    std::optional<core::Error> error;
    bool finished = false;
    int calls = 0;
};

class DownloaderFixture : public ::testing::Test {
protected:
    void SetUp() override { dispatch::RunLoop::setMainThread(); }
    std::shared_ptr<RIImageDownloader> downloader = RIImageDownloader::create(net::URLSessionConfiguration::ephemeralConfiguration());
    // Keeps the final answer (partial ones are skipped) and counts them.
    static RIImageDownloaderCompletedBlock into(Answer& a) {
        return [&a](ImagePtr image, Data data, std::optional<core::Error> error, bool finished) {
            if (!finished) return;
            a.image = image;
            a.data = std::move(data);
            a.error = std::move(error);
            a.finished = finished;
            ++a.calls;
        };
    }
    static bool waitFor(const std::function<bool()>& predicate) { return dispatch::RunLoop::main().runUntil(predicate, 20); }
};

} // namespace image_cache::testsupport
