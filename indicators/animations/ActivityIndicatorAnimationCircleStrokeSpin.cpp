#include "indicators/animations/ActivityIndicatorAnimationCircleStrokeSpin.h"

#include "indicators/ActivityIndicatorShape.h"
#include "indicators/animations/AnimationTerms.h"

#include <limits>

namespace indicators {

void ActivityIndicatorAnimationCircleStrokeSpin::buildAnimation(ca::Layer& layer, gfx::Size size,
                                                                const gfx::Color& color) {
    auto pace = ca::MediaTimingFunction::controlPoints(0.4, 0, 0.2, 1);

    // The turn has no duration of its own: it spans the whole group.
    auto turn = ca::BasicAnimation::make("transform.rotation");
    turn->byValue = static_cast<double>(static_cast<float>(2 * terms::pi));
    turn->timingFunction = ca::MediaTimingFunction::linear();

    auto head = ca::BasicAnimation::make("strokeEnd");
    head->fromValue = 0.0;
    head->toValue = 1.0;
    head->duration = 0.7;
    head->timingFunction = pace;

    // After its active time each child shows the model value (stroke end 1, stroke start 0) again,
    // which is what lets the tail catch up with the head and the arc grow afresh.
    auto tail = ca::BasicAnimation::make("strokeStart");
    tail->fromValue = 0.0;
    tail->toValue = 1.0;
    tail->duration = 1.2;
    tail->beginTime = 0.5;
    tail->timingFunction = pace;

    auto group = ca::AnimationGroup::make({turn, head, tail});
    group->duration = 1.7;
    group->repeatCount = std::numeric_limits<float>::infinity();
    group->removedOnCompletion = false;
    group->fillMode = ca::FillMode::forwards;

    auto circle = shapeLayer(ActivityIndicatorShape::stroke, size, color);
    circle->setFrame(terms::centred(layer.bounds().width(), layer.bounds().height(), size.width, size.height));
    circle->addAnimation(group, "animation");
    layer.addSublayer(circle);
}

} // namespace indicators
