#include "indicators/animations/ActivityIndicatorAnimationCubeTransition.h"

#include "indicators/animations/AnimationTerms.h"
#include "indicators/animations/RotationParts.h"
#include "platform/ca/MediaTime.h"
#include "platform/ca/ShapeLayer.h"

namespace indicators {

void ActivityIndicatorAnimationCubeTransition::buildAnimation(ca::Layer& layer, gfx::Size size,
                                                              const gfx::Color& color) {
    using terms::pi;
    const double w = size.width, h = size.height, s = w / 5;
    const double now = ca::currentMediaTime();
    auto t = ca::MediaTimingFunction::easeInEaseOut();
    const std::vector<ca::MediaTimingFunction> paces = {t, t, t, t};

    auto scale = rotation::keyframes("transform.scale", {0, 0.25, 0.5, 0.75, 1}, {1, 0.5, 1, 0.5, 1}, paces, 1.6);
    auto translation = ca::KeyframeAnimation::make("transform.translation");
    translation->keyTimes = scale->keyTimes;
    translation->values = {gfx::Size{0, 0}, gfx::Size{w - s, 0}, gfx::Size{w - s, h - s}, gfx::Size{0, h - s},
                           gfx::Size{0, 0}};
    translation->timingFunctions = scale->timingFunctions;
    translation->duration = 1.6;
    auto turn = rotation::keyframes("transform.rotation.z", scale->keyTimes, {0, -pi / 2, -pi, -3 * pi / 2, -2 * pi},
                                    scale->timingFunctions, 1.6);
    auto group = ca::AnimationGroup::make({scale, translation, turn});
    group->duration = 1.6;
    group->repeatCount = terms::forever;
    group->removedOnCompletion = false;

    // The second square runs half a cycle ahead, so the two are always diagonally opposite.
    for (double offset : {0.0, -0.8}) {
        auto square = ca::ShapeLayer::make();
        gfx::Path path;
        path.moveTo({0, 0});
        path.lineTo({s, 0});
        path.lineTo({s, s});
        path.lineTo({0, s});
        square->setPath(std::move(path));
        square->setFillColor(color);
        square->setBackgroundColor(std::nullopt);
        square->setFrame({0, 0, s, s});
        group->beginTime = now + offset;
        square->setFrame({(layer.bounds().width() - w) / 2, (layer.bounds().height() - h) / 2, s, s});
        square->addAnimation(group, "animation");
        layer.addSublayer(square);
    }
}

} // namespace indicators
