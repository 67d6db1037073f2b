#pragma once
// GIF (giflib), TIFF (libtiff) and HEIC (libheif) pictures. GIF frames come out composited onto the logical screen
// as a viewer shows them (disposals, transparency, local palettes, interlacing); TIFF pictures come
// out upright (their orientation tag applied). Errors come back as gfx::Image errors.

#include "platform/core/Error.h"
#include "platform/gfx/Image.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace gfx {

struct GifFrame {
    ImagePtr image;
    // Seconds, from the frame's graphic control block; none without one.
    std::optional<double> delay;
};

struct GifPicture {
    std::vector<GifFrame> frames;
    // The application extension's loop count (0 = for ever); none without one.
    std::optional<unsigned> loopCount;
};

// Frames are clipped to the screen. When the screen times the frame count passes
// kGifFramePixelBudget, only the first frame is decoded; a screen over Image::kDecodePixelBudget
// is refused (`tooLarge`). The screen's pixels are allocated when the first frame begins.
inline constexpr std::uint64_t kGifFramePixelBudget = 62914560;
core::Expected<GifPicture> decodeGif(std::string_view bytes, double scale = 1);
// One image per frame, each with its delay in seconds; the loop count is written when given.
core::Expected<std::string> encodeGif(const std::vector<GifFrame>& frames, std::optional<unsigned> loopCount);

// A picture over Image::kDecodePixelBudget is refused (`tooLarge`) before its pixels are read.
core::Expected<ImagePtr> decodeTiff(std::string_view bytes, double scale = 1);
// The pixel count the first directory declares; nothing when it cannot be read.
std::optional<std::uint64_t> tiffPixelCount(std::string_view bytes);
core::Expected<std::string> encodeTiff(const Image& image);

// Whether libheif can decode, and encode, HEVC-coded HEIC pictures here (asked once).
bool heifDecodingAvailable();
bool heifEncodingAvailable();
// The primary picture of HEIC data, upright (its rotation, mirroring and cropping applied), its
// alpha kept. Sides above kHeifMaximumSide, and more pixels than the decoders' budget (libheif
// decodes a picture whole, so it cannot be scaled down as it arrives), are refused before any
// pixel is decoded.
inline constexpr std::uint64_t kHeifMaximumSide = 16384;
inline constexpr std::uint64_t kHeifPixelBudget = Image::kDecodePixelBudget;
core::Expected<ImagePtr> decodeHeif(std::string_view bytes, double scale = 1);
// HEVC at quality 0-1; with an alpha plane when the image has alpha.
core::Expected<std::string> encodeHeif(const Image& image, double quality = 0.9);

} // namespace gfx
