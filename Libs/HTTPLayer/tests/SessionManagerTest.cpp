#include "Libs/HTTPLayer/HTTPError.h"
#include "Libs/HTTPLayer/Notifications.h"
#include "Libs/HTTPLayer/tests/HTTPTestSupport.h"

#include "platform/core/Json.h"
#include "platform/core/NotificationCenter.h"
#include "platform/core/ProcessInfo.h"
#include "platform/core/TextConversions.h"
#include "platform/dispatch/Semaphore.h"
#include "platform/net/URLError.h"

#include <atomic>
#include <set>

using namespace http;
using namespace http::testkit;

namespace {

// The default header fields are built once per process; each test binary process sees these.
const bool kProcessSetUp = [] {
    core::ProcessInfo::setPreferredLanguagesForTesting(
        std::vector<std::string>{"en-US", "zh-Hans-CN", "fr", "de", "ja", "ko", "it"});
    core::Bundle::setInfoDictionaryForTesting(core::Dictionary{{core::Bundle::kExecutable, "Quillora"},
                                                               {core::Bundle::kIdentifier, "org.quillora.app"},
                                                               {core::Bundle::kShortVersion, "1.2"},
                                                               {core::Bundle::kVersion, core::Value(42)}});
    return true;
}();

using JSONResponse = DataResponse<core::Value>;

} // namespace

TEST_F(ManagerFixture, PostsAFormAndDeliversJSONOnTheMainQueue) {
    LoopbackServer server([](const RecordedRequest&) { return Reply::json(R"({"status":1,"data":{"n":2}})"); });
    std::optional<JSONResponse> answer;
    bool onMainThread = false;
    manager
        ->request(server.url("/index.php/AppApi/Index/index_tag_list"), HTTPMethod::post,
                  core::Dictionary{{"sign", "a b"}, {"pages", 1}}, URLEncoding::default_(), HTTPHeaders{{"version", "1.0"}})
        ->responseJSON([&](const JSONResponse& r) {
            onMainThread = dispatch::RunLoop::isMainThread();
            answer = r;
        });
    const auto& r = await(answer);
    EXPECT_TRUE(onMainThread);
    ASSERT_TRUE(r.result().isSuccess()) << r.result().debugDescription();
    EXPECT_EQ(core::description(*r.value()->find("status")), "1");
    EXPECT_EQ(r.response()->statusCode(), 200);

    ASSERT_EQ(server.requestCount(), 1u);
    auto seen = server.requests().at(0);
    EXPECT_EQ(seen.method, "POST");
    EXPECT_EQ(seen.target, "/index.php/AppApi/Index/index_tag_list");
    EXPECT_EQ(seen.body, "pages=1&sign=a%20b");
    EXPECT_EQ(seen.headers.value("Content-Type"), "application/x-www-form-urlencoded; charset=utf-8");
    EXPECT_EQ(seen.headers.value("Accept-Encoding"), "gzip;q=1.0, compress;q=0.5");
    // Six languages at most, the qualities printed shortest with one fractional digit.
    EXPECT_EQ(seen.headers.value("Accept-Language"), "en-US;q=1.0, zh-Hans-CN;q=0.9, fr;q=0.8, de;q=0.7, ja;q=0.6, ko;q=0.5");
    // A build number that is not text reads as Unknown.
    EXPECT_EQ(seen.headers.value("User-Agent"), "Quillora/1.2 (org.quillora.app; build:Unknown; iOS 12.0.0) HTTPLayer/1.2");
    EXPECT_EQ(seen.headers.value("version"), "1.0");
}

TEST(SharedManager, IsOneManagerWhoseFreeFunctionsReachTheServer) {
    LoopbackServer server([](const RecordedRequest& r) { return Reply::json(R"({"echo":")" + r.body + "\"}"); });
    EXPECT_EQ(SessionManager::default_(), SessionManager::default_());
    std::optional<JSONResponse> answer;
    http::request(server.url("/api"), HTTPMethod::post, core::Dictionary{{"k", "v"}})->responseJSON([&](const JSONResponse& r) {
        answer = r;
    });
    const auto& r = ManagerFixture::await(answer);
    ASSERT_TRUE(r.result().isSuccess()) << r.result().debugDescription();
    EXPECT_EQ(core::description(*r.value()->find("echo")), "k=v");
    EXPECT_EQ(server.requests().at(0).headers.value("Accept-Encoding"), "gzip;q=1.0, compress;q=0.5");
}

TEST_F(ManagerFixture, EachManagerHasItsOwnLabelledQueue) {
    auto other = makeManager();
    const std::string prefix = "org.httplayer.session-manager.";
    EXPECT_EQ(manager->queue()->label().substr(0, prefix.size()), prefix);
    EXPECT_EQ(manager->queue()->label().size(), prefix.size() + 36);
    EXPECT_NE(manager->queue()->label(), other->queue()->label());
}

// Every kind of reply the service might give, through the JSON handler of the service road.
TEST_F(ManagerFixture, RepliesOfEveryKindReachTheJSONHandler) {
    LoopbackServer server([](const RecordedRequest& r) {
        const std::string& path = r.target;
        if (path == "/302" || path == "/307") {
            Reply reply = Reply::text(path == "/302" ? 302 : 307, "moved");
            reply.headers.emplace_back("Location", "/target");
            return reply;
        }
        if (path == "/target") return Reply::json("{\"method\":\"" + r.method + "\",\"body\":\"" + r.body + "\"}");
        if (path == "/gzip") {
            Reply reply = Reply::json(R"({"zipped":true})");
            reply.gzip = true;
            return reply;
        }
        if (path == "/204") return Reply::text(204, "");
        if (path == "/500") return Reply::json(R"({"status":0})", 500);
        if (path == "/malformed") return Reply::json(R"({"status":)");
        if (path == "/fragment") return Reply::json("1");
        Reply reply = Reply::json(R"({"status":1})");
        if (path == "/drop") reply.mode = Reply::Mode::closeWithoutReply;
        if (path == "/truncate") reply.mode = Reply::Mode::truncateBody;
        return reply;
    });
    struct Case {
        std::string path;
        std::string expected; // the JSON value's text, or "error <code>" / "serialization"
    };
    const Case cases[] = {
        {"/302", R"({"method":"GET","body":""})"},  // POST becomes GET without its body
        {"/307", R"({"method":"POST","body":"a=1"})"}, // method and body are kept
        {"/gzip", R"({"zipped":true})"},
        {"/204", "null"},
        {"/500", R"({"status":0})"}, // no validation: a 500 is still parsed
        {"/malformed", "serialization"},
        {"/fragment", "1"},
        {"/drop", "error -1005"},
        {"/truncate", "error -1005"},
    };
    std::vector<std::optional<JSONResponse>> answers(std::size(cases));
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        manager->request(server.url(cases[i].path), HTTPMethod::post, core::Dictionary{{"a", 1}})
            ->responseJSON([&answers, i](const JSONResponse& r) { answers[i] = r; });
    }
    ASSERT_TRUE(dispatch::RunLoop::main().runUntil([&] {
        return std::all_of(answers.begin(), answers.end(), [](const auto& a) { return a.has_value(); });
    }, 20));
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const auto& r = *answers[i];
        std::string got;
        if (r.result().isSuccess()) {
            got = core::json::write(*r.value(), core::json::FragmentsAllowed).valueOr("?");
        } else if (auto* e = r.error()->as<core::Error>()) {
            got = "error " + std::to_string(e->code);
        } else if (auto* h = r.error()->as<HTTPError>(); h && h->isResponseSerializationFailure()) {
            got = "serialization";
        } else {
            got = r.error()->description();
        }
        EXPECT_EQ(got, cases[i].expected) << cases[i].path;
        // The body is empty, not absent, when no bytes arrived.
        EXPECT_TRUE(r.data().has_value()) << cases[i].path;
    }
}

TEST_F(ManagerFixture, StalledRepliesWaitUntilTheServerGoesOn) {
    LoopbackServer server([](const RecordedRequest&) {
        Reply reply = Reply::text(200, std::string(4000, 'x'));
        reply.mode = Reply::Mode::stallMidBody;
        return reply;
    });
    std::optional<DataResponse<std::string>> answer;
    auto request = manager->request(server.url("/slow"))->responseString(nullptr, std::nullopt, [&](const auto& r) { answer = r; });
    ASSERT_TRUE(dispatch::RunLoop::main().runUntil([&] { return request->progress()->completedUnitCount() >= 2000; }, 20));
    dispatch::RunLoop::main().pump();
    EXPECT_FALSE(answer);
    EXPECT_EQ(request->progress()->totalUnitCount(), 4000);
    server.releaseStalls();
    const auto& r = await(answer);
    EXPECT_EQ(r.value(), std::string(4000, 'x'));
}

TEST_F(ManagerFixture, HandlersRunInTheOrderTheyWereAttached) {
    LoopbackServer server([](const RecordedRequest&) { return Reply::json("[1,2]"); });
    std::vector<std::string> order;
    std::optional<JSONResponse> json;
    std::optional<DataResponse<std::string>> string;
    std::optional<DefaultDataResponse> plain;
    auto request = manager->request(server.url("/"));
    request->responseJSON([&](const JSONResponse& r) { order.push_back("json"), json = r; })
        ->responseString(nullptr, std::nullopt, [&](const DataResponse<std::string>& r) { order.push_back("string"), string = r; })
        ->response(nullptr, [&](const DefaultDataResponse& r) { order.push_back("plain"), plain = r; });
    await(plain);
    EXPECT_EQ(order, (std::vector<std::string>{"json", "string", "plain"}));
    EXPECT_EQ(text(json->data()), "[1,2]");
    EXPECT_EQ(string->value(), "[1,2]");
    EXPECT_EQ(json->response()->statusCode(), string->response()->statusCode());
    EXPECT_LE(json->timeline().serializationCompletedTime(), string->timeline().serializationCompletedTime());

    // A handler attached after completion runs at once with the same outcome.
    std::optional<DataResponse<core::Bytes>> late;
    request->responseData(nullptr, [&](const DataResponse<core::Bytes>& r) { late = r; });
    EXPECT_EQ(text(await(late).value()), "[1,2]");
}

// Serializers run on the task delegate's queue whether the handler was attached before the task
// completed (the queue is then released on the session's delegate queue) or after it.
TEST_F(ManagerFixture, SerializersRunOnTheTaskDelegatesQueue) {
    LoopbackServer server([](const RecordedRequest&) { return Reply::json("[1]"); });
    for (const bool attachLate : {false, true}) {
        SCOPED_TRACE(attachLate ? "attached after completion" : "attached before completion");
        auto request = manager->request(server.url("/"));
        if (attachLate) {
            std::optional<DefaultDataResponse> first;
            request->response(nullptr, [&](const DefaultDataResponse& r) { first = r; });
            await(first);
        }
        std::shared_ptr<dispatch::OperationQueue> ranOn;
        DataResponseSerializer<std::string> serializer(
            [&](const std::optional<net::URLRequest>&, const std::optional<net::HTTPURLResponse>&,
                const std::optional<core::Bytes>& data, const std::optional<Error>&) -> Result<std::string> {
                ranOn = dispatch::OperationQueue::current();
                return text(data);
            });
        std::optional<DataResponse<std::string>> answer;
        request->response(nullptr, serializer, [&](const DataResponse<std::string>& r) { answer = r; });
        EXPECT_EQ(await(answer).value(), "[1]");
        EXPECT_EQ(ranOn, request->delegate()->queue());
    }
}

TEST_F(ManagerFixture, CompletionRunsOnTheNamedQueue) {
    LoopbackServer server([](const RecordedRequest&) { return Reply::json("{}"); });
    auto queue = dispatch::Queue::serial("org.quillora.tests.completions");
    dispatch::Semaphore done(0);
    std::atomic<bool> offMain{false};
    manager->request(server.url("/"))->responseJSON(queue, 0, [&](const JSONResponse&) {
        offMain = !dispatch::RunLoop::isMainThread();
        done.signal();
    });
    // The main loop is never pumped here, so the completion can only have run on the named queue.
    ASSERT_TRUE(done.wait(20));
    EXPECT_TRUE(offMain);
}

TEST_F(ManagerFixture, RecordsCarryTheTimelineAndTheMetrics) {
    LoopbackServer server([](const RecordedRequest&) { return Reply::json(R"({"a":1})"); });
    std::optional<JSONResponse> answer;
    auto request = manager->request(server.url("/"))->responseJSON([&](const JSONResponse& r) { answer = r; });
    const auto& r = await(answer);
    const Timeline& t = r.timeline();
    EXPECT_EQ(t.requestStartTime(), *request->startTime());
    EXPECT_EQ(t.requestCompletedTime(), *request->endTime());
    EXPECT_LE(t.requestStartTime(), t.initialResponseTime());
    EXPECT_LE(t.initialResponseTime(), t.requestCompletedTime());
    EXPECT_LE(t.requestCompletedTime(), t.serializationCompletedTime());
    EXPECT_DOUBLE_EQ(t.totalDuration(), t.serializationCompletedTime() - t.requestStartTime());
    ASSERT_TRUE(r.metrics());
    ASSERT_EQ(r.metrics()->transactionMetrics.size(), 1u);
    EXPECT_EQ(r.metrics()->transactionMetrics[0].request->url->absoluteString(), server.url("/"));

    // Below system version 10 the record keeps no metrics.
    core::ProcessInfo::setOperatingSystemVersionForTesting({9, 3, 0});
    std::optional<JSONResponse> older;
    manager->request(server.url("/"))->responseJSON([&](const JSONResponse& o) { older = o; });
    EXPECT_FALSE(await(older).metrics());
    core::ProcessInfo::setOperatingSystemVersionForTesting({12, 0, 0});
}

TEST_F(ManagerFixture, ValidationByStatusCodeAndContentType) {
    LoopbackServer server([](const RecordedRequest& r) {
        if (r.target == "/404") return Reply::json("{}", 404);
        if (r.target == "/204") return Reply::text(204, "");
        if (r.target == "/untyped") {
            Reply reply = Reply::text(200, "x");
            reply.headers.clear();
            return reply;
        }
        return Reply::json("{}");
    });
    struct Case {
        std::string path;
        std::optional<std::string> accept;
        std::vector<std::string> types; // empty: validateDefaults()
        std::string expected;
    };
    const Case cases[] = {
        {"/json", "application/json", {}, "ok"},
        {"/json", std::nullopt, {}, "ok"}, // no Accept: */*
        {"/json", "text/html, application/json", {}, "ok"},
        {"/json", "text/*", {}, "Response Content-Type \"application/json\" does not match any acceptable types: text/*."},
        {"/404", "application/json", {}, "Response status code was unacceptable: 404."},
        {"/204", "text/html", {}, "ok"}, // no body, nothing to check
        {"/untyped", std::nullopt, {"application/json"},
         "Response Content-Type was missing and acceptable content types (application/json) do not match \"*/*\"."},
    };
    std::vector<std::optional<DefaultDataResponse>> answers(std::size(cases));
    // Validations run when the task completes, and only those added by then: each request starts
    // once it has its validation, or a quick answer could complete unvalidated.
    manager->setStartRequestsImmediately(false);
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        HTTPHeaders headers;
        if (cases[i].accept) headers.set("Accept", *cases[i].accept);
        auto request = manager->request(server.url(cases[i].path), HTTPMethod::get, std::nullopt, URLEncoding::default_(), headers);
        if (cases[i].types.empty()) request->validateDefaults(); else request->validateContentType(cases[i].types);
        request->response(nullptr, [&answers, i](const DefaultDataResponse& r) { answers[i] = r; });
        request->resume();
    }
    ASSERT_TRUE(dispatch::RunLoop::main().runUntil([&] {
        return std::all_of(answers.begin(), answers.end(), [](const auto& a) { return a.has_value(); });
    }, 20));
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const auto& error = answers[i]->error();
        EXPECT_EQ(error ? error->description() : "ok", cases[i].expected) << cases[i].path;
    }
}

TEST_F(ManagerFixture, ARequestsCredentialAnswersTheServersChallenge) {
    LoopbackServer server([](const RecordedRequest& r) {
        if (r.headers.value("Authorization") == "Basic dTpw") return Reply::json(R"({"ok":1})"); // u:p
        Reply reply = Reply::json(R"({"ok":0})", 401);
        reply.headers.emplace_back("WWW-Authenticate", "Basic realm=\"quillora\"");
        return reply;
    });
    struct Case {
        std::optional<std::pair<std::string, std::string>> credential;
        std::size_t requests; // a refused credential is not sent twice
        std::string expected;
    };
    const Case cases[] = {
        {std::pair<std::string, std::string>{"u", "p"}, 2, "ok"},
        {std::pair<std::string, std::string>{"u", "wrong"}, 2, "Response status code was unacceptable: 401."},
        {std::nullopt, 1, "Response status code was unacceptable: 401."},
    };
    // Each case answers into its own slot, kept to the end, and counts its answers: an answer that
    // came twice, or late, shows as such instead of landing in the next case.
    std::vector<std::optional<DefaultDataResponse>> answers(std::size(cases));
    std::vector<int> deliveries(std::size(cases), 0);
    // The credential is read when the challenge comes and the validations when the task completes,
    // both on the delegate queue: each request starts only once it has them. Started at once, a
    // request can be challenged (with no credential yet) and complete (with no validation yet)
    // before the next line runs, and its 401 then reads as ok after a single request.
    manager->setStartRequestsImmediately(false);
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const Case& c = cases[i];
        const std::size_t sentBefore = server.requestCount();
        auto request = manager->request(server.url("/private"));
        if (c.credential) request->setCredential(c.credential->first, c.credential->second);
        request->validateDefaults()->response(nullptr, [&answers, &deliveries, i](const DefaultDataResponse& r) {
            answers[i] = r;
            ++deliveries[i];
        });
        request->resume();
        const auto& r = await(answers[i]);
        std::string sent;  // the Authorization of each request of this case, for the message
        const auto all = server.requests();
        for (std::size_t k = sentBefore; k < all.size(); ++k) sent += "[" + all[k].headers.value("Authorization").value_or("none") + "]";
        EXPECT_EQ(r.error() ? r.error()->description() : "ok", c.expected) << "case " << i << ", sent " << sent;
        EXPECT_EQ(server.requestCount() - sentBefore, c.requests) << "case " << i << ", sent " << sent;
    }
    dispatch::RunLoop::main().runFor(0.05);
    EXPECT_EQ(deliveries, std::vector<int>(std::size(cases), 1));
}

TEST_F(ManagerFixture, TheFirstFailingValidationWins) {
    LoopbackServer server([](const RecordedRequest&) { return Reply::json("{}", 500); });
    std::vector<std::string> ran;
    std::optional<JSONResponse> answer;
    // Started once both validations are added, so that the task cannot complete before them.
    manager->setStartRequestsImmediately(false);
    manager->request(server.url("/"))
        ->addValidation([&](const auto&, const net::HTTPURLResponse&, const std::optional<core::Bytes>& data) {
            ran.push_back("own " + text(data));
            return Request::ValidationResult::failure(HTTPError::invalidURL("first"));
        })
        ->validateStatusCode({200})
        ->responseJSON([&](const JSONResponse& r) { answer = r; })
        ->resume();
    const auto& r = await(answer);
    EXPECT_EQ(ran, std::vector<std::string>{"own {}"});
    EXPECT_EQ(r.error()->description(), "URL is not valid: first");
}

TEST_F(ManagerFixture, TaskNotificationsCarryTheirObjectsAndUserInfo) {
    LoopbackServer server([](const RecordedRequest&) { return Reply::json("[]"); });
    std::vector<core::Notification> seen;
    std::mutex m;
    auto record = [&](const core::Notification& n) {
        std::lock_guard lock(m);
        seen.push_back(n);
    };
    auto& center = core::NotificationCenter::defaultCenter();
    auto t1 = center.addObserver(std::string(Notification::Name::Task::DidResume), record);
    auto t2 = center.addObserver(std::string(Notification::Name::Task::DidComplete), record);
    auto t3 = center.addObserver(std::string(Notification::Name::Task::DidSuspend), record);
    std::optional<DefaultDataResponse> answer;
    auto request = manager->request(server.url("/"))->response(nullptr, [&](const DefaultDataResponse& r) { answer = r; });
    await(answer);
    // The handlers are released just before the completion is posted and the table entry dropped.
    ASSERT_TRUE(dispatch::RunLoop::main().runUntil([&] {
        std::lock_guard lock(m);
        return seen.size() == 2 && !manager->delegate()->requestForTask(*request->task());
    }));
    std::lock_guard lock(m);
    EXPECT_EQ(seen[0].name, Notification::Name::Task::DidResume);
    EXPECT_EQ(seen[0].object, request);
    ASSERT_EQ(seen[0].userInfo.size(), 1u);
    EXPECT_EQ(seen[0].userInfo.find(Notification::Key::Task)->asObject(), request->task());
    EXPECT_EQ(seen[1].name, Notification::Name::Task::DidComplete);
    EXPECT_EQ(seen[1].object, manager->delegate());
    EXPECT_EQ(seen[1].userInfo.find(Notification::Key::Task)->asObject(), request->task());
    EXPECT_EQ(text(seen[1].userInfo.find(Notification::Key::ResponseData)->asBytes()), "[]");
}

TEST_F(ManagerFixture, ARequestTimesOutOnTheAppClock) {
    auto clock = std::make_shared<dispatch::VirtualClock>();
    dispatch::Clock::setCurrent(clock);
    manager = makeManager(/*requestTimeout=*/4);
    LoopbackServer server([](const RecordedRequest&) {
        Reply reply = Reply::json("{}");
        reply.mode = Reply::Mode::stallBeforeHead;
        return reply;
    });
    std::optional<JSONResponse> answer;
    manager->request(server.url("/"), HTTPMethod::post)->responseJSON([&](const JSONResponse& r) { answer = r; });
    ASSERT_TRUE(dispatch::RunLoop::main().runUntil([&] { return server.requestCount() == 1; }));
    clock->advance(3.9);
    dispatch::RunLoop::main().pump();
    EXPECT_FALSE(answer);
    clock->advance(0.2);
    const auto& r = await(answer);
    ASSERT_TRUE(r.error());
    EXPECT_TRUE(net::isURLError(*r.error()->as<core::Error>(), net::URLErrorCode::timedOut));
    EXPECT_FALSE(r.response());
    server.releaseStalls();
}

TEST_F(ManagerFixture, CancellingARunningRequest) {
    LoopbackServer server([](const RecordedRequest&) {
        Reply reply = Reply::json("{}");
        reply.mode = Reply::Mode::stallBeforeHead;
        return reply;
    });
    std::optional<core::Notification> cancelled;
    auto token = core::NotificationCenter::defaultCenter().addObserver(std::string(Notification::Name::Task::DidCancel),
                                                                       [&](const core::Notification& n) { cancelled = n; });
    std::optional<JSONResponse> answer;
    auto request = manager->request(server.url("/"))->responseJSON([&](const JSONResponse& r) { answer = r; });
    ASSERT_TRUE(dispatch::RunLoop::main().runUntil([&] { return server.requestCount() == 1; }));
    request->cancel();
    ASSERT_TRUE(cancelled);
    EXPECT_EQ(cancelled->object, request);
    const auto& r = await(answer);
    EXPECT_TRUE(net::isURLError(*r.error()->as<core::Error>(), net::URLErrorCode::cancelled));
    server.releaseStalls();
}

TEST_F(ManagerFixture, ManyConcurrentRequestsEachGetTheirOwnAnswer) {
    LoopbackServer server([](const RecordedRequest& r) { return Reply::json("\"" + r.body + "\""); });
    constexpr int kCount = 64;
    std::vector<std::optional<JSONResponse>> answers(kCount);
    std::vector<std::thread> callers;
    for (int t = 0; t < 4; ++t) {
        callers.emplace_back([&, t] {
            for (int i = t; i < kCount; i += 4) {
                manager->request(server.url("/"), HTTPMethod::post, core::Dictionary{{"i", i}})
                    ->responseJSON([&answers, i](const JSONResponse& r) { answers[static_cast<std::size_t>(i)] = r; });
            }
        });
    }
    for (auto& c : callers) c.join();
    ASSERT_TRUE(dispatch::RunLoop::main().runUntil([&] {
        return std::all_of(answers.begin(), answers.end(), [](const auto& a) { return a.has_value(); });
    }, 30));
    for (int i = 0; i < kCount; ++i) EXPECT_EQ(answers[static_cast<std::size_t>(i)]->value(), core::Value("i=" + std::to_string(i)));
    EXPECT_EQ(server.requestCount(), static_cast<std::size_t>(kCount));
}

// ---- failures before a task exists, adapters and retriers ----

namespace {

struct FailingAdapter : RequestAdapter {
    std::atomic<int> calls{0};
    int failures = 1 << 30; // how many calls fail
    Result<net::URLRequest> adaptRequest(const net::URLRequest& r) override {
        if (calls++ < failures) return Result<net::URLRequest>::failure(HTTPError::invalidURL("adapter"));
        return r;
    }
};

// Says yes `retries` times (with no delay), then no; records the errors it saw.
struct CountingRetrier : RequestRetrier {
    int retries = 1;
    std::mutex m;
    std::vector<std::string> errors;
    std::atomic<bool> askedOnMain{false};
    void shouldRetryRequest(const std::shared_ptr<SessionManager>&, const std::shared_ptr<Request>& request, const Error& error,
                            RequestRetryCompletion completion) override {
        if (dispatch::RunLoop::isMainThread()) askedOnMain = true;
        {
            std::lock_guard lock(m);
            errors.push_back(error.description());
        }
        completion(static_cast<int>(request->retryCount()) < retries, 0);
    }
};

} // namespace

TEST_F(ManagerFixture, FailuresBeforeATaskReachTheHandlers) {
    std::optional<DefaultDataResponse> invalid;
    auto request = manager->request("http://exa mple.com/")->response(nullptr, [&](const DefaultDataResponse& r) { invalid = r; });
    EXPECT_FALSE(request->task());
    EXPECT_EQ(await(invalid).error()->description(), "URL is not valid: http://exa mple.com/");

    // Not started: the handler waits until the caller resumes the request.
    manager->setStartRequestsImmediately(false);
    std::optional<DefaultDataResponse> waiting;
    auto later = manager->request("http://exa mple.com/")->response(nullptr, [&](const DefaultDataResponse& r) { waiting = r; });
    dispatch::RunLoop::main().pump();
    EXPECT_FALSE(waiting);
    later->resume();
    await(waiting);

    // An adapter's failure arrives as its own error, not wrapped.
    manager->setStartRequestsImmediately(true);
    manager->setAdapter(std::make_shared<FailingAdapter>());
    std::optional<DefaultDataResponse> adapted;
    auto failed = manager->request("http://127.0.0.1:9/x")->response(nullptr, [&](const DefaultDataResponse& r) { adapted = r; });
    EXPECT_EQ(await(adapted).error()->description(), "URL is not valid: adapter");
    EXPECT_EQ(failed->request()->url->absoluteString(), "http://127.0.0.1:9/x");
}

TEST_F(ManagerFixture, AnAdapterFailureGoesToTheRetrierWhichMayRetry) {
    LoopbackServer server([](const RecordedRequest&) { return Reply::json("{}"); });
    auto adapter = std::make_shared<FailingAdapter>();
    adapter->failures = 1;
    auto retrier = std::make_shared<CountingRetrier>();
    manager->setAdapter(adapter);
    manager->setRetrier(retrier);
    std::optional<JSONResponse> answer;
    auto request = manager->request(server.url("/"))->responseJSON([&](const JSONResponse& r) { answer = r; });
    const auto& r = await(answer);
    EXPECT_TRUE(r.result().isSuccess()) << r.result().debugDescription();
    EXPECT_FALSE(retrier->askedOnMain);
    EXPECT_EQ(retrier->errors, std::vector<std::string>{"URL is not valid: adapter"});
    EXPECT_EQ(request->retryCount(), 1u);
    EXPECT_EQ(adapter->calls, 2);
}

TEST_F(ManagerFixture, ARetriedRequestThatFailsAtOnceStillCompletes) {
    // The retried task fails as soon as it starts (nothing listens); it must find its request.
    const std::string url = "http://127.0.0.1:" + std::to_string(LoopbackServer::refusedPort()) + "/";
    auto retrier = std::make_shared<CountingRetrier>();
    retrier->retries = 3;
    manager->setRetrier(retrier);
    std::atomic<int> completions{0};
    std::optional<JSONResponse> answer;
    auto request = manager->request(url)->responseJSON([&](const JSONResponse& r) {
        ++completions;
        answer = r;
    });
    const auto& r = await(answer);
    EXPECT_TRUE(net::isURLError(*r.error()->as<core::Error>(), net::URLErrorCode::cannotConnectToHost));
    EXPECT_EQ(request->retryCount(), 3u);
    EXPECT_EQ(retrier->errors.size(), 4u);
    dispatch::RunLoop::main().pump();
    EXPECT_EQ(completions, 1);
    EXPECT_TRUE(dispatch::RunLoop::main().runUntil([&] { return !manager->delegate()->requestForTask(*request->task()); }));
}

TEST_F(ManagerFixture, AValidationFailureIsWhatTheRetrierSees) {
    LoopbackServer server([](const RecordedRequest&) { return Reply::json("{}", 503); });
    auto retrier = std::make_shared<CountingRetrier>();
    retrier->retries = 1;
    manager->setRetrier(retrier);
    std::optional<DefaultDataResponse> answer;
    // Started once validated: a first attempt completed before its validation is not retried.
    manager->setStartRequestsImmediately(false);
    manager->request(server.url("/"))
        ->validateDefaults()
        ->response(nullptr, [&](const DefaultDataResponse& r) { answer = r; })
        ->resume();
    EXPECT_EQ(await(answer).error()->description(), "Response status code was unacceptable: 503.");
    // The validations belong to the request, so they run again for the retried task.
    EXPECT_EQ(retrier->errors, std::vector<std::string>(2, "Response status code was unacceptable: 503."));
    EXPECT_EQ(server.requestCount(), 2u);
}

TEST_F(ManagerFixture, ReleasingTheManagerCancelsItsTasks) {
    LoopbackServer server([](const RecordedRequest&) {
        Reply reply = Reply::json("{}");
        reply.mode = Reply::Mode::stallBeforeHead;
        return reply;
    });
    std::optional<JSONResponse> answer;
    manager->request(server.url("/"))->responseJSON([&](const JSONResponse& r) { answer = r; });
    ASSERT_TRUE(dispatch::RunLoop::main().runUntil([&] { return server.requestCount() == 1; }));
    manager.reset();
    EXPECT_TRUE(net::isURLError(*await(answer).error()->as<core::Error>(), net::URLErrorCode::cancelled));
    server.releaseStalls();
}

TEST_F(ManagerFixture, ADataStreamTakesTheBodyInsteadOfTheRecord) {
    LoopbackServer server([](const RecordedRequest&) { return Reply::text(200, std::string(100000, 'y')); });
    std::atomic<std::size_t> streamed{0};
    std::atomic<std::shared_ptr<core::Notification>> completed;
    auto token = core::NotificationCenter::defaultCenter().addObserver(
        std::string(Notification::Name::Task::DidComplete),
        [&](const core::Notification& n) { completed = std::make_shared<core::Notification>(n); });
    std::optional<DefaultDataResponse> answer;
    // Started once the stream is set: bytes that came before it would go to the record.
    manager->setStartRequestsImmediately(false);
    auto request = manager->request(server.url("/"));
    request->setDataStream([&](const core::Bytes& chunk) { streamed += chunk.size(); })
        ->response(nullptr, [&](const DefaultDataResponse& r) { answer = r; });
    request->resume();
    EXPECT_FALSE(await(answer).data());
    EXPECT_EQ(streamed, 100000u);
    EXPECT_EQ(request->progress()->completedUnitCount(), 100000);
    ASSERT_TRUE(dispatch::RunLoop::main().runUntil([&] { return completed.load() != nullptr; }));
    EXPECT_FALSE(completed.load()->userInfo.contains(Notification::Key::ResponseData));
}
