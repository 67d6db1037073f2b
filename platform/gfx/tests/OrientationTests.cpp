// EXIF orientation: reading the tag from JPEG and TIFF data, and decoded JPEGs turned upright.

#include "platform/gfx/Image.h"
#include "platform/gfx/Orientation.h"

#include <gtest/gtest.h>

#include <string>

namespace gfx {
namespace {

// A TIFF structure holding only the orientation tag.
std::string tiffWithOrientation(int value, bool little) {
    auto u16 = [&](int v) {
        return little ? std::string{static_cast<char>(v & 0xff), static_cast<char>(v >> 8)}
                      : std::string{static_cast<char>(v >> 8), static_cast<char>(v & 0xff)};
    };
    auto u32 = [&](int v) { return little ? u16(v & 0xffff) + u16(v >> 16) : u16(v >> 16) + u16(v & 0xffff); };
    return std::string(little ? "II" : "MM") + u16(42) + u32(8) + u16(1) + u16(0x0112) + u16(3) + u32(1) + u16(value) +
           u16(0) + u32(0);
}

// JPEG data with an APP1 EXIF segment right after the start marker.
std::string withExif(const std::string& jpeg, int value, bool little = false) {
    std::string body = std::string("Exif\0\0", 6) + tiffWithOrientation(value, little);
    size_t length = body.size() + 2;
    std::string segment = std::string("\xFF\xE1") + static_cast<char>(length >> 8) + static_cast<char>(length & 0xff) + body;
    return jpeg.substr(0, 2) + segment + jpeg.substr(2);
}

constexpr uint32_t kRed = 0xffff0000, kGreen = 0xff00ff00, kBlue = 0xff0000ff, kWhite = 0xffffffff,
                   kBlack = 0xff000000, kYellow = 0xffffff00;

// 24 × 16 pixels in 8-pixel blocks: red green blue over white black yellow.
std::string gridJpeg() {
    const uint32_t blocks[2][3] = {{kRed, kGreen, kBlue}, {kWhite, kBlack, kYellow}};
    std::vector<uint32_t> pixels(24 * 16);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 24; ++x) pixels[y * 24 + x] = blocks[y / 8][x / 8];
    auto jpeg = Image(24, 16, 1, pixels, false).jpegData(1.0);
    EXPECT_TRUE(jpeg.ok());
    return jpeg ? *jpeg : std::string();
}

bool near(uint32_t a, uint32_t b) {
    for (int shift = 0; shift < 24; shift += 8) {
        int d = static_cast<int>((a >> shift) & 0xff) - static_cast<int>((b >> shift) & 0xff);
        if (d > 40 || d < -40) return false;
    }
    return true;
}

TEST(gfx_Orientation, EachOrientationTurnsTheDecodedPixelsUpright) {
    const std::string jpeg = gridJpeg();
    struct Case {
        int orientation;
        int width, height;
        uint32_t topLeft, topRight;
    };
    const Case cases[] = {
        {1, 24, 16, kRed, kBlue},   {2, 24, 16, kBlue, kRed},    {3, 24, 16, kYellow, kWhite},
        {4, 24, 16, kWhite, kYellow}, {5, 16, 24, kRed, kWhite}, {6, 16, 24, kWhite, kRed},
        {7, 16, 24, kYellow, kBlue}, {8, 16, 24, kBlue, kYellow},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.orientation);
        for (bool little : {false, true}) {
            auto image = Image::decode(withExif(jpeg, c.orientation, little));
            ASSERT_TRUE(image.ok());
            EXPECT_EQ((*image)->pixelWidth(), c.width);
            EXPECT_EQ((*image)->pixelHeight(), c.height);
            EXPECT_FALSE((*image)->hasAlpha());
            EXPECT_PRED2(near, (*image)->pixel(3, 3), c.topLeft);
            EXPECT_PRED2(near, (*image)->pixel(c.width - 4, 3), c.topRight);
        }
    }
}

TEST(gfx_Orientation, ReadsTheTagOnlyWhereItIsWhole) {
    const std::string jpeg = gridJpeg();
    std::string app0 = std::string("\xFF\xE0\x00\x04xx", 6);
    std::string cut = withExif(jpeg, 6).substr(0, 20);
    std::string tiff = tiffWithOrientation(8, true);
    struct Case {
        const char* name;
        std::string data;
        int expected;
    };
    const Case cases[] = {
        {"no EXIF", jpeg, 1},
        {"EXIF after another segment", withExif(jpeg.substr(0, 2) + app0 + jpeg.substr(2), 6), 6},
        {"value out of range", withExif(jpeg, 9), 1},
        {"segment cut short", cut, 1},
        {"TIFF data", tiff, 8},
        {"TIFF directory past the end", tiff.substr(0, 12), 1},
        {"empty", "", 1},
    };
    for (const auto& c : cases) EXPECT_EQ(exifOrientation(c.data), c.expected) << c.name;
}

TEST(gfx_Orientation, JpegRoundTripKeepsSizeAndColours) {
    auto image = Image::decode(gridJpeg());
    ASSERT_TRUE(image.ok());
    EXPECT_EQ((*image)->pixelWidth(), 24);
    EXPECT_PRED2(near, (*image)->pixel(12, 12), kBlack);
    EXPECT_PRED2(near, (*image)->pixel(12, 3), kGreen);
}

} // namespace
} // namespace gfx
