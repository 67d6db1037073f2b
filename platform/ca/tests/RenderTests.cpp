#include "platform/ca/Renderer.h"

#include "platform/ca/Layer.h"
#include "platform/ca/ShapeLayer.h"
#include "platform/gfx/BitmapContext.h"
#include "platform/gfx/testing/GoldenImage.h"
#include "CaTest.h"

#include <numbers>

namespace ca {
namespace {

using ca_Render = CaTest;
using std::numbers::pi;

std::shared_ptr<const gfx::Image> render(Layer& root, gfx::Size size, double scale, double mediaTime) {
    gfx::BitmapContext ctx(size, scale);
    Renderer::render(root, ctx, mediaTime);
    return ctx.makeImage();
}

uint32_t alphaAt(const gfx::Image& image, int x, int y) { return image.pixel(x, y) >> 24; }

TEST_F(ca_Render, BackgroundsBordersCornersAndMasks) {
    auto root = Layer::make();
    root->setFrame({0, 0, 100, 100});
    root->setBackgroundColor(gfx::Color::white(1));
    auto card = Layer::make();
    card->setFrame({10, 10, 80, 60});
    card->setBackgroundColor(gfx::Color::rgb(19, 181, 177));
    card->setCornerRadius(16);
    card->setBorderWidth(4);
    card->setBorderColor(gfx::Color::rgb(255, 91, 120));
    card->setMasksToBounds(true);
    auto spill = Layer::make();  // reaches past the card's corner and is clipped there
    spill->setFrame({40, 30, 80, 80});
    spill->setBackgroundColor(gfx::Color::rgb(250, 213, 77));
    card->addSublayer(spill);
    auto faded = Layer::make();
    faded->setFrame({10, 75, 80, 20});
    faded->setBackgroundColor(gfx::Color::black());
    faded->setOpacity(0.5);
    root->addSublayer(card);
    root->addSublayer(faded);
    auto image = render(*root, {100, 100}, 2, now());
    EXPECT_TRUE(gfx::testing::matchesGolden(*image, std::string(QUILLORA_GOLDEN_DIR) + "/rounded-bordered.png"));
    // Geometry where the pixels are unambiguous: the clipped corner shows the root's white.
    EXPECT_EQ(image->pixel(2 * 89, 2 * 69), 0xffffffffu);
    uint32_t grey = image->pixel(2 * 50, 2 * 85) & 0xff;
    EXPECT_NEAR(grey, 128, 2);
}

TEST_F(ca_Render, HiddenAndTransparentLayersAreSkipped) {
    auto root = Layer::make();
    root->setFrame({0, 0, 10, 10});
    auto hidden = Layer::make(), clear = Layer::make();
    for (auto& l : {hidden, clear}) {
        l->setFrame({0, 0, 10, 10});
        l->setBackgroundColor(gfx::Color::black());
        root->addSublayer(l);
    }
    hidden->setHidden(true);
    clear->setOpacity(0);
    auto image = render(*root, {10, 10}, 1, now());
    EXPECT_EQ(alphaAt(*image, 5, 5), 0u);
}

// The arc of the loading indicator: a 2-point stroke round a circle, trimmed to its stroke
// start and end, turned by the layer's transform.
std::shared_ptr<ShapeLayer> arcLayer(double side) {
    auto shape = ShapeLayer::make();
    shape->setFrame({0, 0, side, side});
    shape->setPath(gfx::Path::arc({side / 2, side / 2}, side / 2, -pi / 2, 3 * pi / 2, true));
    shape->setFillColor(std::nullopt);
    shape->setStrokeColor(gfx::Color::whiteColor());
    shape->setLineWidth(2);
    return shape;
}

TEST_F(ca_Render, StrokeTrimmingDrawsOnlyTheKeptPart) {
    auto root = Layer::make();
    root->setFrame({0, 0, 44, 44});
    root->setBackgroundColor(gfx::Color::black());
    auto arc = arcLayer(40);
    arc->setPosition({22, 22});
    arc->setStrokeStart(0);
    arc->setStrokeEnd(0.25);  // from the top, a quarter turn clockwise to the right
    root->addSublayer(arc);
    auto image = render(*root, {44, 44}, 2, now());
    auto whiteAt = [&](double x, double y) { return (image->pixel(int(x * 2), int(y * 2)) & 0xff) > 128; };
    double r = 20, c = 22, d = r * std::sqrt(0.5);
    EXPECT_TRUE(whiteAt(c + d, c - d));   // on the kept quarter (top right)
    EXPECT_FALSE(whiteAt(c - d, c - d));  // top left is trimmed away
    EXPECT_FALSE(whiteAt(c, c + r));      // and so is the bottom

    arc->setAffineTransform(gfx::AffineTransform::rotation(pi));  // now bottom left
    image = render(*root, {44, 44}, 2, now());
    EXPECT_TRUE(whiteAt(c - d, c + d));
    EXPECT_FALSE(whiteAt(c + d, c - d));
}

TEST_F(ca_Render, PerspectiveFlipsProjectThePath) {
    auto root = Layer::make();
    root->setFrame({0, 0, 60, 60});
    auto square = ShapeLayer::make();
    square->setFrame({10, 10, 40, 40});
    gfx::Path p;
    p.moveTo({0, 0});
    p.lineTo({40, 0});
    p.lineTo({40, 40});
    p.lineTo({0, 40});
    square->setPath(p);
    square->setFillColor(gfx::Color::black());
    // Turned 60 degrees about y with m34 = -0.01: the right edge (turned away) is shorter than the
    // left edge.
    gfx::Transform3D perspective;
    perspective.m34 = -0.01;
    square->setTransform(gfx::Transform3D::rotation(pi / 3, 0, 1, 0).concat(perspective));
    root->addSublayer(square);
    auto image = render(*root, {60, 60}, 1, now());
    EXPECT_TRUE(gfx::testing::matchesGolden(*image, std::string(QUILLORA_GOLDEN_DIR) + "/perspective-flip.png"));
    auto columnHeight = [&](int x) {
        int n = 0;
        for (int y = 0; y < 60; ++y) n += alphaAt(*image, x, y) > 128;
        return n;
    };
    int left = 0, right = 59;
    while (left < 60 && columnHeight(left) == 0) ++left;
    while (right > 0 && columnHeight(right) == 0) --right;
    ASSERT_LT(left, right);
    EXPECT_GT(columnHeight(left + 1), columnHeight(right - 1) + 4);
    EXPECT_LT(right - left, 30);  // foreshortened from 40
}

TEST_F(ca_Render, PresentationValuesAreDrawnAtTheMediaTime) {
    auto root = Layer::make();
    root->setFrame({0, 0, 20, 20});
    auto dot = Layer::make();
    dot->setFrame({0, 0, 4, 4});
    dot->setBackgroundColor(gfx::Color::black());
    auto move = BasicAnimation::make("position");
    move->fromValue = gfx::Point{2, 2};
    move->toValue = gfx::Point{18, 2};
    move->duration = 1;
    dot->addAnimation(move, "move");
    root->addSublayer(dot);
    EXPECT_GT(alphaAt(*render(*root, {20, 20}, 1, now() + 0.5), 10, 2), 200u);
    EXPECT_EQ(alphaAt(*render(*root, {20, 20}, 1, now() + 0.5), 2, 2), 0u);
    EXPECT_GT(alphaAt(*render(*root, {20, 20}, 1, now() + 2), 2, 2), 200u);  // model value after the end
}

} // namespace
} // namespace ca

namespace ca {
namespace {

TEST_F(ca_Render, LayerShadowIsCastByTheLayerAndItsSublayersAtItsOpacity) {
    auto root = Layer::make();
    root->setFrame({0, 0, 60, 60});
    auto card = Layer::make();
    card->setFrame({10, 10, 20, 20});
    card->setShadowColor(gfx::Color::black());
    card->setShadowOffset({0, 10});
    card->setShadowRadius(0);
    auto child = Layer::make();  // inside the card, so its shadow is the card's
    child->setFrame({0, 0, 20, 20});
    child->setBackgroundColor(gfx::Color::whiteColor());
    card->addSublayer(child);
    root->addSublayer(card);

    EXPECT_EQ(alphaAt(*render(*root, {60, 60}, 1, 0), 20, 35), 0u) << "no shadow at opacity 0";
    card->setShadowOpacity(0.5);
    auto image = render(*root, {60, 60}, 1, 0);
    EXPECT_NEAR(alphaAt(*image, 20, 35), 128, 1);
    EXPECT_EQ(image->pixel(20, 20), 0xffffffffu);
    EXPECT_EQ(alphaAt(*image, 20, 45), 0u);
    // A sibling drawn later casts nothing.
    auto later = Layer::make();
    later->setFrame({40, 10, 10, 10});
    later->setBackgroundColor(gfx::Color::whiteColor());
    root->addSublayer(later);
    EXPECT_EQ(alphaAt(*render(*root, {60, 60}, 1, 0), 45, 25), 0u);
}

} // namespace
} // namespace ca
