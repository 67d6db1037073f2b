// GIF and TIFF pictures: composited GIF frames with their delays and loop count, the GIF budget,
// and encode/decode round trips of every format the images write.

#include "platform/gfx/Codecs.h"
#include "platform/gfx/Image.h"

#include <gif_lib.h>
#include <gtest/gtest.h>

#include <functional>

#include <string>
#include <vector>

namespace gfx {
namespace {

int appendTo(GifFileType* gif, const GifByteType* data, int length) {
    static_cast<std::string*>(gif->UserData)->append(reinterpret_cast<const char*>(data), static_cast<size_t>(length));
    return length;
}

struct FrameSpec {
    int left, top, width, height;
    int disposal;
    int delayCentiseconds;
    int transparent;  // index or -1
    bool interlaced;
    std::vector<GifColorType> localPalette;  // empty: the global one
    std::vector<std::vector<GifByteType>> rows;
};

std::string makeGif(int w, int h, const std::vector<GifColorType>& global, const std::vector<FrameSpec>& frames, int loops) {
    std::string out;
    int error = 0;
    GifFileType* gif = EGifOpen(&out, appendTo, &error);
    EGifSetGifVersion(gif, true);
    ColorMapObject* globalMap = GifMakeMapObject(static_cast<int>(global.size()), global.data());
    EGifPutScreenDesc(gif, w, h, 8, 0, globalMap);
    if (loops >= 0) {
        const GifByteType app[] = {'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E', '2', '.', '0'};
        const GifByteType loop[] = {1, static_cast<GifByteType>(loops), 0};
        EGifPutExtensionLeader(gif, APPLICATION_EXT_FUNC_CODE);
        EGifPutExtensionBlock(gif, sizeof app, app);
        EGifPutExtensionBlock(gif, sizeof loop, loop);
        EGifPutExtensionTrailer(gif);
    }
    for (const auto& f : frames) {
        GraphicsControlBlock gcb{};
        gcb.DisposalMode = f.disposal;
        gcb.DelayTime = f.delayCentiseconds;
        gcb.TransparentColor = f.transparent;
        GifByteType ext[4];
        EGifGCBToExtension(&gcb, ext);
        EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, 4, ext);
        ColorMapObject* local = f.localPalette.empty() ? nullptr : GifMakeMapObject(static_cast<int>(f.localPalette.size()), f.localPalette.data());
        EGifPutImageDesc(gif, f.left, f.top, f.width, f.height, f.interlaced, local);
        // An interlaced frame is written in its four passes.
        std::vector<int> order;
        if (f.interlaced) {
            const int starts[] = {0, 4, 2, 1}, steps[] = {8, 8, 4, 2};
            for (int pass = 0; pass < 4; ++pass)
                for (int y = starts[pass]; y < f.height; y += steps[pass]) order.push_back(y);
        } else {
            for (int y = 0; y < f.height; ++y) order.push_back(y);
        }
        for (int y : order) EGifPutLine(gif, const_cast<GifByteType*>(f.rows[static_cast<size_t>(y)].data()), f.width);
        GifFreeMapObject(local);
    }
    EGifCloseFile(gif, &error);
    GifFreeMapObject(globalMap);
    return out;
}

constexpr uint32_t kRed = 0xffff0000, kGreen = 0xff00ff00, kBlue = 0xff0000ff, kWhite = 0xffffffff,
                   kYellow = 0xffffff00, kClear = 0;

// Three frames on a 4 × 4 screen: blue all over; a 2 × 2 yellow square from a local palette with
// one transparent pixel, cleared afterwards (disposal 2); an interlaced column of four colours,
// restored afterwards (disposal 3).
std::string threeFrameGif(int loops = 3) {
    const std::vector<GifColorType> global = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 255}};
    std::vector<FrameSpec> frames = {
        {0, 0, 4, 4, 1, 10, -1, false, {}, std::vector<std::vector<GifByteType>>(4, {2, 2, 2, 2})},
        {1, 1, 2, 2, 2, 15, 1, false, {{255, 255, 0}, {0, 0, 0}}, {{1, 0}, {0, 0}}},
        {0, 0, 1, 4, 3, 1, -1, true, {}, {{0}, {1}, {3}, {0}}},
    };
    return makeGif(4, 4, global, frames, loops);
}

TEST(gfx_Gif, FramesAreCompositedWithTheirDelaysAndLoopCount) {
    auto gif = decodeGif(threeFrameGif());
    ASSERT_TRUE(gif.ok()) << gif.error().description;
    ASSERT_EQ(gif->frames.size(), 3u);
    EXPECT_EQ(gif->loopCount, 3u);
    const uint32_t B = kBlue, Y = kYellow, C = kClear;
    const std::vector<std::vector<uint32_t>> expected = {
        {B, B, B, B, B, B, B, B, B, B, B, B, B, B, B, B},
        {B, B, B, B, B, B, Y, B, B, Y, Y, B, B, B, B, B},  // the transparent pixel shows the blue beneath
        {kRed, B, B, B, kGreen, C, C, B, kWhite, C, C, B, kRed, B, B, B},  // the square was cleared; rows de-interlaced
    };
    const double delays[] = {0.10, 0.15, 0.01};
    for (size_t i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(gif->frames[i].image->pixels(), expected[i]);
        ASSERT_TRUE(gif->frames[i].delay.has_value());
        EXPECT_DOUBLE_EQ(*gif->frames[i].delay, delays[i]);
    }
    EXPECT_FALSE(gif->frames[0].image->hasAlpha());
    EXPECT_TRUE(gif->frames[2].image->hasAlpha());
    // As a still, a GIF is its first frame.
    auto still = Image::decode(threeFrameGif());
    ASSERT_TRUE(still.ok());
    EXPECT_EQ((*still)->pixels(), expected[0]);
    EXPECT_FALSE(decodeGif(threeFrameGif(-1))->loopCount.has_value());
}

TEST(gfx_Gif, FramesAreClippedAndABudgetKeepsOnlyTheFirst) {
    const std::vector<GifColorType> global = {{255, 0, 0}, {0, 0, 255}};
    // A frame reaching past the screen's right and bottom edges.
    auto clipped = decodeGif(makeGif(2, 2, global, {{1, 1, 3, 3, 0, 0, -1, false, {}, std::vector<std::vector<GifByteType>>(3, {1, 1, 1})}}, -1));
    ASSERT_TRUE(clipped.ok());
    EXPECT_EQ(clipped->frames[0].image->pixels(), (std::vector<uint32_t>{kClear, kClear, kClear, kBlue}));

    // 3840 × 3840 screens: 4 frames pass the budget, 5 would not.
    const int side = 3840;
    std::vector<std::vector<GifByteType>> rows(1, std::vector<GifByteType>(1, 0));
    std::vector<FrameSpec> frames(5, FrameSpec{0, 0, 1, 1, 0, 5, -1, false, {}, rows});
    auto big = decodeGif(makeGif(side, side, global, frames, 0));
    ASSERT_TRUE(big.ok());
    EXPECT_EQ(big->frames.size(), static_cast<size_t>(kGifFramePixelBudget / (side * side)));
}

TEST(gfx_Gif, DamagedDataIsAnError) {
    const std::string gif = threeFrameGif();
    // A screen of 8192 x 8192 would need a canvas past the pixel budget (the header's width and
    // height are little-endian at bytes 6-9); so would 3966 x 3966, just past it.
    std::string huge = gif, justPast = gif;
    huge.replace(6, 4, std::string("\x00\x20\x00\x20", 4));
    justPast.replace(6, 4, std::string("\x7e\x0f\x7e\x0f", 4));
    for (const std::string& bad : {std::string("GIF89a"), gif.substr(0, 13), std::string("not a gif")})
        EXPECT_EQ(decodeGif(bad).error().code, Image::corruptData);
    for (const std::string& large : {huge, justPast}) {
        EXPECT_EQ(decodeGif(large).error().code, Image::tooLarge);
        EXPECT_EQ(Image::decode(large).error().code, Image::tooLarge);
    }
    // A cut inside the second frame keeps the frames before it.
    auto cut = decodeGif(gif.substr(0, gif.size() - 20));
    ASSERT_TRUE(cut.ok());
    EXPECT_GE(cut->frames.size(), 1u);
}

ImagePtr sampleImage(bool alpha) {
    std::vector<uint32_t> pixels(6 * 4);
    for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = (i % 3 == 0) ? kRed : (i % 3 == 1) ? kGreen : (alpha ? kClear : kBlue);
    return std::make_shared<Image>(6, 4, 1, pixels, alpha);
}

TEST(gfx_Codecs, EncodedImagesDecodeToTheSamePixels) {
    struct Case {
        const char* name;
        bool alpha;
        std::function<core::Expected<std::string>(const Image&)> encode;
        bool exact;
    };
    const Case cases[] = {
        {"PNG", true, [](const Image& i) { return i.pngData(); }, true},
        {"TIFF with alpha", true, [](const Image& i) { return encodeTiff(i); }, true},
        {"TIFF opaque", false, [](const Image& i) { return encodeTiff(i); }, true},
        {"GIF", true, [](const Image& i) { return encodeGif({{std::make_shared<Image>(i), 0.1}}, std::nullopt); }, true},
        {"JPEG", false, [](const Image& i) { return i.jpegData(1.0); }, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto image = sampleImage(c.alpha);
        auto bytes = c.encode(*image);
        ASSERT_TRUE(bytes.ok());
        auto back = Image::decode(*bytes);
        ASSERT_TRUE(back.ok()) << back.error().description;
        EXPECT_EQ((*back)->pixelWidth(), 6);
        EXPECT_EQ((*back)->pixelHeight(), 4);
        EXPECT_EQ((*back)->hasAlpha(), c.alpha);
        if (c.exact) {
            EXPECT_EQ((*back)->pixels(), image->pixels());
        }
    }
}

TEST(gfx_Codecs, AnimatedGifRoundTripKeepsDelaysAndLoopCount) {
    auto bytes = encodeGif({{sampleImage(true), 0.25}, {sampleImage(false), 0.5}}, 7u);
    ASSERT_TRUE(bytes.ok());
    auto gif = decodeGif(*bytes);
    ASSERT_TRUE(gif.ok());
    ASSERT_EQ(gif->frames.size(), 2u);
    EXPECT_EQ(gif->loopCount, 7u);
    EXPECT_DOUBLE_EQ(*gif->frames[0].delay, 0.25);
    EXPECT_DOUBLE_EQ(*gif->frames[1].delay, 0.5);
    EXPECT_EQ(gif->frames[1].image->pixels(), sampleImage(false)->pixels());
    // Many colours fall back to a fixed palette: close, not exact.
    std::vector<uint32_t> ramp(32 * 32);
    for (size_t i = 0; i < ramp.size(); ++i) ramp[i] = 0xff000000u | static_cast<uint32_t>(i * 997 % 0xffffff);
    auto many = encodeGif({{std::make_shared<Image>(32, 32, 1, ramp, false), 0.1}}, std::nullopt);
    ASSERT_TRUE(many.ok());
    EXPECT_TRUE(decodeGif(*many).ok());
}

} // namespace
} // namespace gfx
