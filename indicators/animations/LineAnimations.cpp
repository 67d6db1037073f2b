#include "indicators/animations/LineAnimations.h"

#include "indicators/ActivityIndicatorShape.h"
#include "indicators/animations/AnimationTerms.h"
#include "indicators/animations/RotationParts.h"
#include "platform/ca/MediaTime.h"

#include <algorithm>
#include <cmath>

namespace indicators {
namespace {

using rotation::keyframes;
using Timing = ca::MediaTimingFunction;

// A row of bars one bar width apart: bar i starts at now + offsets[i] and, where durations are
// given, lasts durations[i].
void bars(ca::Layer& layer, gfx::Size size, const gfx::Color& color, int n, const std::shared_ptr<ca::Animation>& a,
          const std::vector<double>& offsets, const std::vector<double>& durations = {}) {
    const double w = size.width, h = size.height, b = w / n;
    const double bw = layer.bounds().width(), bh = layer.bounds().height();
    const double now = ca::currentMediaTime();
    for (size_t i = 0; i < offsets.size(); ++i) {
        auto bar = shapeLayer(ActivityIndicatorShape::line, {b, h}, color);
        a->beginTime = now + offsets[i];
        if (!durations.empty()) a->duration = durations[i];
        bar->setFrame({(bw - w) / 2 + 2 * b * static_cast<double>(i), (bh - h) / 2, b, h});
        bar->addAnimation(a, "animation");
        layer.addSublayer(bar);
    }
}

std::shared_ptr<ca::KeyframeAnimation> squeeze(const char* keyPath, std::vector<double> keyTimes,
                                               std::vector<double> values, Timing t, double duration) {
    return terms::outermost(keyframes(keyPath, std::move(keyTimes), std::move(values), {t, t}, duration));
}

} // namespace

void ActivityIndicatorAnimationLineScale::buildAnimation(ca::Layer& layer, gfx::Size size, const gfx::Color& color) {
    bars(layer, size, color, 9,
         squeeze("transform.scale.y", {0, 0.5, 1}, {1, 0.4, 1}, terms::cp(0.2f, 0.68f, 0.18f, 1.08f), 1),
         {0.1, 0.2, 0.3, 0.4, 0.5});
}

void ActivityIndicatorAnimationLineScaleParty::buildAnimation(ca::Layer& layer, gfx::Size size,
                                                              const gfx::Color& color) {
    bars(layer, size, color, 7, squeeze("transform.scale", {0, 0.5, 1}, {1, 0.5, 1}, Timing::defaultFunction(), 0),
         {0.77, 0.29, 0.28, 0.74}, {1.26, 0.43, 1.01, 0.73});
}

void ActivityIndicatorAnimationLineScalePulseOut::buildAnimation(ca::Layer& layer, gfx::Size size,
                                                                 const gfx::Color& color) {
    bars(layer, size, color, 9,
         squeeze("transform.scale.y", {0, 0.5, 1}, {1, 0.4, 1}, terms::cp(0.85f, 0.25f, 0.37f, 0.85f), 1),
         {0.4, 0.2, 0, 0.2, 0.4});
}

void ActivityIndicatorAnimationLineScalePulseOutRapid::buildAnimation(ca::Layer& layer, gfx::Size size,
                                                                      const gfx::Color& color) {
    bars(layer, size, color, 9,
         squeeze("transform.scale.y", {0, 0.8, 0.9}, {1, 0.3, 1}, terms::cp(0.11f, 0.49f, 0.38f, 0.78f), 0.9),
         {0.5, 0.25, 0, 0.25, 0.5});
}

void ActivityIndicatorAnimationLineSpinFadeLoader::buildAnimation(ca::Layer& layer, gfx::Size size,
                                                                  const gfx::Color& color) {
    using terms::pi;
    const double w = size.width, h = size.height, b = (w - 8) / 5, c = (h - 4) / 3;
    const double m = std::max(b, c), r = w / 2 - m / 2;
    const double x0 = (layer.bounds().width() - w) / 2, y0 = (layer.bounds().height() - h) / 2;
    const double now = ca::currentMediaTime();
    auto t = Timing::easeInEaseOut();
    auto fade = terms::outermost(keyframes("opacity", {0, 0.5, 1}, {1, 0.3, 1}, {t, t}, 1.2));
    for (int i = 0; i < 8; ++i) {
        const double a = i * pi / 4;
        auto container = ca::Layer::make();
        container->setFrame({x0 + r * (std::cos(a) + 1), y0 + r * (std::sin(a) + 1), m, m});
        auto bar = shapeLayer(ActivityIndicatorShape::line, {b, c}, color);
        bar->setFrame({(m - b) / 2, (m - c) / 2, b, c});
        container->addSublayer(bar);
        // Each bar lies along its radius.
        container->setSublayerTransform(gfx::Transform3D::rotation(a + pi / 2, 0, 0, 1));
        fade->beginTime = now + 0.12 * (i + 1);
        container->addAnimation(fade, "animation");
        layer.addSublayer(container);
    }
}

void ActivityIndicatorAnimationAudioEqualizer::buildAnimation(ca::Layer& layer, gfx::Size size,
                                                              const gfx::Color& color) {
    const double w = size.width, h = size.height, b = w / 9;
    const double x0 = (layer.bounds().width() - 7 * b) / 2, y = (layer.bounds().height() - h) / 2;
    const double levels[] = {0, 0.7, 0.4, 0.05, 0.95, 0.3, 0.9, 0.4, 0.15, 0.18, 0.75, 0.01};
    const double durations[] = {4.3, 2.5, 1.7, 3.1};
    for (int i = 0; i < 4; ++i) {
        auto a = ca::KeyframeAnimation::make("path");
        a->additive = true;
        // Bottom-aligned rectangles in the bar's own space: the bar fills up to each level.
        for (double f : levels) a->values.emplace_back(gfx::Path::rect({0, h - f * h, b, f * h}));
        a->duration = durations[i];
        terms::outermost(a);
        auto bar = shapeLayer(ActivityIndicatorShape::line, {b, h}, color);
        bar->setFrame({x0 + 2 * b * i, y, b, h});
        bar->addAnimation(a, "animation");
        layer.addSublayer(bar);
    }
}

} // namespace indicators
