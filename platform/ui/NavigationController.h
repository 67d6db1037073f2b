#pragma once
// A stack of controllers of which the top one is on screen, under a navigation bar (44 points
// below the status bar, with the top's title) that can be hidden. A push slides the new view in
// from the right; a pop slides the top out to the right. The bar shows the top's title and left
// items (NavigationItem) and follows their changes. Main thread only.

#include "platform/ui/Label.h"
#include "platform/ui/PanGestureRecognizer.h"
#include "platform/ui/ViewController.h"

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

    // The swipe-back gesture. Only its enabled flag is kept (the edge swipe is not built); it is
    // never added to a view.
    const std::shared_ptr<GestureRecognizer>& interactivePopGestureRecognizer() const { return popGesture_; }

    void loadView() override;
    static constexpr double kBarHeight = 44;

protected:
    std::vector<std::shared_ptr<ViewController>> childrenOnScreen() const override;

private:
    friend class ViewController;
    gfx::Rect contentFrame() const;
    void show(const std::shared_ptr<ViewController>& from, const std::shared_ptr<ViewController>& to, bool animated,
              bool forward, std::vector<std::shared_ptr<ViewController>> leaving);
    void updateBar();

    std::shared_ptr<ViewController> initialRoot_;
    std::vector<std::shared_ptr<ViewController>> stack_;
    std::shared_ptr<NavigationBar> bar_;
    std::shared_ptr<Label> barTitle_;
    std::vector<std::shared_ptr<View>> barLeftViews_;
    std::shared_ptr<GestureRecognizer> popGesture_ = std::make_shared<PanGestureRecognizer>();
    bool barHidden_ = false;
    bool transitioning_ = false;
};

} // namespace ui
