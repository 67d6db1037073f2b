// The script-bridge page with the headless web view: bridge links and their parameters (the
// query after the first "?" whole), telephone links with and without a handler, "alipay://"
// links, the back item with and without history, the document's title, the back item's look and
// the web view's frame.

#include "platform/ui/Application.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/NavigationItem.h"
#include "ui/BYWebViewController.h"
#include "ui/tests/KitTest.h"

#include <map>
#include <vector>

namespace kit {
namespace {

using Parameters = std::map<std::string, std::string>;

class ScriptBridge : public KitTest {
protected:
    void SetUp() override {
        KitTest::SetUp();
        ui::Application::shared().setURLLauncherForTesting([this](const std::string& url) {
            opened.push_back(url);
            return launches;
        });
        ui::Application::shared().setURLCheckerForTesting([this](const std::string&) { return canOpen; });
        presenter = core::make<ui::ViewController>();
        window->setRootViewController(presenter);
        presentFreshPage();
    }
    void presentFreshPage() {
        opened.clear();
        calls.clear();
        page = core::make<BYWebViewController>();
        page->jsFunctionWithOc = [this](const std::string& name, const Parameters& parameters) {
            calls.emplace_back(name, parameters);
        };
        nav = core::make<ui::NavigationController>(page);
        presenter->presentViewController(nav, false);
        run(0.5);
    }
    void TearDown() override {
        ui::Application::shared().setURLLauncherForTesting(nullptr);
        ui::Application::shared().setURLCheckerForTesting(nullptr);
        KitTest::TearDown();
    }
    void open(const std::string& link) {
        page->requestURL(net::URLRequest(net::URL::parse(link)));
        run(0.5);
    }
    std::string shown() const {
        auto url = page->webView()->url();
        return url ? url->absoluteString() : "(none)";
    }

    bool canOpen = true;
    bool launches = true;
    std::vector<std::string> opened;
    std::vector<std::pair<std::string, Parameters>> calls;
    std::shared_ptr<ui::ViewController> presenter;
    std::shared_ptr<BYWebViewController> page;
    std::shared_ptr<ui::NavigationController> nav;
};

TEST_F(ScriptBridge, BridgeLinksCallTheBlockAndAreNotFollowed) {
    struct Case {
        const char* link;
        const char* name;
        Parameters parameters;
    } cases[] = {
        {"oc://share?title=a&url=b", "share", {{"title", "a"}, {"url", "b"}}},
        {"oc://close", "close", {}},
        {"oc://f?k=1&k=2&x", "f", {{"k", "2"}}},
        {"oc://open?url=http://a/b?c=1", "open", {{"url", "http://a/b?c=1"}}},  // all after the first "?"
        {"oc://f?a=%20b&c==d", "f", {{"a", "%20b"}, {"c", "=d"}}},              // as they stand
    };
    open("http://h.example/start");
    for (const auto& c : cases) {
        calls.clear();
        page->webView()->load(net::URLRequest(net::URL::parse(c.link)));
        run(0.5);
        ASSERT_EQ(calls.size(), 1u) << c.link;
        EXPECT_EQ(calls[0].first, c.name) << c.link;
        EXPECT_EQ(calls[0].second, c.parameters) << c.link;
        EXPECT_EQ(shown(), "http://h.example/start") << c.link;
    }
}

TEST_F(ScriptBridge, OtherLinks) {
    struct Case {
        const char* link;
        bool canOpen, launches;
        bool followed;
        std::vector<std::string> opened;
        bool dismissed;
    } cases[] = {
        {"tel:10086", true, true, false, {"tel:10086"}, false},  // the application places the call
        {"tel:10086", false, true, true, {}, false},             // no handler: the web view follows it
        {"alipay://pay?o=1", true, true, true, {"alipay://pay?o=1"}, true},
        {"alipay://pay?o=1", true, false, true, {"alipay://pay?o=1"}, false},  // not opened: the page stays
        {"http://h.example/next", true, true, true, {}, false},
    };
    for (const auto& c : cases) {
        presentFreshPage();
        canOpen = c.canOpen;
        launches = c.launches;
        open(c.link);
        EXPECT_EQ(shown(), c.followed ? c.link : "(none)") << c.link;
        EXPECT_EQ(opened, c.opened) << c.link;
        EXPECT_EQ(presenter->presentedViewController() == nullptr, c.dismissed) << c.link;
        EXPECT_TRUE(calls.empty());
        presenter->dismissViewControllerAnimated(false);
        run(0.5);
    }
}

TEST_F(ScriptBridge, BackGoesThroughTheHistoryThenDismisses) {
    open("http://h.example/one");
    open("http://h.example/two");
    page->backButton()->sendActionsForControlEvents(ui::touchUpInside);
    run(0.5);
    EXPECT_EQ(shown(), "http://h.example/one");
    EXPECT_EQ(presenter->presentedViewController(), nav);
    page->backButton()->sendActionsForControlEvents(ui::touchUpInside);
    run(0.5);
    EXPECT_FALSE(presenter->presentedViewController()) << "an empty history dismisses";
}

TEST_F(ScriptBridge, RequestsWithoutAnAddressAreIgnored) {
    open("http://h.example/one");
    page->requestURL(net::URLRequest(std::nullopt));
    run(0.5);
    ASSERT_TRUE(page->lastRequest());
    EXPECT_EQ(page->lastRequest()->url->absoluteString(), "http://h.example/one");
    EXPECT_EQ(shown(), "http://h.example/one");
}

TEST_F(ScriptBridge, OnlyATextResultBecomesTheTitle) {
    struct Case {
        std::function<core::Expected<core::Value>()> result;
        std::string title;
    } cases[] = {
        {[] { return core::Value(std::string("文档")); }, "文档"},
        {[] { return core::Value(); }, "before"},
        {[] { return core::Value(3.0); }, "before"},
        {[] { return core::Error{"web", 1, "script failed", {}}; }, "before"},
    };
    for (const auto& c : cases) {
        page->setTitle("before");
        page->webView()->setScriptHandlerForTesting([&c](const std::string& script) -> core::Expected<core::Value> {
            return script == "document.title;" ? c.result() : core::Value();
        });
        open("http://h.example/doc");
        EXPECT_EQ(page->title(), c.title);
    }
}

TEST_F(ScriptBridge, TheBackItemSitsLeftOfTheMarginAndTheWebViewFillsThePage) {
    const auto& items = page->navigationItem()->leftBarButtonItems();
    ASSERT_EQ(items.size(), 2u);
    EXPECT_TRUE(items[0]->isFixedSpace());
    EXPECT_EQ(items[0]->width(), -17);
    const auto& container = items[1]->customView();
    EXPECT_EQ(container->bounds().size, (gfx::Size{60, 35}));
    EXPECT_EQ(container->frame().origin.x, -1) << "17 points left of the 16-point margin";
    EXPECT_EQ(page->backButton()->superview(), container);
    EXPECT_EQ(page->backButton()->frame(), (gfx::Rect{0, 0, 60, 35}));
    EXPECT_EQ(page->backButton()->titleColorForState(ui::stateNormal), gfx::Color::whiteColor());
    const auto& parts = page->backButton()->subviews();
    auto icon = std::find_if(parts.begin(), parts.end(), [](auto& v) { return std::dynamic_pointer_cast<ui::ImageView>(v) && v->frame().origin.y == 2.5; });
    auto label = std::find_if(parts.begin(), parts.end(), [](auto& v) { auto l = std::dynamic_pointer_cast<ui::Label>(v); return l && l->text() == "返回"; });
    ASSERT_NE(icon, parts.end());
    ASSERT_NE(label, parts.end());
    EXPECT_EQ((*icon)->frame(), (gfx::Rect{0, 2.5, 30, 30}));
    EXPECT_TRUE(std::static_pointer_cast<ui::ImageView>(*icon)->image()) << "NavButtonReturn_icon.png";
    EXPECT_EQ((*label)->frame(), (gfx::Rect{30, 5, 35, 25}));
    EXPECT_EQ(page->view()->backgroundColor(), gfx::Color::whiteColor());

    // The web view follows the page: its whole width and height on a phone, 34 points less on a
    // screen 812 points high, the page's bottom always in reach.
    window->layoutIfNeeded();
    EXPECT_EQ(page->webView()->frame(), (gfx::Rect{{0, 0}, page->view()->bounds().size}));
    EXPECT_LE(page->webView()->convertRect(page->webView()->bounds(), nullptr).maxY(), window->bounds().maxY());
    EXPECT_EQ(BYWebViewController::bottomInset(812), 34);
    EXPECT_EQ(BYWebViewController::bottomInset(667), 0);
}

TEST_F(ScriptBridge, OnANotchedPhoneTheWebViewKeepsClearOfTheHomeIndicator) {
    presenter->dismissViewControllerAnimated(false);
    run(0.5);
    ui::Screen::main().setProfile(*ui::DeviceProfile::named("phone-notch"));
    auto notched = core::make<BYWebViewController>();
    auto stack = core::make<ui::NavigationController>(notched);
    presenter->presentViewController(stack, false);
    run(0.5);
    window->layoutIfNeeded();
    const auto bounds = notched->view()->bounds();
    EXPECT_EQ(notched->webView()->frame(), (gfx::Rect{0, 0, bounds.width(), bounds.height() - 34}));
    ui::Screen::main().setProfile(ui::DeviceProfile::phone());
}

} // namespace
} // namespace kit
