#include "platform/ui/ViewController.h"

#include "platform/dispatch/Queue.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/Screen.h"
#include "platform/ui/TabBarController.h"
#include "platform/ui/TableView.h"
#include "platform/ui/TransitionContext.h"
#include "platform/ui/Window.h"

#include <algorithm>

namespace ui {
namespace {

// Runs `done` once the animations of the block have stopped, or on a later turn when there are
// none (an unanimated transition still completes asynchronously).
void transition(bool animated, const std::function<void()>& changes, std::function<void()> done) {
    if (animated) {
        View::animate(ViewController::kTransitionDuration, 0, animationCurveEaseInOut, changes,
                      [done = std::move(done)](bool) { if (done) done(); });
    } else {
        changes();
        dispatch::Queue::main()->async([done = std::move(done)] { if (done) done(); });
    }
}

} // namespace

// Its view's and a presented controller's links to it go with it.
ViewController::~ViewController() { View::noteResponderLinksChanged(); }

const std::shared_ptr<View>& ViewController::view() {
    if (!view_) {
        loadView();
        if (!view_) view_ = core::make<View>(Screen::main().bounds());
        view_->controller_ = std::static_pointer_cast<ViewController>(shared_from_this());
        view_->controllerPointer_ = this;
        View::noteResponderLinksChanged();
        viewDidLoad();
    }
    return view_;
}

void ViewController::setView(std::shared_ptr<View> view) {
    view_ = std::move(view);
    if (view_) {
        view_->controller_ = std::static_pointer_cast<ViewController>(shared_from_this());
        view_->controllerPointer_ = this;
    }
    View::noteResponderLinksChanged();
}

std::shared_ptr<core::Object> ViewController::nextResponder() const {
    if (view_)
        if (auto superview = view_->superview()) return superview;
    return presentingViewController();
}

std::shared_ptr<core::Object> nextResponder(const core::Object& responder) {
    if (auto* view = dynamic_cast<const View*>(&responder)) return view->nextResponder();
    if (auto* controller = dynamic_cast<const ViewController*>(&responder)) return controller->nextResponder();
    return nullptr;
}

void ViewController::loadView() {
    view_ = core::make<View>(Screen::main().bounds());
    view_->setAutoresizingMask(autoresizingFlexibleWidth | autoresizingFlexibleHeight);
}


void ViewController::addChildViewController(const std::shared_ptr<ViewController>& child) {
    if (!child || child.get() == this) return;
    child->removeFromParentViewController();
    children_.push_back(child);
    child->parent_ = std::static_pointer_cast<ViewController>(shared_from_this());
    child->parentPointer_ = this;
}

void ViewController::removeFromParentViewController() {
    auto parent = parent_.lock();
    if (!parent) return;
    auto& list = parent->children_;
    list.erase(std::remove_if(list.begin(), list.end(), [this](const auto& c) { return c.get() == this; }), list.end());
    parent_.reset();
    parentPointer_ = nullptr;
}

// The controllers above are climbed without taking a reference to each; only the one found is taken.
std::shared_ptr<NavigationController> ViewController::navigationController() const {
    for (const ViewController* c = this; c; c = c->parentViewControllerPointer())
        if (core::isKindOf<NavigationController>(*c))
            return std::static_pointer_cast<NavigationController>(std::const_pointer_cast<core::Object>(c->shared_from_this()));
    return nullptr;
}

std::shared_ptr<TabBarController> ViewController::tabBarController() const {
    for (const ViewController* c = this; c; c = c->parentViewControllerPointer())
        if (core::isKindOf<TabBarController>(*c))
            return std::static_pointer_cast<TabBarController>(std::const_pointer_cast<core::Object>(c->shared_from_this()));
    return nullptr;
}

// ---- Appearance

void ViewController::beginAppearanceTransition(bool appearing, bool animated) {
    Appearance target = appearing ? Appearance::appearing : Appearance::disappearing;
    if (appearance_ == target) return;
    if (appearing && appearance_ == Appearance::appeared) return;
    if (!appearing && appearance_ == Appearance::disappeared) return;
    appearance_ = target;
    lastAnimated_ = animated;
    if (appearing) viewWillAppear(animated);
    else viewWillDisappear(animated);
    for (auto& child : childrenOnScreen()) child->beginAppearanceTransition(appearing, animated);
}

void ViewController::endAppearanceTransition() {
    if (appearance_ == Appearance::appearing) {
        appearance_ = Appearance::appeared;
        viewDidAppear(lastAnimated_);
    } else if (appearance_ == Appearance::disappearing) {
        appearance_ = Appearance::disappeared;
        viewDidDisappear(lastAnimated_);
    } else {
        return;
    }
    for (auto& child : childrenOnScreen()) child->endAppearanceTransition();
}

// ---- Presentation

std::shared_ptr<Window> ViewController::hostWindow() {
    if (isViewLoaded())
        if (auto w = view_->window()) return w;
    if (auto presenter = presentingViewController()) return presenter->hostWindow();
    // A presenter covered by what it presents is out of the window; the presented view is in it.
    if (presented_ && presented_->isViewLoaded())
        if (auto w = presented_->view_->window()) return w;
    if (auto parent = parentViewController()) return parent->hostWindow();
    return nullptr;
}

void ViewController::presentViewController(const std::shared_ptr<ViewController>& controller, bool animated,
                                           std::function<void()> completion) {
    if (!controller || presented_ || controller->presentingViewController()) return;
    auto window = hostWindow();
    if (!window) return;
    auto self = std::static_pointer_cast<ViewController>(shared_from_this());
    if (auto delegate = controller->transitioningDelegate())
        if (TransitionContext::present(self, controller, delegate, animated, completion)) return;
    presented_ = controller;
    controller->presenting_ = self;
    View::noteResponderLinksChanged();
    bool covers = coversPresenter(controller->modalPresentationStyle_);
    // What the presented controller covers: the views of this controller's whole tree.
    auto top = self;
    while (auto parent = top->parentViewController()) top = parent;
    auto covered = top->isViewLoaded() ? top->view() : nullptr;

    const auto& view = controller->view();
    gfx::Rect bounds = window->bounds();
    view->setFrame(bounds);
    view->setAutoresizingMask(autoresizingFlexibleWidth | autoresizingFlexibleHeight);
    if (covers) top->beginAppearanceTransition(false, animated);
    controller->beginAppearanceTransition(true, animated);
    if (animated) view->setFrame(bounds.offsetBy(0, bounds.height()));
    window->addSubview(view);
    std::weak_ptr<ViewController> weakTop = top, weakPresented = controller;
    std::weak_ptr<View> weakCovered = covered;
    transition(animated, [&] { view->setFrame(bounds); }, [weakTop, weakPresented, weakCovered, covers, completion] {
        auto presented = weakPresented.lock();
        if (presented) presented->endAppearanceTransition();
        if (covers) {
            if (auto t = weakTop.lock()) {
                // A full-screen presentation takes the covered views out of the window.
                if (auto v = weakCovered.lock(); v && presented) {
                    presented->coveredView_ = v;
                    v->removeFromSuperview();
                }
                t->endAppearanceTransition();
            }
        }
        if (completion) completion();
    });
}

void ViewController::dismissViewControllerAnimated(bool animated, std::function<void()> completion) {
    // Sent to the presented controller, it dismisses itself through its presenter.
    if (!presented_) {
        if (auto presenter = presentingViewController()) presenter->dismissViewControllerAnimated(animated, std::move(completion));
        return;
    }
    auto controller = presented_;
    if (auto delegate = controller->transitioningDelegate())
        if (TransitionContext::dismiss(std::static_pointer_cast<ViewController>(shared_from_this()), delegate,
                                       animated, completion))
            return;
    auto window = hostWindow();
    bool covered = coversPresenter(controller->modalPresentationStyle_);
    auto self = std::static_pointer_cast<ViewController>(shared_from_this());
    auto top = self;
    while (auto parent = top->parentViewController()) top = parent;
    const auto& view = controller->view();
    if (covered) {
        if (auto v = controller->coveredView_.lock(); v && window) window->insertSubview(v, 0);
    }
    controller->beginAppearanceTransition(false, animated);
    if (covered) top->beginAppearanceTransition(true, animated);
    gfx::Rect frame = view->frame();
    std::weak_ptr<ViewController> weakTop = top;
    transition(animated, [&] { if (animated) view->setFrame(frame.offsetBy(0, frame.height())); },
               [controller, weakTop, covered, completion] {
                   controller->view()->removeFromSuperview();
                   controller->endAppearanceTransition();
                   if (covered)
                       if (auto t = weakTop.lock()) t->endAppearanceTransition();
                   if (completion) completion();
               });
    presented_.reset();
    controller->presenting_.reset();
    View::noteResponderLinksChanged();
}

// ---- Window

void Window::setRootViewController(std::shared_ptr<ViewController> controller) {
    if (controller == rootViewController_) return;
    if (auto old = rootViewController_) {
        old->beginAppearanceTransition(false, false);
        if (old->isViewLoaded()) old->view()->removeFromSuperview();
        old->endAppearanceTransition();
    }
    rootViewController_ = std::move(controller);
    if (!rootViewController_) return;
    const auto& view = rootViewController_->view();
    view->setFrame(bounds());
    view->setAutoresizingMask(autoresizingFlexibleWidth | autoresizingFlexibleHeight);
    rootViewController_->beginAppearanceTransition(true, false);
    insertSubview(view, 0);
    rootViewController_->endAppearanceTransition();
}

void TableViewController::loadView() {
    auto table = core::make<TableView>(Screen::main().bounds());
    table->setAutoresizingMask(autoresizingFlexibleWidth | autoresizingFlexibleHeight);
    setView(table);
}

std::shared_ptr<TableView> TableViewController::tableView() { return std::dynamic_pointer_cast<TableView>(view()); }

} // namespace ui
