#include "app/MWNavController.h"

#include "Commons/Controller/MWRootController.h"

#include <cassert>

namespace app {

// Dropping the tokens stops the observations.
MWNavController::~MWNavController() = default;

void MWNavController::viewDidLoad() {
    ui::NavigationController::viewDidLoad();
    setNavigationBarHidden(true);
    std::weak_ptr<MWNavController> weak = std::static_pointer_cast<MWNavController>(shared_from_this());
    observations_.push_back(core::NotificationCenter::defaultCenter().addObserver(
        kPopAllNotification, [weak](const core::Notification& notification) {
            if (auto self = weak.lock()) self->popAllWithObj(notification);
        }));
}

void MWNavController::popAllWithObj(const core::Notification&) { popToRootViewControllerAnimated(false); }

void MWNavController::pushViewController(const std::shared_ptr<ui::ViewController>& controller, bool animated) {
    const auto& stack = viewControllers();
    if (!stack.empty()) {
        if (auto page = std::dynamic_pointer_cast<kit::MWRootController>(controller)) {
            page->isBackBtnHidden = false;
            page->isBarHidden = true;
        }
        viewControllerAtIndex(0, stack)->hidesBottomBarWhenPushed = true;
    }
    ui::NavigationController::pushViewController(controller, animated);
}

std::shared_ptr<ui::ViewController> MWNavController::popViewControllerAnimated(bool animated) {
    const auto& stack = viewControllers();
    if (!stack.empty()) viewControllerAtIndex(0, stack)->hidesBottomBarWhenPushed = true;
    return ui::NavigationController::popViewControllerAnimated(animated);
}

std::vector<std::shared_ptr<ui::ViewController>> MWNavController::popToRootViewControllerAnimated(bool animated) {
    const auto& stack = viewControllers();
    if (!stack.empty()) viewControllerAtIndex(0, stack)->hidesBottomBarWhenPushed = true;
    return ui::NavigationController::popToRootViewControllerAnimated(animated);
}

std::shared_ptr<ui::ViewController>
MWNavController::viewControllerAtIndex(std::size_t index, const std::vector<std::shared_ptr<ui::ViewController>>& list) {
    assert(index < list.size());
    return list.at(index);
}

} // namespace app
