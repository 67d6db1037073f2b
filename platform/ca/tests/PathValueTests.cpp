#include "platform/ca/Animation.h"
#include "platform/ca/ShapeLayer.h"
#include "platform/ca/tests/CaTest.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

namespace ca {
namespace {

using std::numbers::pi;

// A key-frame animation of paths under "path", one second, linear, read at a parent time.
LayerProperties shownAt(const KeyframeAnimation& a, const LayerProperties& model, double time) {
    LayerProperties p = model;
    a.apply(time, 0, model, p);
    return p;
}

TEST(ca_PathValue, SameStructureInterpolatesPointByPointOtherwiseJumpsAtTheEnd) {
    gfx::Path low = gfx::Path::rect({0, 40, 10, 10});
    gfx::Path high = gfx::Path::rect({0, 10, 10, 40});
    gfx::Path circle = gfx::Path::ellipse({0, 0, 10, 10});
    struct Case {
        const char* name;
        gfx::Path from, to;
        double t;
        gfx::Path expected;
    };
    const Case cases[] = {
        {"rectangles halfway", low, high, 0.5, gfx::Path::rect({0, 25, 10, 25})},
        {"rectangles at the start", low, high, 0, low},
        {"different structure holds the first", low, circle, 0.99, low},
        {"different structure jumps at the end", low, circle, 1, circle},
    };
    for (const auto& c : cases) {
        auto v = interpolate(c.from, c.to, c.t);
        ASSERT_TRUE(std::holds_alternative<gfx::Path>(v)) << c.name;
        EXPECT_EQ(std::get<gfx::Path>(v), c.expected) << c.name;
    }
}

TEST(ca_PathValue, PathKeyPathIsReadWrittenAndAnimated) {
    LayerProperties model;
    model.path = gfx::Path::rect({0, 0, 4, 4});
    ASSERT_TRUE(model.get("path"));
    EXPECT_EQ(std::get<gfx::Path>(*model.get("path")), model.path);
    EXPECT_FALSE(model.set("path", 1.0));

    auto a = KeyframeAnimation::make("path");
    a->values = {gfx::Path::rect({0, 10, 2, 0}), gfx::Path::rect({0, 0, 2, 10}), gfx::Path::rect({0, 5, 2, 5})};
    a->duration = 1;
    // Additive paths replace the model's: the bar shows the animated level, not the model square.
    a->additive = true;
    EXPECT_EQ(shownAt(*a, model, 0.25).path, gfx::Path::rect({0, 5, 2, 5}));
    EXPECT_EQ(shownAt(*a, model, 0.5).path, gfx::Path::rect({0, 0, 2, 10}));
    EXPECT_EQ(shownAt(*a, model, 0.75).path, gfx::Path::rect({0, 2.5, 2, 7.5}));
}

TEST(ca_PathValue, AdditiveAddsToTheModelValue) {
    LayerProperties model;
    model.opacity = 0.5;
    model.position = {10, 20};
    model.transform = gfx::Transform3D::translation(5, 0, 0);
    struct Case {
        const char* keyPath;
        PropertyValue value;
        bool additive;
        PropertyValue expected;
    };
    const Case cases[] = {
        {"opacity", 0.25, true, 0.75},
        {"opacity", 0.25, false, 0.25},
        {"position", gfx::Point{1, 2}, true, gfx::Point{11, 22}},
        {"bounds.size", gfx::Size{3, 4}, true, gfx::Point{3, 4}},
        {"transform", gfx::Transform3D::translation(0, 7, 0), true, gfx::Transform3D::translation(5, 7, 0)},
    };
    for (const auto& c : cases) {
        auto a = BasicAnimation::make(c.keyPath);
        a->fromValue = c.value;
        a->toValue = c.value;
        a->duration = 1;
        a->additive = c.additive;
        LayerProperties p = model;
        a->apply(0.5, 0, model, p);
        auto got = p.get(c.keyPath);
        ASSERT_TRUE(got) << c.keyPath;
        if (auto t = std::get_if<gfx::Transform3D>(&*got)) {
            const auto x = t->elements(), y = std::get<gfx::Transform3D>(c.expected).elements();
            for (size_t i = 0; i < 16; ++i) EXPECT_NEAR(x[i], y[i], 1e-9) << c.keyPath;
        } else if (auto s = std::get_if<gfx::Size>(&*got)) {
            EXPECT_EQ(gfx::Point(s->width, s->height), std::get<gfx::Point>(c.expected)) << c.keyPath;
        } else {
            EXPECT_EQ(*got, c.expected) << c.keyPath << " additive " << c.additive;
        }
    }
}

// An arc of two turns keeps them when followed: a quarter of the time is half a turn.
TEST(ca_PathValue, TwoTurnArcIsFollowedTwice) {
    gfx::Path path;
    path.addArcKeepingSweep({50, 50}, 20, 3 * pi / 2, 11 * pi / 2, true);
    size_t cubics = 0;
    for (const auto& e : path.elements()) cubics += e.kind == gfx::Path::Kind::cubic;
    EXPECT_EQ(cubics, 8u);
    auto a = KeyframeAnimation::make("position");
    a->path = path;
    a->duration = 3.8;
    LayerProperties model;
    struct Case {
        double time;
        gfx::Point expected;
    };
    const Case cases[] = {
        {0, {50, 30}}, {0.475, {70, 50}}, {0.95, {50, 70}}, {1.9, {50, 30}}, {2.375, {70, 50}}, {2.85, {50, 70}},
    };
    for (const auto& c : cases) {
        LayerProperties p = model;
        a->apply(c.time, 0, model, p);
        EXPECT_NEAR(p.position.x, c.expected.x, 1e-6) << c.time;
        EXPECT_NEAR(p.position.y, c.expected.y, 1e-6) << c.time;
    }
    // The drawing arc stops at one turn.
    size_t drawn = 0;
    const gfx::Path twoTurns = gfx::Path::arc({50, 50}, 20, 3 * pi / 2, 11 * pi / 2, true);
    for (const auto& e : twoTurns.elements())
        drawn += e.kind == gfx::Path::Kind::cubic;
    EXPECT_EQ(drawn, 4u);
}

} // namespace
} // namespace ca
