#pragma once
// What a presented controller's transitioning delegate answers when the controller is presented
// or dismissed: the animator of each direction and, when one is wanted, an interaction controller
// that drives that animator. A null animator keeps the default slide; a null interaction
// controller lets the animator run by itself. The controller holds its delegate weakly, so its
// owner must keep it alive. Main thread only.

#include <memory>

namespace ui {

class ViewController;
class ViewControllerAnimatedTransitioning;
class ViewControllerInteractiveTransitioning;

class ViewControllerTransitioningDelegate {
public:
    virtual ~ViewControllerTransitioningDelegate() = default;

    virtual std::shared_ptr<ViewControllerAnimatedTransitioning> animationControllerForPresented(
        const std::shared_ptr<ViewController>& presented, const std::shared_ptr<ViewController>& presenting,
        const std::shared_ptr<ViewController>& source) {
        (void)presented; (void)presenting; (void)source;
        return nullptr;
    }
    virtual std::shared_ptr<ViewControllerAnimatedTransitioning> animationControllerForDismissed(
        const std::shared_ptr<ViewController>& dismissed) {
        (void)dismissed;
        return nullptr;
    }
    virtual std::shared_ptr<ViewControllerInteractiveTransitioning> interactionControllerForPresentation(
        const std::shared_ptr<ViewControllerAnimatedTransitioning>& animator) {
        (void)animator;
        return nullptr;
    }
    virtual std::shared_ptr<ViewControllerInteractiveTransitioning> interactionControllerForDismissal(
        const std::shared_ptr<ViewControllerAnimatedTransitioning>& animator) {
        (void)animator;
        return nullptr;
    }
};

} // namespace ui
