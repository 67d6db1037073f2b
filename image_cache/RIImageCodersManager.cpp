#include "image_cache/RIImageCoderHelper.h"
#include "image_cache/RIImageCoders.h"

#include "platform/gfx/Codecs.h"

#include <algorithm>
#include <mutex>

namespace image_cache {

RIImageFormat ri_imageFormatForImageData(const Data& data) {
    if (!data || data->empty()) return RIImageFormat::undefined;
    const std::string& d = *data;
    switch (static_cast<unsigned char>(d[0])) {
    case 0xFF: return RIImageFormat::JPEG;
    case 0x89: return RIImageFormat::PNG;
    case 0x47: return RIImageFormat::GIF;
    case 0x49:
    case 0x4D: return RIImageFormat::TIFF;
    case 0x52:
        if (d.size() >= 12 && d.compare(0, 4, "RIFF") == 0 && d.compare(8, 4, "WEBP") == 0) return RIImageFormat::WebP;
        return RIImageFormat::undefined;
    case 0x00:
        if (d.size() >= 12) {
            std::string brand = d.substr(4, 8);
            if (brand == "ftypheic" || brand == "ftypheix" || brand == "ftyphevc" || brand == "ftyphevx") return RIImageFormat::HEIC;
        }
        return RIImageFormat::undefined;
    default: return RIImageFormat::undefined;
    }
}

std::string ri_UTTypeFromRIImageFormat(RIImageFormat format) {
    switch (format) {
    case RIImageFormat::JPEG: return "public.jpeg";
    case RIImageFormat::GIF: return "com.compuserve.gif";
    case RIImageFormat::TIFF: return "public.tiff";
    case RIImageFormat::WebP: return "public.webp";
    case RIImageFormat::HEIC: return "public.heic";
    default: return "public.png";
    }
}

// The GIF coder.

std::shared_ptr<RIImageGIFCoder> RIImageGIFCoder::sharedCoder() {
    static const auto coder = std::make_shared<RIImageGIFCoder>();
    return coder;
}

bool RIImageGIFCoder::canDecodeFromData(const Data& data) const { return ri_imageFormatForImageData(data) == RIImageFormat::GIF; }

float RIImageGIFCoder::ri_frameDurationAtIndex(std::optional<double> delay) {
    float duration = delay ? static_cast<float>(*delay) : 0.1f;
    if (duration < 0.011f) duration = 0.1f;
    return duration;
}

ImagePtr RIImageGIFCoder::decodedImageWithData(const Data& data) const {
    if (!data) return nullptr;
    auto gif = gfx::decodeGif(*data);
    if (!gif) return nullptr;
    if (gif->frames.size() <= 1) return gif->frames.front().image;
    std::vector<RIImageFrame> frames;
    for (const auto& f : gif->frames) frames.push_back(RIImageFrame::frameWithImage(f.image, ri_frameDurationAtIndex(f.delay)));
    ImagePtr animated = RIImageCoderHelper::animatedImageWithFrames(frames);
    if (animated) animated->setLoopCount(gif->loopCount.value_or(1));
    return animated;
}

Data RIImageGIFCoder::encodedDataWithImage(const ImagePtr& image, RIImageFormat format) const {
    if (!image || format != RIImageFormat::GIF) return std::nullopt;
    auto frames = RIImageCoderHelper::framesFromAnimatedImage(image);
    core::Expected<std::string> bytes = core::Error{};
    if (frames.empty()) {
        bytes = gfx::encodeGif({{image, std::nullopt}}, std::nullopt);
    } else {
        std::vector<gfx::GifFrame> out;
        for (const auto& f : frames) out.push_back({f.image, static_cast<float>(f.duration)});
        bytes = gfx::encodeGif(out, image->loopCount());
    }
    if (!bytes) return std::nullopt;
    return std::move(*bytes);
}

// The coders manager.

std::shared_ptr<RIImageCodersManager> RIImageCodersManager::sharedInstance() {
    static const auto manager = std::make_shared<RIImageCodersManager>();
    return manager;
}

RIImageCodersManager::RIImageCodersManager() : mutableCoders_{RIImageImageIOCoder::sharedCoder()} {}

std::vector<std::shared_ptr<RIImageCoder>> RIImageCodersManager::coders() const {
    std::shared_lock lock(mutex_);
    return {mutableCoders_.rbegin(), mutableCoders_.rend()};
}

void RIImageCodersManager::setCoders(std::vector<std::shared_ptr<RIImageCoder>> coders) {
    std::unique_lock lock(mutex_);
    mutableCoders_ = std::move(coders);
}

void RIImageCodersManager::addCoder(const std::shared_ptr<RIImageCoder>& coder) {
    if (!coder) return;
    std::unique_lock lock(mutex_);
    mutableCoders_.push_back(coder);
}

void RIImageCodersManager::removeCoder(const std::shared_ptr<RIImageCoder>& coder) {
    std::unique_lock lock(mutex_);
    std::erase(mutableCoders_, coder);
}

bool RIImageCodersManager::canDecodeFromData(const Data& data) const {
    for (const auto& c : coders())
        if (c->canDecodeFromData(data)) return true;
    return false;
}

bool RIImageCodersManager::canEncodeToFormat(RIImageFormat format) const {
    for (const auto& c : coders())
        if (c->canEncodeToFormat(format)) return true;
    return false;
}

ImagePtr RIImageCodersManager::decodedImageWithData(const Data& data) const {
    if (!data) return nullptr;
    for (const auto& c : coders())
        if (c->canDecodeFromData(data)) return c->decodedImageWithData(data);
    return nullptr;
}

ImagePtr RIImageCodersManager::decodedImageWithData(const Data& data, const RIImageCoderOptions& options) const {
    if (!data) return nullptr;
    for (const auto& c : coders())
        if (c->canDecodeFromData(data)) return c->decodedImageWithData(data, options);
    return nullptr;
}

ImagePtr RIImageCodersManager::decompressedImageWithImage(const ImagePtr& image, Data& data, const RIImageCoderOptions& options) const {
    if (!image) return nullptr;
    for (const auto& c : coders())
        if (c->canDecodeFromData(data)) return c->decompressedImageWithImage(image, data, options);
    return nullptr;
}

Data RIImageCodersManager::encodedDataWithImage(const ImagePtr& image, RIImageFormat format) const {
    if (!image) return std::nullopt;
    for (const auto& c : coders())
        if (c->canEncodeToFormat(format)) return c->encodedDataWithImage(image, format);
    return std::nullopt;
}

ImagePtr decodedImageWithImage(const ImagePtr& image) {
    if (!image) return nullptr;
    Data none;
    return RIImageCodersManager::sharedInstance()->decompressedImageWithImage(image, none, {false});
}

ImagePtr decodedAndScaledDownImageWithImage(const ImagePtr& image) {
    if (!image) return nullptr;
    Data none;
    return RIImageCodersManager::sharedInstance()->decompressedImageWithImage(image, none, {true});
}

ImagePtr ri_imageWithData(const Data& data) { return RIImageCodersManager::sharedInstance()->decodedImageWithData(data); }

Data ri_imageDataAsFormat(const ImagePtr& image, RIImageFormat format) {
    if (!image) return std::nullopt;
    return RIImageCodersManager::sharedInstance()->encodedDataWithImage(image, format);
}

ImagePtr ri_animatedGIFWithData(const Data& data) {
    if (!data) return nullptr;
    return RIImageGIFCoder::sharedCoder()->decodedImageWithData(data);
}

} // namespace image_cache
