#pragma once
// A controller of one screenful: it owns a root view, made on first access (loadView(), then
// viewDidLoad()), and hears when that view appears and disappears.
//
// Creation is two-phase (core::make), so an initialiser of a base class may touch view() and so
// run the most-derived viewDidLoad(). Appearance callbacks come in the platform's order: for a
// push, the old top's viewWillDisappear, the new one's viewWillAppear, then (after the
// animation) viewDidDisappear and viewDidAppear; presenting and dismissing follow the same
// pattern; containers pass the callbacks on to the child on screen. Presented controllers cover
// the window (full screen: the presenter's views leave the window once covered) or lie over it
// (over context / over full screen: the presenter stays). Completions run once the transition is
// over, on a later turn of the main loop when nothing animates. Main thread only.

#include "platform/core/Object.h"
#include "platform/ui/AssociatedObjects.h"
#include "platform/ui/View.h"

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace ui {

class NavigationController;
class NavigationItem;
class TabBarController;
class TransitionContext;
class ViewControllerTransitioningDelegate;
class Window;

// A page or form sheet is shown like a full-screen presentation (the phone's size class).
enum class ModalPresentationStyle { fullScreen = 0, pageSheet = 1, formSheet = 2, overFullScreen = 5, overCurrentContext = 6 };
inline bool coversPresenter(ModalPresentationStyle style) {
    return style == ModalPresentationStyle::fullScreen || style == ModalPresentationStyle::pageSheet ||
           style == ModalPresentationStyle::formSheet;
}

class ViewController : public core::Object, public AssociatedObjects {
    QUILLORA_CLASS(ViewController)

    ViewController() = default;
    ~ViewController() override;

    // The root view, loaded on first access.
    const std::shared_ptr<View>& view();
    bool isViewLoaded() const { return view_ != nullptr; }
    // Replaces the root view (nullptr unloads it).
    void setView(std::shared_ptr<View> view);

    virtual void loadView();
    virtual void viewDidLoad() {}
    virtual void viewWillAppear(bool animated) { (void)animated; }
    virtual void viewDidAppear(bool animated) { (void)animated; }
    virtual void viewWillDisappear(bool animated) { (void)animated; }
    virtual void viewDidDisappear(bool animated) { (void)animated; }

    const std::string& title() const { return title_; }
    // A navigation bar showing this controller follows the change.
    void setTitle(std::string title);
    // The left items of the navigation bar while this controller is the top of a stack.
    const std::shared_ptr<NavigationItem>& navigationItem();
    // Whether a tab bar hides while this controller is on a pushed navigation stack; the tab-bar
    // controller here has no per-page bar, so it is only recorded.
    bool hidesBottomBarWhenPushed = false;
    bool extendedLayoutIncludesOpaqueBars() const { return extendedLayoutIncludesOpaqueBars_; }
    void setExtendedLayoutIncludesOpaqueBars(bool includes) { extendedLayoutIncludesOpaqueBars_ = includes; }

    // The containment tree.
    std::shared_ptr<ViewController> parentViewController() const { return parent_.lock(); }
    // The same without taking a reference to it (walks on the main thread); null once it has gone.
    ViewController* parentViewControllerPointer() const { return parent_.expired() ? nullptr : parentPointer_; }
    const std::vector<std::shared_ptr<ViewController>>& childViewControllers() const { return children_; }
    void addChildViewController(const std::shared_ptr<ViewController>& child);
    void removeFromParentViewController();
    // The nearest navigation or tab-bar controller above (or this one), if any.
    std::shared_ptr<NavigationController> navigationController() const;
    std::shared_ptr<TabBarController> tabBarController() const;

    // The responder chain: the root view's superview, else the controller that presented this one.
    std::shared_ptr<core::Object> nextResponder() const;

    // Modal presentation.
    ModalPresentationStyle modalPresentationStyle() const { return modalPresentationStyle_; }
    void setModalPresentationStyle(ModalPresentationStyle style) { modalPresentationStyle_ = style; }
    std::shared_ptr<ViewController> presentedViewController() const { return presented_; }
    std::shared_ptr<ViewController> presentingViewController() const { return presenting_.lock(); }
    void presentViewController(const std::shared_ptr<ViewController>& controller, bool animated,
                               std::function<void()> completion = {});
    // Called on the presenter or on the presented controller: dismisses what is presented.
    void dismissViewControllerAnimated(bool animated, std::function<void()> completion = {});
    // Gives the animators of a custom presentation and dismissal of this controller (see
    // TransitionContext). Held weakly: whoever sets it keeps it alive.
    std::shared_ptr<ViewControllerTransitioningDelegate> transitioningDelegate() const { return transitioningDelegate_.lock(); }
    void setTransitioningDelegate(std::weak_ptr<ViewControllerTransitioningDelegate> delegate) {
        transitioningDelegate_ = std::move(delegate);
    }

    // Values that other modules attach to a controller: see AssociatedObjects (a base).

    // The appearance machinery that containers and windows drive.
    void beginAppearanceTransition(bool appearing, bool animated);
    void endAppearanceTransition();
    bool isAppearing() const { return appearance_ == Appearance::appearing || appearance_ == Appearance::appeared; }

    static constexpr double kTransitionDuration = 0.35;

protected:
    // The children that are on screen with this controller (containers override).
    virtual std::vector<std::shared_ptr<ViewController>> childrenOnScreen() const { return {}; }
    // The window this controller's view is in (through its presenter when presented).
    std::shared_ptr<Window> hostWindow();

private:
    friend class TransitionContext;
    void navigationDetailsDidChange();
    std::shared_ptr<NavigationItem> navigationItem_;
    enum class Appearance { disappeared, appearing, appeared, disappearing };

    std::shared_ptr<View> view_;
    std::string title_;
    bool extendedLayoutIncludesOpaqueBars_ = false;
    std::weak_ptr<ViewController> parent_;
    ViewController* parentPointer_ = nullptr;  // the same controller, read only while parent_ lives
    std::vector<std::shared_ptr<ViewController>> children_;
    ModalPresentationStyle modalPresentationStyle_ = ModalPresentationStyle::fullScreen;
    std::shared_ptr<ViewController> presented_;
    std::weak_ptr<ViewController> presenting_;
    std::weak_ptr<View> coveredView_;  // the view a full-screen presentation took out
    Appearance appearance_ = Appearance::disappeared;
    bool lastAnimated_ = false;
    std::weak_ptr<ViewControllerTransitioningDelegate> transitioningDelegate_;
};

// The next responder of a view or a controller (null for anything else or at the end).
std::shared_ptr<core::Object> nextResponder(const core::Object& responder);

// A controller whose root view is a table view (plain style, filling the screen).
class TableViewController : public ViewController {
    QUILLORA_CLASS(TableViewController)
    void loadView() override;
    std::shared_ptr<class TableView> tableView();
};

} // namespace ui
