#include "indicators/ActivityIndicatorType.h"
#include "platform/ca/Animation.h"
#include "platform/ca/ShapeLayer.h"
#include "indicators/tests/IndicatorLayerTest.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

namespace indicators {
namespace {

constexpr double pi = std::numbers::pi;
constexpr double forever = std::numeric_limits<float>::max();

// Types built at 50 x 50.
class Rotation : public IndicatorLayerTest {
protected:
    Rotation() : IndicatorLayerTest({50, 50}) {}
};

TEST_F(Rotation, LayersAndTheOutermostAnimationOfEachType) {
    struct Case {
        ActivityIndicatorType type;
        size_t layers;
        double duration, repeatCount;
    };
    using T = ActivityIndicatorType;
    const Case cases[] = {
        {T::ballClipRotate, 1, 0.75, forever},  {T::ballClipRotatePulse, 2, 1, forever},
        {T::ballClipRotateMultiple, 2, 1, forever}, {T::semiCircleSpin, 1, 0.6, forever},
        {T::circleStrokeSpin, 1, 1.7, std::numeric_limits<float>::infinity()},
        {T::ballRotate, 1, 1, forever},         {T::ballRotateChase, 5, 1.5, forever},
        {T::squareSpin, 1, 3, forever},         {T::triangleSkewSpin, 1, 3, forever},
        {T::cubeTransition, 2, 1.6, forever},
    };
    for (const auto& k : cases) {
        auto root = build(k.type);
        ASSERT_EQ(root->sublayers().size(), k.layers) << caseName(k.type);
        for (const auto& layer : root->sublayers()) {
            EXPECT_EQ(layer->animationKeys(), std::vector<std::string>{"animation"}) << caseName(k.type);
            auto a = layer->animation("animation");
            ASSERT_TRUE(a);
            EXPECT_EQ(a->repeatCount, k.repeatCount) << caseName(k.type);
            EXPECT_FALSE(a->removedOnCompletion) << caseName(k.type);
        }
        EXPECT_EQ(root->sublayers().back()->animation("animation")->duration, k.duration) << caseName(k.type);
        root->removeFromSuperlayer();
    }
}

TEST_F(Rotation, CircleStrokeSpinGrowsChasesAndTurns) {
    auto root = build(ActivityIndicatorType::circleStrokeSpin);
    auto circle = std::dynamic_pointer_cast<ca::ShapeLayer>(root->sublayers().at(0));
    ASSERT_TRUE(circle);
    EXPECT_EQ(circle->frame(), (gfx::Rect{15, 15, 50, 50}));
    auto group = std::dynamic_pointer_cast<const ca::AnimationGroup>(circle->animation("animation"));
    ASSERT_TRUE(group);
    EXPECT_EQ(group->fillMode, ca::FillMode::forwards);
    auto turn = std::dynamic_pointer_cast<const ca::BasicAnimation>(group->animations.at(0));
    ASSERT_TRUE(turn);
    EXPECT_EQ(turn->keyPath, "transform.rotation");
    EXPECT_EQ(std::get<double>(*turn->byValue), static_cast<double>(6.2831855f));

    const auto pace = ca::MediaTimingFunction::controlPoints(0.4, 0, 0.2, 1);
    struct Case {
        double at;  // seconds since the build
        double strokeEnd, strokeStart;
    };
    const Case cases[] = {
        {0, 0, 0},
        {0.35, pace.evaluate(0.5), 0},
        {0.6, pace.evaluate(0.6 / 0.7), pace.evaluate(0.1 / 1.2)},
        // After its 0.7 s the head shows the model value (1) while the tail still chases it.
        {0.85, 1, pace.evaluate(0.35 / 1.2)},
        {1.2, 1, pace.evaluate(0.7 / 1.2)},
        // The next cycle starts afresh.
        {1.7 + 0.35, pace.evaluate(0.5), 0},
    };
    double now = 0;
    for (const auto& k : cases) {
        host->advance(k.at - now);
        now = k.at;
        auto p = shown(*circle);
        EXPECT_NEAR(p.strokeEnd, k.strokeEnd, 1e-6) << k.at;
        EXPECT_NEAR(p.strokeStart, k.strokeStart, 1e-6) << k.at;
        double turned = std::fmod(k.at, 1.7) / 1.7 * 6.2831855f;
        EXPECT_NEAR(gfx::TransformComponents::of(p.transform).rotationZ, std::remainder(turned, 2 * pi), 1e-4) << k.at;
    }
}

TEST_F(Rotation, ChasingDotsStartTogetherAtTheTopOfTheLayersOwnCentre) {
    auto root = build(ActivityIndicatorType::ballRotateChase, {50, 30});
    const double s = 10;
    for (const auto& dot : root->sublayers()) {
        EXPECT_EQ(dot->frame(), (gfx::Rect{0, 0, s, s}));
        auto p = shown(*dot);
        EXPECT_NEAR(p.position.x, 40, 1e-6);
        EXPECT_NEAR(p.position.y, 40 - (50 - s) / 2, 1e-6);
    }
    const double from[] = {1, 0.8, 0.6, 0.4, 0.2};
    for (size_t i = 0; i < 5; ++i) {
        auto group = std::dynamic_pointer_cast<const ca::AnimationGroup>(root->sublayers()[i]->animation("animation"));
        ASSERT_TRUE(group);
        auto scale = std::dynamic_pointer_cast<const ca::BasicAnimation>(group->animations.at(0));
        EXPECT_NEAR(std::get<double>(*scale->fromValue), from[i], 1e-6);
        EXPECT_NEAR(std::get<double>(*scale->toValue), from[4 - i], 1e-6);
        EXPECT_NEAR(group->timingFunction->y1(), 0.15 + 0.2 * static_cast<double>(i), 1e-6);
    }
    // Half way round the cycle the dots have spread out.
    host->advance(0.75);
    EXPECT_GT(std::fabs(shown(*root->sublayers()[0]).position.x - shown(*root->sublayers()[4]).position.x), 1);
}

TEST_F(Rotation, FlipsAndCubeSquaresMoveAsScheduled) {
    auto square = build(ActivityIndicatorType::squareSpin)->sublayers().at(0);
    host->advance(0.75);  // the first key time, 0.25 of 3 s
    auto flipped = gfx::Transform3D::rotation(pi, 1, 0, 0);
    flipped.m34 = -0.01;
    auto y = gfx::Transform3D::rotation(0, 0, 1, 0);
    y.m34 = -0.01;
    auto expected = flipped.concat(y);
    auto shownTransform = shown(*square).transform;
    const auto a = shownTransform.elements(), b = expected.elements();
    for (size_t i = 0; i < 16; ++i) EXPECT_NEAR(a[i], b[i], 1e-6) << i;

    // The second square runs half a cycle ahead: at the start it is at the far corner.
    auto root = build(ActivityIndicatorType::cubeTransition);
    const double s = 10;
    for (const auto& sq : root->sublayers()) EXPECT_EQ(sq->frame(), (gfx::Rect{15, 15, s, s}));
    auto first = gfx::TransformComponents::of(shown(*root->sublayers()[0]).transform);
    auto second = gfx::TransformComponents::of(shown(*root->sublayers()[1]).transform);
    EXPECT_NEAR(first.translationX, 0, 1e-6);
    EXPECT_NEAR(second.translationX, 50 - s, 1e-6);
    EXPECT_NEAR(second.translationY, 50 - s, 1e-6);
}

TEST_F(Rotation, RingsOfTheMultipleTurnOppositeWaysInStep) {
    auto root = build(ActivityIndicatorType::ballClipRotateMultiple);
    EXPECT_EQ(root->sublayers()[0]->bounds().size, (gfx::Size{50, 50}));
    EXPECT_EQ(root->sublayers()[1]->bounds().size, (gfx::Size{25, 25}));
    host->advance(0.25);
    EXPECT_GT(gfx::TransformComponents::of(shown(*root->sublayers()[0]).transform).rotationZ, 0);
    EXPECT_LT(gfx::TransformComponents::of(shown(*root->sublayers()[1]).transform).rotationZ, 0);
    host->advance(0.25);
    auto big = gfx::TransformComponents::of(shown(*root->sublayers()[0]).transform);
    auto small = gfx::TransformComponents::of(shown(*root->sublayers()[1]).transform);
    EXPECT_NEAR(big.scaleX, 0.6, 1e-6);
    EXPECT_NEAR(small.scaleX, 0.6, 1e-6);
    EXPECT_NEAR(std::fabs(big.rotationZ), pi, 1e-6);
    EXPECT_NEAR(std::fabs(small.rotationZ), pi, 1e-6);
}

TEST_F(Rotation, ZeroSideStillBuilds) {
    using T = ActivityIndicatorType;
    // Dots and bars sized (w - gaps) / n, or (w + 8) / 5, are not empty at side 0.
    const T gapped[] = {T::ballPulse,     T::ballPulseSync,      T::ballBeat,          T::ballPulseRise,
                        T::ballGridPulse, T::ballGridBeat,       T::ballSpinFadeLoader, T::lineSpinFadeLoader};
    for (auto type : allIndicatorTypes()) {
        if (std::find(std::begin(gapped), std::end(gapped), type) != std::end(gapped)) continue;
        auto root = build(type, {0, 0});
        for (const auto& layer : root->sublayers()) EXPECT_EQ(layer->bounds().size, gfx::Size{}) << caseName(type);
        root->removeFromSuperlayer();
    }
}

} // namespace
} // namespace indicators
