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

// A delegate that fills its layer with one colour and counts how often it was asked.
struct CountingPainter : LayerDelegate {
    int calls = 0;
    void displayLayer(Layer& layer) override {
        ++calls;
        gfx::BitmapContext ctx(layer.bounds().size, 1);
        ctx.setFillColor(gfx::Color::rgb(0, 0, 255));
        ctx.fillRect({{0, 0}, layer.bounds().size});
        layer.setContents(ctx.makeImage());
    }
};

// Layers of a 100 x 100 window draw only near what shows (within 25 beyond an edge) and let go
// of their pictures once more than 50 away; a picture set from outside is never let go of.
TEST_F(ca_Render, LayersDrawNearWhatShowsAndLetGoFarFromIt) {
    auto root = Layer::make();
    root->setFrame({0, 0, 100, 100});
    struct Case {
        const char* name;
        gfx::Rect frame;
        bool drawn;
    };
    const Case cases[] = {
        {"inside", {10, 10, 20, 20}, true},
        {"partly inside", {90, -10, 20, 20}, true},
        {"just below", {10, 120, 20, 20}, true},
        {"beyond the margin", {10, 130, 20, 20}, false},
        {"far left", {-500, 10, 20, 20}, false},
        {"no size, at the edge", {100, 100, 0, 0}, true},
    };
    std::vector<std::shared_ptr<CountingPainter>> painters;
    std::vector<std::shared_ptr<Layer>> layers;
    for (const auto& c : cases) {
        auto layer = Layer::make();
        auto painter = std::make_shared<CountingPainter>();
        layer->setDelegate(painter);
        layer->setFrame(c.frame);
        layer->setNeedsDisplay();
        root->addSublayer(layer);
        painters.push_back(painter);
        layers.push_back(layer);
    }
    auto hidden = Layer::make();
    auto hiddenPainter = std::make_shared<CountingPainter>();
    hidden->setDelegate(hiddenPainter);
    hidden->setFrame({10, 10, 20, 20});
    hidden->setHidden(true);
    root->addSublayer(hidden);
    auto image = render(*root, {100, 100}, 1, now());
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(cases[i].name);
        EXPECT_EQ(painters[i]->calls, cases[i].drawn ? 1 : 0);
        EXPECT_EQ(layers[i]->needsDisplay(), !cases[i].drawn);
    }
    EXPECT_EQ(hiddenPainter->calls, 0) << "a hidden layer is drawn when it shows";
    EXPECT_EQ(image->pixel(20, 20), 0xff0000ffu);

    // Coming into view draws it; the layers drawn stay drawn.
    layers[4]->setFrame({40, 40, 20, 20});
    image = render(*root, {100, 100}, 1, now());
    EXPECT_EQ(painters[4]->calls, 1);
    EXPECT_EQ(image->pixel(50, 50), 0xff0000ffu);
    EXPECT_EQ(painters[0]->calls, 1);

    // Between 25 and 50 beyond an edge a picture is kept; further away it goes, to be drawn
    // again when the layer is back.
    layers[0]->setFrame({10, 140, 20, 20});
    layers[2]->setFrame({10, 160, 20, 20});
    auto outside = Layer::make();  // an image given to the layer, not drawn by a delegate
    outside->setFrame({10, 300, 20, 20});
    outside->setContents(image);
    root->addSublayer(outside);
    render(*root, {100, 100}, 1, now());
    EXPECT_TRUE(layers[0]->hasDrawnContents());
    EXPECT_FALSE(layers[2]->contents());
    EXPECT_TRUE(layers[2]->needsDisplay());
    EXPECT_EQ(outside->contents(), image);
    layers[2]->setFrame({10, 10, 20, 20});
    image = render(*root, {100, 100}, 1, now());
    EXPECT_EQ(painters[2]->calls, 2);
    EXPECT_EQ(image->pixel(20, 20), 0xff0000ffu);

    // Drawing part of a tree (a view's picture for a transition) lets go of nothing.
    auto part = Layer::make();
    part->setFrame({0, 0, 10, 10});
    root->addSublayer(part);
    auto far = Layer::make();
    auto farPainter = std::make_shared<CountingPainter>();
    far->setDelegate(farPainter);
    far->setFrame({0, 0, 10, 10});
    far->setNeedsDisplay();
    part->addSublayer(far);
    render(*part, {10, 10}, 1, now());
    far->setFrame({0, 500, 10, 10});
    render(*part, {10, 10}, 1, now());
    EXPECT_TRUE(far->hasDrawnContents());
    render(*root, {100, 100}, 1, now());
    EXPECT_FALSE(far->hasDrawnContents());
}

// A backdrop looks at the layers beneath it without drawing those far from what shows.
TEST_F(ca_Render, BackdropsDrawNoLayerFarFromWhatShows) {
    auto root = Layer::make();
    root->setFrame({0, 0, 100, 100});
    auto near = Layer::make(), far = Layer::make();
    auto nearPainter = std::make_shared<CountingPainter>(), farPainter = std::make_shared<CountingPainter>();
    near->setDelegate(nearPainter);
    far->setDelegate(farPainter);
    near->setFrame({0, 0, 100, 100});
    far->setFrame({0, 1000, 100, 100});
    for (auto& l : {near, far}) {
        l->setNeedsDisplay();
        root->addSublayer(l);
    }
    auto glass = Layer::make();
    glass->setFrame({20, 20, 60, 60});
    glass->setBackdropBlurRadius(10);
    root->addSublayer(glass);
    auto image = render(*root, {100, 100}, 1, now());
    EXPECT_EQ(nearPainter->calls, 1);
    EXPECT_EQ(farPainter->calls, 0);
    EXPECT_EQ(image->pixel(50, 50) & 0xff, 0xffu) << "the glass shows the blue beneath";
}

} // namespace
} // namespace ca
