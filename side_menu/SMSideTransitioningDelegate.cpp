#include "side_menu/SMSideTransitioningDelegate.h"

#include "side_menu/SMSideAnimatedTransitioning.h"

namespace side_menu {

// Without a configuration there is nothing to animate with; the platform then presents and
// dismisses the plain way.
std::shared_ptr<ui::ViewControllerAnimatedTransitioning> SMSideTransitioningDelegate::animationControllerForPresented(
    const std::shared_ptr<ui::ViewController>&, const std::shared_ptr<ui::ViewController>&,
    const std::shared_ptr<ui::ViewController>&) {
    if (!config) return nullptr;
    return core::make<SMSideAnimatedTransitioning>(SMSideShowType::show, config);
}

std::shared_ptr<ui::ViewControllerAnimatedTransitioning> SMSideTransitioningDelegate::animationControllerForDismissed(
    const std::shared_ptr<ui::ViewController>&) {
    if (!config) return nullptr;
    return core::make<SMSideAnimatedTransitioning>(SMSideShowType::hidden, config);
}

std::shared_ptr<ui::ViewControllerInteractiveTransitioning>
SMSideTransitioningDelegate::interactionControllerForPresentation(const std::shared_ptr<ui::ViewControllerAnimatedTransitioning>&) {
    if (presentationInteractiveTransition && presentationInteractiveTransition->isInteractive())
        return presentationInteractiveTransition;
    return nullptr;
}

std::shared_ptr<ui::ViewControllerInteractiveTransitioning>
SMSideTransitioningDelegate::interactionControllerForDismissal(const std::shared_ptr<ui::ViewControllerAnimatedTransitioning>&) {
    if (dismissalInteractiveTransition && dismissalInteractiveTransition->isInteractive())
        return dismissalInteractiveTransition;
    return nullptr;
}

} // namespace side_menu
