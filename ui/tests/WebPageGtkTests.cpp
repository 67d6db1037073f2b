// The about page in a real WebKitGTK under Xvfb, loading the service's about page from loopback:
// the address keeps its "//", the bar's title comes from the document and the share fields from
// the document's scripts. Waits are bounded in real seconds, as WebKit's processes start slowly
// on a loaded machine.

#include "network/NXServer.h"
#include "platform/core/ProcessInfo.h"
#include "platform/core/testing/TempHome.h"
#include "platform/net/testing/LoopbackServer.h"
#include "platform/ui/Application.h"
#include "platform/ui/GtkHost.h"
#include "platform/ui/Screen.h"
#include "platform/ui/testing/XvfbServer.h"
#include "ui/QUAboutController.h"
#include "ui/c.h"

#include <gtest/gtest.h>

#include <chrono>

namespace kit {
namespace {

// The page reads its share fields with "$('#id').val()"; a two-line stand-in for that library
// call keeps the test free of downloads.
const char* const kAboutPage =
    "<html><head><title>关于我们</title><script>"
    "function $(s) { return { val: function () { var e = document.querySelector(s); return e ? e.value : undefined; } }; }"
    "</script></head><body>"
    "<input type='hidden' id='share_title' value='恋爱话术'>"
    "<input type='hidden' id='share_content' value='聊天不冷场'>"
    "<input type='hidden' id='share_link' value='http://h.example/s'>"
    "</body></html>";

struct AboutPageGtk : ::testing::Test {
    ui::testing::XvfbServer xvfb;
    core::testkit::TempHome home;
    std::vector<std::string> targets;
    net::testkit::LoopbackServer server{[this](const net::testkit::RecordedRequest& r) {
        targets.push_back(r.target);
        if (r.target == "//about") return net::testkit::Reply::text(200, kAboutPage, "text/html; charset=utf-8");
        return net::testkit::Reply::text(404, "none");
    }};
    std::shared_ptr<ui::Window> window;
    std::unique_ptr<ui::GtkHost> host;

    void SetUp() override {
        if (!xvfb.running()) GTEST_SKIP() << "Xvfb is not installed (apt-get install xvfb); WebKit was not tried";
        ui::Screen::main().setProfile(ui::DeviceProfile::phone());
        window = core::make<ui::Window>();
        auto made = ui::GtkHost::create(window, "Quillora");
        ASSERT_TRUE(made.ok()) << made.error().description;
        host = std::move(*made);
        window->makeKeyAndVisible();
        c::resetForTesting();
        core::Bundle::setResourcePathForTesting(QUILLORA_RESOURCES_DIR);
        network::NXServer::resetForTesting();
        network::NXServer::shared()->setServerStatus(1);
        network::NXServer::shared()->setDefaultUrl(server.url("/"));
        host->show();
    }
    void TearDown() override {
        if (window) window->setRootViewController(nullptr);
        host.reset();
        network::NXServer::resetForTesting();
        core::Bundle::setResourcePathForTesting(std::nullopt);
        c::resetForTesting();
    }
    template <class Predicate>
    bool waitFor(Predicate done, double seconds = 30) {
        auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
        while (!done() && std::chrono::steady_clock::now() < end) host->iterate();
        return done();
    }
};

TEST_F(AboutPageGtk, TheTitleAndShareFieldsComeFromTheLoadedDocument) {
    auto about = core::make<QUAboutController>();
    window->setRootViewController(about);
    about->load("/about");
    ASSERT_TRUE(waitFor([&] { return about->lvTitleLabel()->text() == "关于我们" && about->share_link == "http://h.example/s"; }))
        << "title: " << about->lvTitleLabel()->text();
    EXPECT_TRUE(about->webView()->isNative());
    EXPECT_EQ(about->webView()->url()->absoluteString(), server.url("/") + "/about");
    EXPECT_EQ(targets.front(), "//about");
    EXPECT_EQ(about->appName, "恋爱话术");
    EXPECT_EQ(about->content, "聊天不冷场");
    EXPECT_EQ(about->share_image, "") << "a field the document lacks stays as it was";
}

} // namespace
} // namespace kit
