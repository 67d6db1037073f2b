#include "indicators/animations/ActivityIndicatorAnimationSemiCircleSpin.h"

#include "indicators/ActivityIndicatorShape.h"
#include "indicators/animations/AnimationTerms.h"
#include "indicators/animations/RotationParts.h"

namespace indicators {

void ActivityIndicatorAnimationSemiCircleSpin::buildAnimation(ca::Layer& layer, gfx::Size size, const gfx::Color& color) {
    using terms::pi;
    auto turn = rotation::keyframes("transform.rotation.z", {0, 0.5, 1}, {0, pi, 2 * pi}, {}, 0.6);
    turn->repeatCount = terms::forever;
    turn->removedOnCompletion = false;
    auto segment = shapeLayer(ActivityIndicatorShape::circleSemi, size, color);
    segment->setFrame(terms::centred(layer.bounds().width(), layer.bounds().height(), size.width, size.height));
    segment->addAnimation(turn, "animation");
    layer.addSublayer(segment);
}

} // namespace indicators
