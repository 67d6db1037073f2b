#pragma once
// A circle whose stroke grows from the top, then lets its tail chase the head, while the whole
// circle turns: one cycle every 1.7 s, repeated for ever.
#include "indicators/ActivityIndicatorAnimationDelegate.h"

namespace indicators {

class ActivityIndicatorAnimationCircleStrokeSpin final : public ActivityIndicatorAnimationDelegate {
public:
    void buildAnimation(ca::Layer& layer, gfx::Size size, const gfx::Color& color) override;
};

} // namespace indicators
