// The web page and the about page with the headless web view: addresses built from the service's
// base URL, the title and share fields read from the document, the link rules, the back button
// and what an address that is not a web page does (nothing: the page keeps its content).

#include "network/NXServer.h"
#include "platform/core/Log.h"
#include "platform/core/UserDefaults.h"
#include "platform/core/testing/TempHome.h"
#include "platform/ui/Application.h"
#include "platform/ui/NavigationController.h"
#include "ui/QUAboutController.h"
#include "ui/c.h"
#include "ui/tests/KitTest.h"

#include <map>
#include <vector>

namespace kit {
namespace {

class WebPage : public KitTest {
protected:
    void SetUp() override {
        KitTest::SetUp();
        network::NXServer::resetForTesting();
        useBase("http://127.0.0.1:18931/");
        ui::Application::shared().setURLLauncherForTesting([this](const std::string& url) {
            opened.push_back(url);
            return true;
        });
    }
    void TearDown() override {
        ui::Application::shared().setURLLauncherForTesting(nullptr);
        network::NXServer::resetForTesting();
        KitTest::TearDown();
    }
    // The server switch has answered with this base URL.
    static void useBase(const std::string& base) {
        network::NXServer::shared()->setServerStatus(1);
        network::NXServer::shared()->setDefaultUrl(base);
    }
    // The page as the top of a navigation stack over another page, in the window.
    std::shared_ptr<QNWebController> pushedPage() {
        nav = core::make<ui::NavigationController>(core::make<MWRootController>());
        window->setRootViewController(nav);
        auto page = core::make<QNWebController>();
        nav->pushViewController(page, false);
        settle();
        return page;
    }
    // Answers the document's scripts from a table; a missing entry is `undefined` (null).
    static void serveDocument(web::WebView& view, std::map<std::string, core::Value> answers) {
        view.setScriptHandlerForTesting([answers](const std::string& script) -> core::Expected<core::Value> {
            auto it = answers.find(script);
            return it == answers.end() ? core::Value() : it->second;
        });
    }
    // Runs the finish of a load and the script completions after it.
    void settle() { run(0.5); }
    static std::string shownURL(const QNWebController& page) {
        auto url = page.webView()->url();
        return url ? url->absoluteString() : "(none)";
    }

    core::testkit::TempHome home;
    std::shared_ptr<ui::NavigationController> nav;
    std::vector<std::string> opened;
};

// Base and path are joined as they stand; nothing is inserted, removed or normalised.
TEST_F(WebPage, LoadJoinsTheBaseAndThePathAsTheyStand) {
    struct Case {
        const char* base;
        const char* path;
        const char* address;
    } cases[] = {
        {"http://127.0.0.1:18931/", "/index.php/AppApi/Index/about", "http://127.0.0.1:18931//index.php/AppApi/Index/about"},
        {"http://h.example/", "about.html", "http://h.example/about.html"},
        {"https://h.example/app", "?page=about", "https://h.example/app?page=about"},
    };
    auto page = core::make<QNWebController>();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.address);
        useBase(c.base);
        page->load(c.path);
        settle();
        EXPECT_EQ(shownURL(*page), c.address);
        EXPECT_FALSE(page->webView()->isLoading());
    }
}

// An address that is not an absolute http(s) URL with a host is not loaded: the page keeps what
// it showed, title included, and stays usable.
TEST_F(WebPage, AnAddressThatIsNotAWebPageKeepsTheCurrentContent) {
    auto page = core::make<QNWebController>();
    serveDocument(*page->webView(), {{"document.title;", core::Value("关于")}});
    page->load("/first");
    settle();
    ASSERT_EQ(shownURL(*page), "http://127.0.0.1:18931//first");
    ASSERT_EQ(page->lvTitleLabel()->text(), "关于");

    struct Case {
        const char* name;
        std::int64_t status;
        std::optional<std::string> base;
    } cases[] = {
        {"before the server switch answered (empty base)", -1, "http://127.0.0.1:18931/"},
        {"switched without a stored base", 1, std::nullopt},
        {"empty stored base", 1, ""},
        {"not a URL", 1, "not a url"},
        {"relative base", 1, "h.example/"},
        {"another scheme", 1, "ftp://h.example/"},
        {"no host", 1, "http:///"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        network::NXServer::shared()->setServerStatus(c.status);
        network::NXServer::shared()->setDefaultUrl(c.base.value_or(""));
        if (!c.base) core::UserDefaults::standard().removeObjectForKey(network::NXServer::kServerUrlKey);
        page->load("/about");
        settle();
        EXPECT_EQ(shownURL(*page), "http://127.0.0.1:18931//first");
        EXPECT_FALSE(page->webView()->isLoading());
        EXPECT_EQ(page->lvTitleLabel()->text(), "关于");
    }

    // Once a web address is back, loading works again.
    useBase("http://h.example/");
    page->load("second");
    settle();
    EXPECT_EQ(shownURL(*page), "http://h.example/second");
}

// A path that, joined to the base, points at another scheme, host or port is not loaded.
TEST_F(WebPage, AnAboutPathThatLeavesTheServiceIsNotLoaded) {
    auto page = core::make<QNWebController>();
    useBase("http://h.example");
    page->load("/first");
    settle();
    ASSERT_EQ(shownURL(*page), "http://h.example/first");
    for (const char* path : {"@other.example:8080/x", ".other.example/x", ":8081/x", "@other.example/x"}) {
        SCOPED_TRACE(path);
        core::LogCapture log;
        page->load(path);
        settle();
        EXPECT_EQ(shownURL(*page), "http://h.example/first");
        EXPECT_EQ(log.lines().size(), 1u);
    }
    page->load(":80/second"); // the same port, written out
    settle();
    EXPECT_EQ(shownURL(*page), "http://h.example:80/second");
}

TEST_F(WebPage, TitleAndShareFieldsComeFromTheDocument) {
    auto page = core::make<QNWebController>();
    serveDocument(*page->webView(), {
                                        {"document.title;", core::Value("关于我们")},
                                        {"$('#share_title').val();", core::Value("恋爱话术")},
                                        {"$('#share_content').val();", core::Value("聊天不冷场")},
                                        {"$('#share_link').val();", core::Value("http://h.example/s")},
                                        {"$('#share_image').val();", core::Value("http://h.example/s.png")},
                                    });
    page->load("/about");
    settle();
    EXPECT_EQ(page->lvTitleLabel()->text(), "关于我们");
    EXPECT_EQ(page->appName, "恋爱话术");
    EXPECT_EQ(page->content, "聊天不冷场");
    EXPECT_EQ(page->share_link, "http://h.example/s");
    EXPECT_EQ(page->share_image, "http://h.example/s.png");

    // A document without share fields (undefined) and whose title is no text changes nothing.
    serveDocument(*page->webView(), {{"document.title;", core::Value(3)}});
    page->load("/plain");
    settle();
    EXPECT_EQ(page->lvTitleLabel()->text(), "关于我们");
    EXPECT_EQ(page->appName, "恋爱话术");
    EXPECT_EQ(page->share_image, "http://h.example/s.png");

    // Without autoTitle the bar keeps its title; the fields still follow the document.
    page->autoTitle = false;
    serveDocument(*page->webView(), {{"document.title;", core::Value("别的")}, {"$('#share_link').val();", core::Value("")}});
    page->load("/other");
    settle();
    EXPECT_EQ(page->lvTitleLabel()->text(), "关于我们");
    EXPECT_EQ(page->share_link, "");
}

// Links the page follows, refuses, or hands to another program (leaving the page).
TEST_F(WebPage, LinkPolicy) {
    struct Case {
        const char* link;
        bool followed;
        bool handedOver;
    } cases[] = {
        {"http://h.example/next", true, false},
        {"http://h.example/x?back=app_action://", false, false},
        {"app_action://close", true, false},  // only an address that ends with the scheme is refused
        {"recharge://pay", false, false},
        {"http://h.example/x?to=recharge://", false, false},
        {"alipay://pay?order=1", true, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.link);
        opened.clear();
        auto page = pushedPage();
        page->load("/start");
        settle();
        page->webView()->load(net::URLRequest(net::URL::parse(c.link)));
        settle();
        EXPECT_EQ(shownURL(*page), c.followed ? c.link : "http://127.0.0.1:18931//start");
        EXPECT_EQ(opened, c.handedOver ? std::vector<std::string>{c.link} : std::vector<std::string>{});
        EXPECT_EQ(nav->viewControllers().size(), c.handedOver ? 1u : 2u) << "the page leaves only for another program";
    }
}

TEST_F(WebPage, BackGoesThroughTheWebHistoryBeforeLeaving) {
    auto page = pushedPage();
    page->load("/one");
    settle();
    page->load("/two");
    settle();
    window->layoutIfNeeded();
    ASSERT_FALSE(page->backBtn()->isHidden());
    const auto back = page->backBtn()->convertRect(page->backBtn()->bounds(), nullptr);
    const gfx::Point tapAt{back.origin.x + back.size.width / 2, back.origin.y + back.size.height / 2};

    host->tap(tapAt);
    settle();
    EXPECT_EQ(shownURL(*page), "http://127.0.0.1:18931//one");
    EXPECT_EQ(nav->topViewController(), page) << "the page stays while there is history";

    host->tap(tapAt);
    settle();
    EXPECT_EQ(nav->viewControllers().size(), 1u);
}

// At the start of the history, a page alone on a presented stack goes away with the stack; a page
// without a stack does nothing.
TEST_F(WebPage, BackAtTheStartOfTheHistoryLeavesThePresentedStackOrDoesNothing) {
    auto presenter = core::make<MWRootController>();
    window->setRootViewController(presenter);
    auto page = core::make<QNWebController>();
    auto presented = core::make<ui::NavigationController>(page);
    presenter->presentViewController(presented, false);
    settle();
    ASSERT_EQ(presenter->presentedViewController(), presented);
    page->webBackAction();
    settle();
    EXPECT_FALSE(presenter->presentedViewController());

    auto loose = core::make<QNWebController>();
    loose->webBackAction();
    settle();
    EXPECT_FALSE(loose->navigationController());
}

TEST_F(WebPage, TheAboutPageFillsItsScrollViewAndTakesTheTitleFromTheDocument) {
    auto about = core::make<QUAboutController>();
    nav = core::make<ui::NavigationController>(about);
    window->setRootViewController(nav);
    settle();
    EXPECT_EQ(about->view()->backgroundColor(), c::colorF5F5F5());
    EXPECT_EQ(about->navBar()->backgroundColor(), c::colorFFFFFF());
    EXPECT_TRUE(about->isBarHidden);
    EXPECT_FALSE(about->isBackBtnHidden);
    EXPECT_FALSE(about->backBtn()->isHidden());
    ASSERT_TRUE(about->backBtn()->imageForState(ui::stateNormal));
    EXPECT_EQ(about->backBtn()->imageForState(ui::stateNormal)->size(), (gfx::Size{120, 120}));
    EXPECT_EQ(about->webView()->superview(), about->scrollView());
    EXPECT_FALSE(about->scrollView()->isScrollEnabled());
    const auto bounds = about->scrollView()->bounds();
    EXPECT_EQ(about->webView()->frame(), (gfx::Rect{0, 0, bounds.size.width, bounds.size.height}));
    EXPECT_EQ(about->webView()->navigationDelegate(), about);

    serveDocument(*about->webView(), {{"document.title;", core::Value("关于我们")}});
    about->load("/index.php/AppApi/Index/about");
    settle();
    EXPECT_EQ(about->lvTitleLabel()->text(), "关于我们");
}

} // namespace
} // namespace kit
