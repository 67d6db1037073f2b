#include "platform/ui/PinchGestureRecognizer.h"

#include <cmath>

namespace ui {

double PinchGestureRecognizer::distance() const {
    return touches_[0]->locationInWindow().distanceTo(touches_[1]->locationInWindow());
}

void PinchGestureRecognizer::setScale(double scale) {
    scale_ = scale;
    if (touches_.size() == 2 && scale > 0) startDistance_ = distance() / scale;
}

void PinchGestureRecognizer::touchesBegan(const TouchSet& touches) {
    if (state() != State::possible) return;
    for (const auto& t : touches)
        if (touches_.size() < 2) touches_.push_back(t);
    if (touches_.size() == 2) {
        startDistance_ = distance();
        scale_ = 1;
    }
}

void PinchGestureRecognizer::touchesMoved(const TouchSet&) {
    if (touches_.size() < 2 || startDistance_ <= 0) return;
    if (state() == State::failed || state() == State::cancelled || state() == State::ended) return;
    const double d = distance();
    if (state() == State::possible) {
        if (std::fabs(d - startDistance_) < kHysteresis) return;
        scale_ = d / startDistance_;
        setState(State::began);
    } else {
        scale_ = d / startDistance_;
        setState(State::changed);
    }
}

void PinchGestureRecognizer::touchesEnded(const TouchSet&) {
    if (state() == State::began || state() == State::changed) setState(State::ended);
    else if (state() == State::possible) setState(State::failed);
}

void PinchGestureRecognizer::reset() {
    GestureRecognizer::reset();
    startDistance_ = 0;
    scale_ = 1;
}

} // namespace ui
