#include "platform/ui/GestureRecognizer.h"

#include "platform/ca/MediaTime.h"
#include "platform/ui/PanGestureRecognizer.h"
#include "platform/ui/TapGestureRecognizer.h"
#include "platform/ui/View.h"

#include <algorithm>

namespace ui {

void GestureRecognizer::setEnabled(bool enabled) {
    enabled_ = enabled;
    if (!enabled && (state_ == State::began || state_ == State::changed)) setState(State::cancelled);
}

gfx::Point GestureRecognizer::locationInView(const View* view) const {
    if (touches_.empty()) return {};
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
    state_ = state;
    if (state == State::began || state == State::changed || state == State::ended || state == State::cancelled) {
        auto keep = shared_from_this();  // an action may drop the last other reference
        auto actions = actions_;
        for (auto& action : actions) action(*this);
    }
}

// ---- Tap

void TapGestureRecognizer::touchesBegan(const TouchSet& touches) {
    if (state() != State::possible) return;
    touches_.insert(touches_.end(), touches.begin(), touches.end());
    if (touches_.size() > 1) return setState(State::failed);
    start_ = touches_.front()->locationInWindow();
}

void TapGestureRecognizer::touchesMoved(const TouchSet&) {
    if (state() != State::possible || touches_.empty()) return;
    if (touches_.front()->locationInWindow().distanceTo(start_) > kAllowableMovement) setState(State::failed);
}

void TapGestureRecognizer::touchesEnded(const TouchSet&) {
    if (state() != State::possible || touches_.empty()) return;
    if (touches_.front()->locationInWindow().distanceTo(start_) > kAllowableMovement) return setState(State::failed);
    setState(recognized);
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
    gfx::Point p = touches_.front()->locationInWindow();
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

void PanGestureRecognizer::reset() {
    GestureRecognizer::reset();
    velocityInWindow_ = {};
}

} // namespace ui
