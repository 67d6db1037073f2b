// HEIC pictures: the primary picture decoded upright with its alpha, the size budgets, damaged
// files, and the encoder's round trip.

#include "platform/gfx/Codecs.h"
#include "platform/gfx/Image.h"
#include "platform/gfx/testing/HeifFixtures.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace gfx {
namespace {

// Straight RGBA of the four quadrants of a picture: red, green / blue, white.
std::uint32_t quadrant(int x, int y, int w, int h) {
    const bool right = x >= w / 2, bottom = y >= h / 2;
    if (!bottom) return right ? 0x00ff00ffu : 0xff0000ffu;
    return right ? 0xffffffffu : 0x0000ffffu;
}

// The premultiplied pixel word of a straight RGBA value.
std::uint32_t word(std::uint32_t rgba) {
    const std::uint32_t a = rgba & 0xff;
    const auto mul = [a](std::uint32_t c) { return (c * a + 127) / 255; };
    return (a << 24) | (mul(rgba >> 24) << 16) | (mul((rgba >> 16) & 0xff) << 8) | mul((rgba >> 8) & 0xff);
}

// Whether two pixel words differ by at most `tolerance` in every channel (HEVC is lossy, and its
// chroma is kept at half resolution).
::testing::AssertionResult near(std::uint32_t actual, std::uint32_t expected, int tolerance = 24) {
    for (int shift = 0; shift < 32; shift += 8) {
        const int a = static_cast<int>((actual >> shift) & 0xff), e = static_cast<int>((expected >> shift) & 0xff);
        if (std::abs(a - e) > tolerance)
            return ::testing::AssertionFailure() << std::hex << "0x" << actual << " is not near 0x" << expected;
    }
    return ::testing::AssertionSuccess();
}

TEST(gfx_Heif, BothDirectionsAreAvailable) {
    EXPECT_TRUE(heifDecodingAvailable());
    EXPECT_TRUE(heifEncodingAvailable());
}

TEST(gfx_Heif, ThePrimaryPictureDecodesUprightWithItsAlpha) {
    const int w = 64, h = 32;
    const auto opaque = [](int x, int y) { return quadrant(x, y, 64, 32); };
    // Alpha: the left half opaque, the right half at about a third.
    const auto translucent = [](int x, int y) { return (quadrant(x, y, 64, 32) & 0xffffff00u) | (x < 32 ? 0xffu : 0x55u); };
    struct Case {
        const char* name;
        std::string bytes;
        int width, height;
        bool alpha;
        // Where each quadrant's colour is found after decoding: (x, y) of the upright picture.
        std::vector<std::pair<std::pair<int, int>, std::uint32_t>> samples;
    };
    const Case cases[] = {
        {"opaque", testing::makeHeif(w, h, opaque), 64, 32, false,
         {{{8, 8}, word(0xff0000ff)}, {{56, 8}, word(0x00ff00ff)}, {{8, 24}, word(0x0000ffff)}, {{56, 24}, word(0xffffffff)}}},
        {"alpha", testing::makeHeif(w, h, translucent, true), 64, 32, true,
         {{{8, 8}, word(0xff0000ff)}, {{56, 8}, word(0x00ff0055)}, {{8, 24}, word(0x0000ffff)}, {{56, 24}, word(0xffffff55)}}},
        // Turned a quarter clockwise: the stored left column becomes the top row.
        {"rotated", testing::makeHeif(w, h, opaque, false, 6), 32, 64, false,
         {{{24, 8}, word(0xff0000ff)}, {{24, 56}, word(0x00ff00ff)}, {{8, 8}, word(0x0000ffff)}, {{8, 56}, word(0xffffffff)}}},
        // Mirrored left to right.
        {"mirrored", testing::makeHeif(w, h, opaque, false, 2), 64, 32, false,
         {{{56, 8}, word(0xff0000ff)}, {{8, 8}, word(0x00ff00ff)}, {{56, 24}, word(0x0000ffff)}, {{8, 24}, word(0xffffffff)}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_FALSE(c.bytes.empty());
        auto image = decodeHeif(c.bytes, 2);
        ASSERT_TRUE(image) << image.error().description;
        EXPECT_EQ((*image)->pixelWidth(), c.width);
        EXPECT_EQ((*image)->pixelHeight(), c.height);
        EXPECT_EQ((*image)->scale(), 2);
        EXPECT_EQ((*image)->hasAlpha(), c.alpha);
        for (const auto& [at, expected] : c.samples) {
            SCOPED_TRACE(::testing::Message() << at.first << "," << at.second);
            EXPECT_TRUE(near((*image)->pixel(at.first, at.second), expected));
        }
    }
}

// The "ispe" boxes hold the stored sizes (libheif writes one per property set it makes):
// rewritten, they declare another size without any pixel more.
std::string withDeclaredSize(std::string bytes, std::uint32_t width, std::uint32_t height) {
    for (auto at = bytes.find("ispe"); at != std::string::npos && at + 16 <= bytes.size(); at = bytes.find("ispe", at + 4)) {
        for (int i = 0; i < 4; ++i) {
            bytes[at + 8 + i] = static_cast<char>(width >> (24 - 8 * i));
            bytes[at + 12 + i] = static_cast<char>(height >> (24 - 8 * i));
        }
    }
    return bytes;
}

TEST(gfx_Heif, DamagedAndOversizedFilesAreErrors) {
    const std::string good = testing::makeHeif(32, 32, [](int x, int y) { return quadrant(x, y, 32, 32); });
    ASSERT_FALSE(good.empty());
    ASSERT_TRUE(decodeHeif(good));
    const struct {
        const char* name;
        std::string bytes;
        Image::ErrorCode code;
    } cases[] = {
        {"nothing", "", Image::corruptData},
        {"the file type box only", good.substr(0, 24), Image::corruptData},
        {"cut in half", good.substr(0, good.size() / 2), Image::corruptData},
        {"the last bytes missing", good.substr(0, good.size() - 16), Image::corruptData},
        {"sides past 16384", withDeclaredSize(good, 20000, 16), Image::corruptData},
        {"more pixels than the budget", withDeclaredSize(good, 16000, 16000), Image::tooLarge},
        {"just over the budget", withDeclaredSize(good, 4096, 3841), Image::tooLarge},
        {"no size at all", withDeclaredSize(good, 0, 0), Image::corruptData},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto image = decodeHeif(c.bytes);
        ASSERT_FALSE(image);
        EXPECT_EQ(image.error().domain, Image::kErrorDomain);
        EXPECT_EQ(image.error().code, c.code);
    }
}

TEST(gfx_Heif, EncodedPicturesDecodeAgain) {
    for (bool alpha : {false, true}) {
        SCOPED_TRACE(alpha ? "alpha" : "opaque");
        // Odd sides: the coded picture is padded and cropped back.
        const int w = 33, h = 17;
        std::vector<std::uint32_t> pixels(static_cast<size_t>(w) * h);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) pixels[static_cast<size_t>(y) * w + x] = word((quadrant(x, y, w, h) & 0xffffff00u) | (alpha && y < 8 ? 0x80u : 0xffu));
        Image image(w, h, 1, pixels, alpha);
        auto bytes = encodeHeif(image);
        ASSERT_TRUE(bytes) << bytes.error().description;
        auto decoded = decodeHeif(*bytes);
        ASSERT_TRUE(decoded) << decoded.error().description;
        EXPECT_EQ((*decoded)->pixelWidth(), w);
        EXPECT_EQ((*decoded)->pixelHeight(), h);
        EXPECT_EQ((*decoded)->hasAlpha(), alpha);
        for (auto [x, y] : {std::pair{4, 3}, std::pair{28, 3}, std::pair{4, 13}, std::pair{28, 13}}) {
            SCOPED_TRACE(::testing::Message() << x << "," << y);
            EXPECT_TRUE(near((*decoded)->pixel(x, y), image.pixel(x, y)));
        }
    }
    EXPECT_FALSE(encodeHeif(Image(0, 0, 1, {}, false)));
}

} // namespace
} // namespace gfx
