#include "indicators/animations/ActivityIndicatorAnimationBallClipRotateMultiple.h"

#include "indicators/ActivityIndicatorShape.h"
#include "indicators/animations/AnimationTerms.h"
#include "indicators/animations/RotationParts.h"

namespace indicators {

void ActivityIndicatorAnimationBallClipRotateMultiple::buildAnimation(ca::Layer& layer, gfx::Size size,
                                                                      const gfx::Color& color) {
    using terms::pi;
    const double w = size.width;
    const double bw = layer.bounds().width(), bh = layer.bounds().height();
    auto t = ca::MediaTimingFunction::easeInEaseOut();

    auto big = shapeLayer(ActivityIndicatorShape::ringTwoHalfHorizontal, {w, w}, color);
    big->setFrame(terms::centred(bw, bh, w, w));
    big->addAnimation(rotation::scaleAndTurn({0, pi, 2 * pi}, t, 1), "animation");
    layer.addSublayer(big);

    auto small = shapeLayer(ActivityIndicatorShape::ringTwoHalfVertical, {w / 2, w / 2}, color);
    small->setFrame(terms::centred(bw, bh, w / 2, w / 2));
    small->addAnimation(rotation::scaleAndTurn({0, -pi, -2 * pi}, t, 1), "animation");
    layer.addSublayer(small);
}

} // namespace indicators
