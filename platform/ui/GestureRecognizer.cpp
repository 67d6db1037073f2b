#include "platform/ui/GestureRecognizer.h"

#include "platform/ca/MediaTime.h"
#include "platform/dispatch/Queue.h"
#include "platform/dispatch/Timer.h"
#include "platform/ui/LongPressGestureRecognizer.h"
#include "platform/ui/PanGestureRecognizer.h"
#include "platform/ui/ScreenEdgePanGestureRecognizer.h"
#include "platform/ui/TapGestureRecognizer.h"
#include "platform/ui/View.h"
#include "platform/ui/Window.h"

#include <algorithm>
#include <cmath>

namespace ui {

void GestureRecognizer::setEnabled(bool enabled) {
    enabled_ = enabled;
    if (!enabled && (state_ == State::began || state_ == State::changed)) setState(State::cancelled);
}

bool GestureRecognizer::shouldReceiveTouch(const std::shared_ptr<Touch>& touch) {
    auto d = delegate_.lock();
    return !d || d->shouldReceiveTouch(*this, touch);
}

bool GestureRecognizer::canRecognizeSimultaneouslyWith(GestureRecognizer& other) {
    if (auto d = delegate_.lock(); d && d->shouldRecognizeSimultaneously(*this, other)) return true;
    auto d = other.delegate_.lock();
    return d && d->shouldRecognizeSimultaneously(other, *this);
}

void GestureRecognizer::requireGestureRecognizerToFail(const std::shared_ptr<GestureRecognizer>& other) {
    requiredToFail_ = other;
    if (other) other->dependents_.push_back(weak_from_this());
}

gfx::Point GestureRecognizer::locationInView(const View* view) const {
    if (touches_.empty()) return view ? view->convertPointFromWindow(lastLocationInWindow_) : lastLocationInWindow_;
    gfx::Point sum;
    for (const auto& t : touches_) sum = sum + t->locationInView(view);
    return sum * (1.0 / touches_.size());
}

void GestureRecognizer::touchesCancelled(const TouchSet&) {
    if (state_ == State::began || state_ == State::changed) setState(State::cancelled);
    else if (state_ == State::possible) setState(State::failed);
}

void GestureRecognizer::reset() {
    state_ = State::possible;
    touches_.clear();
}

void GestureRecognizer::setState(State state) {
    if (enterState(state)) runActions();
}

bool GestureRecognizer::enterState(State state) {
    bool recognizes = state_ == State::possible && (state == State::began || state == State::ended);
    if (recognizes) {
        auto other = requiredToFail_.lock();
        if (other && other->state_ == State::possible && other->isTracking()) {
            waitingState_ = state;
            return false;
        }
    }
    if (state != State::possible) waitingState_.reset();
    state_ = state;
    if (recognizes || state == State::failed || state == State::cancelled) {
        auto dependents = dependents_;
        for (auto& weak : dependents)
            if (auto d = weak.lock()) d->requiredRecognizerDidFinish(state == State::failed || state == State::cancelled);
    }
    return state == State::began || state == State::changed || state == State::ended || state == State::cancelled;
}

void GestureRecognizer::runActions() {
    auto keep = shared_from_this();  // an action may drop the last other reference
    auto actions = actions_;
    for (auto& action : actions) action(*this);
}

void GestureRecognizer::requiredRecognizerDidFinish(bool failed) {
    if (!waitingState_) return;
    State held = *waitingState_;
    waitingState_.reset();
    if (state_ != State::possible) return;
    auto keep = shared_from_this();
    setState(failed ? held : State::failed);
    // The held gesture is over; a touch that came down meanwhile is a gesture of its own.
    if (state_ == State::ended || state_ == State::failed) {
        if (touches_.empty()) reset();
        else state_ = State::possible;
    }
}

// ---- Tap

void TapGestureRecognizer::touchesBegan(const TouchSet& touches) {
    if (state() != State::possible) return;
    touches_.insert(touches_.end(), touches.begin(), touches.end());
    if (touches_.size() > 1) return fail();
    gfx::Point p = touches_.front()->locationInWindow();
    if (tapCount_ > 0) {
        waitTimer_.reset();
        if (p.distanceTo(firstTap_) > kAllowableMovement) return fail();
    } else {
        firstTap_ = p;
    }
    start_ = p;
}

void TapGestureRecognizer::touchesMoved(const TouchSet&) {
    if (state() != State::possible || touches_.empty()) return;
    if (touches_.front()->locationInWindow().distanceTo(start_) > kAllowableMovement) fail();
}

void TapGestureRecognizer::touchesEnded(const TouchSet&) {
    if (state() != State::possible || touches_.empty()) return;
    if (touches_.front()->locationInWindow().distanceTo(start_) > kAllowableMovement) return fail();
    if (++tapCount_ >= numberOfTapsRequired_) return setState(recognized);
    // Wait for the next tap; without one in time the gesture fails.
    std::weak_ptr<GestureRecognizer> weak = weak_from_this();
    waitTimer_ = dispatch::Timer::start(dispatch::Queue::main(), kMaximumTapInterval, false, [weak] {
        auto self = std::static_pointer_cast<TapGestureRecognizer>(weak.lock());
        if (!self || self->state() != State::possible || !self->touches_.empty()) return;
        self->fail();
        self->reset();
    });
}

void TapGestureRecognizer::touchesCancelled(const TouchSet& touches) {
    waitTimer_.reset();
    tapCount_ = 0;
    GestureRecognizer::touchesCancelled(touches);
}

void TapGestureRecognizer::reset() {
    bool waiting = state() == State::possible && tapCount_ > 0 && tapCount_ < numberOfTapsRequired_;
    GestureRecognizer::reset();
    if (waiting) return;
    tapCount_ = 0;
    waitTimer_.reset();
}

void TapGestureRecognizer::fail() {
    waitTimer_.reset();
    tapCount_ = 0;
    setState(State::failed);
}

// ---- Long press

void LongPressGestureRecognizer::touchesBegan(const TouchSet& touches) {
    if (state() != State::possible || !touches_.empty()) return;
    touches_.insert(touches_.end(), touches.begin(), touches.end());
    start_ = touches_.front()->locationInWindow();
    std::weak_ptr<GestureRecognizer> weak = weak_from_this();
    timer_ = dispatch::Timer::start(dispatch::Queue::main(), minimumPressDuration_, false, [weak] {
        auto self = std::static_pointer_cast<LongPressGestureRecognizer>(weak.lock());
        if (!self || self->state() != State::possible || self->touches_.empty()) return;
        auto touch = self->touches_.front();
        if (!self->enterState(State::began)) return;
        // The window takes the touch first (the view hears touchesCancelled while the press
        // already reports began), then the actions run.
        if (auto window = touch->window()) window->recognizerDidBegin(*self, touch);
        if (self->state() == State::began) self->runActions();
    });
}

void LongPressGestureRecognizer::touchesMoved(const TouchSet&) {
    if (touches_.empty()) return;
    if (state() == State::possible) {
        if (touches_.front()->locationInWindow().distanceTo(start_) > allowableMovement_) {
            timer_.reset();
            setState(State::failed);
        }
    } else if (state() == State::began || state() == State::changed) {
        setState(State::changed);
    }
}

void LongPressGestureRecognizer::touchesEnded(const TouchSet&) {
    timer_.reset();
    if (state() == State::began || state() == State::changed) setState(State::ended);
    else if (state() == State::possible) setState(State::failed);
}

void LongPressGestureRecognizer::touchesCancelled(const TouchSet& touches) {
    timer_.reset();
    GestureRecognizer::touchesCancelled(touches);
}

void LongPressGestureRecognizer::reset() {
    timer_.reset();
    GestureRecognizer::reset();
}

// ---- Pan

gfx::Point PanGestureRecognizer::translationInView(const View* view) const {
    gfx::Point d = lastInWindow_ - startInWindow_;
    if (!view) return d;
    gfx::Point o = view->convertPointFromWindow({0, 0});
    return view->convertPointFromWindow(d) - o;
}

void PanGestureRecognizer::setTranslation(gfx::Point translation, const View* view) {
    gfx::Point inWindow = translation;
    if (view) inWindow = view->convertPointToWindow(translation) - view->convertPointToWindow({0, 0});
    startInWindow_ = lastInWindow_ - inWindow;
}

gfx::Point PanGestureRecognizer::velocityInView(const View* view) const {
    if (!view) return velocityInWindow_;
    gfx::Point o = view->convertPointFromWindow({0, 0});
    return view->convertPointFromWindow(velocityInWindow_) - o;
}

void PanGestureRecognizer::touchesBegan(const TouchSet& touches) {
    if (state() != State::possible || !touches_.empty()) return;
    touches_.insert(touches_.end(), touches.begin(), touches.end());
    startInWindow_ = lastInWindow_ = touches_.front()->locationInWindow();
    lastTime_ = ca::currentMediaTime();
    velocityInWindow_ = {};
}

void PanGestureRecognizer::touchesMoved(const TouchSet&) {
    if (touches_.empty() || state() == State::failed || state() == State::cancelled) return;
    moveTo(touches_.front()->locationInWindow());
}

void PanGestureRecognizer::scrollSwipeBy(gfx::Point delta) {
    if (state() == State::failed || state() == State::cancelled || state() == State::ended) return;
    if (!scrolling_) {
        scrolling_ = true;
        startInWindow_ = lastInWindow_ = {};
        lastTime_ = ca::currentMediaTime();
        velocityInWindow_ = {};
    }
    moveTo(lastInWindow_ + delta);
}

void PanGestureRecognizer::scrollSwipeEnded() {
    if (!scrolling_) return;
    if (state() == State::began || state() == State::changed) setState(State::ended);
    else if (state() == State::possible) setState(State::failed);
}

void PanGestureRecognizer::moveTo(gfx::Point p) {
    double now = ca::currentMediaTime();
    if (now > lastTime_) velocityInWindow_ = (p - lastInWindow_) * (1 / (now - lastTime_));
    lastTime_ = now;
    lastInWindow_ = p;
    if (state() == State::possible) {
        if (p.distanceTo(startInWindow_) >= kHysteresis) setState(State::began);
    } else {
        setState(State::changed);
    }
}

void PanGestureRecognizer::touchesEnded(const TouchSet&) {
    if (state() == State::began || state() == State::changed) setState(State::ended);
    else if (state() == State::possible) setState(State::failed);
}

// ---- Screen edge pan

void ScreenEdgePanGestureRecognizer::touchesBegan(const TouchSet& touches) {
    if (state() != State::possible || !touches_.empty() || touches.empty()) return;
    auto v = view();
    const gfx::Point at = touches.front()->locationInView(v.get());
    if (!v || at.x < v->bounds().minX() || at.x > v->bounds().minX() + kEdgeWidth) {
        setState(State::failed);
        return;
    }
    PanGestureRecognizer::touchesBegan(touches);
}

void ScreenEdgePanGestureRecognizer::touchesMoved(const TouchSet& touches) {
    if (state() == State::possible && !touches_.empty()) {
        const gfx::Point d = touches_.front()->locationInWindow() - touches_.front()->previousLocationInWindow();
        const gfx::Point sinceDown = translationInView(nullptr) + d;
        if (sinceDown.distanceTo({0, 0}) >= kHysteresis && (sinceDown.x <= 0 || std::fabs(sinceDown.y) > sinceDown.x)) {
            setState(State::failed);
            return;
        }
    }
    PanGestureRecognizer::touchesMoved(touches);
}

void ScreenEdgePanGestureRecognizer::scrollSwipeBy(gfx::Point delta) {
    // Until it begins, a step to the left is not a swipe back.
    if (state() == State::possible && delta.x < 0) {
        setState(State::failed);
        return;
    }
    PanGestureRecognizer::scrollSwipeBy(delta);
}

void PanGestureRecognizer::reset() {
    GestureRecognizer::reset();
    velocityInWindow_ = {};
    scrolling_ = false;
}

} // namespace ui
