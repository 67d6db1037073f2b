#include "platform/ca/Layer.h"
#include "platform/ca/ShapeLayer.h"
#include "CaTest.h"

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
