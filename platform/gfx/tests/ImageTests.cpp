#include "platform/gfx/BitmapContext.h"
#include "platform/gfx/Image.h"
#include "platform/gfx/testing/LargePictures.h"

#include "platform/core/Files.h"
#include "platform/core/ProcessInfo.h"
#include "platform/core/testing/TempHome.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace gfx {
namespace {

std::shared_ptr<const Image> halfTransparentRed() {
    BitmapContext ctx({3, 2}, 1);
    ctx.setFillColor(Color::rgb(255, 0, 0, 0.5));
    ctx.fillRect({0, 0, 3, 2});
    ctx.setFillColor(Color::rgb(0, 255, 0));
    ctx.fillRect({2, 1, 1, 1});
    return ctx.makeImage();
}

TEST(gfx_Image, PngRoundTripKeepsPremultipliedPixels) {
    auto image = halfTransparentRed();
    auto png = image->pngData();
    ASSERT_TRUE(png.ok());
    auto back = Image::decode(*png, 2);
    ASSERT_TRUE(back.ok());
    EXPECT_EQ((*back)->pixelWidth(), 3);
    EXPECT_EQ((*back)->scale(), 2);
    EXPECT_EQ((*back)->size(), Size(1.5, 1));
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x) EXPECT_EQ((*back)->pixel(x, y), image->pixel(x, y)) << x << "," << y;
}

TEST(gfx_Image, JpegDecodesToOpaquePixels) {
    auto back = Image::decode(testkit::solidJpeg(16, 8, 0, 0, 255, 95));
    ASSERT_TRUE(back.ok());
    EXPECT_EQ((*back)->pixelWidth(), 16);
    EXPECT_EQ((*back)->pixelHeight(), 8);
    uint32_t p = (*back)->pixel(8, 4);
    EXPECT_EQ(p >> 24, 255u);
    EXPECT_GT(p & 0xff, 240u);
}

TEST(gfx_Image, DamagedDataIsAnErrorNotACrash) {
    std::string png = *halfTransparentRed()->pngData();
    std::string jpeg = testkit::solidJpeg(8, 8, 1, 2, 3, 95);
    struct Case { const char* what; std::string bytes; int code; };
    const Case cases[] = {
        {"empty", "", Image::unknownFormat},
        {"text", "hello, world", Image::unknownFormat},
        {"png signature only", png.substr(0, 8), Image::corruptData},
        {"png cut in its data", png.substr(0, png.size() / 2), Image::corruptData},
        {"jpeg header only", jpeg.substr(0, 20), Image::corruptData},
    };
    for (const Case& c : cases) {
        auto r = Image::decode(c.bytes);
        ASSERT_FALSE(r.ok()) << c.what;
        EXPECT_EQ(r.error().code, c.code) << c.what;
    }
}

TEST(gfx_Image, NamedImagesPreferTheThreeTimesFile) {
    core::testkit::TempHome home;
    std::string res = home.path() + "/resources";
    ASSERT_TRUE(core::files::createDirectories(res + "/Icons.bundle").ok());
    auto image = halfTransparentRed();
    ASSERT_TRUE(image->writePng(res + "/dot@3x.png").ok());
    ASSERT_TRUE(image->writePng(res + "/dot.png").ok());
    ASSERT_TRUE(image->writePng(res + "/Icons.bundle/arrow.png").ok());
    core::Bundle::setResourcePathForTesting(res);

    auto dot = Image::named("dot");
    ASSERT_TRUE(dot);
    EXPECT_EQ(dot->scale(), 3);
    EXPECT_EQ(Image::named("dot.png"), dot);  // the same cached image
    auto arrow = Image::named("arrow", "Icons");
    ASSERT_TRUE(arrow);
    EXPECT_EQ(arrow->scale(), 1);
    EXPECT_EQ(Image::named("missing"), nullptr);
    EXPECT_EQ(Image::named("arrow"), nullptr);  // not outside its bundle
    core::Bundle::setResourcePathForTesting(std::nullopt);
}

} // namespace
} // namespace gfx
