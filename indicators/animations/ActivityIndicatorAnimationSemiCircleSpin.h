#pragma once
// A filled circle segment that turns once every 0.6 s.
#include "indicators/ActivityIndicatorAnimationDelegate.h"

namespace indicators {

class ActivityIndicatorAnimationSemiCircleSpin final : public ActivityIndicatorAnimationDelegate {
public:
    void buildAnimation(ca::Layer& layer, gfx::Size size, const gfx::Color& color) override;
};

} // namespace indicators
