#include "indicators/animations/PulseAnimations.h"

#include "indicators/ActivityIndicatorShape.h"
#include "indicators/animations/AnimationTerms.h"
#include "indicators/animations/RotationParts.h"
#include "platform/ca/MediaTime.h"

#include <array>

namespace indicators {
namespace {

using rotation::keyframes;
using Timing = ca::MediaTimingFunction;

// Adds a dot of side `s` at (x, y) carrying `animation`, which the layer copies.
void addDot(ca::Layer& layer, double s, double x, double y, const gfx::Color& color,
            const std::shared_ptr<ca::Animation>& animation) {
    auto dot = shapeLayer(ActivityIndicatorShape::circle, {s, s}, color);
    dot->setFrame({x, y, s, s});
    dot->addAnimation(animation, "animation");
    layer.addSublayer(dot);
}

// Three dots in a row, centred on their own side, each starting at now + its offset.
void row(ca::Layer& layer, gfx::Size size, const gfx::Color& color, const std::shared_ptr<ca::Animation>& animation,
         const std::array<double, 3>& offsets) {
    const double w = size.width, s = (w - 4) / 3;
    const double bw = layer.bounds().width(), bh = layer.bounds().height();
    const double now = ca::currentMediaTime();
    for (size_t i = 0; i < 3; ++i) {
        animation->beginTime = now + offsets[i];
        addDot(layer, s, (bw - w) / 2 + static_cast<double>(i) * (s + 2), (bh - s) / 2, color, animation);
    }
}

// Nine dots in three rows, each with its own duration and start.
void grid(ca::Layer& layer, gfx::Size size, const gfx::Color& color, const std::shared_ptr<ca::Animation>& animation,
          const std::array<double, 9>& durations, const std::array<double, 9>& offsets) {
    const double w = size.width, h = size.height, s = (w - 4) / 3;
    const double bw = layer.bounds().width(), bh = layer.bounds().height();
    const double now = ca::currentMediaTime();
    for (size_t k = 0; k < 9; ++k) {
        const double r = static_cast<double>(k / 3), c = static_cast<double>(k % 3);
        animation->duration = durations[k];
        animation->beginTime = now + offsets[k];
        addDot(layer, s, (bw - w) / 2 + c * (s + 2), (bh - h) / 2 + r * (s + 2), color, animation);
    }
}

} // namespace

void ActivityIndicatorAnimationBallPulse::buildAnimation(ca::Layer& layer, gfx::Size size, const gfx::Color& color) {
    auto t = terms::cp(0.2f, 0.68f, 0.18f, 1.08f);
    row(layer, size, color, terms::outermost(keyframes("transform.scale", {0, 0.3, 1}, {1, 0.3, 1}, {t, t}, 0.75)),
        {0.12, 0.24, 0.36});
}

void ActivityIndicatorAnimationBallPulseSync::buildAnimation(ca::Layer& layer, gfx::Size size,
                                                             const gfx::Color& color) {
    const double s = (size.width - 4) / 3, d = (size.height / 2 - s / 2) / 2;
    auto t = Timing::easeInEaseOut();
    row(layer, size, color,
        terms::outermost(keyframes("transform.translation.y", {0, 0.33, 0.66, 1}, {0, d, -d, 0}, {t, t, t}, 0.6)),
        {0.07, 0.14, 0.21});
}

void ActivityIndicatorAnimationBallBeat::buildAnimation(ca::Layer& layer, gfx::Size size, const gfx::Color& color) {
    auto scale = keyframes("transform.scale", {0, 0.5, 1}, {1, 0.75, 1}, {}, 0.7);
    auto opacity = keyframes("opacity", {0, 0.5, 1}, {1, 0.2, 1}, {}, 0.7);
    auto beat = terms::outermost(terms::group({scale, opacity}, 0.7));
    beat->timingFunction = Timing::linear();
    row(layer, size, color, beat, {0.35, 0, 0.35});
}

void ActivityIndicatorAnimationBallPulseRise::buildAnimation(ca::Layer& layer, gfx::Size size,
                                                             const gfx::Color& color) {
    const double w = size.width, d = size.height / 2, s = (w - 8) / 5;
    const double bw = layer.bounds().width(), bh = layer.bounds().height();
    auto t = terms::cp(0.15f, 0.46f, 0.9f, 0.6f);
    auto rise = [&](std::vector<double> scales, std::vector<double> travel) {
        auto scale = keyframes("transform.scale", {0, 0.5, 1}, std::move(scales), {t, t}, 1);
        auto move = keyframes("transform.translation.y", {0, 0.25, 0.75, 1}, std::move(travel), {t, t, t}, 1);
        return terms::outermost(terms::group({scale, move}, 1));
    };
    auto even = rise({1.1, 0.4, 1}, {0, -d, d, 0});
    auto odd = rise({0.4, 1.1, 0.75}, {0, d, -d, 0});
    for (int i = 0; i < 5; ++i)
        addDot(layer, s, (bw - w) / 2 + i * (s + 2), (bh - s) / 2, color, i % 2 ? odd : even);
}

void ActivityIndicatorAnimationBallGridPulse::buildAnimation(ca::Layer& layer, gfx::Size size,
                                                             const gfx::Color& color) {
    auto t = Timing::defaultFunction();
    auto scale = keyframes("transform.scale", {0, 0.5, 1}, {1, 0.5, 1}, {t, t});
    auto opacity = keyframes("opacity", {0, 0.5, 1}, {1, 0.7, 1}, {t, t});
    grid(layer, size, color, terms::outermost(ca::AnimationGroup::make({scale, opacity})),
         {0.72, 1.02, 1.28, 1.42, 1.45, 1.18, 0.87, 1.45, 1.06},
         {-0.06, 0.25, -0.17, 0.48, 0.31, 0.03, 0.46, 0.78, 0.45});
}

void ActivityIndicatorAnimationBallGridBeat::buildAnimation(ca::Layer& layer, gfx::Size size,
                                                            const gfx::Color& color) {
    auto t = Timing::defaultFunction();
    grid(layer, size, color, terms::outermost(keyframes("opacity", {0, 0.5, 1}, {1, 0.7, 1}, {t, t})),
         {0.96, 0.93, 1.19, 1.13, 1.34, 0.94, 1.2, 0.82, 1.19},
         {0.36, 0.4, 0.68, 0.41, 0.71, -0.15, -0.12, 0.01, 0.32});
}

} // namespace indicators
