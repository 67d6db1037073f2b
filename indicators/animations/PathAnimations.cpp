#include "indicators/animations/PathAnimations.h"

#include "indicators/ActivityIndicatorShape.h"
#include "indicators/animations/AnimationTerms.h"
#include "indicators/animations/RotationParts.h"
#include "platform/core/TextConversions.h"
#include "platform/gfx/GeometryText.h"

#include <algorithm>
#include <cctype>
#include <string>

namespace indicators {
namespace {

using rotation::keyframes;
using Timing = ca::MediaTimingFunction;

gfx::Transform3D translation(double x, double y) { return gfx::Transform3D::translation(x, y, 0); }

// Replaces every occurrence of `token`, in any case, by `by`.
void replaceIgnoringCase(std::string& text, std::string_view token, const std::string& by) {
    auto lower = [](std::string s) {
        std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::tolower(c); });
        return s;
    };
    const std::string key = lower(std::string(token));
    size_t pos = 0;
    while ((pos = lower(text).find(key, pos)) != std::string::npos) {
        text.replace(pos, key.size(), by);
        pos += by.size();
    }
}

void zigZag(ca::Layer& layer, gfx::Size size, const gfx::Color& color, double duration, bool deflect) {
    const double w = size.width, h = size.height, s = w / 5, dx = w / 2 - s / 2, dy = h / 2 - s / 2;
    auto a = ca::KeyframeAnimation::make("transform");
    a->keyTimes = {0, 0.33, 0.66, 1};
    a->timingFunction = Timing::linear();
    a->duration = duration;
    a->autoreverses = deflect;
    terms::outermost(a);
    // Dot 1 runs the lower half, point-symmetric to dot 0.
    for (double sign : {1.0, -1.0}) {
        a->values = {translation(0, 0), translation(-dx * sign, -dy * sign), translation(dx * sign, -dy * sign),
                     translation(0, 0)};
        auto dot = shapeLayer(ActivityIndicatorShape::circle, {s, s}, color);
        dot->setFrame(terms::centred(layer.bounds().width(), layer.bounds().height(), s, s));
        dot->addAnimation(a, "animation");
        layer.addSublayer(dot);
    }
}

} // namespace

void ActivityIndicatorAnimationBallZigZag::buildAnimation(ca::Layer& layer, gfx::Size size, const gfx::Color& color) {
    zigZag(layer, size, color, 0.7, false);
}

void ActivityIndicatorAnimationBallZigZagDeflect::buildAnimation(ca::Layer& layer, gfx::Size size,
                                                                 const gfx::Color& color) {
    zigZag(layer, size, color, 0.75, true);
}

void ActivityIndicatorAnimationBallTrianglePath::buildAnimation(ca::Layer& layer, gfx::Size size,
                                                                const gfx::Color& color) {
    const double w = size.width, h = size.height, s = w / 5, dx = w / 2 - s / 2, dy = h / 2 - s / 2;
    const double x0 = (layer.bounds().width() - w) / 2, y0 = (layer.bounds().height() - h) / 2;
    auto t = Timing::easeInEaseOut();
    auto a = terms::outermost(ca::KeyframeAnimation::make("transform"));
    a->keyTimes = {0, 0.33, 0.66, 1};
    a->timingFunctions = {t, t, t};
    a->duration = 2;
    struct Corner {
        gfx::Rect frame;
        const char* texts[4];
    };
    const Corner corners[] = {
        {{x0 + w / 2 - s / 2, y0, s, s}, {"{0,0}", "{hx,fy}", "{-hx,fy}", "{0,0}"}},
        {{x0, y0 + h - s, s, s}, {"{0,0}", "{hx,-fy}", "{fx,0}", "{0,0}"}},
        {{x0 + w - s, y0 + h - s, s, s}, {"{0,0}", "{-fx,0}", "{-hx,-fy}", "{0,0}"}},
    };
    // h stands for half the travel, f for the full travel, along the axis of the second letter.
    const std::pair<const char*, std::string> tokens[] = {
        {"hx", core::formatDoubleWithFraction(dx)},
        {"fx", core::formatDoubleWithFraction(2 * dx)},
        {"hy", core::formatDoubleWithFraction(dy)},
        {"fy", core::formatDoubleWithFraction(2 * dy)},
    };
    for (const auto& corner : corners) {
        std::vector<ca::PropertyValue> values;
        values.reserve(5);
        for (const char* text : corner.texts) {
            std::string value = text;
            for (const auto& [token, number] : tokens) replaceIgnoringCase(value, token, number);
            gfx::Point p = gfx::pointFromString(value);
            values.emplace_back(translation(p.x, p.y));
        }
        a->values = std::move(values);
        auto ring = shapeLayer(ActivityIndicatorShape::ring, {s, s}, color);
        ring->setFrame(corner.frame);
        ring->addAnimation(a, "animation");
        layer.addSublayer(ring);
    }
}

void ActivityIndicatorAnimationPacman::buildAnimation(ca::Layer& layer, gfx::Size size, const gfx::Color& color) {
    const double w = size.width, s = w / 5, p = 2 * w / 3;
    const double bw = layer.bounds().width(), bh = layer.bounds().height();

    auto slide = terms::outermost(terms::group(
        {terms::basic("transform.translation.x", 0, -w / 2, 1), terms::basic("opacity", 1, 0.7, 1)}, 1));
    slide->timingFunction = Timing::linear();
    auto dot = shapeLayer(ActivityIndicatorShape::circle, {s, s}, color);
    dot->setFrame({(bw - w) / 2 + w - s, (bh - s) / 2, s, s});
    dot->addAnimation(slide, "animation");
    layer.addSublayer(dot);

    auto t = Timing::defaultFunction();
    auto mouth = terms::outermost(
        terms::group({keyframes("strokeStart", {0, 0.5, 1}, {0.125, 0, 0.125}, {t, t}, 0.5),
                      keyframes("strokeEnd", {0, 0.5, 1}, {0.875, 1, 0.875}, {t, t}, 0.5)},
                     0.5));
    auto pacman = shapeLayer(ActivityIndicatorShape::pacman, {p, p}, color);
    pacman->setFrame({(bw - w) / 2, (bh - p) / 2, p, p});
    pacman->addAnimation(mouth, "animation");
    layer.addSublayer(pacman);
}

void ActivityIndicatorAnimationOrbit::buildAnimation(ca::Layer& layer, gfx::Size size, const gfx::Color& color) {
    using terms::pi;
    const double w = size.width;
    const double bw = layer.bounds().width(), bh = layer.bounds().height();
    coreSize = w / 2.75;
    satelliteSize = coreSize * 0.25;
    const double c = coreSize, q = satelliteSize;
    auto linear = Timing::linear();
    auto burst = terms::cp(0.19f, 1, 0.22f, 1);

    // A ring that appears at 1.3 times the core's size and expands while it fades.
    auto pulse = [&](std::vector<double> scaleTimes, std::vector<double> scales, std::vector<double> fadeTimes,
                     std::vector<double> fades) {
        // Two paces for three segments: the third stays linear.
        auto scale = keyframes("transform.scale", std::move(scaleTimes), std::move(scales), {linear, burst}, 1.9);
        scale->timingFunction = linear;
        auto opacity = keyframes("opacity", std::move(fadeTimes), std::move(fades), {}, 1.9);
        return terms::outermost(terms::group({scale, opacity}, 1.9));
    };
    auto addDisc = [&](double side, const gfx::Rect& frame, const std::shared_ptr<ca::Animation>& a) {
        auto disc = shapeLayer(ActivityIndicatorShape::circle, {side, side}, color);
        disc->setFrame(frame);
        disc->addAnimation(a, "animation");
        layer.addSublayer(disc);
    };
    const gfx::Rect centred = terms::centred(bw, bh, c, c);
    addDisc(c, centred, pulse({0, 0.45, 0.45, 1}, {0, 0, 1.3, 2}, {0, 0.45, 1}, {0.8, 0.8, 0}));
    addDisc(c, centred, pulse({0, 0.55, 0.55, 1}, {0, 0, 1.3, 2.1}, {0, 0.55, 0.65, 1}, {0.7, 0.7, 0, 0}));
    addDisc(c, centred,
            terms::outermost(keyframes("transform.scale", {0, 0.45, 0.55, 1}, {1, 1.3, 1.3, 1},
                                       {terms::cp(0.7f, 0, 1, 0.5f), linear, terms::cp(0, 0.7f, 0.5f, 1)}, 1.9)));

    // Two whole turns per 3.8 s: the arc keeps its full sweep so the satellite circles every 1.9 s.
    auto orbit = terms::outermost(ca::KeyframeAnimation::make("position"));
    gfx::Path path;
    path.addArcKeepingSweep({layer.bounds().midX(), layer.bounds().midY()}, (w - q) / 2, 3 * pi / 2, 11 * pi / 2, true);
    orbit->path = std::move(path);
    orbit->duration = 3.8;
    addDisc(q, {0, 0, q, q}, orbit);
}

} // namespace indicators
