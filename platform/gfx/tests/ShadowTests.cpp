#include "platform/gfx/BitmapContext.h"

#include <gtest/gtest.h>

namespace gfx {
namespace shadow_test {

uint32_t alphaOf(uint32_t p) { return p >> 24; }
uint32_t redOf(uint32_t p) { return (p >> 16) & 0xff; }

// A 40x40 point canvas at scale 2, flipped as text drawing flips it (y up).
struct Canvas {
    BitmapContext ctx{{40, 40}, 2};
    Canvas() {
        ctx.translate(0, 40);
        ctx.scale(1, -1);
    }
    // Alpha at a point in the base (y down) space.
    uint32_t alphaAt(const Image& image, double x, double y) const {
        return alphaOf(image.pixel(static_cast<int>(x * 2), static_cast<int>(y * 2)));
    }
};

TEST(gfx_Shadow, OffsetIsInTheBaseSpaceAndScalesWithTheDevice) {
    Canvas c;
    c.ctx.setShadow({0, 4}, 0, Color::rgb(255, 0, 0));
    c.ctx.setFillColor(Color::black());
    c.ctx.fillRect({10, 20, 10, 10});  // base space: x 10..20, y 10..20
    auto image = c.ctx.makeImage();
    EXPECT_EQ(image->pixel(30, 30), 0xff000000u);                   // the square itself
    EXPECT_EQ(redOf(image->pixel(30, 45)), 255u);                    // base y 22.5: shadow, below
    EXPECT_EQ(alphaOf(image->pixel(30, 47)), 255u);
    EXPECT_EQ(c.alphaAt(*image, 15, 24.5), 0u);                      // beyond the offset
    EXPECT_EQ(c.alphaAt(*image, 15, 8), 0u);                         // nothing above
}

TEST(gfx_Shadow, BlurIsAGaussianOfHalfTheBlur) {
    Canvas c;
    c.ctx.setShadow({0, 0}, 4, Color::black());  // sigma 2 points
    c.ctx.setFillColor(Color{0, 0, 1, 1});
    c.ctx.fillRect({0, 0, 20, 40});  // left half; the edge at x = 20
    auto image = c.ctx.makeImage();
    // Beyond the edge the shadow falls off as the Gaussian's tail: half at the edge, about 16 %
    // one sigma out, about 2 % two sigmas out, nothing at four.
    EXPECT_NEAR(c.alphaAt(*image, 22, 20) / 255.0, 0.16, 0.04);
    EXPECT_NEAR(c.alphaAt(*image, 24, 20) / 255.0, 0.023, 0.02);
    EXPECT_EQ(c.alphaAt(*image, 28.5, 20), 0u);
}

TEST(gfx_Shadow, TransparencyLayerCastsOneShadowAndRestoreClearsIt) {
    Canvas c;
    c.ctx.save();
    c.ctx.setShadow({0, 6}, 0, Color{0, 0, 0, 0.5});
    c.ctx.beginTransparencyLayer(1);
    c.ctx.setFillColor(Color::whiteColor());
    c.ctx.fillRect({0, 30, 20, 10});  // base y 0..10
    c.ctx.fillRect({10, 30, 20, 10});  // overlaps the first
    c.ctx.endTransparencyLayer();
    c.ctx.restore();
    c.ctx.fillRect({0, 0, 10, 5});  // no shadow after restore: base y 35..40
    auto image = c.ctx.makeImage();
    // Under the overlap the shadow is as dark as under either square alone.
    EXPECT_NEAR(c.alphaAt(*image, 15, 14), 128, 1);
    EXPECT_NEAR(c.alphaAt(*image, 5, 14), 128, 1);
    EXPECT_EQ(c.alphaAt(*image, 5, 34), 0u);
}

} // namespace shadow_test
} // namespace gfx
