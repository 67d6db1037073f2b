#pragma once
// Dots that pulse, bounce, rise or fade in a rhythm: rows of three (ballPulse, ballPulseSync,
// ballBeat), a row of five (ballPulseRise) and three-by-three grids (ballGridPulse,
// ballGridBeat). Dots stand 2 points apart, so a row or grid spans the whole width.
#include "indicators/ActivityIndicatorAnimationDelegate.h"

namespace indicators {

// Three dots that shrink to 0.3 and grow back, 0.12 s apart, every 0.75 s.
class ActivityIndicatorAnimationBallPulse final : public ActivityIndicatorAnimationDelegate {
public:
    void buildAnimation(ca::Layer& layer, gfx::Size size, const gfx::Color& color) override;
};

// Three dots that bob down and up by a quarter of the free height, 0.07 s apart, every 0.6 s.
class ActivityIndicatorAnimationBallPulseSync final : public ActivityIndicatorAnimationDelegate {
public:
    void buildAnimation(ca::Layer& layer, gfx::Size size, const gfx::Color& color) override;
};

// Three dots that shrink and fade; the outer two beat half a cycle after the middle one.
class ActivityIndicatorAnimationBallBeat final : public ActivityIndicatorAnimationDelegate {
public:
    void buildAnimation(ca::Layer& layer, gfx::Size size, const gfx::Color& color) override;
};

// Five dots that rise and fall by half the height, neighbours in opposite phase, all at once.
class ActivityIndicatorAnimationBallPulseRise final : public ActivityIndicatorAnimationDelegate {
public:
    void buildAnimation(ca::Layer& layer, gfx::Size size, const gfx::Color& color) override;
};

// Nine dots that shrink and fade, each with its own duration and start.
class ActivityIndicatorAnimationBallGridPulse final : public ActivityIndicatorAnimationDelegate {
public:
    void buildAnimation(ca::Layer& layer, gfx::Size size, const gfx::Color& color) override;
};

// Nine dots that fade, each with its own duration and start.
class ActivityIndicatorAnimationBallGridBeat final : public ActivityIndicatorAnimationDelegate {
public:
    void buildAnimation(ca::Layer& layer, gfx::Size size, const gfx::Color& color) override;
};

} // namespace indicators
