#include "indicators/animations/ScaleAnimations.h"

#include "indicators/ActivityIndicatorShape.h"
#include "indicators/animations/AnimationTerms.h"
#include "indicators/animations/RotationParts.h"
#include "platform/ca/MediaTime.h"

#include <cmath>
#include <optional>

namespace indicators {
namespace {

using rotation::keyframes;
using Timing = ca::MediaTimingFunction;

// Adds shapes of the full size in the middle of `layer`, one per begin offset (none: no begin
// time is set), each carrying `animation`.
void centredShapes(ca::Layer& layer, ActivityIndicatorShape shape, gfx::Size size, const gfx::Color& color,
                   const std::shared_ptr<ca::Animation>& animation, const std::vector<std::optional<double>>& offsets,
                   bool hiddenUntilStart = false) {
    const double now = ca::currentMediaTime();
    for (const auto& offset : offsets) {
        auto s = shapeLayer(shape, size, color);
        if (offset) animation->beginTime = now + *offset;
        s->setFrame(terms::centred(layer.bounds().width(), layer.bounds().height(), size.width, size.height));
        if (hiddenUntilStart) s->setOpacity(0);
        s->addAnimation(animation, "animation");
        layer.addSublayer(s);
    }
}

// The ripple: the scale reaches 1 at 70 % of the cycle and holds it while the opacity falls.
std::shared_ptr<ca::AnimationGroup> ripple(double from, double duration) {
    auto t = terms::cp(0.21f, 0.53f, 0.56f, 0.8f);
    auto scale = keyframes("transform.scale", {0, 0.7}, {from, 1}, {}, duration);
    scale->timingFunction = t;
    auto opacity = keyframes("opacity", {0, 0.7, 1}, {1, 0.7, 0}, {t, t}, duration);
    return terms::outermost(terms::group({scale, opacity}, duration));
}

} // namespace

void ActivityIndicatorAnimationBallScale::buildAnimation(ca::Layer& layer, gfx::Size size, const gfx::Color& color) {
    auto g = terms::outermost(
        terms::group({terms::basic("transform.scale", 0, 1, 1), terms::basic("opacity", 1, 0, 1)}, 1));
    g->timingFunction = Timing::easeInEaseOut();
    centredShapes(layer, ActivityIndicatorShape::circle, size, color, g, {std::nullopt});
}

void ActivityIndicatorAnimationBallScaleMultiple::buildAnimation(ca::Layer& layer, gfx::Size size,
                                                                 const gfx::Color& color) {
    auto g = terms::outermost(terms::group(
        {terms::basic("transform.scale", 0, 1, 1), keyframes("opacity", {0, 0.05, 1}, {0, 1, 0}, {}, 1)}, 1));
    g->timingFunction = Timing::linear();
    centredShapes(layer, ActivityIndicatorShape::circle, size, color, g, {0.0, 0.2, 0.4}, true);
}

void ActivityIndicatorAnimationBallScaleRipple::buildAnimation(ca::Layer& layer, gfx::Size size,
                                                               const gfx::Color& color) {
    centredShapes(layer, ActivityIndicatorShape::ring, size, color, ripple(0.1, 1), {std::nullopt});
}

void ActivityIndicatorAnimationBallScaleRippleMultiple::buildAnimation(ca::Layer& layer, gfx::Size size,
                                                                       const gfx::Color& color) {
    centredShapes(layer, ActivityIndicatorShape::ring, size, color, ripple(0, 1.25), {0.0, 0.2, 0.4});
}

void ActivityIndicatorAnimationBallSpinFadeLoader::buildAnimation(ca::Layer& layer, gfx::Size size,
                                                                  const gfx::Color& color) {
    using terms::pi;
    const double w = size.width, h = size.height, s = (w + 8) / 5, r = w / 2 - s / 2;
    const double bw = layer.bounds().width(), bh = layer.bounds().height();
    const double now = ca::currentMediaTime();
    auto g = terms::outermost(terms::group({keyframes("transform.scale", {0, 0.5, 1}, {1, 0.4, 1}, {}, 1),
                                            keyframes("opacity", {0, 0.5, 1}, {1, 0.3, 1}, {}, 1)},
                                           1));
    g->timingFunction = Timing::linear();
    for (int i = 0; i < 8; ++i) {
        const double a = i * pi / 4;
        auto dot = shapeLayer(ActivityIndicatorShape::circle, {s, s}, color);
        g->beginTime = now + i * 0.12;
        dot->setFrame({(bw - w) / 2 + r * (std::cos(a) + 1), (bh - h) / 2 + r * (std::sin(a) + 1), s, s});
        dot->addAnimation(g, "animation");
        layer.addSublayer(dot);
    }
}

} // namespace indicators
