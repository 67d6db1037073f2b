#include "platform/gfx/BitmapContext.h"

#include <gtest/gtest.h>

namespace gfx {
namespace {

uint32_t alphaOf(uint32_t p) { return p >> 24; }
uint32_t redOf(uint32_t p) { return (p >> 16) & 0xff; }
uint32_t blueOf(uint32_t p) { return p & 0xff; }

TEST(gfx_Drawing, BitmapContextsDrawPointsAtTheirScale) {
    BitmapContext ctx({10, 10}, 2);
    EXPECT_EQ(ctx.pixelWidth(), 20);
    EXPECT_EQ(ctx.deviceScale(), 2);
    ctx.setFillColor(Color::rgb(255, 0, 0));
    ctx.fillRect({0, 0, 5, 5});
    auto image = ctx.makeImage();
    EXPECT_EQ(image->scale(), 2);
    EXPECT_EQ(image->size(), Size(10, 10));
    EXPECT_EQ(image->pixel(9, 9), 0xffff0000u);   // inside the 10x10 pixel square
    EXPECT_EQ(image->pixel(10, 10), 0u);          // outside it
}

TEST(gfx_Drawing, ClipTransformAndAlphaApplyToFills) {
    BitmapContext ctx({20, 20}, 1);
    ctx.save();
    ctx.clipToRect({0, 0, 10, 20});
    ctx.translate(5, 0);
    EXPECT_EQ(ctx.transform(), AffineTransform::translation(5, 0));
    ctx.setAlpha(0.5);
    ctx.setFillColor(Color::rgb(0, 0, 255));
    ctx.fillRect({0, 0, 10, 10});  // covers x 5..15, clipped to 5..10
    ctx.restore();
    EXPECT_EQ(ctx.alpha(), 1);
    auto image = ctx.makeImage();
    EXPECT_EQ(image->pixel(4, 2), 0u);
    EXPECT_NEAR(alphaOf(image->pixel(7, 2)), 128, 1);
    EXPECT_NEAR(blueOf(image->pixel(7, 2)), 128, 1);  // premultiplied
    EXPECT_EQ(image->pixel(12, 2), 0u);
}

TEST(gfx_Drawing, LinearGradientsRunFromStartToEnd) {
    BitmapContext ctx({100, 4}, 1);
    ctx.drawLinearGradient({Color::rgb(255, 0, 0), Color::rgb(0, 0, 255)}, {0, 1}, {0, 0}, {100, 0});
    auto image = ctx.makeImage();
    EXPECT_GT(redOf(image->pixel(2, 1)), 240u);
    EXPECT_GT(blueOf(image->pixel(97, 1)), 240u);
    EXPECT_NEAR(redOf(image->pixel(50, 1)), 127, 3);
    // Without extension nothing is drawn past the end point.
    BitmapContext half({100, 4}, 1);
    half.drawLinearGradient({Color::black(), Color::black()}, {0, 1}, {0, 0}, {50, 0});
    EXPECT_EQ(alphaOf(half.makeImage()->pixel(75, 1)), 0u);
}

TEST(gfx_Drawing, ImagesAndTransparencyLayers) {
    BitmapContext source({2, 2}, 1);
    source.setFillColor(Color::rgb(255, 0, 0));
    source.fillRect({0, 0, 2, 2});
    auto red = source.makeImage();

    BitmapContext ctx({8, 8}, 1);
    ctx.beginTransparencyLayer(0.5);
    ctx.drawImage(*red, {0, 0, 8, 4});
    ctx.drawImage(*red, {0, 0, 8, 4});  // overlapping draws inside a layer do not add up
    ctx.endTransparencyLayer();
    auto image = ctx.makeImage();
    EXPECT_NEAR(alphaOf(image->pixel(4, 1)), 128, 1);
    EXPECT_EQ(image->pixel(4, 6), 0u);
}

} // namespace
} // namespace gfx
