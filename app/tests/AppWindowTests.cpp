// The app in a real desktop window (an Xvfb server) against the sample service on loopback: the
// window shows the service's tag groups, and the about page takes its title from the document
// that WebKit loaded.
#include "app/AppDelegate.h"
#include "app/QUSwitchBaseController.h"
#include "app/SnapshotTour.h"
#include "network/MWNetwork.h"
#include "network/NXServer.h"
#include "platform/core/ProcessInfo.h"
#include "platform/core/testing/TempHome.h"
#include "platform/dispatch/RunLoop.h"
#include "platform/ui/GtkHost.h"
#include "platform/ui/Screen.h"
#include "platform/ui/testing/XvfbServer.h"
#include "service/AboutPage.h"
#include "service/SampleService.h"

#include <gtest/gtest.h>

namespace app {
namespace {


TEST(AppWindow, ShowsTheServicesGroupsAndTheAboutPageTitleFromTheDocument) {
    ui::testing::XvfbServer xvfb;
    if (!xvfb.running()) GTEST_SKIP() << "Xvfb is not installed";
    dispatch::RunLoop::setMainThread();
    core::testkit::TempHome home;
    core::Bundle::setResourcePathForTesting(QUILLORA_RESOURCES_DIR);
    ui::Screen::main().setProfile(ui::DeviceProfile::phone());

    service::ServiceOptions options;
    options.port = 0;
    options.database = ":memory:";
    auto created = service::SampleService::create(options);
    ASSERT_TRUE(created) << created.error().description;
    auto service = std::move(*created);
    service->start();
    network::NXServer::setSwitchBaseUrlForTesting("http://127.0.0.1:" + std::to_string(service->port()));

    auto delegate = core::make<AppDelegate>();
    ASSERT_TRUE(delegate->didFinishLaunchingWithOptions());
    auto host = ui::GtkHost::create(delegate->window, "Quillora");
    ASSERT_TRUE(host) << host.error().description;
    (*host)->show();
    auto root = std::dynamic_pointer_cast<QUSwitchBaseController>(delegate->window->rootViewController());
    ASSERT_TRUE(root);
    auto& loop = dispatch::RunLoop::main();

    ASSERT_TRUE(loop.runUntil([&] { return countViews(root->mainController()->view(), "QUMainItemSeg") >= 3; }, 30))
        << "the home screen shows the sample service's groups";
    const int drawsWithGroups = (*host)->drawCount();
    ASSERT_TRUE(loop.runUntil([&] { return (*host)->drawCount() > drawsWithGroups; }, 10)) << "and the window draws them";

    root->menuRowSelected(2);
    ASSERT_TRUE(loop.runUntil([&] { return root->aboutController()->lvTitleLabel()->text() == service::AboutPage::kTitle; },
                              30));
    ASSERT_TRUE(loop.runUntil([] { return network::MWNetwork::shared()->showTimes == 0; }, 30));

    delegate->reach->stopNotifier();
    network::NXServer::setSwitchBaseUrlForTesting(std::nullopt);
    core::Bundle::setResourcePathForTesting(std::nullopt);
}

} // namespace
} // namespace app
