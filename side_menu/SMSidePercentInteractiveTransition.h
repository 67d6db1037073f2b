#pragma once
// Lets a finger drive the side-menu transitions and closes the menu on a tap.
//
// A `hidden` instance is the dismissal transition of one presented side controller: it dismisses
// the controller on "SMSideTapNotification" and follows the mask's pan ("SMSidePanNotification")
// to close the menu interactively. A `show` instance owns a pan recognizer on a presenting view
// and reports the pan's direction through completeShowGesture, whose caller then presents the
// menu; the presentation follows the pan. Every instance observes both notifications for as
// long as it lives. A pan that ends at 0.5 or more finishes the transition, below that it is
// cancelled; velocity plays no part. The percent is not reset when a new pan begins. Main
// thread only.

#include "platform/core/NotificationCenter.h"
#include "platform/ui/PanGestureRecognizer.h"
#include "platform/ui/PercentDrivenInteractiveTransition.h"
#include "platform/ui/ViewController.h"
#include "side_menu/SMSideConfig.h"
#include "side_menu/SMSideShowType.h"

#include <functional>
#include <memory>
#include <optional>

namespace side_menu {

class SMSidePercentInteractiveTransition : public ui::PercentDrivenInteractiveTransition {
    QUILLORA_CLASS(SMSidePercentInteractiveTransition)

    SMSidePercentInteractiveTransition(std::optional<SMSideShowType> showType,
                                       std::weak_ptr<ui::ViewController> target, std::shared_ptr<SMSideConfig> config)
        : targetVC_(std::move(target)), config_(std::move(config)), showType_(showType) {}
    void init() override;

    std::function<void(SMSideDirection)> completeShowGesture;
    // True from the beginning of a pan to its end or cancellation; the transitioning delegate
    // hands this object to the platform only then.
    bool isInteractive() const { return isInteractive_; }

    // Adds a pan recognizer that drives this transition to the controller's view.
    virtual void addShowPanGesture(const std::shared_ptr<ui::ViewController>& controller);
    virtual void sm_tapAction();
    virtual void sm_panAction(const core::Notification& notification);
    virtual void handleShowPan(ui::PanGestureRecognizer& pan);
    virtual void handlePanWithPan(ui::PanGestureRecognizer& pan);

    std::shared_ptr<ui::ViewController> targetVC() const { return targetVC_.lock(); }
    std::optional<SMSideDirection> direction() const { return direction_; }
    double percent() const { return percent_; }

private:
    void endPan(bool ended);

    bool isInteractive_ = false;
    std::weak_ptr<ui::ViewController> targetVC_;
    std::shared_ptr<SMSideConfig> config_;
    std::optional<SMSideShowType> showType_;
    std::optional<SMSideDirection> direction_;
    double percent_ = 0;
    core::NotificationCenter::Token tapObservation_;
    core::NotificationCenter::Token panObservation_;
};

} // namespace side_menu
