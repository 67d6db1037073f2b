#pragma once
// Fixture for the screens: a phone window on a virtual clock, a private HOME for the settings and
// the history, and an in-process service on loopback that answers the tag list and the answer
// pages from what the test sets. Requests travel over real HTTP on the layer's own threads; tests
// wait for them with runUntil.
#include "Modules/Main/QUMainController.h"
#include "Modules/Main/QUMainDetailController.h"
#include "network/MWNetwork.h"
#include "network/NXServer.h"
#include "network/NXUserDefault.h"
#include "platform/core/testing/TempHome.h"
#include "platform/dispatch/RunLoop.h"
#include "platform/net/URL.h"
#include "platform/net/testing/LoopbackServer.h"
#include "platform/ui/NavigationController.h"
#include "ui/HUDToastIndicator.h"
#include "ui/SegmentView.h"
#include "ui/tests/KitTest.h"

#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace kit::testing {

using net::testkit::LoopbackServer;
using net::testkit::RecordedRequest;
using net::testkit::Reply;
using Form = std::map<std::string, std::string>;

// The phone window is 375 points wide, so a design pixel is 375 / 1080 points.
constexpr double u = 375.0 / 1080;

// Three groups of 4, 3 and 0 tags.
inline const std::string kThreeGroups =
    R"({"about_url":"/about","list":[)"
    R"({"title":"开场白","color":"FF5B78","content":[{"title":"初次聊天"},{"title":"破冰"},{"title":"夸奖"},{"title":"兴趣"}]},)"
    R"({"title":"约会邀请","color":"13B5B1","content":[{"title":"喝咖啡"},{"title":"看电影"},{"title":"散步"}]},)"
    R"({"title":"晚安问候","color":"00B7EE","content":[]}]})";

// The answers the test service gives for one page: `count` questions in all, ten a page, from
// the offset in "pages"; each answer holds `word` so that a search for it highlights something.
struct AnswerPages {
    long count = 25;
    std::string word = "咖啡";
};

inline void expectNear(const gfx::Rect& actual, const gfx::Rect& expected, const std::string& what) {
    EXPECT_NEAR(actual.x(), expected.x(), 1e-6) << what;
    EXPECT_NEAR(actual.y(), expected.y(), 1e-6) << what;
    EXPECT_NEAR(actual.width(), expected.width(), 1e-6) << what;
    EXPECT_NEAR(actual.height(), expected.height(), 1e-6) << what;
}

// Where a tap on the middle of a view lands, in window points.
inline gfx::Point middleInWindow(const ui::View& view) {
    return view.convertPointToWindow({view.bounds().width() / 2, view.bounds().height() / 2});
}

inline Form formOf(const RecordedRequest& request) {
    Form form;
    std::size_t start = 0;
    const std::string& body = request.body;
    while (start <= body.size()) {
        std::size_t end = body.find('&', start);
        if (end == std::string::npos) end = body.size();
        const std::string pair = body.substr(start, end - start);
        const std::size_t eq = pair.find('=');
        if (!pair.empty()) {
            form[net::percentDecode(pair.substr(0, eq))] =
                eq == std::string::npos ? "" : net::percentDecode(pair.substr(eq + 1));
        }
        start = end + 1;
    }
    return form;
}

class ScreenTest : public KitTest {
protected:
    void SetUp() override {
        KitTest::SetUp();
        network::NXServer::resetForTesting();
        network::NXServer::setSwitchBaseUrlForTesting(server.url(""));
        network::NXServer::shared()->setDefaultUrl(server.url(""));
        network::NXServer::shared()->setServerStatus(1);
        network::NXUserDefault::shared().resetForTesting();
        SegmentView::clearIds();
    }
    void TearDown() override {
        ASSERT_TRUE(runUntil([] { return network::MWNetwork::shared()->showTimes == 0; }));
        HUDToastIndicator::sharedInstance()->dismissToast();
        run(1);
        network::NXServer::setSwitchBaseUrlForTesting(std::nullopt);
        network::NXServer::resetForTesting();
        KitTest::TearDown();
    }

    // Runs the main loop until `done` holds: answers arrive from the HTTP threads in real time,
    // while animations and the refresh controls' steps follow the virtual clock, which moves on
    // by 10 ms whenever nothing arrived for 10 ms of real time. False after 20 s of real time.
    bool runUntil(const std::function<bool()>& done) {
        for (int waits = 0; waits < 2000; ++waits) {
            if (dispatch::RunLoop::main().runUntil(done, 0.01)) return true;
            host->advance(0.01);
        }
        return done();
    }
    // Lets queued work, animations and transitions finish.
    void settle() { run(1); }

    // The forms sent to a path, in order.
    std::vector<Form> formsTo(const std::string& path) {
        std::vector<Form> out;
        for (const auto& r : server.requests()) {
            if (r.target == path) out.push_back(formOf(r));
        }
        return out;
    }
    std::size_t contentRequests() { return formsTo(network::Api::kContentListPath).size(); }
    // Waits for the answer to the content request number `n` (counted from 1) to be handled.
    bool answered(std::size_t n) {
        const bool done =
            runUntil([&] { return contentRequests() >= n && network::MWNetwork::shared()->showTimes == 0; });
        run(0.1);
        return done;
    }

    void setTagList(std::string data) {
        std::lock_guard lock(mutex);
        tagListData = std::move(data);
    }
    void setContentReply(std::function<Reply(const Form&)> reply) {
        std::lock_guard lock(mutex);
        contentReply = std::move(reply);
    }

    static Reply pageOf(const AnswerPages& pages, const Form& form) {
        long offset = 0;
        if (auto it = form.find("pages"); it != form.end()) offset = std::stol(it->second);
        std::string list;
        long shown = 0;
        for (long i = offset; i < pages.count && i < offset + 10; ++i, ++shown) {
            if (!list.empty()) list += ",";
            list += R"({"title":"第)" + std::to_string(i + 1) + R"(个问题：周末约她喝)" + pages.word +
                    R"(怎么说？","content":"第)" + std::to_string(i + 1) + R"(个回答：听说河边新开了一家)" +
                    pages.word + R"(馆，周末一起去坐坐吧。"})";
        }
        return Reply::json(R"({"status":1,"data":{"count":)" + std::to_string(pages.count) + R"(,"now_page":)" +
                           std::to_string(offset + shown) + R"(,"list":[)" + list + "]}}");
    }

    // A navigation stack holding `root`, on screen.
    std::shared_ptr<ui::NavigationController> show(const std::shared_ptr<ui::ViewController>& root) {
        auto navigation = core::make<ui::NavigationController>(root);
        navigation->setNavigationBarHidden(true);
        window->setRootViewController(navigation);
        settle();
        return navigation;
    }
    // Pushes a page onto a stack under a plain root, as the home page does.
    std::shared_ptr<QUMainDetailController> openDetail(std::optional<std::string> tag) {
        auto navigation = show(core::make<ui::ViewController>());
        auto page = core::make<QUMainDetailController>(std::move(tag));
        navigation->pushViewController(page, false);
        settle();
        return page;
    }

    core::testkit::TempHome tempHome;
    std::mutex mutex;
    std::string tagListData = R"({"about_url":"/about","list":[]})";
    std::function<Reply(const Form&)> contentReply = [](const Form& form) { return pageOf({}, form); };
    std::function<Reply()> tagListReply;
    LoopbackServer server{[this](const RecordedRequest& r) {
        std::lock_guard lock(mutex);
        if (r.target == network::Api::kTagListPath) {
            if (tagListReply) return tagListReply();
            return Reply::json(R"({"status":1,"data":)" + tagListData + "}");
        }
        if (r.target == network::Api::kContentListPath) return contentReply(formOf(r));
        // The server switch keeps this service.
        return Reply::json(R"({"status":1,"data":{"status":1,"url":")" + server.url("") + R"(","message":""}})");
    }};
};

} // namespace kit::testing
