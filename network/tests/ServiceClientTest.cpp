#include "network/Api.h"
#include "network/MWNetwork.h"
#include "network/MWUUID.h"
#include "network/NXServer.h"
#include "network/NXUserDefault.h"
#include "Tools/LoadingView/LoadingView.h"
#include "platform/core/Log.h"
#include "platform/core/testing/TempHome.h"
#include "platform/dispatch/RunLoop.h"
#include "platform/net/testing/LoopbackServer.h"
#include "platform/ui/AlertController.h"
#include "platform/ui/Label.h"
#include "ui/HUDIndicator.h"
#include "ui/HUDProgressIndicator.h"
#include "ui/tests/KitTest.h"

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>

using namespace network;
using net::testkit::LoopbackServer;
using net::testkit::RecordedRequest;
using net::testkit::Reply;

namespace {

bool showsText(const std::shared_ptr<ui::View>& view, const std::string& text) {
    if (!view) return false;
    if (auto* label = dynamic_cast<ui::Label*>(view.get()); label && label->text() == text && !view->isHidden()) return true;
    for (const auto& sub : view->subviews()) {
        if (showsText(sub, text)) return true;
    }
    return false;
}

bool hudShows(const std::string& text) {
    auto window = kit::HUDProgressIndicator::sharedInstance()->backgroundWindow();
    return window && showsText(window, text);
}

// Answers the service's paths from a script the test sets; the switch answers with this server's
// own address unless told otherwise.
class ServiceClient : public kit::KitTest {
protected:
    void SetUp() override {
        KitTest::SetUp();
        window->setRootViewController(core::make<ui::ViewController>());
        NXServer::resetForTesting();
        NXServer::setSwitchBaseUrlForTesting(server.url(""));
        NXServer::shared()->setDefaultUrl(server.url(""));
        NXServer::shared()->setServerStatus(1);
        NXUserDefault::shared().resetForTesting();
        MWNetwork::exitProcess() = [this](int status) { exitStatus = status; };
    }
    void TearDown() override {
        ASSERT_TRUE(runUntil([] { return MWNetwork::shared()->showTimes == 0; }));
        NXServer::setSwitchBaseUrlForTesting(std::nullopt);
        NXServer::resetForTesting();
        KitTest::TearDown();
    }

    bool runUntil(const std::function<bool()>& done) { return dispatch::RunLoop::main().runUntil(done, 20); }

    std::vector<RecordedRequest> requestsTo(const std::string& path) {
        std::vector<RecordedRequest> out;
        for (auto& r : server.requests()) {
            if (r.target == path) out.push_back(r);
        }
        return out;
    }

    core::testkit::TempHome home;
    std::mutex mutex;
    std::function<Reply(const RecordedRequest&)> answer = [](const RecordedRequest&) {
        return Reply::json(R"({"status":1,"data":{}})");
    };
    std::function<Reply(const RecordedRequest&)> switchAnswer;
    LoopbackServer server{[this](const RecordedRequest& r) {
        std::lock_guard lock(mutex);
        if (r.target == "/index.php/Index/Index/index") {
            if (switchAnswer) return switchAnswer(r);
            return Reply::json(R"({"status":1,"data":{"status":1,"url":"http://127.0.0.1:1","message":""}})");
        }
        return answer(r);
    }};
    std::optional<int> exitStatus;
};

TEST_F(ServiceClient, ASignedFormPostWithTheServiceHeadersFillsTheModel) {
    answer = [](const RecordedRequest&) {
        return Reply::json(R"({"status":"1","rbac_status":3,"data":{"count":"25","now_page":2,"list":[{"title":"q","content":"a"}]}})");
    };
    auto model = core::make<QUAnswerListModel>();
    bool succeeded = false;
    MWNetwork::shared()->request(Api::kContentListPath, core::Dictionary{{"pages", "1"}}, model, true, true,
                                 [&](const auto&, const core::Dictionary&) { succeeded = true; },
                                 [&](const auto&, const core::Dictionary&) { ADD_FAILURE() << "failure closure"; });
    ASSERT_TRUE(runUntil([&] { return succeeded; }));
    EXPECT_EQ(model->count, 25);
    ASSERT_EQ(model->list.size(), 1u);
    EXPECT_EQ(NXUserDefault::shared().value("active_pas"), core::Value("3"));

    auto sent = requestsTo(Api::kContentListPath).at(0);
    EXPECT_EQ(sent.method, "POST");
    EXPECT_EQ(sent.headers.value("Content-Type"), "application/x-www-form-urlencoded; charset=utf-8");
    EXPECT_EQ(sent.headers.value("Accept"), "application/json");
    EXPECT_EQ(sent.headers.value("platformtype"), "2");
    EXPECT_EQ(sent.headers.value("channel"), "1000");
    EXPECT_EQ(sent.headers.value("deviceid"), MWUUID::getUUID());
    EXPECT_TRUE(sent.headers.contains("version"));
    // The body carries the parameters, the timestamp and the signature over both.
    std::string timestamp = MWUUID::GETCurrentTimestamp();
    std::string sign = MWUUID::CreateMD5SignForPayWithDict(core::Dictionary{{"pages", "1"}, {"random_time", timestamp}}, "");
    EXPECT_EQ(sent.body, "pages=1&random_time=" + timestamp + "&sign=" + sign);
}

TEST_F(ServiceClient, TheOverlayShowsOnceForTwoRequestsAndGoesAfterBoth) {
    answer = [](const RecordedRequest&) {
        Reply reply = Reply::json(R"({"status":1,"data":{}})");
        reply.mode = Reply::Mode::stallBeforeHead;
        return reply;
    };
    auto network = MWNetwork::shared();
    int done = 0;
    auto count = [&](const auto&, const core::Dictionary&) { ++done; };
    network->request("/a", {}, nullptr, false, true, count, count);
    network->request("/b", {}, nullptr, false, true, count, count);
    EXPECT_EQ(network->showTimes, 2);
    EXPECT_EQ(network->loadingView()->superview(), window);
    EXPECT_TRUE(network->loadingView()->loadingView()->isAnimating());
    ASSERT_TRUE(runUntil([&] { return server.requestCount() == 2; }));
    server.releaseStalls();
    ASSERT_TRUE(runUntil([&] { return done == 2; }));
    EXPECT_EQ(network->showTimes, 0);
    EXPECT_EQ(network->loadingView()->superview(), nullptr);
    EXPECT_FALSE(network->loadingView()->loadingView()->isAnimating());
}

TEST_F(ServiceClient, AnswersThatAreNotSuccessesReachTheFailureClosure) {
    struct Case { const char* name; std::string body; bool showError; std::optional<std::string> message; bool hud; };
    const Case cases[] = {
        {"status 0 with showError", R"({"status":"0","message":"签名错误","errcode":40003})", true, "签名错误", true},
        {"status 0 without showError", R"({"status":0,"message":"签名错误"})", false, "签名错误", false},
        {"JSON that is not an object", R"([1,2])", true, std::nullopt, false},
    };
    for (const auto& c : cases) {
        kit::HUDIndicator::dismissProgress();
        host->advance(1);
        {
            std::lock_guard lock(mutex);
            answer = [body = c.body](const RecordedRequest&) { return Reply::json(body); };
        }
        std::shared_ptr<MWModel> envelope;
        MWNetwork::shared()->request("/x", {}, nullptr, c.showError, false, [&](const auto&, const auto&) { ADD_FAILURE() << c.name; },
                                     [&](const std::shared_ptr<MWModel>& e, const core::Dictionary&) { envelope = e; });
        ASSERT_TRUE(runUntil([&] { return envelope != nullptr; })) << c.name;
        EXPECT_EQ(envelope->message, c.message) << c.name;
        host->advance(0.5);
        EXPECT_EQ(hudShows("签名错误"), c.hud) << c.name;
    }
    EXPECT_TRUE(requestsTo("/index.php/Index/Index/index").empty()); // none of these asks for a new server
}

TEST_F(ServiceClient, ATransportFailureReportsAnEmptyEnvelopeAndSwitchesServers) {
    NXServer::shared()->setDefaultUrl("http://127.0.0.1:" + std::to_string(LoopbackServer::refusedPort()));
    std::shared_ptr<MWModel> envelope;
    core::Dictionary answerSeen{{"x", 1}};
    MWNetwork::shared()->request("/x", {}, nullptr, true, true, [&](const auto&, const auto&) { ADD_FAILURE(); },
                                 [&](const std::shared_ptr<MWModel>& e, const core::Dictionary& a) {
                                     envelope = e;
                                     answerSeen = a;
                                 });
    ASSERT_TRUE(runUntil([&] { return envelope != nullptr; }));
    EXPECT_FALSE(envelope->message);
    EXPECT_TRUE(answerSeen.empty());
    ASSERT_TRUE(runUntil([&] { return requestsTo("/index.php/Index/Index/index").size() == 1; }));
    auto switchRequest = requestsTo("/index.php/Index/Index/index").at(0);
    std::string timestamp = MWUUID::GETCurrentTimestamp();
    EXPECT_EQ(switchRequest.body, "asname=loc&random_time=" + timestamp + "&sign=" +
                                      MWUUID::CreateMD5SignForPayWithDict(
                                          core::Dictionary{{"asname", "loc"}, {"random_time", timestamp}}, MWNetwork::kSwitchSalt));
}

TEST_F(ServiceClient, TheServerSwitchStoresOnlyAUsableAddress) {
    struct Case { const char* name; std::string body; std::string stored; std::int64_t status; bool notice; };
    const std::string before = server.url("");
    const Case cases[] = {
        {"a usable address", R"({"status":1,"data":{"status":1,"url":"http://10.0.0.7:8080","message":""}})", "http://10.0.0.7:8080", 1, false},
        {"an empty address keeps the old one", R"({"status":1,"data":{"status":1,"url":"","message":""}})", before, 1, false},
        {"not an http address", R"j({"status":1,"data":{"status":1,"url":"javascript:alert(1)","message":""}})j", before, 1, false},
        {"a success without data counts as a failure", R"({"status":1})", before, 1, true},
        {"a refusal of the service", R"({"status":0,"data":{"message":"x"}})", before, 1, true},
    };
    for (const auto& c : cases) {
        NXServer::shared()->setDefaultUrl(before);
        NXServer::shared()->setServerStatus(-1);
        kit::HUDIndicator::dismissProgress();
        host->advance(1);
        {
            std::lock_guard lock(mutex);
            switchAnswer = [body = c.body](const RecordedRequest&) { return Reply::json(body); };
        }
        bool completed = false;
        MWNetwork::shared()->fetchServer([&] { completed = true; });
        ASSERT_TRUE(runUntil([&] { return completed; })) << c.name;
        NXServer::shared()->setServerStatus(1);
        EXPECT_EQ(NXServer::shared()->getUrl(), c.stored) << c.name;
        host->advance(0.5);
        EXPECT_EQ(hudShows(MWNetwork::kNetworkUnavailable), c.notice) << c.name;
    }
}

TEST_F(ServiceClient, ASwitchThatRefusesTheAppAsksAndQuitsOnConfirm) {
    switchAnswer = [](const RecordedRequest&) {
        return Reply::json(R"({"status":1,"data":{"status":0,"url":"","message":"请升级到新版本"}})");
    };
    bool completed = false;
    MWNetwork::shared()->fetchServer([&] { completed = true; });
    ASSERT_TRUE(runUntil([&] { return completed; }));
    EXPECT_EQ(NXServer::shared()->getServerStatus(), 0); // the completion does not wait for the alert
    host->advance(1);
    auto alert = std::dynamic_pointer_cast<ui::AlertController>(window->rootViewController()->presentedViewController());
    ASSERT_TRUE(alert);
    EXPECT_EQ(alert->message(), "请升级到新版本");
    ASSERT_EQ(alert->actions().size(), 2u);
    EXPECT_EQ(alert->actions()[1]->title(), "确定");
    EXPECT_FALSE(exitStatus);
    alert->actions()[1]->handler()(*alert->actions()[1]);
    host->advance(1);
    EXPECT_EQ(exitStatus, 0);
}

TEST_F(ServiceClient, ASwitchThatTimesOutAfterFourSecondsSaysTheNetworkIsUnavailable) {
    switchAnswer = [](const RecordedRequest&) {
        Reply reply = Reply::json("{}");
        reply.mode = Reply::Mode::stallBeforeHead;
        return reply;
    };
    NXServer::shared()->setServerStatus(-1);
    bool completed = false;
    MWNetwork::shared()->fetchServer([&] { completed = true; });
    ASSERT_TRUE(runUntil([&] { return server.requestCount() == 1; }));
    host->advance(3.9);
    EXPECT_FALSE(completed);
    host->advance(0.2);
    ASSERT_TRUE(runUntil([&] { return completed; }));
    EXPECT_EQ(NXServer::shared()->getServerStatus(), 1);
    host->advance(0.5);
    EXPECT_TRUE(hudShows(MWNetwork::kNetworkUnavailable));
    server.releaseStalls();
}

TEST_F(ServiceClient, ContentListSendsOnlyTheParametersItIsGiven) {
    auto api = core::make<Api>();
    bool done = false;
    api->contentList(1, std::string("abc"), std::nullopt, [&](const auto&, const auto&) { done = true; }, {});
    ASSERT_TRUE(runUntil([&] { return done; }));
    auto body = requestsTo(Api::kContentListPath).at(0).body;
    EXPECT_EQ(body.rfind("pages=1&random_time=", 0), 0u) << body;
    EXPECT_NE(body.find("&search_text=abc&sign="), std::string::npos) << body;
    EXPECT_EQ(body.find("search_tag"), std::string::npos) << body;
}

TEST_F(ServiceClient, ATagListIsRememberedBeforeThePageHearsOfIt) {
    answer = [](const RecordedRequest&) { return Reply::json(R"({"status":1,"data":{"about_url":"/about","list":[]}})"); };
    auto api = core::make<Api>();
    std::shared_ptr<MWMainListModel> seenCurrent;
    api->tagList(Api::kTagListPath, {},
                 [&](const std::shared_ptr<MWMainListModel>& model, const core::Dictionary& reply) {
                     Api::rememberMainList(model, reply, [&](const auto&, const auto&) { seenCurrent = Api::currentMainList(); });
                 },
                 {}, true);
    ASSERT_TRUE(runUntil([&] { return seenCurrent != nullptr; }));
    EXPECT_EQ(seenCurrent->about_url, "/about");
}

} // namespace

namespace {

TEST_F(ServiceClient, ASwitchReplyThatIsNotAnObjectTakesTheFailurePath) {
    for (const char* body : {"[1,2]", R"("text")", "42", "null"}) {
        NXServer::shared()->setServerStatus(-1);
        kit::HUDIndicator::dismissProgress();
        host->advance(1);
        {
            std::lock_guard lock(mutex);
            switchAnswer = [body](const RecordedRequest&) { return Reply::json(body); };
        }
        bool completed = false;
        MWNetwork::shared()->fetchServer([&] { completed = true; });
        ASSERT_TRUE(runUntil([&] { return completed; })) << body;
        EXPECT_EQ(NXServer::shared()->getServerStatus(), 1) << body;
        EXPECT_EQ(MWNetwork::shared()->showTimes, 0) << body;
        host->advance(0.5);
        EXPECT_TRUE(hudShows(MWNetwork::kNetworkUnavailable)) << body;
    }
}

// Every way a request can fail leaves exactly one line naming the path and the error's code.
TEST_F(ServiceClient, EveryFailedRequestLogsOneLine) {
    struct Case { const char* name; std::function<Reply()> reply; std::string code; };
    const Case cases[] = {
        {"server error page", [] { return Reply::text(502, "<html>bad gateway</html>", "text/html"); }, "(HTTP 502)"},
        {"server error with JSON", [] { return Reply::json(R"({"status":0})", 503); }, "503 server error"},
        {"reset mid-body", [] { Reply r = Reply::json(R"({"status":1,"data":{}})"); r.mode = Reply::Mode::truncateBody; return r; }, "-1005"},
        {"not JSON", [] { return Reply::text(200, "hello"); }, "failed: 3840"},
        {"too long a body", [] { return Reply::json(std::string(std::size_t(MWNetwork::kMaximumBodyLength) + 1, ' ')); }, "-1103"},
    };
    for (const auto& c : cases) {
        {
            std::lock_guard lock(mutex);
            answer = [reply = c.reply](const RecordedRequest&) { return reply(); };
            switchAnswer = {};
        }
        NXServer::shared()->setDefaultUrl(server.url("")); // the switch after a failure moves it
        NXServer::shared()->setServerStatus(1);
        core::LogCapture log;
        bool failed = false;
        MWNetwork::shared()->request("/fails", {}, nullptr, false, false, [&](const auto&, const auto&) { failed = true; },
                                     [&](const auto&, const auto&) { failed = true; });
        ASSERT_TRUE(runUntil([&] { return failed && MWNetwork::shared()->showTimes == 0; })) << c.name;
        int lines = 0;
        for (const auto& line : log.lines()) {
            if (line.rfind("request /fails failed: ", 0) == 0) {
                ++lines;
                EXPECT_NE(line.find(c.code), std::string::npos) << c.name << ": " << line;
            }
        }
        EXPECT_EQ(lines, 1) << c.name;
    }
}

// A reply that trickles is never idle; the deadlines end it and the overlay goes as for a refused
// connection.
TEST_F(ServiceClient, TricklingRepliesEndAtTheirDeadlines) {
    auto trickle = [](const RecordedRequest&) {
        Reply reply = Reply::json(std::string(100000, ' ') + "{}");
        reply.mode = Reply::Mode::trickle;
        reply.trickleIntervalMs = 20;
        return reply;
    };
    answer = trickle;
    switchAnswer = trickle;
    auto network = MWNetwork::shared();
    // The switch's bytes are counted as its session hands them over (and dropped: the reply never
    // completes anyway).
    auto switchBytes = std::make_shared<std::atomic<std::size_t>>(0);
    const auto& switchDelegate = serverSwitchManager()->delegate();
    switchDelegate->dataTaskDidReceiveData = [switchBytes](const auto&, const auto&, const core::Bytes& data) {
        *switchBytes += data.size();
    };
    struct Restore {
        std::shared_ptr<http::SessionDelegate> delegate;
        ~Restore() { delegate->dataTaskDidReceiveData = nullptr; }
    } restore{switchDelegate};
    bool failed = false;
    network->request(Api::kTagListPath, {}, nullptr, true, true, [&](const auto&, const auto&) { ADD_FAILURE(); },
                     [&](const auto&, const auto&) { failed = true; });
    ASSERT_TRUE(runUntil([&] { return server.requestCount() == 1; }));
    host->advance(29.9);
    EXPECT_FALSE(failed);
    host->advance(0.2);
    ASSERT_TRUE(runUntil([&] { return failed; }));
    // The transport failure asks the switch, which trickles too and gives up after 10 s.
    ASSERT_TRUE(runUntil([&] { return server.requestCount() == 2; }));
    EXPECT_EQ(network->loadingView()->superview(), window);
    // Its bytes keep coming on the real clock, so the app's clock moves in half seconds, each
    // only after the session has taken another byte: the switch's 4 s idle time-out never comes
    // due, however slowly the machine runs, only its 10 s deadline. (One jump past 4 s would find
    // it idle.)
    for (int step = 0; step < 19; ++step) {
        host->advance(0.5);
        const std::size_t before = *switchBytes;
        ASSERT_TRUE(runUntil([&] { return *switchBytes > before; })) << "step " << step;
    }
    EXPECT_EQ(network->showTimes, 1);
    host->advance(0.6);
    ASSERT_TRUE(runUntil([&] { return network->showTimes == 0; }));
    EXPECT_EQ(network->loadingView()->superview(), nullptr);
    server.releaseStalls();
}

} // namespace
