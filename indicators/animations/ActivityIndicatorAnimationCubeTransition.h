#pragma once
// Two small squares that travel around the corners of the area, diagonally opposite each other,
// shrinking at two corners and turning a quarter per side (1.6 s per round).
#include "indicators/ActivityIndicatorAnimationDelegate.h"

namespace indicators {

class ActivityIndicatorAnimationCubeTransition final : public ActivityIndicatorAnimationDelegate {
public:
    void buildAnimation(ca::Layer& layer, gfx::Size size, const gfx::Color& color) override;
};

} // namespace indicators
