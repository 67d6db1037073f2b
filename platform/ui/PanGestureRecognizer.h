#pragma once
// A drag: it begins once the touch has moved 10 points from where it came down, changes with
// every move and ends when the touch lifts. The translation counts from the touch-down point;
// the velocity is measured over the last move on the process clock.

#include "platform/ui/GestureRecognizer.h"

namespace ui {

class PanGestureRecognizer : public GestureRecognizer {
public:
    static constexpr double kHysteresis = 10;

    // In the bounds space of `view` (the window's when null).
    gfx::Point translationInView(const View* view) const;
    void setTranslation(gfx::Point translation, const View* view);
    // Points per second.
    gfx::Point velocityInView(const View* view) const;

    // Driven by a touchpad's scroll instead of a touch (see Window::scrollSwipe): the gesture
    // moves by `delta` window points, beginning and changing as a touch's moves would, and ends
    // with scrollSwipeEnded.
    virtual void scrollSwipeBy(gfx::Point delta);
    void scrollSwipeEnded();

    void touchesBegan(const TouchSet& touches) override;
    void touchesMoved(const TouchSet& touches) override;
    void touchesEnded(const TouchSet& touches) override;
    void reset() override;

protected:
    // Moves the gesture to `p` (window points): its velocity, then began or changed.
    void moveTo(gfx::Point p);

private:
    gfx::Point startInWindow_;
    gfx::Point lastInWindow_;
    gfx::Point velocityInWindow_;
    double lastTime_ = 0;
    bool scrolling_ = false;  // driven by scrollSwipeBy since its last reset
};

} // namespace ui
