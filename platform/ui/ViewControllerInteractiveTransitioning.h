#pragma once
// An interaction controller: it starts the animator of a transition itself and then drives it
// from outside (a finger) until it finishes or cancels the transition. Main thread only.

#include <memory>

namespace ui {

class TransitionContext;

class ViewControllerInteractiveTransitioning {
public:
    virtual ~ViewControllerInteractiveTransitioning() = default;
    virtual void startInteractiveTransition(const std::shared_ptr<TransitionContext>& context) = 0;
};

} // namespace ui
