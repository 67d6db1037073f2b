#include "image_cache/RIImageCoders.h"

#include "platform/gfx/Codecs.h"
#include "platform/gfx/DecodedRows.h"
#include "platform/gfx/IncrementalDecoder.h"


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

ImagePtr RIImageImageIOCoder::decodedImageWithData(const Data& data) const { return decodedImageWithData(data, {}); }

ImagePtr RIImageImageIOCoder::decodedImageWithData(const Data& data, const RIImageCoderOptions& options) const {
    if (!data) return nullptr;
    // The decoders apply the EXIF orientation (HEIC: its rotation and mirroring) to the pixels.
    auto image = ri_imageFormatForImageData(data) == RIImageFormat::HEIC
                     ? (canDecodeFromHEICFormat() ? gfx::decodeHeif(*data) : core::Expected<ImagePtr>(core::Error{}))
                     : gfx::Image::decode(*data, 1, options.scaleDownLargeImages ? gfx::Image::LargePicture::scaleDown : gfx::Image::LargePicture::refuse);
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
    const gfx::PixelSize source{image->pixelWidth(), image->pixelHeight()};
    const gfx::PixelSize out = gfx::sizeWithinPixelBudget(source, gfx::Image::kDecodePixelBudget);
    gfx::DecodedRows rows(source, out);
    const auto& pixels = image->pixels();
    for (int y = 0; y < source.height; ++y) {
        const auto row = pixels.begin() + static_cast<std::ptrdiff_t>(y) * source.width;
        std::copy(row, row + source.width, rows.nextRow());
        rows.rowDone();
    }
    return std::make_shared<gfx::Image>(out.width, out.height, image->scale(), rows.take(), false);
}

ImagePtr RIImageImageIOCoder::decompressedImageWithImage(const ImagePtr& image, Data& data, const RIImageCoderOptions& options) const {
    if (!options.scaleDownLargeImages) return ri_decompressedImageWithImage(image);
    ImagePtr result = ri_decompressedAndScaledDownImageWithImage(image);
    const bool scaledHere = result && image && (result->pixelWidth() != image->pixelWidth() || result->pixelHeight() != image->pixelHeight());
    const auto declared = data ? gfx::Image::declaredPixelCount(*data) : std::nullopt;
    const bool scaledWhileDecoding =
        result && declared && *declared > static_cast<std::uint64_t>(result->pixelWidth()) * static_cast<std::uint64_t>(result->pixelHeight());
    if (scaledHere || scaledWhileDecoding) {
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
