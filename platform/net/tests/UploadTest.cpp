// Upload bodies sent as they are read: files, caller streams (chunked, paused while the stream
// has nothing), and bodies that go again after a redirect.
#include "platform/core/Files.h"
#include "platform/core/Stream.h"
#include "platform/core/testing/TempHome.h"
#include "platform/net/URLError.h"
#include "platform/net/URLSession.h"
#include "platform/net/testing/LoopbackServer.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <thread>

using namespace net;
using net::testkit::LoopbackServer;
using net::testkit::RecordedRequest;
using net::testkit::Reply;

namespace {

class UploadRecorder : public URLSessionDelegate {
public:
    // Answers each body-stream question in turn; past the end of the list there is no stream.
    std::vector<std::shared_ptr<core::InputStream>> streams;

    void needNewBodyStream(const Session&, const Task&, std::function<void(std::shared_ptr<core::InputStream>)> completion) override {
        std::shared_ptr<core::InputStream> next;
        {
            std::lock_guard lock(mutex_);
            if (asked_ < streams.size()) next = streams[asked_];
            ++asked_;
        }
        changed_.notify_all();
        completion(next);
    }
    void didSendBodyData(const Session&, const Task&, std::int64_t, std::int64_t total, std::int64_t expected) override {
        {
            std::lock_guard lock(mutex_);
            lastSent_ = {total, expected};
        }
        changed_.notify_all();
    }
    void didCompleteWithError(const Session&, const Task&, const std::optional<core::Error>& error) override {
        {
            std::lock_guard lock(mutex_);
            error_ = error;
            done_ = true;
        }
        changed_.notify_all();
    }

    bool waitUntilDone() {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, std::chrono::seconds(20), [&] { return done_; });
    }
    bool waitUntilSent(std::int64_t n) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, std::chrono::seconds(20), [&] { return lastSent_.first >= n; });
    }
    bool waitUntilAsked(std::size_t n) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, std::chrono::seconds(20), [&] { return asked_ >= n; });
    }
    std::optional<core::Error> error() {
        std::lock_guard lock(mutex_);
        return error_;
    }
    std::size_t asked() {
        std::lock_guard lock(mutex_);
        return asked_;
    }
    std::pair<std::int64_t, std::int64_t> lastSent() {
        std::lock_guard lock(mutex_);
        return lastSent_;
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::size_t asked_ = 0;
    bool done_ = false;
    std::optional<core::Error> error_;
    std::pair<std::int64_t, std::int64_t> lastSent_{0, 0};
};

struct UploadFixture : ::testing::Test {
    core::testkit::TempHome home;
    std::shared_ptr<UploadRecorder> recorder = std::make_shared<UploadRecorder>();
    std::shared_ptr<URLSession> session = URLSession::create(URLSessionConfiguration::ephemeralConfiguration(), recorder);

    void TearDown() override { session->invalidateAndCancel(); }

    URLRequest post(const std::string& url, const std::string& method = "POST") {
        URLRequest r(URL::parse(url));
        r.httpMethod = method;
        return r;
    }
    std::string writeFile(const std::string& name, const std::string& content) {
        std::string path = home.path() + "/" + name;
        EXPECT_TRUE(core::files::writeAtomically(path, std::string_view(content)));
        return path;
    }
    // Starts a streamed upload to `url` whose body is the returned producer's, once the session
    // has asked the delegate for it.
    std::shared_ptr<core::ProducerStream> startStreamedUpload(const std::string& url) {
        auto producer = core::ProducerStream::create();
        recorder->streams = {producer};
        streamedTask = session->streamedUploadTask(post(url));
        streamedTask->resume();
        EXPECT_TRUE(recorder->waitUntilAsked(1));
        return producer;
    }
    std::shared_ptr<URLSessionUploadTask> streamedTask;
};

std::string pattern(std::size_t size) {
    std::string s(size, '\0');
    for (std::size_t i = 0; i < size; ++i) s[i] = static_cast<char>('a' + (i * 7 + i / 251) % 26);
    return s;
}

} // namespace

TEST_F(UploadFixture, AFileGoesWithItsLengthAndArrivesByteExact) {
    LoopbackServer server([](const RecordedRequest&) { return Reply::text(200, "ok"); });
    const std::string content = pattern(300000);
    auto path = writeFile("body.bin", content);
    for (std::string method : {"POST", "PUT"}) {
        recorder = std::make_shared<UploadRecorder>();
        session = URLSession::create(URLSessionConfiguration::ephemeralConfiguration(), recorder);
        auto task = session->uploadTask(post(server.url("/up"), method), URL::fileURL(path));
        task->resume();
        ASSERT_TRUE(recorder->waitUntilDone());
        EXPECT_FALSE(recorder->error());
        auto seen = server.requests().back();
        EXPECT_EQ(seen.method, method);
        EXPECT_EQ(seen.headers.value("Content-Length"), std::to_string(content.size()));
        EXPECT_FALSE(seen.headers.contains("Transfer-Encoding"));
        EXPECT_FALSE(seen.headers.contains("Expect"));
        EXPECT_TRUE(seen.body == content);
        EXPECT_EQ(task->countOfBytesExpectedToSend(), static_cast<std::int64_t>(content.size()));
        EXPECT_EQ(recorder->lastSent(), std::make_pair(static_cast<std::int64_t>(content.size()),
                                                       static_cast<std::int64_t>(content.size())));
        session->invalidateAndCancel();
    }
}

TEST_F(UploadFixture, AMissingFileFailsTheTaskWithoutARequest) {
    LoopbackServer server([](const RecordedRequest&) { return Reply::text(200, "ok"); });
    auto task = session->uploadTask(post(server.url("/up")), URL::fileURL(home.path() + "/gone"));
    task->resume();
    ASSERT_TRUE(recorder->waitUntilDone());
    ASSERT_TRUE(recorder->error());
    EXPECT_EQ(server.requestCount(), 0u);
}

TEST_F(UploadFixture, AStreamedUploadGoesChunkedAndWaitsForItsProducer) {
    LoopbackServer server([](const RecordedRequest&) { return Reply::text(200, "ok"); });
    auto producer = startStreamedUpload(server.url("/stream"));
    // The pieces come from another thread while the transfer is paused for want of bytes.
    std::thread writer([&] {
        for (int i = 0; i < 5; ++i) producer->write("piece" + std::to_string(i) + ";");
        producer->write(pattern(70000));
        producer->finish();
    });
    writer.join();
    ASSERT_TRUE(recorder->waitUntilDone());
    EXPECT_FALSE(recorder->error());
    auto seen = server.requests().at(0);
    EXPECT_EQ(seen.headers.value("Transfer-Encoding"), "chunked");
    EXPECT_FALSE(seen.headers.contains("Content-Length"));
    EXPECT_TRUE(seen.body == "piece0;piece1;piece2;piece3;piece4;" + pattern(70000));
    EXPECT_EQ(streamedTask->countOfBytesExpectedToSend(), -1);
    EXPECT_EQ(recorder->asked(), 1u);
}

// Progress reports may wait a few busy loop turns to reach the delegate together, never while
// the transfer waits: here for its producer's next bytes.
TEST_F(UploadFixture, WhatWasSentIsReportedWhileTheUploadWaitsForMore) {
    LoopbackServer server([](const RecordedRequest&) { return Reply::text(200, "ok"); });
    auto producer = startStreamedUpload(server.url("/stream"));
    const std::string first = pattern(1500000); // several pieces, a loop turn each
    producer->write(first);
    EXPECT_TRUE(recorder->waitUntilSent(static_cast<std::int64_t>(first.size())));
    producer->finish();
    ASSERT_TRUE(recorder->waitUntilDone());
    EXPECT_FALSE(recorder->error());
    EXPECT_TRUE(server.requests().at(0).body == first);
}

TEST_F(UploadFixture, AStreamedUploadWithoutAStreamOrWithAFailingOneFails) {
    LoopbackServer server([](const RecordedRequest&) { return Reply::text(200, "ok"); });
    auto failing = core::ProducerStream::create();
    failing->write(std::string_view("partial"));
    failing->fail(core::Error{"test", 1, "broken", {}});
    for (auto stream : {std::shared_ptr<core::ProducerStream>(), failing}) {
        recorder = std::make_shared<UploadRecorder>();
        if (stream) recorder->streams = {stream};
        session = URLSession::create(URLSessionConfiguration::ephemeralConfiguration(), recorder);
        session->streamedUploadTask(post(server.url("/stream")))->resume();
        ASSERT_TRUE(recorder->waitUntilDone());
        ASSERT_TRUE(recorder->error());
        EXPECT_TRUE(isURLError(*recorder->error(), URLErrorCode::requestBodyStreamExhausted)) << recorder->error()->code;
        session->invalidateAndCancel();
    }
}

// A redirect that keeps the method sends the whole body again, from wherever it came; one that
// turns the request into a GET sends none.
TEST_F(UploadFixture, RedirectsThatKeepTheMethodSendTheBodyAgain) {
    struct Case {
        const char* kind;
        int status;
        std::string method;
        std::string expectedMethod;
        bool bodyAgain;
    };
    const std::vector<Case> cases = {
        {"bytes", 307, "POST", "POST", true},  {"file", 307, "POST", "POST", true},   {"stream", 307, "POST", "POST", true},
        {"bytes", 308, "PUT", "PUT", true},    {"file", 308, "POST", "POST", true},   {"stream", 308, "PUT", "PUT", true},
        {"file", 303, "POST", "GET", false},   {"stream", 302, "POST", "GET", false}, {"file", 301, "PUT", "PUT", true},
    };
    const std::string content = pattern(300000); // several pieces of every kind of body
    auto path = writeFile("redirected.bin", content);
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.kind) + " " + std::to_string(c.status) + " " + c.method);
        LoopbackServer server([&](const RecordedRequest& r) {
            if (r.target == "/first") return Reply{c.status, "Moved", {{"Location", "/second"}, {"Content-Length", "0"}}, ""};
            return Reply::text(200, "ok");
        });
        recorder = std::make_shared<UploadRecorder>();
        recorder->streams = {core::InputStream::withBytes(core::Bytes(content.begin(), content.end())),
                             core::InputStream::withBytes(core::Bytes(content.begin(), content.end()))};
        session = URLSession::create(URLSessionConfiguration::ephemeralConfiguration(), recorder);
        auto r = post(server.url("/first"), c.method);
        std::shared_ptr<URLSessionUploadTask> task;
        if (std::string(c.kind) == "bytes") task = session->uploadTask(r, core::Bytes(content.begin(), content.end()));
        if (std::string(c.kind) == "file") task = session->uploadTask(r, URL::fileURL(path));
        if (std::string(c.kind) == "stream") task = session->streamedUploadTask(r);
        task->resume();
        ASSERT_TRUE(recorder->waitUntilDone());
        EXPECT_FALSE(recorder->error());
        auto requests = server.requests();
        ASSERT_EQ(requests.size(), 2u);
        EXPECT_TRUE(requests[0].body == content);
        EXPECT_EQ(requests[1].method, c.expectedMethod);
        EXPECT_EQ(requests[1].body.size(), c.bodyAgain ? content.size() : 0u);
        EXPECT_TRUE(!c.bodyAgain || requests[1].body == content);
        if (std::string(c.kind) == "stream") {
            EXPECT_EQ(recorder->asked(), c.bodyAgain ? 2u : 1u);
        }
        session->invalidateAndCancel();
    }
}

TEST_F(UploadFixture, AStreamedUploadRedirectedWithNoNewStreamFails) {
    LoopbackServer server([](const RecordedRequest& r) {
        if (r.target == "/first") return Reply{307, "Moved", {{"Location", "/second"}, {"Content-Length", "0"}}, ""};
        return Reply::text(200, "ok");
    });
    recorder->streams = {core::InputStream::withBytes(core::Bytes{'x'})};
    session->streamedUploadTask(post(server.url("/first")))->resume();
    ASSERT_TRUE(recorder->waitUntilDone());
    ASSERT_TRUE(recorder->error());
    EXPECT_TRUE(isURLError(*recorder->error(), URLErrorCode::requestBodyStreamExhausted));
    EXPECT_EQ(server.requestCount(), 1u);
}
