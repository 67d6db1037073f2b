#include "platform/gfx/Path.h"

#include <gtest/gtest.h>

#include <numbers>

namespace gfx {
namespace {

using std::numbers::pi;

int cubics(const Path& p) {
    int n = 0;
    for (const auto& e : p.elements()) n += e.kind == Path::Kind::cubic;
    return n;
}

TEST(gfx_Path, ArcsAreSplitIntoQuarterTurnsInTheirDirection) {
    struct Case { double start, end; bool cw; int pieces; double sweep; };
    const Case cases[] = {
        {0, 2 * pi, false, 4, 2 * pi},             // a full circle either way
        {-pi / 2, 3 * pi / 2, true, 4, 2 * pi},
        {0, pi / 2, true, 1, pi / 2},
        {0, pi / 2, false, 3, 3 * pi / 2},         // the long way round
        {-3 * pi / 4, -pi / 4, false, 3, 3 * pi / 2},
        {-3 * pi / 4, -pi / 4, true, 1, pi / 2},
        {-pi / 6, -5 * pi / 6, false, 2, 2 * pi / 3},
        {1, 1, true, 0, 0},
    };
    for (const Case& c : cases) {
        Path p = Path::arc({0, 0}, 10, c.start, c.end, c.cw);
        EXPECT_EQ(cubics(p), c.pieces) << c.start << " " << c.end;
        EXPECT_NEAR(Path::length(p.flatten(0.001)), 10 * c.sweep, 0.01) << c.start << " " << c.end;
    }
}

TEST(gfx_Path, ClockwiseMeansIncreasingAngleOnAYDownScreen) {
    Path p = Path::arc({0, 0}, 10, 0, pi, true);
    Point mid = Path::pointAtFraction(p.flatten(0.01), 0.5);
    EXPECT_NEAR(mid.x, 0, 0.01);
    EXPECT_NEAR(mid.y, 10, 0.01);  // through +y, the bottom of the screen
}

TEST(gfx_Path, FlatteningStaysOnTheCircle) {
    Path p = Path::arc({5, 5}, 50, 0, 2 * pi, true);
    for (const auto& line : p.flatten(0.05))
        for (Point q : line.points) EXPECT_NEAR(q.distanceTo({5, 5}), 50, 0.06);
}

TEST(gfx_Path, TrimKeepsTheFractionOfTheLength) {
    Path p;
    p.moveTo({0, 0});
    p.lineTo({10, 0});
    p.lineTo({10, 10});
    auto lines = p.flatten(0.1);
    EXPECT_EQ(Path::length(lines), 20);
    auto part = Path::trim(lines, 0.25, 0.75);
    ASSERT_EQ(part.size(), 1u);
    EXPECT_EQ(part[0].points.front(), Point(5, 0));
    EXPECT_EQ(part[0].points.back(), Point(10, 5));
    EXPECT_EQ(Path::length(part), 10);
    EXPECT_TRUE(Path::trim(lines, 0.6, 0.6).empty());
    EXPECT_TRUE(Path::trim(lines, 0.8, 0.2).empty());
}

TEST(gfx_Path, RoundedRectsClampTheirRadius) {
    Path p = Path::roundedRect({0, 0, 20, 10}, 50);  // radius limited to 5
    EXPECT_EQ(p.bounds(), Rect(0, 0, 20, 10));
    EXPECT_NEAR(Path::length(p.flatten(0.001)), 2 * 10 + 2 * pi * 5, 0.01);
    Path closed = Path::rect({0, 0, 4, 4});
    auto lines = closed.flatten(0.1);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_TRUE(lines[0].closed);
    EXPECT_EQ(Path::length(lines), 16);
}

} // namespace
} // namespace gfx
