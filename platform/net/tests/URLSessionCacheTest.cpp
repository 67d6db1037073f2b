// A URL session with a URL cache, over loopback and on the virtual clock: fresh answers come from
// the cache without a request, stale ones are revalidated, the four cache policies, what the
// delegate answers when asked to cache, and what invalidates a stored answer.
#include "platform/dispatch/Clock.h"
#include "platform/net/URLError.h"
#include "platform/net/URLSession.h"
#include "platform/net/testing/LoopbackServer.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <set>
#include <thread>

using namespace net;
using net::testkit::LoopbackServer;
using net::testkit::RecordedRequest;
using net::testkit::Reply;

namespace {

// What one task told its delegate.
struct TaskReport {
    std::vector<std::string> events;
    std::string body;
    std::shared_ptr<const HTTPURLResponse> response;
    std::optional<core::Error> error;
    std::shared_ptr<URLSessionTaskMetrics> metrics;
};

class CacheRecorder : public URLSessionDelegate {
public:
    // The answer to an offer to cache; by default the proposal.
    std::function<std::shared_ptr<const CachedURLResponse>(std::shared_ptr<const CachedURLResponse>)> answerCaching;
    // When set, the offer's completion is handed here instead of being called.
    std::function<void(std::function<void(std::shared_ptr<const CachedURLResponse>)>, std::shared_ptr<const CachedURLResponse>)>
        holdCaching;
    bool asksAboutCaching = true;

    bool respondsTo(Callback c) const override { return c != Callback::dataTaskWillCacheResponse || asksAboutCaching; }

    void didReceiveResponse(const Session&, const DataTask& task, std::shared_ptr<const HTTPURLResponse> response,
                            std::function<void(ResponseDisposition)> completion) override {
        {
            std::lock_guard lock(mutex_);
            auto& report = reports_[task->taskIdentifier()];
            report.events.push_back("response " + std::to_string(response->statusCode()));
            report.response = response;
        }
        completion(ResponseDisposition::allow);
    }
    void didReceiveData(const Session&, const DataTask& task, const core::Bytes& data) override {
        std::lock_guard lock(mutex_);
        auto& report = reports_[task->taskIdentifier()];
        if (report.events.empty() || report.events.back() != "data") report.events.push_back("data");
        report.body.append(data.begin(), data.end());
    }
    void willCacheResponse(const Session&, const DataTask& task, std::shared_ptr<const CachedURLResponse> proposed,
                           std::function<void(std::shared_ptr<const CachedURLResponse>)> completion) override {
        {
            std::lock_guard lock(mutex_);
            reports_[task->taskIdentifier()].events.push_back("cache " + std::string(proposed->data.begin(), proposed->data.end()));
        }
        if (holdCaching) return holdCaching(std::move(completion), std::move(proposed));
        completion(answerCaching ? answerCaching(proposed) : proposed);
    }
    void didFinishCollectingMetrics(const Session&, const Task& task, std::shared_ptr<URLSessionTaskMetrics> metrics) override {
        std::lock_guard lock(mutex_);
        reports_[task->taskIdentifier()].metrics = std::move(metrics);
        reports_[task->taskIdentifier()].events.push_back("metrics");
    }
    void didCompleteWithError(const Session&, const Task& task, const std::optional<core::Error>& error) override {
        {
            std::lock_guard lock(mutex_);
            auto& report = reports_[task->taskIdentifier()];
            report.events.push_back(error ? "complete " + std::to_string(error->code) : "complete");
            report.error = error;
            done_.insert(task->taskIdentifier());
        }
        changed_.notify_all();
    }

    TaskReport waitFor(const std::shared_ptr<URLSessionTask>& task) {
        std::unique_lock lock(mutex_);
        changed_.wait_for(lock, std::chrono::seconds(20), [&] { return done_.count(task->taskIdentifier()) > 0; });
        return reports_[task->taskIdentifier()];
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::map<std::uint64_t, TaskReport> reports_;
    std::set<std::uint64_t> done_;
};

struct SessionCacheFixture : ::testing::Test {
    std::shared_ptr<dispatch::VirtualClock> clock = std::make_shared<dispatch::VirtualClock>();
    std::shared_ptr<URLCache> cache = URLCache::create(1 << 20, 0);
    std::shared_ptr<CacheRecorder> recorder = std::make_shared<CacheRecorder>();
    std::shared_ptr<URLSession> session;
    // The server's answer to each request; by default a fresh-for-a-minute "v1".
    std::function<Reply(const RecordedRequest&)> answer = [](const RecordedRequest&) {
        Reply r = Reply::text(200, "v1");
        r.headers.push_back({"Cache-Control", "max-age=60"});
        return r;
    };
    LoopbackServer server{[this](const RecordedRequest& r) { return answer(r); }};

    SessionCacheFixture() {
        dispatch::Clock::setCurrent(clock);
        URLSessionConfiguration configuration = URLSessionConfiguration::ephemeralConfiguration();
        configuration.urlCache = cache;
        session = URLSession::create(configuration, recorder);
    }
    ~SessionCacheFixture() override {
        session->invalidateAndCancel();
        dispatch::Clock::setCurrent(nullptr);
    }

    TaskReport run(const std::string& path, CachePolicy policy = CachePolicy::useProtocolCachePolicy, std::string method = "GET",
                   HTTPHeaders fields = {}) {
        URLRequest request(URL::parse(server.url(path)), policy);
        request.httpMethod = method;
        request.allHTTPHeaderFields = std::move(fields);
        auto task = session->dataTask(request);
        task->resume();
        return recorder->waitFor(task);
    }
};

using URLSessionCache = SessionCacheFixture;

TEST_F(URLSessionCache, AFreshAnswerComesFromTheCacheWithoutARequest) {
    auto first = run("/a");
    EXPECT_EQ(first.events, (std::vector<std::string>{"response 200", "data", "cache v1", "metrics", "complete"}));
    auto second = run("/a");
    EXPECT_EQ(second.events, (std::vector<std::string>{"response 200", "data", "metrics", "complete"}));
    EXPECT_EQ(second.body, "v1");
    EXPECT_EQ(server.requestCount(), 1u);
    ASSERT_TRUE(second.metrics);
    ASSERT_EQ(second.metrics->transactionMetrics.size(), 1u);
    EXPECT_EQ(second.metrics->transactionMetrics[0].resourceFetchType, ResourceFetchType::localCache);
    EXPECT_EQ(first.metrics->transactionMetrics[0].resourceFetchType, ResourceFetchType::networkLoad);
    // Past max-age, with no validator, the request goes out again.
    clock->advance(61);
    EXPECT_EQ(run("/a").body, "v1");
    EXPECT_EQ(server.requestCount(), 2u);
}

TEST_F(URLSessionCache, AStaleAnswerIsRevalidatedAndA304GivesTheStoredBody) {
    answer = [](const RecordedRequest& r) {
        if (r.headers.value("If-None-Match") == "\"e1\"") {
            Reply notModified = Reply::text(304, "");
            notModified.reason = "Not Modified";
            notModified.headers = {{"Cache-Control", "max-age=60"}, {"X-Refreshed", "yes"}, {"ETag", "\"e1\""}};
            return notModified;
        }
        Reply r200 = Reply::text(200, "picture");
        r200.headers.push_back({"Cache-Control", "max-age=10"});
        r200.headers.push_back({"ETag", "\"e1\""});
        return r200;
    };
    EXPECT_EQ(run("/p").body, "picture");
    clock->advance(20);
    auto revalidated = run("/p");
    ASSERT_EQ(server.requestCount(), 2u);
    EXPECT_EQ(server.requests()[1].headers.value("If-None-Match"), "\"e1\"");
    EXPECT_EQ(revalidated.events, (std::vector<std::string>{"response 200", "data", "cache picture", "metrics", "complete"}));
    EXPECT_EQ(revalidated.body, "picture");
    EXPECT_EQ(revalidated.response->value("X-Refreshed"), "yes");
    EXPECT_EQ(revalidated.response->value("Content-Type"), "text/plain; charset=utf-8");
    // The 304 refreshed the stored freshness: a minute from now on.
    clock->advance(50);
    EXPECT_EQ(run("/p").body, "picture");
    EXPECT_EQ(server.requestCount(), 2u);
    // A request with validators of its own gets the server's 304 itself.
    auto own = run("/p", CachePolicy::useProtocolCachePolicy, "GET", {{"If-None-Match", "\"e1\""}});
    EXPECT_EQ(own.response->statusCode(), 304);
    EXPECT_EQ(server.requestCount(), 3u);
}

TEST_F(URLSessionCache, TheFourPolicies) {
    answer = [](const RecordedRequest& r) {
        Reply reply = Reply::text(200, "n" + r.target);
        reply.headers.push_back({"Cache-Control", "max-age=5"});
        return reply;
    };
    struct Case {
        CachePolicy policy;
        bool stored;     // a stale answer is in the cache
        std::size_t sent; // requests the task makes
        std::string body;
        long long error;
    };
    const Case cases[] = {
        {CachePolicy::useProtocolCachePolicy, true, 1, "n/s0", 0},
        {CachePolicy::reloadIgnoringLocalCacheData, true, 1, "n/s1", 0},
        {CachePolicy::returnCacheDataElseLoad, true, 0, "n/s2", 0},
        {CachePolicy::returnCacheDataDontLoad, true, 0, "n/s3", 0},
        {CachePolicy::returnCacheDataElseLoad, false, 1, "n/m2", 0},
        {CachePolicy::returnCacheDataDontLoad, false, 0, "", static_cast<long long>(URLErrorCode::resourceUnavailable)},
    };
    for (const auto& c : cases) {
        const std::string path = (c.stored ? "/s" : "/m") + std::to_string(static_cast<int>(c.policy));
        SCOPED_TRACE(path);
        if (c.stored) {
            run(path);
            clock->advance(10);
        }
        const std::size_t before = server.requestCount();
        auto report = run(path, c.policy);
        EXPECT_EQ(server.requestCount() - before, c.sent);
        EXPECT_EQ(report.body, c.body);
        EXPECT_EQ(report.error ? report.error->code : 0, c.error);
        if (c.error) {
            EXPECT_EQ(report.error->description, "resource unavailable");
        }
    }
}

TEST_F(URLSessionCache, WhatTheDelegateAnswersIsStored) {
    struct Case {
        const char* name;
        bool asks;
        std::function<std::shared_ptr<const CachedURLResponse>(std::shared_ptr<const CachedURLResponse>)> answer;
        std::string next; // the body of the next request, "" when it goes to the server
    };
    const Case cases[] = {
        {"not asked: stored as proposed", false, nullptr, "v1"},
        {"proposed", true, nullptr, "v1"},
        {"replaced", true,
         [](std::shared_ptr<const CachedURLResponse> proposed) {
             auto replaced = std::make_shared<CachedURLResponse>(*proposed);
             replaced->data = {'m', 'i', 'n', 'e'};
             return std::shared_ptr<const CachedURLResponse>(replaced);
         },
         "mine"},
        {"nothing", true, [](std::shared_ptr<const CachedURLResponse>) { return std::shared_ptr<const CachedURLResponse>(); }, ""},
        {"a replacement HTTP forbids keeping", true,
         [](std::shared_ptr<const CachedURLResponse> proposed) {
             auto replaced = std::make_shared<CachedURLResponse>(*proposed);
             replaced->response = std::make_shared<HTTPURLResponse>(proposed->response->url(), 200, "HTTP/1.1",
                                                                    HTTPHeaders{{"Cache-Control", "no-store"}});
             return std::shared_ptr<const CachedURLResponse>(replaced);
         },
         ""},
    };
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        recorder->asksAboutCaching = c.asks;
        recorder->answerCaching = c.answer;
        const std::string path = "/d" + std::to_string(n++);
        run(path);
        const std::size_t before = server.requestCount();
        auto next = run(path);
        EXPECT_EQ(server.requestCount() - before, c.next.empty() ? 1u : 0u);
        EXPECT_EQ(next.body, c.next.empty() ? "v1" : c.next);
    }
}

TEST_F(URLSessionCache, ATaskWaitsForTheCachingAnswerAndACancelMeanwhileStoresNothing) {
    std::mutex mutex;
    std::condition_variable offered;
    std::function<void(std::shared_ptr<const CachedURLResponse>)> held;
    std::shared_ptr<const CachedURLResponse> proposal;
    recorder->holdCaching = [&](auto completion, auto proposed) {
        std::lock_guard lock(mutex);
        held = std::move(completion);
        proposal = std::move(proposed);
        offered.notify_all();
    };
    auto task = session->dataTask(URLRequest(URL::parse(server.url("/held"))));
    task->resume();
    {
        std::unique_lock lock(mutex);
        ASSERT_TRUE(offered.wait_for(lock, std::chrono::seconds(20), [&] { return held != nullptr; }));
    }
    // Not complete while the delegate has not answered.
    EXPECT_NE(task->state(), URLSessionTask::State::completed);
    task->cancel();
    auto report = recorder->waitFor(task);
    EXPECT_EQ(report.events.back(), "complete -999");
    held(proposal); // too late: nothing is stored
    recorder->holdCaching = nullptr;
    EXPECT_EQ(run("/held").body, "v1");
    EXPECT_EQ(server.requestCount(), 2u);
    // A late answer given from another thread completes the task and stores.
    recorder->holdCaching = [&](auto completion, auto proposed) { std::thread([=] { completion(proposed); }).detach(); };
    run("/late");
    recorder->holdCaching = nullptr;
    run("/late");
    EXPECT_EQ(server.requestCount(), 3u);
}

TEST_F(URLSessionCache, WhatIsNeverStoredAndWhatInvalidates) {
    answer = [](const RecordedRequest& r) {
        Reply reply = Reply::text(200, r.method + " " + r.target);
        if (r.target == "/nostore") reply.headers.push_back({"Cache-Control", "no-store, max-age=60"});
        else if (r.target == "/public") reply.headers.push_back({"Cache-Control", "public, max-age=60"});
        else reply.headers.push_back({"Cache-Control", "max-age=60"});
        if (r.target == "/vary") reply.headers.push_back({"Vary", "Accept-Language"});
        return reply;
    };
    run("/nostore");
    run("/nostore");
    EXPECT_EQ(server.requestCount(), 2u);
    // An answer to a request with credentials is kept only when it says it may be.
    run("/auth", CachePolicy::useProtocolCachePolicy, "GET", {{"Authorization", "Basic dTpw"}});
    run("/auth", CachePolicy::useProtocolCachePolicy, "GET", {{"Authorization", "Basic dTpw"}});
    EXPECT_EQ(server.requestCount(), 4u);
    run("/public", CachePolicy::useProtocolCachePolicy, "GET", {{"Authorization", "Basic dTpw"}});
    run("/public", CachePolicy::useProtocolCachePolicy, "GET", {{"Authorization", "Basic dTpw"}});
    EXPECT_EQ(server.requestCount(), 5u);
    // Vary: another language is another answer.
    run("/vary", CachePolicy::useProtocolCachePolicy, "GET", {{"Accept-Language", "zh"}});
    run("/vary", CachePolicy::useProtocolCachePolicy, "GET", {{"Accept-Language", "zh"}});
    EXPECT_EQ(server.requestCount(), 6u);
    run("/vary", CachePolicy::useProtocolCachePolicy, "GET", {{"Accept-Language", "en"}});
    EXPECT_EQ(server.requestCount(), 7u);
    // A successful POST to the URL drops its stored answer.
    run("/item");
    run("/item", CachePolicy::useProtocolCachePolicy, "POST");
    EXPECT_EQ(server.requestCount(), 9u);
    EXPECT_EQ(run("/item").body, "GET /item");
    EXPECT_EQ(server.requestCount(), 10u);
}

TEST(URLSessionSharedCache, TwoSessionsShareOneCache) {
    auto cache = URLCache::create(1 << 20, 0);
    LoopbackServer server([](const RecordedRequest& r) {
        Reply reply = Reply::text(200, r.target);
        reply.headers.push_back({"Cache-Control", "max-age=600"});
        return reply;
    });
    URLSessionConfiguration configuration = URLSessionConfiguration::ephemeralConfiguration();
    configuration.urlCache = cache;
    auto recorderA = std::make_shared<CacheRecorder>();
    auto recorderB = std::make_shared<CacheRecorder>();
    auto a = URLSession::create(configuration, recorderA);
    auto b = URLSession::create(configuration, recorderB);
    std::vector<std::pair<std::shared_ptr<CacheRecorder>, std::shared_ptr<URLSessionDataTask>>> tasks;
    for (int round = 0; round < 3; ++round) {
        for (int i = 0; i < 8; ++i) {
            for (auto& [recorder, session] : {std::pair{recorderA, a}, std::pair{recorderB, b}}) {
                auto task = session->dataTask(URLRequest(URL::parse(server.url("/" + std::to_string(i)))));
                task->resume();
                tasks.emplace_back(recorder, task);
            }
        }
        for (auto& [recorder, task] : tasks) {
            auto report = recorder->waitFor(task);
            EXPECT_EQ(report.body, task->originalRequest()->url->path());
        }
        tasks.clear();
    }
    // Every URL went to the server at least once, and later rounds came from the cache.
    EXPECT_GE(server.requestCount(), 8u);
    EXPECT_LE(server.requestCount(), 16u);
    a->invalidateAndCancel();
    b->invalidateAndCancel();
}

} // namespace
