// The web view in a real WebKitGTK under Xvfb, with pages served from loopback. Waits are bounded
// in real seconds, since a loaded machine starts WebKit's processes slowly.

#include "platform/core/testing/TempHome.h"
#include "platform/dispatch/RunLoop.h"
#include "platform/gfx/Image.h"
#include "platform/net/testing/LoopbackServer.h"
#include "platform/ui/GtkHost.h"
#include "platform/ui/testing/XvfbServer.h"
#include "platform/web/WebView.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace web {
namespace {

class Delegate : public WebViewNavigationDelegate {
public:
    std::vector<std::string> asked;
    int finished = 0;
    int failed = 0;
    void decidePolicyForNavigationAction(WebView&, const NavigationAction& action,
                                         std::function<void(NavigationActionPolicy)> handler) override {
        asked.push_back(action.urlText);
        bool blocked = action.urlText.rfind("recharge://", 0) == 0;
        handler(blocked ? NavigationActionPolicy::cancel : NavigationActionPolicy::allow);
    }
    void didFinishNavigation(WebView&) override { ++finished; }
    void didFailNavigation(WebView&, const core::Error&) override { ++failed; }
};

// Whether this process has mapped WebKit's library.
bool webKitLoaded() {
    std::ifstream maps("/proc/self/maps");
    std::string line;
    while (std::getline(maps, line)) {
        if (line.find("libwebkit2gtk") != std::string::npos) return true;
    }
    return false;
}

std::string page(const std::string& title, const std::string& body = "") {
    return "<html><head><title>" + title + "</title></head><body>" + body + "</body></html>";
}

struct WebViewGtk : ::testing::Test {
    // One X server for the whole suite: WebKit's processes keep the display they first opened.
    static inline std::unique_ptr<ui::testing::XvfbServer> xvfb;
    static void SetUpTestSuite() { xvfb = std::make_unique<ui::testing::XvfbServer>(); }
    static void TearDownTestSuite() { xvfb.reset(); }
    net::testkit::LoopbackServer server{[](const net::testkit::RecordedRequest& r) {
        if (r.target == "/one") return net::testkit::Reply::text(200, page("一"), "text/html; charset=utf-8");
        if (r.target == "/two") return net::testkit::Reply::text(200, page("二"), "text/html; charset=utf-8");
        return net::testkit::Reply::text(404, "none");
    }};
    std::shared_ptr<ui::Window> window = core::make<ui::Window>();
    std::unique_ptr<ui::GtkHost> host;
    std::shared_ptr<WebView> view;
    std::shared_ptr<Delegate> delegate = std::make_shared<Delegate>();

    void SetUp() override {
        if (!xvfb->running()) GTEST_SKIP() << "Xvfb is not installed (apt-get install xvfb); WebKit was not tried";
        auto made = ui::GtkHost::create(window, "Quillora");
        ASSERT_TRUE(made.ok()) << made.error().description;
        host = std::move(*made);
        view = core::make<WebView>(gfx::Rect{0, 64, 375, 603});
        view->setNavigationDelegate(delegate);
        window->addSubview(view);
        host->show();
    }
    void TearDown() override {
        if (view) view->removeFromSuperview();
        view.reset();
        host.reset();
    }
    // Handles events until `done` holds or the bound in real seconds passes.
    template <class Predicate>
    bool waitFor(Predicate done, double seconds = 30) {
        auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
        while (!done() && std::chrono::steady_clock::now() < end) host->iterate();
        return done();
    }
    core::Expected<core::Value> evaluate(const std::string& script) {
        std::optional<core::Expected<core::Value>> result;
        view->evaluateJavaScript(script, [&](core::Expected<core::Value> r) { result = std::move(r); });
        EXPECT_TRUE(waitFor([&] { return result.has_value(); })) << script;
        return result ? *result : core::Expected<core::Value>(core::Error{"test", 1, "no answer", {}});
    }
    void loadAndWait(const std::string& path) {
        int before = delegate->finished;
        view->load(net::URLRequest(net::URL::parse(server.url(path))));
        ASSERT_TRUE(waitFor([&] { return delegate->finished > before; })) << path;
    }
};

TEST_F(WebViewGtk, LoadsPagesTakesTheirTitlesAndMovesThroughHistory) {
    loadAndWait("/one");
    EXPECT_TRUE(view->isNative());
    // WebKit may announce the title just after the load finished.
    EXPECT_TRUE(waitFor([&] { return view->title() == "一"; })) << view->title();
    EXPECT_EQ(view->url()->absoluteString(), server.url("/one"));
    EXPECT_FALSE(view->isLoading());
    loadAndWait("/two");
    ASSERT_TRUE(view->canGoBack());
    int before = delegate->finished;
    view->goBack();
    ASSERT_TRUE(waitFor([&] { return delegate->finished > before && view->title() == "一"; }));
    EXPECT_TRUE(view->canGoForward());
}

// WebKit is loaded by the first page a view loads, not by the program's start, the host or a
// view in a window. Run in a fresh process, since an earlier test of this one may have loaded it.
TEST_F(WebViewGtk, TheEngineIsLoadedByTheFirstPageOnly) {
    EXPECT_EQ(core::testkit::runTestInChildProcess("WebViewGtk.DISABLED_FirstPageLoadsTheEngine"), 0);
}

TEST_F(WebViewGtk, DISABLED_FirstPageLoadsTheEngine) {
    host->iterate();
    EXPECT_FALSE(webKitLoaded());
    EXPECT_FALSE(view->isNative());
    loadAndWait("/one");
    EXPECT_TRUE(webKitLoaded());
    EXPECT_TRUE(view->isNative());
    EXPECT_TRUE(waitFor([&] { return view->title() == "一"; })) << view->title();
}

// Each row: a script and what its completion gets.
TEST_F(WebViewGtk, ScriptResultsArriveAsValuesOrErrors) {
    loadAndWait("/one");
    auto title = evaluate("document.title;");
    ASSERT_TRUE(title.ok()) << title.error().description;
    EXPECT_EQ(title->asString(), "一");
    auto missing = evaluate("document.getElementById('share_title') ? 'x' : undefined;");
    ASSERT_TRUE(missing.ok());
    EXPECT_TRUE(missing->isNull());
    auto object = evaluate("({n: 2, list: ['a', true]});");
    ASSERT_TRUE(object.ok());
    EXPECT_EQ(*object, core::Value(core::Dictionary{{"n", 2}, {"list", core::Array{"a", true}}}));
    EXPECT_FALSE(evaluate("throw new Error('no');").ok());
}

TEST_F(WebViewGtk, TheDelegateStopsALinkAndTheCurrentPageStays) {
    loadAndWait("/one");
    auto clicked = evaluate("location.href = 'recharge://pay?x=1'; 'sent';");
    ASSERT_TRUE(clicked.ok());
    ASSERT_TRUE(waitFor([&] { return delegate->asked.back() == "recharge://pay?x=1"; }));
    // A later allowed navigation proves the cancelled one left nothing behind.
    loadAndWait("/two");
    EXPECT_TRUE(waitFor([&] { return view->title() == "二"; }));
    view->goBack();
    ASSERT_TRUE(waitFor([&] { return view->title() == "一" && !view->isLoading(); }));
    EXPECT_EQ(delegate->failed, 0);
}

TEST_F(WebViewGtk, AFailedLoadKeepsThePreviousPageAndIsReported) {
    loadAndWait("/one");
    view->load(net::URLRequest(net::URL::parse("http://127.0.0.1:" + std::to_string(net::testkit::LoopbackServer::refusedPort()) + "/")));
    ASSERT_TRUE(waitFor([&] { return delegate->failed > 0 && !view->isLoading(); }));
    EXPECT_EQ(view->title(), "一");
}

// What the display shows, not only what WebKit reports: a page whose body is one solid colour
// appears inside the view's frame, with our own drawing around it. Between the load and the last
// picture the screen holding the page moves to another superview in the same window, as a
// dismissed side menu puts the screen it covered back; the page has to come back with it.
TEST_F(WebViewGtk, ThePageShowsInsideTheViewsFrameAlsoAfterItsScreenMovesWithinTheWindow) {
    constexpr uint32_t kPage = 0xFF00FF, kOurs = 0x13B5B1;
    window->setBackgroundColor(gfx::Color::rgb(0x13, 0xB5, 0xB1));
    auto holder = core::make<ui::View>(window->bounds());
    auto screen = core::make<ui::View>(window->bounds());
    window->addSubview(holder);
    holder->addSubview(screen);
    screen->addSubview(view);
    view->setFrame({40, 120, 240, 300});
    int finished = delegate->finished;
    view->loadHTMLString("<html><body style='margin:0;background:#ff00ff'></body></html>", std::nullopt);
    auto& loop = dispatch::RunLoop::main();
    ASSERT_TRUE(loop.runUntil([&] { return delegate->finished > finished; }, 30));

    const std::string path =
        (std::filesystem::path(::testing::TempDir()) / ("web-view-on-screen-" + std::to_string(getpid()) + ".png")).string();
    std::shared_ptr<const gfx::Image> picture;
    auto at = [&](int x, int y) { return picture ? picture->pixel(x, y) & 0xFFFFFFu : 0u; };
    // WebKit paints in its own process after the load, so pictures of the window are taken until
    // the page's colour is in the middle of the frame; each picture is of a fresh frame.
    auto pageShows = [&] {
        if (!host->writeSnapshot(path)) return false;
        auto read = gfx::Image::fromFile(path);
        picture = read.ok() ? *read : nullptr;
        return at(160, 270) == kPage;
    };
    auto expectPageInFrameOnly = [&](const char* when) {
        ASSERT_TRUE(loop.runUntil(pageShows, 30)) << when << ": the frame shows " << std::hex << at(160, 270)
                                                  << " (" << path << ")";
        // Just inside each corner of the frame is the page, just outside it our own drawing.
        EXPECT_EQ(at(41, 121), kPage) << when;
        EXPECT_EQ(at(278, 418), kPage) << when;
        EXPECT_EQ(at(38, 270), kOurs) << when;
        EXPECT_EQ(at(160, 118), kOurs) << when;
        EXPECT_EQ(at(282, 270), kOurs) << when;
        EXPECT_EQ(at(160, 422), kOurs) << when;
    };
    expectPageInFrameOnly("after the load");
    window->insertSubview(screen, 0);
    expectPageInFrameOnly("after the move");
    // A failed case leaves its picture behind to be looked at.
    std::error_code ignored;
    if (!HasFailure()) std::filesystem::remove(path, ignored);
}

} // namespace
} // namespace web
