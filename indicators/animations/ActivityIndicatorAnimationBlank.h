#pragma once
// The empty indicator: it adds nothing, so the view shows only its background.
#include "indicators/ActivityIndicatorAnimationDelegate.h"

namespace indicators {

class ActivityIndicatorAnimationBlank final : public ActivityIndicatorAnimationDelegate {
public:
    void buildAnimation(ca::Layer& layer, gfx::Size size, const gfx::Color& color) override;
};

} // namespace indicators
