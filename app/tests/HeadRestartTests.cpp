// A saved profile picture survives a restart: a first process saves a crop through the crop page,
// a second with the same HOME launches the app and finds the side menu's circle showing the same
// pixels.

#include "Modules/Common/QULeftController.h"
#include "Modules/Head/MWTPersonalHeadController.h"
#include "app/AppDelegate.h"
#include "app/QUSwitchBaseController.h"
#include "network/MWNetwork.h"
#include "network/NXServer.h"
#include "network/NXUserDefault.h"
#include "platform/core/ProcessInfo.h"
#include "platform/core/testing/TempHome.h"
#include "platform/dispatch/Clock.h"
#include "platform/dispatch/RunLoop.h"
#include "platform/net/NetworkReachability.h"
#include "platform/net/testing/LoopbackServer.h"
#include "platform/ui/HeadlessHost.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/Screen.h"
#include "ui/c.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace app {
namespace {

using net::testkit::LoopbackServer;
using net::testkit::RecordedRequest;
using net::testkit::Reply;

constexpr uint32_t kColour = 0xFF2A7FD4;

class HeadRestart : public ::testing::Test {
protected:
    void SetUp() override {
        ui::Screen::main().setProfile(ui::DeviceProfile::phone());
        core::Bundle::setResourcePathForTesting(QUILLORA_RESOURCES_DIR);
        kit::c::resetForTesting();
        dispatch::Clock::setCurrent(std::make_shared<dispatch::VirtualClock>());
    }
    void TearDown() override {
        host.reset();
        dispatch::Clock::setCurrent(nullptr);
        core::Bundle::setResourcePathForTesting(std::nullopt);
    }
    void settle(double seconds) {
        for (double t = 0; t < seconds; t += 0.02) host->advance(0.02);
    }
    std::unique_ptr<ui::HeadlessHost> host;
};

// The first process: the crop page's "确定" with a photo of one colour.
TEST_F(HeadRestart, DISABLED_SaveThroughTheCropPage) {
    auto window = core::make<ui::Window>();
    host = std::make_unique<ui::HeadlessHost>(window);
    window->makeKeyAndVisible();
    kit::c::resetForTesting();
    auto nav = core::make<ui::NavigationController>(core::make<kit::MWTPersonalHeadController>(0, nullptr));
    window->setRootViewController(nav);
    auto crop = core::make<kit::MWTPersonalHeadController>(1, nullptr);
    crop->edit()->setEditImage(std::make_shared<const gfx::Image>(64, 48, 1.0, std::vector<uint32_t>(64 * 48, kColour)));
    nav->pushViewController(crop, false);
    settle(0.5);
    const auto r = crop->rightBarButton()->convertRect(crop->rightBarButton()->bounds(), nullptr);
    host->tap({r.midX(), r.midY()});
    settle(1);
    ASSERT_EQ(nav->viewControllers().size(), 1u);
    ASSERT_TRUE(std::filesystem::exists(kit::QULeftController::headImagePath()));
}

TEST_F(HeadRestart, TheSavedPictureShowsInTheMenuAfterARestart) {
    core::testkit::TempHome home;
    ASSERT_EQ(core::testkit::runTestInChildProcess("HeadRestart.DISABLED_SaveThroughTheCropPage"), 0);

    LoopbackServer server{[&server](const RecordedRequest& r) {
        if (r.target == "/index.php/Index/Index/index")
            return Reply::json(R"({"status":1,"data":{"status":1,"url":")" + server.url("/") + R"(","message":""}})");
        return Reply::json(R"({"status":1,"data":{"count":0,"now_page":0,"list":[]}})");
    }};
    network::NXServer::resetForTesting();
    network::NXServer::setSwitchBaseUrlForTesting(server.url(""));
    network::NXUserDefault::shared().resetForTesting();
    network::MWNetwork::exitProcess() = [](int) {};
    net::NetworkReachability::setFlagSourceForTesting(
        [](net::NetworkReachability::TargetKind, const std::string&) { return net::kReachabilityReachable; });

    auto delegate = core::make<AppDelegate>();
    ASSERT_TRUE(delegate->didFinishLaunchingWithOptions());
    host = std::make_unique<ui::HeadlessHost>(delegate->window);
    auto root = std::dynamic_pointer_cast<QUSwitchBaseController>(delegate->window->rootViewController());
    ASSERT_TRUE(root);
    settle(1);
    root->presentSideMenu();
    settle(1);
    ASSERT_TRUE(root->leftController()->presentingViewController()) << "the menu is open";
    auto circle = root->leftController()->headImageView()->image();
    ASSERT_TRUE(circle);
    EXPECT_EQ(circle->pixelWidth(), 600);
    EXPECT_EQ(circle->pixel(300, 300), kColour);
    EXPECT_EQ(circle->pixel(5, 5), kColour) << "the corners outside the circle are stored too";

    delegate->reach->stopNotifier();
    dispatch::RunLoop::main().runUntil([&] {
        host->advance(0.01);
        return network::MWNetwork::shared()->showTimes == 0;
    });
    network::NXServer::setSwitchBaseUrlForTesting(std::nullopt);
    network::NXServer::resetForTesting();
}

} // namespace
} // namespace app
