#include "indicators/animations/ActivityIndicatorAnimationBallRotateChase.h"

#include "indicators/ActivityIndicatorShape.h"
#include "indicators/animations/AnimationTerms.h"

namespace indicators {

void ActivityIndicatorAnimationBallRotateChase::buildAnimation(ca::Layer& layer, gfx::Size size,
                                                               const gfx::Color& color) {
    using terms::pi;
    const double w = size.width, s = w / 5;
    const gfx::Point centre{layer.bounds().width() / 2, layer.bounds().height() / 2};
    for (int i = 0; i < 5; ++i) {
        // The rates and control points are single-precision numbers, as the pacing was tuned with.
        const float r = static_cast<float>(i) / 5.0f;
        auto t = ca::MediaTimingFunction::controlPoints(0.5, static_cast<double>(r + 0.15f), 0.25, 1);

        auto scale = ca::BasicAnimation::make("transform.scale");
        scale->duration = 1.5;
        scale->repeatCount = terms::forever;
        scale->fromValue = static_cast<double>(1.0f - r);
        scale->toValue = static_cast<double>(r + 0.2f);

        auto position = ca::KeyframeAnimation::make("position");
        position->duration = 1.5;
        position->repeatCount = terms::forever;
        // One clockwise turn that starts at the top.
        position->path = gfx::Path::arc(centre, (w - s) / 2, 3 * pi / 2, 7 * pi / 2, true);

        auto group = ca::AnimationGroup::make({scale, position});
        group->timingFunction = t;
        group->duration = 1.5;
        group->repeatCount = terms::forever;
        group->removedOnCompletion = false;

        auto dot = shapeLayer(ActivityIndicatorShape::circle, {s, s}, color);
        dot->setFrame({0, 0, s, s});
        dot->addAnimation(group, "animation");
        layer.addSublayer(dot);
    }
}

} // namespace indicators
