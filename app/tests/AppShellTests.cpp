#include "Modules/Head/MWTPersonalHeadController.h"
#include "app/AppDelegate.h"
#include "app/MWNavController.h"
#include "app/QUSwitchBaseController.h"
#include "app/SnapshotTour.h"
#include "network/Api.h"
#include "network/MWNetwork.h"
#include "network/NXServer.h"
#include "network/NXUserDefault.h"
#include "platform/core/ProcessInfo.h"
#include "platform/core/testing/TempHome.h"
#include "platform/dispatch/Clock.h"
#include "platform/dispatch/RunLoop.h"
#include "platform/gfx/TextLayout.h"
#include "platform/gfx/testing/GoldenImage.h"
#include "platform/net/NetworkReachability.h"
#include "platform/net/testing/LoopbackServer.h"
#include "platform/ui/AlertController.h"
#include "platform/ui/Application.h"
#include "platform/ui/HeadlessHost.h"
#include "platform/ui/Label.h"
#include "platform/ui/Screen.h"
#include "ui/HUDToastIndicator.h"
#include "ui/Utility.h"
#include "ui/c.h"

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>

namespace app {
namespace {

using net::testkit::LoopbackServer;
using net::testkit::RecordedRequest;
using net::testkit::Reply;

constexpr const char* kTagList = R"({"status":1,"data":{"about_url":"/index.php/AppApi/Index/about","list":[
  {"color":"FF5B78","title":"开场","content":[{"title":"打招呼"},{"title":"初次见面"},{"title":"破冰"},{"title":"幽默"}]},
  {"color":"00B7EE","title":"约会","content":[{"title":"邀约"},{"title":"吃饭"},{"title":"看电影"}]}]}})";

bool showsText(const std::shared_ptr<ui::View>& view, const std::string& text) {
    if (!view || view->isHidden()) return false;
    if (auto* label = dynamic_cast<ui::Label*>(view.get()); label && label->text() == text) return true;
    for (const auto& sub : view->subviews()) {
        if (showsText(sub, text)) return true;
    }
    return false;
}


// The app launched against a scripted loopback service: the server switch answers with the
// service's own address, the tag list with two groups.
class AppShell : public ::testing::Test {
protected:
    void SetUp() override {
        ui::Screen::main().setProfile(ui::DeviceProfile::phone());
        core::Bundle::setResourcePathForTesting(QUILLORA_RESOURCES_DIR);
        kit::c::resetForTesting();
        network::NXServer::resetForTesting();
        network::NXServer::setSwitchBaseUrlForTesting(server.url(""));
        network::NXUserDefault::shared().resetForTesting();
        network::MWNetwork::exitProcess() = [this](int status) { exitStatus = status; };
        net::NetworkReachability::setFlagSourceForTesting(
            [this](net::NetworkReachability::TargetKind, const std::string&) { return flags.load(); });
        ui::Application::shared().setURLLauncherForTesting([this](const std::string& url) {
            opened.push_back(url);
            return true;
        });
        // Launch queues timers and animations; they and the host share one virtual timeline.
        dispatch::Clock::setCurrent(std::make_shared<dispatch::VirtualClock>());
    }
    void TearDown() override {
        if (delegate) {
            EXPECT_TRUE(runUntil([] { return network::MWNetwork::shared()->showTimes == 0; }));
            delegate->reach->stopNotifier();
        }
        host.reset();
        dispatch::Clock::setCurrent(nullptr);
        ui::Application::shared().setURLLauncherForTesting(nullptr);
        network::NXServer::setSwitchBaseUrlForTesting(std::nullopt);
        network::NXServer::resetForTesting();
        core::Bundle::setResourcePathForTesting(std::nullopt);
    }

    void launch() {
        delegate = core::make<AppDelegate>();
        ASSERT_TRUE(delegate->didFinishLaunchingWithOptions());
        host = std::make_unique<ui::HeadlessHost>(delegate->window);
        root = std::dynamic_pointer_cast<QUSwitchBaseController>(delegate->window->rootViewController());
        ASSERT_TRUE(root);
    }
    // Runs the main loop (moving the virtual clock a little each turn) until `done`.
    bool runUntil(const std::function<bool()>& done, double seconds = 20) {
        return dispatch::RunLoop::main().runUntil(
            [&] {
                if (host) host->advance(0.01);
                return done();
            },
            seconds);
    }
    void settle(double seconds) {
        for (double t = 0; t < seconds; t += 0.02) host->advance(0.02);
    }
    std::vector<RecordedRequest> requestsEndingIn(const std::string& path) {
        std::vector<RecordedRequest> out;
        for (auto& r : server.requests()) {
            if (r.target.size() >= path.size() && r.target.compare(r.target.size() - path.size(), path.size(), path) == 0)
                out.push_back(r);
        }
        return out;
    }
    void clickRow(std::size_t row) {
        const auto& seg = root->leftController()->controllerSeg();
        seg->click(*seg->itemViews().at(row));
    }
    bool homeShowsGroups() { return countViews(root->mainController()->view(), "QUMainItemSeg") > 0; }
    bool menuIsOpen() { return root->leftController()->presentingViewController() != nullptr; }
    bool toastShows(const std::string& text) {
        auto window = kit::HUDToastIndicator::sharedInstance()->backgroundWindow();
        return window && showsText(window, text);
    }

    core::testkit::TempHome home;
    std::atomic<std::uint32_t> flags = net::kReachabilityReachable;
    std::vector<std::string> opened;
    std::optional<int> exitStatus;
    std::mutex mutex;
    std::string switchedBase = "";
    LoopbackServer server{[this](const RecordedRequest& r) {
        std::lock_guard lock(mutex);
        if (r.target == "/index.php/Index/Index/index")
            return Reply::json(R"({"status":1,"data":{"status":1,"url":")" + server.url("/") + R"(","message":""}})");
        if (r.target.ends_with(network::Api::kTagListPath)) return Reply::json(kTagList);
        return Reply::json(R"({"status":1,"data":{"count":0,"now_page":0,"list":[]}})");
    }};
    std::shared_ptr<AppDelegate> delegate;
    std::unique_ptr<ui::HeadlessHost> host;
    std::shared_ptr<QUSwitchBaseController> root;
};

TEST_F(AppShell, LaunchStoresTheBuiltInBaseThenTheSwitchedOneAndTheHomeAsksThere) {
    launch();
    // Launch itself has written the compiled-in base and the short name, and queued the switch.
    EXPECT_EQ(network::NXUserDefault::shared().value("SERVER_URL"), core::Value(network::MWNetwork::shared()->our_serverURL));
    EXPECT_EQ(network::NXServer::shared()->getAsName(), "nx_quillora_release");
    EXPECT_TRUE(delegate->window->isKeyWindow());
    EXPECT_EQ(root->selectedIndex(), 0);
    EXPECT_TRUE(root->tabBar()->isHidden());

    ASSERT_TRUE(runUntil([&] { return homeShowsGroups(); }));
    EXPECT_EQ(network::NXUserDefault::shared().value("SERVER_URL"), core::Value(server.url("/")));
    auto switches = requestsEndingIn("/index.php/Index/Index/index");
    ASSERT_FALSE(switches.empty());
    EXPECT_NE(switches[0].body.find("asname=nx_quillora_release"), std::string::npos);
    // The base ends in "/" and the path starts with one; the address keeps both.
    auto lists = requestsEndingIn(network::Api::kTagListPath);
    ASSERT_FALSE(lists.empty());
    EXPECT_EQ(lists.back().target, std::string("/") + network::Api::kTagListPath);
    EXPECT_EQ(countViews(root->mainController()->view(), "QUMainItemSeg"), 2);
}

TEST_F(AppShell, TheNetworkComingBackShowsATouchOfTextAndSwitchesAgain) {
    launch();
    ASSERT_TRUE(runUntil([&] { return homeShowsGroups(); }));
    settle(3); // the first toasts and overlays are gone
    const auto switchesAtStart = requestsEndingIn("/index.php/Index/Index/index").size();
    EXPECT_FALSE(toastShows("连接网络")) << "starting to watch sends no report";

    flags = 0;
    net::NetworkReachability::recheckAllForTesting();
    settle(0.5);
    EXPECT_FALSE(toastShows("连接网络"));
    EXPECT_EQ(requestsEndingIn("/index.php/Index/Index/index").size(), switchesAtStart);

    flags = net::kReachabilityReachable;
    net::NetworkReachability::recheckAllForTesting();
    ASSERT_TRUE(runUntil([&] { return toastShows("连接网络"); }));
    ASSERT_TRUE(runUntil([&] { return requestsEndingIn("/index.php/Index/Index/index").size() == switchesAtStart + 1; }));
}

TEST_F(AppShell, BothRootPagesOpenTheMenuAndItsRowsSwitchPages) {
    launch();
    ASSERT_TRUE(runUntil([&] { return homeShowsGroups(); }));
    settle(1);

    root->mainController()->backBtn()->actionWithSender(*root->mainController()->backBtn());
    ASSERT_TRUE(runUntil([&] { return menuIsOpen(); }));
    settle(0.4);
    // Two thirds of the width, over the half-dark mask.
    EXPECT_DOUBLE_EQ(root->leftController()->view()->frame().width(), 375.0 * 2 / 3);

    clickRow(2);
    ASSERT_TRUE(runUntil([&] { return !menuIsOpen(); }));
    EXPECT_EQ(root->selectedIndex(), 1);
    EXPECT_EQ(root->selectedRow(), 2);
    auto url = root->aboutController()->webView()->url();
    ASSERT_TRUE(url);
    EXPECT_EQ(url->absoluteString(), server.url("/") + "/index.php/AppApi/Index/about");

    root->aboutController()->backBtn()->actionWithSender(*root->aboutController()->backBtn());
    ASSERT_TRUE(runUntil([&] { return menuIsOpen(); }));
    settle(0.4);
    clickRow(0);
    ASSERT_TRUE(runUntil([&] { return !menuIsOpen(); }));
    EXPECT_EQ(root->selectedIndex(), 0);
    EXPECT_EQ(root->selectedRow(), 0);
}

// The open menu beside the home page, whose visible part lies under the dark mask, blurred.
TEST_F(AppShell, TheMenuOverTheBlurredHomePage) {
    ASSERT_TRUE(gfx::TextLayout::usesPinnedFonts()) << "fonts-noto-cjk is needed for the golden";
    launch();
    ASSERT_TRUE(runUntil([&] { return homeShowsGroups(); }));
    settle(1);
    root->mainController()->backBtn()->actionWithSender(*root->mainController()->backBtn());
    ASSERT_TRUE(runUntil([&] { return menuIsOpen(); }));
    settle(0.6);
    EXPECT_TRUE(gfx::testing::matchesGolden(*host->snapshot(), std::string(QUILLORA_GOLDEN_DIR) + "/side_menu_over_home.png"));
}

TEST_F(AppShell, TheAboutRowBeforeAnyTagListOnlySwitchesPages) {
    launch();
    network::Api::currentMainList() = nullptr;
    root->menuRowSelected(2);
    EXPECT_EQ(root->selectedIndex(), 1);
    EXPECT_FALSE(root->aboutController()->webView()->url());
}

TEST_F(AppShell, TheRatingRowAsksFirstLeavesTheMenuOpenAndOpensTheStoreOnConfirm) {
    struct Case { const char* button; bool opens; };
    for (const Case& tc : {Case{"取消", false}, Case{"确定", true}}) {
        SCOPED_TRACE(tc.button);
        if (!delegate) launch();
        settle(1);
        opened.clear();
        root->presentSideMenu();
        ASSERT_TRUE(runUntil([&] { return menuIsOpen(); }));
        settle(0.4);
        clickRow(1);
        std::shared_ptr<ui::AlertController> alert;
        ASSERT_TRUE(runUntil([&] {
            alert = std::dynamic_pointer_cast<ui::AlertController>(root->leftController()->presentedViewController());
            return alert != nullptr;
        }));
        EXPECT_EQ(alert->title(), "提示");
        EXPECT_EQ(alert->message(), "是否前往好评?");
        EXPECT_EQ(root->leftController()->controllerSeg()->index(), 0) << "the rating row does not stay selected";
        settle(0.5);
        for (const auto& button : alert->buttons()) {
            if (button->currentTitle() == tc.button) host->tap(button->superview()->convertPoint(button->center(), nullptr));
        }
        settle(0.5);
        EXPECT_TRUE(menuIsOpen());
        EXPECT_EQ(root->selectedIndex(), 0);
        if (tc.opens) {
            ASSERT_EQ(opened.size(), 1u);
            EXPECT_EQ(opened[0], kit::Utility::getAppStoreURL(QUSwitchBaseController::kAppStoreId));
        } else {
            EXPECT_TRUE(opened.empty());
        }
        core::NotificationCenter::defaultCenter().post("SMSideTapNotification");
        ASSERT_TRUE(runUntil([&] { return !menuIsOpen(); }));
    }
}

TEST_F(AppShell, TheHeadButtonClosesTheMenuAndPushesTheProfilePageWhoseBackReturns) {
    launch();
    settle(1);
    root->presentSideMenu();
    ASSERT_TRUE(runUntil([&] { return menuIsOpen(); }));
    settle(0.4);
    root->leftController()->imageButton()->actionWithSender(*root->leftController()->imageButton());
    auto stack = root->mainController()->navigationController();
    ASSERT_TRUE(runUntil([&] { return !menuIsOpen() && stack->viewControllers().size() == 2; }));
    auto page = std::dynamic_pointer_cast<kit::MWTPersonalHeadController>(stack->topViewController());
    ASSERT_TRUE(page);
    EXPECT_FALSE(page->isBackBtnHidden) << "a page pushed above the root shows its back button";
    settle(0.5);

    page->backBtn()->actionWithSender(*page->backBtn());
    ASSERT_TRUE(runUntil([&] { return stack->viewControllers().size() == 1 && menuIsOpen(); }));
}

TEST_F(AppShell, TheNavigationControllerPreparesPagesPushedAboveTheRoot) {
    launch();
    auto stack = std::dynamic_pointer_cast<MWNavController>(root->mainController()->navigationController());
    ASSERT_TRUE(stack);
    EXPECT_TRUE(stack->isNavigationBarHidden());
    EXPECT_TRUE(root->mainController()->isBarHidden);
    EXPECT_FALSE(root->mainController()->hidesBottomBarWhenPushed) << "the root was not pushed above anything";

    auto second = core::make<kit::MWRootController>();
    auto third = core::make<kit::MWRootController>();
    stack->pushViewController(second, false);
    stack->pushViewController(third, false);
    EXPECT_FALSE(second->isBackBtnHidden);
    EXPECT_TRUE(second->isBarHidden);
    EXPECT_TRUE(root->mainController()->hidesBottomBarWhenPushed);
    ASSERT_EQ(stack->viewControllers().size(), 3u);

    core::NotificationCenter::defaultCenter().post(MWNavController::kPopAllNotification);
    settle(0.5);
    EXPECT_EQ(stack->viewControllers().size(), 1u);
}

} // namespace
} // namespace app
