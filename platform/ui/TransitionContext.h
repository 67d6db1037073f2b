#pragma once
// The context of one custom presentation or dismissal (a presented controller whose
// transitioning delegate gives an animator). It names the controllers and views that take part
// and the container view the animation happens in, a full-window view that stays in the window
// while the presented controller is on screen. The animator ends the transition with
// completeTransition(); an interaction controller may first cancel it, in which case the
// animator reports it as not done and everything returns to where it was before.
//
// A completed full-screen presentation takes the presenting controller's view out of the window,
// as a plain presentation does; an animator that wants it to stay visible adds it to the
// container again after completeTransition(). A completed dismissal removes the container and
// puts the presenting view back into the window. Main thread only.

#include "platform/ui/View.h"

#include <functional>
#include <memory>

namespace ui {

class ViewController;
class ViewControllerAnimatedTransitioning;
class ViewControllerTransitioningDelegate;

enum class TransitionControllerKey { from, to };

class TransitionContext : public std::enable_shared_from_this<TransitionContext> {
public:
    // Runs the custom presentation of `presented` by `presenter`; false when the delegate gives
    // no animator (the caller then presents the plain way).
    static bool present(const std::shared_ptr<ViewController>& presenter, const std::shared_ptr<ViewController>& presented,
                        const std::shared_ptr<ViewControllerTransitioningDelegate>& delegate, bool animated,
                        std::function<void()> completion);
    // Runs the custom dismissal of what `presenter` presents; false when the delegate gives no
    // animator. A dismissal asked for while a transition of the same controller runs is ignored.
    static bool dismiss(const std::shared_ptr<ViewController>& presenter,
                        const std::shared_ptr<ViewControllerTransitioningDelegate>& delegate, bool animated,
                        std::function<void()> completion);
    // True while a custom transition of `presented` runs.
    static bool isTransitioning(const ViewController& presented);

    const std::shared_ptr<View>& containerView() const { return container_; }
    std::shared_ptr<ViewController> viewControllerForKey(TransitionControllerKey key) const;
    std::shared_ptr<View> viewForKey(TransitionControllerKey key) const;
    const std::shared_ptr<ViewControllerAnimatedTransitioning>& animator() const { return animator_; }
    bool isPresenting() const { return presenting_; }
    bool isAnimated() const { return animated_; }
    bool isInteractive() const { return interactive_; }
    bool transitionWasCancelled() const { return cancelled_; }
    double percentComplete() const { return percent_; }

    // Reports from the interaction controller.
    void updateInteractiveTransition(double percent) { percent_ = percent; }
    void cancelInteractiveTransition() { cancelled_ = true; }
    void finishInteractiveTransition() { cancelled_ = false; }
    void setInteractive(bool interactive) { interactive_ = interactive; }

    // Ends the transition; only the first call counts.
    void completeTransition(bool didComplete);

    TransitionContext(std::shared_ptr<View> container, std::weak_ptr<ViewController> presenter,
                      std::weak_ptr<ViewController> presented, std::weak_ptr<ViewController> covered,
                      bool presenting, bool animated);

private:
    void finishPresentation(bool didComplete);
    void finishDismissal(bool didComplete);
    void restorePresenterView();

    std::shared_ptr<View> container_;
    std::weak_ptr<ViewController> presenter_;  // the controller that presented
    std::weak_ptr<ViewController> presented_;
    std::weak_ptr<ViewController> covered_;    // the top of the presenter's tree, whose view takes part
    std::shared_ptr<ViewControllerAnimatedTransitioning> animator_;
    std::function<void()> completion_;
    bool presenting_;
    bool animated_;
    bool interactive_ = false;
    bool cancelled_ = false;
    bool completed_ = false;
    double percent_ = 0;
};

} // namespace ui
