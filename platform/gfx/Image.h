#pragma once
// An immutable bitmap image: premultiplied ARGB pixels (one 32-bit word per pixel, 0xAARRGGBB in
// native byte order, rows packed) and a scale that says how many pixels make one point.
//
// Images are decoded from PNG (libpng) and JPEG (libjpeg-turbo, straight into the pixel words) and
// encoded as PNG or JPEG. A JPEG's EXIF orientation is applied to its pixels, so a decoded image is
// always upright (orientations 5-8 swap width and height). Named images
// are looked up in the resource folder beside the program, or in a resource bundle folder
// ("<name>.bundle") inside it; a file "<name>@3x.png" is preferred and loads at scale 3, then
// "@2x", then the plain name at scale 1. Loaded named images are cached for the process.
//
// Decoders read a picture's declared size before they allocate anything for its pixels. A
// picture over kDecodePixelBudget pixels is refused with `tooLarge`, or, where the caller asks for
// it and the format delivers rows in order (PNG that is not interlaced, JPEG), decoded straight
// into the size that fits the budget (sizeWithinPixelBudget in DecodedRows.h). Pixels are stored
// as rows arrive, so a stream that ends early fails without the whole picture's memory.
//
// Images are shared as std::shared_ptr<const Image> and safe to read from any thread.

#include "platform/core/Error.h"
#include "platform/gfx/Size.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace gfx {

// How an image view draws an image: automatic and original draw its pixels; a template image is
// used only for its shape (its alpha), drawn in the view's tint colour.
enum class ImageRenderingMode { automatic = 0, alwaysOriginal = 1, alwaysTemplate = 2 };

class Image {
public:
    static constexpr const char* kErrorDomain = "gfx.Image";
    enum ErrorCode { unknownFormat = 1, corruptData = 2, unreadableFile = 3, encodeFailed = 4, tooLarge = 5 };
    // 60 MiB of pixel words: the most a decoded picture may hold.
    static constexpr std::uint64_t kDecodePixelBudget = 15728640;
    // What a decoder does with a picture over the budget.
    enum class LargePicture { refuse, scaleDown };

    // An image whose pixels may be transparent; pass hasAlpha false for an image known to be opaque.
    Image(int pixelWidth, int pixelHeight, double scale, std::vector<uint32_t> pixels, bool hasAlpha = true);
    Image(const Image& other);
    Image& operator=(const Image& other);

    // An animated image: `images` shown in turn, equally long, over `duration` seconds. Its own
    // pixels, size and scale are those of the first image; nullptr for an empty list.
    static std::shared_ptr<const Image> animated(std::vector<std::shared_ptr<const Image>> images, double duration);

    // Decodes PNG, JPEG, GIF (its first frame) or TIFF bytes (told apart by their signature).
    static core::Expected<std::shared_ptr<const Image>> decode(std::string_view bytes, double scale = 1,
                                                               LargePicture large = LargePicture::refuse);
    static core::Expected<std::shared_ptr<const Image>> fromFile(const std::string& path, double scale = 1);
    // The pixel count the bytes' header declares (sides as stored), without decoding; nothing
    // when the header cannot be read.
    static std::optional<std::uint64_t> declaredPixelCount(std::string_view bytes);
    // As decode() and fromFile(), but a JPEG bigger than needed decodes at libjpeg's own reduction
    // (n/8) that keeps its shorter side at least `minimumShorterSide` pixels; other pictures, and
    // JPEGs no bigger than that, decode whole. Pictures over the budget are scaled down.
    static core::Expected<std::shared_ptr<const Image>> decodeReduced(std::string_view bytes, int minimumShorterSide, double scale = 1);
    static core::Expected<std::shared_ptr<const Image>> fromFileReduced(const std::string& path, int minimumShorterSide, double scale = 1);
    // A named image of the program's resources (bundle empty) or of the resource bundle
    // "<bundle>.bundle" beside them; nullptr when there is none (the miss is logged once).
    static std::shared_ptr<const Image> named(std::string_view name, std::string_view bundle = {});

    int pixelWidth() const { return width_; }
    int pixelHeight() const { return height_; }
    double scale() const { return scale_; }
    // The size in points: pixels divided by the scale.
    Size size() const { return {width_ / scale_, height_ / scale_}; }
    const std::vector<uint32_t>& pixels() const { return pixels_; }
    uint32_t pixel(int x, int y) const { return pixels_[static_cast<size_t>(y) * width_ + x]; }
    // False when the decoder knew every pixel to be opaque (JPEG, PNG without an alpha channel).
    bool hasAlpha() const { return hasAlpha_; }

    // The frames of an animated image (empty for a still), its duration in seconds (0 for a still),
    // and how often it plays (0 = for ever, the value a still reports until told otherwise).
    const std::vector<std::shared_ptr<const Image>>& images() const { return images_; }
    double duration() const { return duration_; }
    unsigned loopCount() const { return loopCount_.load(std::memory_order_relaxed); }
    // The loop count travels with the image (set once after decoding, before it is shared).
    void setLoopCount(unsigned count) const { loopCount_.store(count, std::memory_order_relaxed); }

    // Whether the image is drawn mirrored where the layout runs right to left (an arrow, say); the
    // pixels are the same. The flipped variant is a copy that carries the mark.
    bool flipsForRightToLeftLayoutDirection() const { return flipsForRTL_; }
    std::shared_ptr<const Image> imageFlippedForRightToLeftLayoutDirection() const;

    // The rendering mode travels with the image like the mirroring mark: the variant is a copy.
    ImageRenderingMode renderingMode() const { return renderingMode_; }
    std::shared_ptr<const Image> imageWithRenderingMode(ImageRenderingMode mode) const;

    // PNG bytes of the image (straight alpha, 8 bits per channel).
    core::Expected<std::string> pngData() const;
    core::Status writePng(const std::string& path) const;
    // JPEG bytes of the image drawn over black, quality 0-1.
    core::Expected<std::string> jpegData(double quality = 0.9) const;

private:
    int width_;
    int height_;
    double scale_;
    std::vector<uint32_t> pixels_;
    bool hasAlpha_ = true;
    std::vector<std::shared_ptr<const Image>> images_;
    double duration_ = 0;
    mutable std::atomic<unsigned> loopCount_{0};
    bool flipsForRTL_ = false;
    ImageRenderingMode renderingMode_ = ImageRenderingMode::automatic;
};

using ImagePtr = std::shared_ptr<const Image>;

} // namespace gfx
