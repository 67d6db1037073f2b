#pragma once
// The navigation controller of both stacks of the app: the system bar stays hidden (every page
// draws its own), a page pushed above the root shows its back button and hides its own bar, and
// the notification "popAllController" takes the stack back to its root. Main thread only.

#include "platform/core/NotificationCenter.h"
#include "platform/ui/NavigationController.h"

namespace app {

class MWNavController : public ui::NavigationController {
    QUILLORA_CLASS(MWNavController)

    static constexpr const char* kPopAllNotification = "popAllController";

    using ui::NavigationController::NavigationController;
    ~MWNavController() override;

    void viewDidLoad() override;
    void pushViewController(const std::shared_ptr<ui::ViewController>& controller, bool animated) override;
    std::shared_ptr<ui::ViewController> popViewControllerAnimated(bool animated) override;
    std::vector<std::shared_ptr<ui::ViewController>> popToRootViewControllerAnimated(bool animated) override;
    void popAllWithObj(const core::Notification& notification);

    // The controller at `index` of `list`, which must hold one there.
    static std::shared_ptr<ui::ViewController> viewControllerAtIndex(std::size_t index,
                                                                     const std::vector<std::shared_ptr<ui::ViewController>>& list);

private:
    std::vector<core::NotificationCenter::Token> observations_;
};

} // namespace app
