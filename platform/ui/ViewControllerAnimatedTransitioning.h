#pragma once
// An animator of a custom presentation or dismissal: it moves the views of the transition inside
// the context's container view and calls the context's completeTransition() when it is done.
// Main thread only.

#include <memory>

namespace ui {

class TransitionContext;

class ViewControllerAnimatedTransitioning {
public:
    virtual ~ViewControllerAnimatedTransitioning() = default;
    // Seconds the animation lasts; an interaction controller scrubs through this span.
    virtual double transitionDuration(const std::shared_ptr<TransitionContext>& context) = 0;
    virtual void animateTransition(const std::shared_ptr<TransitionContext>& context) = 0;
};

} // namespace ui
