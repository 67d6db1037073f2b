#pragma once
// Discs and rings that grow out of the centre while fading (ballScale, ballScaleMultiple,
// ballScaleRipple, ballScaleRippleMultiple), and the default indicator, a fading, shrinking wave
// around a circle of eight dots (ballSpinFadeLoader).
#include "indicators/ActivityIndicatorAnimationDelegate.h"

namespace indicators {

// One disc growing from nothing while it fades out, every second.
class ActivityIndicatorAnimationBallScale final : public ActivityIndicatorAnimationDelegate {
public:
    void buildAnimation(ca::Layer& layer, gfx::Size size, const gfx::Color& color) override;
};

// Three such discs 0.2 s apart; each stays invisible until it starts.
class ActivityIndicatorAnimationBallScaleMultiple final : public ActivityIndicatorAnimationDelegate {
public:
    void buildAnimation(ca::Layer& layer, gfx::Size size, const gfx::Color& color) override;
};

// One ring growing from 0.1 to full size by 70 % of the second, fading out meanwhile.
class ActivityIndicatorAnimationBallScaleRipple final : public ActivityIndicatorAnimationDelegate {
public:
    void buildAnimation(ca::Layer& layer, gfx::Size size, const gfx::Color& color) override;
};

// Three rings growing from 0, 0.2 s apart over 1.25 s; a ring shows whole until it starts.
class ActivityIndicatorAnimationBallScaleRippleMultiple final : public ActivityIndicatorAnimationDelegate {
public:
    void buildAnimation(ca::Layer& layer, gfx::Size size, const gfx::Color& color) override;
};

// Eight dots on a circle, each shrinking and fading 0.12 s after the one before it, clockwise
// from the right.
class ActivityIndicatorAnimationBallSpinFadeLoader final : public ActivityIndicatorAnimationDelegate {
public:
    void buildAnimation(ca::Layer& layer, gfx::Size size, const gfx::Color& color) override;
};

} // namespace indicators
