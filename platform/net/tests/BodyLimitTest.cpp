#include "platform/dispatch/Clock.h"
#include "platform/net/URLError.h"
#include "platform/net/URLSession.h"
#include "platform/net/testing/GzipBomb.h"
#include "platform/net/testing/LoopbackServer.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>

using namespace net;
using net::testkit::LoopbackServer;
using net::testkit::RecordedRequest;
using net::testkit::Reply;

namespace {

// Counts the body bytes that reach the delegate and waits for the task's end.
class Counter : public URLSessionDelegate {
public:
    void didReceiveData(const Session&, const DataTask&, const core::Bytes& data) override {
        std::lock_guard lock(mutex_);
        received_ += data.size();
    }
    void didCompleteWithError(const Session&, const Task&, const std::optional<core::Error>& error) override {
        {
            std::lock_guard lock(mutex_);
            error_ = error;
            done_ = true;
        }
        changed_.notify_all();
    }
    void didFinishDownloadingToURL(const Session&, const DownloadTask&, const URL&) override {}

    void reset() {
        std::lock_guard lock(mutex_);
        done_ = false;
        error_.reset();
    }
    bool waitForEnd() {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, std::chrono::seconds(60), [&] { return done_; });
    }
    std::size_t received() {
        std::lock_guard lock(mutex_);
        return received_;
    }
    std::optional<core::Error> error() {
        std::lock_guard lock(mutex_);
        return error_;
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::size_t received_ = 0;
    std::optional<core::Error> error_;
    bool done_ = false;
};

constexpr std::int64_t kLimit = 1 << 20;

Reply replyFor(const std::string& target) {
    if (target == "/bomb") {
        // 256 MiB of zeros sent as about 256 KiB of gzip.
        Reply reply = Reply::text(200, testkit::gzipOfZeros(std::size_t(256) << 20), "application/json");
        reply.headers.emplace_back("Content-Encoding", "gzip");
        return reply;
    }
    if (target == "/plain") return Reply::text(200, std::string(std::size_t(kLimit) * 4, 'x'));
    if (target == "/at-limit") return Reply::text(200, std::string(std::size_t(kLimit), 'x'));
    return Reply::text(200, std::string(std::size_t(kLimit) + 1, 'x'));
}

} // namespace

// The limit counts decoded bytes: a small compressed reply that inflates past it ends as soon as
// it passes, and what reached the delegate stays within the limit plus one chunk.
TEST(BodyLimit, DataTasksEndOnceTheDecodedBodyPassesTheLimit) {
    LoopbackServer server([](const RecordedRequest& r) { return replyFor(r.target); });
    struct Case { const char* path; bool refused; };
    const Case cases[] = {{"/bomb", true}, {"/plain", true}, {"/one-past", true}, {"/at-limit", false}};
    for (const auto& c : cases) {
        auto counter = std::make_shared<Counter>();
        auto configuration = URLSessionConfiguration::ephemeralConfiguration();
        configuration.maximumBodyLength = kLimit;
        auto session = URLSession::create(configuration, counter);
        auto task = session->dataTask(URLRequest(URL::parse(server.url(c.path))));
        task->resume();
        ASSERT_TRUE(counter->waitForEnd()) << c.path;
        if (c.refused) {
            ASSERT_TRUE(counter->error()) << c.path;
            EXPECT_EQ(counter->error()->code, -1103) << c.path;
            EXPECT_TRUE(isURLError(*counter->error(), URLErrorCode::dataLengthExceedsMaximum)) << c.path;
            EXPECT_LE(counter->received(), std::size_t(kLimit)) << c.path;
        } else {
            EXPECT_FALSE(counter->error()) << c.path;
            EXPECT_EQ(counter->received(), std::size_t(kLimit)) << c.path;
        }
        session->invalidateAndCancel();
    }
}

TEST(BodyLimit, DownloadsToAFileAreNotLimited) {
    LoopbackServer server([](const RecordedRequest& r) { return replyFor(r.target); });
    auto counter = std::make_shared<Counter>();
    auto configuration = URLSessionConfiguration::ephemeralConfiguration();
    configuration.maximumBodyLength = kLimit;
    auto session = URLSession::create(configuration, counter);
    auto task = session->downloadTask(URLRequest(URL::parse(server.url("/plain"))));
    task->resume();
    ASSERT_TRUE(counter->waitForEnd());
    EXPECT_FALSE(counter->error());
    EXPECT_EQ(task->countOfBytesReceived(), kLimit * 4);
    session->invalidateAndCancel();
}

// A body that keeps trickling is never idle, so only the resource deadline ends it.
TEST(BodyLimit, TheResourceDeadlineEndsATrickleThatIsNeverIdle) {
    auto clock = std::make_shared<dispatch::VirtualClock>();
    dispatch::Clock::setCurrent(clock);
    LoopbackServer server([](const RecordedRequest& r) {
        Reply reply = Reply::json(std::string(1000, ' ') + "{}");
        if (r.target == "/next") return reply;
        reply.mode = Reply::Mode::trickle;
        reply.trickleIntervalMs = 5;
        return reply;
    });
    auto counter = std::make_shared<Counter>();
    auto configuration = URLSessionConfiguration::ephemeralConfiguration();
    configuration.timeoutIntervalForResource = 10;
    auto session = URLSession::create(configuration, counter);
    auto task = session->dataTask(URLRequest(URL::parse(server.url("/"))));
    task->resume();
    while (counter->received() < 3) std::this_thread::yield();
    clock->advance(9.9);
    EXPECT_NE(task->state(), URLSessionTask::State::completed);
    clock->advance(0.2);
    ASSERT_TRUE(counter->waitForEnd());
    EXPECT_TRUE(isURLError(*counter->error(), URLErrorCode::timedOut));
    // The session goes on: the next request to the same host is answered.
    counter->reset();
    session->dataTask(URLRequest(URL::parse(server.url("/next"))))->resume();
    ASSERT_TRUE(counter->waitForEnd());
    EXPECT_FALSE(counter->error());
    server.releaseStalls();
    session->invalidateAndCancel();
    dispatch::Clock::setCurrent(nullptr);
}

// libcurl refuses a header line over 100 KB and a head over 300 KB; the task says the header was
// too large, not that the connection was lost or something unknown happened. A head just within
// the limits (42,000 short fields) arrives whole.
TEST(BodyLimit, AnOversizedHeaderEndsTheTaskAsSuch) {
    const auto manyFields = [](int count, std::size_t valueSize) {
        Reply reply = Reply::text(200, "ok");
        reply.addShortFields(count, valueSize);
        return reply;
    };
    LoopbackServer server([&](const RecordedRequest& r) {
        if (r.target == "/line") return manyFields(1, 200000);
        if (r.target == "/head") return manyFields(40000, 10);
        return manyFields(42000, 0);
    });
    struct Case { const char* path; bool refused; };
    const Case cases[] = {{"/line", true}, {"/head", true}, {"/many", false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        auto counter = std::make_shared<Counter>();
        auto session = URLSession::create(URLSessionConfiguration::ephemeralConfiguration(), counter);
        auto task = session->dataTask(URLRequest(URL::parse(server.url(c.path))));
        task->resume();
        ASSERT_TRUE(counter->waitForEnd());
        if (c.refused) {
            ASSERT_TRUE(counter->error());
            EXPECT_TRUE(isURLError(*counter->error(), URLErrorCode::cannotParseResponse)) << counter->error()->code;
            EXPECT_EQ(counter->error()->description, "The response's header is too large.");
        } else {
            EXPECT_FALSE(counter->error());
            auto response = std::dynamic_pointer_cast<const HTTPURLResponse>(task->response());
            ASSERT_TRUE(response);
            EXPECT_EQ(response->allHeaderFields().size(), 42000u + 2u);  // and Content-Type, Content-Length
        }
        session->invalidateAndCancel();
    }
}
