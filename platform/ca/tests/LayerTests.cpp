#include "platform/ca/Layer.h"
#include "platform/ca/MediaTime.h"
#include "platform/ca/ShapeLayer.h"
#include "CaTest.h"

#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <numbers>

namespace ca {
namespace {

using ca_Layer = CaTest;

TEST_F(ca_Layer, FrameComesFromPositionAnchorBoundsAndTransform) {
    auto layer = Layer::make();
    layer->setFrame({10, 20, 100, 50});
    EXPECT_EQ(layer->position(), gfx::Point(60, 45));
    EXPECT_EQ(layer->bounds(), gfx::Rect(0, 0, 100, 50));
    layer->setAnchorPoint({0, 0});
    EXPECT_EQ(layer->frame(), gfx::Rect(60, 45, 100, 50));
    layer->setAnchorPoint({0.5, 0.5});
    layer->setAffineTransform(gfx::AffineTransform::scale(2, 2));
    EXPECT_EQ(layer->frame(), gfx::Rect(-40, -5, 200, 100));
}

// A frame that gives the geometry the layer has, to the bit, changes nothing and tells nobody.
TEST_F(ca_Layer, SettingTheFrameItHasTellsNobody) {
    struct Delegate : LayerDelegate {
        int told = 0;
        void displayLayer(Layer&) override {}
        void layerGeometryDidChange(Layer&) override { ++told; }
    };
    auto delegate = std::make_shared<Delegate>();
    auto layer = Layer::make();
    layer->setDelegate(delegate);
    int changes = 0;
    Layer::setChangeObserver([&] { ++changes; });
    layer->setFrame({10, 20, 100, 50});
    const int toldFirst = delegate->told, changesFirst = changes;
    EXPECT_GT(toldFirst, 0);
    EXPECT_TRUE(layer->hasFrame({10, 20, 100, 50}));
    EXPECT_FALSE(layer->hasFrame({10, 20, 100, 51}));
    layer->setFrame({10, 20, 100, 50});
    EXPECT_EQ(delegate->told, toldFirst);
    EXPECT_EQ(changes, changesFirst);
    layer->setFrame({10, 21, 100, 50});  // moved
    EXPECT_GT(delegate->told, toldFirst);
    EXPECT_EQ(layer->position(), gfx::Point(60, 46));
    layer->setAnchorPoint({-0.0, 0.0});
    layer->setFrame({0.0, 0.0, 100, 50});
    EXPECT_FALSE(std::signbit(layer->position().x));
    const int toldBefore = delegate->told;
    layer->setFrame({-0.0, 0.0, 100, 50});  // a zero of the other sign is a change of the position
    EXPECT_GT(delegate->told, toldBefore);
    EXPECT_TRUE(std::signbit(layer->position().x));
    Layer::setChangeObserver(nullptr);
}

// Without a transform the frame and the conversion skip the matrix products: the values must be
// the products' own, bit for bit (signs of zero included), with the products kept for the rest.
TEST_F(ca_Layer, AnOffsetWithoutTransformConvertsFramesAndPointsExactlyAsTheMatrixProductDoes) {
    auto product = [](const LayerProperties& p) {
        gfx::Point a = p.anchorInBounds();
        return gfx::Transform3D::translation(-a.x, -a.y, 0).concat(p.transform).concat(
            gfx::Transform3D::translation(p.position.x, p.position.y, p.zPosition));
    };
    auto sameBits = [](double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0 || (std::isnan(a) && std::isnan(b)); };
    const double inf = std::numeric_limits<double>::infinity();
    gfx::Transform3D negativeZeros;
    negativeZeros.m12 = negativeZeros.m21 = negativeZeros.m43 = -0.0;  // still the identity
    struct Case {
        const char* name;
        gfx::Rect bounds;
        gfx::Point position, anchor;
        double z = 0;
        gfx::Transform3D transform{};
    } cases[] = {
        {"plain", {0, 0, 100, 50}, {60, 45}, {0.5, 0.5}},
        {"fractions", {0.1, 0.7, 33.3, 17.9}, {12.345, 678.9}, {0.3, 0.9}},
        {"scrolled bounds", {0, 4812.5, 375, 667}, {187.5, 333.5}, {0.5, 0.5}},
        {"negative size", {10, 10, -40, -20}, {-5, -7}, {0.5, 0.5}},
        {"zeros of both signs", {-0.0, -0.0, 0, 0}, {-0.0, 0.0}, {0, 0}},
        {"cancelling offset", {0, 0, 20, 20}, {10, 10}, {0.5, 0.5}},
        {"z position", {0, 0, 30, 30}, {15, 15}, {0.5, 0.5}, 4},
        {"identity with -0", {0, 0, 30, 30}, {15, 15}, {0.5, 0.5}, 0, negativeZeros},
        {"huge", {1e300, -1e300, 1e300, 1e300}, {1e300, 1e-300}, {0.5, 0.5}},
        {"overflowing anchor", {0, 0, 1.7e308, 1.7e308}, {0, 0}, {2, 2}},
        {"infinite position", {0, 0, 10, 10}, {inf, 5}, {0.5, 0.5}},
        {"scaled (matrix path)", {0, 0, 100, 50}, {60, 45}, {0.5, 0.5}, 0, gfx::Transform3D::scale(2, 2, 1)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        LayerProperties p;
        p.bounds = c.bounds, p.position = c.position, p.anchorPoint = c.anchor, p.zPosition = c.z, p.transform = c.transform;
        auto expected = product(p).elements(), actual = p.toSuperlayer().elements();
        for (std::size_t i = 0; i < expected.size(); ++i) EXPECT_TRUE(sameBits(actual[i], expected[i])) << i;
        gfx::Transform3D t = product(p);
        gfx::Rect want;
        if (t.isAffine()) {
            want = t.affine().apply(p.bounds);
        } else {
            gfx::Rect b = p.bounds.standardized();
            gfx::Point corners[4] = {t.project(b.origin), t.project({b.maxX(), b.minY()}), t.project({b.minX(), b.maxY()}),
                                     t.project({b.maxX(), b.maxY()})};
            double x0 = corners[0].x, x1 = x0, y0 = corners[0].y, y1 = y0;
            for (auto& q : corners) {
                x0 = std::fmin(x0, q.x), x1 = std::fmax(x1, q.x), y0 = std::fmin(y0, q.y), y1 = std::fmax(y1, q.y);
            }
            want = {x0, y0, x1 - x0, y1 - y0};
        }
        gfx::Rect got = p.frame();
        EXPECT_TRUE(sameBits(got.x(), want.x()) && sameBits(got.y(), want.y()) && sameBits(got.width(), want.width()) &&
                    sameBits(got.height(), want.height()))
            << got.x() << " " << got.y() << " " << got.width() << " " << got.height();
        // Points carried into the superlayer (view conversions take this way up).
        const gfx::Point points[] = {gfx::Point{0.0, 0.0}, gfx::Point{-0.0, -0.0}, gfx::Point{-0.0, 0.0}, gfx::Point{12.5, -7.25},
                                     gfx::Point{-60.0, -45.0}, gfx::Point{0.1, 1e-300}, gfx::Point{1.7e308, -1.7e308}, gfx::Point{inf, 3.0},
                                     gfx::Point{2.0, std::numeric_limits<double>::quiet_NaN()}};
        auto same = [&](gfx::Point a, gfx::Point b) { return sameBits(a.x, b.x) && sameBits(a.y, b.y); };
        for (gfx::Point q : points) {
            gfx::Point viaMatrix = t.project(q), viaOffset = p.projectToSuperlayer(q);
            EXPECT_TRUE(same(viaOffset, viaMatrix))
                << q.x << "," << q.y << " -> " << viaOffset.x << "," << viaOffset.y << " vs " << viaMatrix.x << "," << viaMatrix.y;
            // Two at once (both corners of a rectangle), each with a finite and with a non-finite partner.
            for (gfx::Point partner : {gfx::Point{3.0, 4.0}, gfx::Point{inf, 3.0}}) {
                gfx::Point a = q, b = partner;
                p.projectToSuperlayer(a, b);
                EXPECT_TRUE(same(a, viaMatrix) && same(b, t.project(partner))) << q.x << "," << q.y << " with " << partner.x;
            }
        }
    }
}

// A layer keeps its frame and its offset into the superlayer between changes: after every kind of
// change of its geometry they must be the model's own again, bit for bit.
TEST_F(ca_Layer, TheKeptFrameAndOffsetFollowEveryChangeOfTheGeometry) {
    auto layer = Layer::make();
    auto sameBits = [](double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0 || (std::isnan(a) && std::isnan(b)); };
    auto samePoint = [&](gfx::Point a, gfx::Point b) { return sameBits(a.x, b.x) && sameBits(a.y, b.y); };
    auto check = [&](const Layer& l) {
        gfx::Rect got = l.frame(), want = l.model().frame();
        EXPECT_TRUE(samePoint(got.origin, want.origin) && sameBits(got.width(), want.width()) &&
                    sameBits(got.height(), want.height()));
        for (gfx::Point q : {gfx::Point{0, 0}, gfx::Point{12.5, -7.25}, gfx::Point{std::numeric_limits<double>::infinity(), 1}}) {
            EXPECT_TRUE(samePoint(l.projectToSuperlayer(q), l.model().projectToSuperlayer(q)));
            gfx::Point a = q, b{3, 4}, wantA = q, wantB{3, 4};
            l.projectToSuperlayer(a, b);
            l.model().projectToSuperlayer(wantA, wantB);
            EXPECT_TRUE(samePoint(a, wantA) && samePoint(b, wantB));
        }
    };
    const std::pair<const char*, std::function<void()>> changes[] = {
        {"frame", [&] { layer->setFrame({10, 20, 100, 50}); }},
        {"bounds origin", [&] { layer->setBounds({0.1, 480.5, 100, 50}); }},
        {"bounds size", [&] { layer->setBounds({0.1, 480.5, 33.3, 17.9}); }},
        {"position", [&] { layer->setPosition({-5.5, 7}); }},
        {"anchor point", [&] { layer->setAnchorPoint({0.3, 0.9}); }},
        {"z position", [&] { layer->setZPosition(4); }},
        {"transform", [&] { layer->setAffineTransform(gfx::AffineTransform::scale(2, 3)); }},
        {"no transform", [&] { layer->setTransform(gfx::Transform3D::identity()); }},
        {"non-finite position", [&] { layer->setPosition({std::numeric_limits<double>::infinity(), 0}); }},
        {"frame again", [&] { layer->setFrame({1, 2, 3, 4}); }},
    };
    for (const auto& [name, change] : changes) {
        SCOPED_TRACE(name);
        check(*layer);  // read before the change, so that the change must replace what was kept
        change();
        check(*layer);
    }
    // A presentation copy shows the animated geometry, not the model's that it was copied from.
    layer->setFrame({0, 0, 100, 100});
    check(*layer);
    auto move = BasicAnimation::make("position");
    move->fromValue = gfx::Point{0, 0};
    move->toValue = gfx::Point{200, 200};
    move->duration = 1;
    layer->addAnimation(move, "move");
    auto shown = layer->presentationLayer();
    check(*shown);
    EXPECT_NE(shown->frame(), layer->frame());
}

TEST_F(ca_Layer, TreeKeepsOneSuperlayerAndOrder) {
    auto a = Layer::make(), b = Layer::make(), c = Layer::make(), d = Layer::make();
    a->addSublayer(b);
    a->addSublayer(c);
    a->insertSublayer(d, 0);
    EXPECT_EQ(a->sublayers(), (std::vector<std::shared_ptr<Layer>>{d, b, c}));
    c->addSublayer(b);  // moves
    EXPECT_EQ(a->sublayers().size(), 2u);
    EXPECT_EQ(b->superlayer(), c);
    a->setSublayers({});
    EXPECT_TRUE(a->sublayers().empty());
    EXPECT_EQ(d->superlayer(), nullptr);
    a->addSublayer(a);  // a layer is never its own sublayer
    EXPECT_TRUE(a->sublayers().empty());
}

TEST_F(ca_Layer, AddedAnimationsAreCopiesThatBeginNow) {
    auto layer = ShapeLayer::make();
    auto a = BasicAnimation::make("strokeEnd");
    a->fromValue = 0.0;
    a->toValue = 1.0;
    a->duration = 1;
    layer->addAnimation(a, "animation");
    a->duration = 100;  // too late to reach the layer
    EXPECT_EQ(layer->animation("animation")->beginTime, now());
    EXPECT_EQ(layer->animation("animation")->duration, 1);
    advance(0.25);
    EXPECT_NEAR(layer->presentationLayer()->model().strokeEnd, 0.25, 1e-9);
    EXPECT_EQ(layer->model().strokeEnd, 1);  // the model is untouched
}

TEST_F(ca_Layer, LayerSpeedAndTimeOffsetReachTheSublayers) {
    auto parent = Layer::make(), child = Layer::make();
    parent->addSublayer(child);
    parent->setSpeed(2);
    auto a = BasicAnimation::make("opacity");
    a->fromValue = 0.0;
    a->toValue = 1.0;
    a->duration = 1;
    a->beginTime = child->localTime();
    child->addAnimation(a, "fade");
    advance(0.25);
    EXPECT_NEAR(child->presentationLayer()->model().opacity, 0.5, 1e-9);
    parent->setSpeed(0);
    parent->setTimeOffset(child->animation("fade")->beginTime + 0.1);
    EXPECT_NEAR(child->presentationLayer()->model().opacity, 0.1, 1e-9);
    // Moved to another superlayer, then left alone when that one goes: the media time itself.
    auto other = Layer::make();
    other->setTimeOffset(100);
    other->addSublayer(child);
    EXPECT_EQ(child->localTime(), currentMediaTime() + 100);
    other.reset();
    EXPECT_EQ(child->superlayer(), nullptr);
    EXPECT_EQ(child->localTime(), currentMediaTime());
}

TEST_F(ca_Layer, FinishedAnimationsLeaveAndSayWhetherTheyFinished) {
    auto layer = Layer::make();
    std::vector<std::pair<std::string, bool>> stops;
    auto make = [&](const std::string& name, bool removed) {
        auto a = BasicAnimation::make("opacity");
        a->toValue = 0.0;
        a->duration = 0.5;
        a->removedOnCompletion = removed;
        a->fillMode = FillMode::forwards;
        a->onStop = [&stops, name](bool finished) { stops.emplace_back(name, finished); };
        layer->addAnimation(a, name);
    };
    make("kept", false);
    make("gone", true);
    make("replaced", true);
    make("replaced", true);  // the first one under this key stops unfinished
    ASSERT_EQ(stops.size(), 1u);
    EXPECT_EQ(stops[0], std::make_pair(std::string("replaced"), false));
    EXPECT_TRUE(AnimationTicker::shared().isRunning());
    advance(0.6);
    EXPECT_EQ(layer->animationKeys(), std::vector<std::string>{"kept"});
    EXPECT_EQ(stops.size(), 3u);
    EXPECT_EQ(layer->presentationLayer()->model().opacity, 0);  // kept, filling forwards
    layer->removeAllAnimations();
    EXPECT_EQ(stops.back(), std::make_pair(std::string("kept"), false));
    advance(0.1);
    EXPECT_FALSE(AnimationTicker::shared().isRunning());
}

TEST_F(ca_Layer, KeyPathsReadAndWriteTheirProperty) {
    LayerProperties p;
    const std::pair<const char*, PropertyValue> writes[] = {
        {"opacity", 0.5},
        {"position", gfx::Point{3, 4}},
        {"bounds.size", gfx::Size{30, 40}},
        {"strokeStart", 0.2},
        {"strokeEnd", 0.7},
        {"lineWidth", 3.0},
        {"fillColor", gfx::Color::rgb(255, 0, 0)},
        {"backgroundColor", gfx::Color::rgb(0, 0, 255)},
        {"transform.translation.x", 5.0},
        {"transform.scale.y", 2.0},
    };
    for (const auto& [path, value] : writes) {
        EXPECT_TRUE(p.set(path, value)) << path;
        EXPECT_EQ(p.get(path), value) << path;
    }
    EXPECT_FALSE(p.set("no.such.path", 1.0));
    EXPECT_FALSE(p.set("opacity", gfx::Point{1, 2}));
    EXPECT_EQ(p.get("transform.scale.x"), PropertyValue(1.0));
}

TEST_F(ca_Layer, DisplayAsksTheDelegateOnce) {
    struct Painter : LayerDelegate {
        int calls = 0;
        void displayLayer(Layer&) override { ++calls; }
    };
    auto painter = std::make_shared<Painter>();
    auto layer = Layer::make();
    layer->setDelegate(painter);
    layer->setBounds({0, 0, 10, 10});  // a new size needs new content
    layer->displayIfNeeded();
    layer->displayIfNeeded();
    EXPECT_EQ(painter->calls, 1);
    layer->setNeedsDisplay();
    layer->displayIfNeeded();
    EXPECT_EQ(painter->calls, 2);
}

} // namespace
} // namespace ca
