// The downloader's requests and sessions against loopback servers: credentials for Basic and
// Digest challenges, the header filter, operation classes, replacing and invalidating the
// session, time-outs longer than 15 s, server-trust answers and the activity indicator hook.

#include "image_cache/RIImageDownloader.h"
#include "image_cache/tests/DownloaderTestSupport.h"

#include "platform/core/NotificationCenter.h"
#include "platform/dispatch/Clock.h"
#include "platform/net/URLError.h"
#include "platform/net/testing/DigestAuthorization.h"
#include "platform/net/testing/LoopbackServer.h"
#include "platform/net/testing/TrustEnvironment.h"

#include <gtest/gtest.h>

#include <atomic>

namespace image_cache {
namespace {

using namespace testsupport;
using image_cache_DownloaderSession = testsupport::DownloaderFixture;

// "/basic" wants Basic u:p, "/digest" the MD5 Digest answer for u:p; both offer their scheme
// on every refusal.
Reply authenticatingReply(const RecordedRequest& r) {
    const std::string authorization = r.headers.value("Authorization").value_or("");
    const bool basic = r.target == "/basic";
    if (basic ? authorization == "Basic dTpw" : net::testkit::digestAnswerMatches(r, "u", "p", "n0nce")) return pictureReply();
    Reply reply = Reply::text(401, "denied");
    reply.headers.emplace_back("WWW-Authenticate", basic ? "Basic realm=\"pictures\""
                                                         : "Digest realm=\"pictures\", nonce=\"n0nce\", qop=\"auth\", algorithm=MD5");
    return reply;
}

TEST_F(image_cache_DownloaderSession, CredentialsAnswerBasicAndDigestChallengesOnce) {
    LoopbackServer server(authenticatingReply);
    struct Case {
        const char* name;
        const char* path;
        std::optional<net::URLCredential> urlCredential;
        std::optional<std::pair<std::string, std::string>> namePair;
        bool loads;
        std::size_t requests;
        long long errorCode;  // when it does not load
    };
    const long long cancelled = static_cast<long long>(net::URLErrorCode::cancelled);
    const long long refused = static_cast<long long>(net::URLErrorCode::badServerResponse);
    const Case cases[] = {
        {"basic, credential", "/basic", net::URLCredential{"u", "p"}, {}, true, 2, 0},
        {"basic, name and password", "/basic", {}, std::pair{"u", "p"}, true, 2, 0},
        {"basic, the credential wins over the pair", "/basic", net::URLCredential{"u", "p"}, std::pair{"u", "x"}, true, 2, 0},
        {"basic, wrong credential: asked once more, then cancelled", "/basic", net::URLCredential{"u", "x"}, {}, false, 2, cancelled},
        {"digest, credential", "/digest", net::URLCredential{"u", "p"}, {}, true, 3, 0},
        {"digest, name and password", "/digest", {}, std::pair{"u", "p"}, true, 3, 0},
        {"digest, wrong password", "/digest", {}, std::pair{"u", "x"}, false, 3, cancelled},
        {"no credential: the refusal is the answer", "/basic", {}, {}, false, 1, refused},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        downloader = RIImageDownloader::create(net::URLSessionConfiguration::ephemeralConfiguration());
        downloader->urlCredential = c.urlCredential;
        if (c.namePair) downloader->username = c.namePair->first, downloader->password = c.namePair->second;
        const std::size_t before = server.requestCount();
        Answer a;
        downloader->downloadImageWithURL(net::URL::parse(server.url(c.path)), 0, nullptr, into(a));
        ASSERT_TRUE(waitFor([&] { return a.calls > 0; }));
        EXPECT_EQ(a.calls, 1);
        EXPECT_EQ(server.requestCount() - before, c.requests);
        if (c.loads) {
            EXPECT_TRUE(a.image);
            EXPECT_FALSE(a.error);
        } else {
            EXPECT_FALSE(a.image);
            ASSERT_TRUE(a.error);
            EXPECT_EQ(a.error->code, c.errorCode);
        }
    }
}

TEST_F(image_cache_DownloaderSession, TheHeaderFilterDecidesEachRequestsFields) {
    LoopbackServer server([](const RecordedRequest&) { return pictureReply(); });
    std::vector<std::string> seen;
    downloader->setValue("kept", "X-Kept");
    downloader->headersFilter = [&seen](const net::URL& url, const std::map<std::string, std::string>& headers) {
        seen.push_back(url.absoluteString() + " " + headers.at("Accept") + " " + headers.at("X-Kept"));
        auto out = headers;
        out.erase("Accept");
        out["X-Path"] = url.path();
        return out;
    };
    Answer a;
    downloader->downloadImageWithURL(net::URL::parse(server.url("/p.png")), 0, nullptr, into(a));
    ASSERT_TRUE(waitFor([&] { return a.calls > 0; }));
    EXPECT_TRUE(a.image);
    EXPECT_EQ(seen, std::vector<std::string>{server.url("/p.png") + " image/*;q=0.8 kept"});
    ASSERT_EQ(server.requestCount(), 1u);
    const auto request = server.requests().front();
    EXPECT_EQ(request.headers.value("X-Path"), "/p.png");
    EXPECT_EQ(request.headers.value("X-Kept"), "kept");
    EXPECT_NE(request.headers.value("Accept"), "image/*;q=0.8");  // libcurl's own, if any
    // The downloader's own fields are unchanged.
    EXPECT_EQ(downloader->valueForHTTPHeaderField("Accept"), "image/*;q=0.8");
}

// An operation class of the test's own: the default operation that records what it was given.
class RecordingOperation : public RIImageDownloaderOperation {
public:
    RecordingOperation(net::URLRequest request, std::shared_ptr<net::URLSession> session, std::uint64_t options)
        : RIImageDownloaderOperation(std::move(request), std::move(session), options) {
        ++made;
    }
    static inline std::atomic<int> made{0};
    static inline std::atomic<int> responses{0};
    void didReceiveResponse(const Session& session, const DataTask& task, std::shared_ptr<const net::HTTPURLResponse> response,
                            std::function<void(net::ResponseDisposition)> completion) override {
        ++responses;
        RIImageDownloaderOperation::didReceiveResponse(session, task, std::move(response), std::move(completion));
    }
};

// An operation that does not adopt the downloader's operation interface.
class PlainOperation : public dispatch::Operation {
public:
    PlainOperation(net::URLRequest, std::shared_ptr<net::URLSession>, std::uint64_t) {}
};

TEST_F(image_cache_DownloaderSession, OnlyConformingOperationClassesAreTaken) {
    LoopbackServer server([](const RecordedRequest&) { return pictureReply(); });
    struct Case {
        const char* name;
        std::optional<RIImageDownloaderOperationClass> operationClass;
        bool recording;
    };
    const Case cases[] = {
        {"a subclass of the default operation", RIImageDownloaderOperationClass::of<RecordingOperation>(), true},
        {"an operation without the interface", RIImageDownloaderOperationClass::of<PlainOperation>(), false},
        {"not an operation at all", RIImageDownloaderOperationClass::of<std::string>(), false},
        {"none", std::nullopt, false},
    };
    int path = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        // Each row starts from the recording class, so a refused class visibly goes back to the default.
        downloader->setOperationClass(RIImageDownloaderOperationClass::of<RecordingOperation>());
        downloader->setOperationClass(c.operationClass);
        EXPECT_TRUE(downloader->operationClass().make);
        RecordingOperation::made = 0;
        RecordingOperation::responses = 0;
        Answer a;
        auto token = downloader->downloadImageWithURL(net::URL::parse(server.url("/" + std::to_string(path++))), 0, nullptr, into(a));
        const bool recording = std::dynamic_pointer_cast<RecordingOperation>(token->downloadOperation.lock()) != nullptr;
        ASSERT_TRUE(waitFor([&] { return a.calls > 0; }));
        EXPECT_TRUE(a.image);
        EXPECT_EQ(recording, c.recording);
        EXPECT_EQ(RecordingOperation::made.load(), c.recording ? 1 : 0);
        EXPECT_EQ(RecordingOperation::responses.load(), c.recording ? 1 : 0);
    }
}

TEST_F(image_cache_DownloaderSession, ANewSessionCancelsTheRunningLoadAndCarriesTheDownloadTimeout) {
    LoopbackServer server([](const RecordedRequest& r) {
        Reply reply = pictureReply();
        if (r.target == "/slow") reply.mode = Reply::Mode::stallBeforeHead;
        return reply;
    });
    Answer running;
    downloader->downloadImageWithURL(net::URL::parse(server.url("/slow")), 0, nullptr, into(running));
    ASSERT_TRUE(waitFor([&] { return server.requestCount() == 1; }));
    downloader->downloadTimeout = 25;
    downloader->createNewSessionWithConfiguration(net::URLSessionConfiguration::ephemeralConfiguration());
    ASSERT_TRUE(waitFor([&] { return running.calls > 0; }));
    ASSERT_TRUE(running.error);
    EXPECT_TRUE(net::isURLError(*running.error, net::URLErrorCode::cancelled));
    EXPECT_EQ(downloader->sessionConfiguration().timeoutIntervalForRequest, 25);

    Answer next;
    auto token = downloader->downloadImageWithURL(net::URL::parse(server.url("/p.png")), 0, nullptr, into(next));
    ASSERT_TRUE(waitFor([&] { return next.calls > 0; }));
    EXPECT_TRUE(next.image);
    server.releaseStalls();
}

TEST_F(image_cache_DownloaderSession, WithoutItsSessionAnOperationMakesItsOwn) {
    LoopbackServer server([](const RecordedRequest&) { return pictureReply(); });
    for (bool cancel : {true, false}) {
        SCOPED_TRACE(cancel ? "invalidated and cancelled" : "invalidated when done");
        downloader = RIImageDownloader::create(net::URLSessionConfiguration::ephemeralConfiguration());
        downloader->invalidateSessionAndCancel(cancel);
        Answer a;
        auto token = downloader->downloadImageWithURL(net::URL::parse(server.url("/p.png")), 0, nullptr, into(a));
        ASSERT_TRUE(waitFor([&] { return a.calls > 0; }));
        EXPECT_TRUE(a.image);
        EXPECT_FALSE(a.error);
    }
}

TEST_F(image_cache_DownloaderSession, TheSharedDownloaderKeepsItsSession) {
    LoopbackServer server([](const RecordedRequest&) {
        Reply reply = pictureReply();
        reply.mode = Reply::Mode::stallBeforeHead;
        return reply;
    });
    auto shared = RIImageDownloader::sharedDownloader();
    Answer a;
    shared->downloadImageWithURL(net::URL::parse(server.url("/shared.png")), 0, nullptr, into(a));
    ASSERT_TRUE(waitFor([&] { return server.requestCount() == 1; }));
    shared->invalidateSessionAndCancel(true);
    server.releaseStalls();
    ASSERT_TRUE(waitFor([&] { return a.calls > 0; }));
    EXPECT_TRUE(a.image);
    EXPECT_FALSE(a.error);
}

// The session times a request out after the smaller of its own time-out and the session's.
TEST_F(image_cache_DownloaderSession, ADownloadTimeoutLongerThanFifteenSecondsHolds) {
    auto clock = std::make_shared<dispatch::VirtualClock>();
    dispatch::Clock::setCurrent(clock);
    LoopbackServer server([](const RecordedRequest&) {
        Reply reply = pictureReply();
        reply.mode = Reply::Mode::stallAfterHead;
        return reply;
    });
    for (bool newSession : {false, true}) {
        SCOPED_TRACE(newSession ? "a session made for it" : "the first session");
        downloader = RIImageDownloader::create(net::URLSessionConfiguration::ephemeralConfiguration());
        downloader->downloadTimeout = 25;
        if (newSession) downloader->createNewSessionWithConfiguration(net::URLSessionConfiguration::ephemeralConfiguration());
        std::atomic<bool> responded{false};
        Answer a;
        downloader->downloadImageWithURL(net::URL::parse(server.url("/p.png")), 0,
                                         [&](std::int64_t, std::int64_t expected, std::optional<net::URL>) {
                                             if (expected >= 0) responded = true;
                                         },
                                         into(a));
        ASSERT_TRUE(waitFor([&] { return responded.load(); }));
        clock->advance(15.5);
        dispatch::RunLoop::main().runFor(0.2);
        EXPECT_EQ(a.calls, 0);  // past the old 15 s
        clock->advance(10);
        ASSERT_TRUE(waitFor([&] { return a.calls > 0; }));
        ASSERT_TRUE(a.error);
        EXPECT_TRUE(net::isURLError(*a.error, net::URLErrorCode::timedOut));
    }
    server.releaseStalls();
    dispatch::Clock::setCurrent(nullptr);
}

TEST_F(image_cache_DownloaderSession, ASelfSignedServerLoadsOnlyWithAllowInvalidCertificates) {
    const auto& self = net::testkit::certs().selfSigned;
    LoopbackServer server([](const RecordedRequest&) { return pictureReply(); },
                          net::testkit::TlsIdentity{self.certificatePEM, self.keyPEM});
    // The order matters: a chain accepted for one load must not pass for a later one without the option.
    const std::pair<std::uint64_t, bool> rows[] = {
        {0, false}, {RIImageDownloaderAllowInvalidCertificates, true}, {0, false}, {RIImageDownloaderAllowInvalidCertificates, true}};
    int path = 0;
    for (const auto& [options, loads] : rows) {
        SCOPED_TRACE(path);
        Answer a;
        downloader->downloadImageWithURL(net::URL::parse(server.url("/" + std::to_string(path++))), options, nullptr, into(a));
        ASSERT_TRUE(waitFor([&] { return a.calls > 0; }));
        EXPECT_EQ(static_cast<bool>(a.image), loads);
        EXPECT_EQ(static_cast<bool>(a.error), !loads);
        if (a.error) {
            EXPECT_EQ(a.error->domain, net::kURLErrorDomain);
        }
    }
}

TEST_F(image_cache_DownloaderSession, ABodyPastTheSessionsLimitEndsTheLoad) {
    // Ten times the picture's bytes: not a picture, and longer than the limit below.
    LoopbackServer server([](const RecordedRequest&) {
        Reply reply = pictureReply();
        reply.repeat = 10;
        return reply;
    });
    EXPECT_EQ(downloader->sessionConfiguration().maximumBodyLength, RIImageDownloader::kDefaultMaximumBodyLength);
    auto configuration = net::URLSessionConfiguration::ephemeralConfiguration();
    configuration.maximumBodyLength = static_cast<std::int64_t>(testsupport::pngBytes().size()) * 2;
    downloader = RIImageDownloader::create(configuration);
    Answer a;
    downloader->downloadImageWithURL(net::URL::parse(server.url("/long")), 0, nullptr, into(a));
    ASSERT_TRUE(waitFor([&] { return a.calls > 0; }));
    EXPECT_FALSE(a.image);
    ASSERT_TRUE(a.error);
    EXPECT_TRUE(net::isURLError(*a.error, net::URLErrorCode::dataLengthExceedsMaximum));
}

// The indicator a program registers with the object runtime.
class TestActivityIndicator : public core::Object, public RINetworkActivityIndicatorInterface {
    QUILLORA_CLASS(RINetworkActivityIndicator)
    void startActivity() override { ++starts; }
    void stopActivity() override { ++stops; }
    int starts = 0;
    int stops = 0;
};

TEST_F(image_cache_DownloaderSession, TheActivityIndicatorHearsStartsAndStopsWhenItsClassExists) {
    LoopbackServer server([](const RecordedRequest&) { return pictureReply(); });
    ASSERT_FALSE(core::ClassRegistry::exists(kRINetworkActivityIndicatorClassName));
    // Without the class nothing listens: a download goes as usual.
    RIImageDownloader::initialize();
    Answer before;
    downloader->downloadImageWithURL(net::URL::parse(server.url("/0")), 0, nullptr, into(before));
    ASSERT_TRUE(waitFor([&] { return before.calls > 0; }));

    auto shared = core::make<TestActivityIndicator>();
    core::ClassRegistry::registerClass(kRINetworkActivityIndicatorClassName, [shared] { return shared; });
    // Running the hook again registers once, not twice.
    RIImageDownloader::initialize();
    RIImageDownloader::initialize();
    Answer a;
    downloader->downloadImageWithURL(net::URL::parse(server.url("/1")), 0, nullptr, into(a));
    ASSERT_TRUE(waitFor([&] { return a.calls > 0 && shared->stops > 0; }));
    EXPECT_EQ(shared->starts, 1);
    EXPECT_EQ(shared->stops, 1);
}

} // namespace
} // namespace image_cache
