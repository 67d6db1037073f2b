#include "platform/ca/Renderer.h"

#include "platform/ca/Layer.h"
#include "platform/gfx/BitmapContext.h"
#include "CaTest.h"

#include <functional>

namespace ca {
namespace {

using ca_Backdrop = CaTest;

// Black and white stripes 4 points wide under a backdrop layer, a sublayer of its own on it and a
// later sibling over it; drawn at scale 2.
struct Scene {
    std::shared_ptr<Layer> root = Layer::make();
    std::vector<std::shared_ptr<Layer>> stripes;
    std::shared_ptr<Layer> glass = Layer::make();
    std::shared_ptr<Layer> badge = Layer::make();
    std::shared_ptr<Layer> above = Layer::make();

    Scene() {
        root->setFrame({0, 0, 100, 100});
        root->setBackgroundColor(gfx::Color::white(1));
        for (int i = 0; i < 25; i += 2) {
            auto s = Layer::make();
            s->setFrame({i * 4.0, 0, 4, 100});
            s->setBackgroundColor(gfx::Color::black());
            root->addSublayer(s);
            stripes.push_back(s);
        }
        glass->setFrame({20, 20, 60, 60});
        glass->setBackdropBlurRadius(30);
        root->addSublayer(glass);
        badge->setFrame({5, 5, 4, 4});
        badge->setBackgroundColor(gfx::Color::rgb(0, 0, 255));
        glass->addSublayer(badge);
        above->setFrame({45, 45, 10, 10});
        above->setBackgroundColor(gfx::Color::rgb(255, 0, 0));
        root->addSublayer(above);
    }
    std::shared_ptr<const gfx::Image> draw() {
        gfx::BitmapContext ctx({100, 100}, 2);
        Renderer::render(*root, ctx, 0);
        return ctx.makeImage();
    }
};

int channel(uint32_t p, int shift) { return static_cast<int>((p >> shift) & 0xff); }

// Mean and variance of the green channel over a rectangle of points (scale 2).
std::pair<double, double> stats(const gfx::Image& img, gfx::Rect r) {
    double sum = 0, sq = 0;
    int n = 0;
    for (int y = static_cast<int>(r.minY() * 2); y < static_cast<int>(r.maxY() * 2); ++y)
        for (int x = static_cast<int>(r.minX() * 2); x < static_cast<int>(r.maxX() * 2); ++x) {
            double g = channel(img.pixel(x, y), 8);
            sum += g;
            sq += g * g;
            ++n;
        }
    double mean = sum / n;
    return {mean, sq / n - mean * mean};
}

// Inside its bounds the layer shows the stripes beneath it blurred to an even grey; its own
// sublayers and what lies above it stay sharp and are not part of the blur.
TEST_F(ca_Backdrop, BlursWhatLiesBeneathInsideItsBounds) {
    Scene scene;
    auto shot = scene.draw();
    auto [outsideMean, outsideVariance] = stats(*shot, {0, 85, 100, 15});
    auto [insideMean, insideVariance] = stats(*shot, {30, 60, 40, 15});
    EXPECT_GT(outsideVariance, 10000);
    EXPECT_LT(insideVariance, outsideVariance / 50);
    EXPECT_NEAR(insideMean, outsideMean, 25);
    EXPECT_EQ(shot->pixel(2 * 27, 2 * 27) & 0xffffff, 0x0000ffu);  // the badge
    EXPECT_EQ(shot->pixel(2 * 50, 2 * 50) & 0xffffff, 0xff0000u);  // the layer above
    // Next to the red layer, the blur holds no red: it shows only what lies beneath.
    uint32_t near = shot->pixel(2 * 42, 2 * 50);
    EXPECT_NEAR(channel(near, 16), channel(near, 8), 3);
    // Outside the bounds the stripes are untouched.
    EXPECT_EQ(shot->pixel(2 * 1, 2 * 10) & 0xffffff, 0x000000u);
    EXPECT_EQ(shot->pixel(2 * 5, 2 * 10) & 0xffffff, 0xffffffu);
}

// The picture is drawn again only when what lies beneath or the layer's place changes.
TEST_F(ca_Backdrop, ReusesItsPictureUntilWhatLiesBeneathOrItsPlaceChanges) {
    struct Case {
        const char* change;
        std::function<void(Scene&)> apply;
        int newPictures;
    } cases[] = {
        {"nothing", [](Scene&) {}, 0},
        {"its own sublayer", [](Scene& s) { s.badge->setBackgroundColor(gfx::Color::rgb(0, 255, 0)); }, 0},
        {"a layer above it", [](Scene& s) { s.above->setFrame({40, 40, 10, 10}); }, 0},
        {"a layer beneath it", [](Scene& s) { s.stripes[5]->setBackgroundColor(gfx::Color::rgb(0, 0, 255)); }, 1},
        {"a layer beneath it hides", [](Scene& s) { s.stripes[6]->setHidden(true); }, 1},
        {"its place", [](Scene& s) { s.glass->setPosition({52, 50}); }, 1},
        {"its radius", [](Scene& s) { s.glass->setBackdropBlurRadius(10); }, 1},
    };
    for (const auto& tc : cases) {
        Scene scene;
        scene.draw();
        auto before = Renderer::backdropPicturesDrawn();
        tc.apply(scene);
        scene.draw();
        EXPECT_EQ(Renderer::backdropPicturesDrawn() - before, static_cast<std::uint64_t>(tc.newPictures)) << tc.change;
    }
}

} // namespace
} // namespace ca
