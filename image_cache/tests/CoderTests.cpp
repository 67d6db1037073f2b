// Formats, coders, frames and scales of downloaded pictures.

#include "image_cache/RIImageCoderHelper.h"
#include "image_cache/RIImageCoders.h"

#include "platform/gfx/Codecs.h"
#include "platform/gfx/testing/HeifFixtures.h"
#include "platform/gfx/testing/LargePictures.h"

#include <gtest/gtest.h>

namespace image_cache {
namespace {

ImagePtr solid(int w, int h, uint32_t pixel, bool alpha, double scale = 1) {
    return std::make_shared<gfx::Image>(w, h, scale, std::vector<uint32_t>(static_cast<size_t>(w) * h, pixel), alpha);
}

TEST(image_cache_Format, DetectionAndTypeIdentifiers) {
    struct Case {
        Data data;
        RIImageFormat format;
    };
    const Case cases[] = {
        {std::nullopt, RIImageFormat::undefined},
        {std::string(), RIImageFormat::undefined},
        {std::string("\xFF"), RIImageFormat::JPEG},
        {std::string("\x89PNG"), RIImageFormat::PNG},
        {std::string("GIF89a"), RIImageFormat::GIF},
        {std::string("II*"), RIImageFormat::TIFF},
        {std::string("MM"), RIImageFormat::TIFF},
        {std::string("RIFF\0\0\0\0WEBP", 12), RIImageFormat::WebP},
        {std::string("RIFF\0\0\0\0WEB", 11), RIImageFormat::undefined},
        {std::string("RIFF\0\0\0\0WAVE", 12), RIImageFormat::undefined},
        {std::string("\0\0\0\x18" "ftypheic", 12), RIImageFormat::HEIC},
        {std::string("\0\0\0\x18" "ftyphevx", 12), RIImageFormat::HEIC},
        {std::string("\0\0\0\x18" "ftypmif1", 12), RIImageFormat::undefined},
        {std::string("\0\0\0\x18" "ftyphei", 11), RIImageFormat::undefined},
        {std::string("BM"), RIImageFormat::undefined},
    };
    for (const auto& c : cases) EXPECT_EQ(ri_imageFormatForImageData(c.data), c.format) << (c.data ? *c.data : "nil");

    const std::pair<RIImageFormat, const char*> types[] = {
        {RIImageFormat::JPEG, "public.jpeg"}, {RIImageFormat::PNG, "public.png"}, {RIImageFormat::GIF, "com.compuserve.gif"},
        {RIImageFormat::TIFF, "public.tiff"}, {RIImageFormat::WebP, "public.webp"}, {RIImageFormat::HEIC, "public.heic"},
        {RIImageFormat::undefined, "public.png"},
    };
    for (const auto& [format, type] : types) EXPECT_EQ(ri_UTTypeFromRIImageFormat(format), type);
}

TEST(image_cache_Format, OrientationConversions) {
    const std::pair<int, ImageOrientation> table[] = {
        {1, ImageOrientation::up},           {2, ImageOrientation::upMirrored},   {3, ImageOrientation::down},
        {4, ImageOrientation::downMirrored}, {5, ImageOrientation::leftMirrored}, {6, ImageOrientation::right},
        {7, ImageOrientation::rightMirrored}, {8, ImageOrientation::left},
    };
    for (const auto& [exif, orientation] : table) {
        EXPECT_EQ(RIImageCoderHelper::imageOrientationFromEXIFOrientation(exif), orientation) << exif;
        EXPECT_EQ(RIImageCoderHelper::exifOrientationFromImageOrientation(orientation), exif) << exif;
    }
    EXPECT_EQ(RIImageCoderHelper::imageOrientationFromEXIFOrientation(0), ImageOrientation::up);
    EXPECT_EQ(RIImageCoderHelper::imageOrientationFromEXIFOrientation(9), ImageOrientation::up);
    EXPECT_EQ(RIImageCoderHelper::exifOrientationFromImageOrientation(static_cast<ImageOrientation>(42)), 1);
}

std::string twoFrameGif() {
    auto bytes = gfx::encodeGif({{solid(2, 2, 0xffff0000, false), 0.1}, {solid(2, 2, 0xff0000ff, false), 0.15}}, 4u);
    return bytes ? *bytes : std::string();
}

TEST(image_cache_Coders, TheLastAddedCoderAnswersFirstAndGifsAreStillsByDefault) {
    RIImageCodersManager manager;
    ASSERT_EQ(manager.coders().size(), 1u);
    auto still = manager.decodedImageWithData(twoFrameGif());
    ASSERT_TRUE(still);
    EXPECT_FALSE(isGIF(still));

    manager.addCoder(RIImageGIFCoder::sharedCoder());
    EXPECT_EQ(manager.coders().front(), RIImageGIFCoder::sharedCoder());
    auto animated = manager.decodedImageWithData(twoFrameGif());
    ASSERT_TRUE(isGIF(animated));
    EXPECT_EQ(animated->images().size(), 5u);  // 100 ms and 150 ms: 2 + 3 images of 50 ms
    EXPECT_FLOAT_EQ(static_cast<float>(animated->duration()), 0.25f);
    EXPECT_EQ(animated->loopCount(), 4u);
    // The GIF coder encodes only GIF; the still coder still answers for the rest.
    auto png = manager.encodedDataWithImage(solid(1, 1, 0x80800000, true), RIImageFormat::PNG);
    ASSERT_TRUE(png);
    EXPECT_EQ(ri_imageFormatForImageData(png), RIImageFormat::PNG);
    manager.removeCoder(RIImageGIFCoder::sharedCoder());
    EXPECT_FALSE(isGIF(manager.decodedImageWithData(twoFrameGif())));

    manager.setCoders({});
    EXPECT_FALSE(manager.canDecodeFromData(twoFrameGif()));
    EXPECT_EQ(manager.decodedImageWithData(twoFrameGif()), nullptr);
    // WebP is recognised and then refused; HEIC goes to libheif, which here has HEVC both ways.
    EXPECT_FALSE(RIImageImageIOCoder::sharedCoder()->canDecodeFromData(std::string("RIFF\0\0\0\0WEBPVP8 ", 16)));
    EXPECT_FALSE(RIImageImageIOCoder::sharedCoder()->canEncodeToFormat(RIImageFormat::WebP));
    EXPECT_TRUE(RIImageImageIOCoder::canDecodeFromHEICFormat());
    EXPECT_TRUE(RIImageImageIOCoder::canEncodeToHEICFormat());
    EXPECT_TRUE(RIImageImageIOCoder::sharedCoder()->canDecodeFromData(std::string("\0\0\0\x18" "ftypheic", 12)));
    EXPECT_TRUE(RIImageImageIOCoder::sharedCoder()->canEncodeToFormat(RIImageFormat::HEIC));
    EXPECT_TRUE(RIImageImageIOCoder::sharedCoder()->canDecodeFromData(std::string("unknown")));
}

TEST(image_cache_Coders, GifFrameDurationsAndLoopCount) {
    const std::pair<std::optional<double>, float> delays[] = {{std::nullopt, 0.1f}, {0.0, 0.1f}, {0.01, 0.1f}, {0.011, 0.011f}, {0.5, 0.5f}};
    for (const auto& [delay, played] : delays) EXPECT_EQ(RIImageGIFCoder::ri_frameDurationAtIndex(delay), played);
    // Without a loop extension the picture plays once.
    auto bytes = gfx::encodeGif({{solid(1, 1, 0xff000000, false), 0.2}, {solid(1, 1, 0xffffffff, false), 0.2}}, std::nullopt);
    ASSERT_TRUE(bytes.ok());
    auto image = ri_animatedGIFWithData(*bytes);
    ASSERT_TRUE(isGIF(image));
    EXPECT_EQ(image->loopCount(), 1u);
    EXPECT_EQ(ri_animatedGIFWithData(std::nullopt), nullptr);
    // One frame is a still.
    EXPECT_FALSE(isGIF(ri_animatedGIFWithData(*gfx::encodeGif({{solid(1, 1, 0xff000000, false), 0.2}}, 3u))));
}

TEST(image_cache_Coders, FramesToAnimatedImagesAndBack) {
    auto a = solid(1, 1, 0xff000000, false), b = solid(1, 1, 0xffffffff, false);
    EXPECT_EQ(RIImageCoderHelper::animatedImageWithFrames({}), nullptr);
    auto zero = RIImageCoderHelper::animatedImageWithFrames({{a, 0.0005}, {b, 0}});  // G = 0: each once
    ASSERT_TRUE(zero);
    EXPECT_EQ(zero->images().size(), 2u);
    EXPECT_EQ(zero->duration(), 0);

    auto animated = RIImageCoderHelper::animatedImageWithFrames({{a, 0.1}, {b, 0.15}});
    auto frames = RIImageCoderHelper::framesFromAnimatedImage(animated);
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_EQ(frames[0].image, a);
    EXPECT_NEAR(frames[0].duration, 0.1, 1e-6);
    EXPECT_NEAR(frames[1].duration, 0.15, 1e-6);
    // Runs are told apart by identity, not by equal pixels.
    auto twin = solid(1, 1, 0xff000000, false);
    EXPECT_EQ(RIImageCoderHelper::framesFromAnimatedImage(gfx::Image::animated({a, twin}, 0.2)).size(), 2u);
    auto one = RIImageCoderHelper::framesFromAnimatedImage(gfx::Image::animated({a}, 0));
    ASSERT_EQ(one.size(), 1u);
    EXPECT_DOUBLE_EQ(one[0].duration, 0.1);
    EXPECT_TRUE(RIImageCoderHelper::framesFromAnimatedImage(a).empty());

    // An animated picture encodes as GIF and comes back with its timing.
    animated->setLoopCount(2);
    auto data = RIImageGIFCoder::sharedCoder()->encodedDataWithImage(animated, RIImageFormat::GIF);
    ASSERT_TRUE(data);
    auto back = ri_animatedGIFWithData(data);
    ASSERT_TRUE(isGIF(back));
    EXPECT_EQ(back->images().size(), 5u);
    EXPECT_EQ(back->loopCount(), 2u);
    EXPECT_FALSE(RIImageGIFCoder::sharedCoder()->encodedDataWithImage(animated, RIImageFormat::PNG));
}

TEST(image_cache_Coders, ScaleFromKey) {
    const std::pair<const char*, double> keys[] = {
        {"http://x/a.png", 1.0},     {"http://x/a@2x.png", 2.0}, {"http://x/a@3x.png", 3.0},
        {"http://x/a@2x.@3x.png", 3.0}, {"a@2x.pn", 1.0},      {"ab@2x.pn", 2.0},
        {"http://x/a@2xpng", 1.0},
    };
    auto image = solid(2, 2, 0xff102030, false, 2.0);
    for (const auto& [key, scale] : keys) {
        auto scaled = scaledImageForKey(key, image);
        ASSERT_TRUE(scaled);
        EXPECT_EQ(scaled->scale(), scale) << key;
        EXPECT_EQ(scaled->pixels(), image->pixels());
    }
    EXPECT_EQ(scaledImageForKey("k", nullptr), nullptr);
    auto a = solid(1, 1, 0xff000000, false);
    auto animated = gfx::Image::animated({a, a, solid(1, 1, 0xffffffff, false)}, 0.3);
    animated->setLoopCount(5);
    auto scaled = scaledImageForKey("http://x/a@3x.gif", animated);
    ASSERT_TRUE(isGIF(scaled));
    EXPECT_EQ(scaled->images()[0]->scale(), 3.0);
    EXPECT_EQ(scaled->images()[0], scaled->images()[1]);  // runs survive
    EXPECT_DOUBLE_EQ(scaled->duration(), 0.3);
    EXPECT_EQ(scaled->loopCount(), 5u);
}

TEST(image_cache_Coders, DecompressionAndScaleDown) {
    auto coder = RIImageImageIOCoder::sharedCoder();
    auto transparent = solid(4, 4, 0x80800000, true);
    Data none;
    EXPECT_EQ(coder->decompressedImageWithImage(transparent, none, {true}), transparent);
    EXPECT_FALSE(RIImageImageIOCoder::shouldDecodeImage(gfx::Image::animated({solid(1, 1, 0xff000000, false)}, 1)));
    EXPECT_FALSE(RIImageImageIOCoder::shouldDecodeImage(nullptr));
    auto opaque = solid(3, 2, 0xff123456, false);
    auto decoded = decodedImageWithImage(opaque);
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->pixels(), opaque->pixels());

    // 4000 × 4000 is above the 15728640-pixel budget: each side shrinks by the square root of the
    // ratio, to 3965 × 3965, and the caller's bytes are replaced by the smaller picture's.
    auto large = solid(4000, 4000, 0xff336699, false);
    EXPECT_TRUE(RIImageImageIOCoder::shouldScaleDownImage(large));
    EXPECT_FALSE(RIImageImageIOCoder::shouldScaleDownImage(solid(3965, 3965, 0xff000000, false)));
    Data data = std::string("\xFF\xD8\xFF", 3);
    auto small = coder->decompressedImageWithImage(large, data, {true});
    ASSERT_TRUE(small);
    EXPECT_EQ(small->pixelWidth(), 3965);
    EXPECT_EQ(small->pixelHeight(), 3965);
    EXPECT_EQ(small->pixel(3964, 3964), 0xff336699u);
    auto reread = gfx::Image::decode(*data);
    ASSERT_TRUE(reread.ok());
    EXPECT_EQ((*reread)->pixelWidth(), 3965);
    // Without the option the size stays.
    Data kept = std::string("\xFF\xD8\xFF", 3);
    EXPECT_EQ(coder->decompressedImageWithImage(large, kept, {false})->pixelWidth(), 4000);
    EXPECT_EQ(kept->size(), 3u);
}

// Bytes that declare more pixels than the decoders' budget: refused, unless the caller will scale
// down, when the picture decodes straight into the scaled-down size and the bytes follow it.
TEST(image_cache_Coders, PicturesOverTheBudgetAreRefusedOrScaledWhileDecoding) {
    auto coder = RIImageImageIOCoder::sharedCoder();
    const Data png = gfx::testkit::largePng(4096, 4096);
    EXPECT_EQ(coder->decodedImageWithData(png), nullptr);
    EXPECT_EQ(RIImageCodersManager::sharedInstance()->decodedImageWithData(png, {false}), nullptr);
    auto image = RIImageCodersManager::sharedInstance()->decodedImageWithData(png, {true});
    ASSERT_TRUE(image);
    EXPECT_EQ(image->pixelWidth(), 3965);
    EXPECT_EQ(image->pixelHeight(), 3965);
    Data bytes = png;
    auto decompressed = coder->decompressedImageWithImage(image, bytes, {true});
    ASSERT_TRUE(decompressed);
    EXPECT_EQ(decompressed->pixelWidth(), 3965);
    EXPECT_EQ(ri_imageFormatForImageData(bytes), RIImageFormat::PNG);
    EXPECT_EQ(gfx::Image::declaredPixelCount(*bytes), 3965u * 3965u) << "the bytes are the smaller picture's";
    EXPECT_TRUE(coder->decodedImageWithData(bytes)) << "and decode without scaling";
}

TEST(image_cache_Coders, ProgressiveDecodingShowsTheRowsReceivedAtTheTop) {
    std::vector<uint32_t> pixels(32 * 32);
    for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = 0xff000000u | static_cast<uint32_t>(i * 2654435761u >> 8);
    auto jpeg = *gfx::Image(32, 32, 1, pixels, false).jpegData(1.0);
    RIImageImageIOCoder coder;
    EXPECT_EQ(coder.incrementallyDecodedImageWithData(jpeg.substr(0, 20), false), nullptr);  // no size yet
    auto partial = coder.incrementallyDecodedImageWithData(jpeg.substr(0, jpeg.size() * 2 / 3), false);
    ASSERT_TRUE(partial);
    EXPECT_EQ(partial->pixelWidth(), 32);
    EXPECT_NE(partial->pixel(16, 0), 0u);   // the first rows, at the top
    EXPECT_EQ(partial->pixel(16, 31), 0u);  // the rest transparent
    auto whole = coder.incrementallyDecodedImageWithData(jpeg, true);
    ASSERT_TRUE(whole);
    EXPECT_FALSE(whole->hasAlpha());
    EXPECT_NE(whole->pixel(16, 31), 0u);
}

TEST(image_cache_Coders, HeicPicturesDecodeUprightAndEncode) {
    // Stored 32 × 16, turned a quarter clockwise: the left half (red) ends on top.
    const std::string rotated = gfx::testing::makeHeif(32, 16, [](int x, int) { return x < 16 ? 0xff0000ffu : 0x0000ffffu; }, false, 6);
    ASSERT_EQ(ri_imageFormatForImageData(rotated), RIImageFormat::HEIC);
    ImagePtr image = ri_imageWithData(rotated);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->pixelWidth(), 16);
    EXPECT_EQ(image->pixelHeight(), 32);
    EXPECT_FALSE(image->hasAlpha());
    EXPECT_GT((image->pixel(8, 4) >> 16) & 0xff, 0xe0u);  // red above
    EXPECT_GT(image->pixel(8, 28) & 0xff, 0xe0u);          // blue below
    EXPECT_EQ(ri_imageWithData(rotated.substr(0, rotated.size() / 2)), nullptr);

    for (bool alpha : {false, true}) {
        SCOPED_TRACE(alpha);
        Data bytes = ri_imageDataAsFormat(solid(6, 4, alpha ? 0x80400000 : 0xff800000, alpha), RIImageFormat::HEIC);
        ASSERT_TRUE(bytes);
        EXPECT_EQ(ri_imageFormatForImageData(bytes), RIImageFormat::HEIC);
        ImagePtr again = ri_imageWithData(bytes);
        ASSERT_TRUE(again);
        EXPECT_EQ(again->pixelWidth(), 6);
        EXPECT_EQ(again->hasAlpha(), alpha);
    }
}

TEST(image_cache_Coders, EncodingPicksAFormatFromAlpha) {
    EXPECT_EQ(ri_imageFormatForImageData(ri_imageDataAsFormat(solid(2, 2, 0x80800000, true))), RIImageFormat::PNG);
    EXPECT_EQ(ri_imageFormatForImageData(ri_imageDataAsFormat(solid(2, 2, 0xff800000, false))), RIImageFormat::JPEG);
    EXPECT_EQ(ri_imageFormatForImageData(ri_imageDataAsFormat(solid(2, 2, 0xff800000, false), RIImageFormat::TIFF)), RIImageFormat::TIFF);
    EXPECT_FALSE(ri_imageDataAsFormat(solid(2, 2, 0xff800000, false), RIImageFormat::WebP));
    EXPECT_FALSE(ri_imageDataAsFormat(nullptr));
    EXPECT_EQ(ri_imageWithData(std::string("not a picture")), nullptr);
}

} // namespace
} // namespace image_cache
