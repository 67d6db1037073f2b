#include "image_cache/RIImageCoders.h"

#include "platform/gfx/Codecs.h"
#include "platform/gfx/IncrementalDecoder.h"

#include <cmath>

namespace image_cache {

std::shared_ptr<RIImageImageIOCoder> RIImageImageIOCoder::sharedCoder() {
    static const auto coder = std::make_shared<RIImageImageIOCoder>();
    return coder;
}

bool RIImageImageIOCoder::canDecodeFromHEICFormat() { return gfx::heifDecodingAvailable(); }
bool RIImageImageIOCoder::canEncodeToHEICFormat() { return gfx::heifEncodingAvailable(); }

bool RIImageImageIOCoder::canDecodeFromData(const Data& data) const {
    switch (ri_imageFormatForImageData(data)) {
    case RIImageFormat::WebP: return false;
    case RIImageFormat::HEIC: return canDecodeFromHEICFormat();
    default: return true;
    }
}

bool RIImageImageIOCoder::canIncrementallyDecodeFromData(const Data& data) const { return canDecodeFromData(data); }

bool RIImageImageIOCoder::canEncodeToFormat(RIImageFormat format) const {
    switch (format) {
    case RIImageFormat::WebP: return false;
    case RIImageFormat::HEIC: return canEncodeToHEICFormat();
    default: return true;
    }
}

ImagePtr RIImageImageIOCoder::decodedImageWithData(const Data& data) const {
    if (!data) return nullptr;
    // The decoders apply the EXIF orientation (HEIC: its rotation and mirroring) to the pixels.
    auto image = ri_imageFormatForImageData(data) == RIImageFormat::HEIC
                     ? (canDecodeFromHEICFormat() ? gfx::decodeHeif(*data) : core::Expected<ImagePtr>(core::Error{}))
                     : gfx::Image::decode(*data);
    return image ? *image : nullptr;
}

ImagePtr RIImageImageIOCoder::incrementallyDecodedImageWithData(const Data& data, bool finished) {
    if (!data) return nullptr;
    // Only the bytes not yet seen go to the decoder.
    if (!decoder_) {
        decoder_ = std::make_shared<gfx::IncrementalDecoder>();
        fed_ = 0;
    }
    if (data->size() > fed_) {
        decoder_->append(std::string_view(*data).substr(fed_));
        fed_ = data->size();
    }
    if (width_ + height_ == 0) {
        width_ = static_cast<uint64_t>(decoder_->pixelWidth());
        height_ = static_cast<uint64_t>(decoder_->pixelHeight());
    }
    ImagePtr image;
    if (finished) {
        // The whole picture, as a plain decode gives it.
        image = decodedImageWithData(data);
        decoder_.reset();
    } else if (width_ + height_ > 0) {
        image = decoder_->image();
    }
    return image;
}

bool RIImageImageIOCoder::shouldDecodeImage(const ImagePtr& image) {
    return image && image->images().empty() && !image->hasAlpha();
}

bool RIImageImageIOCoder::shouldScaleDownImage(const ImagePtr& image) {
    if (!image) return false;
    float ratio = static_cast<float>(kDestImageSizePixels / (static_cast<double>(image->pixelWidth()) * image->pixelHeight()));
    return ratio < 1.0f;
}

ImagePtr RIImageImageIOCoder::ri_decompressedImageWithImage(const ImagePtr& image) const {
    if (!shouldDecodeImage(image)) return image;
    // Our images are bitmaps already; the copy is the opaque drawable form.
    return std::make_shared<gfx::Image>(*image);
}

ImagePtr RIImageImageIOCoder::ri_decompressedAndScaledDownImageWithImage(const ImagePtr& image) const {
    if (!shouldDecodeImage(image)) return image;
    if (!shouldScaleDownImage(image)) return ri_decompressedImageWithImage(image);
    const int w = image->pixelWidth(), h = image->pixelHeight();
    // The pixel ratio applies to the area, so each side shrinks by its square root.
    const double side = std::sqrt(kDestImageSizePixels / (static_cast<double>(w) * h));
    const int dw = static_cast<int>(w * side), dh = static_cast<int>(h * side);
    if (dw <= 0 || dh <= 0) return image;
    std::vector<uint32_t> out(static_cast<size_t>(dw) * dh);
    const auto& src = image->pixels();
    // Each destination pixel averages the source box it covers.
    for (int dy = 0; dy < dh; ++dy) {
        const int y0 = static_cast<int>(static_cast<int64_t>(dy) * h / dh);
        const int y1 = std::max(y0 + 1, static_cast<int>(static_cast<int64_t>(dy + 1) * h / dh));
        for (int dx = 0; dx < dw; ++dx) {
            const int x0 = static_cast<int>(static_cast<int64_t>(dx) * w / dw);
            const int x1 = std::max(x0 + 1, static_cast<int>(static_cast<int64_t>(dx + 1) * w / dw));
            uint64_t sum[4] = {0, 0, 0, 0};
            for (int y = y0; y < y1; ++y)
                for (int x = x0; x < x1; ++x) {
                    uint32_t p = src[static_cast<size_t>(y) * w + x];
                    for (int c = 0; c < 4; ++c) sum[c] += (p >> (c * 8)) & 0xff;
                }
            const uint64_t n = static_cast<uint64_t>(y1 - y0) * (x1 - x0);
            uint32_t p = 0;
            for (int c = 0; c < 4; ++c) p |= static_cast<uint32_t>((sum[c] + n / 2) / n) << (c * 8);
            out[static_cast<size_t>(dy) * dw + dx] = p;
        }
    }
    return std::make_shared<gfx::Image>(dw, dh, image->scale(), std::move(out), false);
}

ImagePtr RIImageImageIOCoder::decompressedImageWithImage(const ImagePtr& image, Data& data, const RIImageCoderOptions& options) const {
    if (!options.scaleDownLargeImages) return ri_decompressedImageWithImage(image);
    ImagePtr result = ri_decompressedAndScaledDownImageWithImage(image);
    if (result && image && (result->pixelWidth() != image->pixelWidth() || result->pixelHeight() != image->pixelHeight())) {
        Data encoded = encodedDataWithImage(result, ri_imageFormatForImageData(data));
        if (encoded) data = std::move(encoded);
    }
    return result;
}

Data RIImageImageIOCoder::encodedDataWithImage(const ImagePtr& image, RIImageFormat format) const {
    if (!image) return std::nullopt;
    if (format == RIImageFormat::undefined) format = image->hasAlpha() ? RIImageFormat::PNG : RIImageFormat::JPEG;
    core::Expected<std::string> bytes = core::Error{};
    switch (format) {
    case RIImageFormat::JPEG: bytes = image->jpegData(); break;
    case RIImageFormat::GIF: bytes = gfx::encodeGif({{image, std::nullopt}}, std::nullopt); break;
    case RIImageFormat::TIFF: bytes = gfx::encodeTiff(*image); break;
    case RIImageFormat::HEIC:
        if (!canEncodeToHEICFormat()) return std::nullopt;
        bytes = gfx::encodeHeif(*image);
        break;
    case RIImageFormat::WebP: return std::nullopt;
    default: bytes = image->pngData(); break;
    }
    if (!bytes) return std::nullopt;
    return std::move(*bytes);
}

} // namespace image_cache
