#pragma once
// Shapes that move along paths: two dots zig-zagging through the centre (ballZigZag, and
// ballZigZagDeflect, which runs forwards and back), three rings chasing each other round a
// triangle (ballTrianglePath), a pacman eating a dot (pacman) and a pulsing core with a circling
// satellite (orbit).
#include "indicators/ActivityIndicatorAnimationDelegate.h"

namespace indicators {

// Two dots from the centre to the corners of their half and back, every 0.7 s.
class ActivityIndicatorAnimationBallZigZag final : public ActivityIndicatorAnimationDelegate {
public:
    void buildAnimation(ca::Layer& layer, gfx::Size size, const gfx::Color& color) override;
};

// The same path in 0.75 s, run forwards and then backwards.
class ActivityIndicatorAnimationBallZigZagDeflect final : public ActivityIndicatorAnimationDelegate {
public:
    void buildAnimation(ca::Layer& layer, gfx::Size size, const gfx::Color& color) override;
};

// Three rings visiting the corners of a triangle clockwise, every 2 s.
class ActivityIndicatorAnimationBallTrianglePath final : public ActivityIndicatorAnimationDelegate {
public:
    void buildAnimation(ca::Layer& layer, gfx::Size size, const gfx::Color& color) override;
};

// A mouth opening and shutting twice a second at a dot sliding towards it.
class ActivityIndicatorAnimationPacman final : public ActivityIndicatorAnimationDelegate {
public:
    void buildAnimation(ca::Layer& layer, gfx::Size size, const gfx::Color& color) override;
};

// A core that swells, two rings pulsing out of it and a satellite circling it once per 1.9 s.
// The build stores the core's and the satellite's sizes.
class ActivityIndicatorAnimationOrbit final : public ActivityIndicatorAnimationDelegate {
public:
    void buildAnimation(ca::Layer& layer, gfx::Size size, const gfx::Color& color) override;

    double duration = 1.9;
    double satelliteCoreRatio = 0.25;
    double distanceRatio = 1.5;
    double coreSize = 0;
    double satelliteSize = 0;
};

} // namespace indicators
