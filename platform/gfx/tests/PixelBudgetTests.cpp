// The decoders' pixel budget: sizes are checked before any pixel is allocated, pictures over the
// budget are refused or (where asked) averaged down as their rows arrive, and streams cut short
// fail.

#include "platform/gfx/Codecs.h"
#include "platform/gfx/DecodedRows.h"
#include "platform/gfx/Image.h"
#include "platform/gfx/IncrementalDecoder.h"
#include "platform/gfx/testing/LargePictures.h"

#include <gtest/gtest.h>

namespace gfx {
namespace {

using testkit::PngLayout;

TEST(gfx_PixelBudget, SizesWithinTheBudget) {
    struct Case {
        PixelSize in, out;
    } cases[] = {
        {{3965, 3965}, {3965, 3965}},      // 15721225 pixels: within
        {{16384, 16384}, {3965, 3965}},    // each side by sqrt(budget / area)
        {{4096, 4096}, {3965, 3965}},
        {{16384, 1000}, {16052, 979}},
        {{16384, 1}, {16384, 1}},
        {{0, 5}, {0, 5}},  // no picture: left as it is
    };
    for (const auto& c : cases) {
        const PixelSize out = sizeWithinPixelBudget(c.in, Image::kDecodePixelBudget);
        EXPECT_EQ(out.width, c.out.width) << c.in.width << " x " << c.in.height;
        EXPECT_EQ(out.height, c.out.height) << c.in.width << " x " << c.in.height;
        EXPECT_LE(out.area(), Image::kDecodePixelBudget);
    }
}

// Each output pixel is the rounded mean of its source box, channel by channel.
TEST(gfx_PixelBudget, RowsAverageIntoTheirBoxes) {
    // 5 x 3 into 2 x 1: columns [0, 2) and [2, 5), all three rows.
    const std::uint32_t source[3][5] = {
        {0xff000000, 0xff000002, 0xff0000f0, 0xff0000f0, 0xff0000f0},
        {0xff000004, 0xff000006, 0x00000000, 0x00000000, 0x00000000},
        {0xff000008, 0xff00000a, 0xff0000f0, 0xff0000f0, 0xff0000f3},
    };
    DecodedRows rows({5, 3}, {2, 1});
    for (const auto& row : source) {
        std::copy(std::begin(row), std::end(row), rows.nextRow());
        rows.rowDone();
    }
    EXPECT_TRUE(rows.complete());
    // Left: blue (0+2+4+6+8+10)/6 = 5. Right: alpha 6*255/9 = 170, blue (6*240+3)/9 = 160.33 -> 160.
    EXPECT_EQ(rows.take(), (std::vector<std::uint32_t>{0xff000005, 0xaa0000a0}));

    DecodedRows whole({2, 2}, {2, 2});
    for (std::uint32_t v : {1u, 2u}) {
        std::fill_n(whole.nextRow(), 2, v);
        whole.rowDone();
    }
    EXPECT_EQ(whole.take(), (std::vector<std::uint32_t>{1, 1, 2, 2}));
}

TEST(gfx_PixelBudget, LargePicturesAreRefusedOrScaledDown) {
    struct Case {
        const char* name;
        std::string bytes;
        Image::LargePicture large;
        int width, height;  // 0: refused as too large
    };
    const std::string fourK = testkit::largePng(4096, 4096);
    const Case cases[] = {
        {"16384^2 PNG", testkit::giantPng(), Image::LargePicture::refuse, 0, 0},
        {"4096^2 PNG", fourK, Image::LargePicture::refuse, 0, 0},
        {"4096^2 PNG, scaled", fourK, Image::LargePicture::scaleDown, 3965, 3965},
        {"4096^2 PNG with alpha, scaled", testkit::largePng(4096, 4096, PngLayout::greyWithAlpha), Image::LargePicture::scaleDown, 3965, 3965},
        // Interlaced rows come back in every pass: such a picture cannot be averaged as it arrives.
        {"4096^2 interlaced PNG, scaled", testkit::largePng(4096, 4096, PngLayout::interlacedGrey), Image::LargePicture::scaleDown, 0, 0},
        {"3000^2 interlaced PNG", testkit::largePng(3000, 3000, PngLayout::interlacedGrey), Image::LargePicture::refuse, 3000, 3000},
        {"4096^2 JPEG", testkit::solidJpeg(4096, 4096), Image::LargePicture::refuse, 0, 0},
        {"4096^2 JPEG, scaled", testkit::solidJpeg(4096, 4096), Image::LargePicture::scaleDown, 3965, 3965},
        {"8000x500 JPEG, scaled", testkit::solidJpeg(8000, 2000), Image::LargePicture::scaleDown, 7931, 1982},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto image = Image::decode(c.bytes, 1, c.large);
        if (c.width == 0) {
            ASSERT_FALSE(image);
            EXPECT_EQ(image.error().code, Image::tooLarge);
            EXPECT_NE(image.error().description.find("larger than 15728640 pixels"), std::string::npos) << image.error().description;
            continue;
        }
        ASSERT_TRUE(image) << image.error().description;
        EXPECT_EQ((*image)->pixelWidth(), c.width);
        EXPECT_EQ((*image)->pixelHeight(), c.height);
        // Mid grey averages to mid grey (within the JPEG's rounding).
        const std::uint32_t p = (*image)->pixel(c.width / 2, c.height / 2);
        EXPECT_NEAR(static_cast<int>(p & 0xff), (p >> 24) == 0xff ? 0x80 : 0x40, 2);
    }
    // The picker's reduced decode scales whatever is too large.
    auto reduced = Image::decodeReduced(fourK, 3000);
    ASSERT_TRUE(reduced);
    EXPECT_EQ((*reduced)->pixelWidth(), 3965);
}

// A stream that ends early fails whole; the incremental decoder shows the rows that came, and no
// picture while none has.
TEST(gfx_PixelBudget, StreamsCutShortFail) {
    // The signature and IHDR (33 bytes), then IDAT's length, type and the 2-byte zlib header.
    const auto headerOnly = [](const std::string& png) { return png.substr(0, 33 + 8 + 2); };
    struct Case {
        const char* name;
        std::string bytes;
        bool rowsCame;
    } cases[] = {
        {"PNG over the budget, 322 bytes", testkit::giantPng().substr(0, 322), false},
        {"PNG, header only", headerOnly(testkit::largePng(3960, 3960)), false},
        {"PNG, 322 bytes", testkit::largePng(3960, 3960).substr(0, 322), true},
        {"interlaced PNG, header only", headerOnly(testkit::largePng(3960, 3960, PngLayout::interlacedGrey)), false},
        {"interlaced PNG, 322 bytes", testkit::largePng(3960, 3960, PngLayout::interlacedGrey).substr(0, 322), true},
        {"JPEG, 700 bytes", testkit::solidJpeg(3960, 3960).substr(0, 700), true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        for (auto large : {Image::LargePicture::refuse, Image::LargePicture::scaleDown}) {
            auto image = Image::decode(c.bytes, 1, large);
            EXPECT_FALSE(image);
        }
        IncrementalDecoder decoder;
        decoder.append(c.bytes);
        EXPECT_EQ(decoder.image() != nullptr, c.rowsCame);
    }
    // The incremental decoder offers nothing for a picture over the budget.
    IncrementalDecoder decoder;
    decoder.append(testkit::giantPng().substr(0, 4096));
    EXPECT_TRUE(decoder.failed());
    EXPECT_FALSE(decoder.image());
}

TEST(gfx_PixelBudget, DeclaredPixelCountsComeFromTheHeader) {
    const std::vector<std::uint32_t> opaque(6 * 4, 0xff808080u);
    const Image small(6, 4, 1, opaque, false);
    struct Case {
        const char* name;
        std::string bytes;
        std::optional<std::uint64_t> count;
    } cases[] = {
        {"PNG", testkit::giantPng().substr(0, 33), 268435456u},
        {"JPEG", *small.jpegData(), 24u},
        {"GIF", *encodeGif({{std::make_shared<Image>(small), std::nullopt}}, std::nullopt), 24u},
        {"TIFF", *encodeTiff(small), 24u},
        {"cut PNG", testkit::largePng(10, 10).substr(0, 20), std::nullopt},
        {"not a picture", "hello, world", std::nullopt},
    };
    for (const auto& c : cases) EXPECT_EQ(Image::declaredPixelCount(c.bytes), c.count) << c.name;
}

} // namespace
} // namespace gfx
