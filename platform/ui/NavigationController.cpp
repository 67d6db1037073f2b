#include "platform/ui/NavigationController.h"

#include "platform/dispatch/Queue.h"
#include "platform/ui/NavigationItem.h"
#include "platform/ui/Screen.h"

#include <algorithm>

namespace ui {

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
