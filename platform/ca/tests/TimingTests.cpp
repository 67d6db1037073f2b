#include "platform/ca/Animation.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <numbers>

namespace ca {
namespace {

using std::numbers::pi;
constexpr double none = std::numeric_limits<double>::quiet_NaN();

// Opacity from 0 to 1 over one second, linear, so the shown opacity is the progress; a case
// changes the timing and reads the presentation at one parent time. NaN means "shows nothing":
// the model value (0.25) stays.
TEST(ca_Timing, RepeatReverseBeginSpeedAndFill) {
    struct Case {
        const char* name;
        std::function<void(BasicAnimation&)> setup;
        double time;
        double expected;
    };
    const Case cases[] = {
        {"halfway", [](auto&) {}, 0.5, 0.5},
        {"end without fill shows the model", [](auto&) {}, 1.0, none},
        {"fill forwards holds the end", [](auto& a) { a.fillMode = FillMode::forwards; }, 1.5, 1.0},
        {"before the begin time", [](auto& a) { a.beginTime = 2; }, 1.0, none},
        {"fill backwards holds the start", [](auto& a) { a.beginTime = 2; a.fillMode = FillMode::backwards; }, 1.0, 0.0},
        {"fill both before", [](auto& a) { a.beginTime = 2; a.fillMode = FillMode::both; }, 0.0, 0.0},
        {"negative begin offset is already under way", [](auto& a) { a.beginTime = -0.8; }, 0.0, 0.8},
        {"second iteration", [](auto& a) { a.repeatCount = 2; }, 1.25, 0.25},
        {"after two iterations", [](auto& a) { a.repeatCount = 2; }, 2.0, none},
        {"fractional repeat ends mid-way", [](auto& a) { a.repeatCount = 1.5; a.fillMode = FillMode::forwards; }, 9, 0.5},
        {"repeat for ever", [](auto& a) { a.repeatCount = std::numeric_limits<float>::infinity(); }, 1000.25, 0.25},
        {"largest float repeats too", [](auto& a) { a.repeatCount = std::numeric_limits<float>::max(); }, 1e6 + 0.5, 0.5},
        {"repeat duration", [](auto& a) { a.repeatDuration = 1.5; }, 1.25, 0.25},
        {"past the repeat duration", [](auto& a) { a.repeatDuration = 1.5; }, 1.6, none},
        {"autoreverse on the way back", [](auto& a) { a.autoreverses = true; }, 1.25, 0.75},
        {"autoreverse ends where it began", [](auto& a) { a.autoreverses = true; a.fillMode = FillMode::forwards; }, 3, 0.0},
        {"autoreverse repeats whole cycles", [](auto& a) { a.autoreverses = true; a.repeatCount = 2; }, 2.5, 0.5},
        {"autoreverse and 1.5 repeats end at the far end", [](auto& a) { a.autoreverses = true; a.repeatCount = 1.5; a.fillMode = FillMode::forwards; }, 4, 1.0},
        {"speed 2", [](auto& a) { a.speed = 2; }, 0.25, 0.5},
        {"speed 0.5", [](auto& a) { a.speed = 0.5; }, 1.0, 0.5},
        {"speed 0 freezes at the time offset", [](auto& a) { a.speed = 0; a.timeOffset = 0.3; }, 50, 0.3},
        {"time offset", [](auto& a) { a.timeOffset = 0.3; }, 0.2, 0.5},
        {"no duration means a quarter second", [](auto& a) { a.duration = 0; }, 0.125, 0.5},
        {"ease in-out is symmetric", [](auto& a) { a.timingFunction = MediaTimingFunction::easeInEaseOut(); }, 0.5, 0.5},
    };
    for (const Case& c : cases) {
        auto a = BasicAnimation::make("opacity");
        a->fromValue = 0.0;
        a->toValue = 1.0;
        a->duration = 1;
        c.setup(*a);
        LayerProperties model;
        model.opacity = 0.25;
        LayerProperties shown = model;
        a->apply(c.time, 0, model, shown);
        if (std::isnan(c.expected)) EXPECT_EQ(shown.opacity, 0.25) << c.name;
        else EXPECT_NEAR(shown.opacity, c.expected, 1e-9) << c.name;
    }
}

TEST(ca_Timing, FromToAndByResolveAgainstTheModel) {
    struct Case {
        const char* name;
        std::optional<double> from, to, by;
        double atHalf;
    };
    // The model value is 10.
    const Case cases[] = {
        {"from and to", 0, 4, std::nullopt, 2},
        {"from and by", 2, std::nullopt, 4, 4},
        {"by and to", std::nullopt, 4, 2, 3},
        {"from only goes to the model", 0, std::nullopt, std::nullopt, 5},
        {"to only starts at the model", std::nullopt, 20, std::nullopt, 15},
        {"by only adds to the model", std::nullopt, std::nullopt, 4, 12},
    };
    for (const Case& c : cases) {
        auto a = BasicAnimation::make("lineWidth");
        a->duration = 1;
        if (c.from) a->fromValue = *c.from;
        if (c.to) a->toValue = *c.to;
        if (c.by) a->byValue = *c.by;
        LayerProperties model;
        model.lineWidth = 10;
        LayerProperties shown = model;
        a->apply(0.5, 0, model, shown);
        EXPECT_NEAR(shown.lineWidth, c.atHalf, 1e-9) << c.name;
    }
}

TEST(ca_Timing, KeyTimesWithDuplicatesEarlyEndsAndShortLists) {
    struct Case {
        const char* name;
        std::vector<double> values, keyTimes;
        std::vector<MediaTimingFunction> functions;
        double fraction, expected;
    };
    const std::vector<double> jumpValues{0, 0, 1.3, 2}, jumpTimes{0, 0.45, 0.45, 1};
    const Case cases[] = {
        {"before a jump", jumpValues, jumpTimes, {}, 0.44, 0},
        {"at a duplicate key time the later value shows", jumpValues, jumpTimes, {}, 0.45, 1.3},
        {"after the jump", jumpValues, jumpTimes, {}, 0.725, 1.65},
        {"early end holds the last value", {1, 0.3, 1}, {0, 0.8, 0.9}, {}, 0.95, 1},
        {"early end, first segment", {1, 0.3, 1}, {0, 0.8, 0.9}, {}, 0.4, 0.65},
        {"early end, second segment", {1, 0.3, 1}, {0, 0.8, 0.9}, {}, 0.85, 0.65},
        {"two frames ending at 0.7", {0.1, 1}, {0, 0.7}, {}, 0.35, 0.55},
        {"two frames past 0.7", {0.1, 1}, {0, 0.7}, {}, 1.0, 1},
        {"mismatched key times are spaced evenly", {0, 1, 0}, {0, 0.9}, {}, 0.75, 0.5},
        {"no key times are spaced evenly", {0, 10, 20, 30}, {}, {}, 0.5, 15},
        {"first segment paced", {0, 1, 2}, {0, 0.5, 1}, {MediaTimingFunction::easeIn()}, 0.25, MediaTimingFunction::easeIn().evaluate(0.5)},
        {"segments past the list are linear", {0, 1, 2}, {0, 0.5, 1}, {MediaTimingFunction::easeIn()}, 0.75, 1.5},
    };
    for (const Case& c : cases) {
        auto a = KeyframeAnimation::make("opacity");
        a->duration = 1;
        for (double v : c.values) a->values.push_back(v);
        a->keyTimes = c.keyTimes;
        a->timingFunctions = c.functions;
        a->fillMode = FillMode::forwards;
        LayerProperties model, shown;
        a->apply(c.fraction, 0, model, shown);
        EXPECT_NEAR(shown.opacity, c.expected, 1e-9) << c.name;
    }
}

// The arc of the loading overlay: inside a 1.7 s group that repeats for ever, the end of the
// stroke grows over 0.7 s, its start follows from 0.5 s to 1.7 s, and the whole turns once.
// Outside each child's own active time the model value shows, which makes the arc chase itself.
std::shared_ptr<AnimationGroup> strokeSpin() {
    auto curve = MediaTimingFunction::controlPoints(0.4, 0, 0.2, 1);
    auto rotation = BasicAnimation::make("transform.rotation");
    rotation->byValue = static_cast<double>(static_cast<float>(2 * pi));
    rotation->timingFunction = MediaTimingFunction::linear();
    auto end = BasicAnimation::make("strokeEnd");
    end->fromValue = 0.0;
    end->toValue = 1.0;
    end->duration = 0.7;
    end->timingFunction = curve;
    auto start = BasicAnimation::make("strokeStart");
    start->fromValue = 0.0;
    start->toValue = 1.0;
    start->duration = 1.2;
    start->beginTime = 0.5;
    start->timingFunction = curve;
    auto group = AnimationGroup::make({rotation, end, start});
    group->duration = 1.7;
    group->repeatCount = std::numeric_limits<float>::infinity();
    group->removedOnCompletion = false;
    group->fillMode = FillMode::forwards;
    return group;
}

TEST(ca_Timing, GroupChildrenRunOnTheGroupsTimeline) {
    auto curve = MediaTimingFunction::controlPoints(0.4, 0, 0.2, 1);
    auto group = strokeSpin();
    struct Case { double time, strokeStart, strokeEnd, rotation; };
    const Case cases[] = {
        {0, 0, 0, 0},
        {0.35, 0, curve.evaluate(0.5), 0.35 / 1.7 * 2 * pi},
        {0.85, curve.evaluate(0.35 / 1.2), 1, 0.85 / 1.7 * 2 * pi},  // end: model value 1
        {1.2, curve.evaluate(0.7 / 1.2), 1, 1.2 / 1.7 * 2 * pi},
        {1.7 + 0.35, 0, curve.evaluate(0.5), 0.35 / 1.7 * 2 * pi},   // the next cycle
    };
    for (const Case& c : cases) {
        LayerProperties model, shown;
        group->apply(c.time, 0, model, shown);
        EXPECT_NEAR(shown.strokeStart, c.strokeStart, 1e-6) << c.time;
        EXPECT_NEAR(shown.strokeEnd, c.strokeEnd, 1e-6) << c.time;
        double angle = std::remainder(gfx::TransformComponents::of(shown.transform).rotationZ - c.rotation, 2 * pi);
        EXPECT_NEAR(angle, 0, 1e-5) << c.time;
    }
}

TEST(ca_Timing, ComponentKeyPathsRecomposeTheTransform) {
    auto scale = KeyframeAnimation::make("transform.scale");
    scale->values = {1.0, 0.6, 1.0};
    scale->keyTimes = {0, 0.5, 1};
    auto rotate = KeyframeAnimation::make("transform.rotation.z");
    rotate->values = {0.0, pi, 2 * pi};
    auto move = KeyframeAnimation::make("transform.translation");
    move->values = {gfx::Size{0, 0}, gfx::Size{40, 0}};
    auto group = AnimationGroup::make({scale, rotate, move});
    group->duration = 1;
    LayerProperties model, shown;
    group->apply(0.5, 0, model, shown);
    // Scale 0.6, a half turn, then 20 to the right: (10, 0) lands at (-6 + 20, 0).
    gfx::Point p = shown.transform.project({10, 0});
    EXPECT_NEAR(p.x, 14, 1e-9);
    EXPECT_NEAR(p.y, 0, 1e-9);
}

TEST(ca_Timing, PathAnimationsFollowTheSegments) {
    auto a = KeyframeAnimation::make("position");
    a->duration = 1;
    a->path = gfx::Path::arc({50, 50}, 20, 3 * pi / 2, 7 * pi / 2, true);  // a full turn from the top
    LayerProperties model, shown;
    struct Case { double t; gfx::Point at; };
    const Case cases[] = {{0, {50, 30}}, {0.25, {70, 50}}, {0.5, {50, 70}}, {0.75, {30, 50}}, {1, {50, 30}}};
    for (const Case& c : cases) {
        a->fillMode = FillMode::forwards;
        a->apply(c.t, 0, model, shown);
        EXPECT_NEAR(shown.position.x, c.at.x, 1e-9) << c.t;
        EXPECT_NEAR(shown.position.y, c.at.y, 1e-9) << c.t;
    }
}

TEST(ca_Timing, BezierAndSpringCurves) {
    auto ease = MediaTimingFunction::easeIn();
    EXPECT_EQ(ease.evaluate(0), 0);
    EXPECT_NEAR(ease.evaluate(1), 1, 1e-9);
    EXPECT_LT(ease.evaluate(0.3), 0.3);
    auto overshoot = MediaTimingFunction::controlPoints(0.2, 0.68, 0.18, 1.08);
    double peak = 0;
    for (int i = 0; i <= 100; ++i) peak = std::max(peak, overshoot.evaluate(i / 100.0));
    EXPECT_GT(peak, 1);
    auto spring = MediaTimingFunction::spring(0.5);
    EXPECT_EQ(spring.evaluate(0), 0);
    EXPECT_EQ(spring.evaluate(1), 1);
    double springPeak = 0;
    for (int i = 0; i <= 100; ++i) springPeak = std::max(springPeak, spring.evaluate(i / 100.0));
    EXPECT_GT(springPeak, 1.1);  // a damping of 0.5 overshoots visibly
    EXPECT_NEAR(spring.evaluate(0.95), 1, 0.01);
}

} // namespace
} // namespace ca
