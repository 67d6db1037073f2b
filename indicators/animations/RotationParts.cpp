#include "indicators/animations/RotationParts.h"

#include "indicators/animations/AnimationTerms.h"

namespace indicators::rotation {

using terms::pi;

std::shared_ptr<ca::KeyframeAnimation> keyframes(const char* keyPath, std::vector<double> keyTimes,
                                                 std::vector<double> values,
                                                 std::vector<ca::MediaTimingFunction> timingFunctions,
                                                 double duration) {
    auto a = ca::KeyframeAnimation::make(keyPath);
    a->keyTimes = std::move(keyTimes);
    for (double v : values) a->values.emplace_back(v);
    a->timingFunctions = std::move(timingFunctions);
    a->duration = duration;
    return a;
}

std::shared_ptr<ca::AnimationGroup> scaleAndTurn(std::vector<double> turn,
                                                 std::optional<ca::MediaTimingFunction> t, double duration) {
    std::vector<ca::MediaTimingFunction> paces;
    if (t) paces = {*t, *t};
    auto scale = keyframes("transform.scale", {0, 0.5, 1}, {1, 0.6, 1}, paces, t ? duration : 0);
    // The rotation takes its key times from the scale animation.
    auto rotation = keyframes("transform.rotation.z", scale->keyTimes, std::move(turn), paces, t ? duration : 0);
    auto group = ca::AnimationGroup::make({scale, rotation});
    group->duration = duration;
    group->repeatCount = terms::forever;
    group->removedOnCompletion = false;
    return group;
}

std::shared_ptr<ca::KeyframeAnimation> flips() {
    auto flip = [](double a, double b) {
        auto x = gfx::Transform3D::rotation(a, 1, 0, 0);
        x.m34 = -0.01;
        auto y = gfx::Transform3D::rotation(b, 0, 1, 0);
        y.m34 = -0.01;
        return x.concat(y);
    };
    auto t = ca::MediaTimingFunction::controlPoints(0.09, 0.57, 0.49, 0.9);
    auto a = ca::KeyframeAnimation::make("transform");
    a->keyTimes = {0, 0.25, 0.5, 0.75, 1};
    a->values = {flip(0, 0), flip(pi, 0), flip(pi, pi), flip(0, pi), flip(0, 0)};
    a->timingFunctions = {t, t, t, t};
    a->duration = 3;
    a->repeatCount = terms::forever;
    a->removedOnCompletion = false;
    return a;
}

} // namespace indicators::rotation
