#pragma once
// Frames of animated images, and orientation conversions.

#include "image_cache/RIImageCoder.h"

#include <vector>

namespace image_cache {

struct RIImageFrame {
    ImagePtr image;
    double duration = 0;  // seconds
    static RIImageFrame frameWithImage(ImagePtr image, double duration) { return {std::move(image), duration}; }
};

class RIImageCoderHelper {
public:
    // Each frame's image listed (its whole milliseconds ÷ their greatest common divisor) times;
    // nullptr for no frames.
    static ImagePtr animatedImageWithFrames(const std::vector<RIImageFrame>& frames);
    // Runs of the same image object become one frame each; empty for a still or no image.
    static std::vector<RIImageFrame> framesFromAnimatedImage(const ImagePtr& image);
    static ImageOrientation imageOrientationFromEXIFOrientation(int exifOrientation);
    static int exifOrientationFromImageOrientation(ImageOrientation orientation);
};

// The image with the scale its cache key names ("@2x." or "@3x." in keys of at least 8
// characters, else 1) when the screen has a scale; animated images frame by frame.
ImagePtr scaledImageForKey(const std::string& key, const ImagePtr& image);

} // namespace image_cache
