#include "indicators/animations/ActivityIndicatorAnimationBallClipRotatePulse.h"

#include "indicators/ActivityIndicatorShape.h"
#include "indicators/animations/AnimationTerms.h"
#include "indicators/animations/RotationParts.h"

namespace indicators {

void ActivityIndicatorAnimationBallClipRotatePulse::buildAnimation(ca::Layer& layer, gfx::Size size,
                                                                   const gfx::Color& color) {
    using terms::pi;
    const double w = size.width, h = size.height;
    const double bw = layer.bounds().width(), bh = layer.bounds().height();
    auto t = ca::MediaTimingFunction::controlPoints(0.09, 0.57, 0.49, 0.9);

    auto pulse = rotation::keyframes("transform.scale", {0, 0.3, 1}, {1, 0.3, 1}, {t, t}, 1);
    pulse->repeatCount = terms::forever;
    pulse->removedOnCompletion = false;
    auto dot = shapeLayer(ActivityIndicatorShape::circle, {w / 2, w / 2}, color);
    dot->setFrame(terms::centred(bw, bh, w / 2, w / 2));
    dot->addAnimation(pulse, "animation");
    layer.addSublayer(dot);

    auto ring = shapeLayer(ActivityIndicatorShape::ringTwoHalfVertical, size, color);
    ring->setFrame(terms::centred(bw, bh, w, h));
    ring->addAnimation(rotation::scaleAndTurn({0, pi, 2 * pi}, t, 1), "animation");
    layer.addSublayer(ring);
}

} // namespace indicators
