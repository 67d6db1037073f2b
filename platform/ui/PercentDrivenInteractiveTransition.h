#pragma once
// An interaction controller that scrubs the animator's view animations by a fraction of their
// duration. startInteractiveTransition() freezes the container view's layer time and runs the
// animator, so its animations begin frozen at their start; update moves them to a fraction;
// finish lets them run on to the end at normal speed; cancel runs them back to their start at
// normal speed, puts the animated properties back to their values before the transition, stops
// the animations (so the animator's completion runs) with the context reporting the transition
// cancelled. Finishing or cancelling when no transition is being driven does nothing. Main
// thread only.

#include "platform/core/Object.h"
#include "platform/ui/ViewControllerInteractiveTransitioning.h"

#include <memory>

namespace ui {

class View;

class PercentDrivenInteractiveTransition : public core::Object, public ViewControllerInteractiveTransitioning {
    QUILLORA_CLASS(PercentDrivenInteractiveTransition)

    void startInteractiveTransition(const std::shared_ptr<TransitionContext>& context) override;
    virtual void updateInteractiveTransition(double percentComplete);
    virtual void cancelInteractiveTransition();
    virtual void finishInteractiveTransition();

    double duration() const { return duration_; }
    double percentComplete() const { return percent_; }

private:
    bool stopDriving(bool cancel);
    void retime(double speed);
    void runBack();
    void settleAtStart();
    void restoreStartValues(View& view);

    std::weak_ptr<TransitionContext> context_;
    std::weak_ptr<View> container_;
    double duration_ = 0;
    double percent_ = 0;
    double startTime_ = 0;  // the container's local time at which the animations begin
    double savedSpeed_ = 1;
    bool driving_ = false;
};

} // namespace ui
