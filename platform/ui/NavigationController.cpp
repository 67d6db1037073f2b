#include "platform/ui/NavigationController.h"

#include "platform/dispatch/Queue.h"
#include "platform/ui/NavigationItem.h"
#include "platform/ui/Screen.h"

#include <algorithm>

namespace ui {

// Lets the swipe back take a touch only when there is a page to go back to and nothing moves.
class NavigationController::PopGestureGate : public GestureRecognizerDelegate {
public:
    explicit PopGestureGate(NavigationController* owner) : owner_(owner) {}
    bool shouldReceiveTouch(GestureRecognizer&, const std::shared_ptr<Touch>&) override {
        return owner_->stack_.size() >= 2 && !owner_->transitioning_;
    }

private:
    NavigationController* owner_;  // the owner holds the gate and outlives it
};

double NavigationBar::barHeight() const { return std::max(0.0, frame().height() - Screen::main().statusBarHeight()); }

void NavigationController::init() {
    ViewController::init();
    if (initialRoot_) {
        auto root = std::move(initialRoot_);
        addChildViewController(root);
        stack_.push_back(root);
    }
}

void NavigationController::loadView() {
    ViewController::loadView();
    const auto& v = view();
    v->setBackgroundColor(gfx::Color::whiteColor());
    double statusBar = Screen::main().statusBarHeight();
    bar_ = core::make<NavigationBar>(gfx::Rect{0, 0, v->bounds().width(), statusBar + kBarHeight});
    bar_->setBackgroundColor(gfx::Color::rgb(248, 248, 248));
    bar_->setAutoresizingMask(autoresizingFlexibleWidth);
    barTitle_ = core::make<Label>(gfx::Rect{60, statusBar, v->bounds().width() - 120, kBarHeight});
    barTitle_->setFont(gfx::Font::boldSystemFont(17));
    barTitle_->setTextAlignment(TextAlignment::center);
    barTitle_->setAutoresizingMask(autoresizingFlexibleWidth);
    bar_->addSubview(barTitle_);
    bar_->setHidden(barHidden_);
    if (auto top = topViewController()) {
        top->view()->setFrame(contentFrame());
        v->addSubview(top->view());
    }
    v->addSubview(bar_);
    updateBar();
    popGate_ = std::make_shared<PopGestureGate>(this);
    popGesture_->setDelegate(popGate_);
    std::weak_ptr<NavigationController> weak = std::static_pointer_cast<NavigationController>(shared_from_this());
    popGesture_->addAction([weak](GestureRecognizer& g) {
        if (auto self = weak.lock()) self->popGestureDidChange(static_cast<PanGestureRecognizer&>(g));
    });
    v->addGestureRecognizer(popGesture_);
}

// ---- Swipe back

void NavigationController::popGestureDidChange(PanGestureRecognizer& pan) {
    const double width = view()->bounds().width();
    const double progress = width > 0 ? std::clamp(pan.translationInView(view().get()).x / width, 0.0, 1.0) : 0;
    switch (pan.state()) {
    case GestureRecognizer::State::began:
        beginInteractivePop();
        moveInteractivePop(progress);
        break;
    case GestureRecognizer::State::changed: moveInteractivePop(progress); break;
    case GestureRecognizer::State::ended:
        endInteractivePop(progress > 0.5 || pan.velocityInView(view().get()).x > kSwipeFinishVelocity, progress);
        break;
    case GestureRecognizer::State::cancelled:
    case GestureRecognizer::State::failed: endInteractivePop(false, progress); break;
    case GestureRecognizer::State::possible: break;
    }
}

void NavigationController::beginInteractivePop() {
    if (pop_ || stack_.size() < 2) return;
    InteractivePop pop{stack_.back(), stack_[stack_.size() - 2], nullptr, isAppearing()};
    // The page leaves: its input gives the focus up (the keyboard goes while the gesture has begun).
    pop.from->view()->endEditing(true);
    const auto& container = view();
    const gfx::Rect frame = contentFrame();
    if (pop.onScreen) {
        pop.from->beginAppearanceTransition(false, true);
        pop.to->beginAppearanceTransition(true, true);
    }
    const auto& fromView = pop.from->view();
    auto at = std::find(container->subviews().begin(), container->subviews().end(), fromView);
    const size_t index = static_cast<size_t>(at - container->subviews().begin());
    pop.to->view()->setFrame(frame.offsetBy(-frame.width() / 3, 0));
    container->insertSubview(pop.to->view(), index);
    pop.dimming = core::make<View>(frame);
    pop.dimming->setBackgroundColor(gfx::Color::black());
    pop.dimming->setUserInteractionEnabled(false);
    container->insertSubview(pop.dimming, index + 1);
    transitioning_ = true;
    pop_ = std::move(pop);
}

void NavigationController::moveInteractivePop(double progress) {
    if (!pop_) return;
    const gfx::Rect frame = contentFrame();
    const double width = frame.width();
    pop_->from->view()->setFrame(frame.offsetBy(width * progress, 0));
    pop_->to->view()->setFrame(frame.offsetBy(-width / 3 * (1 - progress), 0));
    pop_->dimming->setAlpha(kSwipeDimming * (1 - progress));
}

void NavigationController::endInteractivePop(bool finish, double progress) {
    if (!pop_ || pop_->ending) return;
    pop_->ending = true;
    const double remaining = finish ? 1 - progress : progress;
    std::weak_ptr<NavigationController> weak = std::static_pointer_cast<NavigationController>(shared_from_this());
    View::animate(std::max(0.05, kTransitionDuration * remaining), 0, animationCurveEaseInOut,
                  [&] { moveInteractivePop(finish ? 1 : 0); },
                  [weak, finish](bool) {
                      auto self = weak.lock();
                      if (!self || !self->pop_) return;
                      InteractivePop pop = std::move(*self->pop_);
                      self->pop_.reset();
                      pop.dimming->removeFromSuperview();
                      if (finish) {
                          pop.from->view()->removeFromSuperview();
                          if (!self->stack_.empty() && self->stack_.back() == pop.from) self->stack_.pop_back();
                          self->updateBar();
                      } else {
                          pop.to->view()->removeFromSuperview();
                          pop.from->view()->setFrame(self->contentFrame());
                          if (pop.onScreen) {
                              pop.to->beginAppearanceTransition(false, true);
                              pop.from->beginAppearanceTransition(true, true);
                          }
                      }
                      if (pop.onScreen) {
                          pop.from->endAppearanceTransition();
                          pop.to->endAppearanceTransition();
                      }
                      if (finish) pop.from->removeFromParentViewController();
                      self->transitioning_ = false;
                  });
}

gfx::Rect NavigationController::contentFrame() const {
    gfx::Rect b = const_cast<NavigationController*>(this)->view()->bounds();
    if (barHidden_) return b;
    double top = Screen::main().statusBarHeight() + kBarHeight;
    return {0, top, b.width(), b.height() - top};
}

void NavigationController::updateBar() {
    if (!barTitle_) return;
    auto top = topViewController();
    barTitle_->setText(top ? top->title() : "");
    for (auto& v : barLeftViews_) v->removeFromSuperview();
    barLeftViews_.clear();
    if (!top) return;
    const double barTop = Screen::main().statusBarHeight();
    double x = NavigationItem::kStandardMargin;
    for (const auto& item : top->navigationItem()->leftBarButtonItems()) {
        if (item->isFixedSpace()) {
            x += item->width();
            continue;
        }
        const auto& v = item->customView();
        gfx::Size size = v->frame().size;
        v->setFrame({x, barTop + (kBarHeight - size.height) / 2, size.width, size.height});
        bar_->addSubview(v);
        barLeftViews_.push_back(v);
        x += size.width;
    }
}

std::vector<std::shared_ptr<ViewController>> NavigationController::childrenOnScreen() const {
    if (auto top = topViewController()) return {top};
    return {};
}

void NavigationController::setNavigationBarHidden(bool hidden, bool animated) {
    barHidden_ = hidden;
    if (!isViewLoaded()) return;
    bar_->setHidden(hidden);
    auto top = topViewController();
    gfx::Rect frame = contentFrame();
    if (!top) return;
    if (animated) View::animate(0.2, [&] { top->view()->setFrame(frame); });
    else top->view()->setFrame(frame);
}

void NavigationController::pushViewController(const std::shared_ptr<ViewController>& controller, bool animated) {
    if (!controller || std::find(stack_.begin(), stack_.end(), controller) != stack_.end()) return;
    auto from = topViewController();
    addChildViewController(controller);
    stack_.push_back(controller);
    show(from, controller, animated, true, {});
}

std::shared_ptr<ViewController> NavigationController::popViewControllerAnimated(bool animated) {
    if (stack_.size() < 2) return nullptr;
    auto leaving = stack_.back();
    stack_.pop_back();
    show(leaving, stack_.back(), animated, false, {leaving});
    return leaving;
}

std::vector<std::shared_ptr<ViewController>> NavigationController::popToRootViewControllerAnimated(bool animated) {
    if (stack_.size() < 2) return {};
    std::vector<std::shared_ptr<ViewController>> popped(stack_.begin() + 1, stack_.end());
    auto from = stack_.back();
    stack_.resize(1);
    show(from, stack_.front(), animated, false, popped);
    return popped;
}

void NavigationController::show(const std::shared_ptr<ViewController>& from, const std::shared_ptr<ViewController>& to,
                                bool animated, bool forward, std::vector<std::shared_ptr<ViewController>> leaving) {
    updateBar();
    if (!isViewLoaded()) {
        for (auto& c : leaving) c->removeFromParentViewController();
        return;
    }
    bool onScreen = isAppearing();
    const auto& container = view();
    gfx::Rect frame = contentFrame();
    double width = frame.width();
    const auto& toView = to->view();
    if (onScreen) {
        if (from) from->beginAppearanceTransition(false, animated);
        to->beginAppearanceTransition(true, animated);
    }
    // The new view comes in from the right on a push; on a pop it waits a third to the left.
    toView->setFrame(animated ? frame.offsetBy(forward ? width : -width / 3, 0) : frame);
    if (forward) container->insertSubview(toView, container->subviews().size() - 1);  // under the bar
    else if (from && from->isViewLoaded()) container->insertSubview(toView, 0);
    else container->insertSubview(toView, container->subviews().size() - 1);
    std::weak_ptr<NavigationController> weak = std::static_pointer_cast<NavigationController>(shared_from_this());
    auto finish = [weak, from, to, onScreen, leaving] {
        auto self = weak.lock();
        if (from && from != to && from->isViewLoaded()) from->view()->removeFromSuperview();
        if (onScreen) {
            if (from) from->endAppearanceTransition();
            to->endAppearanceTransition();
        }
        for (auto& c : leaving) c->removeFromParentViewController();
        if (self) self->transitioning_ = false;
    };
    transitioning_ = true;
    if (animated) {
        View::animate(kTransitionDuration, 0, animationCurveEaseInOut, [&] {
            toView->setFrame(frame);
            if (from && from->isViewLoaded()) from->view()->setFrame(frame.offsetBy(forward ? -width / 3 : width, 0));
        }, [finish](bool) { finish(); });
    } else {
        finish();
    }
}

} // namespace ui
