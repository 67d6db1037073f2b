#pragma once
// Two fingers moving apart or together. It begins once two touches are down and the distance
// between them has changed by 3 points, changes with every move after that and ends when either
// finger lifts. The scale is the current distance over the distance when the second finger came
// down; locationInView is the centre between the fingers.

#include "platform/ui/GestureRecognizer.h"

namespace ui {

class PinchGestureRecognizer : public GestureRecognizer {
public:
    static constexpr double kHysteresis = 3;

    double scale() const { return scale_; }
    // Makes the current distance count as `scale` from here on (1 for incremental use).
    void setScale(double scale);

    void touchesBegan(const TouchSet& touches) override;
    void touchesMoved(const TouchSet& touches) override;
    void touchesEnded(const TouchSet& touches) override;
    void reset() override;

private:
    double distance() const;
    double startDistance_ = 0;
    double scale_ = 1;
};

} // namespace ui
