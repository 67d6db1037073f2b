// The web view without a display: the stand-in engine keeps history and loading state, asks the
// delegate about every navigation and answers scripts through the test handler.

#include "platform/dispatch/RunLoop.h"
#include "platform/ui/HeadlessHost.h"
#include "platform/web/WebView.h"

#include <gtest/gtest.h>

namespace web {
namespace {

class RecordingDelegate : public WebViewNavigationDelegate {
public:
    std::function<NavigationActionPolicy(const NavigationAction&)> decide = [](const NavigationAction&) {
        return NavigationActionPolicy::allow;
    };
    bool dropHandler = false;
    std::vector<std::string> events;

    void decidePolicyForNavigationAction(WebView&, const NavigationAction& action,
                                         std::function<void(NavigationActionPolicy)> handler) override {
        events.push_back("decide " + action.urlText);
        if (!dropHandler) handler(decide(action));
    }
    void didStartNavigation(WebView& view) override { events.push_back("start " + view.url()->absoluteString()); }
    void didFinishNavigation(WebView& view) override { events.push_back("finish " + view.url()->absoluteString()); }
};

struct WebViewStandIn : ::testing::Test {
    std::shared_ptr<ui::Window> window = core::make<ui::Window>();
    ui::HeadlessHost host{window};
    std::shared_ptr<WebView> view = core::make<WebView>(gfx::Rect{0, 0, 375, 600});
    std::shared_ptr<RecordingDelegate> delegate = std::make_shared<RecordingDelegate>();

    WebViewStandIn() {
        window->addSubview(view);
        view->setNavigationDelegate(delegate);
    }
    void load(const std::string& url) { view->load(net::URLRequest(net::URL::parse(url))); }
    void settle() { host.advance(0); }
};

TEST_F(WebViewStandIn, LoadsReportStartAtOnceAndFinishOnTheNextTurn) {
    load("http://127.0.0.1:1/a");
    EXPECT_TRUE(view->isLoading());
    EXPECT_EQ(delegate->events, (std::vector<std::string>{"decide http://127.0.0.1:1/a", "start http://127.0.0.1:1/a"}));
    settle();
    EXPECT_FALSE(view->isLoading());
    EXPECT_DOUBLE_EQ(view->estimatedProgress(), 1.0);
    EXPECT_EQ(delegate->events.back(), "finish http://127.0.0.1:1/a");
    EXPECT_FALSE(view->isNative());
}

TEST_F(WebViewStandIn, HistoryMovesBackAndForwardAndANewLoadDropsTheForwardPart) {
    for (auto url : {"http://h/1", "http://h/2", "http://h/3"}) {
        load(url);
        settle();
    }
    view->goBack();
    settle();
    view->goBack();
    settle();
    EXPECT_EQ(view->url()->absoluteString(), "http://h/1");
    EXPECT_FALSE(view->canGoBack());
    EXPECT_TRUE(view->canGoForward());
    view->goForward();
    settle();
    EXPECT_EQ(view->url()->absoluteString(), "http://h/2");
    load("http://h/4");
    settle();
    EXPECT_FALSE(view->canGoForward());
    view->goBack();
    settle();
    EXPECT_EQ(view->url()->absoluteString(), "http://h/2");
}

// Each row: how the delegate answers, and whether the navigation happened.
TEST_F(WebViewStandIn, TheDelegateDecidesEveryNavigation) {
    struct Case {
        const char* name;
        bool drop;
        NavigationActionPolicy policy;
        bool followed;
    } cases[] = {
        {"allowed", false, NavigationActionPolicy::allow, true},
        {"cancelled", false, NavigationActionPolicy::cancel, false},
        {"handler dropped without an answer", true, NavigationActionPolicy::allow, false},
    };
    load("http://h/start");
    settle();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        delegate->dropHandler = c.drop;
        delegate->decide = [&](const NavigationAction&) { return c.policy; };
        load("app_action://next");
        settle();
        EXPECT_EQ(view->url()->absoluteString(), c.followed ? "app_action://next" : "http://h/start");
        EXPECT_FALSE(view->isLoading());
        if (c.followed) {
            view->goBack();
            settle();
        }
    }
}

TEST_F(WebViewStandIn, AGoneDelegateAllowsAndAStopDropsTheFinish) {
    delegate.reset();
    load("http://h/1");
    view->stopLoading();
    settle();
    EXPECT_FALSE(view->isLoading());
    EXPECT_EQ(view->url()->absoluteString(), "http://h/1");
}

TEST_F(WebViewStandIn, ARequestWithoutAURLChangesNothing) {
    view->load(net::URLRequest());
    settle();
    EXPECT_FALSE(view->url());
    EXPECT_TRUE(delegate->events.empty());
}

TEST_F(WebViewStandIn, ScriptsAreAnsweredByTheTestHandlerOrFail) {
    std::vector<core::Expected<core::Value>> results;
    view->evaluateJavaScript("document.title;", [&](core::Expected<core::Value> r) { results.push_back(std::move(r)); });
    view->setScriptHandlerForTesting([](const std::string& script) -> core::Expected<core::Value> {
        return core::Value(script == "document.title;" ? "关于我们" : "");
    });
    view->evaluateJavaScript("document.title;", [&](core::Expected<core::Value> r) { results.push_back(std::move(r)); });
    EXPECT_TRUE(results.empty()) << "completions arrive later, as from a real page";
    settle();
    ASSERT_EQ(results.size(), 2u);
    EXPECT_FALSE(results[0].ok());
    ASSERT_TRUE(results[1].ok());
    EXPECT_EQ(results[1]->asString(), "关于我们");
}

TEST_F(WebViewStandIn, CompletionsOfAGoneViewAreDropped) {
    bool called = false;
    view->setScriptHandlerForTesting([](const std::string&) -> core::Expected<core::Value> { return core::Value(1); });
    view->evaluateJavaScript("1", [&](core::Expected<core::Value>) { called = true; });
    delegate->events.clear();
    load("http://h/late");
    view->removeFromSuperview();
    view.reset();
    settle();
    EXPECT_FALSE(called);
    EXPECT_EQ(delegate->events.size(), 2u) << "no finish after the view went";
}

} // namespace
} // namespace web
