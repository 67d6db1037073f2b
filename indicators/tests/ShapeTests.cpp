#include "indicators/ActivityIndicatorShape.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace indicators {
namespace {

// The box of the drawn outline (the flattened path; control points do not count).
gfx::Rect outline(const gfx::Path& path) {
    double x0 = 1e9, y0 = 1e9, x1 = -1e9, y1 = -1e9;
    for (const auto& line : path.flatten(0.001))
        for (const auto& p : line.points) {
            x0 = std::min(x0, p.x);
            y0 = std::min(y0, p.y);
            x1 = std::max(x1, p.x);
            y1 = std::max(y1, p.y);
        }
    return {x0, y0, x1 - x0, y1 - y0};
}

void expectNear(const gfx::Rect& actual, const gfx::Rect& expected, const char* name) {
    EXPECT_NEAR(actual.x(), expected.x(), 0.01) << name;
    EXPECT_NEAR(actual.y(), expected.y(), 0.01) << name;
    EXPECT_NEAR(actual.width(), expected.width(), 0.01) << name;
    EXPECT_NEAR(actual.height(), expected.height(), 0.01) << name;
}

// A 40 x 60 size shows which side each shape measures by: round shapes take the radius from the
// width (20) around (20, 30).
TEST(ActivityIndicatorShape, PathsPaintAndFrameOfEveryCase) {
    const double k = 20 * std::sqrt(0.5);  // a 45-degree point of the radius-20 circle
    const gfx::Color colour = gfx::Color::rgb(255, 91, 120);
    struct Case {
        const char* name;
        ActivityIndicatorShape shape;
        bool filled;
        double lineWidth;  // 0: not stroked
        gfx::Rect bounds;
    };
    using S = ActivityIndicatorShape;
    const Case cases[] = {
        {"circle", S::circle, true, 0, {0, 10, 40, 40}},
        {"circleSemi", S::circleSemi, true, 0, {20 - 20 * std::cos(M_PI / 6), 10, 40 * std::cos(M_PI / 6), 10}},
        {"ring", S::ring, false, 2, {0, 10, 40, 40}},
        // Top arc clockwise, bottom arc counter-clockwise: two short arcs. The move between them
        // is scaled by the height, so with h > w it starts below the ring (30 + 30 * 0.707).
        {"ringTwoHalfVertical", S::ringTwoHalfVertical, false, 2, {20 - k, 10, 2 * k, 20 + 30 * std::sqrt(0.5)}},
        {"ringTwoHalfHorizontal", S::ringTwoHalfHorizontal, false, 2,
         {0, 30 - 30 * std::sqrt(0.5), 40, k + 30 * std::sqrt(0.5)}},
        // Counter-clockwise from -3pi/4 to -pi/4: the long way round, everything but the top.
        {"ringThirdFour", S::ringThirdFour, false, 2, {0, 30 - k, 40, 20 + k}},
        {"rectangle", S::rectangle, true, 0, {0, 0, 40, 60}},
        {"triangle", S::triangle, true, 0, {0, 15, 40, 30}},
        {"line", S::line, true, 0, {0, 0, 40, 60}},
        {"pacman", S::pacman, false, 20, {10, 20, 20, 20}},
        {"stroke", S::stroke, false, 2, {0, 10, 40, 40}},
    };
    for (const auto& c : cases) {
        auto layer = shapeLayer(c.shape, {40, 60}, colour);
        EXPECT_EQ(layer->frame(), (gfx::Rect{0, 0, 40, 60})) << c.name;
        EXPECT_FALSE(layer->backgroundColor()) << c.name;
        EXPECT_EQ(layer->fillColor(), c.filled ? std::optional(colour) : std::nullopt) << c.name;
        EXPECT_EQ(layer->strokeColor(), c.lineWidth > 0 ? std::optional(colour) : std::nullopt) << c.name;
        if (c.lineWidth > 0) {
            EXPECT_EQ(layer->lineWidth(), c.lineWidth) << c.name;
        }
        expectNear(outline(layer->path()), c.bounds, c.name);
        EXPECT_EQ(layer->superlayer(), nullptr) << c.name;
    }
}

TEST(ActivityIndicatorShape, OpenAndClosedOutlines) {
    auto isClosed = [](ActivityIndicatorShape s) {
        auto layer = shapeLayer(s, {10, 10}, gfx::Color::black());
        const auto& e = layer->path().elements();
        return !e.empty() && e.back().kind == gfx::Path::Kind::close;
    };
    EXPECT_FALSE(isClosed(ActivityIndicatorShape::rectangle));
    EXPECT_TRUE(isClosed(ActivityIndicatorShape::triangle));
    EXPECT_TRUE(isClosed(ActivityIndicatorShape::circleSemi));
    // The stroke starts at the top, so trimming its end grows the arc from there.
    auto strokeLayer = shapeLayer(ActivityIndicatorShape::stroke, {10, 10}, gfx::Color::black());
    const auto& stroke = strokeLayer->path().elements();
    EXPECT_NEAR(stroke.front().points[0].x, 5, 1e-9);
    EXPECT_NEAR(stroke.front().points[0].y, 0, 1e-9);
}

TEST(ActivityIndicatorShape, ZeroSizeGivesZeroFramesWithoutFailing) {
    for (int s = 0; s <= static_cast<int>(ActivityIndicatorShape::stroke); ++s) {
        auto layer = shapeLayer(static_cast<ActivityIndicatorShape>(s), {0, 0}, gfx::Color::black());
        EXPECT_EQ(layer->frame(), gfx::Rect{}) << s;
        EXPECT_TRUE(layer->path().bounds().isEmpty()) << s;
    }
}

} // namespace
} // namespace indicators
