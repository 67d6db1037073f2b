#pragma once
// The animator of a side-menu transition: the show slides (or zooms) the side controller's view
// in beside the presenting controller's view and fades a mask in over the latter; the hide runs
// it back. A new one is made for each transition; the configuration is shared, not copied.
//
// With a cancelled interactive transition the platform has already run the animation back to its
// start when the completion runs, so the cancelled branches only settle the mask, the side view's
// transform and the stacking order. Main thread only.

#include "platform/core/Object.h"
#include "platform/ui/TransitionContext.h"
#include "platform/ui/ViewControllerAnimatedTransitioning.h"
#include "side_menu/SMSideConfig.h"
#include "side_menu/SMSideShowType.h"

#include <memory>
#include <optional>

namespace side_menu {

class SMSideAnimatedTransitioning : public core::Object, public ui::ViewControllerAnimatedTransitioning {
    QUILLORA_CLASS(SMSideAnimatedTransitioning)

    SMSideAnimatedTransitioning(std::optional<SMSideShowType> type, std::shared_ptr<SMSideConfig> config)
        : type_(type), config_(std::move(config)) {}

    const std::optional<SMSideShowType>& type() const { return type_; }
    const std::shared_ptr<SMSideConfig>& config() const { return config_; }

    double transitionDuration(const std::shared_ptr<ui::TransitionContext>& context) override;
    void animateTransition(const std::shared_ptr<ui::TransitionContext>& context) override;

    virtual void animateShowTransition(const std::shared_ptr<ui::TransitionContext>& context);
    virtual void animateHideTransition(const std::shared_ptr<ui::TransitionContext>& context);

private:
    std::optional<SMSideShowType> type_;
    std::shared_ptr<SMSideConfig> config_;
};

} // namespace side_menu
