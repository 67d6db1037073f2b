#pragma once
// Five dots that chase each other once around a circle every 1.5 s; each dot has its own pace and
// scale, and all of them meet at the top when a cycle ends.
#include "indicators/ActivityIndicatorAnimationDelegate.h"

namespace indicators {

class ActivityIndicatorAnimationBallRotateChase final : public ActivityIndicatorAnimationDelegate {
public:
    void buildAnimation(ca::Layer& layer, gfx::Size size, const gfx::Color& color) override;
};

} // namespace indicators
