#include "indicators/animations/ActivityIndicatorAnimationBallClipRotate.h"

#include "indicators/ActivityIndicatorShape.h"
#include "indicators/animations/AnimationTerms.h"
#include "indicators/animations/RotationParts.h"

namespace indicators {

void ActivityIndicatorAnimationBallClipRotate::buildAnimation(ca::Layer& layer, gfx::Size size, const gfx::Color& color) {
    using terms::pi;
    // The children take the group's duration and pace.
    auto group = rotation::scaleAndTurn({0, pi, 2 * pi}, std::nullopt, 0.75);
    group->timingFunction = ca::MediaTimingFunction::linear();
    auto ring = shapeLayer(ActivityIndicatorShape::ringThirdFour, size, color);
    ring->setFrame(terms::centred(layer.bounds().width(), layer.bounds().height(), size.width, size.height));
    ring->addAnimation(group, "animation");
    layer.addSublayer(ring);
}

} // namespace indicators
