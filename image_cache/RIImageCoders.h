#pragma once
// The coders: the still-image coder (PNG, JPEG, GIF as a still, TIFF, HEIC; progressive decoding;
// decompression, and scaled-down decompression of very large images), the animated GIF coder,
// and the ordered set of coders that the cache and the downloader use.

#include "image_cache/RIImageCoder.h"

#include <memory>
#include <shared_mutex>
#include <vector>

namespace gfx {
class IncrementalDecoder;
}

namespace image_cache {

class RIImageImageIOCoder : public RIImageProgressiveCoder {
public:
    static std::shared_ptr<RIImageImageIOCoder> sharedCoder();

    bool canDecodeFromData(const Data& data) const override;
    // A picture over the decoders' pixel budget is refused, or with scaleDownLargeImages decoded
    // straight into the size that scaled-down decompression gives.
    ImagePtr decodedImageWithData(const Data& data) const override;
    ImagePtr decodedImageWithData(const Data& data, const RIImageCoderOptions& options) const override;
    // With scaleDownLargeImages, the data is also re-encoded when it declares more pixels than
    // the result holds (the picture was scaled down while it was decoded).
    ImagePtr decompressedImageWithImage(const ImagePtr& image, Data& data, const RIImageCoderOptions& options) const override;
    bool canEncodeToFormat(RIImageFormat format) const override;
    Data encodedDataWithImage(const ImagePtr& image, RIImageFormat format) const override;
    bool canIncrementallyDecodeFromData(const Data& data) const override;
    ImagePtr incrementallyDecodedImageWithData(const Data& data, bool finished) override;

    // Whether libheif here decodes, and encodes, HEVC pictures; each asked once.
    static bool canDecodeFromHEICFormat();
    static bool canEncodeToHEICFormat();
    // False for no image, animated images and images with alpha.
    static bool shouldDecodeImage(const ImagePtr& image);
    // True when the image has more than 15728640 pixels.
    static bool shouldScaleDownImage(const ImagePtr& image);
    ImagePtr ri_decompressedImageWithImage(const ImagePtr& image) const;
    // At most 15728640 pixels: both sides times √(15728640 / pixels), truncated.
    ImagePtr ri_decompressedAndScaledDownImageWithImage(const ImagePtr& image) const;

    static constexpr double kDestImageSizePixels = static_cast<double>(gfx::Image::kDecodePixelBudget);

private:
    // Progressive state: the size once known, and the decoder fed with the bytes seen so far.
    uint64_t width_ = 0;
    uint64_t height_ = 0;
    size_t fed_ = 0;
    std::shared_ptr<gfx::IncrementalDecoder> decoder_;
};

class RIImageGIFCoder : public RIImageCoder {
public:
    static std::shared_ptr<RIImageGIFCoder> sharedCoder();
    bool canDecodeFromData(const Data& data) const override;
    using RIImageCoder::decodedImageWithData;
    ImagePtr decodedImageWithData(const Data& data) const override;
    ImagePtr decompressedImageWithImage(const ImagePtr& image, Data&, const RIImageCoderOptions&) const override { return image; }
    bool canEncodeToFormat(RIImageFormat format) const override { return format == RIImageFormat::GIF; }
    Data encodedDataWithImage(const ImagePtr& image, RIImageFormat format) const override;
    // A frame's delay as played: below 0.011 s (or none) it is 0.1 s.
    static float ri_frameDurationAtIndex(std::optional<double> delay);
};

class RIImageCodersManager : public RIImageCoder {
public:
    static std::shared_ptr<RIImageCodersManager> sharedInstance();
    RIImageCodersManager();

    // The coder added last comes first.
    std::vector<std::shared_ptr<RIImageCoder>> coders() const;
    void setCoders(std::vector<std::shared_ptr<RIImageCoder>> coders);
    void addCoder(const std::shared_ptr<RIImageCoder>& coder);
    void removeCoder(const std::shared_ptr<RIImageCoder>& coder);

    bool canDecodeFromData(const Data& data) const override;
    ImagePtr decodedImageWithData(const Data& data) const override;
    ImagePtr decodedImageWithData(const Data& data, const RIImageCoderOptions& options) const override;
    ImagePtr decompressedImageWithImage(const ImagePtr& image, Data& data, const RIImageCoderOptions& options) const override;
    bool canEncodeToFormat(RIImageFormat format) const override;
    Data encodedDataWithImage(const ImagePtr& image, RIImageFormat format) const override;

private:
    mutable std::shared_mutex mutex_;
    std::vector<std::shared_ptr<RIImageCoder>> mutableCoders_;
};

// Convenience forms over the shared coders manager.
ImagePtr decodedImageWithImage(const ImagePtr& image);
ImagePtr decodedAndScaledDownImageWithImage(const ImagePtr& image);
ImagePtr ri_imageWithData(const Data& data);
Data ri_imageDataAsFormat(const ImagePtr& image, RIImageFormat format = RIImageFormat::undefined);
ImagePtr ri_animatedGIFWithData(const Data& data);
inline bool isGIF(const ImagePtr& image) { return image && !image->images().empty(); }

} // namespace image_cache
