#include "platform/gfx/AffineTransform.h"
#include "platform/gfx/Rect.h"
#include "platform/gfx/Transform3D.h"

#include <gtest/gtest.h>

#include <numbers>

namespace gfx {
namespace {

using std::numbers::pi;

void expectNear(const Transform3D& a, const Transform3D& b, double eps = 1e-9) {
    auto ea = a.elements(), eb = b.elements();
    for (int i = 0; i < 16; ++i) EXPECT_NEAR(ea[i], eb[i], eps) << "element " << i;
}

TEST(gfx_Geometry, RectEdgesComeFromTheStandardizedRectangle) {
    Rect r(10, 20, -4, 6);
    EXPECT_EQ(r.minX(), 6);
    EXPECT_EQ(r.maxX(), 10);
    EXPECT_EQ(r.standardized(), Rect(6, 20, 4, 6));
    EXPECT_TRUE(Rect(0, 0, 10, 10).contains({0, 0}));
    EXPECT_FALSE(Rect(0, 0, 10, 10).contains({10, 5}));  // far edges are outside
    EXPECT_EQ(Rect(0, 0, 10, 10).intersection(Rect(5, 5, 10, 10)), Rect(5, 5, 5, 5));
    EXPECT_TRUE(Rect(0, 0, 10, 10).intersection(Rect(20, 20, 1, 1)).isEmpty());
    EXPECT_EQ(Rect(0, 0, 10, 10).inset({1, 2, 3, 4}), Rect(2, 1, 4, 6));
}

TEST(gfx_Geometry, AffineConcatAppliesTheReceiverFirst) {
    auto t = AffineTransform::scale(2, 2).concat(AffineTransform::translation(10, 0));
    EXPECT_EQ(t.apply(Point{1, 1}), Point(12, 2));
    auto u = AffineTransform::translation(10, 0).concat(AffineTransform::scale(2, 2));
    EXPECT_EQ(u.apply(Point{1, 1}), Point(22, 2));
    auto r = AffineTransform::rotation(pi / 2).apply(Point{1, 0});
    EXPECT_NEAR(r.x, 0, 1e-12);
    EXPECT_NEAR(r.y, 1, 1e-12);  // +x turns towards +y
    auto back = t.inverted().apply(t.apply(Point{3, -7}));
    EXPECT_NEAR(back.x, 3, 1e-12);
    EXPECT_NEAR(back.y, -7, 1e-12);
    EXPECT_EQ(AffineTransform::scale(2, 3).apply(Rect(1, 1, 2, 2)), Rect(2, 3, 4, 6));
}

TEST(gfx_Geometry, Transform3DMatchesAffineInThePlane) {
    auto r3 = Transform3D::rotation(0.3, 0, 0, 1).concat(Transform3D::translation(5, 6, 0));
    auto r2 = AffineTransform::rotation(0.3).concat(AffineTransform::translation(5, 6));
    EXPECT_TRUE(r3.isAffine());
    Point p = r3.project({2, 3}), q = r2.apply(Point{2, 3});
    EXPECT_NEAR(p.x, q.x, 1e-12);
    EXPECT_NEAR(p.y, q.y, 1e-12);
    expectNear(Transform3D::fromAffine(r2), r3);
    expectNear(r3.concat(r3.inverted()), Transform3D::identity());
}

TEST(gfx_Geometry, PerspectiveShrinksTheFarSide) {
    // A turn about y followed by a perspective of m34 = -0.01: the side turned away (+x goes to
    // -z) comes out smaller than the near side.
    Transform3D perspective;
    perspective.m34 = -0.01;
    Transform3D t = Transform3D::rotation(pi / 3, 0, 1, 0).concat(perspective);
    EXPECT_FALSE(t.isAffine());
    bool ok = false;
    Point far = t.project({20, 20}, &ok);
    EXPECT_TRUE(ok);
    Point near = t.project({-20, 20});
    EXPECT_LT(std::fabs(far.y), 20);
    EXPECT_GT(std::fabs(near.y), 20);
}

TEST(gfx_Geometry, InterpolationGoesThroughTheDecomposedParts) {
    auto from = Transform3D::identity();
    auto to = Transform3D::rotation(pi / 2, 0, 0, 1).concat(Transform3D::translation(10, 0, 0));
    expectNear(from.interpolate(to, 0.5), Transform3D::rotation(pi / 4, 0, 0, 1).concat(Transform3D::translation(5, 0, 0)));
    expectNear(from.interpolate(to, 1), to);
    auto s = Transform3D::scale(1, 1, 1).interpolate(Transform3D::scale(3, 0.5, 1), 0.5);
    expectNear(s, Transform3D::scale(2, 0.75, 1));
    // Flips keep their perspective through decomposition: halfway from a flat square to one
    // turned half over about x, the square stands at a quarter turn and its far edge is shorter.
    Transform3D x = Transform3D::rotation(pi, 1, 0, 0);
    x.m34 = -0.01;
    Transform3D y;
    y.m34 = -0.01;
    Transform3D flat = y.concat(y), flipped = x.concat(y);
    expectNear(flat.interpolate(flipped, 0), flat);
    expectNear(flat.interpolate(flipped, 1), flipped, 1e-9);
    Transform3D mid = flat.interpolate(flipped, 0.4);
    Point top = mid.project({0, -20}), bottom = mid.project({0, 20});
    EXPECT_GT(std::fabs(top.y - bottom.y), 0);
    EXPECT_NE(mid.project({20, -20}).x, mid.project({20, 20}).x);
}

TEST(gfx_Geometry, ComponentsRecomposeAsTranslateRotateScale) {
    struct Case { TransformComponents c; };
    const Case cases[] = {
        {{1, 2, 0, 2, 3, 1, 0, 0, 0.5}},
        {{-4, 0, 0, 0.5, 0.5, 1, 0, 0, -2.5}},
        {{0, 0, 0, 1, 1, 1, 0.4, 0, 0}},
        {{0, 0, 0, 1, 1, 1, 0, 0.7, 1.0}},
    };
    for (const Case& k : cases) {
        TransformComponents back = TransformComponents::of(k.c.compose());
        EXPECT_NEAR(back.translationX, k.c.translationX, 1e-9);
        EXPECT_NEAR(back.translationY, k.c.translationY, 1e-9);
        EXPECT_NEAR(back.scaleX, k.c.scaleX, 1e-9);
        EXPECT_NEAR(back.scaleY, k.c.scaleY, 1e-9);
        EXPECT_NEAR(back.rotationX, k.c.rotationX, 1e-9);
        EXPECT_NEAR(back.rotationY, k.c.rotationY, 1e-9);
        EXPECT_NEAR(back.rotationZ, k.c.rotationZ, 1e-9);
    }
    // Scale is applied before the rotation and the translation.
    auto t = TransformComponents{10, 0, 0, 2, 2, 1, 0, 0, pi / 2}.compose();
    Point p = t.project({1, 0});
    EXPECT_NEAR(p.x, 10, 1e-9);
    EXPECT_NEAR(p.y, 2, 1e-9);
}

} // namespace
} // namespace gfx
