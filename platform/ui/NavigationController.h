#pragma once
// A stack of controllers of which the top one is on screen, under a navigation bar (44 points
// below the status bar, with the top's title) that can be hidden. A push slides the new view in
// from the right while the old one moves a third of the width to the left; a pop slides the top
// out to the right. The bar shows the top's title and left items (NavigationItem) and follows
// their changes.
//
// Swipe back: a pan from the left edge of the controller's view (within 20 points), on a page
// that is not the root and outside a transition, pops interactively: the page follows the finger,
// the one below comes in from a third to the left under a dimming that lifts as it comes. Letting
// go past half the width, or moving right faster than kSwipeFinishVelocity, finishes the pop;
// anything else (or a cancelled or disabled gesture) runs it back. A focused input on the page
// gives up the focus when the swipe begins. The gesture's states (began, changed, ended,
// cancelled) are those of interactivePopGestureRecognizer(), which its enabled flag switches off.
// Main thread only.

#include "platform/ui/Label.h"
#include "platform/ui/ScreenEdgePanGestureRecognizer.h"
#include "platform/ui/ViewController.h"

#include <optional>

namespace ui {

// The navigation controller's bar. Its view reaches up under the status bar; barHeight() is the
// bar proper below it.
class NavigationBar : public View {
    QUILLORA_CLASS(NavigationBar)
    using View::View;
    double barHeight() const;
};

class NavigationController : public ViewController {
    QUILLORA_CLASS(NavigationController)

    explicit NavigationController(std::shared_ptr<ViewController> root = nullptr) : initialRoot_(std::move(root)) {}
    void init() override;

    const std::vector<std::shared_ptr<ViewController>>& viewControllers() const { return stack_; }
    std::shared_ptr<ViewController> topViewController() const { return stack_.empty() ? nullptr : stack_.back(); }
    // Subclasses may prepare a page before it is pushed or popped.
    virtual void pushViewController(const std::shared_ptr<ViewController>& controller, bool animated);
    // Nothing happens at the root.
    virtual std::shared_ptr<ViewController> popViewControllerAnimated(bool animated);
    virtual std::vector<std::shared_ptr<ViewController>> popToRootViewControllerAnimated(bool animated);

    bool isNavigationBarHidden() const { return barHidden_; }
    void setNavigationBarHidden(bool hidden, bool animated = false);
    const std::shared_ptr<NavigationBar>& navigationBar() { view(); return bar_; }

    // The swipe-back gesture, on the controller's view once it is loaded.
    const std::shared_ptr<GestureRecognizer>& interactivePopGestureRecognizer() const { return popGesture_; }

    void loadView() override;
    static constexpr double kBarHeight = 44;
    static constexpr double kSwipeFinishVelocity = 300;  // points a second, rightwards
    static constexpr double kSwipeDimming = 0.1;         // black over the page below, at the start

protected:
    std::vector<std::shared_ptr<ViewController>> childrenOnScreen() const override;

private:
    friend class ViewController;
    gfx::Rect contentFrame() const;
    void show(const std::shared_ptr<ViewController>& from, const std::shared_ptr<ViewController>& to, bool animated,
              bool forward, std::vector<std::shared_ptr<ViewController>> leaving);
    void updateBar();
    // The swipe back, step by step.
    void popGestureDidChange(PanGestureRecognizer& pan);
    void beginInteractivePop();
    void moveInteractivePop(double progress);
    void endInteractivePop(bool finish, double progress);

    struct InteractivePop {
        std::shared_ptr<ViewController> from;  // the page that leaves
        std::shared_ptr<ViewController> to;    // the page below
        std::shared_ptr<View> dimming;
        bool onScreen = false;
        bool ending = false;  // let go: finishing or running back
    };
    std::optional<InteractivePop> pop_;
    class PopGestureGate;
    std::shared_ptr<PopGestureGate> popGate_;

    std::shared_ptr<ViewController> initialRoot_;
    std::vector<std::shared_ptr<ViewController>> stack_;
    std::shared_ptr<NavigationBar> bar_;
    std::shared_ptr<Label> barTitle_;
    std::vector<std::shared_ptr<View>> barLeftViews_;
    std::shared_ptr<GestureRecognizer> popGesture_ = std::make_shared<ScreenEdgePanGestureRecognizer>();
    bool barHidden_ = false;
    bool transitioning_ = false;
};

} // namespace ui
