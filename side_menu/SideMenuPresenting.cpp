#include "side_menu/SideMenuPresenting.h"

#include "platform/dispatch/Queue.h"
#include "platform/ui/Application.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/Screen.h"
#include "platform/ui/TabBarController.h"
#include "platform/ui/Window.h"
#include "side_menu/SMSidePercentInteractiveTransition.h"
#include "side_menu/SMSideTransitioningDelegate.h"

namespace side_menu {
namespace {

// Only the addresses identify the associations.
const char kDelegateKey[] = "showControlelrTransitioningDelegateKey";
const char kPresentQueuedKey = 0;

std::shared_ptr<SMSideTransitioningDelegate> associatedDelegate(const ui::ViewController& controller) {
    return std::static_pointer_cast<SMSideTransitioningDelegate>(controller.associatedObject(kDelegateKey));
}

std::shared_ptr<ui::ViewController> keyRootController() {
    auto window = ui::Application::shared().keyWindow();
    return window ? window->rootViewController() : nullptr;
}

} // namespace

void sm_presentSideMenu(const std::function<void(SMSideConfig&)>& configure, const std::shared_ptr<ui::ViewController>& side,
                        const std::shared_ptr<ui::ViewController>& presenter) {
    if (!side || !presenter) return;
    // A second present of the same menu would replace the delegate of the one on screen (or about
    // to be) and queue a presentation the platform refuses; ignoring it keeps one menu.
    if (side->presentingViewController() || side->associatedObject(&kPresentQueuedKey)) return;

    auto config = core::make<SMSideConfig>();
    if (configure) configure(*config);
    auto delegate = associatedDelegate(*presenter);
    if (!delegate) {
        delegate = core::make<SMSideTransitioningDelegate>(config);
        side->setAssociatedObject(kDelegateKey, delegate);
    } else {
        delegate->config = config;
    }
    delegate->dismissalInteractiveTransition =
        core::make<SMSidePercentInteractiveTransition>(SMSideShowType::hidden, side, config);
    side->setTransitioningDelegate(delegate);

    side->setAssociatedObject(&kPresentQueuedKey, std::make_shared<bool>(true));
    std::weak_ptr<ui::ViewController> weakPresenter = presenter, weakSide = side;
    dispatch::Queue::main()->async([weakPresenter, weakSide] {
        auto menu = weakSide.lock();
        if (!menu) return;
        menu->setAssociatedObject(&kPresentQueuedKey, nullptr);
        if (auto from = weakPresenter.lock()) from->presentViewController(menu, true);
    });
}

void sm_registerSideShowGesture(const std::shared_ptr<ui::ViewController>& receiver,
                                std::function<void(SMSideDirection)> completeShowGesture) {
    if (!receiver) return;
    auto delegate = core::make<SMSideTransitioningDelegate>();
    auto transition = core::make<SMSidePercentInteractiveTransition>(SMSideShowType::show,
                                                                     std::weak_ptr<ui::ViewController>(), nullptr);
    transition->addShowPanGesture(receiver);
    transition->completeShowGesture = std::move(completeShowGesture);
    delegate->presentationInteractiveTransition = transition;
    receiver->setTransitioningDelegate(delegate);
    receiver->setAssociatedObject(kDelegateKey, delegate);
}

core::Status sm_pushFromSide(const std::shared_ptr<ui::ViewController>& receiver,
                             const std::shared_ptr<ui::ViewController>& controller) {
    auto root = keyRootController();
    if (!receiver || !controller || !root) return core::success();
    std::shared_ptr<ui::NavigationController> navigation;
    if (auto tabs = std::dynamic_pointer_cast<ui::TabBarController>(root)) {
        navigation = std::dynamic_pointer_cast<ui::NavigationController>(tabs->selectedViewController());
        if (!navigation) {
            receiver->dismissViewControllerAnimated(true);
            return core::success();
        }
    } else {
        navigation = std::dynamic_pointer_cast<ui::NavigationController>(root);
        if (!navigation) return core::Error{"side_menu", 1, "没有UINavigationController", {}};
    }
    receiver->dismissViewControllerAnimated(true);
    navigation->pushViewController(controller, false);
    return core::success();
}

void sm_presentFromSide(const std::shared_ptr<ui::ViewController>& receiver,
                        const std::shared_ptr<ui::ViewController>& controller) {
    (void)receiver;
    auto root = keyRootController();
    if (!root || !controller || !root->presentedViewController()) return;
    std::weak_ptr<ui::ViewController> weakRoot = root;
    // The controller is kept until it is presented: nothing else may hold it meanwhile.
    root->dismissViewControllerAnimated(true, [weakRoot, controller] {
        dispatch::Queue::main()->async([weakRoot, controller] {
            if (auto strongRoot = weakRoot.lock()) strongRoot->presentViewController(controller, true);
        });
    });
}

double sm_screenWidth() {
    static const double width = ui::Screen::main().bounds().width();
    return width;
}

} // namespace side_menu
