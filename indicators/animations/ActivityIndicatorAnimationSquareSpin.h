#pragma once
// A square that flips in perspective over its horizontal, then its vertical axis, and back (3 s).
#include "indicators/ActivityIndicatorAnimationDelegate.h"

namespace indicators {

class ActivityIndicatorAnimationSquareSpin final : public ActivityIndicatorAnimationDelegate {
public:
    void buildAnimation(ca::Layer& layer, gfx::Size size, const gfx::Color& color) override;
};

} // namespace indicators
