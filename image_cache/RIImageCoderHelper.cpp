#include "image_cache/RIImageCoderHelper.h"

#include "platform/ui/Screen.h"

#include <map>

namespace image_cache {

ImagePtr RIImageCoderHelper::animatedImageWithFrames(const std::vector<RIImageFrame>& frames) {
    if (frames.empty()) return nullptr;
    std::vector<uint64_t> millis;
    millis.reserve(frames.size());
    for (const auto& frame : frames) millis.push_back(static_cast<uint64_t>(frame.duration * 1000));
    uint64_t g = 0;
    for (uint64_t m : millis) {
        uint64_t a = m, b = g;
        while (b) { uint64_t t = a % b; a = b; b = t; }
        g = a;
    }
    std::vector<ImagePtr> images;
    uint64_t total = 0;
    for (size_t i = 0; i < frames.size(); ++i) {
        total += millis[i];
        uint64_t times = g == 0 ? 1 : millis[i] / g;
        for (uint64_t k = 0; k < times; ++k) images.push_back(frames[i].image);
    }
    if (images.empty()) return nullptr;
    return gfx::Image::animated(std::move(images), static_cast<float>(total) / 1000.0f);
}

std::vector<RIImageFrame> RIImageCoderHelper::framesFromAnimatedImage(const ImagePtr& image) {
    std::vector<RIImageFrame> frames;
    if (!image || image->images().empty()) return frames;
    const auto& images = image->images();
    double average = image->duration() / static_cast<double>(images.size());
    if (average == 0) average = 0.1;
    size_t run = 0;
    for (size_t i = 0; i < images.size(); ++i) {
        ++run;
        if (i + 1 == images.size() || images[i + 1] != images[i]) {
            frames.push_back(RIImageFrame::frameWithImage(images[i], average * static_cast<double>(run)));
            run = 0;
        }
    }
    return frames;
}

ImageOrientation RIImageCoderHelper::imageOrientationFromEXIFOrientation(int exif) {
    switch (exif) {
    case 2: return ImageOrientation::upMirrored;
    case 3: return ImageOrientation::down;
    case 4: return ImageOrientation::downMirrored;
    case 5: return ImageOrientation::leftMirrored;
    case 6: return ImageOrientation::right;
    case 7: return ImageOrientation::rightMirrored;
    case 8: return ImageOrientation::left;
    default: return ImageOrientation::up;
    }
}

int RIImageCoderHelper::exifOrientationFromImageOrientation(ImageOrientation orientation) {
    switch (orientation) {
    case ImageOrientation::down: return 3;
    case ImageOrientation::left: return 8;
    case ImageOrientation::right: return 6;
    case ImageOrientation::upMirrored: return 2;
    case ImageOrientation::downMirrored: return 4;
    case ImageOrientation::leftMirrored: return 5;
    case ImageOrientation::rightMirrored: return 7;
    default: return 1;
    }
}

namespace {

ImagePtr withScale(const ImagePtr& image, double scale) {
    auto copy = std::make_shared<gfx::Image>(image->pixelWidth(), image->pixelHeight(), scale, image->pixels(), image->hasAlpha());
    copy->setLoopCount(image->loopCount());
    return copy;
}

} // namespace

ImagePtr scaledImageForKey(const std::string& key, const ImagePtr& image) {
    if (!image) return nullptr;
    if (!image->images().empty()) {
        // A frame listed several times stays one object, so its runs survive.
        std::vector<ImagePtr> scaled;
        scaled.reserve(image->images().size());
        const gfx::Image* last = nullptr;
        for (const auto& frame : image->images()) {
            if (frame.get() != last) scaled.push_back(scaledImageForKey(key, frame));
            else scaled.push_back(scaled.back());
            last = frame.get();
        }
        auto animated = gfx::Image::animated(std::move(scaled), image->duration());
        if (animated) animated->setLoopCount(image->loopCount());
        return animated;
    }
    double screenScale = ui::Screen::main().scale();
    if (!(screenScale > 0)) return image;
    double scale = 1.0;
    if (key.size() >= 8) {
        if (key.find("@3x.") != std::string::npos) scale = 3.0;
        else if (key.find("@2x.") != std::string::npos) scale = 2.0;
    }
    if (scale == image->scale()) return image;
    return withScale(image, scale);
}

} // namespace image_cache
