#include "platform/ui/TransitionContext.h"

#include "platform/ui/ViewController.h"
#include "platform/ui/ViewControllerAnimatedTransitioning.h"
#include "platform/ui/ViewControllerInteractiveTransitioning.h"
#include "platform/ui/ViewControllerTransitioningDelegate.h"
#include "platform/ui/Window.h"

namespace ui {
namespace {

// Keys of what a presented controller carries while it is custom-presented: the container view
// (from the presentation to the end of the dismissal) and the context of the running transition.
const char kContainerKey = 0;
const char kActiveKey = 0;

std::shared_ptr<ViewController> topOf(std::shared_ptr<ViewController> controller) {
    while (auto parent = controller->parentViewController()) controller = parent;
    return controller;
}

} // namespace

TransitionContext::TransitionContext(std::shared_ptr<View> container, std::weak_ptr<ViewController> presenter,
                                     std::weak_ptr<ViewController> presented, std::weak_ptr<ViewController> covered,
                                     bool presenting, bool animated)
    : container_(std::move(container)), presenter_(std::move(presenter)), presented_(std::move(presented)),
      covered_(std::move(covered)), presenting_(presenting), animated_(animated) {}

bool TransitionContext::isTransitioning(const ViewController& presented) {
    return presented.associatedObject(&kActiveKey) != nullptr;
}

std::shared_ptr<ViewController> TransitionContext::viewControllerForKey(TransitionControllerKey key) const {
    bool presentedSide = (key == TransitionControllerKey::to) == presenting_;
    return presentedSide ? presented_.lock() : covered_.lock();
}

std::shared_ptr<View> TransitionContext::viewForKey(TransitionControllerKey key) const {
    auto controller = viewControllerForKey(key);
    return controller ? controller->view() : nullptr;
}

bool TransitionContext::present(const std::shared_ptr<ViewController>& presenter,
                                const std::shared_ptr<ViewController>& presented,
                                const std::shared_ptr<ViewControllerTransitioningDelegate>& delegate, bool animated,
                                std::function<void()> completion) {
    auto top = topOf(presenter);
    auto animator = delegate->animationControllerForPresented(presented, top, presenter);
    if (!animator) return false;
    auto window = presenter->hostWindow();
    if (!window) return true;
    presenter->presented_ = presented;
    presented->presenting_ = presenter;
    View::noteResponderLinksChanged();

    auto container = core::make<View>(window->bounds());
    container->setAutoresizingMask(autoresizingFlexibleWidth | autoresizingFlexibleHeight);
    window->addSubview(container);
    auto context = std::make_shared<TransitionContext>(container, presenter, presented, top, true, animated);
    context->animator_ = animator;
    context->completion_ = std::move(completion);
    presented->setAssociatedObject(&kContainerKey, container);
    presented->setAssociatedObject(&kActiveKey, context);
    presented->view()->setFrame(container->bounds());

    if (coversPresenter(presented->modalPresentationStyle()))
        top->beginAppearanceTransition(false, animated);
    presented->beginAppearanceTransition(true, animated);
    if (auto interaction = delegate->interactionControllerForPresentation(animator)) {
        context->interactive_ = true;
        interaction->startInteractiveTransition(context);
    } else {
        animator->animateTransition(context);
    }
    return true;
}

bool TransitionContext::dismiss(const std::shared_ptr<ViewController>& presenter,
                                const std::shared_ptr<ViewControllerTransitioningDelegate>& delegate, bool animated,
                                std::function<void()> completion) {
    auto presented = presenter->presented_;
    if (!presented) return false;
    // One transition at a time: a dismissal asked for while the menu is still sliding in (or out)
    // would otherwise fight the running animator over the same views.
    if (isTransitioning(*presented)) return true;
    auto container = std::static_pointer_cast<View>(presented->associatedObject(&kContainerKey));
    if (!container) return false;
    auto animator = delegate->animationControllerForDismissed(presented);
    if (!animator) return false;
    auto top = topOf(presenter);
    // The presenting view comes back for the dismissal if the animator had left it out.
    if (top->isViewLoaded() && !top->view()->window()) container->insertSubview(top->view(), 0);

    auto context = std::make_shared<TransitionContext>(container, presenter, presented, top, false, animated);
    context->animator_ = animator;
    context->completion_ = std::move(completion);
    presented->setAssociatedObject(&kActiveKey, context);
    presented->beginAppearanceTransition(false, animated);
    if (coversPresenter(presented->modalPresentationStyle()))
        top->beginAppearanceTransition(true, animated);
    if (auto interaction = delegate->interactionControllerForDismissal(animator)) {
        context->interactive_ = true;
        interaction->startInteractiveTransition(context);
    } else {
        animator->animateTransition(context);
    }
    return true;
}

void TransitionContext::completeTransition(bool didComplete) {
    if (completed_) return;
    completed_ = true;
    auto self = shared_from_this();  // the association below may hold the last reference
    if (auto presented = presented_.lock()) presented->setAssociatedObject(&kActiveKey, nullptr);
    if (presenting_) finishPresentation(didComplete);
    else finishDismissal(didComplete);
}

void TransitionContext::restorePresenterView() {
    auto top = covered_.lock();
    auto window = container_->window();
    if (!top || !top->isViewLoaded() || !window) return;
    if (top->view()->superview() != window) window->insertSubview(top->view(), 0);
}

void TransitionContext::finishPresentation(bool didComplete) {
    auto presented = presented_.lock();
    auto top = covered_.lock();
    if (!presented) return;
    bool covers = coversPresenter(presented->modalPresentationStyle());
    if (didComplete) {
        presented->endAppearanceTransition();
        if (covers && top) {
            // As with a plain full-screen presentation, the covered view leaves the window.
            if (top->isViewLoaded()) {
                presented->coveredView_ = top->view();
                top->view()->removeFromSuperview();
            }
            top->endAppearanceTransition();
        }
        if (completion_) completion_();
        return;
    }
    // A cancelled presentation leaves everything as it was before it began.
    if (auto presenter = presenter_.lock()) presenter->presented_.reset();
    presented->presenting_.reset();
    View::noteResponderLinksChanged();
    restorePresenterView();
    presented->view()->removeFromSuperview();
    container_->removeFromSuperview();
    presented->setAssociatedObject(&kContainerKey, nullptr);
    presented->beginAppearanceTransition(false, animated_);
    presented->endAppearanceTransition();
    if (covers && top) {
        top->beginAppearanceTransition(true, animated_);
        top->endAppearanceTransition();
    }
}

void TransitionContext::finishDismissal(bool didComplete) {
    auto presented = presented_.lock();
    auto top = covered_.lock();
    if (!presented) return;
    bool covers = coversPresenter(presented->modalPresentationStyle());
    if (!didComplete) {
        // A cancelled dismissal: the presented controller stays on screen.
        presented->beginAppearanceTransition(true, animated_);
        presented->endAppearanceTransition();
        if (covers && top) {
            top->beginAppearanceTransition(false, animated_);
            top->endAppearanceTransition();
        }
        return;
    }
    restorePresenterView();
    presented->view()->removeFromSuperview();
    container_->removeFromSuperview();
    presented->setAssociatedObject(&kContainerKey, nullptr);
    presented->coveredView_.reset();
    if (auto presenter = presenter_.lock()) presenter->presented_.reset();
    presented->presenting_.reset();
    View::noteResponderLinksChanged();
    presented->endAppearanceTransition();
    if (covers && top) top->endAppearanceTransition();
    if (completion_) completion_();
}

} // namespace ui
