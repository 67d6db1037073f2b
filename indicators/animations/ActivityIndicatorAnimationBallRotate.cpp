#include "indicators/animations/ActivityIndicatorAnimationBallRotate.h"

#include "indicators/ActivityIndicatorShape.h"
#include "indicators/animations/AnimationTerms.h"
#include "indicators/animations/RotationParts.h"

namespace indicators {

void ActivityIndicatorAnimationBallRotate::buildAnimation(ca::Layer& layer, gfx::Size size, const gfx::Color& color) {
    using terms::pi;
    const double w = size.width, h = size.height, s = w / 5;
    auto t = ca::MediaTimingFunction::controlPoints(0.7, -0.13, 0.22, 0.86);
    auto scale = rotation::keyframes("transform.scale", {0, 0.5, 1}, {1, 0.6, 1}, {t, t}, 1);
    auto turn = rotation::keyframes("transform.rotation.z", {0, 0.5, 1}, {0, pi, 2 * pi}, {t, t}, 1);
    auto group = ca::AnimationGroup::make({scale, turn});
    group->duration = 1;
    group->repeatCount = terms::forever;
    group->removedOnCompletion = false;

    // The dots sit in a container that carries the animation, so the row turns as one piece.
    auto container = ca::Layer::make();
    const std::pair<gfx::Rect, double> dots[] = {
        {{0, (h - s) / 2, s, s}, 0.8},
        {{w - s, (h - s) / 2, s, s}, 0.8},
        {{(w - s) / 2, (h - s) / 2, s, s}, 1},
    };
    for (const auto& [frame, opacity] : dots) {
        auto dot = shapeLayer(ActivityIndicatorShape::circle, {s, s}, color);
        dot->setFrame(frame);
        dot->setOpacity(opacity);
        container->addSublayer(dot);
    }
    container->setFrame(terms::centred(layer.bounds().width(), layer.bounds().height(), w, h));
    container->addAnimation(group, "animation");
    layer.addSublayer(container);
}

} // namespace indicators
