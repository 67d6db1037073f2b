#include "platform/core/Files.h"
#include "platform/dispatch/Clock.h"
#include "platform/dispatch/RunLoop.h"
#include "platform/net/URLError.h"
#include "platform/net/URLSession.h"
#include "platform/net/testing/DigestAuthorization.h"
#include "platform/net/testing/LoopbackServer.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <map>
#include <set>

using namespace net;
using net::testkit::LoopbackServer;
using net::testkit::RecordedRequest;
using net::testkit::Reply;
using net::testkit::digestAnswerMatches;
using net::testkit::digestParameters;
using Callback = URLSessionDelegate::Callback;

namespace {

// Records every delegate event in order; tests wait on it with a real-time safety bound.
class Recorder : public URLSessionDelegate {
public:
    std::set<Callback> unimplemented;
    // Answers the response; by default at once with allow.
    std::function<void(std::function<void(ResponseDisposition)>)> answerResponse;
    std::function<void(URLRequest, std::function<void(std::optional<URLRequest>)>)> answerRedirect;
    // Answers an authentication challenge; by default with the default handling.
    std::function<void(const URLAuthenticationChallenge&, ChallengeCompletion)> answerChallenge;

    bool respondsTo(Callback c) const override { return !unimplemented.count(c); }

    using URLSessionDelegate::didReceiveChallenge; // the session's own challenges keep their default

    void willPerformHTTPRedirection(const Session&, const Task&, std::shared_ptr<const HTTPURLResponse> response,
                                    URLRequest next, std::function<void(std::optional<URLRequest>)> completion) override {
        add("redirect " + std::to_string(response->statusCode()) + " " + next.method() + " " + next.url->absoluteString());
        if (answerRedirect) answerRedirect(std::move(next), std::move(completion)); else completion(std::move(next));
    }
    void didReceiveChallenge(const Session&, const Task&, const URLAuthenticationChallenge& challenge,
                             ChallengeCompletion completion) override {
        const auto& space = challenge.protectionSpace;
        add("challenge " + std::to_string(challenge.previousFailureCount) + " " + space.authenticationMethod + " " +
            space.protocol + "://" + space.host + ":" + std::to_string(space.port) + " " + space.realm.value_or("-") + " " +
            std::to_string(challenge.failureResponse ? challenge.failureResponse->statusCode() : 0));
        if (answerChallenge) answerChallenge(challenge, std::move(completion));
        else completion(AuthChallengeDisposition::performDefaultHandling, std::nullopt);
    }
    void didReceiveResponse(const Session&, const DataTask&, std::shared_ptr<const HTTPURLResponse> response,
                            std::function<void(ResponseDisposition)> completion) override {
        add("response " + std::to_string(response->statusCode()));
        if (answerResponse) answerResponse(std::move(completion)); else completion(ResponseDisposition::allow);
    }
    void didReceiveData(const Session&, const DataTask& task, const core::Bytes& data) override {
        std::lock_guard lock(mutex_);
        if (events_.empty() || events_.back() != "data") events_.push_back("data");
        bodies_[task->taskIdentifier()].append(data.begin(), data.end());
    }
    void didSendBodyData(const Session&, const Task&, std::int64_t, std::int64_t total, std::int64_t expected) override {
        std::lock_guard lock(mutex_);
        lastSent_ = {total, expected};
    }
    void didFinishCollectingMetrics(const Session&, const Task& task, std::shared_ptr<URLSessionTaskMetrics> m) override {
        {
            std::lock_guard lock(mutex_);
            metrics_[task->taskIdentifier()] = m;
        }
        add("metrics " + std::to_string(m->transactionMetrics.size()));
    }
    void didFinishDownloadingToURL(const Session&, const DownloadTask&, const URL& location) override {
        auto bytes = core::files::read(location.path());
        std::lock_guard lock(mutex_);
        events_.push_back("downloaded");
        downloaded_ = bytes ? std::string(bytes->begin(), bytes->end()) : "<unreadable>";
    }
    void didResumeAtOffset(const Session&, const DownloadTask&, std::int64_t offset, std::int64_t total) override {
        add("resumed " + std::to_string(offset) + "/" + std::to_string(total));
    }
    void didCompleteWithError(const Session&, const Task& task, const std::optional<core::Error>& error) override {
        {
            std::lock_guard lock(mutex_);
            events_.push_back(error ? "complete " + std::to_string(error->code) : "complete");
            errors_[task->taskIdentifier()] = error;
            ++completed_;
        }
        changed_.notify_all();
    }
    void didBecomeInvalidWithError(const Session&, const std::optional<core::Error>&) override {
        add("invalid");
        changed_.notify_all();
    }

    bool waitForCompletions(std::size_t n) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, std::chrono::seconds(20), [&] { return completed_ >= n; });
    }
    bool waitForEvent(const std::string& e) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, std::chrono::seconds(20),
                                 [&] { return std::find(events_.begin(), events_.end(), e) != events_.end(); });
    }
    std::vector<std::string> events() {
        std::lock_guard lock(mutex_);
        return events_;
    }
    std::string body(std::uint64_t id) {
        std::lock_guard lock(mutex_);
        return bodies_[id];
    }
    std::optional<core::Error> error(std::uint64_t id) {
        std::lock_guard lock(mutex_);
        return errors_[id];
    }
    std::string downloaded() {
        std::lock_guard lock(mutex_);
        return downloaded_;
    }
    std::shared_ptr<URLSessionTaskMetrics> metrics(std::uint64_t id) {
        std::lock_guard lock(mutex_);
        return metrics_[id];
    }
    std::pair<std::int64_t, std::int64_t> lastSent() {
        std::lock_guard lock(mutex_);
        return lastSent_;
    }

private:
    void add(std::string e) {
        {
            std::lock_guard lock(mutex_);
            events_.push_back(std::move(e));
        }
        changed_.notify_all();
    }
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<std::string> events_;
    std::map<std::uint64_t, std::string> bodies_;
    std::map<std::uint64_t, std::optional<core::Error>> errors_;
    std::map<std::uint64_t, std::shared_ptr<URLSessionTaskMetrics>> metrics_;
    std::string downloaded_;
    std::pair<std::int64_t, std::int64_t> lastSent_{0, 0};
    std::size_t completed_ = 0;
};

URLRequest request(const std::string& url, const std::string& method = "GET", std::string body = {}) {
    URLRequest r(URL::parse(url));
    r.httpMethod = method;
    if (!body.empty()) r.httpBody = core::Bytes(body.begin(), body.end());
    return r;
}

struct SessionFixture : ::testing::Test {
    std::shared_ptr<Recorder> recorder = std::make_shared<Recorder>();
    std::shared_ptr<URLSession> session;

    void makeSession(URLSessionConfiguration configuration = URLSessionConfiguration::ephemeralConfiguration()) {
        session = URLSession::create(std::move(configuration), recorder);
    }
    void SetUp() override { makeSession(); }
    void TearDown() override {
        if (session) session->invalidateAndCancel();
    }
};

} // namespace

TEST_F(SessionFixture, DataTaskSendsTheExactRequestAndReportsInOrder) {
    LoopbackServer server([](const RecordedRequest&) { return Reply::json(R"({"status":1})"); });
    auto configuration = URLSessionConfiguration::ephemeralConfiguration();
    configuration.httpAdditionalHeaders = HTTPHeaders{{"Accept-Language", "zh-Hans-CN;q=1.0"}, {"X-Session", "s"}};
    makeSession(configuration);
    auto r = request(server.url("/index.php/AppApi/Index/index_tag_list"), "POST", "pages=1&sign=abc");
    r.setValue("application/x-www-form-urlencoded; charset=utf-8", "Content-Type");
    r.setValue("gzip;q=1.0, compress;q=0.5", "Accept-Encoding");
    r.setValue("x", "X-Session"); // the request's own field wins
    auto task = session->dataTask(r);
    EXPECT_EQ(task->state(), URLSessionTask::State::suspended);
    task->resume();
    ASSERT_TRUE(recorder->waitForCompletions(1));

    EXPECT_EQ(recorder->events(), (std::vector<std::string>{"response 200", "data", "metrics 1", "complete"}));
    EXPECT_EQ(recorder->body(task->taskIdentifier()), R"({"status":1})");
    EXPECT_EQ(task->state(), URLSessionTask::State::completed);
    EXPECT_EQ(task->response()->mimeType(), "application/json");
    auto seen = server.requests().at(0);
    EXPECT_EQ(seen.method, "POST");
    EXPECT_EQ(seen.target, "/index.php/AppApi/Index/index_tag_list");
    EXPECT_EQ(seen.body, "pages=1&sign=abc");
    EXPECT_EQ(seen.headers.value("Content-Type"), "application/x-www-form-urlencoded; charset=utf-8");
    EXPECT_EQ(seen.headers.value("Accept-Encoding"), "gzip;q=1.0, compress;q=0.5");
    EXPECT_EQ(seen.headers.value("Accept-Language"), "zh-Hans-CN;q=1.0");
    EXPECT_EQ(seen.headers.value("X-Session"), "x");
    EXPECT_FALSE(seen.headers.contains("Expect"));
}

TEST_F(SessionFixture, EveryRequestOfASessionSendsItsOwnFields) {
    // One after another on one session: requests with the same fields share what the session
    // builds for them, and one with other fields must still send exactly its own.
    LoopbackServer server([](const RecordedRequest&) { return Reply::text(200, "ok"); });
    auto configuration = URLSessionConfiguration::ephemeralConfiguration();
    configuration.httpAdditionalHeaders = HTTPHeaders{{"X-Session", "s"}};
    makeSession(configuration);
    struct Case {
        std::vector<std::pair<std::string, std::string>> own;
        std::vector<std::pair<std::string, std::optional<std::string>>> seen;
    };
    const std::string form = "application/x-www-form-urlencoded; charset=utf-8";
    const std::vector<Case> cases = {
        {{{"X-Session", "x"}, {"Content-Type", form}}, {{"X-Session", "x"}, {"Content-Type", form}, {"Accept", "*/*"}}},
        {{}, {{"X-Session", "s"}, {"Content-Type", std::nullopt}, {"Accept", "*/*"}}},
        {{{"X-Session", "x"}, {"Content-Type", form}}, {{"X-Session", "x"}, {"Content-Type", form}}},
        {{{"Accept", "text/plain"}, {"User-Agent", "probe/1"}}, {{"Accept", "text/plain"}, {"User-Agent", "probe/1"}}},
        // A NUL ends the value: what follows it never becomes a field of its own.
        {{{"X-Probe", std::string("v\0Injected: 1", 13)}}, {{"X-Probe", "v"}, {"Injected", std::nullopt}, {"X-Session", "s"}}},
    };
    for (std::size_t i = 0; i < cases.size(); ++i) {
        auto r = request(server.url("/" + std::to_string(i)));
        for (const auto& [name, value] : cases[i].own) r.setValue(value, name);
        session->dataTask(r)->resume();
        ASSERT_TRUE(recorder->waitForCompletions(i + 1));
        const auto seen = server.requests().at(i);
        for (const auto& [name, value] : cases[i].seen) EXPECT_EQ(seen.headers.value(name), value) << "request " << i << ": " << name;
        EXPECT_FALSE(seen.headers.contains("Expect")) << "request " << i;
    }
}

TEST_F(SessionFixture, NoContentTypeIsInventedAndGzipIsDecoded) {
    LoopbackServer server([](const RecordedRequest&) {
        Reply reply = Reply::text(200, std::string(2000, 'z'));
        reply.gzip = true;
        return reply;
    });
    auto task = session->dataTask(request(server.url("/"), "POST", "a=1"));
    task->resume();
    ASSERT_TRUE(recorder->waitForCompletions(1));
    EXPECT_FALSE(server.requests().at(0).headers.contains("Content-Type"));
    EXPECT_EQ(recorder->body(task->taskIdentifier()), std::string(2000, 'z'));
    EXPECT_FALSE(recorder->error(task->taskIdentifier()));
    EXPECT_EQ(recorder->lastSent(), (std::pair<std::int64_t, std::int64_t>{3, 3}));
}

TEST_F(SessionFixture, TransportFailuresMapToURLErrors) {
    LoopbackServer server([](const RecordedRequest& r) {
        Reply reply = Reply::text(200, "0123456789");
        if (r.target == "/drop") reply.mode = Reply::Mode::closeWithoutReply;
        if (r.target == "/truncate") reply.mode = Reply::Mode::truncateBody;
        return reply;
    });
    struct Case { std::string url; URLErrorCode code; };
    const Case cases[] = {
        {server.url("/drop"), URLErrorCode::networkConnectionLost},
        {server.url("/truncate"), URLErrorCode::networkConnectionLost},
        {"http://127.0.0.1:" + std::to_string(LoopbackServer::refusedPort()) + "/", URLErrorCode::cannotConnectToHost},
        {"/index.php/AppApi/Index/index_tag_list", URLErrorCode::unsupportedURL},
        {"ftp://127.0.0.1/file", URLErrorCode::unsupportedURL},
    };
    std::vector<std::shared_ptr<URLSessionDataTask>> tasks;
    for (const auto& c : cases) {
        tasks.push_back(session->dataTask(request(c.url)));
        tasks.back()->resume();
    }
    ASSERT_TRUE(recorder->waitForCompletions(std::size(cases)));
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        auto error = recorder->error(tasks[i]->taskIdentifier());
        ASSERT_TRUE(error) << cases[i].url;
        EXPECT_TRUE(isURLError(*error, cases[i].code)) << cases[i].url << " gave " << error->code;
        EXPECT_EQ(tasks[i]->error()->code, error->code);
    }
}

TEST_F(SessionFixture, RedirectsFollowTheMethodRules) {
    LoopbackServer server([](const RecordedRequest& r) {
        if (r.target == "/302" || r.target == "/307") {
            Reply reply = Reply::text(r.target == "/302" ? 302 : 307, "moved");
            reply.headers.emplace_back("Location", "/target");
            return reply;
        }
        return Reply::text(200, r.method + " " + r.body);
    });
    auto post302 = session->dataTask(request(server.url("/302"), "POST", "a=1"));
    post302->resume();
    ASSERT_TRUE(recorder->waitForCompletions(1));
    auto post307 = session->dataTask(request(server.url("/307"), "POST", "a=1"));
    post307->resume();
    ASSERT_TRUE(recorder->waitForCompletions(2));
    EXPECT_EQ(recorder->body(post302->taskIdentifier()), "GET ");
    EXPECT_EQ(recorder->body(post307->taskIdentifier()), "POST a=1");
    EXPECT_EQ(post302->currentRequest()->url->absoluteString(), server.url("/target"));
    EXPECT_EQ(post302->originalRequest()->url->absoluteString(), server.url("/302"));
    auto events = recorder->events();
    EXPECT_EQ(events[0], "redirect 302 GET " + server.url("/target"));
    EXPECT_EQ(events[2], "data");
    EXPECT_EQ(events[3], "metrics 2");
    // Each leg's metrics hold the request that leg sent.
    auto metrics = recorder->metrics(post302->taskIdentifier());
    ASSERT_TRUE(metrics);
    ASSERT_EQ(metrics->transactionMetrics.size(), 2u);
    const auto& first = metrics->transactionMetrics[0].request;
    const auto& second = metrics->transactionMetrics[1].request;
    ASSERT_TRUE(first && second);
    EXPECT_EQ(first->method() + " " + first->url->absoluteString(), "POST " + server.url("/302"));
    EXPECT_EQ(second->method() + " " + second->url->absoluteString(), "GET " + server.url("/target"));
}

TEST_F(SessionFixture, ARefusedRedirectDeliversTheRedirectResponse) {
    LoopbackServer server([](const RecordedRequest&) {
        Reply reply = Reply::text(302, "moved");
        reply.headers.emplace_back("Location", "/elsewhere");
        return reply;
    });
    recorder->answerRedirect = [](URLRequest, std::function<void(std::optional<URLRequest>)> done) { done(std::nullopt); };
    auto task = session->dataTask(request(server.url("/")));
    task->resume();
    ASSERT_TRUE(recorder->waitForCompletions(1));
    EXPECT_EQ(server.requestCount(), 1u);
    EXPECT_EQ(task->response()->statusCode(), 302);
    EXPECT_EQ(recorder->body(task->taskIdentifier()), "moved");
}

TEST_F(SessionFixture, WithoutTheRedirectCallbackRedirectsAreFollowedQuietly) {
    LoopbackServer server([](const RecordedRequest& r) {
        if (r.target == "/a") {
            Reply reply = Reply::text(301, "");
            reply.headers.emplace_back("Location", "/b");
            return reply;
        }
        return Reply::text(200, "b");
    });
    recorder->unimplemented = {Callback::taskWillPerformHTTPRedirection, Callback::dataTaskDidReceiveResponse};
    auto task = session->dataTask(request(server.url("/a")));
    task->resume();
    ASSERT_TRUE(recorder->waitForCompletions(1));
    EXPECT_EQ(recorder->events(), (std::vector<std::string>{"data", "metrics 2", "complete"}));
}

TEST_F(SessionFixture, DataWaitsForTheDelegatesAnswerToTheResponse) {
    LoopbackServer server([](const RecordedRequest&) { return Reply::text(200, "body"); });
    std::function<void(ResponseDisposition)> pending;
    std::mutex m;
    recorder->answerResponse = [&](std::function<void(ResponseDisposition)> done) {
        std::lock_guard lock(m);
        pending = std::move(done);
    };
    auto task = session->dataTask(request(server.url("/")));
    task->resume();
    ASSERT_TRUE(recorder->waitForEvent("response 200"));
    // The transfer finishes, but nothing more reaches the delegate until it answers.
    ASSERT_TRUE(dispatch::RunLoop::main().runUntil([&] { return task->state() == URLSessionTask::State::completed; }));
    EXPECT_EQ(recorder->events(), std::vector<std::string>{"response 200"});
    // The recorder notes the response before it keeps the answer; wait until it has.
    ASSERT_TRUE(dispatch::RunLoop::main().runUntil([&] {
        std::lock_guard lock(m);
        return pending != nullptr;
    }));
    {
        std::lock_guard lock(m);
        pending(ResponseDisposition::allow);
    }
    ASSERT_TRUE(recorder->waitForCompletions(1));
    EXPECT_EQ(recorder->events(), (std::vector<std::string>{"response 200", "data", "metrics 1", "complete"}));
}

TEST_F(SessionFixture, CancellingTheResponseEndsTheTaskWithoutData) {
    LoopbackServer server([](const RecordedRequest&) { return Reply::text(200, "body"); });
    recorder->answerResponse = [](std::function<void(ResponseDisposition)> done) { done(ResponseDisposition::cancel); };
    auto task = session->dataTask(request(server.url("/")));
    task->resume();
    ASSERT_TRUE(recorder->waitForCompletions(1));
    EXPECT_EQ(recorder->events(), (std::vector<std::string>{"response 200", "metrics 1", "complete -999"}));
}

TEST_F(SessionFixture, CancelEndsRunningAndUnstartedTasks) {
    LoopbackServer server([](const RecordedRequest&) {
        Reply reply = Reply::text(200, "late");
        reply.mode = Reply::Mode::stallBeforeHead;
        return reply;
    });
    auto running = session->dataTask(request(server.url("/")));
    running->resume();
    ASSERT_TRUE(dispatch::RunLoop::main().runUntil([&] { return server.requestCount() == 1; }));
    running->cancel();
    auto unstarted = session->dataTask(request(server.url("/")));
    unstarted->cancel();
    ASSERT_TRUE(recorder->waitForCompletions(2));
    for (const auto& task : {running, unstarted}) {
        ASSERT_TRUE(task->error());
        EXPECT_TRUE(isURLError(*task->error(), URLErrorCode::cancelled));
    }
    server.releaseStalls();
}

TEST_F(SessionFixture, IdleTimeOutFollowsTheAppClock) {
    auto clock = std::make_shared<dispatch::VirtualClock>();
    dispatch::Clock::setCurrent(clock);
    LoopbackServer server([](const RecordedRequest&) {
        Reply reply = Reply::text(200, "never");
        reply.mode = Reply::Mode::stallAfterHead;
        return reply;
    });
    auto configuration = URLSessionConfiguration::ephemeralConfiguration();
    configuration.timeoutIntervalForRequest = 4; // shorter than the request's own 60 s
    makeSession(configuration);
    auto task = session->dataTask(request(server.url("/")));
    task->resume();
    ASSERT_TRUE(recorder->waitForEvent("response 200"));
    clock->advance(3.9); // not yet: the check is due at 4 s
    EXPECT_NE(task->state(), URLSessionTask::State::completed);
    clock->advance(0.2);
    ASSERT_TRUE(recorder->waitForCompletions(1));
    EXPECT_TRUE(isURLError(*task->error(), URLErrorCode::timedOut));
    server.releaseStalls();
    dispatch::Clock::setCurrent(nullptr);
}

// Far more requests than connections: each waits for a connection of its host to come free and
// then goes on without any other event to nudge the session (the network thread sleeps until
// there is work, so a transfer whose turn is not noticed would wait for ever).
TEST_F(SessionFixture, ManyConcurrentRequestsShareTheHostsConnections) {
    for (int limit : {6, 2, 1}) {
        SCOPED_TRACE(testing::Message() << "connections per host: " << limit);
        LoopbackServer server([](const RecordedRequest& r) { return Reply::text(200, r.target); });
        recorder = std::make_shared<Recorder>();
        auto configuration = URLSessionConfiguration::ephemeralConfiguration();
        configuration.httpMaximumConnectionsPerHost = limit;
        makeSession(configuration);
        const auto path = [](int i) { return std::string(1, '/').append(std::to_string(i)); };
        std::vector<std::shared_ptr<URLSessionDataTask>> tasks;
        for (int i = 0; i < 200; ++i) {
            tasks.push_back(session->dataTask(request(server.url(path(i)))));
            tasks.back()->resume();
        }
        ASSERT_TRUE(recorder->waitForCompletions(tasks.size()));
        for (int i = 0; i < 200; ++i) EXPECT_EQ(recorder->body(tasks[static_cast<std::size_t>(i)]->taskIdentifier()), path(i));
        EXPECT_LE(server.connectionCount(), static_cast<std::size_t>(limit)); // never more than the limit, and reused
        std::set<std::uint64_t> ids;
        for (auto& t : tasks) ids.insert(t->taskIdentifier());
        EXPECT_EQ(ids.size(), tasks.size());
        session->invalidateAndCancel();
    }
}

// With one connection per host, the transfers waiting for it start highest priority first and
// equal ones in the order they came; priorities outside 0...1 are clamped.
TEST_F(SessionFixture, WaitingTransfersTakeAFreedConnectionByPriorityThenArrival) {
    std::mutex mutex;
    std::vector<std::string> order;
    LoopbackServer server([&](const RecordedRequest& r) {
        {
            std::lock_guard lock(mutex);
            order.push_back(r.target);
        }
        Reply reply = Reply::text(200, r.target);
        if (r.target == "/hold") reply.mode = Reply::Mode::stallBeforeHead;
        return reply;
    });
    auto configuration = URLSessionConfiguration::ephemeralConfiguration();
    configuration.httpMaximumConnectionsPerHost = 1;
    makeSession(configuration);
    auto hold = session->dataTask(request(server.url("/hold")));
    EXPECT_EQ(hold->priority(), URLSessionTask::kPriorityDefault);
    hold->resume();
    ASSERT_TRUE(dispatch::RunLoop::main().runUntil([&] { return server.requestCount() == 1; }, 20));

    const std::vector<std::pair<std::string, float>> queued = {
        {"/low-1", URLSessionTask::kPriorityLow}, {"/default-1", URLSessionTask::kPriorityDefault},
        {"/high-1", URLSessionTask::kPriorityHigh}, {"/low-2", URLSessionTask::kPriorityLow},
        {"/top", 7.0f},  // clamped to 1
        {"/high-2", URLSessionTask::kPriorityHigh}, {"/default-2", URLSessionTask::kPriorityDefault},
        {"/bottom", -1.0f},  // clamped to 0
    };
    std::vector<std::shared_ptr<URLSessionDataTask>> tasks;
    for (const auto& [path, priority] : queued) {
        tasks.push_back(session->dataTask(request(server.url(path))));
        tasks.back()->setPriority(priority);
        tasks.back()->resume();
    }
    EXPECT_EQ(tasks[4]->priority(), 1.0f);
    EXPECT_EQ(tasks[7]->priority(), 0.0f);
    // The network thread runs commands in the order asked: once a later cancel has completed its
    // task, every task above is waiting in the line.
    auto last = session->dataTask(request(server.url("/cancelled")));
    last->cancel();
    ASSERT_TRUE(recorder->waitForCompletions(1));
    ASSERT_TRUE(isURLError(*last->error(), URLErrorCode::cancelled));

    server.releaseStalls();
    ASSERT_TRUE(recorder->waitForCompletions(2 + tasks.size()));
    std::lock_guard lock(mutex);
    EXPECT_EQ(order, (std::vector<std::string>{"/hold", "/top", "/high-1", "/high-2", "/default-1", "/default-2", "/low-1",
                                               "/low-2", "/bottom"}));
    EXPECT_EQ(server.connectionCount(), 1u);
}

TEST_F(SessionFixture, CookiesComeBackOnLaterRequests) {
    LoopbackServer server([](const RecordedRequest& r) {
        Reply reply = Reply::text(200, r.headers.value("Cookie").value_or("-"));
        reply.headers.emplace_back("Set-Cookie", "sid=42; Path=/");
        return reply;
    });
    auto configuration = URLSessionConfiguration::ephemeralConfiguration();
    auto cookies = configuration.httpCookieStorage;
    makeSession(configuration);
    auto first = session->dataTask(request(server.url("/")));
    first->resume();
    ASSERT_TRUE(recorder->waitForCompletions(1));
    auto second = session->dataTask(request(server.url("/")));
    second->resume();
    ASSERT_TRUE(recorder->waitForCompletions(2));
    EXPECT_EQ(recorder->body(first->taskIdentifier()), "-");
    EXPECT_EQ(recorder->body(second->taskIdentifier()), "sid=42");
    auto stored = cookies->cookies(*URL::parse(server.url("/x")));
    ASSERT_EQ(stored.size(), 1u);
    EXPECT_EQ(stored[0].value, "42");
}

TEST_F(SessionFixture, ARequestThatDoesNotHandleCookiesNeitherSendsNorStoresThem) {
    LoopbackServer server([](const RecordedRequest& r) {
        Reply reply = Reply::text(200, r.headers.value("Cookie").value_or("-"));
        reply.headers.emplace_back("Set-Cookie", r.target == "/own" ? "own=1; Path=/" : "sid=42; Path=/");
        return reply;
    });
    auto configuration = URLSessionConfiguration::ephemeralConfiguration();
    auto cookies = configuration.httpCookieStorage;
    makeSession(configuration);
    auto run = [&](const std::string& path, bool handle, std::size_t n) {
        auto r = request(server.url(path));
        r.httpShouldHandleCookies = handle;
        auto task = session->dataTask(r);
        task->resume();
        EXPECT_TRUE(recorder->waitForCompletions(n));
        return recorder->body(task->taskIdentifier());
    };
    EXPECT_EQ(run("/", true, 1), "-");
    EXPECT_EQ(run("/own", false, 2), "-");  // the stored cookie is not sent
    EXPECT_EQ(run("/", true, 3), "sid=42");  // and the answer's own cookie was not kept
    EXPECT_EQ(cookies->cookies(*URL::parse(server.url("/x"))).size(), 1u);
}

TEST_F(SessionFixture, DownloadsGoToAFileAndContinueFromResumeData) {
    std::string content;
    for (int i = 0; i < 40000; ++i) content += std::to_string(i % 10);
    LoopbackServer server([&](const RecordedRequest& r) {
        auto range = r.headers.value("Range");
        if (range) {
            std::size_t from = std::stoul(range->substr(6));
            Reply reply = Reply::text(206, content.substr(from), "application/octet-stream");
            reply.reason = "Partial Content";
            reply.headers.emplace_back("Content-Range", "bytes " + std::to_string(from) + "-" +
                                                            std::to_string(content.size() - 1) + "/" +
                                                            std::to_string(content.size()));
            return reply;
        }
        Reply reply = Reply::text(200, content, "application/octet-stream");
        if (r.target == "/slow") reply.mode = Reply::Mode::stallMidBody;
        return reply;
    });
    auto whole = session->downloadTask(URLRequest(URL::parse(server.url("/whole"))));
    whole->resume();
    ASSERT_TRUE(recorder->waitForCompletions(1));
    EXPECT_TRUE(recorder->downloaded() == content);
    EXPECT_FALSE(whole->error());

    // Half-way through, cancel with resume data and continue where it stopped.
    auto slow = session->downloadTask(URLRequest(URL::parse(server.url("/slow"))));
    slow->resume();
    ASSERT_TRUE(dispatch::RunLoop::main().runUntil([&] { return slow->countOfBytesReceived() >= 20000; }));
    std::optional<core::Bytes> resumeData;
    std::atomic<bool> produced{false};
    slow->cancelByProducingResumeData([&](std::optional<core::Bytes> data) {
        resumeData = std::move(data);
        produced = true;
    });
    ASSERT_TRUE(recorder->waitForCompletions(2));
    ASSERT_TRUE(dispatch::RunLoop::main().runUntil([&] { return produced.load(); }));
    ASSERT_TRUE(resumeData);
    EXPECT_TRUE(slow->error()->userInfo.contains(kDownloadTaskResumeDataKey));
    server.releaseStalls();

    auto continued = session->downloadTask(*resumeData);
    continued->resume();
    ASSERT_TRUE(recorder->waitForCompletions(3));
    EXPECT_FALSE(continued->error());
    EXPECT_EQ(server.requests().back().headers.value("Range"), "bytes=20000-");
    EXPECT_EQ(recorder->downloaded().size(), content.size());
    EXPECT_TRUE(recorder->downloaded() == content);
    EXPECT_TRUE(recorder->waitForEvent("resumed 20000/40000"));
}

TEST_F(SessionFixture, InvalidationWaitsForTasksThenReleasesTheDelegate) {
    LoopbackServer server([](const RecordedRequest&) { return Reply::text(200, "x"); });
    auto task = session->dataTask(request(server.url("/")));
    task->resume();
    session->finishTasksAndInvalidate();
    ASSERT_TRUE(recorder->waitForEvent("invalid"));
    auto events = recorder->events();
    EXPECT_EQ(events.back(), "invalid");
    EXPECT_EQ(events[events.size() - 2], "complete");
    EXPECT_EQ(session->delegate(), nullptr);
    auto late = session->dataTask(request(server.url("/")));
    late->resume();
    ASSERT_TRUE(dispatch::RunLoop::main().runUntil([&] { return late->state() == URLSessionTask::State::completed; }));
    EXPECT_TRUE(isURLError(*late->error(), URLErrorCode::cancelled));
}

TEST(URLSessionLifetime, DroppingAnInvalidatedSessionReleasesItsDelegate) {
    // Invalidating and then letting go at once must not leave the invalidation pending with the
    // network thread gone, holding the engine and the delegate for ever.
    for (int i = 0; i < 20; ++i) {
        auto delegate = std::make_shared<Recorder>();
        std::weak_ptr<Recorder> watched = delegate;
        auto session = URLSession::create(URLSessionConfiguration::ephemeralConfiguration(), std::move(delegate));
        session->invalidateAndCancel();
        session.reset();
        ASSERT_TRUE(dispatch::RunLoop::main().runUntil([&] { return watched.expired(); })) << "round " << i;
    }
}

TEST_F(SessionFixture, BasicAuthenticationChallengesAskForACredential) {
    LoopbackServer server([](const RecordedRequest& r) {
        if (r.headers.value("Authorization") == "Basic dTpw") return Reply::text(200, "ok"); // u:p
        Reply reply = Reply::text(401, "denied");
        reply.headers.emplace_back("WWW-Authenticate", "Bearer realm=\"other\", Basic realm=\"quillora\"");
        return reply;
    });
    using D = AuthChallengeDisposition;
    const auto user = [](std::string name, std::string password) {
        return URLChallengeCredential{URLCredential{std::move(name), std::move(password)}, nullptr};
    };
    struct Case {
        const char* name;
        // The delegate's answers, by the challenge's count of earlier failures; none: the delegate
        // does not take challenges.
        std::optional<std::vector<std::pair<D, std::optional<URLChallengeCredential>>>> answers;
        std::optional<URLCredential> storedDefault;
        int status;
        std::string body;
        std::size_t requests;
        int challenges;
        std::optional<int> error;
    };
    const std::vector<Case> cases = {
        {"credential accepted", {{{D::useCredential, user("u", "p")}}}, {}, 200, "ok", 2, 1, {}},
        {"refused, then given up", {{{D::useCredential, user("u", "wrong")}, {D::rejectProtectionSpace, {}}}}, {}, 401, "denied", 2, 2, {}},
        {"refused twice, then right", {{{D::useCredential, user("u", "x")}, {D::useCredential, user("u", "p")}}}, {}, 200, "ok", 3, 2, {}},
        {"default handling without a stored credential", {{{D::performDefaultHandling, {}}}}, {}, 401, "denied", 1, 1, {}},
        {"default handling takes the stored default", {{{D::performDefaultHandling, {}}}}, URLCredential{"u", "p"}, 200, "ok", 2, 1, {}},
        {"a stored default that fails is not sent again", {{{D::performDefaultHandling, {}}, {D::performDefaultHandling, {}}}},
         URLCredential{"u", "bad"}, 401, "denied", 2, 2, {}},
        {"cancelled", {{{D::cancelAuthenticationChallenge, {}}}}, {}, 0, "", 1, 1, static_cast<int>(URLErrorCode::cancelled)},
        {"delegate without the event, stored default", std::nullopt, URLCredential{"u", "p"}, 200, "ok", 2, 0, {}},
        {"delegate without the event, nothing stored", std::nullopt, {}, 401, "denied", 1, 0, {}},
    };
    const URL url = *URL::parse(server.url("/private"));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::size_t sentBefore = server.requestCount();
        recorder = std::make_shared<Recorder>();
        auto configuration = URLSessionConfiguration::ephemeralConfiguration();
        if (c.storedDefault) {
            URLProtectionSpace space{"127.0.0.1", *url.port(), "http", "quillora", kAuthenticationMethodHTTPBasic};
            configuration.urlCredentialStorage->setCredential(*c.storedDefault, space, /*asDefault=*/true);
        }
        makeSession(configuration);
        if (c.answers) {
            recorder->answerChallenge = [answers = *c.answers](const URLAuthenticationChallenge& challenge, ChallengeCompletion done) {
                const auto& answer = answers.at(static_cast<std::size_t>(challenge.previousFailureCount));
                done(answer.first, answer.second);
            };
        } else {
            recorder->unimplemented = {Callback::taskDidReceiveChallenge};
        }
        auto task = session->dataTask(request(server.url("/private")));
        task->resume();
        ASSERT_TRUE(recorder->waitForCompletions(1));
        EXPECT_EQ(server.requestCount() - sentBefore, c.requests);
        auto events = recorder->events();
        EXPECT_EQ(std::count_if(events.begin(), events.end(), [](const std::string& e) { return e.rfind("challenge", 0) == 0; }),
                  c.challenges);
        if (c.challenges > 0) {
            EXPECT_EQ(events.front(), "challenge 0 basic http://127.0.0.1:" + std::to_string(*url.port()) + " quillora 401");
        }
        if (c.error) {
            ASSERT_TRUE(recorder->error(task->taskIdentifier()));
            EXPECT_EQ(recorder->error(task->taskIdentifier())->code, *c.error);
            EXPECT_EQ(recorder->body(task->taskIdentifier()), "");
        } else {
            EXPECT_FALSE(recorder->error(task->taskIdentifier()));
            ASSERT_TRUE(task->response());
            EXPECT_EQ(task->response()->statusCode(), c.status);
            EXPECT_EQ(recorder->body(task->taskIdentifier()), c.body);
            // Every request sent is a transaction of the task's metrics; the last event is the completion.
            EXPECT_NE(std::find(events.begin(), events.end(), "metrics " + std::to_string(c.requests)), events.end());
        }
        EXPECT_EQ(events.back(), c.error ? "complete " + std::to_string(*c.error) : "complete");
        session->invalidateAndCancel();
        session.reset();
    }
}

TEST_F(SessionFixture, DigestChallengesAreAnsweredWithTheServersMD5Response) {
    // The server checks the MD5 response of RFC 7616 for user "u", password "p".
    std::vector<bool> verified;
    std::mutex verifiedMutex;
    LoopbackServer server([&](const RecordedRequest& r) {
        if (!digestParameters(r.headers.value("Authorization").value_or("")).empty()) {
            const bool ok = digestAnswerMatches(r, "u", "p", "n0nce");
            std::lock_guard lock(verifiedMutex);
            verified.push_back(ok);
            if (ok) return Reply::text(200, "ok");
        }
        Reply reply = Reply::text(401, "denied");
        reply.headers.emplace_back("WWW-Authenticate", "Basic realm=\"weaker\", Digest realm=\"quillora\", nonce=\"n0nce\", "
                                                       "qop=\"auth\", algorithm=MD5");
        return reply;
    });
    for (const std::string password : {"p", "wrong"}) {
        SCOPED_TRACE(password);
        recorder = std::make_shared<Recorder>();
        makeSession();
        recorder->answerChallenge = [password](const URLAuthenticationChallenge& challenge, ChallengeCompletion done) {
            if (challenge.previousFailureCount > 0) return done(AuthChallengeDisposition::rejectProtectionSpace, std::nullopt);
            done(AuthChallengeDisposition::useCredential, URLChallengeCredential{URLCredential{"u", password}, nullptr});
        };
        {
            std::lock_guard lock(verifiedMutex);
            verified.clear();
        }
        auto task = session->dataTask(request(server.url("/private?a=1")));
        task->resume();
        ASSERT_TRUE(recorder->waitForCompletions(1));
        auto events = recorder->events();
        EXPECT_EQ(events.front(), "challenge 0 digest http://127.0.0.1:" + std::to_string(server.port()) + " quillora 401");
        ASSERT_TRUE(task->response());
        std::lock_guard lock(verifiedMutex);
        if (password == "p") {
            EXPECT_EQ(task->response()->statusCode(), 200);
            EXPECT_EQ(verified, std::vector<bool>{true});
        } else {
            // The wrong password's response is refused and asked about once more.
            EXPECT_EQ(task->response()->statusCode(), 401);
            EXPECT_EQ(verified, std::vector<bool>{false});
            EXPECT_EQ(std::count_if(events.begin(), events.end(), [](const std::string& e) { return e.rfind("challenge 1 digest", 0) == 0; }), 1);
        }
        session->invalidateAndCancel();
    }
}

TEST_F(SessionFixture, AProxysChallengeAsksForTheProxysCredential) {
    // The loopback server plays the proxy: requests come with the whole URL as their target.
    LoopbackServer proxy([](const RecordedRequest& r) {
        if (r.headers.value("Proxy-Authorization") == "Basic cHU6cHA=") return Reply::text(200, "via proxy " + r.target); // pu:pp
        Reply reply = Reply::text(407, "proxy says no");
        reply.headers.emplace_back("Proxy-Authenticate", "Basic realm=\"gateway\"");
        return reply;
    });
    auto configuration = URLSessionConfiguration::ephemeralConfiguration();
    configuration.proxy = URL::parse(proxy.url());
    makeSession(configuration);
    std::optional<URLProtectionSpace> asked;
    recorder->answerChallenge = [&asked](const URLAuthenticationChallenge& challenge, ChallengeCompletion done) {
        asked = challenge.protectionSpace;
        done(AuthChallengeDisposition::useCredential, URLChallengeCredential{URLCredential{"pu", "pp"}, nullptr});
    };
    auto task = session->dataTask(request("http://service.invalid/path?q=1"));
    task->resume();
    ASSERT_TRUE(recorder->waitForCompletions(1));
    EXPECT_FALSE(recorder->error(task->taskIdentifier()));
    ASSERT_TRUE(task->response());
    EXPECT_EQ(task->response()->statusCode(), 200);
    EXPECT_EQ(recorder->body(task->taskIdentifier()), "via proxy http://service.invalid/path?q=1");
    ASSERT_TRUE(asked);
    EXPECT_EQ(asked->host, "127.0.0.1");
    EXPECT_EQ(asked->port, proxy.port());
    EXPECT_EQ(asked->protocol, "http");
    EXPECT_EQ(asked->proxyType, "http");
    EXPECT_TRUE(asked->isProxy());
    EXPECT_EQ(asked->realm, "gateway");
    EXPECT_EQ(asked->authenticationMethod, kAuthenticationMethodHTTPBasic);
    ASSERT_EQ(proxy.requestCount(), 2u);
    EXPECT_FALSE(proxy.requests()[0].headers.value("Proxy-Authorization"));
}

TEST_F(SessionFixture, NegotiateIsRaisedAsItsOwnMethod) {
    LoopbackServer server([](const RecordedRequest&) {
        Reply reply = Reply::text(401, "denied");
        reply.headers.emplace_back("WWW-Authenticate", "Negotiate");
        reply.headers.emplace_back("WWW-Authenticate", "Basic realm=\"weaker\"");
        return reply;
    });
    using D = AuthChallengeDisposition;
    for (D answer : {D::cancelAuthenticationChallenge, D::useCredential}) {
        recorder = std::make_shared<Recorder>();
        makeSession();
        recorder->answerChallenge = [answer](const URLAuthenticationChallenge& challenge, ChallengeCompletion done) {
            if (challenge.previousFailureCount > 0) return done(D::performDefaultHandling, std::nullopt);
            done(answer, std::nullopt); // Negotiate brings its own credential
        };
        auto task = session->dataTask(request(server.url("/private")));
        task->resume();
        ASSERT_TRUE(recorder->waitForCompletions(1));
        auto events = recorder->events();
        EXPECT_EQ(events.front(), "challenge 0 negotiate http://127.0.0.1:" + std::to_string(server.port()) + " - 401");
        if (answer == D::cancelAuthenticationChallenge) {
            EXPECT_EQ(recorder->error(task->taskIdentifier())->code, static_cast<int>(URLErrorCode::cancelled));
        } else {
            // Without a Kerberos ticket the server still refuses: its 401 is the answer.
            ASSERT_TRUE(task->response());
            EXPECT_EQ(task->response()->statusCode(), 401);
        }
        session->invalidateAndCancel();
    }
}
