#include "indicators/ActivityIndicatorType.h"
#include "platform/ca/Animation.h"
#include "platform/ca/MediaTime.h"
#include "platform/ca/ShapeLayer.h"
#include "platform/ui/tests/UiTest.h"

#include <cmath>
#include <cstdio>
#include <limits>
#include <sstream>

namespace indicators {
namespace family_structure_test {

constexpr double forever = std::numeric_limits<float>::max();
constexpr double none = std::numeric_limits<double>::quiet_NaN();

std::string num(double v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.4g", v);
    return buf;
}

std::string list(const std::vector<double>& values) {
    std::string out;
    for (double v : values) out += (out.empty() ? "" : ",") + num(v);
    return out;
}

std::string value(const ca::PropertyValue& v) {
    if (auto d = std::get_if<double>(&v)) return num(*d);
    if (auto t = std::get_if<gfx::Transform3D>(&v)) return "T(" + num(t->m41) + "," + num(t->m42) + ")";
    if (std::holds_alternative<gfx::Path>(v)) return "path";
    return "?";
}

// A compact text of an animation's structure: kind, key path, duration (0: none set), key times,
// values, per-segment functions (n×) and a whole-animation function (w), children of groups.
std::string signature(const ca::Animation& a) {
    std::ostringstream out;
    auto timing = [&] {
        if (a.timingFunction) out << " w";
    };
    if (auto g = dynamic_cast<const ca::AnimationGroup*>(&a)) {
        out << "G d=" << num(g->duration);
        timing();
        out << " {";
        for (size_t i = 0; i < g->animations.size(); ++i) out << (i ? "; " : "") << signature(*g->animations[i]);
        out << "}";
    } else if (auto k = dynamic_cast<const ca::KeyframeAnimation*>(&a)) {
        out << "K " << k->keyPath << " d=" << num(k->duration) << " kt=" << list(k->keyTimes) << " v=";
        for (size_t i = 0; i < k->values.size(); ++i) out << (i ? "," : "") << value(k->values[i]);
        if (k->path) out << "path";
        if (!k->timingFunctions.empty()) out << " " << k->timingFunctions.size() << "x";
        timing();
    } else if (auto b = dynamic_cast<const ca::BasicAnimation*>(&a)) {
        out << "B " << b->keyPath << " d=" << num(b->duration) << " " << value(*b->fromValue) << ">"
            << value(*b->toValue);
        timing();
    }
    return out.str();
}

void expectInnerPlain(const ca::Animation& a, const std::string& where) {
    if (auto g = dynamic_cast<const ca::AnimationGroup*>(&a)) {
        for (const auto& child : g->animations) {
            EXPECT_EQ(child->repeatCount, 0) << where;
            EXPECT_TRUE(child->removedOnCompletion) << where;
            EXPECT_EQ(child->beginTime, 0) << where;
        }
    }
}

class FamilyStructure : public ui::UiTest {};

// Every new type at side 60 in a layer of 80 x 80: its layers, their frames, and the one
// animation each carries, with begin offsets and durations per layer.
TEST_F(FamilyStructure, LayersFramesAndAnimationsOfEachType) {
    using T = ActivityIndicatorType;
    struct Case {
        T type;
        size_t layers;
        bool containers;  // plain layers holding a shape instead of shapes
        gfx::Rect first, last;
        std::vector<double> offsets;    // begin time - now per layer; NaN: none set (starts now)
        std::vector<double> durations;  // outermost duration per layer
        std::string animation;          // of the first layer
    };
    const double s3 = 56.0 / 3;          // dots of the three-dot rows and grids
    const double s5 = 52.0 / 5;          // dots of the five-dot row
    const double fade = (60.0 + 8) / 5;  // dots of the spin-fade circle
    const double r = 30 - fade / 2;
    const double c = 60 / 2.75, q = c * 0.25;
    const std::string beat = "G d=0.7 w {K transform.scale d=0.7 kt=0,0.5,1 v=1,0.75,1; K opacity d=0.7 kt=0,0.5,1 v=1,0.2,1}";
    const std::string gridPulse = "G d=0.72 {K transform.scale d=0 kt=0,0.5,1 v=1,0.5,1 2x; K opacity d=0 kt=0,0.5,1 v=1,0.7,1 2x}";
    const std::string rippleMultiple =
        "G d=1.25 {K transform.scale d=1.25 kt=0,0.7 v=0,1 w; K opacity d=1.25 kt=0,0.7,1 v=1,0.7,0 2x}";
    const Case cases[] = {
        {T::ballPulse, 3, false, {10, 40 - s3 / 2, s3, s3}, {10 + 2 * (s3 + 2), 40 - s3 / 2, s3, s3},
         {0.12, 0.24, 0.36}, {0.75, 0.75, 0.75}, "K transform.scale d=0.75 kt=0,0.3,1 v=1,0.3,1 2x"},
        {T::ballPulseSync, 3, false, {10, 40 - s3 / 2, s3, s3}, {10 + 2 * (s3 + 2), 40 - s3 / 2, s3, s3},
         {0.07, 0.14, 0.21}, {0.6, 0.6, 0.6},
         "K transform.translation.y d=0.6 kt=0,0.33,0.66,1 v=0," + num((30 - s3 / 2) / 2) + "," +
             num(-(30 - s3 / 2) / 2) + ",0 3x"},
        {T::ballBeat, 3, false, {10, 40 - s3 / 2, s3, s3}, {10 + 2 * (s3 + 2), 40 - s3 / 2, s3, s3},
         {0.35, 0, 0.35}, {0.7, 0.7, 0.7}, beat},
        {T::ballPulseRise, 5, false, {10, 40 - s5 / 2, s5, s5}, {10 + 4 * (s5 + 2), 40 - s5 / 2, s5, s5},
         {none, none, none, none, none}, {1, 1, 1, 1, 1},
         "G d=1 {K transform.scale d=1 kt=0,0.5,1 v=1.1,0.4,1 2x; K transform.translation.y d=1 kt=0,0.25,0.75,1 "
         "v=0,-30,30,0 3x}"},
        {T::ballGridPulse, 9, false, {10, 10, s3, s3}, {10 + 2 * (s3 + 2), 10 + 2 * (s3 + 2), s3, s3},
         {-0.06, 0.25, -0.17, 0.48, 0.31, 0.03, 0.46, 0.78, 0.45},
         {0.72, 1.02, 1.28, 1.42, 1.45, 1.18, 0.87, 1.45, 1.06}, gridPulse},
        {T::ballGridBeat, 9, false, {10, 10, s3, s3}, {10 + 2 * (s3 + 2), 10 + 2 * (s3 + 2), s3, s3},
         {0.36, 0.4, 0.68, 0.41, 0.71, -0.15, -0.12, 0.01, 0.32},
         {0.96, 0.93, 1.19, 1.13, 1.34, 0.94, 1.2, 0.82, 1.19}, "K opacity d=0.96 kt=0,0.5,1 v=1,0.7,1 2x"},
        {T::ballScale, 1, false, {10, 10, 60, 60}, {10, 10, 60, 60}, {none}, {1},
         "G d=1 w {B transform.scale d=1 0>1; B opacity d=1 1>0}"},
        {T::ballScaleMultiple, 3, false, {10, 10, 60, 60}, {10, 10, 60, 60}, {0, 0.2, 0.4}, {1, 1, 1},
         "G d=1 w {B transform.scale d=1 0>1; K opacity d=1 kt=0,0.05,1 v=0,1,0}"},
        {T::ballScaleRipple, 1, false, {10, 10, 60, 60}, {10, 10, 60, 60}, {none}, {1},
         "G d=1 {K transform.scale d=1 kt=0,0.7 v=0.1,1 w; K opacity d=1 kt=0,0.7,1 v=1,0.7,0 2x}"},
        {T::ballScaleRippleMultiple, 3, false, {10, 10, 60, 60}, {10, 10, 60, 60}, {0, 0.2, 0.4},
         {1.25, 1.25, 1.25}, rippleMultiple},
        {T::ballSpinFadeLoader, 8, false, {10 + 2 * r, 10 + r, fade, fade},
         {10 + r * (std::cos(7 * std::numbers::pi / 4) + 1), 10 + r * (std::sin(7 * std::numbers::pi / 4) + 1), fade, fade},
         {0, 0.12, 0.24, 0.36, 0.48, 0.6, 0.72, 0.84}, std::vector<double>(8, 1),
         "G d=1 w {K transform.scale d=1 kt=0,0.5,1 v=1,0.4,1; K opacity d=1 kt=0,0.5,1 v=1,0.3,1}"},
        {T::lineScale, 5, false, {10, 10, 60.0 / 9, 60}, {10 + 8 * 60.0 / 9, 10, 60.0 / 9, 60},
         {0.1, 0.2, 0.3, 0.4, 0.5}, std::vector<double>(5, 1),
         "K transform.scale.y d=1 kt=0,0.5,1 v=1,0.4,1 2x"},
        {T::lineScaleParty, 4, false, {10, 10, 60.0 / 7, 60}, {10 + 6 * 60.0 / 7, 10, 60.0 / 7, 60},
         {0.77, 0.29, 0.28, 0.74}, {1.26, 0.43, 1.01, 0.73}, "K transform.scale d=1.26 kt=0,0.5,1 v=1,0.5,1 2x"},
        {T::lineScalePulseOut, 5, false, {10, 10, 60.0 / 9, 60}, {10 + 8 * 60.0 / 9, 10, 60.0 / 9, 60},
         {0.4, 0.2, 0, 0.2, 0.4}, std::vector<double>(5, 1), "K transform.scale.y d=1 kt=0,0.5,1 v=1,0.4,1 2x"},
        {T::lineScalePulseOutRapid, 5, false, {10, 10, 60.0 / 9, 60}, {10 + 8 * 60.0 / 9, 10, 60.0 / 9, 60},
         {0.5, 0.25, 0, 0.25, 0.5}, std::vector<double>(5, 0.9),
         "K transform.scale.y d=0.9 kt=0,0.8,0.9 v=1,0.3,1 2x"},
        {T::lineSpinFadeLoader, 8, true, {10 + 2 * (30 - 28.0 / 3), 10 + (30 - 28.0 / 3), 56.0 / 3, 56.0 / 3},
         {10 + (30 - 28.0 / 3) * (std::cos(7 * std::numbers::pi / 4) + 1),
          10 + (30 - 28.0 / 3) * (std::sin(7 * std::numbers::pi / 4) + 1), 56.0 / 3, 56.0 / 3},
         {0.12, 0.24, 0.36, 0.48, 0.6, 0.72, 0.84, 0.96}, std::vector<double>(8, 1.2),
         "K opacity d=1.2 kt=0,0.5,1 v=1,0.3,1 2x"},
        {T::audioEqualizer, 4, false, {40 - 3.5 * 60.0 / 9, 10, 60.0 / 9, 60},
         {40 - 3.5 * 60.0 / 9 + 6 * 60.0 / 9, 10, 60.0 / 9, 60}, {none, none, none, none}, {4.3, 2.5, 1.7, 3.1},
         "K path d=4.3 kt= v=path,path,path,path,path,path,path,path,path,path,path,path"},
        {T::ballZigZag, 2, false, {34, 34, 12, 12}, {34, 34, 12, 12}, {none, none}, {0.7, 0.7},
         "K transform d=0.7 kt=0,0.33,0.66,1 v=T(0,0),T(-24,-24),T(24,-24),T(0,0) w"},
        {T::ballZigZagDeflect, 2, false, {34, 34, 12, 12}, {34, 34, 12, 12}, {none, none}, {0.75, 0.75},
         "K transform d=0.75 kt=0,0.33,0.66,1 v=T(0,0),T(-24,-24),T(24,-24),T(0,0) w"},
        {T::ballTrianglePath, 3, false, {34, 10, 12, 12}, {58, 58, 12, 12}, {none, none, none}, {2, 2, 2},
         "K transform d=2 kt=0,0.33,0.66,1 v=T(0,0),T(24,48),T(-24,48),T(0,0) 3x"},
        {T::pacman, 2, false, {58, 34, 12, 12}, {10, 20, 40, 40}, {none, none}, {1, 0.5},
         "G d=1 w {B transform.translation.x d=1 0>-30; B opacity d=1 1>0.7}"},
        {T::orbit, 4, false, {40 - c / 2, 40 - c / 2, c, c}, {0, 0, q, q}, {none, none, none, none},
         {1.9, 1.9, 1.9, 3.8},
         "G d=1.9 {K transform.scale d=1.9 kt=0,0.45,0.45,1 v=0,0,1.3,2 2x w; K opacity d=1.9 kt=0,0.45,1 "
         "v=0.8,0.8,0}"},
    };
    for (const auto& k : cases) {
        const std::string name(caseName(k.type));
        auto root = ca::Layer::make();
        root->setFrame({0, 0, 80, 80});
        window->layer()->addSublayer(root);
        const double now = ca::currentMediaTime();
        makeIndicatorAnimation(k.type)->buildAnimation(*root, {60, 60}, gfx::Color::whiteColor());
        const auto& layers = root->sublayers();
        ASSERT_EQ(layers.size(), k.layers) << name;
        for (size_t i = 0; i < layers.size(); ++i) {
            const auto& layer = layers[i];
            const std::string where = name + " layer " + std::to_string(i);
            EXPECT_EQ(dynamic_cast<ca::ShapeLayer*>(layer.get()) == nullptr, k.containers) << where;
            EXPECT_EQ(layer->animationKeys(), std::vector<std::string>{"animation"}) << where;
            auto a = layer->animation("animation");
            ASSERT_TRUE(a) << where;
            EXPECT_EQ(a->repeatCount, forever) << where;
            EXPECT_FALSE(a->removedOnCompletion) << where;
            expectInnerPlain(*a, where);
            // A layer starts an animation without a begin time at the moment it is added.
            EXPECT_NEAR(a->beginTime - now, std::isnan(k.offsets[i]) ? 0 : k.offsets[i], 1e-9) << where;
            EXPECT_NEAR(a->duration, k.durations[i], 1e-9) << where;
        }
        auto near = [&](const gfx::Rect& got, const gfx::Rect& want, const char* which) {
            EXPECT_NEAR(got.x(), want.x(), 1e-9) << name << " " << which;
            EXPECT_NEAR(got.y(), want.y(), 1e-9) << name << " " << which;
            EXPECT_NEAR(got.width(), want.width(), 1e-9) << name << " " << which;
            EXPECT_NEAR(got.height(), want.height(), 1e-9) << name << " " << which;
        };
        near(layers.front()->frame(), k.first, "first frame");
        near(layers.back()->frame(), k.last, "last frame");
        EXPECT_EQ(signature(*layers.front()->animation("animation")), k.animation) << name;
        root->removeFromSuperlayer();
    }
}

} // namespace family_structure_test
} // namespace indicators
