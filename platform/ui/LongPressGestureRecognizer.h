#pragma once
// A long press: a touch held for 0.5 s (on the process clock) without moving more than 10
// points begins the gesture; every move afterwards changes it and the lift ends it. Moving
// further, or lifting, before the time fails it.
//
// The gesture begins from a timer, outside any touch event: the window first takes the touch
// from the view (touchesCancelled, while the press already reports began) and fails the other
// recognizers of the touch, then the actions run. A view that needs in its long-press action what
// its touchesBegan set up keeps it when cancelled by its own began press.

#include "platform/ui/GestureRecognizer.h"

namespace dispatch {
class Timer;
}

namespace ui {

class LongPressGestureRecognizer : public GestureRecognizer {
public:
    static constexpr double kMinimumPressDuration = 0.5;
    static constexpr double kAllowableMovement = 10;

    double minimumPressDuration() const { return minimumPressDuration_; }
    void setMinimumPressDuration(double seconds) { minimumPressDuration_ = seconds; }
    double allowableMovement() const { return allowableMovement_; }
    void setAllowableMovement(double points) { allowableMovement_ = points; }

    void touchesBegan(const TouchSet& touches) override;
    void touchesMoved(const TouchSet& touches) override;
    void touchesEnded(const TouchSet& touches) override;
    void touchesCancelled(const TouchSet& touches) override;
    void reset() override;

private:
    gfx::Point start_;
    double minimumPressDuration_ = kMinimumPressDuration;
    double allowableMovement_ = kAllowableMovement;
    std::shared_ptr<dispatch::Timer> timer_;
};

} // namespace ui
