#include "platform/ui/ScrollView.h"

#include "platform/ca/MediaTime.h"
#include "platform/dispatch/Queue.h"
#include "platform/ui/Screen.h"
#include "platform/ui/Window.h"

#include <algorithm>
#include <cmath>

namespace ui {
namespace {

// Per second, the share of the velocity kept is 0.998^1000: the content glides for about a second
// after a quick flick.
const double kDecelerationPerSecond = -1000 * std::log(0.998);
// The spring that brings the content back to an edge: critically damped, so it never swings past
// the edge, and settled to half a point in about 0.4 s.
constexpr double kSpringOmega = 15;
constexpr double kFrameInterval = 1.0 / 60;
constexpr double kRestVelocity = 5;       // points per second below which gliding stops
constexpr double kAnimatedScrollDuration = 0.3;

// The scroll view's own pan recognizer; it also reports the touch coming down and lifting, which
// a plain pan does not, so that a touch stops a gliding scroll view at once.
class ScrollPanGestureRecognizer final : public PanGestureRecognizer {
public:
    std::function<void(bool down)> onTouch;
    std::function<bool(const TouchSet&)> refuses;  // touches the scroll view may not take
    std::function<bool()> yieldsToPinch;           // a second finger ends a drag that has not begun
    void touchesBegan(const TouchSet& touches) override {
        if (!touches_.empty()) {
            if (state() == State::possible && yieldsToPinch && yieldsToPinch()) setState(State::failed);
            return;
        }
        if (refuses && refuses(touches)) return setState(State::failed);
        PanGestureRecognizer::touchesBegan(touches);
        if (onTouch) onTouch(true);
    }
    void touchesEnded(const TouchSet& touches) override {
        PanGestureRecognizer::touchesEnded(touches);
        if (onTouch) onTouch(false);
    }
    void touchesCancelled(const TouchSet& touches) override {
        PanGestureRecognizer::touchesCancelled(touches);
        if (onTouch) onTouch(false);
    }
};

} // namespace

void ScrollView::init() {
    View::init();
    setClipsToBounds(true);
    auto pan = std::make_shared<ScrollPanGestureRecognizer>();
    std::weak_ptr<ScrollView> weak = std::static_pointer_cast<ScrollView>(shared_from_this());
    pan->onTouch = [weak](bool down) {
        auto self = weak.lock();
        if (!self) return;
        if (down) {
            self->tracking_ = true;
            self->stopAnimating();
            self->showScrollIndicators();
        } else if (!self->dragging_) {
            self->tracking_ = false;
            self->fadeScrollIndicatorsLater();
        }
    };
    pan->refuses = [weak](const TouchSet& touches) {
        auto self = weak.lock();
        if (!self || self->canCancelContentTouches_) return false;
        for (const auto& t : touches)
            if (auto v = t->view(); v && v.get() != self.get()) return true;
        return false;
    };
    pan->addAction([weak](GestureRecognizer& r) {
        if (auto self = weak.lock()) self->handlePan(static_cast<PanGestureRecognizer&>(r));
    });
    pan->yieldsToPinch = [weak] {
        auto self = weak.lock();
        return self && self->canZoom();
    };
    pan_ = pan;
    addGestureRecognizer(pan_);
    setUpZooming();
    setUpScrollIndicators();
}

ScrollView::~ScrollView() {
    if (timer_) timer_->cancel();
    if (indicatorFade_) indicatorFade_->cancel();
}

// ---- Geometry

gfx::EdgeInsets ScrollView::adjustedContentInset() const {
    gfx::EdgeInsets inset = contentInset_;
    if (adjustment_ == ContentInsetAdjustmentBehavior::never) return inset;
    const View* parent = superviewPointer();
    const View* win = windowView();
    if (!parent || !win) return inset;
    // The window's safe area: the status bar at the top, the device's own insets elsewhere.
    const DeviceProfile& profile = Screen::main().profile();
    double safeTop = std::max(profile.statusBarHeight, profile.safeAreaInsets.top);
    double safeBottom = profile.safeAreaInsets.bottom;
    gfx::Rect inWindow = parent->convertRect(frame(), nullptr);
    gfx::Rect windowBounds = win->bounds();
    double top = std::clamp(safeTop - inWindow.minY(), 0.0, std::max(0.0, inWindow.height()));
    double bottom = std::clamp(inWindow.maxY() - (windowBounds.maxY() - safeBottom), 0.0, std::max(0.0, inWindow.height()));
    inset.top += top;
    inset.bottom += bottom;
    return inset;
}

gfx::Point ScrollView::minimumContentOffset() const { return minimumContentOffset(adjustedContentInset()); }

gfx::Point ScrollView::maximumContentOffset() const { return maximumContentOffset(adjustedContentInset()); }

gfx::Point ScrollView::minimumContentOffset(const gfx::EdgeInsets& in) { return {-in.left, -in.top}; }

gfx::Point ScrollView::maximumContentOffset(const gfx::EdgeInsets& in) const {
    gfx::Size size = bounds().size;
    return {std::max(-in.left, contentSize_.width + in.right - size.width),
            std::max(-in.top, contentSize_.height + in.bottom - size.height)};
}

bool ScrollView::canScrollVertically() const {
    gfx::EdgeInsets in = adjustedContentInset();
    return alwaysBounceVertical_ || contentSize_.height + in.top + in.bottom > bounds().height();
}

bool ScrollView::canScrollHorizontally() const {
    gfx::EdgeInsets in = adjustedContentInset();
    return alwaysBounceHorizontal_ || contentSize_.width + in.left + in.right > bounds().width();
}

void ScrollView::setContentOffset(gfx::Point offset, bool animated) {
    stopAnimating();
    gfx::Rect b = bounds();
    gfx::Point old = b.origin;
    b.origin = offset;
    if (animated) {
        View::animate(kAnimatedScrollDuration, 0, animationCurveEaseInOut, [&] { View::setBounds(b); });
    } else {
        View::setBounds(b);
    }
    offsetObservers_.notify(old, offset);
    if (auto d = delegate()) d->scrollViewDidScroll(*this);
    contentOffsetDidChange();
    setNeedsLayout();
    layoutScrollIndicators();
}

void ScrollView::setOffsetFromScrolling(gfx::Point offset) {
    gfx::Rect b = bounds();
    gfx::Point old = b.origin;
    if (old == offset) return;
    b.origin = offset;
    View::setBounds(b);
    showScrollIndicators();
    offsetObservers_.notify(old, offset);
    if (auto d = delegate()) d->scrollViewDidScroll(*this);
    contentOffsetDidChange();
    setNeedsLayout();
    layoutScrollIndicators();
}

void ScrollView::setBounds(const gfx::Rect& b) {
    gfx::Point old = bounds().origin;
    View::setBounds(b);
    if (old != b.origin) {
        offsetObservers_.notify(old, b.origin);
        if (auto d = delegate()) d->scrollViewDidScroll(*this);
        contentOffsetDidChange();
        setNeedsLayout();
    }
    layoutScrollIndicators();
}

void ScrollView::setContentSize(gfx::Size size) {
    gfx::Size old = contentSize_;
    contentSize_ = size;
    sizeObservers_.notify(old, size);
    setNeedsLayout();
    layoutScrollIndicators();
}

void ScrollView::setContentInset(gfx::EdgeInsets inset) {
    gfx::EdgeInsets oldAdjusted = adjustedContentInset();
    contentInset_ = inset;
    clampAfterInsetChange(oldAdjusted);
    setNeedsLayout();
}

void ScrollView::setContentInsetAdjustmentBehavior(ContentInsetAdjustmentBehavior behavior) {
    gfx::EdgeInsets oldAdjusted = adjustedContentInset();
    adjustment_ = behavior;
    clampAfterInsetChange(oldAdjusted);
}

void ScrollView::clampAfterInsetChange(const gfx::EdgeInsets& oldAdjusted) {
    // Only a shrinking inset moves the content: the offset that the old inset allowed may now lie
    // beyond the range, and a resting scroll view never shows content beyond its range. A finger
    // that drags keeps the content where it is.
    if (dragging_) return;
    gfx::EdgeInsets now = adjustedContentInset();
    bool shrank = now.top < oldAdjusted.top || now.bottom < oldAdjusted.bottom || now.left < oldAdjusted.left ||
                  now.right < oldAdjusted.right;
    if (!shrank) return;
    gfx::Point lo = minimumContentOffset(now), hi = maximumContentOffset(now), offset = contentOffset(), to = offset;
    if (now.top < oldAdjusted.top && to.y < lo.y) to.y = lo.y;
    if (now.bottom < oldAdjusted.bottom && to.y > hi.y) to.y = hi.y;
    if (now.left < oldAdjusted.left && to.x < lo.x) to.x = lo.x;
    if (now.right < oldAdjusted.right && to.x > hi.x) to.x = hi.x;
    if (to != offset) setContentOffset(to);
}

void ScrollView::setScrollEnabled(bool enabled) {
    scrollEnabled_ = enabled;
    pan_->setEnabled(enabled);
    if (!enabled) stopAnimating();
}

// ---- Dragging

void ScrollView::handlePan(PanGestureRecognizer& pan) {
    using State = GestureRecognizer::State;
    State state = pan.state();
    State old = lastPanState_;
    lastPanState_ = state;
    if (state == State::began) {
        dragging_ = true;
        tracking_ = true;
        stopAnimating();
        // The content follows the finger from where it came down, so the first 10 points that
        // the gesture needed to begin are not lost.
        dragStartOffset_ = contentOffset();
        if (auto d = delegate()) d->scrollViewWillBeginDragging(*this);
    }
    panObservers_.notify(old, state);
    if (state == State::began || state == State::changed) {
        gfx::Point t = pan.translationInView(this);
        gfx::Point lo = minimumContentOffset(), hi = maximumContentOffset();
        auto follow = [&](double start, double translation, double min, double max) {
            double raw = start - translation;
            if (raw < min) return bounces_ ? min - (min - raw) * kRubberBandFactor : min;
            if (raw > max) return bounces_ ? max + (raw - max) * kRubberBandFactor : max;
            return raw;
        };
        gfx::Point offset = contentOffset();
        if (canScrollVertically()) offset.y = follow(dragStartOffset_.y, t.y, lo.y, hi.y);
        if (canScrollHorizontally()) offset.x = follow(dragStartOffset_.x, t.x, lo.x, hi.x);
        setOffsetFromScrolling(offset);
    } else if (state == State::ended || state == State::cancelled) {
        dragging_ = false;
        tracking_ = false;
        gfx::Point v = pan.velocityInView(this);
        gfx::Point velocity{canScrollHorizontally() ? -v.x : 0, canScrollVertically() ? -v.y : 0};
        // Beyond an edge the content moved at the rubber band's rate, not the finger's.
        gfx::Point lo = minimumContentOffset(), hi = maximumContentOffset(), p = contentOffset();
        if (p.x < lo.x || p.x > hi.x) velocity.x *= kRubberBandFactor;
        if (p.y < lo.y || p.y > hi.y) velocity.y *= kRubberBandFactor;
        if (state == State::cancelled) velocity = {};
        startAnimating(velocity);
        if (auto d = delegate()) d->scrollViewDidEndDragging(*this, animating_);
        if (!animating_) {
            fadeScrollIndicatorsLater();
            if (auto d = delegate()) d->scrollViewDidEndDecelerating(*this);
        }
    }
}

// ---- Gliding and springing back

void ScrollView::startAnimating(gfx::Point velocity) {
    velocity_ = velocity;
    gfx::Point lo = minimumContentOffset(), hi = maximumContentOffset(), p = contentOffset();
    bool outside = p.x < lo.x || p.x > hi.x || p.y < lo.y || p.y > hi.y;
    if (!outside && std::hypot(velocity.x, velocity.y) < kRestVelocity) return;
    animating_ = true;
    lastStepTime_ = ca::currentMediaTime();
    if (!timer_) {
        std::weak_ptr<ScrollView> weak = std::static_pointer_cast<ScrollView>(shared_from_this());
        timer_ = dispatch::Timer::start(dispatch::Queue::main(), kFrameInterval, true, [weak] {
            if (auto self = weak.lock()) self->step();
        });
    }
}

void ScrollView::stopAnimating() {
    animating_ = false;
    velocity_ = {};
    if (timer_) {
        timer_->cancel();
        timer_.reset();
    }
}

void ScrollView::step() {
    if (!animating_) return;
    double now = ca::currentMediaTime();
    double dt = std::max(0.0, now - lastStepTime_);
    lastStepTime_ = now;
    gfx::Point lo = minimumContentOffset(), hi = maximumContentOffset();
    gfx::Point p = contentOffset();
    bool resting = true;

    auto axis = [&](double& pos, double& vel, double min, double max) {
        if (pos < min || pos > max) {
            // Beyond an edge: a critically damped spring towards it, x(t) = (x0 + (v0 + wx0) t) e^-wt.
            double edge = pos < min ? min : max;
            double x = pos - edge;
            double e = std::exp(-kSpringOmega * dt);
            double x1 = (x + (vel + kSpringOmega * x) * dt) * e;
            double v1 = (vel - kSpringOmega * (vel + kSpringOmega * x) * dt) * e;
            if ((x1 > 0) != (x > 0) || (std::fabs(x1) < 0.5 && std::fabs(v1) < 20)) {
                pos = edge;
                vel = 0;
                return;
            }
            pos = edge + x1;
            vel = v1;
            resting = false;
            return;
        }
        if (vel == 0) return;
        double e = std::exp(-kDecelerationPerSecond * dt);
        double next = pos + vel / kDecelerationPerSecond * (1 - e);
        vel *= e;
        if (!bounces_ && (next < min || next > max)) {
            next = std::clamp(next, min, max);
            vel = 0;
        }
        pos = next;
        if (std::fabs(vel) < kRestVelocity && pos >= min && pos <= max) vel = 0;
        else resting = false;
    };
    axis(p.x, velocity_.x, lo.x, hi.x);
    axis(p.y, velocity_.y, lo.y, hi.y);
    setOffsetFromScrolling(p);
    if (resting) {
        stopAnimating();
        fadeScrollIndicatorsLater();
        if (auto d = delegate()) d->scrollViewDidEndDecelerating(*this);
    }
}

// ---- Wheel

bool ScrollView::scrollByWheel(gfx::Point delta) {
    if (!scrollEnabled_ || dragging_) return false;
    gfx::Point lo = minimumContentOffset(), hi = maximumContentOffset(), p = contentOffset(), to = p;
    auto move = [](double pos, double d, double min, double max) {
        if (d > 0) return std::max(pos, std::min(pos + d, max));
        if (d < 0) return std::min(pos, std::max(pos + d, min));
        return pos;
    };
    if (canScrollVertically()) to.y = move(p.y, delta.y, lo.y, hi.y);
    if (canScrollHorizontally()) to.x = move(p.x, delta.x, lo.x, hi.x);
    if (to == p) return false;
    stopAnimating();
    setOffsetFromScrolling(to);
    fadeScrollIndicatorsLater();
    return true;
}

std::shared_ptr<ScrollView> ScrollView::wheelTargetAt(View& root, gfx::Point windowPoint, gfx::Point delta) {
    root.layoutIfNeeded();
    for (auto v = root.hitTest(root.convertPointFromWindow(windowPoint)); v; v = v->superview()) {
        auto scroll = std::dynamic_pointer_cast<ScrollView>(v);
        if (!scroll || !scroll->isScrollEnabled()) continue;
        gfx::Point lo = scroll->minimumContentOffset(), hi = scroll->maximumContentOffset(), p = scroll->contentOffset();
        bool canY = scroll->canScrollVertically() && ((delta.y > 0 && p.y < hi.y) || (delta.y < 0 && p.y > lo.y));
        bool canX = scroll->canScrollHorizontally() && ((delta.x > 0 && p.x < hi.x) || (delta.x < 0 && p.x > lo.x));
        if (canX || canY) return scroll;
    }
    return nullptr;
}

// ---- Reload hook and associated values

void ScrollView::executeReloadDataBlock() {
    if (reloadDataBlock_) {
        auto block = reloadDataBlock_;  // the block may replace itself
        block(totalDataCount());
    }
}


void ScrollView::didMoveToWindow() { setNeedsLayout(); }

} // namespace ui
