// Reduced decoding of large JPEGs: the smallest eighth that keeps the shorter side, whole decoding
// when no reduction keeps it, and other formats always whole.

#include "platform/gfx/Image.h"

#include <gtest/gtest.h>

namespace gfx {
namespace {

std::string jpegOf(int w, int h) {
    auto jpeg = Image(w, h, 1, std::vector<uint32_t>(size_t(w) * h, 0xff808080u)).jpegData();
    return jpeg ? *jpeg : std::string();
}

TEST(ReducedDecode, KeepsTheShorterSideAtLeastTheMinimum) {
    const std::string jpeg = jpegOf(400, 320);
    struct Case {
        int minimum;
        int width, height;
    } cases[] = {
        {0, 400, 320},    // no minimum: whole
        {40, 50, 40},     // 1/8
        {41, 100, 80},    // 2/8: 1/8 would be 40
        {300, 400, 320},  // 7/8 would be 280: whole
        {320, 400, 320},
        {5000, 400, 320},  // already smaller: whole
    };
    for (const auto& c : cases) {
        auto image = Image::decodeReduced(jpeg, c.minimum);
        ASSERT_TRUE(image) << c.minimum;
        EXPECT_EQ((*image)->pixelWidth(), c.width) << c.minimum;
        EXPECT_EQ((*image)->pixelHeight(), c.height) << c.minimum;
    }
    auto png = Image(400, 320, 1, std::vector<uint32_t>(400 * 320, 0xff808080u)).pngData();
    auto whole = Image::decodeReduced(*png, 40);
    ASSERT_TRUE(whole);
    EXPECT_EQ((*whole)->pixelWidth(), 400) << "only JPEGs reduce";
    EXPECT_FALSE(Image::decodeReduced("not a picture", 40));
}

} // namespace
} // namespace gfx
