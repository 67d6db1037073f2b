#include "indicators/animations/ActivityIndicatorAnimationTriangleSkewSpin.h"

#include "indicators/ActivityIndicatorShape.h"
#include "indicators/animations/AnimationTerms.h"
#include "indicators/animations/RotationParts.h"

namespace indicators {

void ActivityIndicatorAnimationTriangleSkewSpin::buildAnimation(ca::Layer& layer, gfx::Size size, const gfx::Color& color) {
    auto shape = shapeLayer(ActivityIndicatorShape::triangle, size, color);
    shape->setFrame(terms::centred(layer.bounds().width(), layer.bounds().height(), size.width, size.height));
    shape->addAnimation(rotation::flips(), "animation");
    layer.addSublayer(shape);
}

} // namespace indicators
