#include "platform/ca/Renderer.h"

#include "platform/ca/Layer.h"
#include "platform/ca/ShapeLayer.h"
#include "platform/gfx/BitmapContext.h"
#include "CaTest.h"

#include <cstdlib>
#include <functional>

namespace ca {
namespace {

using ca_Translucency = CaTest;

// The largest difference of any channel between two pictures of the same size.
int largestDifference(const gfx::Image& a, const gfx::Image& b) {
    int worst = 0;
    for (int y = 0; y < static_cast<int>(a.pixelHeight()); ++y)
        for (int x = 0; x < static_cast<int>(a.pixelWidth()); ++x) {
            uint32_t p = a.pixel(x, y), q = b.pixel(x, y);
            for (int shift = 0; shift < 32; shift += 8)
                worst = std::max(worst, std::abs(static_cast<int>((p >> shift) & 0xff) - static_cast<int>((q >> shift) & 0xff)));
        }
    return worst;
}

std::shared_ptr<const gfx::Image> picture(const std::function<void(gfx::Context&)>& draw) {
    gfx::BitmapContext ctx({60, 60}, 2);
    ctx.setFillColor(gfx::Color::white(1));
    ctx.fillRect({0, 0, 60, 60});
    draw(ctx);
    return ctx.makeImage();
}

std::shared_ptr<ShapeLayer> disc(gfx::Rect frame, gfx::Color color) {
    auto d = ShapeLayer::make();
    d->setFrame(frame);
    d->setPath(gfx::Path::ellipse({0, 0, frame.width(), frame.height()}));
    d->setFillColor(color);
    return d;
}

// A translucent layer shows the same picture as its subtree composited as one group at its
// opacity, whether its opacity goes into its one paint or it paints several (overlaps must not
// add up), and under a container that holds one translucent shape.
TEST_F(ca_Translucency, SameAsOneGroupAtTheLayersOpacity) {
    const gfx::Color teal = gfx::Color::rgb(19, 181, 177), rose{1, 0.3, 0.5, 0.8};
    struct Case {
        const char* name;
        std::function<std::shared_ptr<Layer>()> tree;
        std::function<void(gfx::Context&)> grouped;
    };
    const Case cases[] = {
        {"one filled shape",
         [&] {
             auto d = disc({10, 10, 30, 30}, rose);
             d->setOpacity(0.4);
             return d;
         },
         [&](gfx::Context& c) {
             c.beginTransparencyLayer(0.4);
             c.setFillColor(rose);
             c.fillPath(gfx::Path::ellipse({10, 10, 30, 30}));
             c.endTransparencyLayer();
         }},
        {"a container holding one rotated stroked shape",
         [&] {
             auto box = Layer::make();
             box->setFrame({5, 5, 50, 50});
             box->setOpacity(0.5);
             auto ring = ShapeLayer::make();
             ring->setFrame({10, 10, 30, 30});
             ring->setPath(gfx::Path::ellipse({0, 0, 30, 30}));
             ring->setFillColor(std::nullopt);
             ring->setStrokeColor(teal);
             ring->setLineWidth(4);
             box->addSublayer(ring);
             box->setSublayerTransform(gfx::Transform3D::rotation(0.3, 0, 0, 1));
             return box;
         },
         [&](gfx::Context& c) {
             c.beginTransparencyLayer(0.5);
             // The ring about the container's centre (30, 30), rotated by 0.3.
             c.setTransform(gfx::AffineTransform::translation(-30, -30)
                                .concat(gfx::AffineTransform::rotation(0.3))
                                .concat(gfx::AffineTransform::translation(30, 30)));
             c.setStrokeColor(teal);
             c.setLineWidth(4);
             c.strokePath(gfx::Path::ellipse({15, 15, 30, 30}));
             c.endTransparencyLayer();
         }},
        {"two overlapping discs",
         [&] {
             auto box = Layer::make();
             box->setFrame({0, 0, 60, 60});
             box->setOpacity(0.5);
             box->addSublayer(disc({5, 5, 30, 30}, teal));
             box->addSublayer(disc({20, 20, 30, 30}, teal));
             return box;
         },
         [&](gfx::Context& c) {
             c.beginTransparencyLayer(0.5);
             c.setFillColor(teal);
             c.fillPath(gfx::Path::ellipse({5, 5, 30, 30}));
             c.fillPath(gfx::Path::ellipse({20, 20, 30, 30}));
             c.endTransparencyLayer();
         }},
    };
    for (const auto& c : cases) {
        auto root = Layer::make();
        root->setFrame({0, 0, 60, 60});
        root->addSublayer(c.tree());
        auto rendered = picture([&](gfx::Context& ctx) { Renderer::render(*root, ctx, now()); });
        auto expected = picture(c.grouped);
        EXPECT_LE(largestDifference(*rendered, *expected), 2) << c.name;
    }
}

// A layer at scale 0 (where a pulse starts) draws nothing and leaves the rest of the frame alone.
TEST_F(ca_Translucency, LayerScaledToNothingKeepsTheFrame) {
    auto root = Layer::make();
    root->setFrame({0, 0, 60, 60});
    auto vanished = disc({0, 0, 60, 60}, gfx::Color::black());
    vanished->setTransform(gfx::Transform3D::scale(0, 0, 1));
    vanished->setOpacity(0.8);
    root->addSublayer(vanished);
    root->addSublayer(disc({20, 20, 20, 20}, gfx::Color{1, 0, 0, 1}));
    auto image = picture([&](gfx::Context& ctx) { Renderer::render(*root, ctx, now()); });
    EXPECT_EQ(image->pixel(60, 60), 0xffff0000u);  // the later disc
    EXPECT_EQ(image->pixel(4, 60), 0xffffffffu);    // the background
}

} // namespace
} // namespace ca
