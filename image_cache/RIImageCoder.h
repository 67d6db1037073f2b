#pragma once
// Turning bytes into images and back: format detection from the first bytes, the coder
// interfaces, and the conversions between EXIF and image orientations.

#include "platform/gfx/Image.h"

#include <optional>
#include <string>

namespace image_cache {

using gfx::ImagePtr;
// Encoded bytes; nullopt stands for "no data".
using Data = std::optional<std::string>;

enum class RIImageFormat : int { undefined = -1, JPEG = 0, PNG = 1, GIF = 2, TIFF = 3, WebP = 4, HEIC = 5 };

// The format told by the first bytes; undefined for no or empty data.
RIImageFormat ri_imageFormatForImageData(const Data& data);
// The type identifier of a format; PNG's for PNG and every other value.
std::string ri_UTTypeFromRIImageFormat(RIImageFormat format);

// Decoding options. The key of the one option, as a dictionary would name it.
inline constexpr const char* kRIImageCoderScaleDownLargeImagesKey = "scaleDownLargeImages";
struct RIImageCoderOptions {
    bool scaleDownLargeImages = false;
};

class RIImageCoder {
public:
    virtual ~RIImageCoder() = default;
    virtual bool canDecodeFromData(const Data& data) const = 0;
    virtual ImagePtr decodedImageWithData(const Data& data) const = 0;
    // As above, for a caller that will decompress with `options`: a coder that can scale a
    // picture down while decoding it may do so (and must, for one over the decoders' budget).
    virtual ImagePtr decodedImageWithData(const Data& data, const RIImageCoderOptions&) const { return decodedImageWithData(data); }
    // May replace `data` by bytes that match the returned image.
    virtual ImagePtr decompressedImageWithImage(const ImagePtr& image, Data& data, const RIImageCoderOptions& options) const = 0;
    virtual bool canEncodeToFormat(RIImageFormat format) const = 0;
    virtual Data encodedDataWithImage(const ImagePtr& image, RIImageFormat format) const = 0;
};

class RIImageProgressiveCoder : public RIImageCoder {
public:
    virtual bool canIncrementallyDecodeFromData(const Data& data) const = 0;
    // `data` is everything received so far.
    virtual ImagePtr incrementallyDecodedImageWithData(const Data& data, bool finished) = 0;
};

// Image orientation values: up 0, down 1, left 2, right 3, and the mirrored forms 4-7.
enum class ImageOrientation : int { up = 0, down = 1, left = 2, right = 3, upMirrored = 4, downMirrored = 5, leftMirrored = 6, rightMirrored = 7 };

} // namespace image_cache
