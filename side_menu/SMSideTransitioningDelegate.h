#pragma once
// The transitioning delegate of a side controller: a new animator for each presentation and
// dismissal, and the interactive transition when (and only when) a pan is driving it. It owns what
// it holds; what keeps it alive is its association with a controller (see SideMenuPresenting.h),
// as controllers hold their transitioning delegates weakly. Main thread only.

#include "platform/core/Object.h"
#include "platform/ui/ViewControllerTransitioningDelegate.h"
#include "side_menu/SMSideConfig.h"
#include "side_menu/SMSidePercentInteractiveTransition.h"

#include <memory>

namespace side_menu {

class SMSideTransitioningDelegate : public core::Object, public ui::ViewControllerTransitioningDelegate {
    QUILLORA_CLASS(SMSideTransitioningDelegate)

    explicit SMSideTransitioningDelegate(std::shared_ptr<SMSideConfig> configuration = nullptr)
        : config(std::move(configuration)) {}

    std::shared_ptr<SMSidePercentInteractiveTransition> presentationInteractiveTransition;
    std::shared_ptr<SMSidePercentInteractiveTransition> dismissalInteractiveTransition;
    std::shared_ptr<SMSideConfig> config;

    std::shared_ptr<ui::ViewControllerAnimatedTransitioning> animationControllerForPresented(
        const std::shared_ptr<ui::ViewController>& presented, const std::shared_ptr<ui::ViewController>& presenting,
        const std::shared_ptr<ui::ViewController>& source) override;
    std::shared_ptr<ui::ViewControllerAnimatedTransitioning> animationControllerForDismissed(
        const std::shared_ptr<ui::ViewController>& dismissed) override;
    std::shared_ptr<ui::ViewControllerInteractiveTransitioning> interactionControllerForPresentation(
        const std::shared_ptr<ui::ViewControllerAnimatedTransitioning>& animator) override;
    std::shared_ptr<ui::ViewControllerInteractiveTransitioning> interactionControllerForDismissal(
        const std::shared_ptr<ui::ViewControllerAnimatedTransitioning>& animator) override;
};

} // namespace side_menu
