#include "app/AppDelegate.h"

#include "Modules/Main/QUMainController.h"
#include "app/QUSwitchBaseController.h"
#include "network/MWNetwork.h"
#include "network/NXServer.h"
#include "platform/dispatch/Queue.h"
#include "ui/HUDToastIndicator.h"

namespace app {

void AppDelegate::homeRefresh() { kit::MWRootController::postRefresh<kit::QUMainController>(); }

bool AppDelegate::didFinishLaunchingWithOptions() {
    window = core::make<ui::Window>();
    window->makeKeyAndVisible();

    auto root = core::make<QUSwitchBaseController>();
    root->view()->setBackgroundColor(gfx::Color::whiteColor());
    window->setRootViewController(root);

    reach = network::Reachability::reachabilityForInternetConnection();
    auto& client = *network::MWNetwork::shared();
    network::NXServer::shared()->setDefaultUrl(client.our_serverURL);
    network::NXServer::shared()->setupAsName(client.asnmae);

    reach->reachableBlock = [](const std::shared_ptr<network::Reachability>&) {
        dispatch::Queue::main()->async([] {
            kit::HUDToastIndicator::showToastMessage(std::string("连接网络"));
            network::MWNetwork::shared()->fetchServer(&AppDelegate::homeRefresh);
        });
    };
    client.fetchServer(&AppDelegate::homeRefresh);
    reach->unreachableBlock = [](const std::shared_ptr<network::Reachability>&) {};
    reach->startNotifier();
    return true;
}

} // namespace app
