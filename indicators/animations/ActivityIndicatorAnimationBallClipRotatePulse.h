#pragma once
// A dot that pulses (scale 1, 0.3, 1) inside a two-arc ring that turns and breathes, once a second.
#include "indicators/ActivityIndicatorAnimationDelegate.h"

namespace indicators {

class ActivityIndicatorAnimationBallClipRotatePulse final : public ActivityIndicatorAnimationDelegate {
public:
    void buildAnimation(ca::Layer& layer, gfx::Size size, const gfx::Color& color) override;
};

} // namespace indicators
