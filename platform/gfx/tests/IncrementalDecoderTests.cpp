// Pictures decoded while their bytes arrive: rows received so far at the top, the rest
// transparent, and the whole picture once every byte is in.

#include "platform/gfx/Image.h"
#include "platform/gfx/IncrementalDecoder.h"

#include <gtest/gtest.h>

#include <random>

namespace gfx {
namespace {

ImagePtr stripes(int w, int h) {
    std::vector<uint32_t> pixels(static_cast<size_t>(w) * h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) pixels[static_cast<size_t>(y) * w + x] = 0xff000000u | static_cast<uint32_t>((y * 4) << 16 | (x * 4) << 8 | 0x40);
    return std::make_shared<Image>(w, h, 1, std::move(pixels), false);
}

TEST(gfx_IncrementalDecoder, PartialPicturesGrowFromTheTopAndEndAsTheWholeOne) {
    struct Case {
        const char* name;
        std::string bytes;
    };
    auto source = stripes(48, 40);
    const Case cases[] = {{"PNG", *source->pngData()}, {"JPEG", *source->jpegData(1.0)}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto whole = Image::decode(c.bytes);
        ASSERT_TRUE(whole.ok());
        std::mt19937 random(7);
        IncrementalDecoder decoder;
        size_t at = 0;
        bool sawPartial = false;
        while (at < c.bytes.size()) {
            size_t n = std::min<size_t>(c.bytes.size() - at, 1 + random() % 17);
            decoder.append(std::string_view(c.bytes).substr(at, n));
            at += n;
            auto partial = decoder.image();
            if (!partial) continue;
            EXPECT_EQ(partial->pixelWidth(), 48);
            EXPECT_EQ(partial->pixelHeight(), 40);
            // Every row is either the final row or still fully transparent, and rows fill from the top.
            bool transparentSeen = false;
            for (int y = 0; y < 40; ++y) {
                bool empty = partial->pixel(0, y) == 0 && partial->pixel(47, y) == 0;
                if (empty) {
                    transparentSeen = true;
                    sawPartial = true;
                } else {
                    EXPECT_FALSE(transparentSeen) << "row " << y;
                    EXPECT_EQ(partial->pixel(5, y), (*whole)->pixel(5, y)) << "row " << y;
                }
            }
        }
        EXPECT_TRUE(sawPartial);
        auto final = decoder.image();
        ASSERT_TRUE(final);
        EXPECT_EQ(final->pixels(), (*whole)->pixels());
        EXPECT_FALSE(decoder.failed());
    }
}

TEST(gfx_IncrementalDecoder, OtherOrDamagedBytesGiveNoPicture) {
    IncrementalDecoder gif;
    gif.append("GIF89a....");
    EXPECT_TRUE(gif.failed());
    EXPECT_EQ(gif.image(), nullptr);
    IncrementalDecoder damaged;
    std::string png = *stripes(4, 4)->pngData();
    png[12] = 'X';  // the header chunk's name
    damaged.append(png);
    EXPECT_EQ(damaged.image(), nullptr);
    IncrementalDecoder empty;
    EXPECT_EQ(empty.image(), nullptr);
    EXPECT_EQ(empty.pixelWidth(), 0);
}

} // namespace
} // namespace gfx
